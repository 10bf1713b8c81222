// ChildBody: a forked child process that runs a body and ends with what the
// body returns as its exit status (aborting when it throws). The child never
// returns into the test runner, so a failure in it is only its status: bodies
// check what they must and return nonzero. Reap waits for the child; one that is not
// reaped is killed and reaped on destruction, so that a failed assertion
// leaves no process behind. Header-only, for tests and benchmarks alike.
#ifndef FAULTWRIGHT_TESTS_SUPPORT_CHILDBODY_H
#define FAULTWRIGHT_TESTS_SUPPORT_CHILDBODY_H

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <utility>

namespace FaultwrightTest {

// Waits for the child pid to end: its exit status, or -1 when it did not exit
// normally or pid is no child.
inline int WaitForExit(pid_t pid) {
  int status = -1;
  while (pid > 0 && waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ChildBody {
 public:
  // Nothing buffered before the fork is written twice.
  explicit ChildBody(const std::function<int()>& body) : pid_((std::fflush(nullptr), fork())) {
    if (pid_ == 0) _exit([&]() noexcept { return body(); }());
  }
  ~ChildBody() {
    if (pid_ > 0) kill(pid_, SIGKILL);
    Reap();
  }
  ChildBody(const ChildBody&) = delete;
  ChildBody& operator=(const ChildBody&) = delete;

  // -1 when fork failed or once reaped.
  pid_t Pid() const { return pid_; }
  // The child's exit status, or -1 when it did not exit normally.
  int Reap() { return WaitForExit(std::exchange(pid_, -1)); }

 private:
  pid_t pid_;
};

}  // namespace FaultwrightTest

#endif  // FAULTWRIGHT_TESTS_SUPPORT_CHILDBODY_H
