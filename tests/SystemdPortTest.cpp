// fwservice under a service manager: the notifications on $NOTIFY_SOCKET, the
// journal's priority prefixes, and the reload of the catalogue on SIGHUP.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Identifiers/Identifiers.h"
#include "Service/CStateFile.h"
#include "Support/ServiceProcess.h"
#include "Support/SharedSegment.h"
#include "Support/TestService.h"
#include "Support/TestSupport.h"

namespace {

using namespace Faultwright;
using namespace FaultwrightTest;

const std::string kSampleConfig = std::string(FAULTWRIGHT_SOURCE_DIR) + "/config/";
const std::vector<std::string> kPlain = {"GPS", "GPS", "Firmware Version", "12"};
const std::vector<std::string> kSpray = {"Spray", "Treatments", "Beyond Treatment Range Limit", "15"};
const std::string kSprayModule = "<Module identifier=\"Spray\" file=\"SprayModule.xml\"/>";

int Raise(const std::vector<std::string>& names) {
  std::vector<std::string> args = {"fwerror"};
  args.insert(args.end(), names.begin(), names.end());
  return RunProcess(BuiltProgram("fwerror"), args).status;
}

class SystemdPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnterPrivateNetwork();
    config_ = directory_.Path() + "catalogue/";
    std::filesystem::copy(kSampleConfig, config_);
  }
  void TearDown() override {
    service_.reset();
    for (const char* name : {"NOTIFY_SOCKET", "WATCHDOG_USEC", "JOURNAL_STREAM"}) unsetenv(name);
    RemoveSharedSegment(directory_.Path());
  }
  ServiceProcess& Start(const std::vector<std::string>& launcher = {}) {
    service_ = std::make_unique<ServiceProcess>(
        std::vector<std::string>{"--config", config_, "--state", directory_.Path() + "states"}, directory_.Path(),
        launcher);
    EXPECT_TRUE(service_->Serving()) << service_->Err();
    return *service_;
  }

  TempDirectory directory_;
  std::string config_;
  std::unique_ptr<ServiceProcess> service_;
};

// The datagrams that arrive on socket until one equals last, or two seconds pass.
std::vector<std::string> ReceiveUntil(int socket, const std::string& last, ServiceProcess& service) {
  std::vector<std::string> received;
  service.WaitUntil(
      [&] {
        char buffer[256];
        ssize_t size;
        while ((size = recv(socket, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) received.emplace_back(buffer, size);
        return !received.empty() && received.back() == last;
      },
      2000);
  return received;
}

TEST_F(SystemdPortTest, TellsTheManagerItsStatesAndWritesPrioritiesToTheJournal) {
  // An abstract name, as the manager hands out.
  const std::string name = "@faultwright-test-" + std::to_string(getpid());
  int manager = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(manager, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  name.copy(address.sun_path + 1, name.size() - 1, 1);
  ASSERT_EQ(bind(manager, reinterpret_cast<sockaddr*>(&address),
                 static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size())),
            0);
  setenv("NOTIFY_SOCKET", name.c_str(), 1);
  setenv("WATCHDOG_USEC", "100000", 1);
  // The journal's variable names the service's own standard error.
  ServiceProcess& service =
      Start({"/bin/sh", "-c", "export JOURNAL_STREAM=$(stat -L -c %d:%i /proc/self/fd/2); exec \"$0\" \"$@\""});

  std::vector<std::string> received = ReceiveUntil(manager, "READY=1", service);
  ASSERT_EQ(received, std::vector<std::string>{"READY=1"});
  received = ReceiveUntil(manager, "WATCHDOG=1", service);
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received, std::vector<std::string>(received.size(), "WATCHDOG=1"));
  ASSERT_EQ(Raise({"GPS", "Battery", "A Not Set", "0"}), 0);  // not in the catalogue: a warning
  EXPECT_TRUE(service.WaitUntil([&] { return service.Err().find("<4>fwservice: RaiseError") != std::string::npos; }))
      << service.Err();
  EXPECT_EQ(service.Stop(SIGTERM), 0);
  received = ReceiveUntil(manager, "STOPPING=1", service);
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received.back(), "STOPPING=1");
  EXPECT_EQ(service.Err().find("<6>fwservice: serving"), 0u) << service.Err();
  EXPECT_NE(service.Err().find("\n<6>fwservice: stopping on"), std::string::npos) << service.Err();
  close(manager);
}

TEST_F(SystemdPortTest, AReloadKeepsTheStatesOfErrorsThatStayAndABrokenCatalogueKeepsTheOldOne) {
  // Inherited from a parent on the journal, but standard error is a pipe: plain lines.
  setenv("JOURNAL_STREAM", "1:1", 1);
  ServiceProcess& service = Start();
  ASSERT_EQ(Raise(kPlain), 0);
  const std::string top = config_ + CErrorDatabase::kTopFileName;
  std::string catalogue = ReadFile(top);
  directory_.Write("catalogue/" + std::string(CErrorDatabase::kTopFileName),
                   catalogue.replace(catalogue.find(kSprayModule), kSprayModule.size(), ""));
  ASSERT_TRUE(service.WaitUntil([&] { return CountOf(service.Out(), "RaiseError") == 1; }));
  kill(service.Pid(), SIGHUP);
  EXPECT_TRUE(service.WaitUntil([&] { return service.Err().find("catalogue reloaded") != std::string::npos; }))
      << service.Err();
  directory_.Write("catalogue/" + std::string(CErrorDatabase::kTopFileName), "<Faultwright");
  kill(service.Pid(), SIGHUP);
  EXPECT_TRUE(service.WaitUntil([&] {
    return service.Err().find("fwservice: catalogue not reloaded, the one before is kept: no errors") !=
           std::string::npos;
  })) << service.Err();
  // The catalogue of the first reload still serves: the spray module is gone.
  ASSERT_EQ(Raise(kSpray), 0);
  EXPECT_TRUE(service.WaitUntil([&] { return service.Err().find("not in the catalogue") != std::string::npos; }))
      << service.Err();
  EXPECT_EQ(service.Stop(SIGTERM), 0);
  EXPECT_EQ(service.Err().find("fwservice: serving"), 0u) << service.Err();

  std::vector<CErrorState> records;
  ASSERT_EQ(CStateFile(directory_.Path() + "states").Load(&records), CStateFile::kLoaded);
  std::vector<std::string> active;
  for (const CErrorState& record : records) {
    if (record.IsActive())
      active.push_back(ErrorIdentifierText(record.Code, record.Type) + " " + std::to_string(record.RaiseCount1));
    EXPECT_NE(ErrorIdentifierText(record.Code, record.Type).rfind("Spray:", 0), 0u);
  }
  EXPECT_EQ(active, std::vector<std::string>{"GPS:GPS:Firmware Version:12 1"});
}

}  // namespace
