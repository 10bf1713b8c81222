#include "Service/CViewPublisher.h"

#include <algorithm>
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
    : catalogue_(catalogue), next_(next) {}

CViewPublisher::~CViewPublisher() = default;

bool CViewPublisher::Open(const std::vector<CErrorState>& saved) {
  // The view loads a record into the first entry of its (code, type); a later
  // record of the same pair belongs to an entry that no lookup finds, and
  // would overwrite the first.
  std::vector<CErrorState> records;
  std::set<Key> seen;
  for (const CErrorState& record : saved) {
    if (seen.insert(Key(record.Code, record.Type)).second) records.push_back(record);
  }
  const size_t placed = std::min<size_t>(catalogue_.Errors().size(), CErrorDatabaseView::kMaxErrors);
  view_ = std::make_unique<CErrorDatabaseView>(true, 1);
  // Only this process writes the segment, so a step lost to a lock time-out
  // shows when the segment is read back, and the steps bear repeating.
  for (int attempt = 0; attempt < kOpenAttempts && !view_->HasFailed(); ++attempt) {
    view_->SetErrors(catalogue_);
    view_->ResumeErrorStates(records);
    view_->SetEnabled(true);
    std::vector<CErrorState> states;
    view_->GetErrorStates(states);
    if (states.size() != placed || !view_->IsEnabled()) continue;
    states_ = std::move(states);
    firstEntry_.clear();
    for (size_t i = 0; i < states_.size(); ++i) firstEntry_.emplace(Key(states_[i].Code, states_[i].Type), i);
    // A restore lost to the lock shows in the counters and the active bits.
    bool restored = std::all_of(records.begin(), records.end(), [this](const CErrorState& record) {
      const CErrorState* entry = Find(record.Code, record.Type);
      return entry == nullptr || (entry->IsActive() == record.IsActive() && entry->RaiseCount1 == record.RaiseCount1 &&
                                  entry->RaiseCount2 == record.RaiseCount2);
    });
    if (!restored) continue;
    // The errors active before the stop are active again, in the catalogue as
    // in the segment, without a word: nothing was raised.
    for (const CErrorState& state : states_) {
      if (state.IsActive()) catalogue_.RaiseError(state.Code, state.Type, true);
    }
    catalogue_.UpdateTopLevelErrors();
    return true;
  }
  return false;
}

CErrorState* CViewPublisher::Find(unsigned code, int type) {
  auto found = firstEntry_.find(Key(code, static_cast<int16_t>(type)));
  // The segment keeps the low 16 bits of a type; a type beyond them is no entry's.
  if (found == firstEntry_.end() || states_[found->second].Type != type) return nullptr;
  return &states_[found->second];
}

void CViewPublisher::ErrorRaised(unsigned code, EProblemType type) {
  if (writing_) view_->RaiseError(code, type);
  CErrorState* entry = Find(code, type);
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
  CErrorState* entry = Find(code, type);
  if (entry != nullptr && entry->IsActive()) {
    entry->Flags &= static_cast<uint16_t>(~CErrorState::kActive);
    entry->Cleared = Core::MonotonicTime::Now();
  }
  if (next_ != nullptr) next_->ErrorCleared(code, type);
}

int CViewPublisher::Verify() {
  writing_ = false;
  if (view_->HasFailed()) {
    view_ = std::make_unique<CErrorDatabaseView>(false, 1);
    if (view_->HasFailed()) return -1;
    view_->SetEnabled(true);  // a new view refuses raises until it is enabled
  }
  // Another process may have written over the table itself; without it no
  // entry can be found, nor compared.
  if (view_->RepairErrors(catalogue_) < 0) return -1;
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
