#include "Service/CStopSignals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

#include "Platform/Core/SystemError.h"

namespace Faultwright {

CStopSignals::CStopSignals() {
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  if (sigaction(SIGPIPE, &ignore, nullptr) != 0) {
    errorText_ = Core::SystemError("sigaction SIGPIPE");
  } else if (sigprocmask(SIG_BLOCK, &stops, nullptr) != 0) {
    errorText_ = Core::SystemError("sigprocmask");
  } else if ((descriptor_ = signalfd(-1, &stops, SFD_NONBLOCK | SFD_CLOEXEC)) < 0) {
    errorText_ = Core::SystemError("signalfd");
  }
}

CStopSignals::~CStopSignals() {
  if (descriptor_ >= 0) close(descriptor_);
}

int CStopSignals::Take() {
  if (descriptor_ < 0) return 0;
  signalfd_siginfo info;
  for (;;) {
    ssize_t count = read(descriptor_, &info, sizeof info);
    if (count == static_cast<ssize_t>(sizeof info)) return static_cast<int>(info.ssi_signo);
    if (count < 0 && errno == EINTR) continue;
    return 0;  // none pending (EAGAIN)
  }
}

}  // namespace Faultwright
