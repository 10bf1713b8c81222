// Core::Utilities::Quoted: a text between double quotes, as messages name a
// catalogue's names and values ("Error \"x\": ..."). The text is taken as it
// is: nothing is escaped or cut. Cannot fail but for memory.
#ifndef FAULTWRIGHT_PLATFORM_CORE_UTILITIES_QUOTED_H
#define FAULTWRIGHT_PLATFORM_CORE_UTILITIES_QUOTED_H

#include <string>

namespace Core {
namespace Utilities {

inline std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace Utilities
}  // namespace Core

#endif  // FAULTWRIGHT_PLATFORM_CORE_UTILITIES_QUOTED_H
