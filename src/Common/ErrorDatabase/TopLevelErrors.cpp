// The catalogue's live state: raising and clearing by (code, type), the
// listener, and the choice of top-level errors.
#include <algorithm>
#include <cstddef>
#include <functional>
#include <vector>

#include "Common/ErrorDatabase/CError.h"
#include "Common/ErrorDatabase/CErrorDatabase.h"

namespace Faultwright {

namespace {

// Group: one representative, the heaviest, for every group of records linked
// to one another within a list. The rule it reproduces: walk the list; an
// untaken record starts a group; sweep the later untaken records in list order
// again and again, each joining when it IsLinkedTo a member (members that
// joined earlier in the same sweep count), until a sweep adds none; the best
// member is the first to join among those of greatest weight; the output
// follows the groups' first records.
//
// Rather than testing every later record against every member in every sweep,
// it keeps the untaken records known to link to a member: those behind the
// sweep's position wait for the next sweep, those ahead join in list order.
// Each link is looked at three times in all, yet the records join in exactly
// the order of the sweeps, so the same member wins every tie.
class GroupChooser {
 public:
  explicit GroupChooser(const std::vector<CError>& records) : records_(records), positionOf_(records.size(), -1) {}

  void Choose(const std::vector<CError*>& input, std::vector<CError*>& output) {
    output.clear();
    int size = static_cast<int>(input.size());
    for (int position = 0; position < size; ++position) positionOf_[RecordIndex(input[position])] = position;
    LinkCandidates(input);
    taken_.assign(input.size(), false);

    for (int first = 0; first < size; ++first) {
      if (taken_[first]) continue;
      taken_[first] = true;
      CError* best = input[first];
      ahead_.clear();
      behind_.clear();
      Discover(first);
      while (!ahead_.empty()) {
        while (!ahead_.empty()) {
          std::pop_heap(ahead_.begin(), ahead_.end(), std::greater<int>());
          int position = ahead_.back();
          ahead_.pop_back();
          if (taken_[position]) continue;
          taken_[position] = true;
          if (input[position]->Weight() > best->Weight()) best = input[position];
          Discover(position);
        }
        // The sweep reached the end of the list; the next starts at its front.
        ahead_.swap(behind_);
        std::make_heap(ahead_.begin(), ahead_.end(), std::greater<int>());
      }
      output.push_back(best);
    }

    for (const CError* error : input) positionOf_[RecordIndex(error)] = -1;
  }

 private:
  // Index of a record in the catalogue's storage, which every link points into.
  size_t RecordIndex(const CError* error) const { return static_cast<size_t>(error - records_.data()); }
  int PositionOf(const CError* error) const { return positionOf_[RecordIndex(error)]; }

  // The candidates of a member: the positions whose record IsLinkedTo the
  // member's, that is names it among its triggers or its dependents. Stored
  // member by member: candidates_[start_[m]] up to candidates_[start_[m + 1]].
  void LinkCandidates(const std::vector<CError*>& input) {
    int size = static_cast<int>(input.size());
    start_.assign(input.size() + 2, 0);
    ForEachLink(input, [this](int member, int) { ++start_[member + 2]; });
    for (int member = 0; member < size; ++member) start_[member + 2] += start_[member + 1];
    candidates_.resize(static_cast<size_t>(start_[size + 1]));
    ForEachLink(input, [this](int member, int candidate) { candidates_[start_[member + 1]++] = candidate; });
  }
  template <typename Visit>
  void ForEachLink(const std::vector<CError*>& input, Visit visit) const {
    int size = static_cast<int>(input.size());
    for (int candidate = 0; candidate < size; ++candidate) {
      const CError* error = input[candidate];
      for (const CTriggerSet& set : error->TriggerSets()) {
        for (const CError* trigger : set.Triggers()) {
          int member = PositionOf(trigger);
          if (member >= 0) visit(member, candidate);
        }
      }
      for (const CError* dependent : error->Dependents()) {
        int member = PositionOf(dependent);
        if (member >= 0) visit(member, candidate);
      }
    }
  }

  // A record at position joined: its untaken candidates become due, in this
  // sweep if they lie ahead of it, else in the next.
  void Discover(int position) {
    for (int link = start_[position]; link < start_[position + 1]; ++link) {
      int candidate = candidates_[link];
      if (taken_[candidate]) continue;
      if (candidate > position) {
        ahead_.push_back(candidate);
        std::push_heap(ahead_.begin(), ahead_.end(), std::greater<int>());
      } else {
        behind_.push_back(candidate);
      }
    }
  }

  const std::vector<CError>& records_;
  std::vector<int> positionOf_;  // by record index; -1 outside the input
  std::vector<int> candidates_;
  std::vector<int> start_;
  std::vector<bool> taken_;
  std::vector<int> ahead_;   // min-heap of due positions ahead of the sweep
  std::vector<int> behind_;  // due positions for the next sweep
};

}  // namespace

void CErrorDatabase::RaiseError(unsigned code, int type, bool silent) {
  CError* error = FindError(code, type);
  if (error == nullptr) return;
  error->SetChanged(true);
  if (!error->IsActive()) {
    error->Raise(silent);
  } else {
    error->SetRaisedByTriggers(false);  // now its component's own raise too
  }
}

void CErrorDatabase::ClearError(unsigned code, int type, bool silent) {
  CError* error = FindError(code, type);
  if (error == nullptr) return;
  error->SetChanged(true);
  if (error->IsActive()) error->Clear(silent);
}

void CErrorDatabase::SetListener(CErrorDatabaseListener* listener) { listener_ = listener; }

void CErrorDatabase::NotifyRaised(unsigned code, EProblemType type) {
  if (listener_ != nullptr) listener_->ErrorRaised(code, type);
}

void CErrorDatabase::NotifyCleared(unsigned code, EProblemType type) {
  if (listener_ != nullptr) listener_->ErrorCleared(code, type);
}

void CErrorDatabase::UpdateTopLevelErrors() {
  std::vector<CError*> active;
  std::vector<CError*> changedActive;
  std::vector<CError*> changedInactive;
  for (CError* error : indexedErrors_) {
    if (error->IsActive()) {
      active.push_back(error);
      if (error->HasChanged()) changedActive.push_back(error);
    } else if (error->HasChanged()) {
      changedInactive.push_back(error);
    }
    error->SetChanged(false);
  }
  GroupChooser chooser(errors_);
  chooser.Choose(active, topLevelErrors_);
  chooser.Choose(changedActive, changedTopLevelErrors_);
  chooser.Choose(changedInactive, clearedTopLevelErrors_);
}

const std::vector<CError*>& CErrorDatabase::TopLevelErrors(bool changedOnly) const {
  return changedOnly ? changedTopLevelErrors_ : topLevelErrors_;
}

const std::vector<CError*>& CErrorDatabase::ClearedTopLevelErrors() const { return clearedTopLevelErrors_; }

}  // namespace Faultwright
