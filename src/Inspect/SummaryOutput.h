// The forms in which fwinspect shows error summaries: text for a person, JSON
// for a program.
//
// Text: PrintSummary writes the error's key, then one indented line per field:
//
//   GPS:GPS:Position Calculation:11
//     severity:    High
//     flags:       visible fullScreen shouldBeepIfGuiding
//     shortTitle:  Position lost
//     vtTitle:     No position
//     problem:     No position can be calculated. Guidance is not available.
//     solution:    See the causes listed below and correct them.
//     raised:      5121 s (3 s ago)
//     cleared:     never
//     raiseCounts: 1 1
//     stateCode:   0150
//     fixedCode:   GNSS-001
//
// one problem and solution line per text, the stateCode and fixedCode lines
// only when they are not empty. Times are whole seconds of the unit's
// monotonic clock; "ago" is measured against now. PrintHistoryLine writes one
// line per error: key, raised, cleared and raise counts. Lines are flushed.
//
// JSON: SummariesToJson gives one line holding an array with one object per
// summary: "error" (the key), "code", "type", "severity" (its name), the six
// flags, "shortTitle", "vtTitle", "problems", "solutions", "raised" and
// "cleared" (seconds, 0 for never), "raiseCount1", "raiseCount2", "stateCode"
// and "fixedCode". Bytes of a text that are not UTF-8 come out as U+FFFD.
#ifndef FAULTWRIGHT_INSPECT_SUMMARYOUTPUT_H
#define FAULTWRIGHT_INSPECT_SUMMARYOUTPUT_H

#include <string>
#include <vector>

#include "Common/CErrorSummary.h"
#include "Platform/Core/Time.h"

namespace Faultwright {

void PrintSummary(const CErrorSummary& summary, const Core::Time& now);
void PrintHistoryLine(const CErrorSummary& summary, const Core::Time& now);
std::string SummariesToJson(const std::vector<CErrorSummary>& summaries);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_SUMMARYOUTPUT_H
