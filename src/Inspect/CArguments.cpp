#include "Inspect/CArguments.h"

#include <algorithm>

namespace Faultwright {

namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

bool CArguments::Parse(const std::vector<std::string>& words, const std::vector<std::string>& switches,
                       const std::vector<std::string>& valuedOptions, size_t positionalCount,
                       std::string& problem) {
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word.compare(0, 2, "--") != 0) {
      positional_.push_back(word);
    } else if (Contains(switches, word)) {
      switches_.insert(word);
    } else if (!Contains(valuedOptions, word)) {
      problem = "unknown option " + word;
      return false;
    } else if (i + 1 == words.size()) {
      problem = word + " needs a value";
      return false;
    } else {
      values_[word] = words[++i];
    }
  }
  if (positional_.size() != positionalCount) {
    problem = "expected " + std::to_string(positionalCount) + " argument" + (positionalCount == 1 ? "" : "s") +
              ", got " + std::to_string(positional_.size());
    return false;
  }
  return true;
}

std::string CArguments::Value(const std::string& option) const {
  auto found = values_.find(option);
  return found == values_.end() ? std::string() : found->second;
}

}  // namespace Faultwright
