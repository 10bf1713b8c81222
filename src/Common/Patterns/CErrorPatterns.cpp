#include "Common/Patterns/CErrorPatterns.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "Common/ErrorDatabase/TriggerReference.h"
#include "Identifiers/Identifiers.h"
#include "Platform/Core/IO/XMLDocument.h"
#include "Platform/Core/IO/XMLNode.h"

namespace Faultwright {

namespace {

// "Module:SubModule:Problem:Type" into a key, read as a catalogue Trigger's id
// is. An unknown name makes the code -1, which no error has, so the key is
// kept but never matches.
bool ReadErrorKey(TriggerReference& reference, const std::string& id, CErrorKey& key) {
  const TriggerReference::Result result = reference.Parse(id);
  if (result == TriggerReference::kMalformed) return false;
  key.code = result == TriggerReference::kResolved ? static_cast<int32_t>(reference.Code()) : -1;
  key.type = reference.Type();
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
CErrorPattern LoadPattern(TriggerReference& reference, const Core::IO::XMLNode& patternNode) {
  CErrorPattern pattern;
  pattern.fixedCode = patternNode.Attribute("fixedCode");
  if (pattern.fixedCode.empty()) return pattern;
  pattern.allowPartialMatch = patternNode.Attribute("allowPartialMatch", "no") == "yes";
  for (Core::IO::XMLNode referenceNode : patternNode.Children()) {
    CErrorKey key;
    if (ReadErrorKey(reference, referenceNode.Attribute("id"), key)) pattern.errorKeys.push_back(key);
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
  TriggerReference reference;
  for (Core::IO::XMLNode patternNode : patternsNode->Children()) {
    if (!patternNode.IsNamed("pattern")) continue;
    CErrorPattern pattern = LoadPattern(reference, patternNode);
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
