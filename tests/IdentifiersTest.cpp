// The identifier tables: names to codes and back, the packed error code, and
// the catalogue of every name (against tests/data/Identifiers/catalogue.txt).
#include "Identifiers/Identifiers.h"

#include <gtest/gtest.h>

#include <functional>
#include <iomanip>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "Support/CatalogueFiles.h"
#include "Support/TestSupport.h"

namespace Faultwright {
namespace {

// Names to codes (module, subModule, problem, severity, type) and codes to
// names (moduleName, subModuleName, problemName, typeName).
const std::map<std::string, std::function<long(const std::string&)>> kReaders = {
    {"module", [](const std::string& name) { return ModuleFromName(name); }},
    {"subModule", [](const std::string& name) { return SubModuleFromName(name); }},
    {"problem", [](const std::string& name) { return ProblemFromName(name); }},
    {"severity", [](const std::string& name) { return ErrorSeverityFromName(name); }},
    {"type", [](const std::string& name) { return ProblemTypeFromName(name); }},
};
const std::map<std::string, std::function<std::string(long)>> kNamers = {
    {"moduleName", [](long code) { return ModuleName(EModuleIdentifier(code)); }},
    {"subModuleName", [](long code) { return SubModuleName(ESubModuleIdentifier(code)); }},
    {"problemName", [](long code) { return ProblemName(EProblemIdentifier(code)); }},
    {"typeName", [](long code) { return ProblemTypeName(EProblemType(code)); }},
};

TEST(Identifiers, NamesMatchExactlyAndCodesNameOnlyByTheirSelectingBits) {
  // Each row: the function, the code (as strtol reads it, base 0), the name quoted.
  std::istringstream rows(FaultwrightTest::DataFile("Identifiers/names.txt"));
  for (std::string function, number, name; rows >> function >> number >> std::quoted(name);) {
    SCOPED_TRACE(function + " " + number + " \"" + name + "\"");
    const long code = std::stol(number, nullptr, 0);
    if (kReaders.count(function) != 0) {
      EXPECT_EQ(kReaders.at(function)(name), code);
    } else {
      EXPECT_EQ(kNamers.at(function)(code), name);
    }
  }
  EXPECT_EQ(ErrorIdentifierText(0x000C0C, -2), ":GPS:Data:-2");
}

TEST(Identifiers, EveryNameRoundTripsAndTheCatalogueListsThemAll) {
  std::set<std::string> problems;
  ForEachModule([](uint32_t code, const char* name) { EXPECT_EQ(kReaders.at("module")(name), code) << name; });
  ForEachSubModule([](uint32_t code, const char* name) {
    EXPECT_EQ(kReaders.at("subModule")(name), code) << name;
    EXPECT_EQ(SubModuleName(ESubModuleIdentifier(code)), name);
  });
  ForEachProblem([&](uint32_t code, const char* name) {
    EXPECT_EQ(kReaders.at("problem")(name), code) << name;
    EXPECT_TRUE(problems.insert(name).second && std::string(name).find(':') == std::string::npos) << name;
  });
  ForEachProblemType([](uint32_t type, const char* name) { EXPECT_EQ(kReaders.at("type")(name), type) << name; });
  EXPECT_EQ(FaultwrightTest::WrittenBy([](std::FILE* out) { PrintIdentifierCatalogue(out); }),
            FaultwrightTest::DataFile("Identifiers/catalogue.txt"));
}

}  // namespace
}  // namespace Faultwright
