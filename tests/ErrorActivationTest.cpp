// Raising and clearing errors of a loaded catalogue, automatic raising and
// clearing through trigger sets, the listener, and the choice of top-level
// errors. (Random catalogues against the top-level choice as the catalogue
// defines it run in the catalogue's fuzz target.)
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Support/CatalogueFiles.h"
#include "Support/SyntheticCatalogue.h"
#include "Support/TestSupport.h"

using namespace Faultwright;
using namespace FaultwrightTest;

namespace {

// A synthetic catalogue whose errors, and what its listener hears, are named
// by their numbers (the index order is the order of the numbers).
struct Catalogue : CErrorDatabaseListener {
  explicit Catalogue(const std::vector<SyntheticError>& errors) {
    WriteSyntheticCatalogue(directory.Path(), errors);
    database = LoadCatalogue(directory.Path());
    database->SetListener(this);
  }
  // Steps such as "+3 -1 ~+2": raise 3, clear 1, raise 2 silently.
  void Do(const std::string& steps) {
    std::istringstream in(steps);
    for (std::string step; in >> step;) {
      const bool silent = step[0] == '~';
      const int n = std::stoi(step.substr(silent ? 2 : 1));
      auto change = step[silent ? 1 : 0] == '+' ? &CErrorDatabase::RaiseError : &CErrorDatabase::ClearError;
      ((*database).*change)(SyntheticCode(n), SyntheticType(n), silent);
    }
  }
  // The numbers of errors, or of the active ones among them.
  std::string Numbers(const std::vector<CError*>& errors, bool activeOnly = false) const {
    const std::vector<CError*>& indexed = database->IndexedErrors();
    std::string numbers;
    for (const CError* error : errors) {
      if (activeOnly && !error->IsActive()) continue;
      numbers += (numbers.empty() ? "" : " ") +
                 std::to_string(std::find(indexed.begin(), indexed.end(), error) - indexed.begin());
    }
    return numbers;
  }
  // What the listener heard since the last call: "+n" raised, "-n" cleared.
  std::string Heard() { return std::exchange(heard, "").erase(0, 1); }
  void ErrorRaised(unsigned code, EProblemType type) override { Hear(" +", code, type); }
  void ErrorCleared(unsigned code, EProblemType type) override { Hear(" -", code, type); }
  void Hear(const char* what, unsigned code, int type) { heard += what + Numbers({database->FindError(code, type)}); }

  TempDirectory directory;
  std::unique_ptr<CErrorDatabase> database;
  std::string heard;
};

TEST(ErrorActivation, FollowsTheRulesOfTriggerSets) {
  // 2 needs both 0 and 1; 3's set is not automatic; 4 has two automatic sets,
  // {0} and {1}; 5 an automatic set {0} and one {1} that is not. 7 and 9
  // follow 6, 8 follows 7. 10 has a time-out and 11 follows it.
  std::vector<SyntheticError> errors(12);
  errors[2].triggerSets = {{{0, 1}, true, 2}};
  errors[3].triggerSets = {{{0}, false}};
  errors[4].triggerSets = {{{0}}, {{1}}};
  errors[5].triggerSets = {{{0}}, {{1}, false}};
  errors[7].triggerSets = errors[9].triggerSets = {{{6}}};
  errors[8].triggerSets = {{{7}}};
  errors[10].timeout = 60000;
  errors[11].triggerSets = {{{10}}};
  Catalogue catalogue(errors);
  // Steps, what the listener hears, and what is active afterwards.
  const char* const kScript[][3] = {
      // Depth first; an error already in that state, or unknown, is not heard.
      {"+6 +6 +99", "+6 +7 +8 +9", "6 7 8 9"},
      {"-6 -6", "-6 -7 -8 -9", ""},
      {"+0", "+0 +4 +5", "0 4 5"},
      {"+1", "+1 +2", "0 1 2 4 5"},
      {"-0", "-0 -2 -5", "1 4"},                  // 4 stays: its set {1} still holds
      {"-1", "-1 -4", ""},                        // once neither of its sets holds, 4 falls too
      {"+3 +0 -0", "+3 +0 +4 +5 -0 -4 -5", "3"},  // nor does a set that is not automatic clear
      // An error its component raised: a trigger only in a set that is not
      // automatic leaves it alone...
      {"+5 +1 -1", "+5 +1 +4 -1 -4", "3 5"},
      // ...an automatic set without the cleared trigger keeps it raised (4),
      // and it falls when its every automatic set holds the trigger and fails (5).
      {"+4 +0 -0", "+4 +0 -0 -5", "3 4"},
      // Naming an error that its triggers raised makes the raise its component's.
      {"-4 +0 +4 -0", "-4 +0 +4 +5 -0 -5", "3 4"},
      // Silent: only the error itself changes; the deadline starts all the same.
      {"~+10", "", "3 4 10"},
      {"~-10", "", "3 4"},
  };
  for (const auto& row : kScript) {
    SCOPED_TRACE(row[0]);
    catalogue.Do(row[0]);
    EXPECT_EQ(catalogue.Heard(), row[1]);
    EXPECT_EQ(catalogue.Numbers(catalogue.database->IndexedErrors(), true), row[2]);
  }
  EXPECT_FALSE(catalogue.database->IndexedErrors()[10]->Deadline().IsZero());
}

TEST(TopLevelErrors, ChoosesTheHeaviestOfEachLinkedGroup) {
  // 1 (weight 2) is linked to 0; 2 stands alone; 4 links to 2 only through 3.
  std::vector<SyntheticError> errors(6);
  errors[1].triggerSets = {{{0}, false}};
  errors[3].triggerSets = {{{2}, false}};
  errors[4].triggerSets = {{{3}, false}};
  Catalogue catalogue(errors);
  // Steps, then the top-level errors among the active ones, the changed active
  // ones and the changed inactive ones.
  const char* const kUpdates[][4] = {
      {"~+0 ~+1 ~+2 ~+4 ~-5", "1 2 4", "1 2 4", "5"},  // 5 inactive all along, yet named
      {"", "1 2 4", "", ""},
      {"~-1 ~-0 ~+3", "4", "3", "1"},  // now 2, 3 and 4 form one group; 3 weighs 2, 4 weighs 3
  };
  for (const auto& row : kUpdates) {
    SCOPED_TRACE(row[0]);
    catalogue.Do(row[0]);
    catalogue.database->UpdateTopLevelErrors();
    EXPECT_EQ(catalogue.Numbers(catalogue.database->TopLevelErrors(false)), row[1]);
    EXPECT_EQ(catalogue.Numbers(catalogue.database->TopLevelErrors(true)), row[2]);
    EXPECT_EQ(catalogue.Numbers(catalogue.database->ClearedTopLevelErrors()), row[3]);
  }
}

}  // namespace
