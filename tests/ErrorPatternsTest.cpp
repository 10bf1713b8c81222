#include "Faultwright.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/Patterns/CErrorPatterns.h"
#include "Support/TestSupport.h"

namespace Faultwright {
namespace {

using FaultwrightTest::TempDirectory;

const CErrorKey kData(0x010C0C, 3);     // GPS:GPS:Data:3
const CErrorKey kNoData(0x010C1B, 3);   // GPS:GPS:No Data:3
const CErrorKey kVoltage(0x020339, 4);  // CAN:Bus:Voltage:4

CErrorPatterns LoadPatterns(const TempDirectory& directory, const std::string& patterns) {
  directory.Write(CErrorPatterns::kFileName, "<Patterns>" + patterns + "</Patterns>");
  return CErrorPatterns(directory.Path());
}

TEST(ErrorPatterns, MissingOrMalformedFileGivesEmptyTable) {
  TempDirectory directory;
  EXPECT_TRUE(CErrorPatterns(directory.Path()).Patterns().empty());
  EXPECT_EQ(CErrorPatterns(directory.Path()).GetFixedCode({}), "");

  for (const char* malformed :
       {"<Patterns><pattern fixedCode='P1'/>", "<Patterns><pattern fixedCode='P1' fixedCode='P2'/></Patterns>",
        "<Patterns><pattern fixedCode='P1'/></Patterns><Patterns/>"}) {
    directory.Write(CErrorPatterns::kFileName, malformed);
    EXPECT_TRUE(CErrorPatterns(directory.Path()).Patterns().empty()) << malformed;
  }

  // The name is appended as it is: without the trailing "/" another file is meant.
  directory.Write(CErrorPatterns::kFileName, "<Patterns><pattern fixedCode='P1'/></Patterns>");
  std::string withoutSlash = directory.Path().substr(0, directory.Path().size() - 1);
  EXPECT_TRUE(CErrorPatterns(withoutSlash).Patterns().empty());
  EXPECT_EQ(CErrorPatterns(directory.Path()).Patterns().size(), 1u);

  directory.Write(CErrorPatterns::kFileName, "<Other><pattern fixedCode='P1'/></Other>");
  EXPECT_TRUE(CErrorPatterns(directory.Path()).Patterns().empty());
}

TEST(ErrorPatterns, LoadingReadsCodesFlagsAndReferences) {
  TempDirectory directory;
  CErrorPatterns table =
      LoadPatterns(directory,
                   "<pattern fixedCode='A' allowPartialMatch='yes'/>"
                   "<pattern fixedCode='B' allowPartialMatch='Yes'/>"
                   "<pattern fixedCode='C' allowPartialMatch='true'/>"
                   "<pattern fixedCode='D' allowPartialMatch='1'/>"
                   "<pattern fixedCode=''/><pattern/>"
                   "<Pattern fixedCode='ignored'/><error fixedCode='ignored'/>"
                   "<pattern fixedCode='  '>"
                   "  <error id='GPS:GPS:No Data:3'/><anything id='GPS:GPS:Data:3'/><e id='GPS:GPS:Data:3'/>"
                   "  <e id='GPS:GPS:3'/><e id='GPS:GPS:Data:3:4'/><e/><e id='GPS:Gps:Data:3'/>"
                   "</pattern>"
                   "<pattern fixedCode='types'>"
                   "  <e id='GPS:GPS:Data:12abc'/><e id='GPS:GPS:Data:abc'/><e id='GPS:GPS:Data:-1'/>"
                   "  <e id='GPS:GPS:Data:VoltageAboveNormalOrShortedHigh'/><e id='GPS:GPS:Data:99999999999'/>"
                   "</pattern>");
  const std::vector<CErrorPattern>& patterns = table.Patterns();
  ASSERT_EQ(patterns.size(), 6u);
  EXPECT_EQ(patterns[0].fixedCode, "A");
  EXPECT_TRUE(patterns[0].allowPartialMatch);
  for (int i = 1; i <= 3; ++i) EXPECT_FALSE(patterns[i].allowPartialMatch) << patterns[i].fixedCode;

  // Blanks are a fixed code; keys sorted, duplicates kept, unknown names give -1.
  EXPECT_EQ(patterns[4].fixedCode, "  ");
  EXPECT_EQ(patterns[4].errorKeys, (std::vector<CErrorKey>{CErrorKey(-1, 3), kData, kData, kNoData}));

  EXPECT_EQ(patterns[5].errorKeys,
            (std::vector<CErrorKey>{CErrorKey(0x010C0C, -1), CErrorKey(0x010C0C, 0), CErrorKey(0x010C0C, 0),
                                    CErrorKey(0x010C0C, 12), CErrorKey(0x010C0C, INT32_MAX)}));
}

TEST(ErrorPatterns, ExactAndPartialMatching) {
  TempDirectory directory;
  CErrorPatterns table =
      LoadPatterns(directory,
                   "<pattern fixedCode='pair'><e id='GPS:GPS:No Data:3'/><e id='GPS:GPS:Data:3'/></pattern>"
                   "<pattern fixedCode='data'><e id='GPS:GPS:Data:3'/></pattern>"
                   "<pattern fixedCode='data twice'><e id='GPS:GPS:Data:3'/><e id='GPS:GPS:Data:3'/></pattern>"
                   "<pattern fixedCode='voltage or more' allowPartialMatch='yes'>"
                   "  <e id='CAN:Bus:Voltage:4'/><e id='CAN:Bus:Voltage:4'/></pattern>"
                   "<pattern fixedCode='unknown' allowPartialMatch='yes'><e id='GPS:GPS:Datum:3'/></pattern>"
                   "<pattern fixedCode='nothing'/>");
  EXPECT_EQ(table.GetFixedCode({kData, kNoData}), "pair");
  EXPECT_EQ(table.GetFixedCode({kData}), "data");
  EXPECT_EQ(table.GetFixedCode({kData, kData}), "data twice");
  EXPECT_EQ(table.GetFixedCode({kData, kData, kData}), "");
  EXPECT_EQ(table.GetFixedCode({CErrorKey(0x010C0C, 4)}), "");
  EXPECT_EQ(table.GetFixedCode({kNoData}), "");
  // Partial: every key of the pattern active once, others allowed.
  EXPECT_EQ(table.GetFixedCode({kNoData, kVoltage, kData}), "voltage or more");
  EXPECT_EQ(table.GetFixedCode({kVoltage}), "voltage or more");
  EXPECT_EQ(table.GetFixedCode({}), "nothing");
}

TEST(ErrorPatterns, FirstMatchingPatternInFileOrderWins) {
  TempDirectory directory;
  CErrorPatterns table =
      LoadPatterns(directory,
                   "<pattern fixedCode='any data' allowPartialMatch='yes'><e id='GPS:GPS:Data:3'/></pattern>"
                   "<pattern fixedCode='exact'><e id='GPS:GPS:Data:3'/><e id='GPS:GPS:No Data:3'/></pattern>"
                   "<pattern fixedCode='same again'><e id='GPS:GPS:No Data:3'/><e id='GPS:GPS:Data:3'/></pattern>"
                   "<pattern fixedCode='everything' allowPartialMatch='yes'/>");
  EXPECT_EQ(table.GetFixedCode({kNoData, kData}), "any data");
  EXPECT_EQ(table.GetFixedCode({kNoData}), "everything");
  EXPECT_EQ(table.GetFixedCode({}), "everything");
  ASSERT_EQ(table.Patterns().size(), 4u);
  EXPECT_EQ(table.Patterns()[1].errorKeys, table.Patterns()[2].errorKeys);
}

}  // namespace
}  // namespace Faultwright
