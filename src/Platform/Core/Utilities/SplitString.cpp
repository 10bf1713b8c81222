#include "Platform/Core/Utilities/SplitString.h"

namespace Core {
namespace Utilities {

bool SplitString(const std::string& text, const std::string& separator, std::vector<std::string>& parts, int maxParts) {
  if (separator.empty() || maxParts < 0) {
    parts.clear();
    return false;
  }
  // The strings already in parts are reused, so that splitting in a loop does
  // not allocate once their capacity suffices.
  size_t used = 0;
  std::string::size_type start = 0;
  for (;;) {
    bool lastAllowed = maxParts != 0 && static_cast<int>(used) + 1 == maxParts;
    std::string::size_type end = lastAllowed ? std::string::npos : text.find(separator, start);
    std::string::size_type length = end == std::string::npos ? std::string::npos : end - start;
    if (used < parts.size()) {
      parts[used].assign(text, start, length);
    } else {
      parts.emplace_back(text, start, length);
    }
    ++used;
    if (end == std::string::npos) break;
    start = end + separator.size();
  }
  parts.resize(used);
  return true;
}

}  // namespace Utilities
}  // namespace Core
