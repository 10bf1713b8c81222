// Summaries of 50 active top-level errors, each with a tree of 8 active
// triggers (four triggers in two sets, each with an active trigger of its
// own), against 100 patterns that do not match; and the decoding of one of
// their state codes. The catalogue and its views live in a temporary working
// directory, so the shared segment is private to the run.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/Patterns/CErrorPatterns.h"
#include "Faultwright.h"
#include "Support/SharedSegment.h"

namespace {

using namespace Faultwright;

const int kTopLevelErrors = 50;
const int kTriggerPairs = 100;  // errors with one trigger each, and those triggers

class BenchCatalogue {
 public:
  BenchCatalogue() {
    char pattern[] = "/tmp/fwbenchXXXXXX";
    if (mkdtemp(pattern) == nullptr || getcwd(previous_, sizeof previous_) == nullptr) return;
    directory_ = std::string(pattern) + "/";
    ForEachProblem([this](uint32_t, const char* name) { problems_.push_back(name); });
    WriteFiles();
    catalogue_ = std::make_unique<CErrorDatabase>(directory_);
    patterns_ = std::make_unique<CErrorPatterns>(directory_);
    if (chdir(directory_.c_str()) != 0) return;
    owner_ = std::make_unique<CErrorDatabaseView>(true, 1);
    reader_ = std::make_unique<CErrorDatabaseView>(false, 0);
    owner_->SetErrors(*catalogue_);
    owner_->SetEnabled(true);
    std::vector<CErrorKey> all;
    for (const CError& error : catalogue_->Errors()) all.push_back(ErrorKeyOf(error));
    owner_->RaiseErrors(all);
    reader_->Update(*catalogue_);
    for (int i = 0; i < kTopLevelErrors; ++i) topLevelErrors_.push_back(Find(Name(2 * kTriggerPairs + i)));
  }

  ~BenchCatalogue() {
    FaultwrightTest::RemoveSharedSegment(".");
    if (chdir(previous_) != 0) std::perror("chdir");
    std::error_code ignored;
    if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
  }

  bool IsReady() const {
    return reader_ && !reader_->HasFailed() && topLevelErrors_.size() == kTopLevelErrors &&
           catalogue_->Errors().size() == 2 * kTriggerPairs + kTopLevelErrors;
  }
  CErrorDatabase& Catalogue() { return *catalogue_; }
  CErrorDatabaseView& Reader() { return *reader_; }
  const CErrorPatterns& Patterns() const { return *patterns_; }
  const std::vector<CError*>& TopLevelErrors() const { return topLevelErrors_; }

 private:
  // Error k of the catalogue: GPS:GPS:<problem>:<type>, all distinct.
  std::string Name(int k) const { return problems_[k % problems_.size()] + ":" + std::to_string(k / problems_.size()); }
  CError* Find(const std::string& name) {
    std::string::size_type colon = name.rfind(':');
    return catalogue_->FindError(emiGPS | SubModuleFromName("GPS") | ProblemFromName(name.substr(0, colon)),
                                 std::stoi(name.substr(colon + 1)));
  }

  std::string ErrorXml(int k, const std::string& triggerSets) const {
    std::string name = Name(k);
    std::string::size_type colon = name.rfind(':');
    return "<Problem identifier='" + name.substr(0, colon) + "'><Error identifier='" + name.substr(colon + 1) +
           "' severity='High' visible='yes'><Text type='problem' text='The problem of error " + name +
           ", in a sentence of usual length.'/><Text type='solution' text='What the operator does about " + name +
           ", in a sentence of usual length.'/><Text type='shortProblem' text='Short " + name +
           "'/><Text type='title' text='Title " + name + "'/>" + triggerSets + "</Error></Problem>";
  }
  std::string TriggerSetXml(const std::string& options, const std::vector<int>& triggers) const {
    std::string xml = "<TriggerSet><Options>" + options + "</Options><Triggers>";
    for (int k : triggers) xml += "<Trigger id='GPS:GPS:" + Name(k) + "'/>";
    return xml + "</Triggers></TriggerSet>";
  }

  void WriteFiles() const {
    std::string errors;
    for (int k = 0; k < kTriggerPairs; ++k) errors += ErrorXml(k, "");
    for (int k = 0; k < kTriggerPairs; ++k) {
      errors += ErrorXml(kTriggerPairs + k, "<TriggerSets>" + TriggerSetXml("", {k}) + "</TriggerSets>");
    }
    for (int i = 0; i < kTopLevelErrors; ++i) {
      int first = kTriggerPairs + 2 * i, second = kTriggerPairs + (2 * i + 50) % kTriggerPairs;
      std::string verbose = "<Option name='errorLinking' value='verbose'/>";
      errors += ErrorXml(2 * kTriggerPairs + i, "<TriggerSets>" + TriggerSetXml(verbose, {first, first + 1}) +
                                                    TriggerSetXml("", {second, second + 1}) + "</TriggerSets>");
    }
    std::ofstream(directory_ + CErrorDatabase::kTopFileName)
        << "<Faultwright><ErrorList><Module identifier='GPS' file='Gps.xml'/></ErrorList></Faultwright>";
    std::ofstream(directory_ + "Gps.xml")
        << "<Module><SubModule identifier='GPS'>" << errors << "</SubModule></Module>";
    std::string patterns = "<Patterns>";
    for (int p = 0; p < 100; ++p) {
      patterns += "<pattern fixedCode='P" + std::to_string(p) + "' allowPartialMatch='yes'><e id='GPS:GPS:" + Name(p) +
                  "'/><e id='GPS:GPS:Data:20'/></pattern>";
    }
    std::ofstream(directory_ + CErrorPatterns::kFileName) << patterns << "</Patterns>";
  }

  std::string directory_;
  char previous_[PATH_MAX] = "";
  std::vector<std::string> problems_;
  std::unique_ptr<CErrorDatabase> catalogue_;
  std::unique_ptr<CErrorPatterns> patterns_;
  std::unique_ptr<CErrorDatabaseView> owner_;
  std::unique_ptr<CErrorDatabaseView> reader_;
  std::vector<CError*> topLevelErrors_;
};

void BM_BuildErrorSummaries(benchmark::State& state) {
  BenchCatalogue bench;
  if (!bench.IsReady()) {
    state.SkipWithError("catalogue or view not as built");
    return;
  }
  std::vector<CErrorSummary> summaries;
  for (auto _ : state) {
    BuildErrorSummaries(bench.Reader(), bench.Patterns(), bench.TopLevelErrors(), summaries, state.range(0) != 0);
    benchmark::DoNotOptimize(summaries.data());
  }
}
BENCHMARK(BM_BuildErrorSummaries)->ArgName("textKeys")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_DecodeStateCode(benchmark::State& state) {
  BenchCatalogue bench;
  if (!bench.IsReady()) {
    state.SkipWithError("catalogue or view not as built");
    return;
  }
  std::vector<CErrorSummary> summaries;
  BuildErrorSummaries(bench.Reader(), bench.Patterns(), bench.TopLevelErrors(), summaries, false);
  const std::string stateCode = summaries.back().stateCode;
  for (auto _ : state) {
    CErrorSummary summary;
    std::vector<std::string> lines;
    std::vector<CErrorKey> keys;
    DecodeStateCode(stateCode, bench.Catalogue(), bench.Reader(), summary, lines, keys, false);
    if (keys.size() != 9) state.SkipWithError("not all nine errors decoded");
    benchmark::DoNotOptimize(summary.solutions.data());
  }
}
BENCHMARK(BM_DecodeStateCode)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
