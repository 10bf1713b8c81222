// BDecoderC: the incremental decoder of the layer's messages.
//
// Bytes may arrive in pieces of any size, down to one byte at a time; Decode
// consumes them up to the end of the first message that they complete and hands
// that message out, so every byte is looked at once. Every message is one
// dictionary. Anything else is malformed: bytes that are no bencoding, a message
// that is not a dictionary, dictionary keys that are not strings or not in
// strictly ascending byte order, integers with leading zeros, "-0" or outside 64
// bits, nesting deeper than kMaxDepth, a string longer than kMaxStringBytes or a
// message longer than kMaxMessageBytes. After a malformed input the decoder
// refuses everything until Reset; its owner closes the connection. The limits
// keep the memory of a half-received message bounded whatever a peer sends.
#ifndef FAULTWRIGHT_PLATFORM_MPI_BDECODERC_H
#define FAULTWRIGHT_PLATFORM_MPI_BDECODERC_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "Platform/MPI/BElementC.h"

class BListC;

class BDecoderC {
 public:
  enum Result { kNeedMore, kMessage, kMalformed };

  static constexpr size_t kMaxDepth = 32;
  static constexpr size_t kMaxStringBytes = 1 << 20;
  static constexpr size_t kMaxMessageBytes = 2 << 20;

  BDecoderC();
  ~BDecoderC();
  BDecoderC(const BDecoderC&) = delete;
  BDecoderC& operator=(const BDecoderC&) = delete;

  // Consumes bytes[0, size) up to the end of the first message they complete.
  // *used tells how many bytes were taken. kMessage hands the message out in
  // *message; kNeedMore means all bytes were taken and the message goes on.
  Result Decode(const char* bytes, size_t size, size_t* used, std::unique_ptr<BDictionaryC>* message);

  // Forgets any half-received message and a malformed state: a new stream.
  void Reset();

 private:
  enum State { kValue, kInteger, kLength, kString };

  // A list or dictionary whose closing "e" has not arrived yet.
  struct OpenContainer {
    std::unique_ptr<BElementC> element;
    BListC* list = nullptr;
    BDictionaryC* dictionary = nullptr;
    std::string key;      // the dictionary's latest key
    bool hasKey = false;  // its latest key still waits for its value
  };

  bool Consume(char byte);
  bool StartValue(char byte);
  bool IntegerByte(char byte);
  bool LengthByte(char byte);
  bool CompleteInteger();
  bool CompleteString();
  bool Open(std::unique_ptr<BElementC> element, BListC* list, BDictionaryC* dictionary);
  bool Close();
  bool Attach(std::unique_ptr<BElementC> element);

  State state_ = kValue;
  std::vector<OpenContainer> open_;
  std::string token_;  // integer digits, or the string received so far
  size_t length_ = 0;  // announced length of the string being read
  size_t lengthDigits_ = 0;
  size_t messageBytes_ = 0;
  bool failed_ = false;
  std::unique_ptr<BDictionaryC> done_;
};

#endif  // FAULTWRIGHT_PLATFORM_MPI_BDECODERC_H
