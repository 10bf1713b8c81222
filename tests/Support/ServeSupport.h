// ServedDirectory: a working directory of its own (its key used by no other
// segment) in which fwservice runs, on the sample configuration or another,
// and fwinspect serve listens on 127.0.0.1:5380, in a network namespace of
// the test's own, entered on construction, where one may be made. Start or
// StartService from SetUp; the destructor stops both and removes the segment
// and semaphore.
#ifndef FAULTWRIGHT_TESTS_SUPPORT_SERVESUPPORT_H
#define FAULTWRIGHT_TESTS_SUPPORT_SERVESUPPORT_H

#include <memory>
#include <string>
#include <vector>

#include "Support/ServiceProcess.h"
#include "Support/TestSupport.h"

namespace FaultwrightTest {

const int kServePort = 5380;
const std::string kSampleConfig = std::string(FAULTWRIGHT_SOURCE_DIR) + "/config/";
// A raise that the sample catalogue turns into a critical top-level error.
const char kAntenna[] = "GPS:L1 L2 Antenna:Voltage:4";

class ServedDirectory {
 public:
  ServedDirectory();
  ~ServedDirectory();
  // fwservice on config, run by launcher (see ServiceProcess). Fails the
  // test (fatally) when it does not come up.
  void StartService(const std::string& config = kSampleConfig, const std::vector<std::string>& launcher = {});
  // StartService, then fwinspect serve.
  void Start();

  // fwerror -r or -c with the four names of an error identifier text; its status.
  static int Tool(bool raise, const std::string& id);

 protected:
  std::unique_ptr<TempDirectory> directory_;
  std::unique_ptr<ServiceProcess> service_;
  std::unique_ptr<ServiceProcess> server_;
};

}  // namespace FaultwrightTest

#endif  // FAULTWRIGHT_TESTS_SUPPORT_SERVESUPPORT_H
