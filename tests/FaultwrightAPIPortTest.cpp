#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Faultwright.h"
#include "Support/TestService.h"

namespace Faultwright {
namespace {

using FaultwrightTest::TestService;
using Lines = std::vector<std::string>;

const CErrorKey kSatellites(0x010C38, 11);
const CErrorKey kVoltage(0x020239, 3);

class FaultwrightAPIPortTest : public ::testing::Test {
 protected:
  // The client always speaks to port 5300; the service comes up when a test says so.
  void StartService() {
    service_ = std::make_unique<TestService>(CFaultwrightAPI::kServicePort);
    ASSERT_TRUE(service_->Listening()) << service_->Problem();
  }
  void SetUp() override {
    FaultwrightTest::EnterPrivateNetwork();
    ASSERT_FALSE(FaultwrightTest::SomethingListensOn(CFaultwrightAPI::kServicePort))
        << "port 5300 is in use by another program, perhaps a running fwservice: stop it and run the test again";
  }
  // The reconnection that a client makes at most once per interval is due.
  static void AwaitReconnection() { std::this_thread::sleep_for(MPISocketClientC::kReconnectInterval); }

  std::unique_ptr<TestService> service_;
};

class NotifyCallback : public MPICallbackBase {
 public:
  explicit NotifyCallback(int* deletions) : deletions_(deletions) {}
  ~NotifyCallback() override { ++*deletions_; }
  int Call(const std::string& name, BListC* args) override {
    int64_t code = 0, type = 0;
    if (args->IntegerAt(0, &code) && args->IntegerAt(1, &type)) {
      seen += name + " " + std::to_string(code) + " " + std::to_string(type) + ";";
    }
    if (then) then();
    return 7;
  }
  std::string seen;
  std::function<void()> then;  // what the user does on each callback

 private:
  int* deletions_;
};

TEST_F(FaultwrightAPIPortTest, SendsOnlyRequestsThatChangeTheState) {
  StartService();
  CFaultwrightAPI client;
  EXPECT_EQ(client.RaiseError(kSatellites), 1);
  EXPECT_EQ(client.RaiseError(kSatellites), 0);
  EXPECT_EQ(client.ClearError(kVoltage), 1);  // never raised by this client: sent all the same
  EXPECT_EQ(client.ClearError(kSatellites), 1);
  EXPECT_EQ(client.RaiseError(kSatellites), 1);
  EXPECT_EQ(client.PendingCount(), 0u);
  EXPECT_EQ(service_->Collect(4), (Lines{"notify RaiseError 68664 11 0", "notify ClearError 131641 3",
                                         "notify ClearError 68664 11", "notify RaiseError 68664 11 0"}));

  client.SetSuppressed(true);
  EXPECT_EQ(client.ClearError(kSatellites), 0);
  EXPECT_EQ(client.RaiseError(kVoltage), 0);
  EXPECT_EQ(client.PendingCount(), 0u);
  EXPECT_EQ(service_->CollectFor(200).size(), 4u);
}

TEST_F(FaultwrightAPIPortTest, QueuesWhileTheServiceIsAbsentAndSendsTheQueueBehindTheNextRequest) {
  CFaultwrightAPI client;
  EXPECT_EQ(client.RaiseError(kSatellites), -1);
  EXPECT_EQ(client.ClearError(kVoltage), -1);
  EXPECT_EQ(client.PendingCount(), 2u);
  StartService();
  AwaitReconnection();
  // The request in hand goes first; the queued raise of it is then found done.
  // The request in hand goes first; the older clear of the same key, which
  // it replaced, is not sent after it.
  EXPECT_EQ(client.RaiseError(kVoltage), 1);
  EXPECT_EQ(client.PendingCount(), 0u);
  EXPECT_EQ(service_->CollectFor(300), (Lines{"notify RaiseError 131641 3 0", "notify RaiseError 68664 11 0"}));
}

TEST_F(FaultwrightAPIPortTest, TheServiceEndsWithTheLastRequestForEachKey) {
  CFaultwrightAPI client;
  // Raised while the service is down, cleared once it is back: cleared.
  EXPECT_EQ(client.RaiseError(kSatellites), -1);
  StartService();
  AwaitReconnection();
  EXPECT_EQ(client.ClearError(kSatellites), 1);
  EXPECT_EQ(client.PendingCount(), 0u);
  EXPECT_EQ(service_->CollectFor(200), Lines{"notify ClearError 68664 11"});

  // Raised, cleared while the service is down, raised again once it is back:
  // raised, and the stale clear never follows.
  EXPECT_EQ(client.RaiseError(kVoltage), 1);
  EXPECT_EQ(service_->Collect(2).size(), 2u);
  service_.reset();
  EXPECT_EQ(client.ClearError(kVoltage), -1);
  StartService();
  AwaitReconnection();
  EXPECT_EQ(client.RaiseError(kVoltage), 0);
  EXPECT_EQ(client.PendingCount(), 0u);
  EXPECT_EQ(client.ClearError(kSatellites), 0);  // a flush now would send what is still queued
  EXPECT_EQ(service_->CollectFor(200), Lines{});
}

TEST_F(FaultwrightAPIPortTest, AServiceThatLeftIsSeenBehindItsUnreadCallbacks) {
  StartService();
  int deletions = 0;
  auto* callback = new NotifyCallback(&deletions);
  CFaultwrightAPI client;
  client.SetNotifyCallback(callback);
  EXPECT_EQ(service_->Collect(1), Lines{"request_callback cb_error_notify"});
  BListC args;
  args.Add(0x010C38);
  args.Add(11);
  EXPECT_EQ(service_->Server().SendCallback("cb_error_notify", &args), 1);
  service_.reset();
  // The callback waits unread ahead of the service's end; the raise must not
  // be taken for delivered, and the callback is still handed on.
  EXPECT_EQ(client.RaiseError(kSatellites), -1);
  EXPECT_EQ(client.PendingCount(), 1u);
  EXPECT_EQ(client.ProcessMessages(false), 1);
  EXPECT_EQ(callback->seen, "cb_error_notify 68664 11;");
  StartService();
  AwaitReconnection();
  EXPECT_EQ(client.ClearError(kVoltage), 1);
  EXPECT_EQ(service_->Collect(3),
            (Lines{"request_callback cb_error_notify", "notify ClearError 131641 3", "notify RaiseError 68664 11 0"}));
  client.SetNotifyCallback(nullptr);
  EXPECT_EQ(deletions, 1);
}

// A service that writes bytes as they are and leaves: the client connects to
// its queue, Send writes to the first connection (which no longer listens
// then), Leave closes it.
class RawService {
 public:
  RawService() : listener_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(CFaultwrightAPI::kServicePort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int on = 1;
    listening_ = listener_ >= 0 && setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
                 bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                 listen(listener_, 4) == 0;
  }
  ~RawService() { Leave(); }
  bool Listening() const { return listening_; }
  // False when no client was there or the bytes could not be written.
  bool Send(const std::string& bytes) {
    if (client_ < 0) {
      client_ = accept(listener_, nullptr, nullptr);
      close(listener_);
      listener_ = -1;
      char request[256];  // read what the client asked, so that closing sends no reset
      if (client_ < 0 || recv(client_, request, sizeof request, 0) <= 0) return false;
    }
    return send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  void Leave() {
    for (int* descriptor : {&client_, &listener_}) {
      if (*descriptor >= 0) close(*descriptor);
      *descriptor = -1;
    }
  }

 private:
  int listener_;
  int client_ = -1;
  bool listening_ = false;
};

TEST_F(FaultwrightAPIPortTest, ACallbackThatReconnectsLeavesTheOldStreamOutOfTheNewOne) {
  auto callback = [](int code, int type) {
    const std::string args = "li" + std::to_string(code) + "ei" + std::to_string(type) + "ee";
    return "d4:args" + args + "4:name15:cb_error_notify4:type8:callbacke";
  };
  int deletions = 0;
  auto* notify = new NotifyCallback(&deletions);
  {
    RawService gone;
    ASSERT_TRUE(gone.Listening());
    CFaultwrightAPI client;
    client.SetTimeout(3000);
    client.SetNotifyCallback(notify);
    ASSERT_TRUE(gone.Send(callback(1, 1) + callback(2, 2)));
    StartService();
    AwaitReconnection();
    // While the first callback is handled, a third and half a fourth arrive
    // behind the chunk read, then the service's end; the user's raise finds
    // the service gone and reconnects from inside the receive.
    bool first = true;
    notify->then = [&] {
      if (!first) return;
      first = false;
      EXPECT_TRUE(gone.Send(callback(3, 3) + "d4:args"));
      gone.Leave();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      EXPECT_EQ(client.RaiseError(kVoltage), 1);
    };
    EXPECT_EQ(client.ProcessMessages(true), 1);
    EXPECT_EQ(service_->Collect(2), (Lines{"request_callback cb_error_notify", "notify RaiseError 131641 3 0"}));
    BListC args;
    args.Add(5);
    args.Add(6);
    EXPECT_EQ(service_->Server().SendCallback("cb_error_notify", &args), 1);
    // The old connection's whole callbacks come first, by themselves; its half
    // one is gone, and the new connection's callback arrives whole.
    EXPECT_EQ(client.ProcessMessages(false), 2);
    EXPECT_EQ(client.ProcessMessages(true), 1);
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(notify->seen, "cb_error_notify 1 1;cb_error_notify 2 2;cb_error_notify 3 3;cb_error_notify 5 6;");
  }
  delete notify;
}

TEST_F(FaultwrightAPIPortTest, AServiceThatNeverAcceptsHoldsNoRequestLong) {
  using Clock = std::chrono::steady_clock;
  auto start = Clock::now();
  {
    FaultwrightTest::StuckService stuck(CFaultwrightAPI::kServicePort);
    ASSERT_TRUE(stuck.Stuck());
    CFaultwrightAPI client;
    EXPECT_FALSE(client.IsConnected());
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(Socket::kConnectTimeoutMs + 500));
  }

  // A long-lived client that reconnects from inside a request.
  StartService();
  CFaultwrightAPI client;
  ASSERT_TRUE(client.IsConnected());
  service_.reset();
  FaultwrightTest::StuckService stuck(CFaultwrightAPI::kServicePort);
  ASSERT_TRUE(stuck.Stuck());
  AwaitReconnection();
  start = Clock::now();
  EXPECT_EQ(client.RaiseError(kSatellites), -1);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(Socket::kReconnectTimeoutMs + 100));
}

TEST_F(FaultwrightAPIPortTest, AQueuedRequestThatIsSentDirectlyIsNotSentTwice) {
  CFaultwrightAPI client;
  EXPECT_EQ(client.RaiseError(kSatellites), -1);
  StartService();
  AwaitReconnection();
  EXPECT_EQ(client.RaiseError(kSatellites), 1);
  EXPECT_EQ(client.PendingCount(), 0u);
  EXPECT_EQ(service_->CollectFor(300), Lines{"notify RaiseError 68664 11 0"});
}

TEST_F(FaultwrightAPIPortTest, ARequestWhoseSendFailsIsQueuedAndItsStateKept) {
  StartService();
  CFaultwrightAPI client;
  // The connection still looks open, but nothing can be written to it any more.
  ASSERT_EQ(shutdown(client.Descriptor(), SHUT_WR), 0);
  EXPECT_EQ(client.RaiseError(kSatellites), -1);
  EXPECT_EQ(client.PendingCount(), 1u);
  EXPECT_EQ(service_->CollectFor(100), Lines{});
  AwaitReconnection();
  // Had the failed raise been recorded as sent, the flush would drop it unsent.
  EXPECT_EQ(client.ClearError(kVoltage), 1);
  EXPECT_EQ(client.PendingCount(), 0u);
  EXPECT_EQ(service_->Collect(2), (Lines{"notify ClearError 131641 3", "notify RaiseError 68664 11 0"}));
}

TEST_F(FaultwrightAPIPortTest, NotifyCallbackIsRegisteredOnceAndReceivesTheServiceCallbacks) {
  StartService();
  int deletions = 0;
  auto* first = new NotifyCallback(&deletions);
  auto* second = new NotifyCallback(&deletions);
  {
    CFaultwrightAPI client;
    client.SetTimeout(3000);
    client.SetNotifyCallback(first);
    client.SetNotifyCallback(second);
    EXPECT_EQ(deletions, 1);
    client.SetNotifyCallback(second);  // the held callback again: kept, not deleted
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(service_->CollectFor(200), Lines{"request_callback cb_error_notify"});

    BListC args;
    args.Add(0x010C38);
    args.Add(11);
    EXPECT_EQ(service_->Server().SendCallback("cb_error_notify", &args), 1);
    EXPECT_EQ(client.ProcessMessages(true), 1);
    EXPECT_EQ(second->seen, "cb_error_notify 68664 11;");

    // A client that holds no callback asks for it also when given none.
    CFaultwrightAPI other;
    other.SetNotifyCallback(nullptr);
    EXPECT_EQ(service_->Collect(2), (Lines{"request_callback cb_error_notify", "request_callback cb_error_notify"}));
  }
  // The client leaves the callback it holds at its end to its user.
  EXPECT_EQ(deletions, 1);
  delete second;
}

// In the Itanium C++ ABI a pointer to a virtual member function holds one more
// than the byte offset of its slot in the virtual table.
template <typename Member>
ptrdiff_t SlotOf(Member member) {
  struct {
    uintptr_t pointer;
    ptrdiff_t adjustment;
  } raw;
  static_assert(sizeof raw == sizeof member, "Itanium member pointers");
  std::memcpy(&raw, &member, sizeof raw);
  return static_cast<ptrdiff_t>((raw.pointer - 1) / sizeof(void*));
}

TEST(FaultwrightAPILayout, VirtualFunctionsKeepTheirSlots) {
#if defined(__x86_64__) || defined(__i386__) || defined(__powerpc__)
  using API = CFaultwrightAPI;
  EXPECT_EQ(SlotOf(&MPICallbackBase::Call), 0);
  EXPECT_EQ(SlotOf(&API::Idle), 2);
  EXPECT_EQ(SlotOf(&API::Accept), 3);
  EXPECT_EQ(SlotOf(&API::Reconnect), 4);
  EXPECT_EQ(SlotOf(&API::Connected), 5);
  EXPECT_EQ(SlotOf(&API::GetExtraReader), 6);
  EXPECT_EQ(SlotOf(&API::ReadExtra), 7);
  EXPECT_EQ(SlotOf(&API::DataReceived), 8);
  EXPECT_EQ(SlotOf(&API::DataReceivedFrom), 9);
  EXPECT_EQ(SlotOf(&API::DataSent), 10);
  EXPECT_EQ(SlotOf(&API::Disconnected), 11);
  EXPECT_EQ(SlotOf(&API::Destroy), 12);
  EXPECT_EQ(SlotOf(&API::DoCallback), 13);
  EXPECT_EQ(SlotOf(&API::DoClientCallback), 14);
  EXPECT_EQ(SlotOf(&API::ProcessMessages), 15);
  EXPECT_EQ(SlotOf(&API::CheckCallbacks), 16);
  EXPECT_EQ(SlotOf(&API::SetTimeout), 17);
  EXPECT_EQ(SlotOf(&API::SendMessage), 18);
  EXPECT_EQ(SlotOf(&API::SendMessageElement), 19);
  EXPECT_EQ(SlotOf(&API::ReceiveMessage), 20);
  EXPECT_EQ(SlotOf(&API::MessageReceived), 21);
  EXPECT_EQ(SlotOf(&API::RaiseError), 22);
  EXPECT_EQ(SlotOf(&API::ClearError), 23);
#else
  GTEST_SKIP() << "member pointers of this processor's ABI are not read here";
#endif
}

}  // namespace
}  // namespace Faultwright
