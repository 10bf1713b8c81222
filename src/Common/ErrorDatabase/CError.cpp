#include "Common/ErrorDatabase/CError.h"

#include <algorithm>
#include <cstdint>

namespace Faultwright {

CError::CError(CErrorDatabase& database, EModuleIdentifier module, ESubModuleIdentifier subModule,
               EProblemIdentifier problem, EProblemType type, EErrorSeverity severity, bool visible, bool fullScreen,
               bool forceShutdown, bool includeServiceNumber, bool shouldBeep, bool shouldBeepIfGuiding, int timeout)
    : code_(static_cast<uint32_t>(subModule) | static_cast<uint32_t>(module) | static_cast<uint32_t>(problem)),
      type_(type),
      visible_(visible),
      fullScreen_(fullScreen),
      forceShutdown_(forceShutdown),
      includeServiceNumber_(includeServiceNumber),
      shouldBeep_(shouldBeep),
      shouldBeepIfGuiding_(shouldBeepIfGuiding),
      timeout_(timeout),
      severity_(severity),
      database_(&database) {}

bool CError::HasTimedOut() const { return timeout_ != 0 && deadline_.Expired(Core::MonotonicTime::Now()); }

void CError::UpdateWeight() {
  // Wide sums of wide trees overflow 32 bits; the heaviest stays the heaviest.
  int64_t weight = 1;
  for (const CTriggerSet& triggerSet : triggerSets_) {
    for (const CError* trigger : triggerSet.Triggers()) {
      weight = std::min<int64_t>(weight + trigger->weight_, INT32_MAX);
    }
  }
  weight_ = static_cast<int>(weight);
}

bool CError::IsTriggeredBy(const CError* other) const {
  return std::any_of(triggerSets_.begin(), triggerSets_.end(),
                     [other](const CTriggerSet& triggerSet) { return triggerSet.Contains(other); });
}

bool CError::HasDependent(const CError* other) const {
  return std::find(dependents_.begin(), dependents_.end(), other) != dependents_.end();
}

bool CError::HasLinkingMode(EErrorLinking mode) const {
  return std::any_of(triggerSets_.begin(), triggerSets_.end(),
                     [mode](const CTriggerSet& triggerSet) { return triggerSet.ErrorLinking() == mode; });
}

}  // namespace Faultwright
