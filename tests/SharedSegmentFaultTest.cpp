// Faults around the shared segment: the owner killed while it holds the
// lock, a segment whose Count lies outside the table, and the working
// directory removed under a running reader. Each test has a segment of its own.
#include "Faultwright.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/sem.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "Support/SegmentDirectory.h"
#include "Support/TestSupport.h"

namespace Faultwright {
namespace {

using FaultwrightTest::SegmentDirectory;
using std::chrono::steady_clock;

const std::string kSampleConfiguration = FAULTWRIGHT_SOURCE_DIR "/config/";

// An owner in a process of its own: it initialises the segment, then takes
// the lock the way every view does (SEM_UNDO), says so and waits to be
// killed. Returns its id once it holds the lock.
pid_t OwnerHoldingTheLock(key_t key) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  pid_t child = fork();
  if (child == 0) {
    CErrorDatabase catalogue(kSampleConfiguration);
    CErrorDatabaseView owner(true, 1);
    owner.SetErrors(catalogue);
    owner.SetEnabled(true);
    sembuf take = {0, -1, SEM_UNDO};
    if (semop(semget(key, 1, 0), &take, 1) != 0) _exit(1);
    if (write(ready[1], "x", 1) != 1) _exit(1);
    for (;;) pause();
  }
  close(ready[1]);
  char byte;
  bool holds = child > 0 && read(ready[0], &byte, 1) == 1;
  close(ready[0]);
  return holds ? child : -1;
}

void Kill(pid_t child) {
  kill(child, SIGKILL);
  int status;
  waitpid(child, &status, 0);
}

// A locked operation must give up after its five short attempts, not hang,
// and must leave the view usable for later attempts.
void ExpectRefusedQuickly(CErrorDatabaseView& view, CErrorDatabase& catalogue) {
  testing::internal::CaptureStderr();
  steady_clock::time_point start = steady_clock::now();
  EXPECT_EQ(view.Update(catalogue), CErrorDatabaseView::kNoChange);
  unsigned code;
  int type;
  EXPECT_EQ(view.GetErrorKey(0, code, type), -1);
  EXPECT_LT(steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("unable to obtain lock"), std::string::npos);
  EXPECT_FALSE(view.HasFailed());
}

TEST(SharedSegmentFault, InitialisingOwnerKilledWhileHoldingTheLock) {
  SegmentDirectory here;
  CErrorDatabase catalogue(kSampleConfiguration);
  const CError& first = catalogue.Errors().front();

  // The owner's death takes back both the unit that freed the lock and the
  // one it held, so the lock stays taken: readers refuse, each time within
  // bounds, until a new owner initialises.
  pid_t owner = OwnerHoldingTheLock(here.Key());
  ASSERT_GT(owner, 0);
  CErrorDatabaseView reader(false, 0);
  Kill(owner);
  ExpectRefusedQuickly(reader, catalogue);
  ExpectRefusedQuickly(reader, catalogue);

  CErrorDatabaseView newOwner(true, 1);
  newOwner.SetErrors(catalogue);
  newOwner.SetEnabled(true);
  newOwner.RaiseError(first.Code(), first.Type());
  EXPECT_EQ(reader.Update(catalogue), CErrorDatabaseView::kSomeActive);
  EXPECT_FALSE(reader.HasFailed());
}

TEST(SharedSegmentFault, CountOutsideTheTable) {
  SegmentDirectory here;
  CErrorDatabase catalogue(kSampleConfiguration);
  CErrorPatterns patterns(kSampleConfiguration);
  const CError& first = catalogue.Errors().front();
  CErrorDatabaseView owner(true, 1);
  owner.SetErrors(catalogue);
  owner.SetEnabled(true);
  owner.RaiseError(first.Code(), first.Type());
  CErrorDatabaseView::Segment* segment = here.Segment();

  // The view's own reads are tested with its class; here the owner's writes,
  // the summaries and the decoder, which trust what the view hands them.
  for (int32_t count : {-5, 10000}) {
    SCOPED_TRACE(count);
    segment->header.Count = count;  // as a faulty or hostile process might leave it
    CErrorDatabaseView reader(false, 0);
    EXPECT_EQ(reader.Update(catalogue), count < 0 ? CErrorDatabaseView::kNoChange : CErrorDatabaseView::kSomeActive);
    owner.ClearError(first.Code(), first.Type());
    owner.RaiseError(first.Code(), first.Type());
    owner.RestoreErrorStates(std::vector<CErrorState>(3));
    catalogue.UpdateTopLevelErrors();
    std::vector<CErrorSummary> summaries;
    BuildErrorSummaries(reader, patterns, catalogue.TopLevelErrors(false), summaries, false);
    EXPECT_EQ(summaries.size(), count < 0 ? 0u : 1u);
    CErrorSummary summary;
    std::vector<std::string> lines;
    std::vector<CErrorKey> keys;
    EXPECT_FALSE(DecodeStateCode("63C0", catalogue, reader, summary, lines, keys, false));  // entry 399: code 0
    EXPECT_FALSE(DecodeStateCode("FFC0", catalogue, reader, summary, lines, keys, false));  // entry 1023
    EXPECT_TRUE(keys.empty());
  }
  owner.SetErrors(catalogue);
  EXPECT_EQ(segment->header.Count, static_cast<int32_t>(catalogue.Errors().size()));
}

TEST(SharedSegmentFault, WorkingDirectoryRemovedUnderARunningReader) {
  SegmentDirectory here;
  CErrorDatabase catalogue(kSampleConfiguration);
  const CError& first = catalogue.Errors().front();
  CErrorDatabaseView owner(true, 1);
  owner.SetErrors(catalogue);
  owner.SetEnabled(true);
  CErrorDatabaseView reader(false, 0);
  EXPECT_EQ(reader.Update(catalogue), CErrorDatabaseView::kNoChange);

  ASSERT_EQ(rmdir(here.Path().c_str()), 0);
  // The running reader keeps its segment: it still sees the owner's raises.
  owner.RaiseError(first.Code(), first.Type());
  EXPECT_EQ(reader.Update(catalogue), CErrorDatabaseView::kSomeActive);

  // The directory lives on as long as it is a working directory, and so does
  // its key: a view made now still meets the same segment, and quietly.
  testing::internal::CaptureStderr();
  CErrorDatabaseView late(false, 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_FALSE(late.HasFailed());
  EXPECT_EQ(late.Update(catalogue), CErrorDatabaseView::kSomeActive);
  EXPECT_EQ(late.FindErrorIndex(first.Code(), first.Type()), 0);
}

}  // namespace
}  // namespace Faultwright
