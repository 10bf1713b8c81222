// CErrorSummary: what the display and the support line are shown of one
// active error: its flags and severity, titles and texts (or the keys under
// which the texts are exported), the latest raise and clear times in whole
// seconds with the raise counters, the state code that records which errors
// of its trigger tree are active, and the fixed code of the first error
// pattern that those errors match.
//
// A plain record that owns its strings and lists; a value-initialised one is
// empty, all flags false, severity eesLow and both times zero.
#ifndef FAULTWRIGHT_COMMON_CERRORSUMMARY_H
#define FAULTWRIGHT_COMMON_CERRORSUMMARY_H

#include <cstdint>
#include <string>
#include <vector>

#include "Identifiers/Identifiers.h"
#include "Platform/Core/Time.h"

namespace Faultwright {

struct CErrorSummary {
  bool visible = false;
  bool forceShutdown = false;
  bool fullScreen = false;  // a trigger set's fullScreen option overrides the error's own
  bool includeServiceNumber = false;
  bool shouldBeep = false;           // OR-ed over the active triggers
  bool shouldBeepIfGuiding = false;  // likewise
  uint32_t code = 0;
  int32_t type = 0;
  EErrorSeverity severity = eesLow;
  std::string shortTitle;
  std::string vtTitle;
  std::vector<std::string> problems;
  std::vector<std::string> solutions;
  Core::Time raised;
  Core::Time cleared;
  uint32_t raiseCount1 = 0;
  uint32_t raiseCount2 = 0;
  std::string stateCode;  // uppercase hexadecimal; empty where none was computed
  std::string fixedCode;  // empty when no pattern matched
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_CERRORSUMMARY_H
