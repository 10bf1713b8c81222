#include "Service/CLineOutput.h"

#include <limits.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace Faultwright {

CLineOutput::CLineOutput(int descriptor) : descriptor_(descriptor) {
  struct stat status;
  regularFile_ = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
}

void CLineOutput::Add(const std::string& line) {
  if (failed_ || buffer_.size() - written_ + line.size() > kMaxBufferedBytes) {
    ++dropped_;
    return;
  }
  // The bytes already out are let go once they are half of the buffer.
  if (written_ > 0 && written_ >= buffer_.size() / 2) {
    buffer_.erase(0, written_);
    written_ = 0;
  }
  buffer_ += line;
  if (buffer_.size() - written_ >= kEagerWriteBytes) Flush();
}

void CLineOutput::Flush() {
  while (HasPending() && WriteOnce(0)) {}
}

void CLineOutput::FlushUntil(std::chrono::steady_clock::time_point deadline) {
  while (HasPending()) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !WriteOnce(static_cast<int>(left.count()))) return;
  }
}

bool CLineOutput::WriteOnce(int timeoutMs) {
  // Where a write could wait, the descriptor is asked first, and no more is
  // written than a pipe takes whole once it reports room.
  size_t size = buffer_.size() - written_;
  if (!regularFile_) {
    pollfd writable = {descriptor_, POLLOUT, 0};
    int ready;
    do {
      ready = poll(&writable, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) return false;
    if (ready < 0 || (writable.revents & POLLOUT) == 0) {
      failed_ = true;
    }
    size = std::min<size_t>(size, PIPE_BUF);
  }
  ssize_t count = -1;
  if (!failed_) {
    do {
      count = write(descriptor_, buffer_.data() + written_, size);
    } while (count < 0 && errno == EINTR);
  }
  if (count > 0) {
    written_ += static_cast<size_t>(count);
    if (written_ == buffer_.size()) {
      buffer_.clear();
      written_ = 0;
    }
    return true;
  }
  if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
  // The reader has gone, or the descriptor is no more: what waits is lost.
  failed_ = true;
  dropped_ = Unwritten();
  buffer_.clear();
  written_ = 0;
  return false;
}

size_t CLineOutput::Unwritten() const {
  return dropped_ +
         static_cast<size_t>(std::count(buffer_.begin() + static_cast<std::ptrdiff_t>(written_), buffer_.end(), '\n'));
}

size_t CLineOutput::TakeDropped() {
  if (dropped_ == 0 || buffer_.size() - written_ > kMaxBufferedBytes / 2) return 0;
  size_t dropped = dropped_;
  dropped_ = 0;
  return dropped;
}

}  // namespace Faultwright
