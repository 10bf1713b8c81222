// SegmentDirectory: the private segment of one test or benchmark. It runs in
// a fresh working directory of its own whose key, ftok(".",
// CErrorDatabaseView::kKeyId), no segment or semaphore set uses yet, so that
// the views it makes meet in a segment and a semaphore set of their own.
//
// The constructor moves into the directory; the destructor removes the
// segment and the semaphore set, moves back and removes the directory.
// Segment() attaches the raw segment, for a test that plays another process
// writing into it; LockValue() reads the lock as the kernel holds it.
// Header-only, for tests and benchmarks alike.
#ifndef FAULTWRIGHT_TESTS_SUPPORT_SEGMENTDIRECTORY_H
#define FAULTWRIGHT_TESTS_SUPPORT_SEGMENTDIRECTORY_H

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "Common/View/CErrorDatabaseView.h"
#include "Support/SharedSegment.h"
#include "Support/TestSupport.h"

namespace FaultwrightTest {

class SegmentDirectory {
 public:
  SegmentDirectory() : started_(std::filesystem::current_path().string()) {
    // A directory whose key another test or an earlier run happens to use is
    // passed over: its views would meet theirs.
    do {
      directory_ = std::make_unique<TempDirectory>();
      key_ = ftok(directory_->Path().c_str(), Faultwright::CErrorDatabaseView::kKeyId);
      if (key_ == -1) throw std::runtime_error("ftok failed in " + directory_->Path());
    } while (shmget(key_, 0, 0) != -1 || semget(key_, 0, 0) != -1);
    if (chdir(directory_->Path().c_str()) != 0) throw std::runtime_error("cannot enter " + directory_->Path());
  }
  ~SegmentDirectory() {
    // Attached views keep a removed segment until they end; nothing is left behind.
    RemoveSharedSegment(".");
    if (chdir(started_.c_str()) != 0) std::terminate();  // every later test would run in the wrong place
  }

  const std::string& Path() const { return directory_->Path(); }
  key_t Key() const { return key_; }
  // The segment as the views see it; it must exist (a view was made).
  Faultwright::CErrorDatabaseView::Segment* Segment() const {
    void* address = shmat(shmget(key_, 0, 0), nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) throw std::runtime_error("shmat failed");
    return static_cast<Faultwright::CErrorDatabaseView::Segment*>(address);
  }
  // 1 while the lock is free, 0 while it is held; -1 without a semaphore set.
  int LockValue() const { return semctl(semget(key_, 0, 0), 0, GETVAL); }

 private:
  std::string started_;
  std::unique_ptr<TempDirectory> directory_;
  key_t key_ = -1;
};

}  // namespace FaultwrightTest

#endif  // FAULTWRIGHT_TESTS_SUPPORT_SEGMENTDIRECTORY_H
