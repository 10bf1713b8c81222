#include "Support/TestService.h"

#include <fcntl.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

#include "Client/CFaultwrightAPI.h"
#include "Platform/MPI/BElementC.h"
#include "Support/RawClients.h"

namespace FaultwrightTest {

namespace {

// " 68664 11 0": the arguments as text, "?" for one that is no integer.
std::string ArgumentsText(const BListC* args) {
  std::string text;
  for (size_t i = 0; args != nullptr && i < args->Size(); ++i) {
    int64_t value = 0;
    text += args->IntegerAt(i, &value) ? " " + std::to_string(value) : " ?";
  }
  return text;
}

std::string Describe(const BDictionaryC& message) {
  return message.StringAt("type") + " " + message.StringAt("name") + ArgumentsText(message.ListAt("args"));
}

}  // namespace

TestService::TestService(unsigned short port) : port_(port), listening_(server_.Listen("127.0.0.1", port)) {}

std::string TestService::Problem() const {
  return "the test service cannot listen on 127.0.0.1 port " + std::to_string(port_) + " (" + server_.ErrorText() +
         "); another program, perhaps a running fwservice, holds the port: stop it and run the test again";
}

std::vector<std::string> TestService::Collect(size_t count, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (received_.size() < count) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    std::vector<MPIReceivedMessageC> messages;
    if (server_.Poll(static_cast<int>(left.count()), messages) < 0) break;
    for (const MPIReceivedMessageC& message : messages) received_.push_back(Describe(*message.message));
  }
  return received_;
}

StuckService::StuckService(unsigned short port) : listener_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in address = Loopback(port);
  int on = 1;
  if (listener_ < 0 || setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 0) != 0) {
    return;
  }
  // Connections that the kernel takes on the service's behalf, until it takes
  // no more: a non-blocking attempt that is still pending after a while.
  for (int attempt = 0; attempt < 16 && !stuck_; ++attempt) {
    int descriptor = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (descriptor < 0) return;
    queued_.push_back(descriptor);
    if (connect(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) continue;
    if (errno != EINPROGRESS) return;
    pollfd writable = {descriptor, POLLOUT, 0};
    stuck_ = poll(&writable, 1, 200) == 0;
  }
}

StuckService::~StuckService() {
  for (int descriptor : queued_) close(descriptor);
  if (listener_ >= 0) close(listener_);
}

bool SomethingListensOn(unsigned short port) {
  const int descriptor = ConnectRaw(port);
  if (descriptor >= 0) close(descriptor);
  return descriptor >= 0;
}

bool EnterPrivateNetwork() {
  static const bool entered = [] {
    // The machine's namespace, to go back to should the new one stay without
    // a loopback: no test could reach its service there.
    const int original = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    if (original < 0) return false;
    bool up = unshare(CLONE_NEWNET) == 0;
    if (up) {
      // A new namespace starts with its loopback down.
      int descriptor = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      ifreq request = {};
      std::snprintf(request.ifr_name, sizeof request.ifr_name, "lo");
      up = descriptor >= 0 && ioctl(descriptor, SIOCGIFFLAGS, &request) == 0;
      request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
      up = up && ioctl(descriptor, SIOCSIFFLAGS, &request) == 0;
      if (descriptor >= 0) close(descriptor);
      if (!up && setns(original, CLONE_NEWNET) != 0) std::perror("EnterPrivateNetwork: setns");
    }
    close(original);
    return up;
  }();
  return entered;
}

void PortTest::SetUp() {
  EnterPrivateNetwork();
  ASSERT_FALSE(SomethingListensOn(Faultwright::CFaultwrightAPI::kServicePort))
      << "port 5300 is taken, perhaps by a running fwservice: stop it and run the test again";
}

RecordingCallback::~RecordingCallback() {
  if (deletions_ != nullptr) ++*deletions_;
}

int RecordingCallback::Call(const std::string& name, BListC* args) {
  heard.push_back(name + ArgumentsText(args));
  if (then) then();
  return 0;
}

}  // namespace FaultwrightTest
