// The live state of single records: raising, clearing, and the automatic
// raising and clearing of dependents through their trigger sets.
#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "Common/ErrorDatabase/CError.h"
#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/ErrorDatabase/CTriggerSet.h"

namespace Faultwright {

namespace {

// At least TriggersNeeded() of the set's entries are active.
bool IsSatisfied(const CTriggerSet& set) {
  auto active = std::count_if(set.Triggers().begin(), set.Triggers().end(),
                              [](const CError* trigger) { return trigger->IsActive(); });
  return active >= set.TriggersNeeded();
}

}  // namespace

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
  raisedByTriggers_ = false;
  MarkRaised(silent);
  if (!silent) Propagate(&CError::FollowTriggerRaised);
}

void CError::Clear(bool silent) {
  MarkCleared(silent);
  if (!silent) Propagate(&CError::FollowTriggerCleared);
}

void CError::OnTriggerRaised(CError* trigger) {
  if (FollowTriggerRaised(trigger)) Propagate(&CError::FollowTriggerRaised);
}

void CError::OnTriggerCleared(CError* trigger) {
  if (FollowTriggerCleared(trigger)) Propagate(&CError::FollowTriggerCleared);
}

void CError::MarkRaised(bool silent) {
  active_ = true;
  if (timeout_ != 0) deadline_ = Core::MonotonicTime::Timer(timeout_);
  if (!silent) database_->NotifyRaised(code_, type_);
}

void CError::MarkCleared(bool silent) {
  active_ = false;
  if (!silent) database_->NotifyCleared(code_, type_);
}

bool CError::FollowTriggerRaised(CError* trigger) {
  if (active_) return false;  // also what ends a cycle of trigger links
  bool satisfied = std::any_of(triggerSets_.begin(), triggerSets_.end(), [trigger](const CTriggerSet& set) {
    return set.AutoTrigger() && set.IsSatisfiedWith(trigger);
  });
  if (satisfied) {
    MarkRaised(false);
    raisedByTriggers_ = true;
  }
  return satisfied;
}

bool CError::FollowTriggerCleared(CError* trigger) {
  if (!active_) return false;
  // Only an automatic set that holds trigger can clear the error, and every
  // automatic set must have lost its footing. A set that does not hold trigger
  // keeps an error that its component raised; one that its triggers alone
  // raised it keeps only while it is still satisfied, or such an error would
  // stay raised for good once the triggers of two sets had gone.
  bool anyHolding = false;
  for (const CTriggerSet& set : triggerSets_) {
    if (!set.AutoTrigger()) continue;
    if (set.Contains(trigger)) {
      if (!set.IsUnsatisfiedWithout(trigger)) return false;
      anyHolding = true;
    } else if (!raisedByTriggers_ || IsSatisfied(set)) {
      return false;
    }
  }
  if (anyHolding) MarkCleared(false);
  return anyHolding;
}

void CError::Propagate(bool (CError::*follow)(CError* trigger)) {
  // Depth first: a dependent changed here walks its own dependents before the
  // next one of ours is asked. The walk keeps its own stack, as a chain of
  // automatic trigger sets may run deeper than a thread's stack allows.
  std::vector<std::pair<CError*, size_t>> walk = {{this, 0}};
  while (!walk.empty()) {
    CError* error = walk.back().first;
    size_t next = walk.back().second++;
    if (next == error->dependents_.size()) {
      walk.pop_back();
    } else if ((error->dependents_[next]->*follow)(error)) {
      walk.emplace_back(error->dependents_[next], 0);
    }
  }
}

}  // namespace Faultwright
