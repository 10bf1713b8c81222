#include "Service/CSystemdNotifier.h"

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "Platform/Core/SystemError.h"

namespace Faultwright {

namespace {

// A positive decimal number, the whole text; 0 otherwise.
unsigned long long PositiveNumber(const char* text) {
  if (text == nullptr || *text < '0' || *text > '9') return 0;
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, 10);
  return errno == 0 && *end == '\0' ? value : 0;
}

}  // namespace

CSystemdNotifier::CSystemdNotifier() {
  const char* name = std::getenv("NOTIFY_SOCKET");
  if (name == nullptr || *name == '\0') return;
  on_ = true;
  const size_t length = std::strlen(name);
  if ((name[0] != '/' && name[0] != '@') || length >= sizeof address_.sun_path) {
    errorText_ = std::string("NOTIFY_SOCKET is no socket name: ") + name;
    return;
  }
  address_.sun_family = AF_UNIX;
  std::memcpy(address_.sun_path, name, length);
  // An abstract name starts with a zero byte and is as long as it is said to be.
  if (name[0] == '@') address_.sun_path[0] = '\0';
  addressSize_ = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length + (name[0] == '@' ? 0 : 1));
  socket_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (socket_ < 0) {
    errorText_ = Core::SystemError("socket for NOTIFY_SOCKET");
    return;
  }
  const unsigned long long interval = PositiveNumber(std::getenv("WATCHDOG_USEC"));
  const char* pid = std::getenv("WATCHDOG_PID");
  if (interval > 0 && (pid == nullptr || PositiveNumber(pid) == static_cast<unsigned long long>(getpid()))) {
    watchdogInterval_ = std::chrono::microseconds(interval / 2);
    nextPing_ = Clock::now() + watchdogInterval_;
  }
}

CSystemdNotifier::~CSystemdNotifier() {
  if (socket_ >= 0) close(socket_);
}

bool CSystemdNotifier::Send(const std::string& state) {
  if (!on_) return true;
  if (socket_ < 0) return false;  // ErrorText says why since construction
  // Never waits: a manager that does not read its socket must not stall the
  // loop, and a ping it misses it would count as a stall all the same.
  ssize_t sent;
  do {
    sent = sendto(socket_, state.data(), state.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address_),
                  addressSize_);
  } while (sent < 0 && errno == EINTR);
  if (sent != static_cast<ssize_t>(state.size())) {
    errorText_ = sent < 0 ? Core::SystemError("sending " + state + " to NOTIFY_SOCKET") : state + " sent in part";
    return false;
  }
  return true;
}

bool CSystemdNotifier::PingIfDue() {
  if (!WatchdogOn()) return true;
  const Clock::time_point now = Clock::now();
  if (now < nextPing_) return true;
  nextPing_ = now + watchdogInterval_;
  return Send("WATCHDOG=1");
}

}  // namespace Faultwright
