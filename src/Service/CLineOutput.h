// CLineOutput: the service's lines to one descriptor (its standard output or
// error), written so that the service never waits for the reader.
//
// Lines wait in a buffer of at most kMaxBufferedBytes and go out whenever the
// descriptor takes them at once: a pipe nobody reads, or a stopped terminal,
// holds up only the lines, never the service. A line that does not fit is
// dropped and counted. A descriptor that fails for good (its reader has gone)
// drops everything from then on. The descriptor is not owned, and its file
// flags are left alone, since a terminal's are shared with the shell.
#ifndef FAULTWRIGHT_SERVICE_CLINEOUTPUT_H
#define FAULTWRIGHT_SERVICE_CLINEOUTPUT_H

#include <chrono>
#include <cstddef>
#include <string>

namespace Faultwright {

class CLineOutput {
 public:
  static constexpr size_t kMaxBufferedBytes = 1 << 20;
  // Once this much waits, Add writes what the descriptor takes.
  static constexpr size_t kEagerWriteBytes = 64 * 1024;

  explicit CLineOutput(int descriptor);
  CLineOutput(const CLineOutput&) = delete;
  CLineOutput& operator=(const CLineOutput&) = delete;

  // Queues line, which ends in '\n', or drops it when the buffer is full.
  void Add(const std::string& line);
  // Writes what the descriptor takes now.
  void Flush();
  // Writes, waiting for the reader until deadline at most.
  void FlushUntil(std::chrono::steady_clock::time_point deadline);
  bool HasPending() const { return written_ < buffer_.size(); }

  // How many lines were dropped since the last call that returned them, once
  // the buffer has room again (0 until then, and when none were).
  size_t TakeDropped();
  // How many lines were dropped since the last TakeDropped, and how many still
  // wait: the lines lost if the service ended now.
  size_t Unwritten() const;

 private:
  // Writes once when the descriptor takes bytes within timeoutMs; false when
  // it took none.
  bool WriteOnce(int timeoutMs);

  int descriptor_;
  bool regularFile_ = false;  // takes whatever is written at once
  bool failed_ = false;
  std::string buffer_;
  size_t written_ = 0;  // the bytes of buffer_ already out
  size_t dropped_ = 0;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_SERVICE_CLINEOUTPUT_H
