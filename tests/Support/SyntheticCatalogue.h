// Generated catalogues for tests and benchmarks of the live state: error n of
// module GPS, with trigger sets naming other errors by their numbers. Codes
// and types grow with n, so the catalogue's index order is the order of n.
// Header-only, so that the benchmarks can use it too.
#ifndef FAULTWRIGHT_TESTS_SUPPORT_SYNTHETICCATALOGUE_H
#define FAULTWRIGHT_TESTS_SUPPORT_SYNTHETICCATALOGUE_H

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Identifiers/Identifiers.h"

namespace FaultwrightTest {

struct SyntheticTriggerSet {
  std::vector<int> triggers;  // error numbers
  bool autoTrigger = true;
  int triggersNeeded = 1;
};

struct SyntheticError {
  std::vector<SyntheticTriggerSet> triggerSets;
  int timeout = 0;
};

// Error n is (GPS | submodule | problem, n % 21), submodules and problems
// taken in code order from the identifier tables.
inline std::vector<uint32_t> SyntheticCodes(size_t count) {
  std::vector<uint32_t> subModules;
  std::vector<uint32_t> problems;
  Faultwright::ForEachSubModule([&](uint32_t code, const char*) { subModules.push_back(code); });
  Faultwright::ForEachProblem([&](uint32_t code, const char*) { problems.push_back(code); });
  std::vector<uint32_t> codes;
  for (size_t n = 0; n < count; ++n) {
    size_t problem = n / 21;
    codes.push_back(static_cast<uint32_t>(Faultwright::emiGPS) | subModules.at(problem / problems.size()) |
                    problems[problem % problems.size()]);
  }
  return codes;
}
inline uint32_t SyntheticCode(int n) { return SyntheticCodes(static_cast<size_t>(n) + 1).back(); }
inline int SyntheticType(int n) { return n % 21; }
inline std::string SyntheticId(int n) { return Faultwright::ErrorIdentifierText(SyntheticCode(n), SyntheticType(n)); }

// Writes FaultwrightConfig.xml and GpsModule.xml into directory (ending in "/").
inline void WriteSyntheticCatalogue(const std::string& directory, const std::vector<SyntheticError>& errors) {
  std::ofstream top(directory + Faultwright::CErrorDatabase::kTopFileName);
  top << "<Faultwright><ErrorList><Module identifier=\"GPS\" file=\"GpsModule.xml\"/></ErrorList></Faultwright>\n";
  std::ofstream module(directory + "GpsModule.xml");
  module << "<Module>\n";
  std::vector<uint32_t> codes = SyntheticCodes(errors.size());
  for (size_t n = 0; n < errors.size(); ++n) {
    uint32_t code = codes[n];
    module << "<SubModule identifier=\"" << Faultwright::SubModuleName(Faultwright::ESubModuleIdentifier(code & 0xFF00))
           << "\"><Problem identifier=\"" << Faultwright::ProblemName(Faultwright::EProblemIdentifier(code & 0xFF))
           << "\"><Error identifier=\"" << n % 21 << "\" severity=\"Low\" timeout=\"" << errors[n].timeout << "\">"
           << "<Text type=\"problem\" text=\"p\"/><Text type=\"solution\" text=\"s\"/>"
           << "<Text type=\"shortProblem\" text=\"sp\"/><TriggerSets>";
    for (const SyntheticTriggerSet& set : errors[n].triggerSets) {
      module << "<TriggerSet><Options><Option name=\"autoTrigger\" value=\"" << (set.autoTrigger ? "yes" : "no")
             << "\"/><Option name=\"triggersNeeded\" value=\"" << set.triggersNeeded << "\"/></Options><Triggers>";
      for (int trigger : set.triggers) {
        module << "<Trigger id=\"" << Faultwright::ErrorIdentifierText(codes.at(trigger), trigger % 21) << "\"/>";
      }
      module << "</Triggers></TriggerSet>";
    }
    module << "</TriggerSets></Error></Problem></SubModule>\n";
  }
  module << "</Module>\n";
  top.close();
  module.close();
  if (!top || !module) throw std::runtime_error("cannot write the catalogue in " + directory);
}

}  // namespace FaultwrightTest

#endif  // FAULTWRIGHT_TESTS_SUPPORT_SYNTHETICCATALOGUE_H
