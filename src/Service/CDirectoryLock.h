// CDirectoryLock: one service per working directory. The shared segment and
// its semaphore belong to the working directory (their key is ftok(".")), and
// a second owner there would zero the first one's segment; the port does not
// keep it out when the second runs in another network namespace.
//
// Take locks the file kFileName in the working directory (flock, exclusive,
// without waiting), creating it if need be, and holds it until destruction;
// the kernel lets go of it when the process ends, however it ends. The file is
// never removed, since removing it would let two services lock two files of
// the same name. Anything but a regular file at that name is refused, and a
// link there is not followed.
#ifndef FAULTWRIGHT_SERVICE_CDIRECTORYLOCK_H
#define FAULTWRIGHT_SERVICE_CDIRECTORYLOCK_H

#include <string>

namespace Faultwright {

class CDirectoryLock {
 public:
  static constexpr const char* kFileName = "fwservice.lock";

  CDirectoryLock() = default;
  ~CDirectoryLock();
  CDirectoryLock(const CDirectoryLock&) = delete;
  CDirectoryLock& operator=(const CDirectoryLock&) = delete;

  // False, with the reason in ErrorText(), when another process holds the
  // lock or the file cannot be opened or locked. REQUIRES: called once.
  bool Take();
  const std::string& ErrorText() const { return errorText_; }

 private:
  int descriptor_ = -1;
  std::string errorText_;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_SERVICE_CDIRECTORYLOCK_H
