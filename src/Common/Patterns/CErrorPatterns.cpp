#include "Common/Patterns/CErrorPatterns.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "Identifiers/Identifiers.h"
#include "Platform/Core/IO/XMLDocument.h"
#include "Platform/Core/IO/XMLNode.h"
#include "Platform/Core/Utilities/SplitString.h"

namespace Faultwright {

namespace {

// A type in a pattern is a number, read like strtol and kept to 32 bits;
// names of types are not looked up here.
int32_t ParseType(const std::string& text) {
  long value = std::strtol(text.c_str(), nullptr, 10);
  return static_cast<int32_t>(std::clamp<long>(value, INT32_MIN, INT32_MAX));
}

// "Module:SubModule:Problem:Type" into a key. An unknown name makes the code
// -1, which no error has, so the key is kept but never matches.
bool ParseErrorReference(const std::string& id, CErrorKey& key) {
  std::vector<std::string> parts;
  if (!Core::Utilities::SplitString(id, ":", parts, 0) || parts.size() != 4) return false;
  key.code = ModuleFromName(parts[0]) | SubModuleFromName(parts[1]) | ProblemFromName(parts[2]);
  key.type = ParseType(parts[3]);
  return true;
}

// Every key of the pattern occurs among the active keys; a key the pattern
// names twice needs to be active only once. sortedActive is ascending.
bool ContainsAll(const std::vector<CErrorKey>& sortedActive, const std::vector<CErrorKey>& patternKeys) {
  return std::all_of(patternKeys.begin(), patternKeys.end(), [&sortedActive](const CErrorKey& key) {
    return std::binary_search(sortedActive.begin(), sortedActive.end(), key);
  });
}

// A pattern without a fixed code comes back with none, to be skipped.
CErrorPattern LoadPattern(const Core::IO::XMLNode& patternNode) {
  CErrorPattern pattern;
  pattern.fixedCode = patternNode.Attribute("fixedCode");
  if (pattern.fixedCode.empty()) return pattern;
  pattern.allowPartialMatch = patternNode.Attribute("allowPartialMatch", "no") == "yes";
  for (Core::IO::XMLNode referenceNode : patternNode.Children()) {
    CErrorKey key;
    if (ParseErrorReference(referenceNode.Attribute("id"), key)) pattern.errorKeys.push_back(key);
  }
  std::sort(pattern.errorKeys.begin(), pattern.errorKeys.end());
  return pattern;
}

}  // namespace

CErrorPatterns::CErrorPatterns(const std::string& configDirectory) {
  Core::IO::XMLDocument document;
  // A file that is missing or does not parse leaves the document without a
  // "Patterns" element, which is the empty table a unit without patterns has.
  document.Parse(configDirectory + kFileName);
  std::optional<Core::IO::XMLNode> patternsNode = document.RootNode().Child("Patterns");
  if (!patternsNode) return;
  for (Core::IO::XMLNode patternNode : patternsNode->Children()) {
    if (!patternNode.IsNamed("pattern")) continue;
    CErrorPattern pattern = LoadPattern(patternNode);
    if (!pattern.fixedCode.empty()) patterns_.push_back(std::move(pattern));
  }
}

std::string CErrorPatterns::GetFixedCode(const std::vector<CErrorKey>& activeErrors) const {
  std::vector<CErrorKey> sortedActive(activeErrors);
  std::sort(sortedActive.begin(), sortedActive.end());
  for (const CErrorPattern& pattern : patterns_) {
    if (pattern.errorKeys == sortedActive) return pattern.fixedCode;
    if (!pattern.allowPartialMatch) continue;
    if (pattern.errorKeys.empty()) return pattern.fixedCode;
    if (ContainsAll(sortedActive, pattern.errorKeys)) return pattern.fixedCode;
  }
  return std::string();
}

}  // namespace Faultwright
