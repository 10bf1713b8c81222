// BElementC: one value of the message-passing layer's bencoded messages.
//
// A value is an integer (BIntegerC), a byte string (BStringC), a list (BListC)
// or a dictionary (BDictionaryC). Containers own the elements they hold and
// delete them with themselves. Callers tell the kinds apart with dynamic_cast.
#ifndef FAULTWRIGHT_PLATFORM_MPI_BELEMENTC_H
#define FAULTWRIGHT_PLATFORM_MPI_BELEMENTC_H

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

#endif  // FAULTWRIGHT_PLATFORM_MPI_BELEMENTC_H
