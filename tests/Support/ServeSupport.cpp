#include "Support/ServeSupport.h"

#include <gtest/gtest.h>

#include "Common/View/CErrorDatabaseView.h"
#include "Support/SharedSegment.h"
#include "Support/TestService.h"

namespace FaultwrightTest {

ServedDirectory::ServedDirectory() {
  EnterPrivateNetwork();
  // A directory whose key another test's segment happens to use is passed over.
  do {
    directory_ = std::make_unique<TempDirectory>();
  } while (shmget(ftok(directory_->Path().c_str(), Faultwright::CErrorDatabaseView::kKeyId), 0, 0) != -1);
}

ServedDirectory::~ServedDirectory() {
  server_.reset();
  service_.reset();
  RemoveSharedSegment(directory_->Path());
}

void ServedDirectory::StartService(const std::string& config, const std::vector<std::string>& launcher) {
  ASSERT_FALSE(SomethingListensOn(5300)) << "port 5300 is taken, perhaps by a running fwservice: stop it first";
  service_ = std::make_unique<ServiceProcess>(
      std::vector<std::string>{"--config", config, "--state", directory_->Path() + "states"}, directory_->Path(),
      launcher);
  ASSERT_TRUE(service_->Serving()) << service_->Err();
}

void ServedDirectory::Start() {
  ASSERT_NO_FATAL_FAILURE(StartService());
  ASSERT_FALSE(SomethingListensOn(kServePort)) << "port 5380 is taken, perhaps by fwinspect serve: stop it first";
  server_ = std::make_unique<ServiceProcess>(
      "fwinspect", std::vector<std::string>{"serve", kSampleConfig, "--listen", "127.0.0.1:5380"}, directory_->Path(),
      "serving http://127.0.0.1:5380/");
  ASSERT_TRUE(server_->Serving()) << server_->Err();
}

int ServedDirectory::Tool(bool raise, const std::string& id) {
  std::vector<std::string> args = {"fwerror", raise ? "-r" : "-c"};
  size_t start = 0;
  for (size_t colon; (colon = id.find(':', start)) != std::string::npos; start = colon + 1) {
    args.push_back(id.substr(start, colon - start));
  }
  args.push_back(id.substr(start));
  return RunProcess(BuiltProgram("fwerror"), args).status;
}

}  // namespace FaultwrightTest
