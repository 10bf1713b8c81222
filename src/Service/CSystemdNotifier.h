// CSystemdNotifier: the service's side of the service manager's notification
// protocol: one datagram per state change ("READY=1", "RELOADING=1",
// "STOPPING=1", "WATCHDOG=1") on the AF_UNIX datagram socket that
// $NOTIFY_SOCKET names (a path, or an abstract name when it starts with '@').
//
// Without $NOTIFY_SOCKET the notifier is off and every call does nothing.
// The watchdog is on when $WATCHDOG_USEC holds a positive number and
// $WATCHDOG_PID, when set, names this process; the service then pings at
// half that interval, so that one late turn of its loop is not yet a stall.
// A send never waits. A failure (a name that does not fit, a socket that
// cannot be made, a send the manager did not take at once) is a result: the call returns false with the
// reason in ErrorText, and the service goes on, since the manager acts on
// what it misses (a service never ready, or pinged too late, is restarted).
#ifndef FAULTWRIGHT_SERVICE_CSYSTEMDNOTIFIER_H
#define FAULTWRIGHT_SERVICE_CSYSTEMDNOTIFIER_H

#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <string>

namespace Faultwright {

class CSystemdNotifier {
 public:
  using Clock = std::chrono::steady_clock;

  // Reads the environment; opens the socket when $NOTIFY_SOCKET is set.
  CSystemdNotifier();
  ~CSystemdNotifier();
  CSystemdNotifier(const CSystemdNotifier&) = delete;
  CSystemdNotifier& operator=(const CSystemdNotifier&) = delete;

  bool IsOn() const { return on_; }
  const std::string& ErrorText() const { return errorText_; }

  // Sends state, for example "READY=1"; true when off.
  bool Send(const std::string& state);

  // Whether the watchdog is on, and the moment of the next ping.
  bool WatchdogOn() const { return watchdogInterval_.count() > 0; }
  Clock::time_point NextPing() const { return nextPing_; }
  // Sends "WATCHDOG=1" when its moment has come; true when it had not, or
  // the watchdog is off.
  bool PingIfDue();

 private:
  bool on_ = false;
  int socket_ = -1;
  sockaddr_un address_ = {};
  socklen_t addressSize_ = 0;
  std::chrono::microseconds watchdogInterval_{0};  // the pings'; 0: off
  Clock::time_point nextPing_;
  std::string errorText_;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_SERVICE_CSYSTEMDNOTIFIER_H
