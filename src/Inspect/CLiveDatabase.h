// CLiveDatabase: fwinspect's reader of the live error database, the shared
// segment of the process's working directory, with the catalogue that its
// changes are handed to.
//
// Refresh runs the view's Update and then makes the catalogue's active errors
// agree with the segment's active bits, silently, as Update does. Update on
// its own reports only entries whose times moved since its last look; when
// the diagnostic service stops or starts again between two looks (the
// segment is disabled, or zeroed and refilled), errors that were active
// before would stay active in the catalogue for ever. A segment that is not
// enabled, or cannot be read, has no active errors.
//
// A reader makes nothing: where the segment or the semaphore does not exist
// (no service ever ran in the working directory) the view is not built and
// Problem() says so, since a view would create both and leave them behind.
//
// A view whose segment or semaphore set another process removed (say with
// ipcrm) reads a segment that no owner writes any more, or fails for good.
// So Refresh first looks whether that happened, and then attaches to what is
// there now, which the service makes anew; until it has, nothing is active.
//
// Used by one thread; not copyable (the view is not).
#ifndef FAULTWRIGHT_INSPECT_CLIVEDATABASE_H
#define FAULTWRIGHT_INSPECT_CLIVEDATABASE_H

#include <cstdio>
#include <memory>
#include <string>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/View/CErrorDatabaseView.h"

namespace Faultwright {

class CLiveDatabase {
 public:
  // Loads the catalogue of directory (ending in "/") and attaches a reader's
  // view to the working directory's segment. The views' messages (a lock not
  // obtained, a failing call) go to messageOutput; null keeps them back.
  explicit CLiveDatabase(const std::string& directory, std::FILE* messageOutput = stderr);

  // Empty when the view is attached; else why nothing can be read.
  const std::string& Problem() const { return problem_; }
  // After a Refresh that found the database not enabled: why, when another
  // process holds its lock; else empty.
  std::string LockHolder() const;
  // Update's result: 0 (no change), 1 (an active error changed) or 2 (only
  // clears). A view that failed or whose objects were removed, or none at
  // all, is attached anew first, when the segment and the semaphore set exist.
  int Refresh();
  // Whether the last Refresh found the segment enabled by its owner.
  bool IsEnabled() const { return enabled_; }
  // Once after a Refresh that attached anew: a line that says so; else empty.
  std::string TakeNotice();

  CErrorDatabase& Catalogue() { return catalogue_; }
  // REQUIRES: Problem() is empty.
  CErrorDatabaseView& View() { return *view_; }

 private:
  // A view of the working directory's segment where it and the semaphore set
  // exist; otherwise none, and Problem() says why.
  void Attach();
  void Resynchronise();

  CErrorDatabase catalogue_;
  std::string problem_;
  std::string notice_;
  int semaphoreId_ = -1;
  std::FILE* messageOutput_;
  std::unique_ptr<CErrorDatabaseView> view_;
  bool lost_ = false;  // the view was dropped; Refresh attaches anew
  bool enabled_ = false;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_CLIVEDATABASE_H
