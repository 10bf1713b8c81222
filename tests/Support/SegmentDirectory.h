// SegmentDirectory: runs a test in a fresh working directory of its own, so
// that the shared-memory views it makes meet in a segment and a semaphore set
// of their own (their key is ftok(".", CErrorDatabaseView::kKeyId) of the working directory).
//
// The constructor moves into the directory; the destructor removes the
// segment and the semaphore set, moves back and removes the directory.
// Segment() attaches the raw segment, for a test that plays another process
// writing into it.
#ifndef FAULTWRIGHT_TESTS_SUPPORT_SEGMENTDIRECTORY_H
#define FAULTWRIGHT_TESTS_SUPPORT_SEGMENTDIRECTORY_H

#include <sys/types.h>

#include <string>

#include "Common/View/CErrorDatabaseView.h"
#include "Support/TestSupport.h"

namespace FaultwrightTest {

class SegmentDirectory {
 public:
  SegmentDirectory();
  ~SegmentDirectory();
  SegmentDirectory(const SegmentDirectory&) = delete;
  SegmentDirectory& operator=(const SegmentDirectory&) = delete;

  const std::string& Path() const { return directory_.Path(); }
  key_t Key() const { return key_; }
  // The segment as the views see it; it must exist (a view was made).
  Faultwright::CErrorDatabaseView::Segment* Segment() const;

 private:
  TempDirectory directory_;
  std::string started_;
  key_t key_;
};

}  // namespace FaultwrightTest

#endif  // FAULTWRIGHT_TESTS_SUPPORT_SEGMENTDIRECTORY_H
