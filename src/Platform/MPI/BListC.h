// BListC: an ordered list of values, bencoded as "l<values>e". The list owns its
// elements. The arguments of notifications and callbacks travel as a list of
// integers.
#ifndef FAULTWRIGHT_PLATFORM_MPI_BLISTC_H
#define FAULTWRIGHT_PLATFORM_MPI_BLISTC_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "Platform/MPI/BElementC.h"

class BListC : public BElementC {
 public:
  // A list holding first, when given (the list takes it over), else an empty one.
  explicit BListC(BElementC* first = nullptr);

  // Appends an integer.
  void Add(int value);
  // Appends element; the list takes it over.
  void Add(BElementC* element);

  size_t Size() const { return elements_.size(); }
  // The element at index, or null past the end.
  const BElementC* At(size_t index) const;
  // The integer at index; false when there is none or the element is no integer.
  bool IntegerAt(size_t index, int64_t* value) const;

  void Encode(BEncoderC& encoder) const override;

 private:
  std::vector<std::unique_ptr<BElementC>> elements_;
};

#endif  // FAULTWRIGHT_PLATFORM_MPI_BLISTC_H
