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

#include <string>
#include <vector>

#include "Common/ErrorDatabase/CError.h"

namespace Faultwright {

bool ExportTexts(const std::vector<CError>& errors, const std::string& fileName);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_TEXTEXPORT_H
