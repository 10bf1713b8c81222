#include <gtest/gtest.h>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Faultwright.h"
#include "Support/CatalogueFiles.h"
#include "Support/TestSupport.h"

using namespace Faultwright;
using namespace FaultwrightTest;

TEST(TextExportTest, WritesEightLinesPerErrorInListOrder) {
  TempDirectory directory;
  directory.Write(CErrorDatabase::kTopFileName, TopFile({{"GPS", "Gps.xml"}}));
  directory.Write("Gps.xml", ModuleFile("GPS", "Data",
                                        ErrorElement("5", "two&#10;lines", "severity=\"Low\"",
                                                     "<Text type=\"title\" text=\"Title\"/>") +
                                            ErrorElement("-3", "out of range") + ErrorElement("5", "again")));
  CErrorDatabase catalogue(directory.Path());
  std::string path = directory.Path() + "texts.txt";
  ASSERT_TRUE(ExportTexts(catalogue.Errors(), path));
  EXPECT_EQ(ReadFile(path),
            "[GPS:GPS:Data:5.problem]\ntwo\nlines\n[GPS:GPS:Data:5.solution]\nFix two\nlines\n"
            "[GPS:GPS:Data:5.shortTitle]\nTitle\n[GPS:GPS:Data:5.vtTitle]\nShort two\nlines\n"
            "[GPS:GPS:Data:21.problem]\nout of range\n[GPS:GPS:Data:21.solution]\nFix out of range\n"
            "[GPS:GPS:Data:21.shortTitle]\n\n[GPS:GPS:Data:21.vtTitle]\nShort out of range\n"
            "[GPS:GPS:Data:5.problem]\nagain\n[GPS:GPS:Data:5.solution]\nFix again\n"
            "[GPS:GPS:Data:5.shortTitle]\n\n[GPS:GPS:Data:5.vtTitle]\nShort again\n");
}

TEST(TextExportTest, KeysOfUnnamedCodesAndNegativeTypes) {
  CErrorDatabase catalogue("/nonexistent/");
  std::vector<CError> errors;
  errors.emplace_back(catalogue, static_cast<EModuleIdentifier>(0x0E0000), static_cast<ESubModuleIdentifier>(0x0C00),
                      static_cast<EProblemIdentifier>(0x0C), static_cast<EProblemType>(-4), eesLow, false, false, false,
                      false, false, false, 0);
  TempDirectory directory;
  std::string path = directory.Write("texts.txt", "old contents\n");
  ASSERT_TRUE(ExportTexts(errors, path));
  EXPECT_EQ(ReadFile(path),
            "[:GPS:Data:-4.problem]\n\n[:GPS:Data:-4.solution]\n\n[:GPS:Data:-4.shortTitle]\n\n"
            "[:GPS:Data:-4.vtTitle]\n\n");

  // An empty catalogue empties the file.
  ASSERT_TRUE(ExportTexts({}, path));
  EXPECT_EQ(ReadFile(path), "");
}

TEST(TextExportTest, FailuresAreResults) {
  CErrorDatabase catalogue(FAULTWRIGHT_SOURCE_DIR "/config/");
  TempDirectory directory;
  EXPECT_FALSE(ExportTexts(catalogue.Errors(), directory.Path() + "no/such/dir/texts.txt"));
  // Every write to /dev/full fails for want of space.
  EXPECT_FALSE(ExportTexts(catalogue.Errors(), "/dev/full"));
  EXPECT_TRUE(ExportTexts({}, "/dev/full"));
}
