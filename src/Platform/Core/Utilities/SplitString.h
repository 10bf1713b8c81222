// Core::Utilities::SplitString: cuts a text at every occurrence of a separator.
//
// parts receives the pieces in order, empty ones included ("a::b" gives "a",
// "", "b"; an empty text gives one empty part). maxParts 0 means no limit;
// otherwise the last part keeps the rest of the text, separators and all.
// Returns false, with parts empty, for an empty separator or a negative limit.
#ifndef FAULTWRIGHT_PLATFORM_CORE_UTILITIES_SPLITSTRING_H
#define FAULTWRIGHT_PLATFORM_CORE_UTILITIES_SPLITSTRING_H

#include <string>
#include <vector>

namespace Core {
namespace Utilities {

bool SplitString(const std::string& text, const std::string& separator, std::vector<std::string>& parts, int maxParts);

}  // namespace Utilities
}  // namespace Core

#endif  // FAULTWRIGHT_PLATFORM_CORE_UTILITIES_SPLITSTRING_H
