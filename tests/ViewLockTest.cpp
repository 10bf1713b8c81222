// The view's lock, counted call by call. This executable alone is linked with
// -Wl,--wrap=semtimedop (tests/CMakeLists.txt), so every timed attempt of the
// static library comes here first: the wrapper records its time-out and
// answers as the kernel would for a lock that another process holds, or for
// a wait cut short by a signal, or passes the call on.
#include <errno.h>
#include <gtest/gtest.h>
#include <sys/sem.h>
#include <time.h>

#include <cstdint>
#include <vector>

#include "Common/View/CErrorDatabaseView.h"
#include "Support/SegmentDirectory.h"

namespace {

struct LockScript {
  int interruptions = 0;          // the next calls that answer EINTR
  bool held = false;              // after them, answer EAGAIN, as when the wait ran out
  std::vector<int64_t> timeouts;  // of every call, in nanoseconds
};
LockScript script;

const int64_t kTwoMilliseconds = 2000000;

}  // namespace

extern "C" int __real_semtimedop(int set, sembuf* operations, size_t count, const timespec* timeout);

extern "C" int __wrap_semtimedop(int set, sembuf* operations, size_t count, const timespec* timeout) {
  script.timeouts.push_back(timeout == nullptr ? -1 : int64_t{timeout->tv_sec} * 1000000000 + timeout->tv_nsec);
  if (script.interruptions > 0) {
    --script.interruptions;
    errno = EINTR;
    return -1;
  }
  if (script.held) {
    errno = EAGAIN;
    return -1;
  }
  return __real_semtimedop(set, operations, count, timeout);
}

TEST(ViewLock, FiveAttemptsOfTwoMillisecondsThenTheOperationGivesUp) {
  FaultwrightTest::SegmentDirectory here;
  Faultwright::CErrorDatabaseView view(true, 1);
  ASSERT_FALSE(view.HasFailed());
  view.SetEnabled(true);

  // Held: five attempts of 2 ms each, one line, and no failure.
  script = {};
  script.held = true;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(view.IsEnabled());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "unable to obtain lock\n");
  EXPECT_EQ(script.timeouts, std::vector<int64_t>(5, kTwoMilliseconds));
  EXPECT_FALSE(view.HasFailed());

  // A signal uses up no attempt: the interrupted one waits out what is left
  // of its 2 ms.
  script = {};
  script.interruptions = 1;
  script.held = true;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(view.IsEnabled());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "unable to obtain lock\n");
  ASSERT_EQ(script.timeouts.size(), 6u);
  EXPECT_GE(script.timeouts[1], 0);
  EXPECT_LE(script.timeouts[1], kTwoMilliseconds);
  script.timeouts.erase(script.timeouts.begin() + 1);
  EXPECT_EQ(script.timeouts, std::vector<int64_t>(5, kTwoMilliseconds));

  // The next operation starts afresh, and a free lock takes one call.
  script = {};
  EXPECT_TRUE(view.IsEnabled());
  EXPECT_EQ(script.timeouts, std::vector<int64_t>{kTwoMilliseconds});
  EXPECT_FALSE(view.HasFailed());
}
