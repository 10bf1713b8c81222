// ServedDirectory: a working directory of its own in which fwservice runs on
// the sample configuration and fwinspect serve listens on 127.0.0.1:5380, in
// a network namespace of the test's own where one may be made. Start() from
// SetUp; the destructor stops both and removes the segment and semaphore.
#ifndef FAULTWRIGHT_TESTS_SUPPORT_SERVESUPPORT_H
#define FAULTWRIGHT_TESTS_SUPPORT_SERVESUPPORT_H

#include <memory>
#include <string>

#include "Support/ServiceProcess.h"
#include "Support/TestSupport.h"

namespace FaultwrightTest {

const int kServePort = 5380;

class ServedDirectory {
 public:
  ~ServedDirectory();
  // Fails the test (fatally) when either program does not come up.
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
