// CErrorPattern: one combination of errors with the fixed code that stands
// for it when exactly those errors, or (with allowPartialMatch) at least
// those errors, are active together.
//
// errorKeys is held in ascending key order (code, then type, both signed),
// duplicates kept, so that an exact match is one pass over two sorted lists.
// A key whose code is -1 came from a reference with an unknown name and never
// equals the key of a real error. A loaded pattern's fixedCode is never empty.
#ifndef FAULTWRIGHT_COMMON_CERRORPATTERN_H
#define FAULTWRIGHT_COMMON_CERRORPATTERN_H

#include <string>
#include <vector>

#include "Identifiers/CErrorKey.h"

namespace Faultwright {

struct CErrorPattern {
  std::string fixedCode;
  bool allowPartialMatch = false;
  std::vector<CErrorKey> errorKeys;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_CERRORPATTERN_H
