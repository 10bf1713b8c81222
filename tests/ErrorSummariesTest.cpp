// Summaries of live errors as the trigger sets' linking asks, the summaries
// of recorded states, and the print of the active trees. The state codes are
// StateCodeDecoderTest's.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "Common/Summaries/ActiveErrorsPrinter.h"
#include "Common/Summaries/ErrorSummaries.h"
#include "Inspect/SummaryOutput.h"
#include "Support/LiveCatalogue.h"

namespace Faultwright {
namespace {

using FaultwrightTest::ErrorXml;
using FaultwrightTest::LiveCatalogue;
using FaultwrightTest::TriggerSetXml;
using FaultwrightTest::WrittenBy;

nlohmann::json Fields(const std::vector<CErrorSummary>& summaries, bool catalogued = true) {
  return nlohmann::json::parse(SummariesToJson(summaries, Core::Time(), catalogued));
}

TEST(ErrorSummaries, FlagsTitlesAndTextsAsTheLinksAsk) {
  const std::string titledByTriggers =
      ErrorXml("Crash:1", "shouldBeep='yes'") + ErrorXml("Heading:1") + ErrorXml("Framing:1") +
      ErrorXml("Data:3", "fullScreen='yes'",
               TriggerSetXml({"titleSource=trigger", "fullScreen=no"}, {"Crash:1", "Heading:1"}) +
                   TriggerSetXml({"titleSource=trigger"}, {"Framing:1"}));
  const std::string withTrigger = ErrorXml("Calibration:0") + ErrorXml("Data:3", "visible='yes' forceShutdown='yes'",
                                                                       TriggerSetXml({}, {"Calibration:0"}));
  struct Row {
    std::string errors;
    std::string patterns;
    std::vector<std::string> raised;  // Data:3 is summarised
    const char* expected;             // fields of its JSON form
    bool useTextKeys;
  };
  const std::vector<Row> rows = {
      {withTrigger,
       "<pattern fixedCode='ALONE'><e id='GPS:GPS:Data:3'/></pattern>",
       {"Data:3", "-Data:3", "Data:3"},
       R"({"visible":true,"forceShutdown":true,"includeServiceNumber":false,"severity":"Medium","raiseCount1":2,
           "fixedCode":"ALONE","problems":["problem of Data:3"],"shortTitle":"title Data:3"})",
       false},
      {withTrigger,
       "<pattern fixedCode='ALONE'><e id='GPS:GPS:Data:3'/></pattern>",
       {"Data:3", "Calibration:0"},
       R"({"fixedCode":"","solutions":["solution of Calibration:0"]})",
       false},
      // Crash:1 presents only its trigger's solution.
      {ErrorXml("Framing:1", "shouldBeepIfGuiding='yes'") +
           ErrorXml("Crash:1", "", TriggerSetXml({"errorLinking=childOnly"}, {"Framing:1"})) + ErrorXml("Heading:1") +
           ErrorXml("Data:3", "",
                    TriggerSetXml({}, {"Crash:1"}) + TriggerSetXml({"errorLinking=verbose"}, {"Heading:1"})),
       "<pattern fixedCode='PART' allowPartialMatch='yes'><e id='GPS:GPS:Framing:1'/></pattern>",
       {"Framing:1", "Crash:1", "Heading:1", "Data:3"},
       R"({"problems":["problem of Heading:1"],"solutions":["solution of Framing:1","solution of Heading:1"],
           "shortTitle":"title Data:3","vtTitle":"short Data:3","shouldBeepIfGuiding":true,"fixedCode":"PART"})",
       false},
      // A shallow link reports its trigger, and nothing below it.
      {ErrorXml("Framing:1", "shouldBeep='yes'") + ErrorXml("Crash:1", "", TriggerSetXml({}, {"Framing:1"})) +
           ErrorXml("Data:3", "", TriggerSetXml({"errorLinking=shallow", "titleSource=trigger"}, {"Crash:1"})),
       "<pattern fixedCode='WITH FRAMING'><e id='GPS:GPS:Data:3'/><e id='GPS:GPS:Crash:1'/>"
       "<e id='GPS:GPS:Framing:1'/></pattern><pattern fixedCode='TOP AND CRASH'><e id='GPS:GPS:Data:3'/>"
       "<e id='GPS:GPS:Crash:1'/></pattern>",
       {"Framing:1", "Crash:1", "Data:3"},
       R"({"fixedCode":"TOP AND CRASH","shortTitle":"title Crash:1","vtTitle":"short Crash:1",
           "solutions":["solution of Data:3"],"shouldBeep":false})",
       false},
      {titledByTriggers, "", {"Data:3"}, R"({"fullScreen":true,"shouldBeep":false})", false},
      {titledByTriggers,
       "",
       {"Data:3", "Crash:1"},
       R"({"shortTitle":"title Crash:1","fullScreen":false,"shouldBeep":true})",
       false},
      // Two active triggers in one set leave no single title: the error's own;
      // a later set sets it again.
      {titledByTriggers, "", {"Data:3", "Crash:1", "Heading:1"}, R"({"shortTitle":"title Data:3"})", false},
      {titledByTriggers,
       "",
       {"Data:3", "Crash:1", "Heading:1", "Framing:1"},
       R"({"shortTitle":"title Framing:1","vtTitle":"short Framing:1"})",
       false},
      {ErrorXml("Crash:1") + ErrorXml("Data:3"),
       "",
       {"Data:3"},
       R"({"shortTitle":"GPS:GPS:Data:3.shortTitle","vtTitle":"GPS:GPS:Data:3.vtTitle",
           "problems":["GPS:GPS:Data:3.problem"],"solutions":["GPS:GPS:Data:3.solution"]})",
       true},
      {ErrorXml("Crash:1") + ErrorXml("Data:3", "", TriggerSetXml({"errorLinking=verbose"}, {"Crash:1"})),
       "",
       {"Crash:1", "Data:3"},
       R"({"problems":["GPS:GPS:Crash:1.problem"],"solutions":["GPS:GPS:Crash:1.solution"]})",
       true},
      // A cycle summarises finitely: Data:3 is on the path and not walked again.
      {ErrorXml("Crash:1", "", TriggerSetXml({}, {"Data:3"})) +
           ErrorXml("Data:3", "", TriggerSetXml({"errorLinking=verbose"}, {"Crash:1"})),
       "",
       {"Crash:1", "Data:3"},
       R"({"problems":["problem of Crash:1"],"solutions":["solution of Crash:1","solution of Data:3"]})",
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.expected);
    LiveCatalogue live(row.errors, row.patterns);
    live.Raise(row.raised);
    const nlohmann::json fields = Fields({live.Summary("Data:3", row.useTextKeys)})[0];
    const nlohmann::json expectedFields = nlohmann::json::parse(row.expected);
    for (const auto& expected : expectedFields.items()) {
      EXPECT_EQ(fields[expected.key()], expected.value()) << expected.key();
    }
  }
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
