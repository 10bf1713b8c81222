// The client library against a stand-in service on port 5300: what it sends,
// what it queues while the service is away, and how it sees the service leave.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cstring>
#include <numeric>
#include <thread>

#include "Faultwright.h"
#include "Support/TestService.h"

namespace Faultwright {
namespace {

using namespace FaultwrightTest;
using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

const CErrorKey kSatellites(0x010C38, 11);
const CErrorKey kVoltage(0x020239, 3);

class FaultwrightAPIPortTest : public PortTest {
 protected:
  // The client always speaks to port 5300; the service comes up when a test says so.
  void StartService() {
    service_ = std::make_unique<TestService>(CFaultwrightAPI::kServicePort);
    ASSERT_TRUE(service_->Listening()) << service_->Problem();
  }
  // The service comes back, and the reconnection that a client makes at most
  // once per interval is due.
  void Restart() {
    StartService();
    std::this_thread::sleep_for(MPISocketClientC::kReconnectInterval);
  }
  int Notify(int code, int type) {
    BListC args;
    args.Add(code);
    args.Add(type);
    return service_->Server().SendCallback("cb_error_notify", &args);
  }

  std::unique_ptr<TestService> service_;
};

TEST_F(FaultwrightAPIPortTest, SendsOnlyRequestsThatChangeTheStateAndNothingWhileSuppressed) {
  StartService();
  CFaultwrightAPI client;
  EXPECT_EQ(client.RaiseError(kSatellites), 1);
  EXPECT_EQ(client.RaiseError(kSatellites), 0);
  EXPECT_EQ(client.ClearError(kVoltage), 1);  // never raised by this client: sent all the same
  EXPECT_EQ(client.ClearError(kSatellites), 1);
  client.SetSuppressed(true);
  EXPECT_EQ(client.RaiseError(kVoltage), 0);
  EXPECT_EQ(client.PendingCount(), 0u);
  EXPECT_EQ(service_->CollectFor(200),
            (Lines{"notify RaiseError 68664 11 0", "notify ClearError 131641 3", "notify ClearError 68664 11"}));
}

TEST_F(FaultwrightAPIPortTest, TheQueueSendsEachKeysLastRequestOnceBehindTheRequestInHand) {
  CFaultwrightAPI client;
  EXPECT_EQ(client.RaiseError(kSatellites), -1);
  EXPECT_EQ(client.ClearError(kVoltage), -1);
  EXPECT_EQ(client.PendingCount(), 2u);
  Restart();
  // The older queued clear of the key in hand does not follow its raise.
  EXPECT_EQ(client.RaiseError(kVoltage), 1);
  EXPECT_EQ(client.PendingCount(), 0u);
  EXPECT_EQ(service_->CollectFor(300), (Lines{"notify RaiseError 131641 3 0", "notify RaiseError 68664 11 0"}));
  service_.reset();
  EXPECT_EQ(client.ClearError(kSatellites), -1);
  Restart();
  // The queued clear, asked for again, is sent once.
  EXPECT_EQ(client.ClearError(kSatellites), 1);
  EXPECT_EQ(service_->CollectFor(300), Lines{"notify ClearError 68664 11"});
}

TEST_F(FaultwrightAPIPortTest, AServiceThatLeftIsSeenBehindItsUnreadCallbacks) {
  StartService();
  RecordingCallback callback;
  CFaultwrightAPI client;
  client.SetNotifyCallback(&callback);
  EXPECT_EQ(service_->Collect(1), Lines{"request_callback cb_error_notify"});
  EXPECT_EQ(Notify(0x010C38, 11), 1);
  service_.reset();
  // The callback waits unread ahead of the service's end; the raise must not
  // be taken for delivered, and the callback is still handed on.
  EXPECT_EQ(client.RaiseError(kSatellites), -1);
  EXPECT_EQ(client.PendingCount(), 1u);
  EXPECT_EQ(client.ProcessMessages(false), 1);
  EXPECT_EQ(callback.heard, Lines{"cb_error_notify 68664 11"});
  Restart();
  EXPECT_EQ(client.ClearError(kVoltage), 1);
  EXPECT_EQ(service_->Collect(3),
            (Lines{"request_callback cb_error_notify", "notify ClearError 131641 3", "notify RaiseError 68664 11 0"}));
}

TEST_F(FaultwrightAPIPortTest, AServiceThatNeverAcceptsHoldsNoRequestLong) {
  auto start = Clock::now();
  {
    StuckService stuck(CFaultwrightAPI::kServicePort);
    ASSERT_TRUE(stuck.Stuck());
    EXPECT_FALSE(CFaultwrightAPI().IsConnected());
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(Socket::kConnectTimeoutMs + 500));
  }
  // A long-lived client that reconnects from inside a request.
  StartService();
  CFaultwrightAPI client;
  ASSERT_TRUE(client.IsConnected());
  service_.reset();
  StuckService stuck(CFaultwrightAPI::kServicePort);
  ASSERT_TRUE(stuck.Stuck());
  std::this_thread::sleep_for(MPISocketClientC::kReconnectInterval);
  start = Clock::now();
  EXPECT_EQ(client.RaiseError(kSatellites), -1);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(Socket::kReconnectTimeoutMs + 100));
}

TEST_F(FaultwrightAPIPortTest, ARequestWhoseSendFailsIsQueuedAndItsStateKept) {
  StartService();
  CFaultwrightAPI client;
  // The connection still looks open, but nothing can be written to it any more.
  ASSERT_EQ(shutdown(client.Descriptor(), SHUT_WR), 0);
  EXPECT_EQ(client.RaiseError(kSatellites), -1);
  EXPECT_EQ(client.PendingCount(), 1u);
  std::this_thread::sleep_for(MPISocketClientC::kReconnectInterval);
  // Had the failed raise been recorded as sent, the flush would drop it unsent.
  EXPECT_EQ(client.ClearError(kVoltage), 1);
  EXPECT_EQ(service_->CollectFor(300), (Lines{"notify ClearError 131641 3", "notify RaiseError 68664 11 0"}));
}

TEST_F(FaultwrightAPIPortTest, NotifyCallbackIsRegisteredOnceAndLeftToItsUser) {
  StartService();
  int deletions = 0;
  auto* first = new RecordingCallback(&deletions);
  RecordingCallback second(&deletions);
  {
    CFaultwrightAPI client;
    client.SetTimeout(3000);
    client.SetNotifyCallback(first);
    client.SetNotifyCallback(&second);
    EXPECT_EQ(deletions, 1);
    client.SetNotifyCallback(&second);  // the held callback again: kept, not deleted
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(service_->CollectFor(200), Lines{"request_callback cb_error_notify"});
    EXPECT_EQ(Notify(0x010C38, 11), 1);
    EXPECT_EQ(client.ProcessMessages(true), 1);
    EXPECT_EQ(second.heard, Lines{"cb_error_notify 68664 11"});
    // A client that holds no callback asks for it also when given none.
    CFaultwrightAPI other;
    other.SetNotifyCallback(nullptr);
    EXPECT_EQ(service_->Collect(2), (Lines{"request_callback cb_error_notify", "request_callback cb_error_notify"}));
  }
  // The client leaves the callback it holds at its end to its user.
  EXPECT_EQ(deletions, 1);
}

// The slots in the virtual table of virtual member functions: in the Itanium
// C++ ABI a pointer to one holds one more than its slot's byte offset.
template <typename... Members>
std::vector<ptrdiff_t> SlotsOf(Members... members) {
  std::vector<ptrdiff_t> slots;
  uintptr_t raw[2];
  static_assert(((sizeof(Members) == sizeof raw) && ...), "Itanium member pointers");
  ((std::memcpy(raw, &members, sizeof raw), slots.push_back(static_cast<ptrdiff_t>((raw[0] - 1) / sizeof(void*)))),
   ...);
  return slots;
}

// Peers of the unit call through the virtual tables as they are.
TEST(FaultwrightAPILayout, VirtualFunctionsKeepTheirSlots) {
#if defined(__x86_64__) || defined(__i386__) || defined(__powerpc__)
  using API = CFaultwrightAPI;
  std::vector<ptrdiff_t> slots(23);
  std::iota(slots.begin() + 1, slots.end(), 2);
  EXPECT_EQ(SlotsOf(&MPICallbackBase::Call, &API::Idle, &API::Accept, &API::Reconnect, &API::Connected,
                    &API::GetExtraReader, &API::ReadExtra, &API::DataReceived, &API::DataReceivedFrom, &API::DataSent,
                    &API::Disconnected, &API::Destroy, &API::DoCallback, &API::DoClientCallback, &API::ProcessMessages,
                    &API::CheckCallbacks, &API::SetTimeout, &API::SendMessage, &API::SendMessageElement,
                    &API::ReceiveMessage, &API::MessageReceived, &API::RaiseError, &API::ClearError),
            slots);
#else
  GTEST_SKIP() << "member pointers of this processor's ABI are not read here";
#endif
}

}  // namespace
}  // namespace Faultwright
