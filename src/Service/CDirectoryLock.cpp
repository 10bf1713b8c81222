#include "Service/CDirectoryLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Platform/Core/SystemError.h"

namespace Faultwright {

CDirectoryLock::~CDirectoryLock() {
  if (descriptor_ >= 0) close(descriptor_);
}

bool CDirectoryLock::Take() {
  // Read-only and without blocking: a named pipe at the name must not stall
  // the open, and nothing is ever written to the file.
  const int file = open(kFileName, O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
  if (file < 0) {
    // O_NOFOLLOW refuses a link at the name with ELOOP, whose text speaks of loops.
    errorText_ = errno == ELOOP ? std::string(kFileName) + " is a symbolic link, which is not followed: remove it"
                                : Core::SystemError(std::string("cannot open ") + kFileName);
    return false;
  }
  auto refuse = [this, file](const std::string& reason) {
    errorText_ = reason;
    close(file);
    return false;
  };
  struct stat status;
  if (fstat(file, &status) != 0) return refuse(Core::SystemError(std::string("cannot fstat ") + kFileName));
  if (!S_ISREG(status.st_mode)) return refuse(std::string(kFileName) + " is not a regular file");
  if (flock(file, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) return refuse(Core::SystemError(std::string("cannot lock ") + kFileName));
    return refuse(std::string("another fwservice serves this working directory: it holds the lock on ") + kFileName);
  }
  descriptor_ = file;
  return true;
}

}  // namespace Faultwright
