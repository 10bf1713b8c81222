// The message-passing layer's server and client over the loopback, on a free port.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Faultwright.h"
#include "Support/TestService.h"

namespace {

using FaultwrightTest::RecordingCallback;
using FaultwrightTest::TestService;
using Lines = std::vector<std::string>;

class MPISocketServer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(service_->Listening()) << service_->Problem(); }
  std::unique_ptr<MPISocketClientC> Client() {
    auto client = std::make_unique<MPISocketClientC>(true);
    EXPECT_TRUE(client->Connect("localhost", service_->Port(), -1));
    client->SetTimeout(3000);
    return client;
  }

  std::unique_ptr<TestService> service_ = std::make_unique<TestService>(0);
};

TEST_F(MPISocketServer, DropsTheClientThatSendsBadBytesWhileTheOthersGoOn) {
  auto first = Client();
  auto second = Client();
  BListC args;
  args.Add(7);
  ASSERT_TRUE(first->SendNotification("First", &args));
  ASSERT_TRUE(second->SendNotification("Second", nullptr));
  EXPECT_EQ(service_->Collect(2), (Lines{"notify First 7", "notify Second"}));
  const std::string garbage = "d4:name3:Bad4:type6:notifyedx";
  ASSERT_EQ(send(second->Descriptor(), garbage.data(), garbage.size(), MSG_NOSIGNAL), ssize_t(garbage.size()));
  ASSERT_TRUE(first->SendNotification("Again", nullptr));
  Lines received = service_->Collect(4);
  std::sort(received.begin() + 2, received.end());  // the two clients' order is not fixed
  EXPECT_EQ(received, (Lines{"notify First 7", "notify Second", "notify Again", "notify Bad"}));
  EXPECT_EQ(service_->Server().ClientCount(), 1u);
  // The dropped client learns of it before its next send.
  EXPECT_EQ(second->VerifyConnection(), 0);
  EXPECT_EQ(first->VerifyConnection(), 1);
}

TEST_F(MPISocketServer, LargeMessagesArriveWhole) {
  auto client = Client();
  BDictionaryC message;
  message.Set("args", new BListC(new BStringC(std::string(BDecoderC::kMaxStringBytes, 'x'))));
  message.SetString("name", "Large");
  message.SetString("type", "notify");
  bool sent = false;
  std::thread sender([&] { sent = client->SendMessageElement(&message); });
  EXPECT_EQ(service_->Collect(1), Lines{"notify Large ?"});
  sender.join();
  EXPECT_TRUE(sent);
}

TEST_F(MPISocketServer, CallbacksReachOnlyTheClientsThatAskedOnceEachAgainAfterARestart) {
  int deletions = 0;
  auto asking = Client();
  auto silent = Client();
  auto* kept = new RecordingCallback(&deletions);
  EXPECT_TRUE(asking->RequestCallback("cb_test", new RecordingCallback(&deletions)));
  EXPECT_TRUE(asking->RequestCallback("cb_test", kept));
  EXPECT_EQ(deletions, 1);
  EXPECT_EQ(service_->CollectFor(200), Lines{"request_callback cb_test"});
  BListC args;
  args.Add(42);
  EXPECT_EQ(service_->Server().SendCallback("cb_test", &args), 1);
  EXPECT_EQ(service_->Server().SendCallback("cb_other", &args), 0);
  EXPECT_EQ(asking->ProcessMessages(true), 1);
  EXPECT_EQ(kept->heard, Lines{"cb_test 42"});
  silent->SetTimeout(50);
  EXPECT_EQ(silent->ProcessMessages(true), 0);

  const unsigned short port = service_->Port();
  service_.reset();
  service_ = std::make_unique<TestService>(port);
  ASSERT_TRUE(service_->Listening()) << service_->Problem();
  EXPECT_EQ(asking->VerifyConnection(), 0);  // the old connection is gone; too early to retry
  std::this_thread::sleep_for(MPISocketClientC::kReconnectInterval);
  EXPECT_EQ(asking->VerifyConnection(), 1);
  EXPECT_EQ(service_->Collect(1), Lines{"request_callback cb_test"});
  asking.reset();
  EXPECT_EQ(deletions, 2);
}

}  // namespace
