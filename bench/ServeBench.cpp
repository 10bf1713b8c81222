// The server side of fwinspect serve's /api/active with 400 active top-level
// errors (a synthetic catalogue of 400 errors without triggers, all raised),
// in a private working directory owned by the benchmark:
// - ActiveUnchanged: a request while nothing changed, what nearly every
//   request and every idle look of the event stream's poller costs;
// - ActiveChanged: a request after one error was cleared or raised again, so
//   that the summaries, their trees and their JSON are built anew.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Common/View/CErrorDatabaseView.h"
#include "Inspect/CLiveReport.h"
#include "Support/SharedSegment.h"
#include "Support/SyntheticCatalogue.h"

namespace {

using Faultwright::CErrorDatabase;
using Faultwright::CErrorDatabaseView;

const int kErrors = CErrorDatabaseView::kMaxErrors;

// The catalogue and the owner's database, every error raised, in a fresh
// working directory that is removed afterwards.
class RaisedDatabase {
 public:
  RaisedDatabase() {
    char work[] = "/tmp/fwservebenchXXXXXX";
    if (getcwd(previous_, sizeof previous_) == nullptr || mkdtemp(work) == nullptr || chdir(work) != 0) std::abort();
    work_ = work;
    FaultwrightTest::WriteSyntheticCatalogue(work_ + "/", std::vector<FaultwrightTest::SyntheticError>(kErrors));
    catalogue_ = std::make_unique<CErrorDatabase>(work_ + "/");
    owner_ = std::make_unique<CErrorDatabaseView>(true, 1);
    owner_->SetErrors(*catalogue_);
    owner_->SetEnabled(true);
    for (const Faultwright::CError& error : catalogue_->Errors()) owner_->RaiseError(error.Code(), error.Type());
  }
  ~RaisedDatabase() {
    FaultwrightTest::RemoveSharedSegment(".");
    if (std::system(("rm -rf " + work_).c_str()) != 0 || chdir(previous_) != 0) std::abort();
  }

  std::string Directory() const { return work_ + "/"; }
  CErrorDatabaseView& Owner() { return *owner_; }
  const Faultwright::CError& First() const { return catalogue_->Errors().front(); }

 private:
  std::unique_ptr<CErrorDatabase> catalogue_;
  std::unique_ptr<CErrorDatabaseView> owner_;
  char previous_[PATH_MAX];
  std::string work_;
};

void BM_ActiveUnchanged(benchmark::State& state) {
  RaisedDatabase database;
  Faultwright::CLiveReport report(database.Directory());
  for (auto _ : state) benchmark::DoNotOptimize(report.Active());
  const size_t bytes = report.Active().body.size();
  state.counters["bytes"] = static_cast<double>(bytes);
  if (bytes < 100000) state.SkipWithError("the 400 errors are not active");
}
BENCHMARK(BM_ActiveUnchanged);

void BM_ActiveChanged(benchmark::State& state) {
  RaisedDatabase database;
  Faultwright::CLiveReport report(database.Directory());
  const Faultwright::CError& first = database.First();
  bool raised = true;
  for (auto _ : state) {
    state.PauseTiming();
    raised ? database.Owner().ClearError(first.Code(), first.Type())
           : database.Owner().RaiseError(first.Code(), first.Type());
    raised = !raised;
    state.ResumeTiming();
    benchmark::DoNotOptimize(report.Active());
  }
}
BENCHMARK(BM_ActiveChanged);

}  // namespace

BENCHMARK_MAIN();
