// The faults of a configuration directory that loading alone does not show,
// found before the configuration ships. The catalogue's loader reports the
// faults of the catalogue files itself (LoadProblems); these functions add:
//
// - CheckCatalogue: more errors than the live database's 400 entries (the
//   rest would never be published), and one error defined more than once (the
//   live database would find the first definition, the catalogue the last);
// - CheckPatterns: in "ErrorPatterns.xml", everything that the pattern table
//   passes over in silence: a file that does not parse or has no "Patterns"
//   element, an element that is not a pattern, a pattern without a fixed code
//   or without errors, and an error reference that is malformed, names an
//   unknown module, submodule or problem, has a type that is not a number, or
//   names an error that the catalogue does not hold, so that its pattern can
//   never match. A directory without the file has no patterns, which is sound.
//
// Each problem is one line, "<file>: <what>", appended to problems.
#ifndef FAULTWRIGHT_INSPECT_CONFIGURATIONCHECK_H
#define FAULTWRIGHT_INSPECT_CONFIGURATIONCHECK_H

#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"

namespace Faultwright {

// directory ends in "/", as the catalogue was loaded from it.
void CheckCatalogue(const CErrorDatabase& catalogue, const std::string& directory,
                    std::vector<std::string>& problems);
void CheckPatterns(const CErrorDatabase& catalogue, const std::string& directory,
                   std::vector<std::string>& problems);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_CONFIGURATIONCHECK_H
