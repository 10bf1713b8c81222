#include "Platform/Core/Utilities/SplitString.h"

namespace Core {
namespace Utilities {

bool SplitString(const std::string& text, const std::string& separator, std::vector<std::string>& parts,
                 int maxParts) {
  parts.clear();
  if (separator.empty() || maxParts < 0) return false;
  std::string::size_type start = 0;
  for (;;) {
    bool lastAllowed = maxParts != 0 && static_cast<int>(parts.size()) + 1 == maxParts;
    std::string::size_type end = lastAllowed ? std::string::npos : text.find(separator, start);
    if (end == std::string::npos) {
      parts.emplace_back(text, start);
      return true;
    }
    parts.emplace_back(text, start, end - start);
    start = end + separator.size();
  }
}

}  // namespace Utilities
}  // namespace Core
