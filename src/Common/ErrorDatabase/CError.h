// CError: one error of the catalogue, identified by its error code (module |
// submodule | problem) and problem type.
//
// The record carries the operator texts and presentation flags of the
// catalogue, its trigger sets (the errors that raise it), its dependents (the
// errors that name it as a trigger, once per naming) and its live state:
// active, changed and the deadline of its latest raise. Lists of other
// records are plain pointers into the catalogue's storage, which never moves
// a record once links exist. A copy holds the same pointers and the same
// catalogue. A record never holds eesUnknown as severity.
#ifndef FAULTWRIGHT_COMMON_ERRORDATABASE_CERROR_H
#define FAULTWRIGHT_COMMON_ERRORDATABASE_CERROR_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Common/ErrorDatabase/CTriggerSet.h"
#include "Identifiers/Identifiers.h"
#include "Platform/Core/MonotonicTime.h"

namespace Faultwright {

class CErrorDatabase;

class CError {
 public:
  // Starts with empty texts, inactive, unchanged, a zero deadline, weight 1
  // and no trigger sets or dependents. timeout 0 means none.
  CError(CErrorDatabase& database, EModuleIdentifier module, ESubModuleIdentifier subModule, EProblemIdentifier problem,
         EProblemType type, EErrorSeverity severity, bool visible, bool fullScreen, bool forceShutdown,
         bool includeServiceNumber, bool shouldBeep, bool shouldBeepIfGuiding, int timeout);

  uint32_t Code() const { return code_; }
  EModuleIdentifier Module() const { return static_cast<EModuleIdentifier>(code_ & 0xFF0000u); }
  ESubModuleIdentifier SubModule() const { return static_cast<ESubModuleIdentifier>(code_ & 0xFF00u); }
  EProblemIdentifier Problem() const { return static_cast<EProblemIdentifier>(code_ & 0xFFu); }
  EProblemType Type() const { return type_; }

  const std::string& ProblemText() const { return problemText_; }
  const std::string& SolutionText() const { return solutionText_; }
  const std::string& ShortProblemText() const { return shortProblemText_; }
  const std::string& TitleText() const { return titleText_; }
  // The setters take their text by value, so that a loader hands over a
  // freshly built text without a second copy.
  void SetProblemText(std::string text) { problemText_ = std::move(text); }
  void SetSolutionText(std::string text) { solutionText_ = std::move(text); }
  void SetShortProblemText(std::string text) { shortProblemText_ = std::move(text); }
  void SetTitleText(std::string text) { titleText_ = std::move(text); }

  bool IsVisible() const { return visible_; }
  bool IsActive() const { return active_; }
  bool IsFullScreen() const { return fullScreen_; }
  bool ForceShutdown() const { return forceShutdown_; }
  bool IncludeServiceNumber() const { return includeServiceNumber_; }
  bool ShouldBeep() const { return shouldBeep_; }
  bool ShouldBeepIfGuiding() const { return shouldBeepIfGuiding_; }
  int Timeout() const { return timeout_; }
  // When the time-out of the latest raise runs out; zero before any raise.
  const Core::MonotonicTime& Deadline() const { return deadline_; }
  // False when there is no time-out, else whether the deadline has passed.
  bool HasTimedOut() const;

  // Whether the current raise came from the trigger sets alone: no RaiseError
  // of the catalogue has named this error since it was raised.
  bool IsRaisedByTriggers() const { return raisedByTriggers_; }
  void SetRaisedByTriggers(bool raisedByTriggers) { raisedByTriggers_ = raisedByTriggers; }

  // Set when the catalogue's RaiseError or ClearError named this error since
  // the last top-level update.
  bool HasChanged() const { return changed_; }
  void SetChanged(bool changed) { changed_ = changed; }

  EErrorSeverity Severity() const { return severity_; }

  // 1 plus the weights of all triggers, a trigger counted once per naming.
  int Weight() const { return weight_; }
  // Recomputes the weight from the triggers' current weights, saturating at
  // INT32_MAX. The catalogue calls it with every trigger's weight final.
  void UpdateWeight();

  const std::vector<CTriggerSet>& TriggerSets() const { return triggerSets_; }
  void AddTriggerSet(CTriggerSet triggerSet) { triggerSets_.push_back(std::move(triggerSet)); }
  const std::vector<CError*>& Dependents() const { return dependents_; }
  std::vector<CError*>& Dependents() { return dependents_; }
  void AddDependent(CError* dependent) { dependents_.push_back(dependent); }

  // other stands in one of the trigger sets (pointer identity).
  bool IsTriggeredBy(const CError* other) const;
  bool HasDependent(const CError* other) const;
  bool IsLinkedTo(const CError* other) const { return IsTriggeredBy(other) || HasDependent(other); }
  bool HasLinkingMode(EErrorLinking mode) const;

  // Live state. Raise and Clear change this error (a Raise is the error's own,
  // not one of its triggers: see IsRaisedByTriggers); unless silent they tell the
  // catalogue's listener and then every dependent, depth first. A raise also
  // starts the deadline when there is a time-out, silent or not.
  void Raise(bool silent);
  void Clear(bool silent);
  // A trigger of this error became active: raises this error when one of its
  // automatic sets is satisfied with trigger and it is not active yet.
  void OnTriggerRaised(CError* trigger);
  // A trigger of this error became inactive: clears this error when it is
  // active, trigger stands in one of its automatic sets, and every automatic
  // set is unsatisfied without trigger. A set that does not hold trigger keeps
  // the error raised, unless its triggers alone raised it and the set is not
  // satisfied.
  void OnTriggerCleared(CError* trigger);

 private:
  // Mark this error raised or cleared and, unless silent, tell the listener.
  void MarkRaised(bool silent);
  void MarkCleared(bool silent);
  // What OnTriggerRaised and OnTriggerCleared do to this error alone: true
  // when it changed, so that its dependents are to be told.
  bool FollowTriggerRaised(CError* trigger);
  bool FollowTriggerCleared(CError* trigger);
  // Tells the dependents of this error of its change, and theirs in turn.
  void Propagate(bool (CError::*follow)(CError* trigger));

  uint32_t code_;
  EProblemType type_;
  std::string problemText_;
  std::string solutionText_;
  std::string shortProblemText_;
  std::string titleText_;
  bool visible_;
  bool active_ = false;
  bool raisedByTriggers_ = false;
  bool fullScreen_;
  bool forceShutdown_;
  bool includeServiceNumber_;
  bool shouldBeep_;
  bool shouldBeepIfGuiding_;
  int timeout_;
  Core::MonotonicTime deadline_;
  bool changed_ = false;
  EErrorSeverity severity_;
  int weight_ = 1;
  std::vector<CTriggerSet> triggerSets_;
  std::vector<CError*> dependents_;
  CErrorDatabase* database_;  // the owning catalogue, never null
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_ERRORDATABASE_CERROR_H
