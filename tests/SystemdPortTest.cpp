// fwservice under a service manager: the notifications on $NOTIFY_SOCKET, the
// journal's priority prefixes, and the reload of the catalogue on SIGHUP.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Identifiers/Identifiers.h"
#include "Service/CStateFile.h"
#include "Support/ServeSupport.h"

namespace {

using namespace Faultwright;
using namespace FaultwrightTest;
using Texts = std::vector<std::string>;

const char kPlain[] = "GPS:GPS:Firmware Version:12";
const std::string kSprayModule = "<Module identifier=\"Spray\" file=\"SprayModule.xml\"/>";

class SystemdPortTest : public ::testing::Test, public ServedDirectory {
 protected:
  void WriteTop(const std::string& text) { directory_->Write("catalogue/" + top_, text); }
  // Whether the service's standard error comes to hold text.
  bool Logs(const std::string& text) {
    return service_->WaitUntil([&] { return service_->Err().find(text) != std::string::npos; });
  }
  // The datagrams to the manager up to one that equals last; all of them
  // when none does within two seconds.
  Texts Received(const std::string& last) {
    Texts received;
    char buffer[256];
    for (ssize_t size; (received.empty() || received.back() != last) && (size = recv(manager_, buffer, 256, 0)) > 0;) {
      received.emplace_back(buffer, size);
    }
    return received;
  }

  const std::string config_ = directory_->Path() + "catalogue/";
  const std::string top_ = CErrorDatabase::kTopFileName;
  const int manager_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
};

TEST_F(SystemdPortTest, TellsTheManagerWritesPrioritiesToTheJournalAndReloadsKeepingStates) {
  // An abstract name, as the manager hands out.
  const std::string name = "@faultwright-test-" + std::to_string(getpid());
  sockaddr_un address = {AF_UNIX, {}};
  name.copy(address.sun_path + 1, name.size() - 1, 1);
  const socklen_t size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
  const timeval wait = {2, 0};
  ASSERT_EQ(setsockopt(manager_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait), 0);
  ASSERT_EQ(bind(manager_, reinterpret_cast<sockaddr*>(&address), size), 0);
  setenv("NOTIFY_SOCKET", name.c_str(), 1);
  setenv("WATCHDOG_USEC", "100000", 1);
  std::filesystem::copy(kSampleConfig, config_);
  // The journal's variable names the service's own standard error.
  ASSERT_NO_FATAL_FAILURE(StartService(
      config_, {"/bin/sh", "-c", "export JOURNAL_STREAM=$(stat -L -c %d:%i /proc/self/fd/2); exec \"$0\" \"$@\""}));
  ASSERT_EQ(Received("READY=1"), Texts{"READY=1"});
  const Texts pings = Received("WATCHDOG=1");
  EXPECT_EQ(pings, Texts(std::max<size_t>(pings.size(), 1), "WATCHDOG=1"));

  // A reload without the spray module, then one of a broken catalogue.
  ASSERT_EQ(Tool(true, kPlain), 0);
  std::string top = ReadFile(config_ + top_);
  WriteTop(top.replace(top.find(kSprayModule), kSprayModule.size(), ""));
  ASSERT_TRUE(service_->WaitUntil([&] { return CountOf(service_->Out(), "RaiseError") == 1; }));
  kill(service_->Pid(), SIGHUP);
  EXPECT_TRUE(Logs("<6>fwservice: catalogue reloaded")) << service_->Err();
  WriteTop("<Faultwright");
  kill(service_->Pid(), SIGHUP);
  EXPECT_TRUE(Logs("<3>fwservice: catalogue not reloaded, the one before is kept: no errors")) << service_->Err();

  // A manager whose queue is full stalls nothing: the loop goes on, and the
  // catalogue of the first reload serves, the spray module gone.
  const int filler = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  while (sendto(filler, "-", 1, 0, reinterpret_cast<sockaddr*>(&address), size) == 1) {}
  close(filler);
  ASSERT_EQ(Tool(true, "Spray:Treatments:Beyond Treatment Range Limit:15"), 0);
  EXPECT_TRUE(Logs("not in the catalogue")) << service_->Err();
  EXPECT_TRUE(Logs("<4>fwservice: cannot notify the service manager")) << service_->Err();
  // Room for the last one.
  while (recv(manager_, &top[0], 1, MSG_DONTWAIT) > 0) {}
  EXPECT_EQ(service_->Stop(SIGTERM), 0);
  EXPECT_EQ(Received("STOPPING=1").back(), "STOPPING=1");
  EXPECT_EQ(service_->Err().find("<6>fwservice: serving"), 0u) << service_->Err();
  EXPECT_NE(service_->Err().find("\n<6>fwservice: stopping on"), std::string::npos) << service_->Err();
  close(manager_);

  std::vector<CErrorState> records;
  ASSERT_EQ(CStateFile(directory_->Path() + "states").Load(records), CStateFile::kLoaded);
  Texts active;
  for (const CErrorState& record : records) {
    const std::string id = ErrorIdentifierText(record.Code, record.Type);
    if (record.IsActive() || id.rfind("Spray:", 0) == 0)
      active.push_back(id + " " + std::to_string(record.RaiseCount1));
  }
  EXPECT_EQ(active, Texts{std::string(kPlain) + " 1"});

  // Inherited from a parent on the journal, but standard error is a pipe: plain lines.
  unsetenv("NOTIFY_SOCKET");
  setenv("JOURNAL_STREAM", "1:1", 1);
  ASSERT_NO_FATAL_FAILURE(StartService());
  EXPECT_EQ(service_->Err().rfind("fwservice: restored", 0), 0u) << service_->Err();
}

}  // namespace
