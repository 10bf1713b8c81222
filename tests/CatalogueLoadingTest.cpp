// Loading the catalogue: attributes, texts and trigger sets; every fault
// reported and only its element left out; weights; and a chain of 10 000
// errors, far longer than the unit's, carried through activation, the report
// and the print.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>

#include "Faultwright.h"
#include "Support/CatalogueFiles.h"
#include "Support/SyntheticCatalogue.h"
#include "Support/TestSupport.h"

using namespace Faultwright;
using namespace FaultwrightTest;

namespace {

long Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

// Runs body with the stack limited to 256 KiB, which a walk that recursed
// once per level of a 10 000-deep chain would overflow.
void OnSmallStack(const std::function<void()>& body) {
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_STACK, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 256 << 10;
  ASSERT_EQ(setrlimit(RLIMIT_STACK, &small), 0);
  body();
  ASSERT_EQ(setrlimit(RLIMIT_STACK, &saved), 0);
}

// What loading the catalogue in directory said and built, as the files of
// tests/data/CatalogueLoading/ hold it.
std::string Loaded(const std::string& directory) {
  auto catalogue = LoadCatalogue(directory);
  return ProblemLines(*catalogue, directory) + Records(*catalogue);
}

TEST(CatalogueLoading, SampleConfigurationLoadsWhole) {
  // Among its links, triggers that reach into another module's file, two levels deep.
  EXPECT_EQ(Loaded(FAULTWRIGHT_SOURCE_DIR "/config/"), DataFile("CatalogueLoading/config.expected"));
}

TEST(CatalogueLoading, AttributesTextsAndTriggersAcrossFiles) {
  // The model's own attributes win; numbers read as strtol reads them,
  // saturated; the last text of each type counts; a trigger that stands twice
  // counts twice; of two records with one identifier the later is found.
  const std::string directory = DataPath("CatalogueLoading/sound/");
  EXPECT_EQ(Loaded(directory), DataFile("CatalogueLoading/sound.expected"));
  std::string written;
  LoadCatalogue(directory, &written);
  EXPECT_EQ(written.substr(0, written.find('\n')), "Error Spray:Controller:Communications:9 links to itself");
}

TEST(CatalogueLoading, EveryFaultIsReportedAndOnlyItsElementLeftOut) {
  TempDirectory directory;
  std::filesystem::copy(DataPath("CatalogueLoading/faults"), directory.Path());
  ASSERT_EQ(mkfifo((directory.Path() + "pipe").c_str(), 0600), 0);
  std::string written;
  auto catalogue = LoadCatalogue(directory.Path(), &written);
  EXPECT_EQ(written, ProblemLines(*catalogue, ""));
  EXPECT_EQ(ProblemLines(*catalogue, directory.Path()) + Records(*catalogue),
            DataFile("CatalogueLoading/faults.expected"));
}

TEST(CatalogueLoading, BrokenTopFiles) {
  // The top file (null: none), and what loading it said.
  const char* const kTopFiles[][2] = {
      {nullptr, ""},
      {"<Faultwright><ErrorList>", "FaultwrightConfig.xml:1:24: Start-end tags mismatch\n"},
      {"<Faultwright><Errors/></Faultwright>", "FaultwrightConfig.xml: Faultwright without ErrorList\n"},
      {"<ErrorList/>", "FaultwrightConfig.xml: no Faultwright element\n"},
  };
  for (const auto& row : kTopFiles) {
    SCOPED_TRACE(row[1]);
    TempDirectory directory;
    if (row[0] != nullptr) directory.Write(CErrorDatabase::kTopFileName, row[0]);
    EXPECT_EQ(Loaded(directory.Path()), row[1]);
  }
}

TEST(CatalogueWeights, AddUpTheTriggersReachedSaturateAndStayFiniteOnCycles) {
  // 1 is triggered by 0, 2 by 0 and 1; 4 only by 3, whose set holds nothing,
  // so it keeps weight 1; 5 by 4 and 0. 7 and 8 trigger each other, 7 is also
  // triggered by 6 and 9 by 8: the walk enters the cycle at 7, where 8 counts
  // 7's weight so far (1). 10 and 11 form a cycle that nothing reaches.
  const std::vector<std::vector<std::vector<int>>> kSets = {{}, {{0}},    {{0, 1}}, {{}},  {{3}},  {{4}, {0}},
                                                            {}, {{6, 8}}, {{7}},    {{8}}, {{11}}, {{10}}};
  std::vector<SyntheticError> errors(kSets.size());
  for (size_t n = 0; n < errors.size(); ++n) {
    for (const std::vector<int>& triggers : kSets[n]) errors[n].triggerSets.push_back({triggers});
  }
  // Then, from 12, 40 diamonds: each top is triggered by two errors that are
  // both triggered by the top before, so weights double at each, up to INT32_MAX.
  errors.emplace_back();
  for (int k = 0; k < 40; ++k) {
    const int top = static_cast<int>(errors.size()) - 1;
    errors.resize(errors.size() + 3);
    errors[top + 1].triggerSets = errors[top + 2].triggerSets = {{{top}}};
    errors[top + 3].triggerSets = {{{top + 1, top + 2}}};
  }
  TempDirectory directory;
  WriteSyntheticCatalogue(directory.Path(), errors);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(Loaded(directory.Path()), DataFile("CatalogueLoading/weights.expected"));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
}

TEST(CatalogueLoading, TenThousandErrorsInOneChain) {
  // Error n is raised automatically by error n + 1, so every walk along the
  // links is 10 000 deep, and error 0, the heaviest, stands on top.
  std::vector<SyntheticError> chain(10000);
  for (int n = 0; n + 1 < 10000; ++n) chain[n].triggerSets = {{{n + 1}}};
  TempDirectory configuration;
  WriteSyntheticCatalogue(configuration.Path(), chain);
  std::unique_ptr<CErrorDatabase> catalogue;
  OnSmallStack([&] {
    catalogue = LoadCatalogue(configuration.Path());
    catalogue->RaiseError(catalogue->Errors().back().Code(), catalogue->Errors().back().Type(), false);
  });
  CError* top = catalogue->FindError(SyntheticCode(0), 0);
  const CError& bottom = catalogue->Errors().back();
  EXPECT_EQ(top->Weight(), 10000);
  EXPECT_TRUE(top->IsActive());
  catalogue->UpdateTopLevelErrors();
  const std::vector<CError*>& tops = catalogue->TopLevelErrors(false);
  ASSERT_EQ(tops, std::vector<CError*>{top});

  // The report and the print stop kMaxTriggerDepth levels down: the tree
  // shows a set and an error per level below the top, and a blank line.
  EXPECT_EQ(Lines(WrittenBy([&](std::FILE* out) { catalogue->PrintErrorTree(false, out); })),
            2 * static_cast<long>(kMaxTriggerDepth) + 2);
  EXPECT_EQ(Lines(WrittenBy([&](std::FILE* out) { PrintActiveTopLevelErrors(tops, out); })),
            2 + static_cast<long>(kMaxTriggerDepth));

  OnSmallStack([&] { catalogue->ClearError(bottom.Code(), bottom.Type(), false); });
  EXPECT_FALSE(top->IsActive());
}

}  // namespace
