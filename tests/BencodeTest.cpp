// The message decoder's limits, which keep a peer from making it hold much.
// Canonical form, refusal of what is not canonical and streams cut into
// pieces are the fuzz target's.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Faultwright.h"

namespace {

// What a fresh decoder makes of bytes: the message re-encoded, "malformed"
// or "incomplete".
std::string Decode(const std::string& bytes) {
  BDecoderC decoder;
  size_t used = 0;
  std::unique_ptr<BDictionaryC> message;
  const BDecoderC::Result result = decoder.Decode(bytes.data(), bytes.size(), &used, &message);
  if (result != BDecoderC::kMessage) return result == BDecoderC::kMalformed ? "malformed" : "incomplete";
  BEncoderC encoder;
  encoder.Add(*message);
  return encoder.Bytes();
}

TEST(Bencode, LimitsDepthStringAndMessageLength) {
  // The message's dictionary and depth - 1 lists inside it.
  auto nested = [](size_t depth) { return "d1:a" + std::string(depth - 1, 'l') + std::string(depth - 1, 'e') + "e"; };
  EXPECT_EQ(Decode(nested(BDecoderC::kMaxDepth)), nested(BDecoderC::kMaxDepth));
  EXPECT_EQ(Decode(nested(BDecoderC::kMaxDepth + 1)), "malformed");
  const std::string longest = "d1:a1048576:" + std::string(BDecoderC::kMaxStringBytes, 'x') + "e";
  EXPECT_EQ(Decode(longest), longest);
  // The announced length alone is refused, before any of its bytes is kept.
  BDecoderC decoder;
  size_t used = 0;
  std::unique_ptr<BDictionaryC> message;
  EXPECT_EQ(decoder.Decode("d1:a1048577:xx", 14, &used, &message), BDecoderC::kMalformed);
  EXPECT_LE(used, 12u);
  std::string many = "d1:al";
  while (many.size() <= BDecoderC::kMaxMessageBytes) many += "i0e";
  EXPECT_EQ(Decode(many + "ee"), "malformed");
}

}  // namespace
