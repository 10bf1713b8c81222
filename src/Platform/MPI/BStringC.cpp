#include "Platform/MPI/BStringC.h"

#include "Platform/MPI/BEncoderC.h"

void BStringC::Encode(BEncoderC& encoder) const { encoder.AddString(bytes_); }
