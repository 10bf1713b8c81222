// A running fwservice for the tests: started in a working directory of the
// test's choosing (its shared segment and semaphore are keyed by that
// directory), with its standard output and error captured, and stopped by a
// signal. Destruction kills a service that still runs.
#ifndef FAULTWRIGHT_TESTS_SUPPORT_SERVICEPROCESS_H
#define FAULTWRIGHT_TESTS_SUPPORT_SERVICEPROCESS_H

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "Support/SharedSegment.h"
#include "Support/TestSupport.h"

namespace FaultwrightTest {

class ServiceProcess {
 public:
  // Starts fwservice with args (argv[0] excluded) in directory and waits until
  // it reports that it serves, or ends (then Stop gives its exit status).
  // A launcher (its program first) runs the service as its last argument
  // but args, as a service manager would.
  ServiceProcess(const std::vector<std::string>& args, const std::string& directory,
                 const std::vector<std::string>& launcher = {});
  // Another program that runs until a signal, such as fwinspect serve: one of
  // this build, or one named by its absolute path. ready is what its output
  // holds once it serves.
  ServiceProcess(const std::string& program, const std::vector<std::string>& args, const std::string& directory,
                 const std::string& ready, const std::vector<std::string>& launcher = {});
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  bool Serving() const { return serving_; }
  pid_t Pid() const { return child_.pid; }
  // From now on the standard output is left unread, as a pipe whose reader hangs.
  void LeaveOutUnread() { readOut_ = false; }
  const std::string& Out() const { return out_; }
  const std::string& Err() const { return err_; }

  // Collects output and asks done every few milliseconds until it answers
  // true (then true), or the service has ended or timeoutMs has passed (then
  // false).
  bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
  // Sends signal and waits for the end, collecting output: the exit status,
  // or -1 when the service did not exit normally. When it has not ended
  // within timeoutMs (-1: no limit), it is killed and -2 returned.
  int Stop(int signal, int timeoutMs = -1);

 private:
  void Collect(int timeoutMs);

  ChildProcess child_;
  bool serving_ = false;
  bool readOut_ = true;
  std::string out_;
  std::string err_;
};

// How many times text occurs in output.
size_t CountOf(const std::string& output, const std::string& text);

}  // namespace FaultwrightTest

#endif  // FAULTWRIGHT_TESTS_SUPPORT_SERVICEPROCESS_H
