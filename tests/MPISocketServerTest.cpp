// The message-passing layer's server and client over the loopback, on a free
// port. Dropping a client that sends garbage and asking again after a restart
// are the service's and the client library's port tests.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Faultwright.h"
#include "Support/TestService.h"

namespace {

using FaultwrightTest::RecordingCallback;
using Lines = std::vector<std::string>;

class MPISocketServer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(service_.Listening()) << service_.Problem(); }
  std::unique_ptr<MPISocketClientC> Client() {
    auto client = std::make_unique<MPISocketClientC>(true);
    EXPECT_TRUE(client->Connect("localhost", service_.Port(), -1));
    client->SetTimeout(3000);
    return client;
  }

  FaultwrightTest::TestService service_{0};
};

TEST_F(MPISocketServer, LargeMessagesArriveWhole) {
  auto client = Client();
  BDictionaryC message;
  message.Set("args", new BListC(new BStringC(std::string(BDecoderC::kMaxStringBytes, 'x'))));
  message.SetString("name", "Large");
  message.SetString("type", "notify");
  bool sent = false;
  std::thread sender([&] { sent = client->SendMessageElement(&message); });
  EXPECT_EQ(service_.Collect(1), Lines{"notify Large ?"});
  sender.join();
  EXPECT_TRUE(sent);
}

TEST_F(MPISocketServer, CallbacksReachOnlyTheClientsThatAskedOnceEach) {
  auto asking = Client();
  auto silent = Client();
  auto* kept = new RecordingCallback;
  EXPECT_TRUE(asking->RequestCallback("cb_test", new RecordingCallback));
  EXPECT_TRUE(asking->RequestCallback("cb_test", kept));
  EXPECT_EQ(service_.CollectFor(200), Lines{"request_callback cb_test"});
  BListC args;
  args.Add(42);
  EXPECT_EQ(service_.Server().SendCallback("cb_test", &args), 1);
  EXPECT_EQ(service_.Server().SendCallback("cb_other", &args), 0);
  EXPECT_EQ(asking->ProcessMessages(true), 1);
  EXPECT_EQ(kept->heard, Lines{"cb_test 42"});
  silent->SetTimeout(50);
  EXPECT_EQ(silent->ProcessMessages(true), 0);
}

}  // namespace
