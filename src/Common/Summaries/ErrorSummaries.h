// Summaries of the errors that are active, or that were ever raised, for the
// display and the support line.
//
// BuildErrorSummaries replaces summaries with one per error of topLevelErrors
// (the catalogue's active top-level errors), in that order: flags, titles and
// texts (or text keys) gathered from the error and the active errors of its
// trigger tree as each trigger set's linking asks, times and counters from the
// reader view's last copy (zero for an error it does not hold), the state code
// and the fixed code that patterns give for the error and its reported
// triggers. An error that is already on the path from the top-level error is
// reported but not followed again, so a cyclic catalogue summarises finitely;
// nor is one kMaxTriggerDepth levels down (CTriggerPath.h).
//
// BuildStateSummaries appends a summary with text keys for every state that
// was ever raised, then orders the whole sequence, earlier records included,
// latest raise first.
//
// Nothing is locked: neither the catalogue nor the view may be updated during
// a call.
#ifndef FAULTWRIGHT_COMMON_ERRORSUMMARIES_H
#define FAULTWRIGHT_COMMON_ERRORSUMMARIES_H

#include <vector>

#include "Common/ErrorDatabase/CError.h"
#include "Common/Patterns/CErrorPatterns.h"
#include "Common/Summaries/CErrorSummary.h"
#include "Common/View/CErrorDatabaseView.h"
#include "Common/View/CErrorState.h"

namespace Faultwright {

void BuildErrorSummaries(const CErrorDatabaseView& view, const CErrorPatterns& patterns,
                         const std::vector<CError*>& topLevelErrors, std::vector<CErrorSummary>& summaries,
                         bool useTextKeys);

void BuildStateSummaries(const std::vector<CErrorState>& states, std::vector<CErrorSummary>& summaries);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_ERRORSUMMARIES_H
