#include "Service/CViewPublisher.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "Identifiers/CErrorKey.h"

namespace Faultwright {

namespace {

const int kOpenAttempts = 3;

bool SameState(const CErrorState& a, const CErrorState& b) {
  return a.Flags == b.Flags && a.RaiseCount1 == b.RaiseCount1 && a.RaiseCount2 == b.RaiseCount2;
}

}  // namespace

CViewPublisher::CViewPublisher(CErrorDatabase& catalogue, CErrorDatabaseListener* next)
    : catalogue_(&catalogue), next_(next) {}

CViewPublisher::~CViewPublisher() = default;

void CViewPublisher::Index() {
  const std::vector<CError>& errors = catalogue_->Errors();
  placed_ = std::min<size_t>(errors.size(), CErrorDatabaseView::kMaxErrors);
  firstEntry_.clear();
  for (size_t i = 0; i < placed_; ++i) {
    firstEntry_.emplace(Key(errors[i].Code(), static_cast<int16_t>(errors[i].Type())), i);
  }
}

void CViewPublisher::RaiseActiveInCatalogue() {
  // The errors active before are active again, in the catalogue as in the
  // segment, without a word: nothing was raised.
  for (const CErrorState& state : states_) {
    if (state.IsActive()) catalogue_->RaiseError(state.Code, state.Type, true);
  }
  catalogue_->UpdateTopLevelErrors();
}

bool CViewPublisher::Open(const std::vector<CErrorState>& records) {
  Index();
  view_ = std::make_unique<CErrorDatabaseView>(true, 1);
  // Only this process writes the segment, so a step lost to a lock time-out
  // shows when the segment is read back, and the steps bear repeating.
  for (int attempt = 0; attempt < kOpenAttempts && !view_->HasFailed(); ++attempt) {
    if (!Place(records)) continue;
    RaiseActiveInCatalogue();
    return true;
  }
  return false;
}

void CViewPublisher::Reload(CErrorDatabase& catalogue) {
  // Every entry of the new table gets a state: the table's entries keep
  // theirs when the table changes under them, and a new error must not take
  // over the state of the one that stood at its place.
  std::vector<CErrorState> states;
  const std::vector<CError>& errors = catalogue.Errors();
  for (size_t i = 0; i < errors.size() && i < CErrorDatabaseView::kMaxErrors; ++i) {
    const CErrorState* kept = Find(states_, errors[i].Code(), errors[i].Type());
    CErrorState fresh = {};
    fresh.Code = errors[i].Code();
    fresh.Type = static_cast<int16_t>(errors[i].Type());
    states.push_back(kept != nullptr ? *kept : fresh);
  }
  catalogue_ = &catalogue;
  Index();
  states_ = std::move(states);
  RaiseActiveInCatalogue();
  // Until the next Verify places it all, changes go to the copy only.
  placing_ = true;
  writing_ = false;
}

bool CViewPublisher::Place(const std::vector<CErrorState>& records) {
  // The view loads a record into the first entry of its (code, type); a later
  // record of the same pair belongs to an entry that no lookup finds, and
  // would overwrite the first.
  std::vector<CErrorState> firsts;
  std::set<Key> seen;
  for (const CErrorState& record : records) {
    if (seen.insert(Key(record.Code, record.Type)).second) firsts.push_back(record);
  }
  view_->SetErrors(*catalogue_);
  view_->ResumeErrorStates(firsts);
  view_->SetEnabled(true);
  std::vector<CErrorState> states;
  view_->GetErrorStates(states);
  if (states.size() != placed_ || !view_->IsEnabled()) return false;
  // A restore lost to the lock shows in the counters and the active bits.
  for (const CErrorState& record : firsts) {
    const CErrorState* entry = Find(states, record.Code, record.Type);
    if (entry != nullptr && (entry->IsActive() != record.IsActive() || entry->RaiseCount1 != record.RaiseCount1 ||
                             entry->RaiseCount2 != record.RaiseCount2)) {
      return false;
    }
  }
  states_ = std::move(states);
  return true;
}

CErrorState* CViewPublisher::Find(std::vector<CErrorState>& states, unsigned code, int type) {
  auto found = firstEntry_.find(Key(code, static_cast<int16_t>(type)));
  // The segment keeps the low 16 bits of a type; a type beyond them is no entry's.
  if (found == firstEntry_.end() || found->second >= states.size() || states[found->second].Type != type) {
    return nullptr;
  }
  return &states[found->second];
}

void CViewPublisher::ErrorRaised(unsigned code, EProblemType type) {
  if (writing_) view_->RaiseError(code, type);
  CErrorState* entry = Find(states_, code, type);
  if (entry != nullptr && !entry->IsActive()) {
    entry->Flags |= CErrorState::kActive;
    entry->Raised = Core::MonotonicTime::Now();
    ++entry->RaiseCount1;
    ++entry->RaiseCount2;
  }
  if (next_ != nullptr) next_->ErrorRaised(code, type);
}

void CViewPublisher::ErrorCleared(unsigned code, EProblemType type) {
  if (writing_) view_->ClearError(code, type);
  CErrorState* entry = Find(states_, code, type);
  if (entry != nullptr && entry->IsActive()) {
    entry->Flags &= static_cast<uint16_t>(~CErrorState::kActive);
    entry->Cleared = Core::MonotonicTime::Now();
  }
  if (next_ != nullptr) next_->ErrorCleared(code, type);
}

int CViewPublisher::Verify() {
  writing_ = false;
  if (view_->HasFailed() || view_->IsRemoved()) {
    view_ = std::make_unique<CErrorDatabaseView>(false, 1);
    if (view_->HasFailed()) return -1;
    if (view_->IsNew()) {
      std::fprintf(stderr,
                   "CViewPublisher: the shared segment or its semaphore set is new (the one before was removed); "
                   "the table and the error states are placed in it again\n");
    }
    placing_ = true;
  }
  // A view attached afresh refuses raises until it is enabled, and what it
  // attached to may hold no table or states at all: it gets everything.
  if (placing_) {
    if (!Place(states_)) return -1;
    placing_ = false;
    writing_ = true;
    return 0;
  }
  // Another process may have written over the table itself; without it no
  // entry can be found, nor compared.
  if (view_->RepairErrors(*catalogue_) < 0) return -1;
  if (!view_->IsEnabled()) {
    view_->SetEnabled(true);
    if (!view_->IsEnabled()) return -1;  // the lock was not obtained
    std::fprintf(stderr, "CViewPublisher: another process disabled the shared segment; it is enabled again\n");
  }
  std::vector<CErrorState> segment;
  view_->GetErrorStates(segment);
  if (segment.size() != states_.size()) return -1;  // the lock was not obtained
  writing_ = true;
  std::vector<CErrorKey> raise;
  std::vector<CErrorKey> clear;
  std::vector<CErrorState> restore;
  for (size_t i = 0; i < segment.size(); ++i) {
    const CErrorState& wanted = states_[i];
    if (SameState(segment[i], wanted)) continue;
    if (segment[i].IsActive() != wanted.IsActive()) {
      (wanted.IsActive() ? raise : clear).emplace_back(static_cast<int32_t>(wanted.Code), wanted.Type);
    }
    restore.push_back(wanted);
  }
  // The active bit first, since a restore never sets it; then the counters and
  // times that the raise just moved, and those of raises lost altogether.
  if (!raise.empty()) view_->RaiseErrors(raise);
  if (!clear.empty()) view_->ClearErrors(clear);
  if (!restore.empty()) view_->RestoreErrorStates(restore);
  return static_cast<int>(restore.size());
}

}  // namespace Faultwright
