// The live state of single records: raising, clearing, and the automatic
// raising and clearing of dependents through their trigger sets.
#include <algorithm>

#include "Common/ErrorDatabase/CError.h"
#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/ErrorDatabase/CTriggerSet.h"

namespace Faultwright {

bool CTriggerSet::IsSatisfiedWith(const CError* error) const {
  bool found = false;
  int active = 0;
  for (const CError* trigger : triggers_) {
    if (trigger == error) {
      found = true;  // counted as active: it is being raised right now
      ++active;
    } else if (trigger->IsActive()) {
      ++active;
    }
  }
  return found && active >= triggersNeeded_;
}

bool CTriggerSet::IsUnsatisfiedWithout(const CError* error) const {
  bool found = false;
  int active = 0;
  for (const CError* trigger : triggers_) {
    if (trigger == error) {
      found = true;  // not counted: it is being cleared right now
    } else if (trigger->IsActive()) {
      ++active;
    }
  }
  return found && active < triggersNeeded_;
}

void CError::Raise(bool silent) {
  active_ = true;
  if (timeout_ != 0) deadline_ = Core::MonotonicTime::Timer(timeout_);
  if (silent) return;
  database_->NotifyRaised(code_, type_);
  // Depth first: a dependent raised here walks its own dependents before the
  // next one of ours is asked.
  for (CError* dependent : dependents_) dependent->OnTriggerRaised(this);
}

void CError::Clear(bool silent) {
  active_ = false;
  if (silent) return;
  database_->NotifyCleared(code_, type_);
  for (CError* dependent : dependents_) dependent->OnTriggerCleared(this);
}

void CError::OnTriggerRaised(CError* trigger) {
  if (active_) return;  // also what ends a cycle of trigger links
  bool satisfied = std::any_of(triggerSets_.begin(), triggerSets_.end(), [trigger](const CTriggerSet& set) {
    return set.AutoTrigger() && set.IsSatisfiedWith(trigger);
  });
  if (satisfied) Raise(false);
}

void CError::OnTriggerCleared(CError* trigger) {
  if (!active_) return;
  // Every automatic set must have lost its footing; one that does not even
  // hold trigger keeps the error raised.
  bool anyAutomatic = false;
  for (const CTriggerSet& set : triggerSets_) {
    if (!set.AutoTrigger()) continue;
    if (!set.IsUnsatisfiedWithout(trigger)) return;
    anyAutomatic = true;
  }
  if (anyAutomatic) Clear(false);
}

}  // namespace Faultwright
