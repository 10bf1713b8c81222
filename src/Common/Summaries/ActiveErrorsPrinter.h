// PrintActiveTopLevelErrors: the active top-level errors and, below each, its
// active triggers whatever their linking, as an indented tree on out
// (standard output unless given):
//
//   Active top level errors
//   +GPS:GPS:Data:3
//     +GPS:GPS:No Data:3
//       +...
//
// A trigger at depth d is written after 2*d blanks. Each line is flushed as
// it is written. A trigger that is already on the path from the top-level
// error, or kMaxTriggerDepth levels down (CTriggerPath.h), is written but not
// followed again, so a cyclic catalogue prints finitely.
//
// ForEachActiveTrigger walks the same tree below one error for another form
// of it: visit(trigger, depth) for each active trigger in the printer's
// order, depth 1 for error's own triggers.
#ifndef FAULTWRIGHT_COMMON_ACTIVEERRORSPRINTER_H
#define FAULTWRIGHT_COMMON_ACTIVEERRORSPRINTER_H

#include <cstddef>
#include <cstdio>
#include <functional>
#include <vector>

#include "Common/ErrorDatabase/CError.h"

namespace Faultwright {

void PrintActiveTopLevelErrors(const std::vector<CError*>& topLevelErrors, std::FILE* out = stdout);
void ForEachActiveTrigger(const CError& error, const std::function<void(const CError&, size_t)>& visit);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_ACTIVEERRORSPRINTER_H
