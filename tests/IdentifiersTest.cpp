#include "Faultwright.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace Faultwright {
namespace {

TEST(Identifiers, NameToCodeMatchesExactly) {
  EXPECT_EQ(ModuleFromName("GPS"), 0x010000);
  EXPECT_EQ(ModuleFromName("gps"), emiUnknown);
  EXPECT_EQ(ModuleFromName("GPS "), emiUnknown);
  EXPECT_EQ(ModuleFromName("Navigation And Control"), 0x030000);
  EXPECT_EQ(SubModuleFromName("None"), 0x1F00);
  EXPECT_EQ(SubModuleFromName(""), esmiUnknown);
  EXPECT_EQ(SubModuleFromName("Path Navigation"), 0x3900);
  EXPECT_EQ(ProblemFromName("PIN missing"), 0x23);
  EXPECT_EQ(ProblemFromName("PIN Missing"), epiUnknown);
  EXPECT_EQ(ProblemFromName("End of the Line"), 0x68);
  EXPECT_EQ(ErrorSeverityFromName("Critical"), eesCritical);
  EXPECT_EQ(ErrorSeverityFromName("critical"), eesUnknown);
}

TEST(Identifiers, TypeAcceptsNamesAndNumbersInRange) {
  EXPECT_EQ(ProblemTypeFromName("RootCauseUnknown"), 11);
  EXPECT_EQ(ProblemTypeFromName("11"), 11);
  EXPECT_EQ(ProblemTypeFromName("20"), 20);
  EXPECT_EQ(ProblemTypeFromName("  7"), 7);
  EXPECT_EQ(ProblemTypeFromName("7abc"), 7);
  EXPECT_EQ(ProblemTypeFromName("0x7"), 0);
  EXPECT_EQ(ProblemTypeFromName("21"), eptUnknown);
  EXPECT_EQ(ProblemTypeFromName("-1"), eptUnknown);
  EXPECT_EQ(ProblemTypeFromName("Voltage"), eptUnknown);
  EXPECT_EQ(ProblemTypeFromName(""), eptUnknown);
  EXPECT_EQ(ProblemTypeFromName("99999999999999999999"), eptUnknown);
}

TEST(Identifiers, CodeToNameUsesOnlyTheSelectingBits) {
  EXPECT_EQ(ModuleName(static_cast<EModuleIdentifier>(0x0D0000)), "Spray");
  EXPECT_EQ(ModuleName(static_cast<EModuleIdentifier>(0x0E0000)), "");
  EXPECT_EQ(ModuleName(static_cast<EModuleIdentifier>(0)), "");
  EXPECT_EQ(ModuleName(static_cast<EModuleIdentifier>(0x0C1234)), "NTrip");
  EXPECT_EQ(ModuleName(static_cast<EModuleIdentifier>(0x01FFFF)), "GPS");
  EXPECT_EQ(SubModuleName(static_cast<ESubModuleIdentifier>(0x3900)), "Path Navigation");
  EXPECT_EQ(SubModuleName(static_cast<ESubModuleIdentifier>(0x3800)), "");
  EXPECT_EQ(SubModuleName(static_cast<ESubModuleIdentifier>(0xFF)), "");
  EXPECT_EQ(SubModuleName(static_cast<ESubModuleIdentifier>(0x3A00)), "");
  EXPECT_EQ(ProblemName(static_cast<EProblemIdentifier>(0x40)), "");
  EXPECT_EQ(ProblemName(static_cast<EProblemIdentifier>(0x69)), "");
  EXPECT_EQ(ProblemName(epiUnknown), "");
  EXPECT_EQ(ProblemTypeName(static_cast<EProblemType>(21)), "");
  EXPECT_EQ(ProblemTypeName(static_cast<EProblemType>(-1)), "");
  EXPECT_EQ(ErrorSeverityName(eesCritical), "Critical");
  EXPECT_EQ(ErrorSeverityName(eesUnknown), "");
}

TEST(Identifiers, TablesHoldTheirCountsOfUniqueNamesThatRoundTrip) {
  std::set<std::string> names;
  int modules = 0, subModules = 0, problems = 0, types = 0;
  ForEachModule([&](uint32_t code, const char* name) {
    ++modules;
    EXPECT_EQ(static_cast<uint32_t>(ModuleFromName(name)), code);
  });
  ForEachSubModule([&](uint32_t code, const char* name) {
    ++subModules;
    EXPECT_EQ(static_cast<uint32_t>(SubModuleFromName(name)), code);
    EXPECT_EQ(SubModuleName(static_cast<ESubModuleIdentifier>(code)), name);
  });
  ForEachProblem([&](uint32_t code, const char* name) {
    ++problems;
    EXPECT_TRUE(names.insert(name).second) << name;
    EXPECT_EQ(static_cast<uint32_t>(ProblemFromName(name)), code);
    EXPECT_EQ(std::string(name).find(':'), std::string::npos);
  });
  ForEachProblemType([&](uint32_t type, const char* name) {
    ++types;
    EXPECT_EQ(static_cast<uint32_t>(ProblemTypeFromName(name)), type);
  });
  EXPECT_EQ(modules, 13);
  EXPECT_EQ(subModules, 56);
  EXPECT_EQ(problems, 98);
  EXPECT_EQ(types, 21);
}

TEST(Identifiers, ErrorCodePacksAndUnpacks) {
  uint32_t code =
      static_cast<uint32_t>(ModuleFromName("GPS")) | SubModuleFromName("GPS") | ProblemFromName("Usable Satellites");
  EXPECT_EQ(code, 0x010C38u);
  EXPECT_EQ(code & 0xFF0000u, 0x010000u);
  EXPECT_EQ(code & 0xFF00u, 0x0C00u);
  EXPECT_EQ(code & 0xFFu, 0x38u);
  EXPECT_EQ(ErrorIdentifierText(0x010C0C, 3), "GPS:GPS:Data:3");
  EXPECT_EQ(ErrorIdentifierText(0x000C0C, -2), ":GPS:Data:-2");
  EXPECT_TRUE(CErrorKey(1, 5) < CErrorKey(2, 0));
  EXPECT_TRUE(CErrorKey(-1, 5) < CErrorKey(1, 0));
  EXPECT_TRUE(CErrorKey(1, -1) < CErrorKey(1, 0));
}

TEST(Identifiers, CatalogueDumpFormat) {
  testing::internal::CaptureStdout();
  PrintIdentifierCatalogue();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("MODULE,GPS\nMODULE,CAN\n", 0), 0u);
  EXPECT_NE(out.find("MODULE,Spray\nSUBMODULE,Accelerometers\n"), std::string::npos);
  EXPECT_NE(out.find("SUBMODULE,Path Navigation\nPROBLEM,A Not Set\n"), std::string::npos);
  EXPECT_NE(out.find("PROBLEM,End of the Line\nFMI,0,DataValidButAboveOperatingRangeSevere \n"), std::string::npos);
  const std::string last = "FMI,20,DataCollectionTimeout \n";
  EXPECT_EQ(out.substr(out.size() - last.size()), last);
}

}  // namespace
}  // namespace Faultwright
