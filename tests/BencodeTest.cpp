// The message codec: canonical encoding, refusal of what is not canonical,
// and the limits that keep a peer from making the decoder hold much. Streams
// cut into pieces and arbitrary bytes are the fuzz target's.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Faultwright.h"

namespace {

using Messages = std::vector<std::string>;

// The messages that decoder (a fresh one when none) makes of bytes, each
// re-encoded, then "malformed" when it refused them.
Messages Decode(const std::string& bytes, BDecoderC* decoder = nullptr) {
  BDecoderC fresh;
  Messages results;
  for (size_t at = 0, used = 0; at < bytes.size(); at += used) {
    std::unique_ptr<BDictionaryC> message;
    BDecoderC::Result result = (decoder ? decoder : &fresh)->Decode(&bytes[at], bytes.size() - at, &used, &message);
    if (result == BDecoderC::kMalformed) results.push_back("malformed");
    if (result != BDecoderC::kMessage) break;
    BEncoderC encoder;
    encoder.Add(*message);
    results.push_back(encoder.Bytes());
  }
  return results;
}

TEST(Bencode, EncodesMessagesCanonicallyAndDecodesThemBack) {
  BDictionaryC message;
  auto* args = new BListC(nullptr);
  args->Add(0x010C38);
  args->Add(-11);
  message.SetString("type", "notify");
  message.SetString("name", "RaiseError");
  message.Set("args", args);
  message.SetString(std::string("\xff\0", 2), std::string("\0:e", 3));
  BEncoderC encoder;
  encoder.Add(message);
  const char expected[] =
      "d4:argsli68664ei-11ee4:name10:RaiseError4:type6:notify2:\xff\0"
      "3:\0:ee";
  EXPECT_EQ(encoder.Bytes(), std::string(expected, sizeof expected - 1));
  EXPECT_EQ(Decode(encoder.Bytes()), Messages{encoder.Bytes()});
}

TEST(Bencode, RefusesWhatIsNotACanonicalMessageUntilReset) {
  std::istringstream malformed(
      "x i1e le 3:abc d3:fooe di1ei2ee d1:b0:1:a0:e d1:a0:1:a0:e d1:ai01ee d1:ai-0ee d1:aie d1:ai-e d1:ai1-ee "
      "d1:a01:xe d1:a-1:xe d1:ax dle0:e d1:ai9223372036854775808ee d1:ai-9223372036854775809ee d1:ai123456789012345678901ee ee");
  for (std::string input; malformed >> input;) EXPECT_EQ(Decode(input), Messages{"malformed"}) << input;
  BDecoderC decoder;
  EXPECT_EQ(Decode("dex", &decoder), (Messages{"de", "malformed"}));
  EXPECT_EQ(Decode("de", &decoder), Messages{"malformed"});
  decoder.Reset();
  EXPECT_EQ(Decode("de", &decoder), Messages{"de"});
}

TEST(Bencode, LimitsDepthStringAndMessageLength) {
  // The message's dictionary and depth - 1 lists inside it.
  auto nested = [](size_t depth) { return "d1:a" + std::string(depth - 1, 'l') + std::string(depth - 1, 'e') + "e"; };
  EXPECT_EQ(Decode(nested(BDecoderC::kMaxDepth)), Messages{nested(BDecoderC::kMaxDepth)});
  EXPECT_EQ(Decode(nested(BDecoderC::kMaxDepth + 1)), Messages{"malformed"});
  const std::string longest = "d1:a1048576:" + std::string(BDecoderC::kMaxStringBytes, 'x') + "e";
  EXPECT_EQ(Decode(longest), Messages{longest});
  // The announced length alone is refused, before any of its bytes is kept.
  BDecoderC decoder;
  size_t used = 0;
  std::unique_ptr<BDictionaryC> message;
  EXPECT_EQ(decoder.Decode("d1:a1048577:xx", 14, &used, &message), BDecoderC::kMalformed);
  EXPECT_LE(used, 12u);
  std::string many = "d1:al";
  while (many.size() <= BDecoderC::kMaxMessageBytes) many += "i0e";
  EXPECT_EQ(Decode(many + "ee"), Messages{"malformed"});
}

}  // namespace
