#include "Common/Summaries/ActiveErrorsPrinter.h"

#include <cstdio>
#include <string>

#include "Common/ErrorDatabase/CTriggerPath.h"
#include "Identifiers/Identifiers.h"

namespace Faultwright {

namespace {

void PrintLine(std::FILE* out, const std::string& prefix, const CError& error) {
  std::fprintf(out, "%s%s\n", prefix.c_str(), ErrorIdentifierText(error.Code(), error.Type()).c_str());
  std::fflush(out);
}

void VisitActiveTriggers(const CError& error, CTriggerPath& path, size_t depth,
                         const std::function<void(const CError&, size_t)>& visit) {
  path.Enter(&error);
  for (const CTriggerSet& triggerSet : error.TriggerSets()) {
    for (const CError* trigger : triggerSet.Triggers()) {
      if (!trigger->IsActive()) continue;
      visit(*trigger, depth);
      if (path.MayEnter(trigger)) VisitActiveTriggers(*trigger, path, depth + 1, visit);
    }
  }
  path.Leave();
}

}  // namespace

void PrintActiveTopLevelErrors(const std::vector<CError*>& topLevelErrors, std::FILE* out) {
  std::fputs("Active top level errors\n", out);
  std::fflush(out);
  for (const CError* error : topLevelErrors) {
    PrintLine(out, "+", *error);
    ForEachActiveTrigger(*error, [out](const CError& trigger, size_t depth) {
      PrintLine(out, std::string(2 * depth, ' ') + "+", trigger);
    });
  }
}

void ForEachActiveTrigger(const CError& error, const std::function<void(const CError&, size_t)>& visit) {
  CTriggerPath path;
  VisitActiveTriggers(error, path, 1, visit);
}

}  // namespace Faultwright
