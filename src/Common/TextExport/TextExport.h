// ExportTexts: writes the four display texts of every error into one text
// file, each under a bracketed key "[<module>:<submodule>:<problem>:<type>.<kind>]"
// with the kinds problem, solution, shortTitle (the title text) and vtTitle
// (the short problem text), eight lines per error in list order.
//
// The file is truncated or created; texts are written byte for byte. Returns
// false when the file could not be opened or a write or the close failed;
// what was written stays in the file.
#ifndef FAULTWRIGHT_COMMON_TEXTEXPORT_H
#define FAULTWRIGHT_COMMON_TEXTEXPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CError.h"

namespace Faultwright {

// The kinds of the four text keys. A summary made with text keys names its
// texts with these same keys, so the two always meet in the exported file.
inline constexpr char kProblemKind[] = ".problem";
inline constexpr char kSolutionKind[] = ".solution";
inline constexpr char kShortTitleKind[] = ".shortTitle";
inline constexpr char kVtTitleKind[] = ".vtTitle";

// "<module>:<submodule>:<problem>:<type>" of (code, type) followed by kind.
std::string TextKey(uint32_t code, int32_t type, const char* kind);

bool ExportTexts(const std::vector<CError>& errors, const std::string& fileName);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_TEXTEXPORT_H
