#include "Faultwright.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Support/LiveCatalogue.h"

namespace Faultwright {
namespace {

using FaultwrightTest::ErrorXml;
using FaultwrightTest::LiveCatalogue;
using FaultwrightTest::TriggerSetXml;
using Strings = std::vector<std::string>;

CErrorSummary SummaryOf(LiveCatalogue& live, const std::string& name, bool useTextKeys = false) {
  CErrorPatterns patterns(live.ConfigDirectory());
  std::vector<CErrorSummary> summaries;
  BuildErrorSummaries(live.Reader(), patterns, {live.Find(name)}, summaries, useTextKeys);
  return summaries.at(0);
}

TEST(ErrorSummaries, WorkedStateCodesIndexAndTriggerBits) {
  LiveCatalogue live(ErrorXml("A Not Set:0", "visible='yes' forceShutdown='yes'") + ErrorXml("B Not Set:0") +
                         ErrorXml("Calibration:0") + ErrorXml("Checksum:0") + ErrorXml("Crash:0") +
                         ErrorXml("Data:3", "", TriggerSetXml({}, {"B Not Set:0", "Calibration:0", "Checksum:0"})),
                     "<pattern fixedCode='DATA ALONE'><e id='GPS:GPS:Data:3'/></pattern>");
  live.Raise({"A Not Set:0", "Data:3"});
  live.Clear({"A Not Set:0"});
  live.Raise({"A Not Set:0"});
  CErrorSummary first = SummaryOf(live, "A Not Set:0");
  EXPECT_EQ(first.stateCode, "0000");
  CErrorState state = {};
  live.Reader().GetErrorState(first.code, first.type, state);
  EXPECT_EQ(first.raiseCount1, 2u);
  EXPECT_EQ(first.raised.Seconds(), state.Raised.Seconds());
  EXPECT_EQ(first.raised.Nanoseconds(), 0u);
  EXPECT_EQ(first.cleared.Seconds(), state.Cleared.Seconds());
  EXPECT_TRUE(first.visible && first.forceShutdown && !first.includeServiceNumber);
  EXPECT_EQ(first.severity, eesMedium);
  CErrorSummary alone = SummaryOf(live, "Data:3");
  EXPECT_EQ(alone.stateCode, "0140");
  EXPECT_EQ(alone.fixedCode, "DATA ALONE");
  EXPECT_EQ(alone.problems, Strings{"problem of Data:3"});
  EXPECT_EQ(alone.shortTitle, "title Data:3");

  live.Raise({"Calibration:0"});
  CErrorSummary withTrigger = SummaryOf(live, "Data:3");
  EXPECT_EQ(withTrigger.stateCode, "0150");
  EXPECT_EQ(withTrigger.fixedCode, "");

  // The owner's view holds no local copy: unknown index, zero times.
  std::vector<CErrorSummary> summaries(3);
  BuildErrorSummaries(live.Owner(), CErrorPatterns(live.ConfigDirectory()), {live.Find("A Not Set:0")}, summaries,
                      false);
  ASSERT_EQ(summaries.size(), 1u);
  EXPECT_EQ(summaries[0].stateCode, "FFC0");
  EXPECT_EQ(summaries[0].raiseCount1, 0u);
  EXPECT_TRUE(summaries[0].raised.IsZero());
  BuildErrorSummaries(live.Reader(), CErrorPatterns(live.ConfigDirectory()), {}, summaries, false);
  EXPECT_TRUE(summaries.empty());
}

TEST(ErrorSummaries, DeepVerboseAndChildOnlyLinks) {
  LiveCatalogue live(
      ErrorXml("Framing:1", "shouldBeepIfGuiding='yes'") +
          ErrorXml("Crash:1", "", TriggerSetXml({"errorLinking=childOnly"}, {"Framing:1"})) + ErrorXml("Heading:1") +
          ErrorXml("Data:3", "",
                   TriggerSetXml({}, {"Crash:1"}) + TriggerSetXml({"errorLinking=verbose"}, {"Heading:1"})),
      "<pattern fixedCode='PART' allowPartialMatch='yes'><e id='GPS:GPS:Framing:1'/></pattern>");
  live.Raise({"Framing:1", "Crash:1", "Heading:1", "Data:3"});
  ASSERT_EQ(live.TopLevelErrors(), std::vector<CError*>{live.Find("Data:3")});
  CErrorSummary summary = SummaryOf(live, "Data:3");
  EXPECT_EQ(summary.problems, Strings{"problem of Heading:1"});
  // Crash:1 presents only its triggers' solutions.
  EXPECT_EQ(summary.solutions, (Strings{"solution of Framing:1", "solution of Heading:1"}));
  EXPECT_EQ(summary.shortTitle, "title Data:3");
  EXPECT_EQ(summary.vtTitle, "short Data:3");
  EXPECT_TRUE(summary.shouldBeepIfGuiding);
  EXPECT_EQ(summary.fixedCode, "PART");
  // Index 3; blocks of Data:3 "11", Crash:1 "1", Framing:1 "": 0000000011 111.
  EXPECT_EQ(summary.stateCode, "00F8");
}

TEST(ErrorSummaries, ShallowLinkReportsTheTriggerButOnlyBitsBelowIt) {
  LiveCatalogue live(
      ErrorXml("Framing:1", "shouldBeep='yes'") + ErrorXml("Crash:1", "", TriggerSetXml({}, {"Framing:1"})) +
          ErrorXml("Data:3", "", TriggerSetXml({"errorLinking=shallow", "titleSource=trigger"}, {"Crash:1"})),
      "<pattern fixedCode='WITH FRAMING'><e id='GPS:GPS:Data:3'/><e id='GPS:GPS:Crash:1'/>"
      "<e id='GPS:GPS:Framing:1'/></pattern>"
      "<pattern fixedCode='TOP AND CRASH'><e id='GPS:GPS:Data:3'/><e id='GPS:GPS:Crash:1'/></pattern>");
  live.Raise({"Framing:1", "Crash:1", "Data:3"});
  CErrorSummary summary = SummaryOf(live, "Data:3");
  EXPECT_EQ(summary.fixedCode, "TOP AND CRASH");
  EXPECT_EQ(summary.shortTitle, "title Crash:1");
  EXPECT_EQ(summary.vtTitle, "short Crash:1");
  EXPECT_EQ(summary.solutions, Strings{"solution of Data:3"});
  EXPECT_FALSE(summary.shouldBeep);
  // Index 2; blocks "1" and "1": the bits of the tree below are kept.
  EXPECT_EQ(summary.stateCode, "00B0");
}

TEST(ErrorSummaries, TitlesFromTriggersFullScreenAndBeeps) {
  LiveCatalogue live(ErrorXml("Crash:1", "shouldBeep='yes'") + ErrorXml("Heading:1") + ErrorXml("Framing:1") +
                     ErrorXml("Data:3", "fullScreen='yes'",
                              TriggerSetXml({"titleSource=trigger", "fullScreen=no"}, {"Crash:1", "Heading:1"}) +
                                  TriggerSetXml({"titleSource=trigger"}, {"Framing:1"})));
  live.Raise({"Data:3"});
  CErrorSummary summary = SummaryOf(live, "Data:3");
  EXPECT_TRUE(summary.fullScreen);
  EXPECT_FALSE(summary.shouldBeep);

  live.Raise({"Crash:1"});
  summary = SummaryOf(live, "Data:3");
  EXPECT_EQ(summary.shortTitle, "title Crash:1");
  EXPECT_FALSE(summary.fullScreen);
  EXPECT_TRUE(summary.shouldBeep);

  // Two active triggers in one set leave no single title: the error's own.
  live.Raise({"Heading:1"});
  EXPECT_EQ(SummaryOf(live, "Data:3").shortTitle, "title Data:3");
  // A later set sets them again.
  live.Raise({"Framing:1"});
  summary = SummaryOf(live, "Data:3");
  EXPECT_EQ(summary.shortTitle, "title Framing:1");
  EXPECT_EQ(summary.vtTitle, "short Framing:1");
}

TEST(ErrorSummaries, TextKeysInsteadOfTexts) {
  LiveCatalogue live(ErrorXml("Data:3") + ErrorXml("Crash:1") +
                     ErrorXml("Heading:1", "", TriggerSetXml({"errorLinking=verbose"}, {"Crash:1"})));
  live.Raise({"Data:3", "Crash:1", "Heading:1"});
  CErrorSummary plain = SummaryOf(live, "Data:3", true);
  EXPECT_EQ(plain.shortTitle, "GPS:GPS:Data:3.shortTitle");
  EXPECT_EQ(plain.vtTitle, "GPS:GPS:Data:3.vtTitle");
  EXPECT_EQ(plain.problems, Strings{"GPS:GPS:Data:3.problem"});
  EXPECT_EQ(plain.solutions, Strings{"GPS:GPS:Data:3.solution"});
  CErrorSummary linked = SummaryOf(live, "Heading:1", true);
  EXPECT_EQ(linked.problems, Strings{"GPS:GPS:Crash:1.problem"});
  EXPECT_EQ(linked.solutions, Strings{"GPS:GPS:Crash:1.solution"});
}

TEST(ErrorSummaries, StateSummariesOfEverRaisedErrorsLatestFirst) {
  auto state = [](uint32_t code, int16_t type, uint16_t count, uint32_t raisedSeconds) {
    CErrorState record = {};
    record.Code = code;
    record.Type = type;
    record.RaiseCount1 = count;
    record.RaiseCount2 = count;
    record.Raised = Core::MonotonicTime(raisedSeconds, 999999999);
    return record;
  };
  std::vector<CErrorSummary> summaries(1);
  summaries[0].raised = Core::Time(150, 0);
  summaries[0].stateCode = "earlier";
  BuildStateSummaries({state(0x010C0C, 3, 2, 100), state(0x010C1B, -1, 0, 500), state(0x9A0000, 7, 1, 200)}, summaries);
  ASSERT_EQ(summaries.size(), 3u);
  EXPECT_EQ(summaries[0].code, 0x9A0000u);
  EXPECT_EQ(summaries[0].shortTitle, ":::7.shortTitle");
  EXPECT_EQ(summaries[0].raised.Seconds(), 200u);
  EXPECT_EQ(summaries[0].raised.Nanoseconds(), 0u);
  EXPECT_EQ(summaries[1].stateCode, "earlier");
  EXPECT_EQ(summaries[2].problems, Strings{"GPS:GPS:Data:3.problem"});
  EXPECT_EQ(summaries[2].solutions, Strings{"GPS:GPS:Data:3.solution"});
  EXPECT_EQ(summaries[2].raiseCount2, 2u);

  std::vector<CErrorSummary> signedType;
  BuildStateSummaries({state(0x010C0C, -2, 1, 1)}, signedType);
  EXPECT_EQ(signedType.at(0).type, -2);
}

TEST(ErrorSummaries, PrintShowsActiveTriggersAsATree) {
  LiveCatalogue live(ErrorXml("Framing:1") + ErrorXml("Heading:1") +
                     ErrorXml("Crash:1", "", TriggerSetXml({"errorLinking=shallow"}, {"Framing:1", "Heading:1"})) +
                     ErrorXml("Data:3", "", TriggerSetXml({}, {"Crash:1"})) + ErrorXml("No Data:3"));
  live.Raise({"Framing:1", "Crash:1", "Data:3", "No Data:3"});
  testing::internal::CaptureStdout();
  PrintActiveTopLevelErrors(live.TopLevelErrors());
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Active top level errors\n+GPS:GPS:Data:3\n  +GPS:GPS:Crash:1\n    +GPS:GPS:Framing:1\n"
            "+GPS:GPS:No Data:3\n");
  testing::internal::CaptureStdout();
  PrintActiveTopLevelErrors({});
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Active top level errors\n");
}

TEST(ErrorSummaries, CyclicCatalogueSummarisesAndPrintsFinitely) {
  LiveCatalogue live(ErrorXml("Crash:1", "", TriggerSetXml({}, {"Data:3"})) +
                     ErrorXml("Data:3", "", TriggerSetXml({"errorLinking=verbose"}, {"Crash:1"})));
  live.Raise({"Crash:1", "Data:3"});
  CErrorSummary summary = SummaryOf(live, "Data:3");
  // Data:3 block "1", Crash:1 block "1"; Data:3 is on the path and not walked again.
  EXPECT_EQ(summary.stateCode, "0070");
  EXPECT_EQ(summary.problems, Strings{"problem of Crash:1"});
  EXPECT_EQ(summary.solutions, (Strings{"solution of Crash:1", "solution of Data:3"}));
  testing::internal::CaptureStdout();
  PrintActiveTopLevelErrors({live.Find("Data:3")});
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Active top level errors\n+GPS:GPS:Data:3\n  +GPS:GPS:Crash:1\n    +GPS:GPS:Data:3\n");
}

}  // namespace
}  // namespace Faultwright
