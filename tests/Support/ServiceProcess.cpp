#include "Support/ServiceProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <limits>

#include "Support/TestSupport.h"

namespace FaultwrightTest {

ServiceProcess::ServiceProcess(const std::vector<std::string>& args, const std::string& directory,
                               const std::vector<std::string>& launcher)
    : ServiceProcess("fwservice", args, directory, "fwservice: serving", launcher) {}

ServiceProcess::ServiceProcess(const std::string& program, const std::vector<std::string>& args,
                               const std::string& directory, const std::string& ready,
                               const std::vector<std::string>& launcher) {
  const std::string path = program[0] == '/' ? program : BuiltProgram(program);
  std::vector<std::string> argv = launcher;
  argv.push_back(launcher.empty() ? program : path);
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess child = StartProcess(launcher.empty() ? path : launcher[0], argv, directory);
  pid_ = child.pid;
  outPipe_ = child.out;
  errPipe_ = child.err;
  fcntl(outPipe_, F_SETFL, O_NONBLOCK);
  fcntl(errPipe_, F_SETFL, O_NONBLOCK);
  serving_ = WaitUntil(
      [this, &ready] { return err_.find(ready) != std::string::npos || out_.find(ready) != std::string::npos; }, 10000);
}

ServiceProcess::~ServiceProcess() {
  if (pid_ > 0) Stop(SIGKILL);
  if (outPipe_ >= 0) close(outPipe_);
  if (errPipe_ >= 0) close(errPipe_);
}

void ServiceProcess::Collect(int timeoutMs) {
  pollfd fds[2] = {{readOut_ ? outPipe_ : -1, POLLIN, 0}, {errPipe_, POLLIN, 0}};
  std::string* sinks[2] = {&out_, &err_};
  if (poll(fds, 2, timeoutMs) <= 0) return;
  for (int i = 0; i < 2; ++i) {
    char buffer[4096];
    ssize_t count = -1;
    while (fds[i].fd >= 0 && (count = read(fds[i].fd, buffer, sizeof buffer)) > 0) {
      sinks[i]->append(buffer, static_cast<size_t>(count));
    }
    if (count == 0 && fds[i].fd == errPipe_) ended_ = true;
  }
}

bool ServiceProcess::WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    Collect(0);
    if (done()) {
      // What the service wrote before the change that done saw (its segment,
      // say) is in the pipes by now: the output matches the change.
      Collect(0);
      return true;
    }
    if (ended_ || std::chrono::steady_clock::now() >= deadline) return false;
    Collect(5);
  }
}

int ServiceProcess::Stop(int signal, int timeoutMs) {
  if (pid_ <= 0) return -1;
  kill(pid_, signal);
  int status = 0;
  const auto exited = [&] { return waitpid(pid_, &status, WNOHANG) == pid_; };
  const int limit = timeoutMs < 0 ? std::numeric_limits<int>::max() : timeoutMs;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit);
  bool ended = WaitUntil(exited, limit);
  // The service closes its streams as it exits; WaitUntil stops there, a
  // moment before the process can be reaped.
  while (!ended && ended_ && std::chrono::steady_clock::now() < deadline) {
    ended = exited();
    if (!ended) usleep(1000);
  }
  if (!ended) {
    kill(pid_, SIGKILL);
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {}
  }
  pid_ = -1;
  Collect(0);
  if (!ended) return -2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

size_t CountOf(const std::string& output, const std::string& text) {
  size_t count = 0;
  for (size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + text.size())) ++count;
  return count;
}

}  // namespace FaultwrightTest
