#include "Inspect/ConfigurationCheck.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "Common/CErrorDatabaseView.h"
#include "Identifiers/CErrorKey.h"
#include "Identifiers/Identifiers.h"
#include "Platform/Core/IO/XMLDocument.h"
#include "Platform/Core/IO/XMLNode.h"
#include "Platform/Core/Utilities/SplitString.h"

namespace Faultwright {

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A pattern's type is a decimal number of 32 bits; the table would read
// anything else as some other number.
bool ParseType(const std::string& text, int32_t& type) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX) return false;
  type = static_cast<int32_t>(value);
  return true;
}

// What is wrong with one error reference of a pattern, or "" when it names an
// error of the catalogue.
std::string ReferenceProblem(const CErrorDatabase& catalogue, const std::string& id) {
  std::vector<std::string> parts;
  if (!Core::Utilities::SplitString(id, ":", parts, 0) || parts.size() != 4) {
    return "not of the form module:submodule:problem:type";
  }
  EModuleIdentifier module = ModuleFromName(parts[0]);
  ESubModuleIdentifier subModule = SubModuleFromName(parts[1]);
  EProblemIdentifier problem = ProblemFromName(parts[2]);
  if (module == emiUnknown) return "unknown module name";
  if (subModule == esmiUnknown) return "unknown submodule name";
  if (problem == epiUnknown) return "unknown problem name";
  int32_t type = 0;
  if (!ParseType(parts[3], type)) return "type " + Quoted(parts[3]) + " is not a number";
  if (catalogue.FindError(static_cast<unsigned>(module | subModule | problem), type) == nullptr) {
    return "not in the catalogue, so the pattern never matches";
  }
  return std::string();
}

void CheckPattern(const CErrorDatabase& catalogue, const Core::IO::XMLNode& patternNode, int number,
                  const std::string& where, std::vector<std::string>& problems) {
  const std::string fixedCode = patternNode.Attribute("fixedCode");
  if (fixedCode.empty()) {
    problems.push_back(where + "pattern " + std::to_string(number) + " has no fixedCode and is ignored");
    return;
  }
  const std::string wherePattern = where + "pattern " + Quoted(fixedCode) + ": ";
  if (patternNode.Children().empty()) problems.push_back(wherePattern + "names no errors");
  for (Core::IO::XMLNode referenceNode : patternNode.Children()) {
    const std::string id = referenceNode.Attribute("id");
    std::string problem = ReferenceProblem(catalogue, id);
    if (!problem.empty()) problems.push_back(wherePattern + "error " + Quoted(id) + ": " + problem);
  }
}

}  // namespace

void CheckCatalogue(const CErrorDatabase& catalogue, const std::string& directory,
                    std::vector<std::string>& problems) {
  const std::string where = directory + "FaultwrightConfig.xml: ";
  const std::vector<CError>& errors = catalogue.Errors();
  if (errors.size() > static_cast<size_t>(CErrorDatabaseView::kMaxErrors)) {
    problems.push_back(where + std::to_string(errors.size()) + " errors, but the live database holds only the first " +
                       std::to_string(CErrorDatabaseView::kMaxErrors));
  }
  std::vector<CErrorKey> keys;
  for (const CError& error : errors) keys.emplace_back(static_cast<int32_t>(error.Code()), error.Type());
  std::sort(keys.begin(), keys.end());
  for (auto run = keys.begin(); run != keys.end();) {
    auto next = std::upper_bound(run, keys.end(), *run);
    if (next - run > 1) {
      problems.push_back(where + "Error " + Quoted(ErrorIdentifierText(run->code, run->type)) + " is defined " +
                         std::to_string(next - run) + " times");
    }
    run = next;
  }
}

void CheckPatterns(const CErrorDatabase& catalogue, const std::string& directory,
                   std::vector<std::string>& problems) {
  const std::string path = directory + "ErrorPatterns.xml";
  Core::IO::XMLDocument document;
  if (!document.Parse(path)) {
    if (document.FileOpened()) problems.push_back(path + ": " + document.ParseError());
    return;
  }
  const std::string where = path + ": ";
  std::optional<Core::IO::XMLNode> patternsNode = document.RootNode().Child("Patterns");
  if (!patternsNode) {
    problems.push_back(where + "no Patterns element");
    return;
  }
  int number = 0;
  for (Core::IO::XMLNode patternNode : patternsNode->Children()) {
    if (!patternNode.IsNamed("pattern")) {
      problems.push_back(where + "unexpected element " + Quoted(patternNode.Name()) + " in Patterns is ignored");
      continue;
    }
    CheckPattern(catalogue, patternNode, ++number, where, problems);
  }
}

}  // namespace Faultwright
