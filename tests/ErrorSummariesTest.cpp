// Summaries of live errors as the trigger sets' linking asks, with the state
// codes they write and what these decode to; the codes that the decoder
// refuses or finds cut short (the round trip over generated catalogues is a
// check of the StateCode fuzz target); the summaries of recorded states; the
// print of the active trees.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>
#include <vector>

#include "Common/Summaries/ActiveErrorsPrinter.h"
#include "Common/Summaries/ErrorSummaries.h"
#include "Common/Summaries/StateCodeDecoder.h"
#include "Inspect/SummaryOutput.h"
#include "Support/LiveCatalogue.h"

namespace Faultwright {
namespace {

using FaultwrightTest::ErrorXml;
using FaultwrightTest::LiveCatalogue;
using FaultwrightTest::TriggerSetXml;
using FaultwrightTest::WrittenBy;
using Strings = std::vector<std::string>;

nlohmann::json Fields(const std::vector<CErrorSummary>& summaries, bool catalogued = true) {
  return nlohmann::json::parse(SummariesToJson(summaries, Core::Time(), catalogued));
}

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

// The rows of tests/data/Summaries/worked.json: each summarises Data:3 in a
// live state and names fields of the summary's JSON form, and the tree that
// its state code decodes to.
TEST(ErrorSummaries, WorkedSummariesAndTheirStateCodesBothWays) {
  const nlohmann::json worked =
      nlohmann::json::parse(FaultwrightTest::ReadFile(FAULTWRIGHT_SOURCE_DIR "/tests/data/Summaries/worked.json"));
  for (const nlohmann::json& row : worked["rows"]) {
    SCOPED_TRACE(row["about"].get<std::string>());
    std::string errors;
    for (const nlohmann::json& error : worked["catalogues"][row["catalogue"].get<std::string>()]) {
      std::string triggerSets;
      for (const nlohmann::json& set : error.size() > 2 ? error[2] : nlohmann::json::array()) {
        triggerSets += TriggerSetXml(set[0], set[1]);
      }
      errors += ErrorXml(error[0], error.size() > 1 ? error[1].get<std::string>() : "", triggerSets);
    }
    LiveCatalogue live(errors, row.value("patterns", ""));
    live.Raise(row["raised"]);
    const CErrorSummary summary = live.Summary("Data:3", row.value("textKeys", false));
    nlohmann::json fields = Fields({summary})[0];
    Strings tree = Decode(live, summary.stateCode).lines;
    for (std::string& line : tree) line.erase(line.find("GPS:GPS:"), 8);
    fields["tree"] = tree;
    for (const auto& field : row["expected"].items()) EXPECT_EQ(fields[field.key()], field.value()) << field.key();
  }
}

TEST(StateCodeDecoder, RefusedCutShortAndLowerCaseCodes) {
  LiveCatalogue live(ErrorXml("Data:3", "shouldBeep='yes'", TriggerSetXml({}, {"Crash:0", "Crash:1"})) +
                     ErrorXml("Crash:0") + ErrorXml("Crash:1"));
  // Beyond the table, characters outside the hexadecimal digits: nothing changes.
  for (const std::string& code :
       Strings{"FFC0", "00C0", "00G0", " 000", "000 ", "+00", std::string{'0', '\0', '0', '0'}}) {
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

TEST(ErrorSummaries, OwnerViewAndRecordedStates) {
  // The owner's view holds no local copy: unknown index, zero times.
  LiveCatalogue live(ErrorXml("Data:3"));
  live.Raise({"Data:3"});
  std::vector<CErrorSummary> summaries(3);
  BuildErrorSummaries(live.Owner(), CErrorPatterns(live.ConfigDirectory()), {live.Find("Data:3")}, summaries, false);
  EXPECT_EQ(Fields(summaries)[0]["stateCode"], "FFC0");
  EXPECT_EQ(Fields(summaries)[0]["raised"], 0);

  auto state = [](uint32_t code, int16_t type, uint16_t count, uint32_t raisedSeconds) {
    CErrorState record = {};
    record.Code = code;
    record.Type = type;
    record.RaiseCount1 = record.RaiseCount2 = count;
    record.Raised = Core::MonotonicTime(raisedSeconds, 999999999);
    return record;
  };
  summaries.resize(1);
  summaries[0].raised = Core::Time(150, 0);
  // Latest raise first, the earlier record among them, texts by key.
  BuildStateSummaries(
      {state(0x010C0C, 3, 2, 100), state(0x010C1B, -1, 0, 500), state(0x9A0000, 7, 1, 200), state(0x010C0C, -2, 1, 1)},
      summaries);
  std::string order;
  for (const CErrorSummary& summary : summaries) {
    order += summary.problems.at(0) + " " + std::to_string(summary.raised.Seconds()) + "\n";
  }
  EXPECT_EQ(order, ":::7.problem 200\nproblem of Data:3 150\nGPS:GPS:Data:3.problem 100\nGPS:GPS:Data:-2.problem 1\n");
}

TEST(ErrorSummaries, PrintShowsActiveTriggersAsATreeAndACycleFinitely) {
  LiveCatalogue live(ErrorXml("Framing:1") + ErrorXml("Heading:1") +
                     ErrorXml("Crash:1", "", TriggerSetXml({"errorLinking=shallow"}, {"Framing:1", "Heading:1"})) +
                     ErrorXml("Data:3", "", TriggerSetXml({}, {"Crash:1"})) + ErrorXml("No Data:3") +
                     ErrorXml("Speed:1", "", TriggerSetXml({}, {"Speed:2"})) +
                     ErrorXml("Speed:2", "", TriggerSetXml({}, {"Speed:1"})));
  live.Raise({"Framing:1", "Crash:1", "Data:3", "No Data:3", "Speed:1", "Speed:2"});
  EXPECT_EQ(WrittenBy([&](std::FILE* out) { PrintActiveTopLevelErrors(live.TopLevelErrors(), out); }),
            "Active top level errors\n+GPS:GPS:Data:3\n  +GPS:GPS:Crash:1\n    +GPS:GPS:Framing:1\n"
            "+GPS:GPS:No Data:3\n+GPS:GPS:Speed:1\n  +GPS:GPS:Speed:2\n    +GPS:GPS:Speed:1\n");
}

}  // namespace
}  // namespace Faultwright
