// The shared-memory view between real processes. Each test runs in a working
// directory of its own, so that its key is its own, and removes the segment
// and the semaphore set when it ends.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/ptrace.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "Common/View/CErrorDatabaseView.h"
#include "Support/SharedSegment.h"
#include "Support/SyntheticCatalogue.h"
#include "Support/TestSupport.h"

namespace {
bool failAllocations = false;  // makes operator new throw, for the owner's GetErrorStates
}  // namespace

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
using Clock = std::chrono::steady_clock;

namespace {

struct Pipe {
  int read = -1, write = -1;
  Pipe() {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    read = fds[0];
    write = fds[1];
  }
  ~Pipe() {
    close(read);
    close(write);
  }
  void Send(const std::string& line) const {
    std::string text = line + "\n";
    if (::write(write, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
  }
  // The next line, or "" at the end of input.
  std::string Receive() const {
    std::string line;
    char c;
    while (::read(read, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }
  void CloseWrite() {
    close(write);
    write = -1;
  }
  bool HasInput() const {
    pollfd poller = {read, POLLIN, 0};
    return poll(&poller, 1, 0) == 1;
  }
};

template <typename Body>
pid_t Child(Body body) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    // Never back into the test runner: a child that fails ends with status 1.
    try {
      body();
    } catch (...) {
      _exit(1);
    }
    _exit(0);
  }
  return pid;
}

int Reap(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

long Milliseconds(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// In the view tests every error has the same code, and its number is its type.
const uint32_t kCode = SyntheticCode(0);

// The owner in a process of its own: it initialises, places and enables the
// catalogue of the working directory, then raises ("+n"), clears ("-n"),
// enables ("e") or disables ("d") on command.
class OwnerProcess {
 public:
  OwnerProcess(const std::string& directory) {
    pid_ = Child([&] {
      commands_.CloseWrite();
      CErrorDatabase catalogue(directory);
      CErrorDatabaseView view(true, 1);
      view.SetErrors(catalogue);
      view.SetEnabled(true);
      replies_.Send("ready");
      for (std::string command; !(command = commands_.Receive()).empty();) {
        int n = command.size() > 1 ? std::stoi(command.substr(1)) : 0;
        if (command[0] == '+') view.RaiseError(SyntheticCode(n), SyntheticType(n));
        if (command[0] == '-') view.ClearError(SyntheticCode(n), SyntheticType(n));
        if (command[0] == 'e' || command[0] == 'd') view.SetEnabled(command[0] == 'e');
        replies_.Send("done");
      }
    });
    replies_.CloseWrite();  // so that a lost owner shows as the end of its replies
    replies_.Receive();
  }
  ~OwnerProcess() {
    commands_.CloseWrite();
    Reap(pid_);
  }
  void Do(const std::string& command) {
    commands_.Send(command);
    replies_.Receive();
  }

 private:
  Pipe commands_, replies_;
  pid_t pid_;
};

class StateRecorder : public CErrorStateListener {
 public:
  void ErrorStateChanged(const CErrorState& state) override {
    heard_ += (heard_.empty() ? "" : " ") + std::string(state.IsActive() ? "+" : "-") + std::to_string(state.Type);
  }
  std::string Heard() { return std::exchange(heard_, ""); }

 private:
  std::string heard_;
};

std::vector<int> Types(const std::vector<CError*>& errors) {
  std::vector<int> types;
  for (const CError* error : errors) types.push_back(error->Type());
  return types;
}

// A raise or clear copied half-way: the counters apart, or the active bit
// disagreeing with which of the two times is later.
bool IsTorn(const CErrorState& state) {
  return state.RaiseCount1 != state.RaiseCount2 ||
         (state.IsActive() ? state.Raised.CompareLT(state.Cleared) : state.Cleared.CompareLT(state.Raised));
}

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A directory whose key happens to be in use already is passed over.
    for (;;) {
      directory_ = std::make_unique<TempDirectory>();
      key_t key = ftok(directory_->Path().c_str(), CErrorDatabaseView::kKeyId);
      ASSERT_NE(key, -1);
      if (shmget(key, 0, 0) == -1 && semget(key, 0, 0) == -1) break;
    }
    ASSERT_NE(getcwd(previous_, sizeof previous_), nullptr);
    ASSERT_EQ(chdir(directory_->Path().c_str()), 0);
  }
  void TearDown() override {
    FaultwrightTest::RemoveSharedSegment(".");
    EXPECT_EQ(chdir(previous_), 0);
  }

  const std::string& Directory() const { return directory_->Path(); }
  int Semaphore() const { return semget(ftok(".", CErrorDatabaseView::kKeyId), 0, 0); }
  int LockValue() const { return semctl(Semaphore(), 0, GETVAL); }

 private:
  std::unique_ptr<TempDirectory> directory_;
  char previous_[4096];
};

TEST_F(ViewTest, ReaderFollowsTheOwner) {
  std::vector<SyntheticError> errors(4);
  errors[3].triggerSets.push_back({{0}, false, 1});
  WriteSyntheticCatalogue(Directory(), errors);
  OwnerProcess owner(Directory());
  owner.Do("+0");
  owner.Do("+1");

  CErrorDatabase catalogue(Directory());
  CErrorDatabaseView reader(false, 0);
  StateRecorder listener;
  reader.SetListener(&listener);
  EXPECT_EQ(reader.Update(catalogue), 1);  // the first look reports every active entry
  EXPECT_EQ(listener.Heard(), "+0 +1");
  EXPECT_EQ(Types(catalogue.TopLevelErrors(false)), (std::vector<int>{0, 1}));
  EXPECT_EQ(reader.Update(catalogue), 0);
  EXPECT_EQ(listener.Heard(), "");

  owner.Do("-1");
  EXPECT_EQ(reader.Update(catalogue), 2);
  EXPECT_EQ(listener.Heard(), "-1");
  EXPECT_FALSE(catalogue.FindError(kCode, 1)->IsActive());
  EXPECT_EQ(Types(catalogue.ClearedTopLevelErrors()), (std::vector<int>{1}));

  owner.Do("-0");
  owner.Do("+2");
  owner.Do("+3");
  EXPECT_EQ(reader.Update(catalogue), 1);
  EXPECT_EQ(listener.Heard(), "-0 +2 +3");
  EXPECT_EQ(Types(catalogue.TopLevelErrors(false)), (std::vector<int>{2, 3}));

  owner.Do("+2");  // already active: no time, no count
  EXPECT_EQ(reader.Update(catalogue), 0);
  owner.Do("+1");
  EXPECT_EQ(reader.Update(catalogue), 1);
  EXPECT_EQ(listener.Heard(), "+1");
  CErrorState state = {};
  reader.GetErrorState(kCode, 1, state);
  EXPECT_TRUE(state.IsActive());
  EXPECT_EQ(state.RaiseCount1, 2);
  EXPECT_EQ(state.RaiseCount2, 2);
  EXPECT_FALSE(state.Cleared.IsZero());
  EXPECT_TRUE(state.Raised.CompareGT(state.Cleared));
  EXPECT_EQ(reader.FindErrorIndex(kCode, 2), 2);
  EXPECT_EQ(reader.FindErrorIndex(kCode, 9), -1);

  owner.Do("d");
  owner.Do("+0");  // refused while disabled
  EXPECT_EQ(reader.Update(catalogue), 0);
  EXPECT_EQ(listener.Heard(), "");
  owner.Do("e");
  EXPECT_EQ(reader.Update(catalogue), 1);  // enabled again: a new first look
  EXPECT_EQ(listener.Heard(), "+1 +2 +3");
}

TEST_F(ViewTest, OwnerKeepsCountersTimesAndGuards) {
  WriteSyntheticCatalogue(Directory(), std::vector<SyntheticError>(3));
  CErrorDatabase catalogue(Directory());
  CErrorDatabaseView owner(true, 1);
  owner.SetErrors(catalogue);
  owner.RaiseError(kCode, 0);  // not enabled yet
  EXPECT_FALSE(owner.IsEnabled());
  owner.SetEnabled(true);
  EXPECT_TRUE(owner.IsEnabled());
  EXPECT_EQ(owner.Update(catalogue), 0);

  std::vector<CErrorState> states;
  owner.GetErrorStates(states);
  EXPECT_EQ(states[0].RaiseCount1, 0);
  owner.RaiseErrors({{int32_t(kCode), 0}, {int32_t(kCode), 1}, {int32_t(kCode), 7}});
  owner.GetErrorStates(states);  // appended
  ASSERT_EQ(states.size(), 6u);
  EXPECT_FALSE(states[3].Raised.CompareNE(states[4].Raised));  // one time for the list
  owner.ClearErrors({{int32_t(kCode), 0}});
  owner.RaiseError(kCode, 0);
  states.clear();
  owner.GetErrorStates(states);
  EXPECT_TRUE(states[0].IsActive() && states[1].IsActive() && !states[2].IsActive());
  EXPECT_EQ(states[0].RaiseCount1 + states[0].RaiseCount2, 4);
  EXPECT_TRUE(states[0].Raised.CompareGT(states[0].Cleared) && states[0].Cleared.CompareGT(states[1].Raised));

  // A reader's lookups only; the owner's key lookups read the segment.
  CErrorState untouched = {};
  untouched.Code = 99;
  owner.GetErrorState(kCode, 0, untouched);
  EXPECT_EQ(untouched.Code, 99u);
  EXPECT_EQ(owner.FindErrorIndex(kCode, 0), -1);
  unsigned code = 5;
  int type = 5;
  EXPECT_EQ(owner.GetErrorKey(3, code, type), -1);
  EXPECT_EQ(owner.GetErrorKey(-1, code, type), -1);
  EXPECT_EQ(type, 5);
  EXPECT_EQ(owner.GetErrorKey(2, code, type), 1);
  EXPECT_EQ(code, kCode);
  EXPECT_EQ(type, 2);

  // Restored: counters always, times unless they lie ahead, never the active bit.
  CErrorState future = states[2], past = states[1], unknown = states[1];
  future.RaiseCount1 = 5;
  future.RaiseCount2 = 6;
  future.Raised = Core::MonotonicTime::Timer(60000);
  future.Flags = CErrorState::kActive;
  past.RaiseCount1 = past.RaiseCount2 = 9;
  past.Raised = Core::MonotonicTime(1, 0);
  past.Cleared = Core::MonotonicTime(2, 0);
  past.Flags = 0;
  unknown.Type = 8;
  owner.RestoreErrorStates({future, past, unknown});
  states.clear();
  owner.GetErrorStates(states);
  EXPECT_EQ(states[2].RaiseCount1, 5);
  EXPECT_EQ(states[2].RaiseCount2, 6);
  EXPECT_TRUE(states[2].Raised.IsZero() && states[2].Cleared.IsZero() && !states[2].IsActive());
  EXPECT_EQ(states[1].RaiseCount1, 9);
  EXPECT_EQ(states[1].Raised.Seconds(), 1u);
  EXPECT_EQ(states[1].Cleared.Seconds(), 2u);
  EXPECT_TRUE(states[1].IsActive());
}

TEST_F(ViewTest, LockHeldElsewhereRefusesThenRecovers) {
  WriteSyntheticCatalogue(Directory(), std::vector<SyntheticError>(1));
  CErrorDatabaseView view(true, 1);
  view.SetEnabled(true);
  Pipe held, go;
  pid_t holder = Child([&] {
    sembuf take = {0, -1, SEM_UNDO}, give = {0, 1, SEM_UNDO};
    if (semop(Semaphore(), &take, 1) != 0) std::abort();
    held.Send("held");
    go.Receive();
    usleep(6000);  // the view waits meanwhile, its waits cut short by signals
    if (semop(Semaphore(), &give, 1) != 0) std::abort();
  });
  held.Receive();

  testing::internal::CaptureStderr();
  Clock::time_point start = Clock::now();
  EXPECT_FALSE(view.IsEnabled());
  EXPECT_GE(Milliseconds(start), 9);  // five attempts of 2 ms
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "unable to obtain lock\n");
  EXPECT_FALSE(view.HasFailed());

  // A storm of signals neither fails a view nor ends its wait early.
  struct sigaction ignore = {};
  ignore.sa_handler = [](int) {};
  ignore.sa_flags = SA_RESTART;
  struct sigaction previous;
  sigaction(SIGALRM, &ignore, &previous);
  itimerval storm = {{0, 200}, {0, 200}}, calm = {};
  setitimer(ITIMER_REAL, &storm, nullptr);
  testing::internal::CaptureStderr();
  start = Clock::now();
  EXPECT_FALSE(view.IsEnabled());
  long waited = Milliseconds(start);
  go.Send("go");
  // The holder gives the lock back 6 ms from now, or later on a loaded
  // machine: until then each operation gives up as the first did.
  int refusals = 1;
  bool recovered = false;
  while (!recovered && refusals < 100) {
    recovered = view.IsEnabled();
    if (!recovered) ++refusals;
  }
  setitimer(ITIMER_REAL, &calm, nullptr);
  sigaction(SIGALRM, &previous, nullptr);
  std::string expected;
  for (int n = 0; n < refusals; ++n) expected += "unable to obtain lock\n";
  EXPECT_EQ(testing::internal::GetCapturedStderr(), expected);
  EXPECT_GE(waited, 9);
  EXPECT_LT(waited, 1000);
  EXPECT_TRUE(recovered);
  EXPECT_FALSE(view.HasFailed());
  EXPECT_EQ(Reap(holder), 0);
}

TEST_F(ViewTest, KilledOwnerGivesTheLockBack) {
  WriteSyntheticCatalogue(Directory(), std::vector<SyntheticError>(1));
  CErrorDatabase catalogue(Directory());
  CErrorDatabaseView initialiser(true, 1);
  initialiser.SetErrors(catalogue);
  pid_t owner = Child([&] {
    CErrorDatabaseView view(false, 1);
    view.SetEnabled(true);
    // Traced from here on, it stops at every system call.
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0 || raise(SIGSTOP) != 0) std::abort();
    for (;;) {
      view.RaiseError(kCode, 0);
      view.ClearError(kCode, 0);
    }
  });
  int status = 0;
  ASSERT_EQ(waitpid(owner, &status, 0), owner);
  ASSERT_TRUE(WIFSTOPPED(status));
  ASSERT_EQ(ptrace(PTRACE_SETOPTIONS, owner, nullptr, PTRACE_O_EXITKILL), 0);

  // Stopped at a system call, the owner cannot take or give the lock: once it
  // is seen held there (no later than the release that follows a take), the
  // kill meets it holding the lock.
  bool caught = false;
  for (int stop = 0; stop < 100 && !caught; ++stop) {
    if (ptrace(PTRACE_SYSCALL, owner, nullptr, nullptr) != 0 || waitpid(owner, &status, 0) != owner ||
        !WIFSTOPPED(status)) {
      break;
    }
    caught = LockValue() == 0;
  }
  kill(owner, SIGKILL);
  Reap(owner);
  ASSERT_TRUE(caught);
  EXPECT_EQ(LockValue(), 1);
  EXPECT_TRUE(initialiser.IsEnabled());
}

TEST_F(ViewTest, AnOwnerAttachedAfreshFreesOnlyANewLock) {
  CErrorDatabaseView first(true, 1);
  CErrorDatabaseView again(false, 1);  // the lock is in use: no second unit
  EXPECT_FALSE(again.IsNew());
  EXPECT_FALSE(again.IsRemoved());
  EXPECT_EQ(LockValue(), 1);

  // Removed under the owner; a reader of the same user makes the set anew, held.
  ASSERT_EQ(semctl(Semaphore(), 0, IPC_RMID), 0);
  EXPECT_TRUE(first.IsRemoved());
  EXPECT_TRUE(first.HasFailed());
  CErrorDatabaseView reader(false, 0);
  EXPECT_EQ(LockValue(), 0);
  CErrorDatabaseView renewed(false, 1);
  EXPECT_TRUE(renewed.IsNew());
  EXPECT_EQ(LockValue(), 1);

  // A removed segment lives on for those attached, without a key.
  ASSERT_EQ(shmctl(shmget(ftok(".", CErrorDatabaseView::kKeyId), 0, 0), IPC_RMID, nullptr), 0);
  EXPECT_TRUE(renewed.IsRemoved());
  CErrorDatabaseView afterSegment(false, 1);
  EXPECT_TRUE(afterSegment.IsNew());
  EXPECT_FALSE(afterSegment.IsRemoved());
  EXPECT_EQ(LockValue(), 1);
}

TEST_F(ViewTest, AFailedKeyRefusesEverything) {
  // Without search permission on the working directory ftok cannot stat it
  // (root must give up its privileges first).
  ASSERT_EQ(mkdir("locked", 0700), 0);
  Pipe report;
  pid_t child = Child([&] {
    dup2(report.write, 2);
    if (chdir("locked") != 0 || chmod(".", 0) != 0 || (geteuid() == 0 && setuid(65534) != 0)) std::abort();
    CErrorDatabaseView view(false, 0);
    CErrorDatabase catalogue("");
    unsigned code = 7;
    int type = 7;
    std::fprintf(stderr, "failed=%d enabled=%d key=%d update=%d code=%u\n", view.HasFailed(), view.IsEnabled(),
                 view.GetErrorKey(0, code, type), view.Update(catalogue), code);
  });
  EXPECT_EQ(report.Receive(), "CErrorDatabaseView::CErrorDatabaseView ftok: Permission denied");
  EXPECT_EQ(report.Receive(), "failed=1 enabled=0 key=-1 update=0 code=7");
  EXPECT_EQ(Reap(child), 0);
  chmod("locked", 0700);
}

TEST_F(ViewTest, CountIsNeverTrustedBeyondTheTable) {
  WriteSyntheticCatalogue(Directory(), std::vector<SyntheticError>(450));
  CErrorDatabase catalogue(Directory());
  CErrorDatabaseView owner(true, 1);
  testing::internal::CaptureStderr();
  owner.SetErrors(catalogue);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "CErrorDatabaseView::SetErrors: 50 errors beyond the table's 400 left out\n");
  owner.SetEnabled(true);
  std::vector<CErrorState> states;
  owner.GetErrorStates(states);
  ASSERT_EQ(states.size(), 400u);
  EXPECT_EQ(states[399].Code, catalogue.Errors()[399].Code());
  EXPECT_EQ(states[399].Type, catalogue.Errors()[399].Type());
  owner.RaiseError(SyntheticCode(5), SyntheticType(5));

  // Another process writes a Count the table cannot hold.
  auto* segment =
      static_cast<CErrorDatabaseView::Segment*>(shmat(shmget(ftok(".", CErrorDatabaseView::kKeyId), 0, 0), nullptr, 0));
  ASSERT_NE(segment, reinterpret_cast<void*>(-1));
  for (int count : {1 << 30, -7}) {
    segment->header.Count = count;
    CErrorDatabaseView reader(false, 0);
    EXPECT_EQ(reader.Update(catalogue), count > 0 ? 1 : 0);
    states.clear();
    reader.GetErrorStates(states);
    EXPECT_EQ(states.size(), count > 0 ? 400u : 0u);
    states.clear();
    owner.GetErrorStates(states);
    EXPECT_EQ(states.size(), count > 0 ? 400u : 0u);
    unsigned code;
    int type;
    EXPECT_EQ(reader.GetErrorKey(400, code, type), -1);
    EXPECT_EQ(reader.GetErrorKey(399, code, type), count > 0 ? 1 : -1);
  }
  shmdt(segment);
}

TEST_F(ViewTest, OwnerHoldsNoLockWhenTheListCannotGrow) {
  WriteSyntheticCatalogue(Directory(), std::vector<SyntheticError>(3));
  CErrorDatabase catalogue(Directory());
  CErrorDatabaseView owner(true, 1);
  owner.SetErrors(catalogue);
  std::vector<CErrorState> states;
  failAllocations = true;
  EXPECT_THROW(owner.GetErrorStates(states), std::bad_alloc);
  failAllocations = false;
  EXPECT_EQ(LockValue(), 1);
  owner.GetErrorStates(states);
  EXPECT_EQ(states.size(), 3u);
}

TEST_F(ViewTest, ReadersUnderStressAgreeAndNeverSeeTornEntries) {
  const int size = 40;
  const int readerCount = 3;
  WriteSyntheticCatalogue(Directory(), std::vector<SyntheticError>(size));
  CErrorDatabase catalogue(Directory());
  CErrorDatabaseView owner(true, 1);
  owner.SetErrors(catalogue);
  owner.SetEnabled(true);

  // Readers say when they have looked 100 times, and report after one more
  // look, a real copy, once the owner has stopped.
  Pipe stop, busy, reports;
  std::vector<pid_t> readers;
  for (int i = 0; i < readerCount; ++i) {
    readers.push_back(Child([&] {
      CErrorDatabase own(Directory());
      CErrorDatabaseView reader(false, 0);
      std::vector<CErrorState> states;
      int torn = 0, disagree = 0;
      for (int updates = 1;; ++updates) {
        const bool last = stop.HasInput();
        // Once the owner has stopped, the lock is only the readers' for a
        // copy's time: of three looks, one is a real copy.
        for (int look = 0; look < (last ? 3 : 1); ++look) reader.Update(own);
        states.clear();
        reader.GetErrorStates(states);
        for (const CErrorState& state : states) torn += IsTorn(state);
        if (updates == 100) busy.Send("busy");
        if (last) break;
      }
      std::string active;
      for (const CErrorState& state : states) {
        disagree += own.FindError(state.Code, state.Type)->IsActive() != state.IsActive();
        active += state.IsActive() ? '1' : '0';
      }
      reports.Send(std::to_string(torn) + " " + std::to_string(disagree) + " " + active);
    }));
  }

  // A raise or clear may be lost to the lock when a reader is kept from the
  // processor while it holds it; what the readers must agree on is the
  // segment as the owner left it.
  std::mt19937 random(7);
  std::vector<bool> active(size, false);
  int looking = 0;
  const Clock::time_point start = Clock::now();
  while ((looking < readerCount || Milliseconds(start) < 2000) && Milliseconds(start) < 60000) {
    const int n = static_cast<int>(random() % size);
    active[n] ? owner.ClearError(SyntheticCode(n), SyntheticType(n))
              : owner.RaiseError(SyntheticCode(n), SyntheticType(n));
    active[n] = !active[n];
    if (busy.HasInput()) looking += !busy.Receive().empty();
  }
  EXPECT_EQ(looking, readerCount);
  stop.Send("stop");
  std::vector<CErrorState> left;
  for (int attempt = 0; attempt < 100 && left.empty(); ++attempt) owner.GetErrorStates(left);
  ASSERT_EQ(left.size(), size_t{size});
  std::string expected = "0 0 ";
  for (const CErrorState& state : left) expected += state.IsActive() ? '1' : '0';
  for (pid_t reader : readers) {
    EXPECT_EQ(reports.Receive(), expected);
    EXPECT_EQ(Reap(reader), 0);
  }
}

}  // namespace
