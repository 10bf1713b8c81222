// BIntegerC: a signed 64-bit integer value, bencoded as "i<decimal>e".
#ifndef FAULTWRIGHT_PLATFORM_MPI_BINTEGERC_H
#define FAULTWRIGHT_PLATFORM_MPI_BINTEGERC_H

#include <cstdint>

#include "Platform/MPI/BElementC.h"

class BIntegerC : public BElementC {
 public:
  explicit BIntegerC(int64_t value) : value_(value) {}

  int64_t Value() const { return value_; }
  void Encode(BEncoderC& encoder) const override;

 private:
  int64_t value_;
};

#endif  // FAULTWRIGHT_PLATFORM_MPI_BINTEGERC_H
