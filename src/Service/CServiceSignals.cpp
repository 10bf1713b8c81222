#include "Service/CServiceSignals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

#include "Platform/Core/SystemError.h"

namespace Faultwright {

CServiceSignals::CServiceSignals() {
  sigset_t handled;
  sigemptyset(&handled);
  sigaddset(&handled, SIGINT);
  sigaddset(&handled, SIGTERM);
  sigaddset(&handled, SIGHUP);
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  if (sigaction(SIGPIPE, &ignore, nullptr) != 0) {
    errorText_ = Core::SystemError("sigaction SIGPIPE");
  } else if (sigprocmask(SIG_BLOCK, &handled, nullptr) != 0) {
    errorText_ = Core::SystemError("sigprocmask");
  } else if ((descriptor_ = signalfd(-1, &handled, SFD_NONBLOCK | SFD_CLOEXEC)) < 0) {
    errorText_ = Core::SystemError("signalfd");
  }
}

CServiceSignals::~CServiceSignals() {
  if (descriptor_ >= 0) close(descriptor_);
}

int CServiceSignals::Take() {
  if (descriptor_ < 0) return 0;
  signalfd_siginfo info;
  for (;;) {
    ssize_t count = read(descriptor_, &info, sizeof info);
    if (count == static_cast<ssize_t>(sizeof info)) return static_cast<int>(info.ssi_signo);
    if (count < 0 && errno == EINTR) continue;
    return 0;  // none pending (EAGAIN)
  }
}

bool CServiceSignals::IsReload(int signal) { return signal == SIGHUP; }

}  // namespace Faultwright
