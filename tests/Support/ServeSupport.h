// ServedDirectory: a working directory of its own (its key used by no other
// segment) in which fwservice runs, on the sample configuration or another,
// and fwinspect serve listens on 127.0.0.1:5380, in a network namespace of
// the test's own, entered on construction, where one may be made. Start or
// StartService from SetUp; the destructor stops both and removes the segment
// and semaphore. Header-only.
#ifndef FAULTWRIGHT_TESTS_SUPPORT_SERVESUPPORT_H
#define FAULTWRIGHT_TESTS_SUPPORT_SERVESUPPORT_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Support/ServiceProcess.h"
#include "Support/SharedSegment.h"
#include "Support/TestService.h"
#include "Support/TestSupport.h"

namespace FaultwrightTest {

const int kServePort = 5380;
const std::string kSampleConfig = std::string(FAULTWRIGHT_SOURCE_DIR) + "/config/";
// A raise that the sample catalogue turns into a critical top-level error.
const char kAntenna[] = "GPS:L1 L2 Antenna:Voltage:4";

class ServedDirectory {
 public:
  ServedDirectory() {
    EnterPrivateNetwork();
    // A directory whose key another test's segment happens to use is passed over.
    do {
      directory_ = std::make_unique<TempDirectory>();
    } while (shmget(ftok(directory_->Path().c_str(), Faultwright::CErrorDatabaseView::kKeyId), 0, 0) != -1);
  }
  ~ServedDirectory() {
    server_.reset();
    service_.reset();
    RemoveSharedSegment(directory_->Path());
  }

  // fwservice on config, run by launcher (see ServiceProcess). Fails the
  // test (fatally) when it does not come up, its standard error saying why
  // (a port taken, perhaps by a running fwservice or fwinspect serve).
  void StartService(const std::string& config = kSampleConfig, const std::vector<std::string>& launcher = {}) {
    service_ = std::make_unique<ServiceProcess>(
        std::vector<std::string>{"--config", config, "--state", directory_->Path() + "states"}, directory_->Path(),
        launcher);
    ASSERT_TRUE(service_->Serving()) << service_->Err();
  }
  // StartService, then fwinspect serve.
  void Start() {
    ASSERT_NO_FATAL_FAILURE(StartService());
    server_ = std::make_unique<ServiceProcess>(
        "fwinspect", std::vector<std::string>{"serve", kSampleConfig, "--listen", "127.0.0.1:5380"}, directory_->Path(),
        "serving http://127.0.0.1:5380/");
    ASSERT_TRUE(server_->Serving()) << server_->Err();
  }

  // fwerror -r or -c with the four names of an error identifier text; its status.
  static int Tool(bool raise, const std::string& id) {
    // The shell splits the text at its colons alone.
    const std::string fwerror = BuiltProgram("fwerror");
    return RunProcess("/bin/sh", {"sh", "-c", "IFS=:; exec \"$0\" $1 $2", fwerror, raise ? "-r" : "-c", id}).status;
  }

 protected:
  std::unique_ptr<TempDirectory> directory_;
  std::unique_ptr<ServiceProcess> service_;
  std::unique_ptr<ServiceProcess> server_;
};

}  // namespace FaultwrightTest

#endif  // FAULTWRIGHT_TESTS_SUPPORT_SERVESUPPORT_H
