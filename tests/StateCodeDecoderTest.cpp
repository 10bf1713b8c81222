#include "Faultwright.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

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

Decoded Decode(LiveCatalogue& live, const std::string& stateCode, bool flat = false) {
  Decoded decoded;
  decoded.found =
      DecodeStateCode(stateCode, live.Catalogue(), live.Reader(), decoded.summary, decoded.lines, decoded.keys, flat);
  return decoded;
}

CErrorKey KeyOf(LiveCatalogue& live, const std::string& name) { return ErrorKeyOf(*live.Find(name)); }

const std::string kFiveBefore =
    ErrorXml("A Not Set:0") + ErrorXml("B Not Set:0") + ErrorXml("Calibration:0") + ErrorXml("Checksum:0");

TEST(StateCodeDecoder, ErrorWithoutTriggersAndUnreadableCodes) {
  LiveCatalogue live(kFiveBefore + ErrorXml("Crash:0") + ErrorXml("Data:3", "shouldBeep='yes' visible='yes'"));
  live.Raise({"Data:3"});
  Decoded decoded = Decode(live, "0140");
  ASSERT_TRUE(decoded.found);
  EXPECT_EQ(decoded.keys, std::vector<CErrorKey>{KeyOf(live, "Data:3")});
  EXPECT_EQ(decoded.lines, Strings{"+-GPS:GPS:Data:3"});
  EXPECT_EQ(decoded.summary.shortTitle, "title Data:3");
  EXPECT_EQ(decoded.summary.vtTitle, "short Data:3");
  EXPECT_EQ(decoded.summary.problems, Strings{"problem of Data:3"});
  EXPECT_EQ(decoded.summary.solutions, Strings{"solution of Data:3"});
  EXPECT_TRUE(decoded.summary.shouldBeep && decoded.summary.visible);
  EXPECT_EQ(decoded.summary.raiseCount1, 1u);
  EXPECT_EQ(decoded.summary.code, 0u);  // left to the caller
  EXPECT_EQ(Decode(live, "0140", true).lines, Strings{"GPS:GPS:Data:3"});
  EXPECT_EQ(Decode(live, "", true).lines, Strings{"GPS:GPS:A Not Set:0"});

  // Beyond the table, characters outside the hexadecimal digits: nothing changes.
  for (const std::string& code : Strings{"FFC0", "ffc0", "0180", "01G0", " 0140", "0140 ", "+140",
                                         std::string("01\0"
                                                     "40",
                                                     4)}) {
    Decoded untouched = Decode(live, code);
    EXPECT_FALSE(untouched.found) << code;
    EXPECT_TRUE(untouched.keys.empty() && untouched.lines.empty() && untouched.summary.problems.empty()) << code;
    EXPECT_FALSE(untouched.summary.shouldBeep) << code;
  }
}

TEST(StateCodeDecoder, TriggerBitsNameTheActiveTriggers) {
  LiveCatalogue live(kFiveBefore + ErrorXml("Crash:0") +
                     ErrorXml("Data:3", "", TriggerSetXml({}, {"A Not Set:0", "B Not Set:0", "Calibration:0"})));
  Decoded second = Decode(live, "0150");
  EXPECT_EQ(second.keys, (std::vector<CErrorKey>{KeyOf(live, "Data:3"), KeyOf(live, "B Not Set:0")}));
  EXPECT_EQ(second.lines, (Strings{"+-GPS:GPS:Data:3", "+---GPS:GPS:B Not Set:0"}));
  EXPECT_EQ(second.summary.solutions, Strings{"solution of B Not Set:0"});
  EXPECT_EQ(second.summary.problems, Strings{"problem of Data:3"});
  // Lower case reads as upper case: 014a is 0000000101 001010, the third trigger.
  Decoded third = Decode(live, "014a");
  EXPECT_EQ(third.keys, Decode(live, "014A").keys);
  EXPECT_EQ(third.keys.back(), KeyOf(live, "Calibration:0"));
  // A code that ends within its trigger bits: what is missing counts as inactive.
  EXPECT_EQ(Decode(live, "014").keys.size(), 1u);
}

TEST(StateCodeDecoder, CodeShorterThanItsIndexThrowsForAnErrorWithTriggers) {
  LiveCatalogue live(ErrorXml("Data:3", "shouldBeep='yes'", TriggerSetXml({}, {"Crash:0"})) + ErrorXml("Crash:0"));
  Decoded decoded;
  EXPECT_THROW(
      DecodeStateCode("", live.Catalogue(), live.Reader(), decoded.summary, decoded.lines, decoded.keys, false),
      std::out_of_range);
  EXPECT_EQ(decoded.keys, std::vector<CErrorKey>{KeyOf(live, "Data:3")});
  EXPECT_EQ(decoded.lines, Strings{"+-GPS:GPS:Data:3"});
  EXPECT_TRUE(decoded.summary.shouldBeep);
  EXPECT_THROW(Decode(live, "0"), std::out_of_range);
  EXPECT_TRUE(Decode(live, "000").found);
}

TEST(StateCodeDecoder, TreeLinesAndTitlesOfSeveralActiveTriggers) {
  LiveCatalogue live(ErrorXml("Framing:1") + ErrorXml("Crash:1", "", TriggerSetXml({}, {"Framing:1"})) +
                     ErrorXml("Heading:1") +
                     ErrorXml("Data:3", "",
                              TriggerSetXml({"titleSource=trigger"}, {"Crash:1"}) +
                                  TriggerSetXml({"titleSource=trigger", "errorLinking=verbose"}, {"Heading:1"})));
  live.Raise({"Framing:1", "Crash:1", "Heading:1", "Data:3"});
  std::vector<CErrorSummary> summaries;
  BuildErrorSummaries(live.Reader(), CErrorPatterns(live.ConfigDirectory()), {live.Find("Data:3")}, summaries, false);
  Decoded decoded = Decode(live, summaries.at(0).stateCode);
  EXPECT_EQ(decoded.lines,
            (Strings{"+-GPS:GPS:Data:3", "+---GPS:GPS:Crash:1", "+-----GPS:GPS:Framing:1", "+---GPS:GPS:Heading:1"}));
  // Level by level: both triggers of Data:3 before the trigger of Crash:1.
  EXPECT_EQ(decoded.keys, (std::vector<CErrorKey>{KeyOf(live, "Data:3"), KeyOf(live, "Crash:1"),
                                                  KeyOf(live, "Heading:1"), KeyOf(live, "Framing:1")}));
  // Two active triggers over two sets: no single title, so the error's own.
  EXPECT_EQ(decoded.summary.shortTitle, "title Data:3");
  EXPECT_EQ(summaries[0].shortTitle, "title Heading:1");
  EXPECT_EQ(decoded.summary.problems, Strings{"problem of Heading:1"});
}

// The active errors of error's tree, an error on the current path reported but
// not followed again.
void CollectActiveTree(const CError& error, std::vector<const CError*>& path, std::vector<CErrorKey>& keys,
                       bool& shallowBelow) {
  path.push_back(&error);
  for (const CTriggerSet& triggerSet : error.TriggerSets()) {
    for (const CError* trigger : triggerSet.Triggers()) {
      if (!trigger->IsActive()) continue;
      keys.push_back(ErrorKeyOf(*trigger));
      shallowBelow = shallowBelow || triggerSet.ErrorLinking() == eelShallow;
      if (std::find(path.begin(), path.end(), trigger) == path.end()) {
        CollectActiveTree(*trigger, path, keys, shallowBelow);
      }
    }
  }
  path.pop_back();
}

template <typename T>
std::vector<T> Sorted(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  return values;
}

// Trigger links mostly towards later errors, now and then back (a cycle);
// options, flags and the active set at random.
std::string RandomCatalogue(std::mt19937& random, const Strings& names) {
  auto chance = [&random](int percent) { return static_cast<int>(random() % 100) < percent; };
  const char* linkings[] = {"deep", "verbose", "shallow", "childOnly"};
  std::string xml;
  for (size_t i = 0; i < names.size(); ++i) {
    std::string sets;
    int setCount = static_cast<int>(random() % 3);
    for (int s = 0; s < setCount && i + 1 < names.size(); ++s) {
      Strings options = {std::string("errorLinking=") + linkings[random() % 4]};
      if (chance(30)) options.push_back("titleSource=trigger");
      if (chance(30)) options.push_back("fullScreen=no");
      Strings triggers;
      for (int t = 1 + static_cast<int>(random() % 3); t > 0; --t) {
        size_t target = chance(10) ? random() % names.size() : i + 1 + random() % (names.size() - i - 1);
        if (target != i) triggers.push_back(names[target]);
      }
      sets += TriggerSetXml(options, triggers);
    }
    std::string flags = std::string(chance(50) ? "shouldBeep='yes' " : "") +
                        (chance(50) ? "shouldBeepIfGuiding='yes' " : "") + (chance(50) ? "fullScreen='yes' " : "") +
                        (chance(50) ? "visible='yes' " : "");
    xml += ErrorXml(names[i], flags, sets);
  }
  return xml;
}

TEST(StateCodeDecoder, RoundTripOverGeneratedCatalogues) {
  const Strings names = {"Calibration:2", "Checksum:5",     "Crash:1",       "Data:3",    "Distance:0", "Framing:7",
                         "Heading:4",     "Kernel Error:9", "L1 Jammed:2",   "No Data:3", "Power:11",   "Reverse:6",
                         "Speed:1",       "Steering:12",    "Temperature:3", "Voltage:4", "Radius:8",   "Waypoints:10"};
  std::mt19937 random(20240601);
  int summariesChecked = 0;
  for (int round = 0; round < 25; ++round) {
    LiveCatalogue live(RandomCatalogue(random, names));
    Strings active;
    for (const std::string& name : names) {
      if (random() % 2) active.push_back(name);
    }
    live.Raise(active);
    std::vector<CErrorSummary> summaries;
    BuildErrorSummaries(live.Reader(), CErrorPatterns(live.ConfigDirectory()), live.TopLevelErrors(), summaries, false);
    ASSERT_EQ(summaries.size(), live.TopLevelErrors().size());
    for (size_t i = 0; i < summaries.size(); ++i, ++summariesChecked) {
      const CError& error = *live.TopLevelErrors()[i];
      const CErrorSummary& built = summaries[i];
      Decoded decoded = Decode(live, built.stateCode, true);
      SCOPED_TRACE("round " + std::to_string(round) + " code " + built.stateCode);
      ASSERT_TRUE(decoded.found);

      std::vector<CErrorKey> expected = {ErrorKeyOf(error)};
      std::vector<const CError*> path;
      bool shallowBelow = false;
      CollectActiveTree(error, path, expected, shallowBelow);
      EXPECT_EQ(decoded.keys.front(), ErrorKeyOf(error));
      EXPECT_EQ(Sorted(decoded.keys), Sorted(expected));
      EXPECT_EQ(decoded.lines.size(), decoded.keys.size());
      EXPECT_EQ(decoded.summary.raiseCount2, built.raiseCount2);
      EXPECT_EQ(decoded.summary.raised.Seconds(), built.raised.Seconds());
      EXPECT_EQ(decoded.summary.visible, built.visible);
      EXPECT_EQ(decoded.summary.severity, built.severity);
      // Below a shallow link the summary records bits only, the decoder everything.
      if (shallowBelow) continue;
      EXPECT_EQ(decoded.summary.shouldBeep, built.shouldBeep);
      EXPECT_EQ(decoded.summary.shouldBeepIfGuiding, built.shouldBeepIfGuiding);
      EXPECT_EQ(decoded.summary.fullScreen, built.fullScreen);
      EXPECT_EQ(Sorted(decoded.summary.problems), Sorted(built.problems));
      EXPECT_EQ(Sorted(decoded.summary.solutions), Sorted(built.solutions));
    }
  }
  EXPECT_GT(summariesChecked, 50);
}

}  // namespace
}  // namespace Faultwright
