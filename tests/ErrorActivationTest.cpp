// Raising and clearing errors of a loaded catalogue, automatic raising through
// trigger sets, the listener, and the choice of top-level errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Support/SyntheticCatalogue.h"
#include "Support/TestSupport.h"

using namespace Faultwright;
using namespace FaultwrightTest;

namespace {

// A synthetic catalogue whose errors, and what its listener hears, are named
// by their numbers.
class Catalogue : public CErrorDatabaseListener {
 public:
  explicit Catalogue(const std::vector<SyntheticError>& errors) {
    WriteSyntheticCatalogue(directory_.Path(), errors);
    database_ = std::make_unique<CErrorDatabase>(directory_.Path());
    for (int n = 0; n < static_cast<int>(errors.size()); ++n) numbers_[{SyntheticCode(n), SyntheticType(n)}] = n;
    database_->SetListener(this);
  }

  CErrorDatabase& Database() { return *database_; }
  CError& operator[](int n) { return *database_->FindError(SyntheticCode(n), SyntheticType(n)); }
  void Raise(int n, bool silent = false) { database_->RaiseError(SyntheticCode(n), SyntheticType(n), silent); }
  void Clear(int n, bool silent = false) { database_->ClearError(SyntheticCode(n), SyntheticType(n), silent); }
  int Number(const CError* error) const { return numbers_.at({error->Code(), error->Type()}); }
  std::vector<int> Numbers(const std::vector<CError*>& errors) const {
    std::vector<int> numbers;
    for (const CError* error : errors) numbers.push_back(Number(error));
    return numbers;
  }
  // What the listener heard since the last call: "+n" raised, "-n" cleared.
  std::string Heard() { return std::exchange(heard_, ""); }

  void ErrorRaised(unsigned code, EProblemType type) override { Hear("+", code, type); }
  void ErrorCleared(unsigned code, EProblemType type) override { Hear("-", code, type); }

 private:
  void Hear(const char* what, unsigned code, int type) {
    heard_ += (heard_.empty() ? "" : " ") + std::string(what) + std::to_string(numbers_.at({code, type}));
  }

  TempDirectory directory_;
  std::unique_ptr<CErrorDatabase> database_;
  std::map<std::pair<unsigned, int>, int> numbers_;
  std::string heard_;
};

SyntheticError TriggeredBy(std::vector<int> triggers, bool autoTrigger = true, int triggersNeeded = 1) {
  SyntheticError error;
  error.triggerSets.push_back({std::move(triggers), autoTrigger, triggersNeeded});
  return error;
}

// The top-level choice exactly as the catalogue defines it: repeated sweeps
// over the later records, each testing every member of the group.
std::vector<CError*> GroupBySweeps(const std::vector<CError*>& input) {
  std::vector<bool> taken(input.size(), false);
  std::vector<CError*> output;
  for (size_t i = 0; i < input.size(); ++i) {
    if (taken[i]) continue;
    taken[i] = true;
    std::vector<CError*> group{input[i]};
    CError* best = input[i];
    for (bool grew = true; grew;) {
      grew = false;
      for (size_t j = i + 1; j < input.size(); ++j) {
        CError* candidate = input[j];
        if (taken[j] || std::none_of(group.begin(), group.end(),
                                     [candidate](CError* member) { return candidate->IsLinkedTo(member); })) {
          continue;
        }
        taken[j] = grew = true;
        group.push_back(candidate);
        if (candidate->Weight() > best->Weight()) best = candidate;
      }
    }
    output.push_back(best);
  }
  return output;
}

TEST(ErrorActivation, RaisesAndClearsDependentsDepthFirst) {
  // 1 and 3 follow 0; 2 follows 1.
  Catalogue catalogue({{}, TriggeredBy({0}), TriggeredBy({1}), TriggeredBy({0}), {}});

  catalogue.Database().RaiseError(SyntheticCode(9), SyntheticType(9), false);
  catalogue.Database().RaiseError(SyntheticCode(0), 20, false);
  EXPECT_EQ(catalogue.Heard(), "");

  catalogue.Raise(0);
  EXPECT_EQ(catalogue.Heard(), "+0 +1 +2 +3");
  EXPECT_TRUE(catalogue[0].HasChanged());
  EXPECT_FALSE(catalogue[1].HasChanged() || catalogue[2].HasChanged() || catalogue[3].HasChanged());
  EXPECT_FALSE(catalogue[4].IsActive());

  catalogue.Raise(0);  // already active: nothing to hear
  EXPECT_EQ(catalogue.Heard(), "");
  catalogue.Clear(0);
  EXPECT_EQ(catalogue.Heard(), "-0 -1 -2 -3");
  catalogue.Clear(0);
  EXPECT_EQ(catalogue.Heard(), "");
}

TEST(ErrorActivation, FollowsTheRulesOfTriggerSets) {
  SyntheticError eitherOf = TriggeredBy({0});
  eitherOf.triggerSets.push_back({{1}, true, 1});
  SyntheticError alsoManual = TriggeredBy({0});
  alsoManual.triggerSets.push_back({{1}, false, 1});
  // 2 needs both 0 and 1; 3's set is not automatic; 4 has two sets, {0} and
  // {1}; 5 has an automatic set {0} and one {1} that is not.
  Catalogue catalogue({{}, {}, TriggeredBy({0, 1}, true, 2), TriggeredBy({0}, false), eitherOf, alsoManual});

  catalogue.Raise(0);
  EXPECT_EQ(catalogue.Heard(), "+0 +4 +5");
  catalogue.Raise(1);
  EXPECT_EQ(catalogue.Heard(), "+1 +2");
  catalogue.Clear(0);
  EXPECT_EQ(catalogue.Heard(), "-0 -2 -5");  // 4 stays: its set {1} still holds
  // Once neither of its sets holds, 4 falls too.
  catalogue.Clear(1);
  EXPECT_EQ(catalogue.Heard(), "-1 -4");
  EXPECT_FALSE(catalogue[3].IsActive());

  // Nor does a set that is not automatic clear its error.
  catalogue.Raise(3);
  catalogue.Raise(0);
  catalogue.Clear(0);
  EXPECT_TRUE(catalogue[3].IsActive());
  catalogue.Heard();

  // An error raised by its component: a trigger that stands only in a set
  // that is not automatic leaves it alone...
  catalogue.Raise(5);
  catalogue.Raise(1);
  catalogue.Clear(1);
  EXPECT_EQ(catalogue.Heard(), "+5 +1 +4 -1 -4");
  // ... an automatic set without the cleared trigger keeps it raised (4), and
  // it falls when its every automatic set holds the trigger and fails (5).
  catalogue.Raise(4);
  catalogue.Raise(0);
  catalogue.Clear(0);
  EXPECT_EQ(catalogue.Heard(), "+4 +0 -0 -5");
  // Naming an error that its triggers raised makes the raise its component's.
  catalogue.Clear(4);
  catalogue.Raise(0);
  catalogue.Raise(4);
  catalogue.Clear(0);
  EXPECT_EQ(catalogue.Heard(), "-4 +0 +4 +5 -0 -5");
  EXPECT_TRUE(catalogue[4].IsActive());
}

TEST(ErrorActivation, SilentRaiseChangesOnlyTheErrorItself) {
  SyntheticError timed;
  timed.timeout = 60000;
  Catalogue catalogue({timed, TriggeredBy({0})});

  catalogue.Raise(0, true);
  EXPECT_TRUE(catalogue[0].IsActive());
  EXPECT_FALSE(catalogue[0].Deadline().IsZero());
  EXPECT_FALSE(catalogue[0].HasTimedOut());
  EXPECT_FALSE(catalogue[1].IsActive());
  catalogue.Clear(0, true);
  EXPECT_FALSE(catalogue[0].IsActive());
  EXPECT_FALSE(catalogue[0].Deadline().IsZero());
  EXPECT_EQ(catalogue.Heard(), "");
}

TEST(TopLevelErrors, ChoosesTheHeaviestOfEachLinkedGroup) {
  // 1 (weight 2) is linked to 0; 2 stands alone; 4 links to 2 only through 3.
  Catalogue catalogue({{}, TriggeredBy({0}, false), {}, TriggeredBy({2}, false), TriggeredBy({3}, false), {}});
  CErrorDatabase& database = catalogue.Database();
  for (int n : {0, 1, 2, 4}) catalogue.Raise(n, true);
  catalogue.Clear(5, true);  // inactive all along, yet named
  database.UpdateTopLevelErrors();
  EXPECT_EQ(catalogue.Numbers(database.TopLevelErrors(false)), (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(catalogue.Numbers(database.TopLevelErrors(true)), (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(catalogue.Numbers(database.ClearedTopLevelErrors()), (std::vector<int>{5}));

  database.UpdateTopLevelErrors();
  EXPECT_EQ(catalogue.Numbers(database.TopLevelErrors(false)), (std::vector<int>{1, 2, 4}));
  EXPECT_TRUE(database.TopLevelErrors(true).empty());
  EXPECT_TRUE(database.ClearedTopLevelErrors().empty());

  catalogue.Clear(1, true);
  catalogue.Clear(0, true);
  catalogue.Raise(3, true);  // now 2, 3 and 4 form one group; 3 weighs 2, 4 weighs 3
  database.UpdateTopLevelErrors();
  EXPECT_EQ(catalogue.Numbers(database.TopLevelErrors(false)), (std::vector<int>{4}));
  EXPECT_EQ(catalogue.Numbers(database.TopLevelErrors(true)), (std::vector<int>{3}));
  EXPECT_EQ(catalogue.Numbers(database.ClearedTopLevelErrors()), (std::vector<int>{1}));
}

TEST(TopLevelErrors, AgreesWithRepeatedSweepsOnRandomCatalogues) {
  std::mt19937 random(4);
  for (int round = 0; round < 20; ++round) {
    // Triggers only of lower rank keep the catalogue free of cycles, while
    // links run both ways through the index order.
    const int size = 60;
    std::vector<int> rank(size);
    for (int n = 0; n < size; ++n) rank[n] = n;
    std::shuffle(rank.begin(), rank.end(), random);
    std::vector<SyntheticError> errors(size);
    for (int n = 0; n < size; ++n) {
      for (int other = 0; other < size; ++other) {
        if (rank[other] < rank[n] && random() % 40 == 0) errors[n].triggerSets.push_back({{other}, false, 1});
      }
    }
    Catalogue catalogue(errors);
    CErrorDatabase& database = catalogue.Database();
    for (int step = 0; step < 10; ++step) {
      std::vector<CError*> changedActive, changedInactive;
      for (int n = 0; n < size; ++n) {
        if (random() % 3 != 0) continue;
        if (random() % 2 == 0)
          catalogue.Raise(n, true);
        else
          catalogue.Clear(n, true);
      }
      std::vector<CError*> active;
      for (CError* error : database.IndexedErrors()) {
        if (error->IsActive()) active.push_back(error);
        if (error->HasChanged()) (error->IsActive() ? changedActive : changedInactive).push_back(error);
      }
      database.UpdateTopLevelErrors();
      ASSERT_EQ(database.TopLevelErrors(false), GroupBySweeps(active)) << "round " << round << " step " << step;
      ASSERT_EQ(database.TopLevelErrors(true), GroupBySweeps(changedActive));
      ASSERT_EQ(database.ClearedTopLevelErrors(), GroupBySweeps(changedInactive));
    }
  }
}

}  // namespace
