#include "Common/Summaries/ActiveErrorsPrinter.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "Common/Summaries/StateCode.h"
#include "Identifiers/Identifiers.h"

namespace Faultwright {

namespace {

void PrintLine(const std::string& prefix, const CError& error) {
  std::printf("%s%s\n", prefix.c_str(), ErrorIdentifierText(error.Code(), error.Type()).c_str());
  std::fflush(stdout);
}

// path runs from the top-level error down to error.
void PrintActiveTriggers(const std::string& prefix, const CError& error, std::vector<const CError*>& path) {
  path.push_back(&error);
  for (const CTriggerSet& triggerSet : error.TriggerSets()) {
    for (const CError* trigger : triggerSet.Triggers()) {
      if (!trigger->IsActive()) continue;
      PrintLine(prefix, *trigger);
      if (std::find(path.begin(), path.end(), trigger) == path.end() && path.size() < kMaxTriggerDepth) {
        PrintActiveTriggers("  " + prefix, *trigger, path);
      }
    }
  }
  path.pop_back();
}

}  // namespace

void PrintActiveTopLevelErrors(const std::vector<CError*>& topLevelErrors) {
  std::printf("Active top level errors\n");
  std::fflush(stdout);
  std::vector<const CError*> path;
  for (const CError* error : topLevelErrors) {
    PrintLine("+", *error);
    PrintActiveTriggers("  +", *error, path);
  }
}

}  // namespace Faultwright
