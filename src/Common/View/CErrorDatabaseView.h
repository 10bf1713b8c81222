// CErrorDatabaseView: the live error states of the catalogue, shared between
// the processes of the unit through one System V shared-memory segment and
// guarded by one System V semaphore, both under the key ftok(".", 0x44) of the
// working directory.
//
// One process, the owner (constructed with owner nonzero and, once per unit,
// with initialise), places the catalogue's errors in the segment (SetErrors),
// enables it (SetEnabled(true)) and from then on raises and clears them. Any
// number of readers (owner 0, initialise false) call Update(catalogue) from
// time to time: it copies the segment under the lock, finds what changed since
// the last look and hands it, silently, to their own catalogue and listener.
//
// Every access to the segment holds the lock; a lock attempt waits at most
// 2 ms and an operation gives up after 5 of them, printing
// "unable to obtain lock". A failing system call is printed as perror prints
// it and sets a sticky error flag, after which the locked operations refuse
// quietly; such a view must be destroyed and constructed again. The segment's
// Count is never trusted beyond the table's 400 entries. Nothing here detaches
// or removes the segment or the semaphore. A view is used by one thread at a
// time.
//
// Whoever may write the segment or the semaphore can forge the live errors,
// so the owner takes over existing ones only when they are its own user's
// (made by it and still owned by it); otherwise it refuses, printing which
// object is in the way and the command that removes it. Readers attach to
// whatever is there. The creation modes stay 0644 and 0666: readers of other
// users need them.
#ifndef FAULTWRIGHT_COMMON_CERRORDATABASEVIEW_H
#define FAULTWRIGHT_COMMON_CERRORDATABASEVIEW_H

#include <sys/ipc.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <type_traits>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/View/CErrorState.h"
#include "Common/View/CErrorStateListener.h"
#include "Identifiers/CErrorKey.h"
#include "Platform/Core/MonotonicTime.h"

namespace Faultwright {

class CErrorDatabaseView {
 public:
  static constexpr int kMaxErrors = 400;  // entries in the segment's table
  // The project id of the segment's and the semaphore's key, ftok(".", kKeyId).
  static constexpr int kKeyId = 0x44;

  // The first 24 bytes of the segment.
  struct Header {
    uint32_t Enabled;                 // 1 while the owner has the database enabled
    int32_t Count;                    // entries in use from the start of the table
    Core::MonotonicTime LastRaised;   // latest raise of any entry
    Core::MonotonicTime LastCleared;  // latest clear of any entry
  };
  // The whole segment, 11224 bytes.
  struct Segment {
    Header header;
    CErrorState entries[kMaxErrors];
  };

  // Results of Update.
  static constexpr int kNoChange = 0;     // nothing to report, or refused
  static constexpr int kSomeActive = 1;   // a reported entry is active
  static constexpr int kOnlyCleared = 2;  // entries changed, all of them now inactive

  // Attaches to (creating if need be) the segment and semaphore of the working
  // directory. With initialise, zeroes the segment and frees the lock: only
  // one living process may do so. An owner without initialise frees only a
  // new lock (IsNew). A failure, or an owner's refusal of another user's
  // objects, is printed and leaves HasFailed(). The view's messages go to
  // messageOutput (standard error unless given; null keeps them back).
  CErrorDatabaseView(bool initialise, int owner, std::FILE* messageOutput = stderr);
  CErrorDatabaseView(const CErrorDatabaseView&) = delete;
  CErrorDatabaseView& operator=(const CErrorDatabaseView&) = delete;

  // The sticky error flag: a system call failed; locked operations refuse.
  bool HasFailed() const { return failed_; }
  bool IsOwner() const { return owner_ != 0; }
  // Owner: whether construction found the segment or the semaphore set new
  // (this view made the segment; no process had yet operated on the set), so
  // that the table, the states and the Enabled word must be placed again. An
  // owner constructed without initialise adds the unit that frees a new lock
  // itself: nobody holds it, and nobody else would.
  bool IsNew() const { return isNew_; }
  // Whether another process removed the segment or the semaphore set (say
  // with ipcrm) since construction, or they cannot be looked at: the view
  // sets its sticky flag, since whatever it writes now no later view sees.
  // False once the flag is set.
  bool IsRemoved();

  // Whether the segment's Enabled word is 1; false when refused.
  bool IsEnabled();
  // Owner: enables or disables the database in the segment.
  void SetEnabled(bool on);

  // Owner, enabled: raise or clear the entry (code, type) with the time of now.
  // An entry already in that state, or no entry, is left alone. The list forms
  // take the lock once and give every pair the same time.
  void RaiseError(unsigned code, int type);
  void ClearError(unsigned code, int type);
  void RaiseErrors(const std::vector<CErrorKey>& keys);
  void ClearErrors(const std::vector<CErrorKey>& keys);

  // Owner: places the catalogue's records, in Errors() order, as the entries;
  // their states are left as they are. Beyond 400 records the rest is left
  // out, with one line on standard error.
  void SetErrors(const CErrorDatabase& catalogue);
  // Owner: loads counters and times (never the active bit) from records as
  // GetErrorStates hands them out. A record with a time later than now keeps
  // its counters but loses both times.
  void RestoreErrorStates(const std::vector<CErrorState>& records);
  // Owner: as RestoreErrorStates, and the active bit as well: takes over the
  // states that an earlier owner left, without a raise or a clear.
  void ResumeErrorStates(const std::vector<CErrorState>& records);
  // Owner: puts back what SetErrors(catalogue) placed (Count, and the codes
  // and types of the entries) wherever another process changed it, and says
  // so on standard error. Returns how many of these it put back, or -1 when
  // refused.
  int RepairErrors(const CErrorDatabase& catalogue);

  // Both roles: copies the segment. A reader then raises or clears the changed
  // entries silently in catalogue, tells its listener, runs the catalogue's
  // UpdateTopLevelErrors() if anything changed, and returns kSomeActive or
  // kOnlyCleared. The first Update that finds the database enabled reports
  // every active entry. kNoChange otherwise, always for the owner.
  int Update(CErrorDatabase& catalogue);

  // Appends the entries in use to out: the owner's from the segment, a
  // reader's from its local copy of the last Update.
  void GetErrorStates(std::vector<CErrorState>& out);
  // From the segment: the identity of entry index; 1, or -1 (code and type
  // untouched) when index is not in use or the lock was not obtained.
  int GetErrorKey(int index, unsigned& code, int& type);
  // Reader, local copy: the index of the first entry (code, type), or -1
  // (always -1 for the owner).
  int FindErrorIndex(unsigned code, int type) const;
  // Reader, local copy: copies the first entry (code, type) into out; out is
  // untouched when there is none, and for the owner.
  void GetErrorState(unsigned code, int type, CErrorState& out) const;

  // Not owned; null removes it.
  void SetListener(CErrorStateListener* listener) { listener_ = listener; }

 private:
  // One unit of the semaphore, at most 5 attempts of 2 ms each.
  bool GetLock();
  bool ReleaseLock();
  // The failing call's message through perror, and the sticky flag.
  void Fail(const char* what);
  // Owner: whether the segment and the semaphore set are this user's own; the
  // sticky flag and a message naming each that is not.
  // lockNeverUsed: no process has operated on the semaphore set yet.
  bool OwnsObjects(key_t key, bool& lockNeverUsed);
  bool IsOwnObject(const ipc_perm& permissions, key_t key, const char* kind, int id, const char* removal);

  // Under the lock: SetErrors' table; how many of Count, codes and types changed.
  int PlaceErrors(const CErrorDatabase& catalogue);
  void LoadStates(const std::vector<CErrorState>& records, bool activeBits);

  // Under the lock: the change of one entry at time now.
  void RaiseEntry(unsigned code, int type, const Core::MonotonicTime& now);
  void ClearEntry(unsigned code, int type, const Core::MonotonicTime& now);

  void TakeBaseline();
  int DetectChanges(CErrorDatabase& catalogue, bool all);

  bool failed_ = false;
  bool enabled_ = false;
  bool isNew_ = false;
  Segment* segment_ = nullptr;
  int segmentId_ = -1;
  int semaphoreId_ = -1;
  Segment copy_;
  Header baseline_;
  std::vector<Core::MonotonicTime> lastSeen_;
  int owner_;
  std::FILE* messageOutput_;
  CErrorStateListener* listener_ = nullptr;
};

static_assert(sizeof(CErrorDatabaseView::Header) == 24, "the segment's header is 24 bytes");
static_assert(sizeof(CErrorDatabaseView::Segment) == 11224, "the segment is 11224 bytes");
static_assert(std::is_standard_layout<CErrorDatabaseView::Segment>::value, "the segment is shared memory");
static_assert(std::is_trivially_copyable<CErrorDatabaseView::Segment>::value, "the segment is copied as bytes");
static_assert(offsetof(CErrorDatabaseView::Header, Enabled) == 0, "Enabled at 0");
static_assert(offsetof(CErrorDatabaseView::Header, Count) == 4, "Count at 4");
static_assert(offsetof(CErrorDatabaseView::Header, LastRaised) == 8, "LastRaised at 8");
static_assert(offsetof(CErrorDatabaseView::Header, LastCleared) == 16, "LastCleared at 16");
static_assert(offsetof(CErrorDatabaseView::Segment, entries) == 24, "the table follows the header");

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_CERRORDATABASEVIEW_H
