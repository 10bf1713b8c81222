// One refresh of fwinspect's reader over the sample configuration with the
// antenna fault active (and the position and steering faults it raises), in
// a private working directory owned by the benchmark:
// - ViewUpdate: the view's Update alone, nothing changed (the baseline);
// - Refresh: Update plus the inspector's resynchronisation of the catalogue;
// - ActiveJson: Refresh, the summaries and their JSON, as `active --json`
//   does at every refresh of --watch.
#include <benchmark/benchmark.h>

#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Common/Patterns/CErrorPatterns.h"
#include "Common/Summaries/ErrorSummaries.h"
#include "Common/View/CErrorDatabaseView.h"
#include "Identifiers/Identifiers.h"
#include "Inspect/CLiveDatabase.h"
#include "Inspect/SummaryOutput.h"
#include "Support/SharedSegment.h"

namespace {

using Faultwright::CErrorDatabase;
using Faultwright::CErrorDatabaseView;

const std::string kConfig = FAULTWRIGHT_SOURCE_DIR "/config/";

// The owner's database in a fresh working directory, removed afterwards.
class OwnedDatabase {
 public:
  OwnedDatabase() : catalogue_(kConfig) {
    char work[] = "/tmp/fwinspectbenchXXXXXX";
    if (getcwd(previous_, sizeof previous_) == nullptr || mkdtemp(work) == nullptr || chdir(work) != 0) std::abort();
    work_ = work;
    owner_ = std::make_unique<CErrorDatabaseView>(true, 1);
    owner_->SetErrors(catalogue_);
    owner_->SetEnabled(true);
    for (const Faultwright::CError& error : catalogue_.Errors()) {
      const std::string key = Faultwright::ErrorIdentifierText(error.Code(), error.Type());
      if (key == "GPS:L1 L2 Antenna:Voltage:4" || key == "GPS:GPS:Position Calculation:11" ||
          key == "Navigation And Control:Steering:Disengage Fault:11") {
        owner_->RaiseError(error.Code(), error.Type());
      }
    }
  }
  ~OwnedDatabase() {
    FaultwrightTest::RemoveSharedSegment(".");
    if (chdir(previous_) != 0 || rmdir(work_.c_str()) != 0) std::abort();
  }

 private:
  CErrorDatabase catalogue_;
  std::unique_ptr<CErrorDatabaseView> owner_;
  char previous_[PATH_MAX];
  std::string work_;
};

void BM_ViewUpdate(benchmark::State& state) {
  OwnedDatabase database;
  CErrorDatabase catalogue(kConfig);
  CErrorDatabaseView view(false, 0);
  view.Update(catalogue);
  for (auto _ : state) benchmark::DoNotOptimize(view.Update(catalogue));
}
BENCHMARK(BM_ViewUpdate);

void BM_Refresh(benchmark::State& state) {
  OwnedDatabase database;
  Faultwright::CLiveDatabase live(kConfig);
  live.Refresh();
  for (auto _ : state) benchmark::DoNotOptimize(live.Refresh());
}
BENCHMARK(BM_Refresh);

void BM_ActiveJson(benchmark::State& state) {
  OwnedDatabase database;
  Faultwright::CLiveDatabase live(kConfig);
  Faultwright::CErrorPatterns patterns(kConfig);
  std::vector<Faultwright::CErrorSummary> summaries;
  for (auto _ : state) {
    live.Refresh();
    Faultwright::BuildErrorSummaries(live.View(), patterns, live.Catalogue().TopLevelErrors(false), summaries, false);
    benchmark::DoNotOptimize(Faultwright::SummariesToJson(summaries, Core::MonotonicTime::Now(), true));
  }
  if (summaries.empty()) state.SkipWithError("no active errors");
}
BENCHMARK(BM_ActiveJson);

}  // namespace

BENCHMARK_MAIN();
