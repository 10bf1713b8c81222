// Fuzzes the message decoder of the message-passing layer with any bytes, cut
// into pieces as a socket may deliver them, and hands every message it yields
// to a connection, as a peer's messages are handed on.
//
// The first byte of an input chooses the pieces (0: the whole stream at once,
// n: pieces of 1 to n bytes); the rest is the stream. Beyond the sanitizers it
// checks that the pieces never change the outcome, that every message
// re-encodes to exactly the bytes it came from (the decoder takes only the
// canonical form, which is what the encoder writes), and that a malformed
// stream stays refused until Reset.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Platform/MPI/BDecoderC.h"
#include "Platform/MPI/BElementC.h"
#include "Platform/MPI/BEncoderC.h"
#include "Platform/MPI/MPICallbackBase.h"
#include "Platform/MPI/MPISocketConnectionC.h"
#include "Support/FuzzSupport.h"

namespace {

// Reads a callback's arguments as the service client's dispatch does.
class ArgumentReader : public MPICallbackBase {
 public:
  int Call(const std::string&, BListC* args) override {
    int64_t sum = 0;
    for (size_t i = 0; i < args->Size(); ++i) {
      int64_t value = 0;
      if (args->IntegerAt(i, &value)) sum ^= value;
    }
    return sum == 0 ? 0 : 1;
  }
};

struct Outcome {
  std::vector<std::string> messages;  // each message's bytes
  bool malformed = false;
};

// Piece sizes from a small generator, so that one seed byte gives a varied cut.
class PieceSizes {
 public:
  explicit PieceSizes(uint8_t largest) : largest_(largest), state_(0x9E3779B9u ^ largest) {}
  size_t Next(size_t left) {
    if (largest_ == 0) return left;
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    size_t size = 1 + state_ % largest_;
    return size < left ? size : left;
  }

 private:
  uint8_t largest_;
  uint32_t state_;
};

Outcome Decode(const char* stream, size_t size, uint8_t largestPiece, MPISocketConnectionC* connection) {
  Outcome outcome;
  BDecoderC decoder;
  PieceSizes pieces(largestPiece);
  size_t position = 0;      // bytes consumed by the decoder
  size_t messageStart = 0;  // where the message being decoded began
  while (position < size) {
    size_t left = pieces.Next(size - position);
    while (left > 0) {
      size_t used = 0;
      std::unique_ptr<BDictionaryC> message;
      BDecoderC::Result result = decoder.Decode(stream + position, left, &used, &message);
      FUZZ_CHECK(used <= left);
      position += used;
      left -= used;
      if (result == BDecoderC::kMalformed) {
        outcome.malformed = true;
        size_t more = 0;
        FUZZ_CHECK(decoder.Decode("de", 2, &more, &message) == BDecoderC::kMalformed);
        decoder.Reset();
        FUZZ_CHECK(decoder.Decode("de", 2, &more, &message) == BDecoderC::kMessage && more == 2);
        return outcome;
      }
      if (result == BDecoderC::kNeedMore) {
        FUZZ_CHECK(left == 0);
        break;
      }
      FUZZ_CHECK(message != nullptr);
      BEncoderC encoder;
      encoder.Add(*message);
      FUZZ_CHECK(encoder.Bytes() == std::string(stream + messageStart, position - messageStart));
      outcome.messages.push_back(encoder.Bytes());
      messageStart = position;
      if (connection != nullptr) connection->MessageReceived(message.release());
    }
  }
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FaultwrightFuzz::KeepStandardStreamsOpen();
  if (size == 0) return 0;
  const char* stream = reinterpret_cast<const char*>(data) + 1;
  MPISocketConnectionC connection;
  connection.RequestCallback("cb_error_notify", new ArgumentReader);
  Outcome inPieces = Decode(stream, size - 1, data[0], &connection);
  Outcome whole = Decode(stream, size - 1, 0, nullptr);
  FUZZ_CHECK(inPieces.malformed == whole.malformed);
  FUZZ_CHECK(inPieces.messages == whole.messages);
  return 0;
}
