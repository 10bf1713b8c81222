// The fixed-code table: loading, and matching by the first pattern in file
// order, each with its file in tests/data/ErrorPatterns/.
#include "Common/Patterns/CErrorPatterns.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Support/CatalogueFiles.h"
#include "Support/TestSupport.h"

namespace Faultwright {
namespace {

using FaultwrightTest::DataPath;

TEST(ErrorPatterns, MissingOrMalformedFilesGiveAnEmptyTable) {
  FaultwrightTest::TempDirectory directory;
  EXPECT_TRUE(CErrorPatterns(directory.Path()).Patterns().empty());
  for (const char* malformed :
       {"<Patterns><pattern fixedCode='P1'/>", "<Patterns><pattern fixedCode='P1' fixedCode='P2'/></Patterns>",
        "<Patterns><pattern fixedCode='P1'/></Patterns><Patterns/>", "<Other><pattern fixedCode='P1'/></Other>"}) {
    directory.Write(CErrorPatterns::kFileName, malformed);
    EXPECT_TRUE(CErrorPatterns(directory.Path()).Patterns().empty()) << malformed;
  }
}

TEST(ErrorPatterns, LoadingReadsCodesFlagsAndReferences) {
  const CErrorPatterns table(DataPath("ErrorPatterns/loading/"));
  std::ostringstream patterns;
  for (const CErrorPattern& pattern : table.Patterns()) {
    patterns << "'" << pattern.fixedCode << "' " << pattern.allowPartialMatch << ":" << std::hex;
    for (const CErrorKey& key : pattern.errorKeys)
      patterns << " " << key.code << "/" << std::dec << key.type << std::hex;
    patterns << "\n";
  }
  EXPECT_EQ(patterns.str(),
            "'A' 1:\n'B' 0:\n'C' 0:\n'D' 0:\n'  ' 0: ffffffff/3 10c0c/3 10c0c/3 10c1b/3\n"
            "'types' 0: 10c0c/-1 10c0c/0 10c0c/0 10c0c/12 10c0c/2147483647\n");
}

TEST(ErrorPatterns, TheFirstMatchingPatternInFileOrderWins) {
  const CErrorPatterns table(DataPath("ErrorPatterns/matching/"));
  const CErrorKey data(0x010C0C, 3), noData(0x010C1B, 3), voltage(0x020339, 4);
  const struct {
    std::vector<CErrorKey> active;
    const char* fixedCode;
  } kMatches[] = {
      {{data, noData}, "pair"},
      {{data}, "data"},
      {{data, data}, "data twice"},
      {{data, data, data}, ""},
      {{CErrorKey(0x010C0C, 4)}, ""},
      {{noData}, ""},
      {{noData, voltage, data}, "voltage or more"},
      {{voltage}, "voltage or more"},
      {{}, "nothing"},
  };
  for (const auto& row : kMatches) {
    SCOPED_TRACE(row.fixedCode);
    EXPECT_EQ(table.GetFixedCode(row.active), row.fixedCode);
  }
}

}  // namespace
}  // namespace Faultwright
