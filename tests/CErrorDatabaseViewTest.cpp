// The shared-memory view: owner and readers, its lock, and segments and
// semaphore sets as other processes leave them. Each test has a working
// directory, and so a segment and a semaphore set, of its own.
//
// This executable alone is linked with -Wl,--wrap=semtimedop
// (tests/CMakeLists.txt), so every timed lock attempt of the static library
// comes here first: while a test watches, the wrapper records each attempt's
// time-out and may answer as the kernel does for a wait cut short by a signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ptrace.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/stat.h>

#include <chrono>
#include <deque>
#include <memory>
#include <new>
#include <random>

#include "Support/ChildBody.h"
#include "Support/SegmentDirectory.h"
#include "Support/SyntheticCatalogue.h"

namespace {

bool failAllocations = false;  // makes operator new throw, for the owner's GetErrorStates

struct LockScript {
  bool watching = false;
  int interruptions = 0;          // the next calls that answer EINTR
  std::vector<int64_t> timeouts;  // of every call, in nanoseconds
};
LockScript script;

}  // namespace

extern "C" int __real_semtimedop(int set, sembuf* operations, size_t count, const timespec* timeout);

extern "C" int __wrap_semtimedop(int set, sembuf* operations, size_t count, const timespec* timeout) {
  if (!script.watching) return __real_semtimedop(set, operations, count, timeout);
  script.timeouts.push_back(timeout == nullptr ? -1 : int64_t{timeout->tv_sec} * 1000000000 + timeout->tv_nsec);
  if (script.interruptions-- <= 0) return __real_semtimedop(set, operations, count, timeout);
  errno = EINTR;
  return -1;
}

// This file's operator new takes its memory from malloc, so free is the match.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// The single-object forms, which every other form either calls or leaves
// alone, are replaced as one set so that no block is freed by a stranger.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return failAllocations ? nullptr : std::malloc(size == 0 ? 1 : size);
}
void* operator new(std::size_t size) {
  void* memory = operator new(size, std::nothrow);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

using namespace Faultwright;
using namespace FaultwrightTest;
using namespace std::chrono_literals;

namespace {

// In these tests every error has the same code, and its number is its type.
const uint32_t kCode = SyntheticCode(0);
const int64_t kTwoMilliseconds = 2000000;

struct StateRecorder : CErrorStateListener {
  void ErrorStateChanged(const CErrorState& state) override {
    heard += (heard.empty() ? "" : " ") + std::string(state.IsActive() ? "+" : "-") + std::to_string(state.Type);
  }
  std::string Heard() { return std::exchange(heard, ""); }
  std::string heard;
};

// A raise or clear copied half-way: the counters apart, or the active bit
// disagreeing with which of the two times is later.
bool IsTorn(const CErrorState& state) {
  return state.RaiseCount1 != state.RaiseCount2 ||
         (state.IsActive() ? state.Raised.CompareLT(state.Cleared) : state.Cleared.CompareLT(state.Raised));
}

class ViewTest : public ::testing::Test {
 protected:
  // The catalogue of errors in the working directory, and its owner: it
  // initialises, places the catalogue and enables it.
  void Place(int errors) {
    WriteSyntheticCatalogue(here_.Path(), std::vector<SyntheticError>(errors));
    catalogue_ = std::make_unique<CErrorDatabase>(here_.Path());
    owner_ = std::make_unique<CErrorDatabaseView>(true, 1);
    owner_->SetErrors(*catalogue_);
    owner_->SetEnabled(true);
  }
  int Semaphores() const { return semget(here_.Key(), 0, 0); }

  SegmentDirectory here_;
  std::unique_ptr<CErrorDatabase> catalogue_;
  std::unique_ptr<CErrorDatabaseView> owner_;
};

TEST_F(ViewTest, ReaderFollowsTheOwner) {
  Place(4);
  CErrorDatabase catalogue(here_.Path());
  CErrorDatabaseView reader(false, 0);
  StateRecorder listener;
  reader.SetListener(&listener);
  owner_->RaiseErrors({{int32_t(kCode), 0}, {int32_t(kCode), 1}});
  EXPECT_EQ(reader.Update(catalogue), CErrorDatabaseView::kSomeActive);  // the first look reports every active entry
  EXPECT_EQ(listener.Heard(), "+0 +1");
  EXPECT_EQ(reader.Update(catalogue), CErrorDatabaseView::kNoChange);
  EXPECT_EQ(listener.Heard(), "");

  owner_->ClearError(kCode, 1);
  EXPECT_EQ(reader.Update(catalogue), CErrorDatabaseView::kOnlyCleared);
  EXPECT_EQ(listener.Heard(), "-1");
  EXPECT_EQ(catalogue.ClearedTopLevelErrors().size(), 1u);

  owner_->ClearError(kCode, 0);
  owner_->RaiseErrors({{int32_t(kCode), 1}, {int32_t(kCode), 2}, {int32_t(kCode), 3}});
  owner_->RaiseError(kCode, 2);  // already active: no time, no count
  EXPECT_EQ(reader.Update(catalogue), CErrorDatabaseView::kSomeActive);
  EXPECT_EQ(listener.Heard(), "-0 +1 +2 +3");
  EXPECT_EQ(catalogue.TopLevelErrors(false).size(), 3u);
  EXPECT_EQ(reader.FindErrorIndex(kCode, 2), 2);

  owner_->SetEnabled(false);
  owner_->RaiseError(kCode, 0);  // refused while disabled
  EXPECT_EQ(reader.Update(catalogue), CErrorDatabaseView::kNoChange);
  owner_->SetEnabled(true);
  EXPECT_EQ(reader.Update(catalogue), CErrorDatabaseView::kSomeActive);  // enabled again: a new first look
  EXPECT_EQ(listener.Heard(), "+1 +2 +3");

  std::vector<CErrorState> states;
  owner_->GetErrorStates(states);
  EXPECT_EQ(states[1].RaiseCount2, 2);
  EXPECT_EQ(states[2].RaiseCount1, 1);
  EXPECT_FALSE(states[1].Raised.CompareNE(states[2].Raised));  // one time for the list

  // Restored: counters always, times unless they lie ahead (the clock has
  // restarted since), never the active bit.
  states[0] = {kCode, 0, CErrorState::kActive, 9, 9, Core::MonotonicTime::Timer(60000), {}};
  owner_->RestoreErrorStates(states);
  states.clear();
  owner_->GetErrorStates(states);
  EXPECT_TRUE(states[0].RaiseCount1 == 9 && states[0].Raised.IsZero() && !states[0].IsActive());
}

TEST_F(ViewTest, TheLockIsFiveAttemptsOfTwoMillisecondsAndNotKeptWhenTheListCannotGrow) {
  Place(3);
  CErrorDatabaseView& view = *owner_;
  // Held elsewhere (here by the test itself, with SEM_UNDO as every view
  // takes it): five attempts of 2 ms, one line, no failure. A signal uses up
  // no attempt: the interrupted one waits out what is left of its 2 ms.
  sembuf take = {0, -1, SEM_UNDO}, give = {0, 1, SEM_UNDO};
  ASSERT_EQ(semop(Semaphores(), &take, 1), 0);
  for (int interruptions : {0, 1}) {
    SCOPED_TRACE(interruptions);
    script = {true, interruptions, {}};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(view.IsEnabled());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "unable to obtain lock\n");
    EXPECT_FALSE(view.HasFailed());
    ASSERT_EQ(script.timeouts.size(), 5u + interruptions);
    if (interruptions == 1) {
      EXPECT_LT(script.timeouts[1], kTwoMilliseconds);
      script.timeouts.erase(script.timeouts.begin() + 1);
    }
    EXPECT_EQ(script.timeouts, std::vector<int64_t>(5, kTwoMilliseconds));
  }
  // Given back: the next operation starts afresh, and a free lock takes one call.
  ASSERT_EQ(semop(Semaphores(), &give, 1), 0);
  script = {true, 0, {}};
  EXPECT_TRUE(view.IsEnabled());
  EXPECT_EQ(script.timeouts, std::vector<int64_t>{kTwoMilliseconds});
  script = {};

  // Nothing that may throw is done under the lock.
  std::vector<CErrorState> states;
  failAllocations = true;
  EXPECT_THROW(view.GetErrorStates(states), std::bad_alloc);
  failAllocations = false;
  EXPECT_EQ(here_.LockValue(), 1);
}

TEST_F(ViewTest, KilledOwnerGivesTheLockBack) {
  Place(1);
  ChildBody killed([] {
    CErrorDatabaseView view(false, 1);
    view.SetEnabled(true);
    // Traced from here on, it stops at every system call.
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0 || raise(SIGSTOP) != 0) return 1;
    for (;;) {
      view.RaiseError(kCode, 0);
      view.ClearError(kCode, 0);
    }
  });
  int status = 0;
  ASSERT_EQ(waitpid(killed.Pid(), &status, 0), killed.Pid());
  ASSERT_TRUE(WIFSTOPPED(status));
  ASSERT_EQ(ptrace(PTRACE_SETOPTIONS, killed.Pid(), nullptr, PTRACE_O_EXITKILL), 0);

  // Stopped at a system call, the owner cannot take or give the lock: once it
  // is seen held there (no later than the release that follows a take), the
  // kill meets it holding the lock.
  bool caught = false;
  for (int stop = 0; stop < 100 && !caught; ++stop) {
    if (ptrace(PTRACE_SYSCALL, killed.Pid(), nullptr, nullptr) != 0 ||
        waitpid(killed.Pid(), &status, 0) != killed.Pid() || !WIFSTOPPED(status)) {
      break;
    }
    caught = here_.LockValue() == 0;
  }
  kill(killed.Pid(), SIGKILL);
  killed.Reap();
  ASSERT_TRUE(caught);
  EXPECT_EQ(here_.LockValue(), 1);
  EXPECT_TRUE(owner_->IsEnabled());
}

TEST_F(ViewTest, AnOwnerAttachedAfreshFreesOnlyANewLock) {
  CErrorDatabaseView first(true, 1);
  CErrorDatabaseView again(false, 1);  // the lock is in use: no second unit
  EXPECT_FALSE(again.IsNew());
  EXPECT_EQ(here_.LockValue(), 1);

  // Removed under the owner; a reader of the same user makes the set anew, held.
  ASSERT_EQ(semctl(Semaphores(), 0, IPC_RMID), 0);
  EXPECT_TRUE(first.IsRemoved());
  CErrorDatabaseView reader(false, 0);
  EXPECT_EQ(here_.LockValue(), 0);
  CErrorDatabaseView renewed(false, 1);
  EXPECT_TRUE(renewed.IsNew());
  EXPECT_EQ(here_.LockValue(), 1);

  // A removed segment lives on for those attached, without a key.
  ASSERT_EQ(shmctl(shmget(here_.Key(), 0, 0), IPC_RMID, nullptr), 0);
  EXPECT_TRUE(renewed.IsRemoved());
  CErrorDatabaseView afterSegment(false, 1);
  EXPECT_TRUE(afterSegment.IsNew());
  EXPECT_FALSE(afterSegment.IsRemoved());
  EXPECT_EQ(here_.LockValue(), 1);

  // A working directory removed lives on while it is one, and so does its
  // key: a view made now meets the same segment, quietly.
  ASSERT_EQ(rmdir(here_.Path().c_str()), 0);
  CErrorDatabaseView late(false, 1);
  EXPECT_FALSE(late.HasFailed() || late.IsNew() || late.IsRemoved());
}

TEST_F(ViewTest, AFailedKeyRefusesEverything) {
  // Without search permission on the working directory ftok cannot stat it
  // (root must give up its privileges first).
  ASSERT_EQ(mkdir("locked", 0700), 0);
  ChildBody child([] {
    CErrorDatabase catalogue("", nullptr);
    if (dup2(open("said", O_CREAT | O_WRONLY, 0644), 2) != 2 || chdir("locked") != 0 || chmod(".", 0) != 0 ||
        (geteuid() == 0 && setuid(65534) != 0)) {
      return 2;
    }
    CErrorDatabaseView view(false, 0);
    unsigned code = 7;
    int type = 7;
    return view.HasFailed() && !view.IsEnabled() && view.GetErrorKey(0, code, type) == -1 &&
                   view.Update(catalogue) == CErrorDatabaseView::kNoChange && code == 7
               ? 0
               : 1;
  });
  EXPECT_EQ(child.Reap(), 0);
  EXPECT_EQ(ReadFile("said"), "CErrorDatabaseView::CErrorDatabaseView ftok: Permission denied\n");
  chmod("locked", 0700);
}

TEST_F(ViewTest, CountIsNeverTrustedBeyondTheTable) {
  testing::internal::CaptureStderr();
  Place(450);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "CErrorDatabaseView::SetErrors: 50 errors beyond the table's 400 left out\n");
  CErrorDatabaseView::Segment* segment = here_.Segment();
  EXPECT_EQ(segment->header.Count, 400);

  // Another process writes a Count the table cannot hold: the owner's writes
  // and every read stay within the table.
  for (int count : {1 << 30, -7}) {
    SCOPED_TRACE(count);
    segment->header.Count = count;
    owner_->RaiseError(SyntheticCode(449), SyntheticType(449));  // left out: looked for through the whole table
    CErrorDatabaseView reader(false, 0);
    reader.Update(*catalogue_);
    for (CErrorDatabaseView* view : {&reader, owner_.get()}) {
      std::vector<CErrorState> seen;
      view->GetErrorStates(seen);
      EXPECT_EQ(seen.size(), count > 0 ? 400u : 0u);
    }
    unsigned code;
    int type;
    EXPECT_EQ(reader.GetErrorKey(400, code, type) + reader.GetErrorKey(-1, code, type), -2);
    EXPECT_EQ(reader.GetErrorKey(399, code, type), count > 0 ? 1 : -1);
  }
  shmdt(segment);
}

TEST_F(ViewTest, ReadersUnderStressNeverSeeTornEntries) {
  const int size = 40;
  const int readerCount = 3;
  Place(size);
  int looking[2];
  ASSERT_EQ(pipe2(looking, O_NONBLOCK), 0);
  std::deque<ChildBody> readers;
  for (int i = 0; i < readerCount; ++i) {
    readers.emplace_back([&] {
      CErrorDatabase own(here_.Path());
      CErrorDatabaseView reader(false, 0);
      std::vector<CErrorState> states;
      for (int looks = 1;; ++looks) {
        // Once the owner has stopped, the lock is only the readers' for a
        // copy's time: of three looks, one is a real copy.
        const bool last = access("stopped", F_OK) == 0;
        for (int look = 0; look < (last ? 3 : 1); ++look) reader.Update(own);
        states.clear();
        reader.GetErrorStates(states);
        for (const CErrorState& state : states) {
          if (IsTorn(state)) return 2;
        }
        if (looks == 100 && write(looking[1], "x", 1) != 1) return 3;
        if (last) break;
      }
      // The reader's catalogue is the segment as the owner left it.
      const CErrorDatabaseView::Segment* left = here_.Segment();
      for (int n = 0; n < size; ++n) {
        if (own.FindError(SyntheticCode(n), SyntheticType(n))->IsActive() != left->entries[n].IsActive()) return 4;
      }
      return 0;
    });
  }
  // A raise or clear may be lost to the lock while a reader that holds it is
  // kept from the processor; the readers agree with whatever the owner left.
  std::mt19937 random(7);
  int ready = 0;
  const auto start = std::chrono::steady_clock::now();
  auto since = [&] { return std::chrono::steady_clock::now() - start; };
  while ((ready < readerCount || since() < 2s) && since() < 60s) {
    const int n = static_cast<int>(random() % size);
    random() % 2 ? owner_->RaiseError(SyntheticCode(n), SyntheticType(n))
                 : owner_->ClearError(SyntheticCode(n), SyntheticType(n));
    char byte;
    ready += read(looking[0], &byte, 1) == 1;
  }
  EXPECT_EQ(ready, readerCount);
  close(open("stopped", O_CREAT | O_WRONLY, 0644));
  for (ChildBody& reader : readers) EXPECT_EQ(reader.Reap(), 0);
  close(looking[0]);
  close(looking[1]);
}

}  // namespace
