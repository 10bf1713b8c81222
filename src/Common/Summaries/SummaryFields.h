// The steps that the summary builder and the state code decoder share when
// they fill a CErrorSummary from a catalogue error, its view state and its
// active triggers.
//
// With useTextKeys a summary gets the keys under which the texts are exported,
// "<module>:<submodule>:<problem>:<type>" followed by ".shortTitle" (title),
// ".vtTitle" (short problem text), ".problem" or ".solution", instead of the
// texts themselves.
#ifndef FAULTWRIGHT_COMMON_SUMMARYFIELDS_H
#define FAULTWRIGHT_COMMON_SUMMARYFIELDS_H

#include "Common/ErrorDatabase/CError.h"
#include "Common/ErrorDatabase/CTriggerSet.h"
#include "Common/Summaries/CErrorSummary.h"
#include "Common/View/CErrorState.h"
#include "Identifiers/CErrorKey.h"

namespace Faultwright {

// The identity of error, as the patterns and the decoder's caller see it.
inline CErrorKey ErrorKeyOf(const CError& error) { return CErrorKey(static_cast<int32_t>(error.Code()), error.Type()); }

// The six flags and the severity of error.
void SetErrorFields(const CError& error, CErrorSummary& summary);
// Raise and clear times in whole seconds, and both raise counters.
void SetStateFields(const CErrorState& state, CErrorSummary& summary);
// The four text keys of the error (code, type), for a summary made without
// the catalogue.
void SetTextKeys(uint32_t code, int32_t type, CErrorSummary& summary);

// What an active trigger of triggerSet adds to the summary of the error that
// it triggers: the beep flags, the set's fullScreen option, the trigger's
// titles when the set takes them from the trigger, its problem under a
// verbose link, and its solution unless the link is shallow or the trigger
// itself presents only its own triggers' solutions (childOnly).
void AddActiveTrigger(const CTriggerSet& triggerSet, const CError& trigger, bool useTextKeys, CErrorSummary& summary);
// Error's own titles and texts wherever the triggers left them empty.
void FillOwnTexts(const CError& error, bool useTextKeys, CErrorSummary& summary);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_SUMMARYFIELDS_H
