#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Faultwright.h"

namespace {

// Feeds bytes in pieces of at most piece bytes; returns the re-encoded
// messages, then "malformed" when the decoder refused the input.
std::vector<std::string> DecodeInPieces(BDecoderC& decoder, const std::string& bytes, size_t piece) {
  std::vector<std::string> results;
  for (size_t at = 0; at < bytes.size();) {
    const size_t size = std::min(piece, bytes.size() - at);
    size_t used = 0;
    std::unique_ptr<BDictionaryC> message;
    BDecoderC::Result result = decoder.Decode(bytes.data() + at, size, &used, &message);
    EXPECT_LE(used, size);
    if (result == BDecoderC::kMalformed) {
      results.push_back("malformed");
      return results;
    }
    if (result == BDecoderC::kMessage) {
      BEncoderC encoder;
      encoder.Add(*message);
      results.push_back(encoder.Bytes());
    }
    at += used;
  }
  return results;
}

std::vector<std::string> Decode(const std::string& bytes) {
  BDecoderC decoder;
  return DecodeInPieces(decoder, bytes, bytes.size());
}

TEST(Bencode, EncodesMessagesCanonically) {
  BDictionaryC message;
  auto* args = new BListC(nullptr);
  args->Add(0x010C38);
  args->Add(-11);
  args->Add(0);
  message.SetString("type", "notify");
  message.SetString("name", "RaiseError");
  message.Set("args", args);
  message.SetString(std::string("\xff\0", 2), std::string("\0:e", 3));
  BEncoderC encoder;
  encoder.Add(message);
  const char expected[] =
      "d4:argsli68664ei-11ei0ee4:name10:RaiseError4:type6:notify2:\xff\0"
      "3:\0:ee";
  EXPECT_EQ(encoder.Bytes(), std::string(expected, sizeof expected - 1));
  EXPECT_EQ(Decode(encoder.Bytes()), std::vector<std::string>{encoder.Bytes()});
}

TEST(Bencode, DecodesMessagesSplitAnywhere) {
  const std::string stream =
      "d4:argsli68664ei11ei0ee4:name10:RaiseError4:type6:notifye"
      "d4:name15:cb_error_notify4:type16:request_callbacke"
      "d0:le1:ad1:bi-9223372036854775808e1:ci9223372036854775807eee";
  const std::vector<std::string> whole = Decode(stream);
  ASSERT_EQ(whole.size(), 3u);
  EXPECT_EQ(whole[0] + whole[1] + whole[2], stream);
  for (size_t piece = 1; piece < 9; ++piece) {
    BDecoderC decoder;
    EXPECT_EQ(DecodeInPieces(decoder, stream, piece), whole) << piece;
  }
}

TEST(Bencode, RefusesMalformedInputUntilReset) {
  const char* const malformed[] = {
      "x",
      "i1e",
      "le",
      "3:abc",
      "d3:fooe",
      "di1ei2ee",
      "d1:b0:1:a0:e",
      "d1:a0:1:a0:e",
      "d1:ai01ee",
      "d1:ai-0ee",
      "d1:aie",
      "d1:ai-e",
      "d1:ai1-ee",
      "d1:a01:xe",
      "d1:a-1:xe",
      "d1:ax",
      "dle0:e",
      "d1:ai9223372036854775808ee",
      "d1:ai-9223372036854775809ee",
      "d1:ai123456789012345678901ee",
      "ee",
  };
  for (const char* input : malformed) {
    EXPECT_EQ(Decode(input), std::vector<std::string>{"malformed"}) << input;
  }
  BDecoderC decoder;
  EXPECT_EQ(DecodeInPieces(decoder, "dex", 3), (std::vector<std::string>{"de", "malformed"}));
  EXPECT_EQ(DecodeInPieces(decoder, "de", 2), std::vector<std::string>{"malformed"});
  decoder.Reset();
  EXPECT_EQ(DecodeInPieces(decoder, "de", 2), std::vector<std::string>{"de"});
}

TEST(Bencode, LimitsDepthStringAndMessageLength) {
  // The message's dictionary and depth - 1 lists inside it.
  auto nested = [](size_t depth) { return "d1:a" + std::string(depth - 1, 'l') + std::string(depth - 1, 'e') + "e"; };
  EXPECT_EQ(Decode(nested(BDecoderC::kMaxDepth)), std::vector<std::string>{nested(BDecoderC::kMaxDepth)});
  EXPECT_EQ(Decode(nested(BDecoderC::kMaxDepth + 1)), std::vector<std::string>{"malformed"});

  const std::string longest = "d1:a1048576:" + std::string(BDecoderC::kMaxStringBytes, 'x') + "e";
  EXPECT_EQ(Decode(longest), std::vector<std::string>{longest});
  // The announced length alone is refused, before any of its bytes is kept.
  BDecoderC decoder;
  size_t used = 0;
  std::unique_ptr<BDictionaryC> message;
  EXPECT_EQ(decoder.Decode("d1:a1048577:xx", 14, &used, &message), BDecoderC::kMalformed);
  EXPECT_LE(used, 12u);

  std::string many = "d1:al";
  while (many.size() <= BDecoderC::kMaxMessageBytes) many += "i0e";
  EXPECT_EQ(Decode(many + "ee"), std::vector<std::string>{"malformed"});
}

TEST(Bencode, SurvivesArbitraryBytes) {
  const std::string valid = "d4:argsli68664ei11ei0ee4:name10:RaiseError4:type6:notifye";
  std::mt19937 random(5300);
  for (int round = 0; round < 20000; ++round) {
    std::string bytes = valid;
    if (round % 2 == 0) {
      for (int change = random() % 4; change >= 0; --change)
        bytes[random() % bytes.size()] = static_cast<char>(random());
    } else {
      bytes.resize(random() % 64);
      for (char& byte : bytes) byte = "dlie0123456789:-x"[random() % 17];
    }
    BDecoderC decoder;
    DecodeInPieces(decoder, bytes, 1 + random() % 8);
  }
}

}  // namespace
