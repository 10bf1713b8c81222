// The live state's costs: a reader's Update when nothing changed, against the
// floor of one lock, one copy of the segment and one release; the owner's
// RaiseError; and a reader's Update after 400 raises, with the top-level
// choice over 400 active errors in groups of 10 linked errors.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../tests/Support/SyntheticCatalogue.h"
#include "Common/View/CErrorDatabaseView.h"
#include "Support/SharedSegment.h"

using namespace Faultwright;

namespace {

const int kErrors = CErrorDatabaseView::kMaxErrors;

// A working directory of its own with a catalogue of 400 errors in groups of
// 10 (member k of a group triggered by member (k - 1) / 2), an owner that
// placed and enabled them, and a reader with its own catalogue.
class Setup {
 public:
  Setup() {
    char pattern[] = "/tmp/faultwright-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr || getcwd(previous_, sizeof previous_) == nullptr || chdir(pattern) != 0) {
      std::abort();
    }
    directory_ = std::string(pattern) + "/";
    std::vector<FaultwrightTest::SyntheticError> errors(kErrors);
    for (int n = 0; n < kErrors; ++n) {
      if (n % 10 != 0) errors[n].triggerSets.push_back({{n - n % 10 + (n % 10 - 1) / 2}, false, 1});
      keys.emplace_back(static_cast<int32_t>(FaultwrightTest::SyntheticCode(n)), FaultwrightTest::SyntheticType(n));
    }
    FaultwrightTest::WriteSyntheticCatalogue(directory_, errors);
    ownerCatalogue = std::make_unique<CErrorDatabase>(directory_);
    readerCatalogue = std::make_unique<CErrorDatabase>(directory_);
    owner = std::make_unique<CErrorDatabaseView>(true, 1);
    owner->SetErrors(*ownerCatalogue);
    owner->SetEnabled(true);
    reader = std::make_unique<CErrorDatabaseView>(false, 0);
    reader->Update(*readerCatalogue);
  }
  ~Setup() {
    FaultwrightTest::RemoveSharedSegment(".");
    if (chdir(previous_) != 0) std::abort();
    std::filesystem::remove_all(directory_);
  }

  std::vector<CErrorKey> keys;
  std::unique_ptr<CErrorDatabase> ownerCatalogue, readerCatalogue;
  std::unique_ptr<CErrorDatabaseView> owner, reader;

 private:
  std::string directory_;
  char previous_[4096];
};

Setup* setup = nullptr;

void BM_LockCopyReleaseFloor(benchmark::State& state) {
  int semaphore = semget(ftok(".", CErrorDatabaseView::kKeyId), 0, 0);
  void* segment = shmat(shmget(ftok(".", CErrorDatabaseView::kKeyId), 0, 0), nullptr, SHM_RDONLY);
  static CErrorDatabaseView::Segment copy;
  sembuf take = {0, -1, SEM_UNDO}, give = {0, 1, SEM_UNDO};
  for (auto _ : state) {
    semop(semaphore, &take, 1);
    std::memcpy(&copy, segment, sizeof copy);
    semop(semaphore, &give, 1);
    benchmark::DoNotOptimize(&copy);
  }
  shmdt(segment);
}
BENCHMARK(BM_LockCopyReleaseFloor);

void BM_ReaderUpdateWithoutChange(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(setup->reader->Update(*setup->readerCatalogue));
}
BENCHMARK(BM_ReaderUpdateWithoutChange);

// Raises the 400 entries in table order, so the lookup scans 200 on average.
void BM_OwnerRaiseError(benchmark::State& state) {
  int next = 0;
  for (auto _ : state) {
    if (next == kErrors) {
      state.PauseTiming();
      setup->owner->ClearErrors(setup->keys);
      next = 0;
      state.ResumeTiming();
    }
    const CErrorKey& key = setup->keys[next++];
    setup->owner->RaiseError(static_cast<unsigned>(key.code), key.type);
  }
  setup->owner->ClearErrors(setup->keys);
  setup->reader->Update(*setup->readerCatalogue);
}
BENCHMARK(BM_OwnerRaiseError);

void BM_ReaderUpdateAfter400Raises(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    setup->owner->ClearErrors(setup->keys);
    setup->reader->Update(*setup->readerCatalogue);
    setup->owner->RaiseErrors(setup->keys);
    state.ResumeTiming();
    benchmark::DoNotOptimize(setup->reader->Update(*setup->readerCatalogue));
  }
  state.counters["topLevel"] = static_cast<double>(setup->readerCatalogue->TopLevelErrors(false).size());
}
BENCHMARK(BM_ReaderUpdateAfter400Raises)->Unit(benchmark::kMicrosecond);

// The top-level choice alone: 400 active errors, all of them changed.
void BM_UpdateTopLevelErrors400(benchmark::State& state) {
  CErrorDatabase& catalogue = *setup->ownerCatalogue;
  for (const CErrorKey& key : setup->keys) catalogue.RaiseError(static_cast<unsigned>(key.code), key.type, true);
  for (auto _ : state) {
    for (CError* error : catalogue.IndexedErrors()) error->SetChanged(true);
    catalogue.UpdateTopLevelErrors();
  }
}
BENCHMARK(BM_UpdateTopLevelErrors400)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  Setup environment;
  setup = &environment;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
