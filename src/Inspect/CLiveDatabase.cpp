#include "Inspect/CLiveDatabase.h"

#include <signal.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "Common/Summaries/SummaryFields.h"
#include "Identifiers/CErrorKey.h"
#include "Platform/Core/SystemError.h"

namespace Faultwright {

CLiveDatabase::CLiveDatabase(const std::string& directory, std::FILE* messageOutput)
    : catalogue_(directory), messageOutput_(messageOutput) {
  Attach();
}

void CLiveDatabase::Attach() {
  view_.reset();
  semaphoreId_ = -1;
  const key_t key = ftok(".", CErrorDatabaseView::kKeyId);
  if (key == -1) {
    problem_ = Core::SystemError("cannot find the live error database of the working directory");
    return;
  }
  const int semaphoreId = semget(key, 0, 0);
  if (shmget(key, 0, 0) == -1 || semaphoreId == -1) {
    problem_ = errno == ENOENT ? "no live error database here: is fwservice running in this directory?"
                               : Core::SystemError("cannot open the live error database here");
    return;
  }
  view_ = std::make_unique<CErrorDatabaseView>(false, 0, messageOutput_);
  if (view_->HasFailed()) {
    problem_ = "cannot attach to the live error database of the working directory";
    view_.reset();
    return;
  }
  problem_.clear();
  semaphoreId_ = semaphoreId;
}

std::string CLiveDatabase::LockHolder() const {
  if (enabled_ || semaphoreId_ == -1 || semctl(semaphoreId_, 0, GETVAL) != 0) return std::string();
  const int holder = semctl(semaphoreId_, 0, GETPID);
  if (holder <= 0) return "the lock of the live error database here has never been released: no fwservice set it up";
  // The last process to take the lock may have ended holding it: the lock's
  // unit went with the service that set the database up.
  if (kill(holder, 0) != 0 && errno == ESRCH) {
    return "the live error database here cannot be locked: process " + std::to_string(holder) +
           ", which last took its lock, has ended (is fwservice still running in this directory?)";
  }
  return "the live error database here is locked by process " + std::to_string(holder);
}

int CLiveDatabase::Refresh() {
  if (view_ && (view_->HasFailed() || view_->IsRemoved())) {
    view_.reset();
    lost_ = true;
  }
  if (!view_ && !lost_) {
    Attach();  // none when constructed: a service may have set one up since
  } else if (lost_) {
    Attach();
    lost_ = !view_;
    if (view_) notice_ = "the live error database here was removed; now reading the one made anew";
  }
  const int result = view_ ? view_->Update(catalogue_) : CErrorDatabaseView::kNoChange;
  enabled_ = view_ && view_->IsEnabled();
  Resynchronise();
  return result;
}

std::string CLiveDatabase::TakeNotice() {
  std::string notice;
  notice.swap(notice_);
  return notice;
}

void CLiveDatabase::Resynchronise() {
  std::vector<CErrorState> states;
  if (enabled_) view_->GetErrorStates(states);
  std::vector<CErrorKey> activeKeys;
  bool changed = false;
  for (const CErrorState& state : states) {
    if (!state.IsActive()) continue;
    activeKeys.emplace_back(static_cast<int32_t>(state.Code), state.Type);
    const CError* error = catalogue_.FindError(state.Code, state.Type);
    if (error != nullptr && !error->IsActive()) {
      catalogue_.RaiseError(state.Code, state.Type, true);
      changed = true;
    }
  }
  std::sort(activeKeys.begin(), activeKeys.end());
  for (const CError& error : catalogue_.Errors()) {
    if (!error.IsActive() || std::binary_search(activeKeys.begin(), activeKeys.end(), ErrorKeyOf(error))) continue;
    catalogue_.ClearError(error.Code(), error.Type(), true);
    changed = true;
  }
  if (changed) catalogue_.UpdateTopLevelErrors();
}

}  // namespace Faultwright
