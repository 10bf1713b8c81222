// DecodeStateCode: turns a state code, as an operator reads it off a screen,
// back into a description of the error that it names.
//
// The code's first ten bits give the error's index in the view's table; the
// view gives its (code, type) and the catalogue its record. The summary then
// receives the error's flags, severity, times and counters, and the titles
// and texts (never text keys) of the error and of every trigger whose bit is
// set, gathered level by level, so the texts may come in another order than
// in the summary that wrote the code. keys receives the error and every such
// trigger; lines receives one line per such error: its key with flat, else
// drawn as a tree ("+-" then two dashes per level, then the key). The
// summary's code, type, stateCode and fixedCode are not touched; its lists,
// keys and lines are appended to. A trigger already on the path from the
// top-level error, or kMaxTriggerDepth levels down, is not followed again,
// as when the code was written.
//
// Lower-case digits count as upper-case. Returns false having changed
// nothing when the code holds any other character than a hexadecimal digit,
// when the view has no entry at that index or its lock cannot be taken, or
// when the catalogue does not know the entry. Throws std::out_of_range, after
// keys, lines, flags and times have been written, for a code shorter than
// ten bits that names an error with trigger sets.
#ifndef FAULTWRIGHT_COMMON_STATECODEDECODER_H
#define FAULTWRIGHT_COMMON_STATECODEDECODER_H

#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/Summaries/CErrorSummary.h"
#include "Common/View/CErrorDatabaseView.h"
#include "Identifiers/CErrorKey.h"

namespace Faultwright {

bool DecodeStateCode(const std::string& stateCode, CErrorDatabase& database, CErrorDatabaseView& view,
                     CErrorSummary& summary, std::vector<std::string>& lines, std::vector<CErrorKey>& keys, bool flat);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_STATECODEDECODER_H
