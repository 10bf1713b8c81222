#include "Service/CJournalStream.h"

#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace Faultwright {

CJournalStream::CJournalStream(int descriptor) {
  const char* stream = std::getenv("JOURNAL_STREAM");
  uintmax_t device = 0;
  uintmax_t inode = 0;
  char rest = 0;
  if (stream == nullptr || std::sscanf(stream, "%" SCNuMAX ":%" SCNuMAX "%c", &device, &inode, &rest) != 2) return;
  struct stat status;
  if (fstat(descriptor, &status) != 0) return;
  journal_ = static_cast<uintmax_t>(status.st_dev) == device && static_cast<uintmax_t>(status.st_ino) == inode;
}

const char* CJournalStream::Prefix(Priority priority) const {
  if (!journal_) return "";
  switch (priority) {
    case kError:
      return "<3>";
    case kWarning:
      return "<4>";
    case kInfo:
      break;
  }
  return "<6>";
}

}  // namespace Faultwright
