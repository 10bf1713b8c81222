// CServiceSignals: the signals that steer the service (SIGINT and SIGTERM to
// stop, SIGHUP to reload the catalogue) as a descriptor that the service's
// poll loop waits on, so that a signal is handled between two notifications,
// never inside one.
//
// Construction blocks the three signals for the process (the service has one
// thread) and opens a signal descriptor for them. Since the signals are never
// delivered to a handler, no system call of the service (the view's lock
// waits among them) is cut short by them. SIGPIPE is ignored as well: a
// standard output whose reader has gone must not end the service. The signals
// stay blocked after destruction, so that a second stop arriving while the
// service winds down cannot end it halfway through saving.
#ifndef FAULTWRIGHT_SERVICE_CSERVICESIGNALS_H
#define FAULTWRIGHT_SERVICE_CSERVICESIGNALS_H

#include <string>

namespace Faultwright {

class CServiceSignals {
 public:
  CServiceSignals();
  ~CServiceSignals();
  CServiceSignals(const CServiceSignals&) = delete;
  CServiceSignals& operator=(const CServiceSignals&) = delete;

  // False, with the reason in ErrorText, when the signals could not be set up.
  bool IsOpen() const { return descriptor_ >= 0; }
  const std::string& ErrorText() const { return errorText_; }
  // Readable while a signal is pending.
  int Descriptor() const { return descriptor_; }

  // The number of a signal that arrived, consuming it; 0 when none did.
  int Take();
  static bool IsStop(int signal) { return signal != 0 && !IsReload(signal); }
  static bool IsReload(int signal);

 private:
  int descriptor_ = -1;
  std::string errorText_;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_SERVICE_CSERVICESIGNALS_H
