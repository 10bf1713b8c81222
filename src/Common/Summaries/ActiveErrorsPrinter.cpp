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
void VisitActiveTriggers(const CError& error, std::vector<const CError*>& path,
                         const std::function<void(const CError&, size_t)>& visit) {
  path.push_back(&error);
  for (const CTriggerSet& triggerSet : error.TriggerSets()) {
    for (const CError* trigger : triggerSet.Triggers()) {
      if (!trigger->IsActive()) continue;
      visit(*trigger, path.size());
      if (std::find(path.begin(), path.end(), trigger) == path.end() && path.size() < kMaxTriggerDepth) {
        VisitActiveTriggers(*trigger, path, visit);
      }
    }
  }
  path.pop_back();
}

}  // namespace

void PrintActiveTopLevelErrors(const std::vector<CError*>& topLevelErrors) {
  std::printf("Active top level errors\n");
  std::fflush(stdout);
  for (const CError* error : topLevelErrors) {
    PrintLine("+", *error);
    ForEachActiveTrigger(
        *error, [](const CError& trigger, size_t depth) { PrintLine(std::string(2 * depth, ' ') + "+", trigger); });
  }
}

void ForEachActiveTrigger(const CError& error, const std::function<void(const CError&, size_t)>& visit) {
  std::vector<const CError*> path;
  VisitActiveTriggers(error, path, visit);
}

}  // namespace Faultwright
