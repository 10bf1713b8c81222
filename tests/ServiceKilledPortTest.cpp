// The diagnostic service killed while a long-lived client sends: the client
// queues what it cannot send, reconnects once the service is back, and
// flushes, so that every request arrives exactly once.
#include "Faultwright.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace Faultwright {
namespace {

using Lines = std::vector<std::string>;

// A service in a process of its own, on 127.0.0.1:5300, that reports every
// notification it receives as one line "<name> <code> <type>" through a pipe.
class ServiceProcess {
 public:
  ServiceProcess() {
    int lines[2];
    if (pipe(lines) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(lines[0]);
      Serve(lines[1]);
    }
    close(lines[1]);
    lines_ = lines[0];
    if (pid_ > 0) firstLine_ = NextLine(2000);
  }
  ~ServiceProcess() {
    Kill();
    if (lines_ >= 0) close(lines_);
  }

  bool Listening() const { return firstLine_ == "listening"; }
  // What the service said when it started, "listening" unless it could not.
  const std::string& FirstLine() const { return firstLine_; }
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    int status;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  // The next reported line, or "" when none comes within timeoutMs.
  std::string NextLine(int timeoutMs) {
    std::string line;
    char byte;
    pollfd readable = {lines_, POLLIN, 0};
    while (poll(&readable, 1, timeoutMs) == 1 && read(lines_, &byte, 1) == 1 && byte != '\n') line += byte;
    return line;
  }

 private:
  [[noreturn]] static void Serve(int lines) {
    MPISocketServerC server;
    if (!server.Listen("127.0.0.1", CFaultwrightAPI::kServicePort)) {
      Report(lines, "port 5300 taken: " + server.ErrorText());
      _exit(1);
    }
    Report(lines, "listening");
    for (;;) {
      std::vector<MPIReceivedMessageC> messages;
      server.Poll(-1, &messages);
      for (const MPIReceivedMessageC& received : messages) {
        const BListC* args = received.message->ListAt("args");
        int64_t code = 0, type = 0;
        if (args == nullptr || !args->IntegerAt(0, &code) || !args->IntegerAt(1, &type)) continue;
        Report(lines, received.message->StringAt("name") + " " + std::to_string(code) + " " + std::to_string(type));
      }
    }
  }
  static void Report(int lines, const std::string& line) {
    std::string whole = line + "\n";
    if (write(lines, whole.data(), whole.size()) != static_cast<ssize_t>(whole.size())) _exit(1);
  }

  pid_t pid_ = -1;
  int lines_ = -1;
  std::string firstLine_;
};

std::string Line(const char* name, const CErrorKey& key) {
  return std::string(name) + " " + std::to_string(key.code) + " " + std::to_string(key.type);
}

TEST(ServiceKilled, LongLivedClientQueuesReconnectsAndLosesNothing) {
  auto service = std::make_unique<ServiceProcess>();
  ASSERT_TRUE(service->Listening()) << "the test service did not start: " << service->FirstLine();
  CFaultwrightAPI client;
  int next = 1;
  auto nextKey = [&next] { return CErrorKey(0x010C00 + next++, 11); };

  Lines expected;
  for (int i = 0; i < 5; ++i) {
    CErrorKey key = nextKey();
    ASSERT_EQ(client.RaiseError(key), 1);
    EXPECT_EQ(service->NextLine(2000), Line("RaiseError", key));
  }
  const CErrorKey cleared(0x010C01, 11);

  // Killed with nothing in flight: from now on every request waits in the queue.
  service->Kill();
  Lines queued;
  for (int i = 0; i < 5; ++i) {
    CErrorKey key = nextKey();
    EXPECT_EQ(client.RaiseError(key), -1);
    queued.push_back(Line("RaiseError", key));
  }
  EXPECT_EQ(client.ClearError(cleared), -1);
  queued.push_back(Line("ClearError", cleared));

  // The service comes back; the client keeps sending, and its next try at
  // reconnecting (at most one a second) sends the request in hand, then the
  // queue in its order.
  service = std::make_unique<ServiceProcess>();
  ASSERT_TRUE(service->Listening()) << "the test service did not start again: " << service->FirstLine();
  Lines delivered;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  for (;;) {
    CErrorKey key = nextKey();
    int result = client.RaiseError(key);
    if (result == 1) {
      delivered.push_back(Line("RaiseError", key));
      break;
    }
    EXPECT_EQ(result, -1);
    queued.push_back(Line("RaiseError", key));
    ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "the client did not reconnect";
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  delivered.insert(delivered.end(), queued.begin(), queued.end());
  EXPECT_EQ(client.PendingCount(), 0u);

  Lines received;
  for (size_t i = 0; i < delivered.size(); ++i) received.push_back(service->NextLine(2000));
  EXPECT_EQ(received, delivered);
  EXPECT_EQ(service->NextLine(100), "");  // and nothing twice
}

}  // namespace
}  // namespace Faultwright
