// Configurations that are wrong or far larger than the unit's: module files
// that are no files, a catalogue of 10 000 errors chained by their triggers,
// and texts of 1 MiB, carried from the catalogue to the reader's summaries.
#include "Faultwright.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/Patterns/CErrorPatterns.h"
#include "Support/SegmentDirectory.h"
#include "Support/TestSupport.h"

namespace Faultwright {
namespace {

using FaultwrightTest::ReadFile;
using FaultwrightTest::SegmentDirectory;
using FaultwrightTest::TempDirectory;

const char kTexts[] =
    R"(<Text type="problem" text="p"/><Text type="solution" text="s"/><Text type="shortProblem" text="sp"/>)";

std::string TopFile(const std::string& modules) {
  return "<Faultwright><ErrorList>" + modules + "</ErrorList></Faultwright>";
}

TEST(CatalogueFault, ModuleFileThatIsNoRegularFile) {
  TempDirectory directory;
  ASSERT_EQ(mkfifo((directory.Path() + "pipe").c_str(), 0600), 0);
  directory.Write("Spray.xml",
                  std::string("<Module><SubModule identifier=\"Treatments\"><Problem identifier=\"Processing Failure\">"
                              "<Error identifier=\"11\" severity=\"High\">") +
                      kTexts + "</Error></Problem></SubModule></Module>");
  // No file attribute names the directory itself; a pipe would block a reader.
  directory.Write(CErrorDatabase::kTopFileName,
                  TopFile(R"(<Module identifier="GPS"/><Module identifier="CAN" file="pipe"/>)"
                          R"(<Module identifier="Spray" file="Spray.xml"/>)"));
  testing::internal::CaptureStderr();
  CErrorDatabase catalogue(directory.Path());
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(catalogue.LoadProblems().size(), 2u);
  EXPECT_NE(catalogue.LoadProblems()[0].find("Module \"GPS\": not a regular file"), std::string::npos);
  EXPECT_NE(catalogue.LoadProblems()[1].find("Module \"CAN\": not a regular file"), std::string::npos);
  EXPECT_EQ(catalogue.Errors().size(), 1u);  // the modules after them still load
}

TEST(CatalogueFault, TenThousandErrorsInOneChain) {
  // GPS with 10 submodules x 50 problems x 20 types; each error is raised
  // automatically by the one after it, so every walk along the links is
  // 10 000 deep, and the first error, the heaviest, has its state code.
  std::vector<std::string> subModules;
  std::vector<std::string> problems;
  ForEachSubModule([&subModules](uint32_t, const char* name) { subModules.push_back(name); });
  ForEachProblem([&problems](uint32_t, const char* name) { problems.push_back(name); });
  std::vector<std::string> ids;
  for (size_t s = 0; s < 10; ++s) {
    for (size_t p = 0; p < 50; ++p) {
      for (int type = 0; type < 20; ++type)
        ids.push_back(subModules[s] + ":" + problems[p] + ":" + std::to_string(type));
    }
  }
  std::string module = "<Module>";
  for (size_t i = 0; i < ids.size(); ++i) {
    size_t colon = ids[i].find(':'), last = ids[i].rfind(':');
    module += "<SubModule identifier=\"" + ids[i].substr(0, colon) + "\"><Problem identifier=\"" +
              ids[i].substr(colon + 1, last - colon - 1) + "\"><Error identifier=\"" + ids[i].substr(last + 1) +
              "\" severity=\"Low\">" + kTexts;
    if (i + 1 < ids.size()) {
      module +=
          "<TriggerSets><TriggerSet><Options><Option name=\"autoTrigger\" value=\"yes\"/></Options>"
          "<Triggers><Trigger id=\"GPS:" +
          ids[i + 1] + "\"/></Triggers></TriggerSet></TriggerSets>";
    }
    module += "</Error></Problem></SubModule>";
  }
  module += "</Module>";

  SegmentDirectory here;
  TempDirectory configuration;
  configuration.Write("Gps.xml", module);
  configuration.Write(CErrorDatabase::kTopFileName, TopFile(R"(<Module identifier="GPS" file="Gps.xml"/>)"));
  CErrorDatabase catalogue(configuration.Path());
  ASSERT_EQ(catalogue.Errors().size(), 10000u);
  EXPECT_TRUE(catalogue.LoadProblems().empty());
  const CError& top = catalogue.Errors().front();
  const CError& bottom = catalogue.Errors().back();
  EXPECT_EQ(top.Weight(), 10000);

  // One raise runs up the whole chain.
  catalogue.RaiseError(bottom.Code(), bottom.Type(), false);
  EXPECT_TRUE(top.IsActive());
  catalogue.UpdateTopLevelErrors();
  ASSERT_EQ(catalogue.TopLevelErrors(false), std::vector<CError*>{catalogue.FindError(top.Code(), top.Type())});

  // The segment takes the first 400 and says so.
  CErrorDatabaseView owner(true, 1);
  testing::internal::CaptureStderr();
  owner.SetErrors(catalogue);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "CErrorDatabaseView::SetErrors: 9600 errors beyond the table's 400 left out\n");
  owner.SetEnabled(true);
  CErrorDatabaseView reader(false, 0);
  reader.Update(catalogue);

  // The walks of the summaries, the decoder and the print stop kMaxTriggerDepth
  // levels down, writer and reader alike: the index and one bit for each of
  // the first 256 errors, whose keys the decoder finds again.
  CErrorPatterns patterns(configuration.Path());
  std::vector<CErrorSummary> summaries;
  BuildErrorSummaries(reader, patterns, catalogue.TopLevelErrors(false), summaries, false);
  ASSERT_EQ(summaries.size(), 1u);
  EXPECT_EQ(summaries[0].stateCode.size(), (10 + kMaxTriggerDepth + 7) / 8 * 2);
  CErrorSummary decoded;
  std::vector<std::string> lines;
  std::vector<CErrorKey> keys;
  ASSERT_TRUE(DecodeStateCode(summaries[0].stateCode, catalogue, reader, decoded, lines, keys, true));
  EXPECT_EQ(keys.size(), 1 + kMaxTriggerDepth);
  testing::internal::CaptureStdout();
  PrintActiveTopLevelErrors(catalogue.TopLevelErrors(false));
  std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 2 + static_cast<long>(kMaxTriggerDepth));

  catalogue.ClearError(bottom.Code(), bottom.Type(), false);
  EXPECT_FALSE(top.IsActive());
}

TEST(CatalogueFault, TextsOfOneMebibyte) {
  const std::string problem(1 << 20, 'p');
  const std::string solution(1 << 20, 's');
  SegmentDirectory here;
  TempDirectory configuration;
  configuration.Write("Spray.xml",
                      "<Module><SubModule identifier=\"Treatments\"><Problem identifier=\"Processing Failure\">"
                      "<Error identifier=\"11\" severity=\"High\"><Text type=\"problem\" text=\"" +
                          problem + "\"/><Text type=\"solution\" text=\"" + solution +
                          "\"/><Text type=\"shortProblem\" "
                          "text=\"sp\"/></Error></Problem></SubModule></Module>");
  configuration.Write(CErrorDatabase::kTopFileName, TopFile(R"(<Module identifier="Spray" file="Spray.xml"/>)"));
  configuration.Write(CErrorPatterns::kFileName,
                      "<Patterns><pattern fixedCode=\"" + std::string(1 << 20, 'F') +
                          "\"><e id=\"Spray:Treatments:Processing Failure:11\"/></pattern></Patterns>");
  CErrorDatabase catalogue(configuration.Path());
  CErrorPatterns patterns(configuration.Path());
  ASSERT_EQ(catalogue.Errors().size(), 1u);
  const CError& error = catalogue.Errors().front();
  EXPECT_EQ(error.ProblemText(), problem);

  ASSERT_TRUE(ExportTexts(catalogue.Errors(), configuration.Path() + "texts.txt"));
  EXPECT_NE(ReadFile(configuration.Path() + "texts.txt").find(".problem]\n" + problem + "\n"), std::string::npos);

  CErrorDatabaseView owner(true, 1);
  owner.SetErrors(catalogue);
  owner.SetEnabled(true);
  owner.RaiseError(error.Code(), error.Type());
  CErrorDatabaseView reader(false, 0);
  reader.Update(catalogue);
  std::vector<CErrorSummary> summaries;
  BuildErrorSummaries(reader, patterns, catalogue.TopLevelErrors(false), summaries, false);
  ASSERT_EQ(summaries.size(), 1u);
  EXPECT_EQ(summaries[0].problems, std::vector<std::string>{problem});
  EXPECT_EQ(summaries[0].fixedCode.size(), 1u << 20);

  CErrorSummary decoded;
  std::vector<std::string> lines;
  std::vector<CErrorKey> keys;
  ASSERT_TRUE(DecodeStateCode(summaries[0].stateCode, catalogue, reader, decoded, lines, keys, true));
  EXPECT_EQ(decoded.solutions, std::vector<std::string>{solution});
}

}  // namespace
}  // namespace Faultwright
