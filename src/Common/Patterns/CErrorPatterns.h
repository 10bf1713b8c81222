// CErrorPatterns: the table of error patterns read from the configuration
// directory's "ErrorPatterns.xml", in file order, never changed once built.
//
// The constructor appends kFileName to configDirectory as it is
// (pass a path ending in "/"). It reports nothing and never fails: a missing,
// unreadable or malformed file, or one without a "Patterns" element, gives an
// empty table; a pattern without a fixed code is skipped; an error reference
// that is not "Module:SubModule:Problem:Type" is skipped; one with an unknown
// name is kept and can never match.
//
// GetFixedCode answers with the fixed code of the first pattern in file order
// that the active keys match, or "". The table takes no lock; once built it
// may be read by several threads at once.
#ifndef FAULTWRIGHT_COMMON_CERRORPATTERNS_H
#define FAULTWRIGHT_COMMON_CERRORPATTERNS_H

#include <string>
#include <vector>

#include "Common/Patterns/CErrorPattern.h"
#include "Identifiers/CErrorKey.h"

namespace Faultwright {

class CErrorPatterns {
 public:
  static constexpr const char* kFileName = "ErrorPatterns.xml";

  explicit CErrorPatterns(const std::string& configDirectory);

  // activeErrors may come in any order and hold a key more than once. A
  // pattern matches exactly when its keys and the active keys are the same
  // multiset; with allowPartialMatch also when each of its keys is active.
  std::string GetFixedCode(const std::vector<CErrorKey>& activeErrors) const;

  const std::vector<CErrorPattern>& Patterns() const { return patterns_; }

 private:
  std::vector<CErrorPattern> patterns_;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_CERRORPATTERNS_H
