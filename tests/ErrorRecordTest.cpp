#include <gtest/gtest.h>

#include <climits>

#include "Faultwright.h"

using namespace Faultwright;

namespace {

CError MakeError(CErrorDatabase& database, EProblemIdentifier problem) {
  return CError(database, emiCAN, static_cast<ESubModuleIdentifier>(0x0300), problem,
                eptVoltageAboveNormalOrShortedHigh, eesHigh, true, false, true, false, true, false, 0);
}

}  // namespace

TEST(ErrorRecordTest, FreshRecordsSplitTheirCodeAndStartIdle) {
  CErrorDatabase database("/nonexistent/");
  CError error = MakeError(database, static_cast<EProblemIdentifier>(0x07));
  EXPECT_EQ(error.Code(), 0x020307u);
  EXPECT_EQ(error.Module(), emiCAN);
  EXPECT_EQ(error.SubModule(), 0x0300);
  EXPECT_EQ(error.Problem(), 0x07);
  EXPECT_EQ(error.Weight(), 1);
  EXPECT_FALSE(error.IsActive() || error.HasChanged() || error.HasTimedOut());
  EXPECT_TRUE(error.TriggerSets().empty() && error.Dependents().empty() && error.Deadline().IsZero());
  EXPECT_FALSE(error.HasLinkingMode(eelDeep));
}

TEST(ErrorRecordTest, WeightsAndLinksFollowTheTriggerSets) {
  CErrorDatabase database("/nonexistent/");
  CError light = MakeError(database, static_cast<EProblemIdentifier>(1));
  CError heavy = MakeError(database, static_cast<EProblemIdentifier>(2));
  CError unrelated = MakeError(database, static_cast<EProblemIdentifier>(3));
  CTriggerSet middle(false, 1, eelDeep, etsParent);
  middle.AddTrigger(&light);
  middle.AddTrigger(&light);
  heavy.AddTriggerSet(middle);
  heavy.UpdateWeight();
  ASSERT_EQ(heavy.Weight(), 3);

  CError top = MakeError(database, static_cast<EProblemIdentifier>(4));
  CTriggerSet first(true, 2, eelShallow, etsTrigger), second(false, 1, eelChildOnly, etsParent);
  first.AddTrigger(&light);
  first.AddTrigger(&heavy);
  second.AddTrigger(&heavy);
  top.AddTriggerSet(first);
  top.AddTriggerSet(second);
  heavy.AddDependent(&top);
  top.UpdateWeight();
  EXPECT_EQ(top.Weight(), 8);  // 1 + 1 + 3 + 3: a trigger that stands twice counts twice

  EXPECT_TRUE(top.IsTriggeredBy(&heavy));
  EXPECT_FALSE(top.IsTriggeredBy(&unrelated));
  EXPECT_TRUE(heavy.HasDependent(&top));
  EXPECT_TRUE(heavy.IsLinkedTo(&top) && top.IsLinkedTo(&heavy));
  EXPECT_FALSE(top.IsLinkedTo(&unrelated));
  EXPECT_TRUE(top.HasLinkingMode(eelChildOnly));
  EXPECT_FALSE(top.HasLinkingMode(eelVerbose));

  // Copies point to the same records.
  CTriggerSet copy = top.TriggerSets()[0];
  EXPECT_EQ(copy.Triggers(), (std::vector<CError*>{&light, &heavy}));
  EXPECT_TRUE(copy.Contains(&heavy) && !copy.Contains(&top));
  EXPECT_EQ(copy.ErrorLinking(), eelShallow);
  EXPECT_EQ(copy.TitleSource(), etsTrigger);

  // The set's fullScreen carries a value only once its option was seen.
  EXPECT_FALSE(copy.HasFullScreen());
  copy.SetFullScreen(false);
  EXPECT_TRUE(copy.HasFullScreen() && !copy.FullScreen());
}

TEST(ErrorRecordTest, WeightsSaturateInsteadOfOverflowing) {
  CErrorDatabase database("/nonexistent/");
  std::vector<CError> chain;
  chain.reserve(40);
  chain.push_back(MakeError(database, static_cast<EProblemIdentifier>(1)));
  for (int level = 1; level < 40; ++level) {
    chain.push_back(MakeError(database, static_cast<EProblemIdentifier>(1)));
    CTriggerSet doubled(false, 1, eelDeep, etsParent);
    doubled.AddTrigger(&chain[level - 1]);
    doubled.AddTrigger(&chain[level - 1]);
    chain.back().AddTriggerSet(doubled);
    chain.back().UpdateWeight();
  }
  EXPECT_EQ(chain[30].Weight(), INT32_MAX);  // 2^31 - 1 exactly: 1 + 2 * (2^30 - 1)
  EXPECT_EQ(chain[29].Weight(), (1 << 30) - 1);
  EXPECT_EQ(chain[39].Weight(), INT32_MAX);
}
