// BDictionaryC: a map from byte-string keys to values, bencoded as
// "d<key><value>...e" with the keys in ascending byte order. Every message of
// the layer is one dictionary. The dictionary owns its values.
#ifndef FAULTWRIGHT_PLATFORM_MPI_BDICTIONARYC_H
#define FAULTWRIGHT_PLATFORM_MPI_BDICTIONARYC_H

#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "Platform/MPI/BElementC.h"

class BListC;

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

#endif  // FAULTWRIGHT_PLATFORM_MPI_BDICTIONARYC_H
