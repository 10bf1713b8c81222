#include "Support/ServiceProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <limits>
#include <utility>

#include "Support/ChildBody.h"

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
  child_ = StartProcess(launcher.empty() ? path : launcher[0], argv, directory);
  serving_ = WaitUntil(
      [this, &ready] { return err_.find(ready) != std::string::npos || out_.find(ready) != std::string::npos; }, 10000);
}

ServiceProcess::~ServiceProcess() {
  if (child_.pid > 0) Stop(SIGKILL);
  if (child_.out >= 0) close(child_.out);
  if (child_.err >= 0) close(child_.err);
}

void ServiceProcess::Collect(int timeoutMs) { ReadOutput(&child_, readOut_ ? &out_ : nullptr, &err_, timeoutMs); }

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
    if (child_.err < 0 || std::chrono::steady_clock::now() >= deadline) return false;
    Collect(5);
  }
}

int ServiceProcess::Stop(int signal, int timeoutMs) {
  const pid_t pid = std::exchange(child_.pid, -1);
  if (pid <= 0) return -1;
  kill(pid, signal);
  int status = 0;
  const auto exited = [&] { return waitpid(pid, &status, WNOHANG) == pid; };
  const int limit = timeoutMs < 0 ? std::numeric_limits<int>::max() : timeoutMs;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit);
  bool ended = WaitUntil(exited, limit);
  // The service closes its streams as it exits; WaitUntil stops there, a
  // moment before the process can be reaped.
  while (!ended && child_.err < 0 && std::chrono::steady_clock::now() < deadline) {
    ended = exited();
    if (!ended) usleep(1000);
  }
  if (!ended) {
    kill(pid, SIGKILL);
    WaitForExit(pid);
  }
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
