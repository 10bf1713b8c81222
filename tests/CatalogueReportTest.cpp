// The catalogue's report (the trees and the list) and its text export, each
// against its expected output in tests/data/CatalogueReport/. The catalogue
// there holds every option of a trigger set, an empty set, a cycle, a type out
// of range, a text of two lines and a duplicate.
#include <gtest/gtest.h>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/TextExport/TextExport.h"
#include "Support/CatalogueFiles.h"
#include "Support/TestSupport.h"

using namespace Faultwright;
using namespace FaultwrightTest;

TEST(CatalogueReport, TreesListAndTexts) {
  auto catalogue = LoadCatalogue(DataPath("CatalogueReport/"));
  EXPECT_EQ(WrittenBy([&](std::FILE* out) { catalogue->PrintErrorTree(false, out); }),
            DataFile("CatalogueReport/tree.txt"));
  EXPECT_EQ(WrittenBy([&](std::FILE* out) { catalogue->PrintErrorTree(true, out); }),
            DataFile("CatalogueReport/fullTree.txt"));
  EXPECT_EQ(WrittenBy([&](std::FILE* out) { catalogue->PrintErrorList(out); }), DataFile("CatalogueReport/list.txt"));

  TempDirectory directory;
  const std::string path = directory.Write("texts.txt", "old contents, longer than none\n");
  ASSERT_TRUE(ExportTexts(catalogue->Errors(), path));
  EXPECT_EQ(ReadFile(path), DataFile("CatalogueReport/texts.txt"));
  ASSERT_TRUE(ExportTexts({}, path));
  EXPECT_EQ(ReadFile(path), "");
  // Failures are results: a missing directory, and a write that fails for want of space.
  EXPECT_FALSE(ExportTexts(catalogue->Errors(), directory.Path() + "no/such/dir/texts.txt"));
  EXPECT_FALSE(ExportTexts(catalogue->Errors(), "/dev/full"));
}

TEST(CatalogueReport, EmptyCataloguesPrintNothing) {
  const CErrorDatabase empty("/nonexistent/", nullptr);
  EXPECT_EQ(WrittenBy([&](std::FILE* out) { empty.PrintErrorTree(true, out); }) +
                WrittenBy([&](std::FILE* out) { empty.PrintErrorList(out); }),
            "");
}
