#include "Common/View/CErrorDatabaseView.h"

#include <errno.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "Platform/Core/Debug.h"

namespace Faultwright {

namespace {

const int kLockAttempts = 5;
const int64_t kAttemptNanoseconds = 2000000;  // 2 ms per lock attempt
const int64_t kNanosecondsPerSecond = 1000000000;

// The fourth argument of semctl, which the caller declares.
union SemaphoreArgument {
  int value;
  semid_ds* status;
  unsigned short* values;
};

// Count as another process left it: never trusted beyond the table.
int EntriesInUse(const CErrorDatabaseView::Header& header) {
  return std::clamp<int32_t>(header.Count, 0, CErrorDatabaseView::kMaxErrors);
}

// The first entry in use that is (code, type), or null.
template <typename SegmentImage>
auto FindEntry(SegmentImage& segment, unsigned code, int type) -> decltype(&segment.entries[0]) {
  int count = EntriesInUse(segment.header);
  for (int i = 0; i < count; ++i) {
    if (segment.entries[i].Matches(code, type)) return &segment.entries[i];
  }
  return nullptr;
}

int64_t InNanoseconds(const Core::Time& time) {
  return int64_t{time.Seconds()} * kNanosecondsPerSecond + time.Nanoseconds();
}

}  // namespace

CErrorDatabaseView::CErrorDatabaseView(bool initialise, int owner, std::FILE* messageOutput)
    : copy_(), baseline_(), owner_(owner), messageOutput_(messageOutput) {
  key_t key = ftok(".", kKeyId);
  if (key == -1) {
    Fail("CErrorDatabaseView::CErrorDatabaseView ftok");
    return;
  }
  // Made here, the segment is new: it holds no table yet.
  segmentId_ = shmget(key, sizeof(Segment), IPC_CREAT | IPC_EXCL | 0644);
  isNew_ = segmentId_ != -1;
  if (segmentId_ == -1 && errno == EEXIST) segmentId_ = shmget(key, sizeof(Segment), IPC_CREAT | 0644);
  if (segmentId_ == -1) {
    Fail("CErrorDatabaseView::CErrorDatabaseView shmeget");
    return;
  }
  // A failure here shows at the first lock attempt, which fails with EINVAL.
  semaphoreId_ = semget(key, 1, IPC_CREAT | 0666);
  bool lockNeverUsed = false;
  if (IsOwner() && !OwnsObjects(key, lockNeverUsed)) return;
  void* address = shmat(segmentId_, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    Fail("CErrorDatabaseView::CErrorDatabaseView shmat");
    return;
  }
  segment_ = static_cast<Segment*>(address);
  isNew_ = isNew_ || lockNeverUsed;
  if (initialise) {
    // Nobody can hold the lock yet: a new semaphore starts held, and this
    // release is the unit that frees it (taken back by the kernel when this
    // process ends).
    std::memset(static_cast<void*>(segment_), 0, sizeof(Segment));
    ReleaseLock();
  } else if (lockNeverUsed) {
    // A set on which no process has operated was never freed, so nobody
    // holds it and nobody else would free it: this owner adds its unit.
    ReleaseLock();
  }
}

void CErrorDatabaseView::Fail(const char* what) {
  Core::deprintfTo(messageOutput_, "%s: %s\n", what, std::strerror(errno));
  failed_ = true;
}

bool CErrorDatabaseView::OwnsObjects(key_t key, bool& lockNeverUsed) {
  shmid_ds segment;
  if (shmctl(segmentId_, IPC_STAT, &segment) != 0) {
    Fail("CErrorDatabaseView::CErrorDatabaseView shmctl");
    return false;
  }
  bool own = IsOwnObject(segment.shm_perm, key, "shared segment", segmentId_, "-m");
  if (semaphoreId_ != -1) {
    semid_ds semaphores;
    SemaphoreArgument argument;
    argument.status = &semaphores;
    if (semctl(semaphoreId_, 0, IPC_STAT, argument) != 0) {
      Fail("CErrorDatabaseView::CErrorDatabaseView semctl");
      return false;
    }
    own = IsOwnObject(semaphores.sem_perm, key, "semaphore set", semaphoreId_, "-s") && own;
    lockNeverUsed = semaphores.sem_otime == 0;
  }
  return own;
}

bool CErrorDatabaseView::IsRemoved() {
  if (failed_) return false;
  shmid_ds segment;
  semid_ds semaphores;
  SemaphoreArgument argument;
  argument.status = &semaphores;
  // A removed set is gone at once; a removed segment lives on, keyless, for
  // the processes still attached to it.
  if (shmctl(segmentId_, IPC_STAT, &segment) == 0 && (segment.shm_perm.mode & SHM_DEST) == 0 &&
      semctl(semaphoreId_, 0, IPC_STAT, argument) == 0) {
    return false;
  }
  failed_ = true;
  return true;
}

bool CErrorDatabaseView::IsOwnObject(const ipc_perm& permissions, key_t key, const char* kind, int id,
                                     const char* removal) {
  const uid_t user = geteuid();
  if (permissions.cuid == user && permissions.uid == user) return true;
  Core::deprintfTo(messageOutput_,
                   "CErrorDatabaseView: the %s of key 0x%08x (id %d) is not this user's (made by user %u, owned by "
                   "user %u, this process runs as user %u): not used; remove it with \"ipcrm %s %d\"\n",
                   kind, static_cast<unsigned>(key), id, static_cast<unsigned>(permissions.cuid),
                   static_cast<unsigned>(permissions.uid), static_cast<unsigned>(user), removal, id);
  failed_ = true;
  return false;
}

bool CErrorDatabaseView::GetLock() {
  sembuf take = {0, -1, SEM_UNDO};
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    const int64_t deadline = InNanoseconds(Core::MonotonicTime::Now()) + kAttemptNanoseconds;
    int64_t left = kAttemptNanoseconds;
    for (;;) {
      timespec timeout = {0, static_cast<long>(left)};
      if (semtimedop(semaphoreId_, &take, 1, &timeout) == 0) return true;
      if (errno != EINTR) break;
      // A signal cut the wait short; it is no time-out and no failure, so
      // wait out what is left of this attempt.
      left = std::clamp<int64_t>(deadline - InNanoseconds(Core::MonotonicTime::Now()), 0, kAttemptNanoseconds);
    }
    if (errno != EAGAIN) {
      Fail("CErrorDatabaseView::GetLock semop");
      return false;
    }
  }
  Core::deprintfTo(messageOutput_, "unable to obtain lock\n");
  return false;
}

bool CErrorDatabaseView::ReleaseLock() {
  sembuf give = {0, 1, SEM_UNDO};
  while (semop(semaphoreId_, &give, 1) != 0) {
    if (errno == EINTR) continue;
    Fail("CErrorDatabaseView::ReleaseLock semop");
    return false;
  }
  return true;
}

bool CErrorDatabaseView::IsEnabled() {
  if (failed_ || !GetLock()) return false;
  bool enabled = segment_->header.Enabled == 1;
  ReleaseLock();
  return enabled;
}

void CErrorDatabaseView::SetEnabled(bool on) {
  if (!IsOwner() || failed_ || !GetLock()) return;
  enabled_ = on;
  segment_->header.Enabled = on ? 1 : 0;
  ReleaseLock();
}

void CErrorDatabaseView::RaiseEntry(unsigned code, int type, const Core::MonotonicTime& now) {
  CErrorState* entry = FindEntry(*segment_, code, type);
  if (entry == nullptr || entry->IsActive()) return;
  entry->Raised = now;
  entry->Flags |= CErrorState::kActive;
  ++entry->RaiseCount1;
  ++entry->RaiseCount2;
  segment_->header.LastRaised = now;
}

void CErrorDatabaseView::ClearEntry(unsigned code, int type, const Core::MonotonicTime& now) {
  CErrorState* entry = FindEntry(*segment_, code, type);
  if (entry == nullptr || !entry->IsActive()) return;
  entry->Cleared = now;
  entry->Flags &= static_cast<uint16_t>(~CErrorState::kActive);
  segment_->header.LastCleared = now;
}

void CErrorDatabaseView::RaiseError(unsigned code, int type) {
  if (!IsOwner() || !enabled_ || failed_ || !GetLock()) return;
  RaiseEntry(code, type, Core::MonotonicTime::Now());
  ReleaseLock();
}

void CErrorDatabaseView::ClearError(unsigned code, int type) {
  if (!IsOwner() || !enabled_ || failed_ || !GetLock()) return;
  ClearEntry(code, type, Core::MonotonicTime::Now());
  ReleaseLock();
}

void CErrorDatabaseView::RaiseErrors(const std::vector<CErrorKey>& keys) {
  if (!IsOwner() || !enabled_ || failed_ || !GetLock()) return;
  const Core::MonotonicTime now = Core::MonotonicTime::Now();
  for (const CErrorKey& key : keys) RaiseEntry(static_cast<unsigned>(key.code), key.type, now);
  ReleaseLock();
}

void CErrorDatabaseView::ClearErrors(const std::vector<CErrorKey>& keys) {
  if (!IsOwner() || !enabled_ || failed_ || !GetLock()) return;
  const Core::MonotonicTime now = Core::MonotonicTime::Now();
  for (const CErrorKey& key : keys) ClearEntry(static_cast<unsigned>(key.code), key.type, now);
  ReleaseLock();
}

int CErrorDatabaseView::PlaceErrors(const CErrorDatabase& catalogue) {
  const std::vector<CError>& errors = catalogue.Errors();
  const int32_t placed = static_cast<int32_t>(std::min<size_t>(errors.size(), kMaxErrors));
  int changed = 0;
  if (segment_->header.Count != placed) {
    segment_->header.Count = placed;
    ++changed;
  }
  for (int32_t i = 0; i < placed; ++i) {
    CErrorState& entry = segment_->entries[i];
    const int16_t type = static_cast<int16_t>(errors[i].Type());
    if (entry.Code == errors[i].Code() && entry.Type == type) continue;
    entry.Code = errors[i].Code();
    entry.Type = type;
    ++changed;
  }
  return changed;
}

void CErrorDatabaseView::SetErrors(const CErrorDatabase& catalogue) {
  if (!IsOwner() || failed_ || !GetLock()) return;
  PlaceErrors(catalogue);
  ReleaseLock();
  const size_t size = catalogue.Errors().size();
  if (size > kMaxErrors) {
    Core::deprintfTo(messageOutput_, "CErrorDatabaseView::SetErrors: %zu errors beyond the table's %d left out\n",
                     size - kMaxErrors, kMaxErrors);
  }
}

int CErrorDatabaseView::RepairErrors(const CErrorDatabase& catalogue) {
  if (!IsOwner() || failed_ || !GetLock()) return -1;
  const int repaired = PlaceErrors(catalogue);
  ReleaseLock();
  if (repaired > 0) {
    Core::deprintfTo(messageOutput_,
                     "CErrorDatabaseView::RepairErrors: another process changed the segment's table; %d of its "
                     "count, codes and types written again\n",
                     repaired);
  }
  return repaired;
}

void CErrorDatabaseView::RestoreErrorStates(const std::vector<CErrorState>& records) { LoadStates(records, false); }

void CErrorDatabaseView::ResumeErrorStates(const std::vector<CErrorState>& records) { LoadStates(records, true); }

void CErrorDatabaseView::LoadStates(const std::vector<CErrorState>& records, bool activeBits) {
  if (!IsOwner() || failed_ || !GetLock()) return;
  const Core::MonotonicTime now = Core::MonotonicTime::Now();
  for (const CErrorState& record : records) {
    CErrorState* entry = FindEntry(*segment_, record.Code, record.Type);
    if (entry == nullptr) continue;
    entry->RaiseCount2 = record.RaiseCount2;
    entry->RaiseCount1 = record.RaiseCount1;
    // Times from a clock that has since restarted would lie in the future.
    if (record.Raised.CompareGT(now) || record.Cleared.CompareGT(now)) {
      entry->Raised = Core::MonotonicTime();
      entry->Cleared = Core::MonotonicTime();
    } else {
      entry->Raised = record.Raised;
      entry->Cleared = record.Cleared;
    }
    if (activeBits) {
      entry->Flags &= static_cast<uint16_t>(~CErrorState::kActive);
      entry->Flags |= record.Flags & CErrorState::kActive;
    }
  }
  ReleaseLock();
}

int CErrorDatabaseView::Update(CErrorDatabase& catalogue) {
  if (failed_ || !GetLock()) return kNoChange;
  std::memcpy(&copy_, segment_, sizeof(Segment));
  ReleaseLock();

  if (copy_.header.Enabled != 1) {
    enabled_ = false;
    return kNoChange;
  }
  // The first look at an enabled database reports every active entry.
  bool first = !enabled_;
  if (first) TakeBaseline();
  int result = kNoChange;
  // While neither header time moved since the baseline, no entry did either.
  if (!IsOwner() && (first || copy_.header.LastRaised.CompareNE(baseline_.LastRaised) ||
                     copy_.header.LastCleared.CompareNE(baseline_.LastCleared))) {
    result = DetectChanges(catalogue, first);
    if (result != kNoChange) catalogue.UpdateTopLevelErrors();
  }
  enabled_ = true;
  return result;
}

void CErrorDatabaseView::TakeBaseline() {
  lastSeen_.resize(kMaxErrors);
  int count = EntriesInUse(copy_.header);
  for (int i = 0; i < count; ++i) lastSeen_[i] = copy_.entries[i].ChangeTime();
  baseline_ = copy_.header;
}

int CErrorDatabaseView::DetectChanges(CErrorDatabase& catalogue, bool all) {
  int result = kNoChange;
  int count = EntriesInUse(copy_.header);
  for (int i = 0; i < count; ++i) {
    const CErrorState& entry = copy_.entries[i];
    const Core::MonotonicTime& changed = entry.ChangeTime();
    if (!all && !changed.CompareGT(lastSeen_[i])) continue;
    if (entry.IsActive()) {
      catalogue.RaiseError(entry.Code, entry.Type, true);
    } else if (!all) {
      catalogue.ClearError(entry.Code, entry.Type, true);
    }
    if (listener_ != nullptr && (!all || entry.IsActive())) listener_->ErrorStateChanged(entry);
    lastSeen_[i] = changed;
    if (entry.IsActive()) {
      result = kSomeActive;
    } else if (result == kNoChange && !all) {
      result = kOnlyCleared;
    }
  }
  return result;
}

void CErrorDatabaseView::GetErrorStates(std::vector<CErrorState>& out) {
  if (!IsOwner()) {
    out.insert(out.end(), copy_.entries, copy_.entries + EntriesInUse(copy_.header));
    return;
  }
  if (failed_) return;
  // Room first, so that nothing under the lock can throw and keep it held.
  out.reserve(out.size() + kMaxErrors);
  if (!GetLock()) return;
  out.insert(out.end(), segment_->entries, segment_->entries + EntriesInUse(segment_->header));
  ReleaseLock();
}

int CErrorDatabaseView::GetErrorKey(int index, unsigned& code, int& type) {
  if (failed_ || !GetLock()) return -1;
  bool inUse = index >= 0 && index < EntriesInUse(segment_->header);
  if (inUse) {
    code = segment_->entries[index].Code;
    type = segment_->entries[index].Type;
  }
  ReleaseLock();
  return inUse ? 1 : -1;
}

int CErrorDatabaseView::FindErrorIndex(unsigned code, int type) const {
  if (IsOwner()) return -1;
  const CErrorState* entry = FindEntry(copy_, code, type);
  return entry == nullptr ? -1 : static_cast<int>(entry - copy_.entries);
}

void CErrorDatabaseView::GetErrorState(unsigned code, int type, CErrorState& out) const {
  if (IsOwner()) return;
  const CErrorState* entry = FindEntry(copy_, code, type);
  if (entry != nullptr) out = *entry;
}

}  // namespace Faultwright
