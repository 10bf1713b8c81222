#include "Platform/MPI/BEncoderC.h"

#include "Platform/MPI/BElementC.h"

void BEncoderC::AddInteger(int64_t value) {
  bytes_ += 'i';
  bytes_ += std::to_string(value);
  bytes_ += 'e';
}

void BEncoderC::AddString(const std::string& bytes) {
  bytes_ += std::to_string(bytes.size());
  bytes_ += ':';
  bytes_ += bytes;
}

void BEncoderC::Add(const BElementC& element) { element.Encode(*this); }
