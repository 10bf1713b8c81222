// fwservice killed while a long-lived client sends: the client queues what it
// cannot send, reconnects once the service is back, and flushes, so that
// every request arrives exactly once.
#include "Faultwright.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Support/ServiceProcess.h"
#include "Support/TestService.h"
#include "Support/TestSupport.h"

namespace Faultwright {
namespace {

using FaultwrightTest::CountOf;
using FaultwrightTest::ServiceProcess;
using FaultwrightTest::TempDirectory;

// fwservice without a catalogue logs every notification as "<name> <error identifier text>".
std::string Line(const char* name, const CErrorKey& key) {
  return std::string(name) + " " + ErrorIdentifierText(static_cast<uint32_t>(key.code), key.type) + "\n";
}

TEST(ServiceKilled, LongLivedClientQueuesReconnectsAndLosesNothing) {
  FaultwrightTest::EnterPrivateNetwork();
  ASSERT_FALSE(FaultwrightTest::SomethingListensOn(CFaultwrightAPI::kServicePort))
      << "port 5300 is taken, perhaps by a running fwservice: stop it first";
  TempDirectory directory;
  auto service = std::make_unique<ServiceProcess>(std::vector<std::string>{}, directory.Path());
  ASSERT_TRUE(service->Serving()) << service->Err();
  CFaultwrightAPI client;
  int problem = 0;
  auto nextKey = [&problem] { return CErrorKey(0x010C00 + ++problem, 11); };  // GPS:GPS:<problem>:11

  std::string delivered;
  for (int i = 0; i < 5; ++i) {
    CErrorKey key = nextKey();
    ASSERT_EQ(client.RaiseError(key), 1);
    delivered += Line("RaiseError", key);
  }
  ASSERT_TRUE(service->WaitUntil([&] { return service->Out() == delivered; })) << service->Out();

  // Killed with nothing in flight: from now on every request waits in the queue.
  EXPECT_EQ(service->Stop(SIGKILL), -1);
  std::string queued;
  for (int i = 0; i < 5; ++i) {
    CErrorKey key = nextKey();
    EXPECT_EQ(client.RaiseError(key), -1);
    queued += Line("RaiseError", key);
  }
  const CErrorKey cleared(0x010C01, 11);
  EXPECT_EQ(client.ClearError(cleared), -1);
  queued += Line("ClearError", cleared);

  // The service comes back; the client keeps sending, and its next try at
  // reconnecting (at most one a second) sends the request in hand, then the
  // queue in its order.
  service = std::make_unique<ServiceProcess>(std::vector<std::string>{}, directory.Path());
  ASSERT_TRUE(service->Serving()) << service->Err();
  delivered.clear();
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  for (;;) {
    CErrorKey key = nextKey();
    int result = client.RaiseError(key);
    if (result == 1) {
      delivered = Line("RaiseError", key) + queued;
      break;
    }
    EXPECT_EQ(result, -1);
    queued += Line("RaiseError", key);
    ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "the client did not reconnect";
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(client.PendingCount(), 0u);
  EXPECT_TRUE(service->WaitUntil([&] { return CountOf(service->Out(), "\n") == CountOf(delivered, "\n"); }));
  EXPECT_EQ(service->Stop(SIGTERM), 0);
  EXPECT_EQ(service->Out(), delivered);  // in order, and nothing twice
}

}  // namespace
}  // namespace Faultwright
