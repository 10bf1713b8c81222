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
// active ones, and clearing every error leaves none active.
#include <algorithm>
#include <cstddef>
#include <cstdint>
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

void ExerciseLiveState(CErrorDatabase& catalogue) {
  std::vector<CError*> indexed = catalogue.IndexedErrors();
  for (CError* error : indexed) catalogue.RaiseError(error->Code(), error->Type(), false);
  catalogue.UpdateTopLevelErrors();
  for (const CError* top : catalogue.TopLevelErrors(false)) FUZZ_CHECK(IsRecord(catalogue, top) && top->IsActive());
  std::reverse(indexed.begin(), indexed.end());
  for (CError* error : indexed) catalogue.ClearError(error->Code(), error->Type(), false);
  catalogue.UpdateTopLevelErrors();
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
  ExerciseLiveState(catalogue);
  FUZZ_CHECK(Faultwright::ExportTexts(catalogue.Errors(), directory.Path() + "texts.txt"));
  return 0;
}
