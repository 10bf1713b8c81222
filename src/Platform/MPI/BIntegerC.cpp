#include "Platform/MPI/BIntegerC.h"

#include "Platform/MPI/BEncoderC.h"

void BIntegerC::Encode(BEncoderC& encoder) const { encoder.AddInteger(value_); }
