// BEncoderC: builds the bencoded bytes of one message.
//
// Values are appended in order; containers are opened with BeginList or
// BeginDictionary and closed with End. The encoder writes what it is given:
// a caller that opens a dictionary must add its keys in ascending byte order
// (BDictionaryC does so by itself).
#ifndef FAULTWRIGHT_PLATFORM_MPI_BENCODERC_H
#define FAULTWRIGHT_PLATFORM_MPI_BENCODERC_H

#include <cstdint>
#include <string>

class BElementC;

class BEncoderC {
 public:
  void AddInteger(int64_t value);
  void AddString(const std::string& bytes);
  void Add(const BElementC& element);
  void BeginList() { bytes_ += 'l'; }
  void BeginDictionary() { bytes_ += 'd'; }
  void End() { bytes_ += 'e'; }

  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

#endif  // FAULTWRIGHT_PLATFORM_MPI_BENCODERC_H
