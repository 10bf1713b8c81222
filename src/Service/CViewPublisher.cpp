#include "Service/CViewPublisher.h"

#include <algorithm>
#include <set>
#include <utility>

#include "Identifiers/CErrorKey.h"

namespace Faultwright {

namespace {

const int kOpenAttempts = 3;

// Whether every record's counters stand in the first entry of its (code, type).
bool HoldsCounters(const std::vector<CErrorState>& states, const std::vector<CErrorState>& records) {
  for (const CErrorState& record : records) {
    auto entry = std::find_if(states.begin(), states.end(),
                              [&](const CErrorState& state) { return state.Matches(record.Code, record.Type); });
    if (entry != states.end() &&
        (entry->RaiseCount1 != record.RaiseCount1 || entry->RaiseCount2 != record.RaiseCount2)) {
      return false;
    }
  }
  return true;
}

}  // namespace

CViewPublisher::CViewPublisher(CErrorDatabase& catalogue, CErrorDatabaseListener* next)
    : catalogue_(catalogue), next_(next) {
  const std::vector<CError>& errors = catalogue.Errors();
  placed_ = std::min<size_t>(errors.size(), CErrorDatabaseView::kMaxErrors);
  std::set<std::pair<uint32_t, int16_t>> seen;
  for (size_t i = 0; i < placed_; ++i) {
    firstOfKey_.push_back(seen.insert({errors[i].Code(), static_cast<int16_t>(errors[i].Type())}).second);
  }
}

CViewPublisher::~CViewPublisher() = default;

bool CViewPublisher::Open(const std::vector<CErrorState>& records) {
  view_ = std::make_unique<CErrorDatabaseView>(true, 1);
  // Only this process writes the segment, so a step lost to a lock time-out
  // shows when the segment is read back, and the steps bear repeating.
  for (int attempt = 0; attempt < kOpenAttempts && !view_->HasFailed(); ++attempt) {
    view_->SetErrors(catalogue_);
    view_->RestoreErrorStates(records);
    view_->SetEnabled(true);
    std::vector<CErrorState> states;
    view_->GetErrorStates(states);
    if (states.size() == placed_ && view_->IsEnabled() && HoldsCounters(states, records)) return true;
  }
  return false;
}

void CViewPublisher::ErrorRaised(unsigned code, EProblemType type) {
  view_->RaiseError(code, type);
  if (next_ != nullptr) next_->ErrorRaised(code, type);
}

void CViewPublisher::ErrorCleared(unsigned code, EProblemType type) {
  view_->ClearError(code, type);
  if (next_ != nullptr) next_->ErrorCleared(code, type);
}

int CViewPublisher::Verify(std::vector<CErrorState>* states) {
  if (view_->HasFailed()) {
    view_ = std::make_unique<CErrorDatabaseView>(false, 1);
    if (view_->HasFailed()) return -1;
    view_->SetEnabled(true);  // a new view refuses raises until it is enabled
  }
  states->clear();
  view_->GetErrorStates(*states);
  if (states->size() != placed_) return -1;  // the lock was not obtained
  std::vector<CErrorKey> raise;
  std::vector<CErrorKey> clear;
  for (size_t i = 0; i < placed_; ++i) {
    const CErrorState& entry = (*states)[i];
    const CError* error = firstOfKey_[i] ? catalogue_.FindError(entry.Code, entry.Type) : nullptr;
    if (error == nullptr || error->IsActive() == entry.IsActive()) continue;
    (error->IsActive() ? raise : clear).emplace_back(static_cast<int32_t>(entry.Code), entry.Type);
  }
  if (!raise.empty()) view_->RaiseErrors(raise);
  if (!clear.empty()) view_->ClearErrors(clear);
  return static_cast<int>(raise.size() + clear.size());
}

}  // namespace Faultwright
