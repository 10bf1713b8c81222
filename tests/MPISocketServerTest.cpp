#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Faultwright.h"
#include "Support/TestService.h"

namespace {

using FaultwrightTest::TestService;
using Lines = std::vector<std::string>;

// Counts its calls and the argument lists it saw, and its own deletion.
class CountingCallback : public MPICallbackBase {
 public:
  CountingCallback(int* calls, int* deletions) : calls_(calls), deletions_(deletions) {}
  ~CountingCallback() override { ++*deletions_; }
  int Call(const std::string& name, BListC* args) override {
    ++*calls_;
    int64_t first = 0;
    seen += name + (args->IntegerAt(0, &first) ? " " + std::to_string(first) : "") + ";";
    return 0;
  }
  std::string seen;

 private:
  int* calls_;
  int* deletions_;
};

std::unique_ptr<MPISocketClientC> ClientOf(const TestService& service) {
  auto client = std::make_unique<MPISocketClientC>(true);
  EXPECT_TRUE(client->Connect("localhost", service.Port(), -1));
  client->SetTimeout(3000);
  return client;
}

BListC* Args(int value) {
  auto* args = new BListC(nullptr);
  args->Add(value);
  return args;
}

TEST(MPISocketServer, DropsTheClientThatSendsBadBytesWhileTheOthersGoOn) {
  TestService service(0);
  ASSERT_TRUE(service.Listening()) << service.Problem();
  auto first = ClientOf(service);
  auto second = ClientOf(service);
  std::unique_ptr<BListC> args(Args(7));
  ASSERT_TRUE(first->SendNotification("First", args.get()));
  ASSERT_TRUE(second->SendNotification("Second", nullptr));
  EXPECT_EQ(service.Collect(2), (Lines{"notify First 7", "notify Second"}));
  EXPECT_EQ(service.Server().ClientCount(), 2u);

  const std::string garbage = "d4:name3:Bad4:type6:notifyedx";
  ASSERT_EQ(send(second->Descriptor(), garbage.data(), garbage.size(), MSG_NOSIGNAL), ssize_t(garbage.size()));
  ASSERT_TRUE(first->SendNotification("Again", nullptr));
  Lines received = service.Collect(4);
  std::sort(received.begin() + 2, received.end());  // the two clients' order is not fixed
  EXPECT_EQ(received, (Lines{"notify First 7", "notify Second", "notify Again", "notify Bad"}));
  EXPECT_EQ(service.Server().ClientCount(), 1u);
  // The dropped client learns of it before its next send.
  EXPECT_EQ(second->VerifyConnection(), 0);
  EXPECT_EQ(first->VerifyConnection(), 1);
}

TEST(MPISocketServer, LargeMessagesArriveWhole) {
  TestService service(0);
  ASSERT_TRUE(service.Listening()) << service.Problem();
  auto client = ClientOf(service);
  auto* args = new BListC(new BStringC(std::string(BDecoderC::kMaxStringBytes, 'x')));
  BDictionaryC message;
  message.Set("args", args);
  message.SetString("name", "Large");
  message.SetString("type", "notify");
  bool sent = false;
  std::thread sender([&] { sent = client->SendMessageElement(&message); });
  Lines received = service.Collect(1);
  sender.join();
  EXPECT_TRUE(sent);
  EXPECT_EQ(received, Lines{"notify Large ?"});
}

TEST(MPISocketServer, CallbacksReachOnlyTheClientsThatAskedOnceEach) {
  TestService service(0);
  ASSERT_TRUE(service.Listening()) << service.Problem();
  int calls = 0, deletions = 0;
  auto asking = ClientOf(service);
  auto silent = ClientOf(service);
  auto* replaced = new CountingCallback(&calls, &deletions);
  auto* kept = new CountingCallback(&calls, &deletions);
  EXPECT_TRUE(asking->RequestCallback("cb_test", replaced));
  EXPECT_TRUE(asking->RequestCallback("cb_test", kept));
  EXPECT_EQ(deletions, 1);
  EXPECT_EQ(service.CollectFor(200), Lines{"request_callback cb_test"});

  std::unique_ptr<BListC> args(Args(42));
  EXPECT_EQ(service.Server().SendCallback("cb_test", args.get()), 1);
  EXPECT_EQ(service.Server().SendCallback("cb_other", args.get()), 0);
  EXPECT_EQ(asking->ProcessMessages(true), 1);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(kept->seen, "cb_test 42;");
  silent->SetTimeout(50);
  EXPECT_EQ(silent->ProcessMessages(true), 0);

  asking.reset();
  EXPECT_EQ(deletions, 2);
}

TEST(MPISocketServer, ClientReconnectsAndAsksAgainAfterTheServiceRestarts) {
  auto service = std::make_unique<TestService>(0);
  ASSERT_TRUE(service->Listening()) << service->Problem();
  const unsigned short port = service->Port();
  int calls = 0, deletions = 0;  // before the client, whose end deletes the callback
  auto client = ClientOf(*service);
  client->RequestCallback("cb_test", new CountingCallback(&calls, &deletions));
  EXPECT_EQ(service->Collect(1), Lines{"request_callback cb_test"});

  service.reset();
  service = std::make_unique<TestService>(port);
  ASSERT_TRUE(service->Listening()) << service->Problem();
  EXPECT_EQ(client->VerifyConnection(), 0);  // the old connection is gone; too early to retry
  std::this_thread::sleep_for(MPISocketClientC::kReconnectInterval);
  EXPECT_EQ(client->VerifyConnection(), 1);
  EXPECT_EQ(service->Collect(1), Lines{"request_callback cb_test"});
}

}  // namespace
