// The faults of a configuration directory that loading alone does not show,
// found before the configuration ships. The catalogue's loader reports the
// faults of the catalogue files itself (LoadProblems) and the schemas their
// form (SchemaValidation.h); these functions walk the files again, with the
// loader's own readers, for what the loader accepts in silence although it
// cannot be what the author meant:
//
// - CheckCatalogue: an Error type that is neither a type name nor a number
//   from 0 to 20 (it becomes type 21); a second TriggerSets element in one
//   Error (only the last counts); an option value that the loader ignores or
//   reads otherwise; a Trigger whose type is a name (it reads as 0) or that
//   names an error the catalogue does not hold (it is dropped); a trigger set
//   that needs more triggers than it holds; more errors than the live
//   database's 400 entries; an error defined twice (the live database finds
//   the first definition, the catalogue the last). It also measures each
//   top-level error's tree (TreeCost) and reports a state code longer than a
//   person reads off a screen (64 digits) as a warning, and one longer than
//   4096 digits or a tree deeper than 256 levels as a fault.
// - CheckPatterns: in "ErrorPatterns.xml", a file that does not parse or has
//   no "Patterns" element, an element that is not a pattern, a pattern
//   without a fixed code or without errors, and an error reference that is
//   malformed, names an unknown module, submodule or problem, has a type that
//   is not a number, or names an error that the catalogue does not hold, so
//   that its pattern can never match. A directory without the file has no
//   patterns, which is sound.
//
// Each problem is one line, "FILE:LINE:COLUMN: what" ("FILE: what" for a
// whole file), and a warning's "what" starts with "warning: ".
#ifndef FAULTWRIGHT_INSPECT_CONFIGURATIONCHECK_H
#define FAULTWRIGHT_INSPECT_CONFIGURATIONCHECK_H

#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"

namespace Faultwright {

// What presenting one top-level error costs when its whole tree is active.
struct TreeCost {
  std::string error;  // the error's identifier text
  std::string place;  // "FILE:LINE:COLUMN" of its Error element
  int levels = 0;     // of triggers below it
  double stateCodeDigits = 0;
  double texts = 0;  // problem and solution texts of its summary
};

extern const char kWarning[];  // "warning: "
bool IsWarning(const std::string& problem);
// A figure of TreeCost in digits, with an exponent beyond 10^15.
std::string Figure(double value);

// One line of JSON: {"directory", "errors", "patterns", "problems": [{"file",
// "line", "column" (0 when not known), "severity" ("error" or "warning"),
// "message"}], "trees": [{"error", "file", "line", "column", "levels",
// "stateCodeDigits", "texts"}]}.
std::string CheckToJson(const std::string& directory, size_t errors, size_t patterns,
                        const std::vector<std::string>& problems, const std::vector<TreeCost>& costs);

// directory ends in "/", as the catalogue was loaded from it. files receives
// the path of every catalogue file read, the top file first.
void CheckCatalogue(const CErrorDatabase& catalogue, const std::string& directory, std::vector<std::string>& files,
                    std::vector<std::string>& problems, std::vector<TreeCost>& costs);
void CheckPatterns(const CErrorDatabase& catalogue, const std::string& directory, std::vector<std::string>& problems);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_CONFIGURATIONCHECK_H
