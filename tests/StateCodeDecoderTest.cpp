// State codes both ways: the code that the summary writes for a live state,
// and the tree that the decoder reads back from it. The round trip over
// generated catalogues is a check of the StateCode fuzz target.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "Common/Summaries/StateCodeDecoder.h"
#include "Support/LiveCatalogue.h"

namespace Faultwright {
namespace {

using FaultwrightTest::ErrorXml;
using FaultwrightTest::LiveCatalogue;
using FaultwrightTest::TriggerSetXml;
using Strings = std::vector<std::string>;

struct Decoded {
  bool found = false;
  CErrorSummary summary;
  Strings lines;
  std::vector<CErrorKey> keys;
};

Decoded Decode(LiveCatalogue& live, const std::string& stateCode) {
  Decoded decoded;
  decoded.found =
      DecodeStateCode(stateCode, live.Catalogue(), live.Reader(), decoded.summary, decoded.lines, decoded.keys, false);
  return decoded;
}

// Five errors without triggers before Data:3, which has index 5.
const std::string kFiveBefore = ErrorXml("A Not Set:0") + ErrorXml("B Not Set:0") + ErrorXml("Calibration:0") +
                                ErrorXml("Checksum:0") + ErrorXml("Crash:0");

TEST(StateCodeDecoder, WorkedCodesEncodeAndDecode) {
  struct Row {
    std::string errors;
    Strings raised;  // Data:3 is summarised
    std::string code;
    Strings tree;
  };
  const std::vector<Row> rows = {
      {ErrorXml("Data:3") + kFiveBefore, {"Data:3"}, "0000", {"+-GPS:GPS:Data:3"}},
      {kFiveBefore + ErrorXml("Data:3"), {"Data:3"}, "0140", {"+-GPS:GPS:Data:3"}},
      // Index 5, then one bit per trigger: 0000000101 010.
      {kFiveBefore + ErrorXml("Data:3", "", TriggerSetXml({}, {"B Not Set:0", "Calibration:0", "Checksum:0"})),
       {"Data:3", "Calibration:0"},
       "0150",
       {"+-GPS:GPS:Data:3", "+---GPS:GPS:Calibration:0"}},
      // Index 3; blocks of Data:3 "11", Crash:1 "1", Framing:1 "": 0000000011 111.
      {ErrorXml("Framing:1") + ErrorXml("Crash:1", "", TriggerSetXml({"errorLinking=childOnly"}, {"Framing:1"})) +
           ErrorXml("Heading:1") +
           ErrorXml("Data:3", "",
                    TriggerSetXml({}, {"Crash:1"}) + TriggerSetXml({"errorLinking=verbose"}, {"Heading:1"})),
       {"Framing:1", "Crash:1", "Heading:1", "Data:3"},
       "00F8",
       {"+-GPS:GPS:Data:3", "+---GPS:GPS:Crash:1", "+-----GPS:GPS:Framing:1", "+---GPS:GPS:Heading:1"}},
      // Below a shallow link the bits are kept: index 2, blocks "1" and "1".
      {ErrorXml("Framing:1") + ErrorXml("Crash:1", "", TriggerSetXml({}, {"Framing:1"})) +
           ErrorXml("Data:3", "", TriggerSetXml({"errorLinking=shallow"}, {"Crash:1"})),
       {"Framing:1", "Crash:1", "Data:3"},
       "00B0",
       {"+-GPS:GPS:Data:3", "+---GPS:GPS:Crash:1", "+-----GPS:GPS:Framing:1"}},
      // A cycle: Data:3 is on the path and is not walked again.
      {ErrorXml("Crash:1", "", TriggerSetXml({}, {"Data:3"})) +
           ErrorXml("Data:3", "", TriggerSetXml({"errorLinking=verbose"}, {"Crash:1"})),
       {"Crash:1", "Data:3"},
       "0070",
       {"+-GPS:GPS:Data:3", "+---GPS:GPS:Crash:1", "+-----GPS:GPS:Data:3"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    LiveCatalogue live(row.errors);
    live.Raise(row.raised);
    EXPECT_EQ(live.Summary("Data:3").stateCode, row.code);
    Decoded decoded = Decode(live, row.code);
    EXPECT_TRUE(decoded.found);
    EXPECT_EQ(decoded.lines, row.tree);
    EXPECT_EQ(decoded.keys.size(), row.tree.size());
  }
}

TEST(StateCodeDecoder, RefusedCutShortAndLowerCaseCodes) {
  LiveCatalogue live(ErrorXml("Data:3", "shouldBeep='yes'", TriggerSetXml({}, {"Crash:0", "Crash:1"})) +
                     ErrorXml("Crash:0") + ErrorXml("Crash:1"));
  // Beyond the table, characters outside the hexadecimal digits: nothing changes.
  for (const std::string& code : Strings{"FFC0", "00C0", "00G0", " 000", "000 ", "+00",
                                         std::string("0\0"
                                                     "00",
                                                     4)}) {
    Decoded untouched = Decode(live, code);
    EXPECT_FALSE(untouched.found) << code;
    EXPECT_TRUE(untouched.keys.empty() && untouched.lines.empty() && !untouched.summary.shouldBeep) << code;
  }
  // A code that ends within its index cannot say which triggers are active.
  EXPECT_THROW(Decode(live, ""), std::out_of_range);
  EXPECT_THROW(Decode(live, "0"), std::out_of_range);
  // One that ends within its trigger bits: what is missing counts as inactive.
  EXPECT_EQ(Decode(live, "000").keys.size(), 1u);
  EXPECT_EQ(Decode(live, "002").lines, (Strings{"+-GPS:GPS:Data:3", "+---GPS:GPS:Crash:0"}));
  EXPECT_EQ(Decode(live, "003f").keys, Decode(live, "003F").keys);
}

}  // namespace
}  // namespace Faultwright
