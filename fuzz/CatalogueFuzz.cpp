// Fuzzes the catalogue loader with a whole configuration directory made from
// one input: its parts, cut at NUL bytes, become "FaultwrightConfig.xml" and
// the module files "1" to "7" (so a seed's top file names its module files by
// number). The loaded catalogue is then put to work along the links that the
// loader made: every error raised, not silently, so that trigger sets
// propagate, the top-level errors chosen, every error cleared, and the texts
// exported.
//
// Beyond the sanitizers it checks what the rest of the library takes for
// granted of a catalogue: every link points at one of its records, the index
// finds every record it names, weights are positive, the top-level errors are
// active ones, and clearing every error leaves none active. Two slow
// references check the fast passes: the weights against the walk level by
// level from the errors without trigger sets, and every choice of top-level
// errors (after the raises, after silent clears of some errors chosen by the
// input, and after the clears) against repeated sweeps over the later
// records, each testing every member of the group.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/TextExport/TextExport.h"
#include "Support/FuzzDirectory.h"
#include "Support/FuzzSupport.h"

namespace {

using Faultwright::CError;
using Faultwright::CErrorDatabase;

const size_t kFiles = 8;  // the top file and seven module files

FaultwrightFuzz::FuzzDirectory directory;

bool IsRecord(const CErrorDatabase& catalogue, const CError* error) {
  const std::vector<CError>& errors = catalogue.Errors();
  return !errors.empty() && error >= errors.data() && error < errors.data() + errors.size();
}

void CheckLinks(const CErrorDatabase& catalogue) {
  for (const CError& error : catalogue.Errors()) {
    FUZZ_CHECK(error.Weight() >= 1);
    FUZZ_CHECK(catalogue.FindError(error.Code(), error.Type()) != nullptr);
    for (const Faultwright::CTriggerSet& set : error.TriggerSets()) {
      for (const CError* trigger : set.Triggers()) {
        FUZZ_CHECK(IsRecord(catalogue, trigger) && trigger != &error);
      }
    }
    for (const CError* dependent : error.Dependents()) FUZZ_CHECK(IsRecord(catalogue, dependent));
  }
  const std::vector<CError*>& indexed = catalogue.IndexedErrors();
  for (size_t i = 0; i < indexed.size(); ++i) {
    FUZZ_CHECK(IsRecord(catalogue, indexed[i]));
    FUZZ_CHECK(catalogue.FindError(indexed[i]->Code(), indexed[i]->Type()) == indexed[i]);
    if (i > 0) {
      const CError& before = *indexed[i - 1];
      FUZZ_CHECK(before.Code() < indexed[i]->Code() ||
                 (before.Code() == indexed[i]->Code() && before.Type() < indexed[i]->Type()));
    }
  }
}

// The weights level by level: each error reached from an error without
// trigger sets is summed anew from its triggers' weights so far whenever one
// of its triggers was summed in the level before. Exponential on some shapes
// and endless on a cycle that can be reached, so it gives up after
// kLevelWalkSteps steps, and then checks nothing.
const size_t kLevelWalkSteps = 100000;

void CheckWeights(const CErrorDatabase& catalogue) {
  const std::vector<CError>& errors = catalogue.Errors();
  std::vector<long long> weights(errors.size(), 1);
  std::vector<const CError*> level;
  for (const CError& error : errors) {
    if (error.TriggerSets().empty()) level.push_back(&error);
  }
  for (size_t steps = 0; !level.empty();) {
    std::vector<const CError*> next;
    for (const CError* error : level) {
      for (const CError* dependent : error->Dependents()) {
        if (++steps > kLevelWalkSteps) return;
        long long weight = 1;
        for (const Faultwright::CTriggerSet& set : dependent->TriggerSets()) {
          for (const CError* trigger : set.Triggers()) weight += weights[trigger - errors.data()];
        }
        weights[dependent - errors.data()] = std::min<long long>(weight, INT32_MAX);
        next.push_back(dependent);
      }
    }
    level.swap(next);
  }
  for (size_t i = 0; i < errors.size(); ++i) FUZZ_CHECK(errors[i].Weight() == weights[i]);
}

// The heaviest of each group of linked errors, by sweeps over the later
// errors that test every member of the group, as the catalogue defines the
// choice; of errors as heavy, the first.
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

// Chooses the top-level errors and checks the three choices against the sweeps.
void UpdateTopLevelErrors(CErrorDatabase& catalogue) {
  std::vector<CError*> active, changedActive, changedInactive;
  for (CError* error : catalogue.IndexedErrors()) {
    if (error->IsActive()) active.push_back(error);
    if (error->HasChanged()) (error->IsActive() ? changedActive : changedInactive).push_back(error);
  }
  catalogue.UpdateTopLevelErrors();
  FUZZ_CHECK(catalogue.TopLevelErrors(false) == GroupBySweeps(active));
  FUZZ_CHECK(catalogue.TopLevelErrors(true) == GroupBySweeps(changedActive));
  FUZZ_CHECK(catalogue.ClearedTopLevelErrors() == GroupBySweeps(changedInactive));
}

// choice: a number drawn from the input, whose bits pick the errors cleared
// silently between the raises and the clears.
void ExerciseLiveState(CErrorDatabase& catalogue, size_t choice) {
  std::vector<CError*> indexed = catalogue.IndexedErrors();
  for (CError* error : indexed) catalogue.RaiseError(error->Code(), error->Type(), false);
  UpdateTopLevelErrors(catalogue);
  for (const CError* top : catalogue.TopLevelErrors(false)) FUZZ_CHECK(IsRecord(catalogue, top) && top->IsActive());
  for (size_t i = 0; i < indexed.size(); ++i) {
    if ((choice >> (i % (8 * sizeof choice))) & 1) catalogue.ClearError(indexed[i]->Code(), indexed[i]->Type(), true);
  }
  UpdateTopLevelErrors(catalogue);
  std::reverse(indexed.begin(), indexed.end());
  for (CError* error : indexed) catalogue.ClearError(error->Code(), error->Type(), false);
  UpdateTopLevelErrors(catalogue);
  FUZZ_CHECK(catalogue.TopLevelErrors(false).empty());
  for (const CError* error : indexed) FUZZ_CHECK(!error->IsActive());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FaultwrightFuzz::KeepStandardStreamsOpen();
  std::vector<std::string> parts = FaultwrightFuzz::SplitInput(data, size, kFiles);
  for (size_t i = 0; i < kFiles; ++i) {
    std::string name = i == 0 ? std::string(Faultwright::CErrorDatabase::kTopFileName) : std::to_string(i);
    if (i < parts.size()) {
      directory.Write(name, parts[i]);
    } else {
      directory.Remove(name);
    }
  }
  CErrorDatabase catalogue(directory.Path());
  CheckLinks(catalogue);
  CheckWeights(catalogue);
  ExerciseLiveState(catalogue, std::hash<std::string>()(std::string(reinterpret_cast<const char*>(data), size)));
  FUZZ_CHECK(Faultwright::ExportTexts(catalogue.Errors(), directory.Path() + "texts.txt"));
  return 0;
}
