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
// come out as U+FFFD. SummariesToJsonArray gives that array as a value, for a
// caller that adds members of its own before JsonText writes it.
#ifndef FAULTWRIGHT_INSPECT_SUMMARYOUTPUT_H
#define FAULTWRIGHT_INSPECT_SUMMARYOUTPUT_H

#include <ctime>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "Common/Summaries/CErrorSummary.h"
#include "Platform/Core/Time.h"

namespace Faultwright {

// The wall-clock time, in seconds since the epoch, at which the monotonic
// clock read time (now is its present reading); -1 when the real-time clock
// cannot be read.
time_t WallClockSeconds(const Core::Time& time, const Core::Time& now);
// That time in UTC, ISO 8601, as the JSON members "raisedAt" and the like
// give it; empty when the real-time clock cannot be read.
std::string UtcTimeText(const Core::Time& time, const Core::Time& now);

void PrintSummary(const CErrorSummary& summary, const Core::Time& now);
void PrintHistoryLine(const CErrorSummary& summary, const Core::Time& now);
std::string SummariesToJson(const std::vector<CErrorSummary>& summaries, const Core::Time& now, bool catalogued);
nlohmann::ordered_json SummariesToJsonArray(const std::vector<CErrorSummary>& summaries, const Core::Time& now,
                                            bool catalogued);
// One line of JSON; bytes that are not UTF-8 come out as U+FFFD.
std::string JsonText(const nlohmann::ordered_json& value);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_SUMMARYOUTPUT_H
