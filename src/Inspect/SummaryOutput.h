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
//     raised:      2026-03-14T09:26:53+01:00 (5121 s since boot, 3 s ago)
//     cleared:     never
//     raiseCounts: RaiseCount1 1, RaiseCount2 1
//     stateCode:   0150
//     fixedCode:   GNSS-001
//
// one problem and solution line per text, the stateCode and fixedCode lines
// only when they are not empty. Times are whole seconds of the unit's
// monotonic clock (now is that clock's present reading), shown as the local
// wall-clock time at which the clock read them, in ISO 8601, beside the
// seconds since boot and the age. PrintHistoryLine writes one line per error:
// key, raised, cleared and raise counts. Lines are flushed.
//
// JSON: SummariesToJson gives one line holding an array with one object per
// summary: "error" (the key), "code", "type", then, when the summaries come
// from a catalogue, "severity" (its name), the six flags, "shortTitle",
// "vtTitle", "problems" and "solutions"; then "raised" and "cleared" (seconds
// since boot, 0 for never) each followed by "raisedAt" or "clearedAt" (UTC,
// ISO 8601, null for never), "raiseCount1", "raiseCount2" and, from a
// catalogue, "stateCode" and "fixedCode". Bytes of a text that are not UTF-8
// come out as U+FFFD.
#ifndef FAULTWRIGHT_INSPECT_SUMMARYOUTPUT_H
#define FAULTWRIGHT_INSPECT_SUMMARYOUTPUT_H

#include <string>
#include <vector>

#include "Common/Summaries/CErrorSummary.h"
#include "Platform/Core/Time.h"

namespace Faultwright {

void PrintSummary(const CErrorSummary& summary, const Core::Time& now);
void PrintHistoryLine(const CErrorSummary& summary, const Core::Time& now);
std::string SummariesToJson(const std::vector<CErrorSummary>& summaries, const Core::Time& now, bool catalogued);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_SUMMARYOUTPUT_H
