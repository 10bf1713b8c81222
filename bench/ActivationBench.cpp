// Raising and clearing one error of a loaded catalogue with the automatic
// raising and clearing of its dependents through their trigger sets.
//
// BM_FanOut: error 0 triggers 200 errors directly (the first 100 with a set
// {0}, the next 100 with sets {0} and {400}, an error that stays inactive) and
// 100 more through a second level, each needing two of the first 200; one
// raise and one clear of error 0 per iteration.
// BM_Chain: a chain of 400 errors, each raised by the one before; one raise and
// one clear of its first error per iteration.
//
// The iteration counts are fixed, so that instruction counts under callgrind
// compare from one build to the next.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../tests/Support/SyntheticCatalogue.h"
#include "Common/ErrorDatabase/CErrorDatabase.h"

using namespace Faultwright;
using FaultwrightTest::SyntheticCode;
using FaultwrightTest::SyntheticError;
using FaultwrightTest::SyntheticType;

namespace {

// A catalogue of errors in a temporary directory that lives as long as it.
class Catalogue {
 public:
  explicit Catalogue(const std::vector<SyntheticError>& errors) {
    char pattern[] = "/tmp/faultwright-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    directory_ = std::string(pattern) + "/";
    FaultwrightTest::WriteSyntheticCatalogue(directory_, errors);
    database = std::make_unique<CErrorDatabase>(directory_);
    if (database->Errors().size() != errors.size()) std::abort();
  }
  ~Catalogue() { std::filesystem::remove_all(directory_); }

  std::unique_ptr<CErrorDatabase> database;

 private:
  std::string directory_;
};

void RaiseAndClearFirst(benchmark::State& state, const std::vector<SyntheticError>& errors) {
  Catalogue catalogue(errors);
  CErrorDatabase& database = *catalogue.database;
  const uint32_t code = SyntheticCode(0);
  const int type = SyntheticType(0);
  for (auto _ : state) {
    database.RaiseError(code, type, false);
    database.ClearError(code, type, false);
  }
  if (database.FindError(code, type)->IsActive()) state.SkipWithError("error 0 stayed raised");
}

void BM_FanOut(benchmark::State& state) {
  std::vector<SyntheticError> errors(401);
  for (int n = 1; n <= 100; ++n) errors[n].triggerSets.push_back({{0}});
  for (int n = 101; n <= 200; ++n) errors[n].triggerSets = {{{0}}, {{400}}};
  for (int n = 201; n <= 300; ++n) errors[n].triggerSets.push_back({{n - 200, n - 100}, true, 2});
  RaiseAndClearFirst(state, errors);
}
BENCHMARK(BM_FanOut)->Iterations(20000)->Unit(benchmark::kMicrosecond);

void BM_Chain(benchmark::State& state) {
  std::vector<SyntheticError> errors(400);
  for (int n = 1; n < 400; ++n) errors[n].triggerSets.push_back({{n - 1}});
  RaiseAndClearFirst(state, errors);
}
BENCHMARK(BM_Chain)->Iterations(20000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
