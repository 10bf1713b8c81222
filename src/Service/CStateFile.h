// CStateFile: the file in which the service keeps its error states (active
// bits, counters and times, as CErrorDatabaseView::GetErrorStates hands them
// out) across its restarts.
//
// Save writes the records to a temporary file beside the target (the target's
// name and ".tmp"), forces it to disk and renames it over the target, so that
// the target always holds one whole state, the earlier or the new one. The
// temporary file is always made anew: whatever stands at its name (a stale
// file, or a link another user placed there) is removed, never written
// through. The file is a header (the magic
// "FWES", a format version, the machine's boot identity and the number of
// records), the records as 28-byte CErrorState images in the machine's byte
// order, and a CRC-32 of everything before it. Load takes a file whole or not
// at all: one that is short, long, of another version or byte order, or whose
// checksum fails is rejected with the reason, and so is anything but a regular
// file (a named pipe there must not stall the service).
//
// Times are monotonic-clock values, which mean nothing once the machine has
// restarted, and the errors active then were those of another run of the
// unit: Load hands out the records of a file written during another boot, or
// during an unknown one, with both times zero, the active bit clear and the
// counters kept.
#ifndef FAULTWRIGHT_SERVICE_CSTATEFILE_H
#define FAULTWRIGHT_SERVICE_CSTATEFILE_H

#include <string>
#include <vector>

#include "Common/View/CErrorDatabaseView.h"
#include "Common/View/CErrorState.h"

namespace Faultwright {

class CStateFile {
 public:
  enum LoadResult { kLoaded, kAbsent, kRejected };

  static constexpr size_t kMaxRecords = CErrorDatabaseView::kMaxErrors;  // the shared segment's table

  // bootId: the identity of the running boot; by default the kernel's.
  explicit CStateFile(std::string path, std::string bootId = CurrentBootId());

  const std::string& Path() const { return path_; }
  // Why the last Save or Load failed.
  const std::string& ErrorText() const { return errorText_; }

  // False, with the target untouched, when the records could not all be
  // written and forced to disk, or there are more than kMaxRecords.
  bool Save(const std::vector<CErrorState>& records);
  // Replaces records with the file's records when kLoaded; leaves them
  // alone otherwise. kAbsent when there is no file.
  LoadResult Load(std::vector<CErrorState>& records);

  // The kernel's boot identity, empty when it cannot be read.
  static std::string CurrentBootId();

 private:
  bool Fail(const std::string& what);

  std::string path_;
  std::string bootId_;
  std::string errorText_;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_SERVICE_CSTATEFILE_H
