// BStringC: a byte string value, bencoded as "<length>:<bytes>". The bytes are
// arbitrary; nothing assumes text.
#ifndef FAULTWRIGHT_PLATFORM_MPI_BSTRINGC_H
#define FAULTWRIGHT_PLATFORM_MPI_BSTRINGC_H

#include <string>

#include "Platform/MPI/BElementC.h"

class BStringC : public BElementC {
 public:
  explicit BStringC(std::string bytes) : bytes_(std::move(bytes)) {}

  const std::string& Bytes() const { return bytes_; }
  void Encode(BEncoderC& encoder) const override;

 private:
  std::string bytes_;
};

#endif  // FAULTWRIGHT_PLATFORM_MPI_BSTRINGC_H
