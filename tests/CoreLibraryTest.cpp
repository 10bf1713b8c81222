// The XML layer under every loader: a file that fails to parse, or that the
// parser accepts although it is not well-formed XML, leaves no tree behind.
#include <gtest/gtest.h>

#include "Platform/Core/IO/XMLDocument.h"
#include "Support/TestSupport.h"

using Core::IO::XMLDocument;

TEST(CoreLibrary, FailedParsesLeaveNoTree) {
  FaultwrightTest::TempDirectory directory;
  std::string many = "<Top";
  for (int i = 0; i < 20; ++i) many += " a" + std::to_string(i) + "=''";
  const struct {
    std::string text;  // empty: no file
    const char* reason;
    long offset;
  } kFailures[] = {
      {"<Top><A/><B>", "Start-end tags mismatch", 11},  // cut short: placed at the last byte
      {"text<Top/>", "text outside the document element", 0},
      {"<Top/><![CDATA[x]]>", "text outside the document element", 15},
      {"<Top/>\n<Top/>", "second document element", 7},
      {"<Top><A b='1' c='' b='2'/></Top>", "attribute \"b\" given twice", 5},
      {many + " a3=''/>", "attribute \"a3\" given twice", 0},
      {"<!-- only -->", "No document element found", 12},
      {"", "File was not found", -1},
  };
  XMLDocument document;
  for (const auto& row : kFailures) {
    SCOPED_TRACE(row.text);
    // Each after a good parse, whose tree must not survive either.
    ASSERT_TRUE(document.Parse(directory.Write("good.xml", "<Top><A/></Top>")));
    const std::string path = row.text.empty() ? directory.Path() + "missing.xml" : directory.Write("odd.xml", row.text);
    EXPECT_FALSE(document.Parse(path));
    EXPECT_EQ(document.FileOpened(), !row.text.empty());
    EXPECT_EQ(document.ParseError(), row.reason);
    EXPECT_EQ(document.ParseErrorOffset(), row.offset);
    EXPECT_TRUE(document.RootNode().Children().empty());
  }
  EXPECT_TRUE(document.Parse(directory.Write("good.xml", "<Top/>")));
  EXPECT_TRUE(document.ParseError().empty());
  EXPECT_TRUE(document.RootNode().Child("Top"));
}
