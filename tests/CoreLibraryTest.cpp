#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "Faultwright.h"
#include "Support/TestSupport.h"

using Core::IO::XMLDocument;
using Core::IO::XMLNode;

TEST(CoreLibraryTest, TimesOrderBySecondsThenNanoseconds) {
  Core::Time early(5, 999999999), late(6, 0), same(6, 0);
  EXPECT_TRUE(early.CompareLT(late));
  EXPECT_FALSE(late.CompareLT(early));
  EXPECT_TRUE(late.CompareGT(early));
  EXPECT_FALSE(late.CompareNE(same));
  EXPECT_FALSE(late.CompareLT(same));
  EXPECT_TRUE(early.CompareNE(late));
  EXPECT_DOUBLE_EQ(Core::Time(3, 500000000).AsDouble(), 3.5);
  EXPECT_TRUE(Core::Time().IsZero());
  // An oversized fraction carries into the seconds.
  EXPECT_FALSE(Core::Time(1, 2500000000u).CompareNE(Core::Time(3, 500000000)));

  // The comparisons take monotonic times as well.
  EXPECT_TRUE(early.CompareLT(Core::MonotonicTime(6, 0)));
}

TEST(CoreLibraryTest, MonotonicTimersRunOut) {
  Core::MonotonicTime before = Core::MonotonicTime::Now();
  EXPECT_FALSE(before.IsZero());
  Core::MonotonicTime later = Core::MonotonicTime::Timer(60000);
  Core::MonotonicTime now = Core::MonotonicTime::Now();
  EXPECT_FALSE(now.CompareLT(before));
  EXPECT_FALSE(later.Expired(now));
  EXPECT_NEAR(later.AsDouble() - now.AsDouble(), 60.0, 1.0);
  EXPECT_TRUE(Core::MonotonicTime::Timer(0).Expired(Core::MonotonicTime::Now()));
  EXPECT_TRUE(Core::MonotonicTime::Timer(-1000).Expired(now));
  EXPECT_TRUE(before.Expired(before));
}

TEST(CoreLibraryTest, DocumentsYieldElementsAndTellAbsentFromEmptyAttributes) {
  FaultwrightTest::TempDirectory directory;
  std::string path = directory.Write(
      "a.xml",
      "<?xml version=\"1.0\"?><!-- c --><Top><A x=\"\" qd570:y=\"2\"/>text<!-- c --><B/><?pi?><A x=\"1\"/></Top>");
  XMLDocument document;
  ASSERT_TRUE(document.Parse(path));
  std::optional<XMLNode> top = document.RootNode().Child("Top");
  ASSERT_TRUE(top);
  EXPECT_EQ(top->Name(), "Top");
  EXPECT_FALSE(document.RootNode().Child("top"));
  std::string names;
  for (XMLNode child : top->Children()) names += child.Name();
  EXPECT_EQ(names, "ABA");

  XMLNode first = *top->Child("A");
  EXPECT_TRUE(first.HasAttribute("x"));
  EXPECT_STREQ(first.FindAttribute("x"), "");
  EXPECT_EQ(first.Attribute("x", "absent"), "");
  EXPECT_EQ(first.FindAttribute("z"), nullptr);
  EXPECT_EQ(first.Attribute("z", "absent"), "absent");
  EXPECT_EQ(first.Attribute("qd570:y"), "2");
  EXPECT_TRUE(first.Children().empty());
}

TEST(CoreLibraryTest, FailedParsesLeaveNoChildren) {
  FaultwrightTest::TempDirectory directory;
  // pugixml would keep "<Top><A/>" of this file; nothing of it may survive.
  std::string broken = directory.Write("broken.xml", "<Top><A/><B>");
  XMLDocument document;
  EXPECT_FALSE(document.Parse(broken));
  EXPECT_TRUE(document.FileOpened());
  EXPECT_FALSE(document.ParseError().empty());
  EXPECT_EQ(document.ParseErrorOffset(), 11);  // cut short: placed at the last byte
  EXPECT_TRUE(document.RootNode().Children().empty());

  // Nor of a file that the parser accepts but that is not well-formed XML.
  const struct {
    const char* text;
    const char* reason;
    long offset;
  } kNotWellFormed[] = {
      {"text<Top/>", "text outside the document element", 0},
      {"<Top/><![CDATA[x]]>", "text outside the document element", 15},
      {"<Top/>\n<Top/>", "second document element", 7},
      {"<Top><A b='1' c='' b='2'/></Top>", "attribute \"b\" given twice", 5},
      {"<!-- only -->", "No document element found", 12},
  };
  std::string many = "<Top";
  for (int i = 0; i < 20; ++i) many += " a" + std::to_string(i) + "=''";
  many += " a3=''/>";
  for (const auto& [text, reason, offset] : kNotWellFormed) {
    EXPECT_FALSE(document.Parse(directory.Write("odd.xml", text))) << text;
    EXPECT_EQ(document.ParseError(), reason);
    EXPECT_EQ(document.ParseErrorOffset(), offset) << text;
    EXPECT_TRUE(document.RootNode().Children().empty()) << text;
  }
  EXPECT_FALSE(document.Parse(directory.Write("many.xml", many)));
  EXPECT_EQ(document.ParseError(), "attribute \"a3\" given twice");
  EXPECT_EQ(document.ParseErrorOffset(), 0);

  EXPECT_FALSE(document.Parse(directory.Path() + "missing.xml"));
  EXPECT_FALSE(document.FileOpened());
  EXPECT_EQ(document.ParseErrorOffset(), -1);
  EXPECT_TRUE(document.RootNode().Children().empty());

  // A good parse after a bad one is whole again.
  EXPECT_TRUE(document.Parse(directory.Write("good.xml", "<Top/>")));
  EXPECT_TRUE(document.ParseError().empty());
  EXPECT_TRUE(document.RootNode().Child("Top"));
}

TEST(CoreLibraryTest, SplitStringKeepsEmptyFields) {
  std::vector<std::string> parts{"stale"};
  ASSERT_TRUE(Core::Utilities::SplitString("GPS::Data:3", ":", parts, 0));
  EXPECT_EQ(parts, (std::vector<std::string>{"GPS", "", "Data", "3"}));
  ASSERT_TRUE(Core::Utilities::SplitString("", ":", parts, 0));
  EXPECT_EQ(parts, (std::vector<std::string>{""}));
  ASSERT_TRUE(Core::Utilities::SplitString("a--b--", "--", parts, 0));
  EXPECT_EQ(parts, (std::vector<std::string>{"a", "b", ""}));
  ASSERT_TRUE(Core::Utilities::SplitString("a:b:c:d", ":", parts, 2));
  EXPECT_EQ(parts, (std::vector<std::string>{"a", "b:c:d"}));
  EXPECT_FALSE(Core::Utilities::SplitString("a", "", parts, 0));
  EXPECT_TRUE(parts.empty());
}
