#include <gtest/gtest.h>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Faultwright.h"
#include "Support/CatalogueFiles.h"
#include "Support/TestSupport.h"

using namespace Faultwright;
using namespace FaultwrightTest;

namespace {

struct Report {
  std::string tree;
  std::string fullTree;
  std::string list;
};

Report Print(const std::string& directory) {
  CErrorDatabase catalogue(directory, nullptr);
  return {WrittenBy([&](std::FILE* out) { catalogue.PrintErrorTree(false, out); }),
          WrittenBy([&](std::FILE* out) { catalogue.PrintErrorTree(true, out); }),
          WrittenBy([&](std::FILE* out) { catalogue.PrintErrorList(out); })};
}

std::string Triggers(const std::vector<std::pair<std::string, std::string>>& options,
                     const std::vector<std::string>& triggers) {
  return TriggerSetsElement({{options, triggers}});
}

}  // namespace

TEST(CatalogueReportTest, TreesShowRootsWithTheirTriggerSets) {
  TempDirectory directory;
  directory.Write(CErrorDatabase::kTopFileName, TopFile({{"GPS", "Gps.xml"}}));
  directory.Write(
      "Gps.xml",
      ModuleFile("GPS", {{"Speed", ErrorElement("1", "Text of E1", "severity=\"Low\" visible=\"yes\"",
                                                Triggers({{"autoTrigger", "yes"}, {"triggersNeeded", "2"}},
                                                         {"GPS:GPS:Data:3", "GPS:GPS:Heading:5"}))},
                         {"Data", ErrorElement("3", "Text of E2", "severity=\"Low\"",
                                               Triggers({{"errorLinking", "shallow"}, {"titleSource", "trigger"}},
                                                        {"GPS:GPS:Power:0"}))},
                         {"Power", ErrorElement("0", "Text of E3")},
                         {"Heading", ErrorElement("5", "Text of E4")},
                         {"Distance", ErrorElement("-2", "Alone", "severity=\"Low\"")}}));
  Report report = Print(directory.Path());
  EXPECT_EQ(report.tree,
            "GPS:GPS:Speed:1  (4) [Text of E1] visible\n"
            "---Trigger threshold is 2. Linking mode is deep. Title source is parent.\n"
            "---GPS:GPS:Data:3  (2) [Text of E2]\n"
            "------Trigger threshold is N/A. Linking mode is shallow. Title source is trigger.\n"
            "      GPS:GPS:Power:0  (1) [Text of E3]\n"
            "---GPS:GPS:Heading:5  (1) [Text of E4]\n"
            "\n");
  // With all, a root without trigger sets shows too, in index order (Distance
  // sorts before Speed; its unknown type reads as 21).
  EXPECT_EQ(report.fullTree, "GPS:GPS:Distance:21  (1) [Alone] not visible\n\n" + report.tree);
  std::string list;
  for (const char* entry : {"Data\n|     --->3", "Distance\n|     --->21", "Heading\n|     --->5", "Power\n|     --->0",
                            "Speed\n|     --->1"}) {
    list += std::string("+GPS\n|--+GPS\n|  ---+") + entry + "\n";
  }
  EXPECT_EQ(report.list, list);
}

TEST(CatalogueReportTest, LinkingModesIndentsEmptySetsAndCyclesPrintFinitely) {
  TempDirectory directory;
  directory.Write(CErrorDatabase::kTopFileName, TopFile({{"GPS", "Gps.xml"}}));
  // Root 0 holds an empty set, a verbose set with 1 and a shallow set with 2;
  // 2 holds a shallow set with 3 and a childOnly set with 4; 4 and 5 trigger
  // each other.
  std::string sets0 = TriggerSetsElement({{{{"autoTrigger", "no"}, {"triggersNeeded", "5"}}, {}},
                                          {{{"errorLinking", "verbose"}}, {"GPS:GPS:Data:1"}},
                                          {{{"errorLinking", "shallow"}, {"autoTrigger", "yes"}}, {"GPS:GPS:Data:2"}}});
  std::string sets2 = TriggerSetsElement(
      {{{{"errorLinking", "shallow"}}, {"GPS:GPS:Data:3"}}, {{{"errorLinking", "childOnly"}}, {"GPS:GPS:Data:4"}}});
  directory.Write("Gps.xml",
                  ModuleFile("GPS", "Data",
                             ErrorElement("0", "root", "severity=\"Low\"", sets0) + ErrorElement("1", "one") +
                                 ErrorElement("2", "two", "severity=\"Low\"", sets2) + ErrorElement("3", "three") +
                                 ErrorElement("4", "four", "severity=\"Low\"", Triggers({}, {"GPS:GPS:Data:5"})) +
                                 ErrorElement("5", "five", "severity=\"Low\"", Triggers({}, {"GPS:GPS:Data:4"}))));
  Report report = Print(directory.Path());
  EXPECT_EQ(report.tree,
            "GPS:GPS:Data:0  (5) [root] not visible\n"
            "---Trigger threshold is N/A. Linking mode is deep. Title source is parent.\n"
            "---GPS:GPS:Data:1  (1) [one]\n"
            "---Trigger threshold is 1. Linking mode is shallow. Title source is parent.\n"
            "   GPS:GPS:Data:2  (3) [two]\n"
            "      Trigger threshold is N/A. Linking mode is shallow. Title source is parent.\n"
            "      GPS:GPS:Data:3  (1) [three]\n"
            "      Trigger threshold is N/A. Linking mode is deep. Title source is parent.\n"
            "      GPS:GPS:Data:4  (1) [four]\n"
            "      ---Trigger threshold is N/A. Linking mode is deep. Title source is parent.\n"
            "      ---GPS:GPS:Data:5  (1) [five]\n"
            "      ------Trigger threshold is N/A. Linking mode is deep. Title source is parent.\n"
            "      ------GPS:GPS:Data:4  (1) [four]\n"  // on the path already: not followed again
            "\n");
  EXPECT_EQ(report.fullTree, report.tree);
}

TEST(CatalogueReportTest, EmptyCataloguesPrintNothing) {
  TempDirectory directory;
  Report report = Print(directory.Path());
  EXPECT_EQ(report.tree + report.fullTree + report.list, "");
}
