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

void PrintActiveTriggers(std::FILE* out, const std::string& prefix, const CError& error, CTriggerPath& path) {
  path.Enter(&error);
  for (const CTriggerSet& triggerSet : error.TriggerSets()) {
    for (const CError* trigger : triggerSet.Triggers()) {
      if (!trigger->IsActive()) continue;
      PrintLine(out, prefix, *trigger);
      if (path.MayEnter(trigger)) PrintActiveTriggers(out, "  " + prefix, *trigger, path);
    }
  }
  path.Leave();
}

}  // namespace

void PrintActiveTopLevelErrors(const std::vector<CError*>& topLevelErrors, std::FILE* out) {
  std::fputs("Active top level errors\n", out);
  std::fflush(out);
  CTriggerPath path;
  for (const CError* error : topLevelErrors) {
    PrintLine(out, "+", *error);
    PrintActiveTriggers(out, "  +", *error, path);
  }
}

}  // namespace Faultwright
