// BElementC and its kinds: the values of the message-passing layer's bencoded
// messages.
//
// A value is an integer (BIntegerC), a byte string (BStringC), a list (BListC)
// or a dictionary (BDictionaryC); callers tell the kinds apart with
// dynamic_cast. Every message of the layer is one dictionary.
//
// Ownership: a container owns the elements it holds. Add and Set take over the
// element passed in, and the container deletes its elements with itself (Set
// deletes the value it replaces). Elements cannot be copied.
//
// What may fail: nothing but memory. Encoding always succeeds; a lookup that
// finds nothing, or finds another kind, gives null, false or an empty string.
#ifndef FAULTWRIGHT_PLATFORM_MPI_BELEMENTC_H
#define FAULTWRIGHT_PLATFORM_MPI_BELEMENTC_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class BEncoderC;

class BElementC {
 public:
  BElementC() = default;
  BElementC(const BElementC&) = delete;
  BElementC& operator=(const BElementC&) = delete;
  virtual ~BElementC();

  // Appends the value's bencoding to encoder.
  virtual void Encode(BEncoderC& encoder) const = 0;
};

// A signed 64-bit integer, bencoded as "i<decimal>e".
class BIntegerC : public BElementC {
 public:
  explicit BIntegerC(int64_t value) : value_(value) {}

  int64_t Value() const { return value_; }
  void Encode(BEncoderC& encoder) const override;

 private:
  int64_t value_;
};

// A byte string, bencoded as "<length>:<bytes>". The bytes are arbitrary;
// nothing assumes text.
class BStringC : public BElementC {
 public:
  explicit BStringC(std::string bytes) : bytes_(std::move(bytes)) {}

  const std::string& Bytes() const { return bytes_; }
  void Encode(BEncoderC& encoder) const override;

 private:
  std::string bytes_;
};

// An ordered list of values, bencoded as "l<values>e". The arguments of
// notifications and callbacks travel as a list of integers.
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

// A map from byte-string keys to values, bencoded as "d<key><value>...e" with
// the keys in ascending byte order.
class BDictionaryC : public BElementC {
 public:
  // Stores value under key, replacing (and deleting) what was there; the
  // dictionary takes value over.
  void Set(const std::string& key, BElementC* value);
  void SetString(const std::string& key, const std::string& value);

  size_t Size() const { return values_.size(); }
  // The value under key, or null.
  const BElementC* Get(const std::string& key) const;
  // The byte string under key; empty when absent or not a string.
  std::string StringAt(const std::string& key) const;
  // The list under key, or null when absent or not a list.
  BListC* ListAt(const std::string& key) const;

  void Encode(BEncoderC& encoder) const override;

 private:
  // std::string compares its characters as unsigned bytes, which is the
  // order that bencoding demands of keys.
  std::map<std::string, std::unique_ptr<BElementC>> values_;
};

#endif  // FAULTWRIGHT_PLATFORM_MPI_BELEMENTC_H
