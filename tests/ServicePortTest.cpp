// fwservice end to end, with real processes: clients on one side, readers of
// the shared segment on the other, and neighbours that stall, flood, send
// garbage, do not read, or take the lock and the descriptors away.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "Common/ErrorDatabase/TriggerReference.h"
#include "Faultwright.h"
#include "Service/CStateFile.h"
#include "Support/ChildBody.h"
#include "Support/RawClients.h"
#include "Support/SegmentDirectory.h"
#include "Support/ServiceProcess.h"
#include "Support/TestService.h"
#include "Support/TestSupport.h"

#ifndef __has_feature
#define __has_feature(feature) 0
#endif

namespace {

using namespace Faultwright;
using namespace FaultwrightTest;
using Lines = std::vector<std::string>;

const std::string kSampleConfig = std::string(FAULTWRIGHT_SOURCE_DIR) + "/config/";
const char kTrigger[] = "GPS:L1 L2 Antenna:Voltage:4";
// Raised by kTrigger through a trigger set, and in turn raising kCascade.
const char kAutomatic[] = "GPS:GPS:Position Calculation:11";
const char kCascade[] = "Navigation And Control:Steering:Disengage Fault:11";
const char kPlain[] = "GPS:GPS:Firmware Version:12";
// The delay bound leaves room for a loaded test machine; bench/ has the figures.
const auto kRaiseDelayBound = std::chrono::milliseconds(1500);

CErrorKey KeyOf(const std::string& id) {
  TriggerReference reference;
  EXPECT_EQ(reference.Parse(id), TriggerReference::kResolved) << id;
  return CErrorKey(static_cast<int32_t>(reference.Code()), reference.Type());
}

// A raise or clear from a client of its own, as fwerror sends it: 1 when delivered.
int Send(bool raise, const std::string& id) {
  CFaultwrightAPI client;
  return raise ? client.RaiseError(KeyOf(id)) : client.ClearError(KeyOf(id));
}

// The raise of the error named id, as a client writes it.
std::string RaiseMessage(const std::string& id) {
  const CErrorKey key = KeyOf(id);
  return "d4:argsli" + std::to_string(key.code) + "ei" + std::to_string(key.type) +
         "ei0ee4:name10:RaiseError4:type6:notifye";
}

// The processor time that pid has used.
double CpuSeconds(pid_t pid) {
  clockid_t clock;
  timespec used = {};
  EXPECT_EQ(clock_getcpuclockid(pid, &clock) == 0 ? clock_gettime(clock, &used) : -1, 0);
  return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

class ServicePortTest : public PortTest {
 protected:
  const std::string& Directory() const { return work_.Path(); }
  key_t Key() const { return work_.Key(); }
  // The service on the sample catalogue, and a reader of its segment.
  void Start(Lines args = {}) {
    args.insert(args.begin(), {"--config", kSampleConfig});
    service_ = std::make_unique<ServiceProcess>(args, Directory());
    EXPECT_TRUE(service_->Serving()) << service_->Err();
    Read();
  }
  // A new reader of the segment; the view finds it through the working directory.
  void Read() { view_ = std::make_unique<CErrorDatabaseView>(false, 0); }
  // The reader's entry of the error named id after a fresh Update; all zero when none.
  CErrorState State(const std::string& id) {
    CErrorState state = {};
    view_->Update(catalogue_);
    view_->GetErrorState(static_cast<unsigned>(KeyOf(id).code), KeyOf(id).type, state);
    return state;
  }
  bool Active(const std::string& id) { return State(id).IsActive(); }
  void Await(const std::function<bool()>& done, int timeoutMs = 5000) {
    EXPECT_TRUE(service_->WaitUntil(done, timeoutMs)) << service_->Err();
  }
  size_t Said(const std::string& text) const { return CountOf(service_->Err(), text); }

  CErrorDatabase catalogue_{kSampleConfig};
  SegmentDirectory work_;
  std::unique_ptr<ServiceProcess> service_;
  std::unique_ptr<CErrorDatabaseView> view_;
};

TEST_F(ServicePortTest, RaisesReachReadersAndCallbacksAndSurviveAKillButNotACorruptStateFile) {
  const std::string state = Directory() + "states";
  Start({"--state", state});
  RecordingCallback callback;
  CFaultwrightAPI client;
  client.SetNotifyCallback(&callback);
  client.ProcessMessages(false);
  ASSERT_EQ(Send(true, kTrigger), 1);
  Await([&] {
    client.ProcessMessages(false);
    return Active(kCascade) && callback.heard.size() == 3;
  });
  // kTrigger, kAutomatic and kCascade, in the order of their raises.
  EXPECT_EQ(callback.heard,
            (Lines{"cb_error_notify 71225 4 1", "cb_error_notify 68645 11 1", "cb_error_notify 206349 11 1"}));
  for (bool raise : {true, false, true}) ASSERT_EQ(Send(raise, kPlain), 1);
  // Saved within a second of the change, so that even a killed service keeps it.
  const auto saved = [&](const char* id) {
    std::vector<CErrorState> records;
    CStateFile(state).Load(records);
    for (const CErrorState& record : records) {
      if (record.Matches(KeyOf(id).code, KeyOf(id).type)) return record;
    }
    return CErrorState{};
  };
  Await([&] { return saved(kPlain).RaiseCount1 == 2 && saved(kCascade).IsActive(); }, 2000);
  EXPECT_EQ(service_->Stop(SIGKILL), -1);

  // Active as before, for readers and for the catalogue, whose trigger sets
  // clear the automatic errors with their trigger.
  Start({"--state", state});
  EXPECT_EQ(State(kPlain).RaiseCount1, 2);
  EXPECT_TRUE(Active(kPlain) && Active(kTrigger) && Active(kAutomatic) && Active(kCascade));
  ASSERT_EQ(Send(false, kTrigger), 1);
  Await([&] { return !Active(kAutomatic) && !Active(kCascade); });
  EXPECT_EQ(service_->Stop(SIGTERM), 0);

  std::string bytes = ReadFile(state);
  ASSERT_GT(bytes.size(), 100u);
  bytes[bytes.size() / 2] ^= 0x10;
  std::ofstream(state, std::ios::binary | std::ios::trunc) << bytes;
  Start({"--state", state});
  EXPECT_EQ(Said("ignored: checksum mismatch"), 1u) << service_->Err();
  EXPECT_EQ(State(kPlain).RaiseCount1, 0);
  // Nothing can be saved now (once the save at start has let go of the
  // temporary name): the service says so and fails.
  Await([&] { return mkdir((state + ".tmp").c_str(), 0755) == 0; });
  EXPECT_EQ(service_->Stop(SIGTERM), 1);
  EXPECT_EQ(Said("at the end, the error states could not be saved"), 1u) << service_->Err();
}

TEST(ServiceUsage, UsageErrorsStopTheStart) {
  ExpectRuns("fwservice", "Service",
             {{{"--state", "s"}, 2, "", "fwservice: --state needs --config\n{usage}"},
              {{"--config"}, 2, "", "fwservice: --config needs a value\n{usage}"},
              {{"--config", kSampleConfig, "--state", ""}, 2, "", "fwservice: --state needs a value\n{usage}"},
              {{"extra"}, 2, "", "fwservice: unexpected argument extra\n{usage}"},
              {{"-h"}, 0, "{usage}", ""}});
}

TEST_F(ServicePortTest, ClientsSendingGarbageAreDroppedWhileOthersAreServed) {
  Start();
  const std::string sent[] = {"GET / HTTP/1.0\r\n\r\n", "d4:args3:abc4:name10:RaiseError4:type6:notifye", "d4:argsli65",
                              "d4:name6:status4:type5:querye"};
  std::vector<int> clients;
  for (const std::string& bytes : sent) {
    clients.push_back(ConnectRaw());
    ASSERT_EQ(send(clients.back(), bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
  }
  const auto closed = [&](size_t client) {
    char byte;
    return recv(clients[client], &byte, 1, MSG_DONTWAIT) == 0;
  };
  ASSERT_EQ(Send(true, kTrigger), 1);
  // One line per drop, naming the client and the reason; the others are served.
  Await([&] { return Active(kAutomatic) && Said("dropped") == 2 && Said("ignored") == 1; });
  EXPECT_EQ(Said("client 1 dropped: its bytes make no message"), 1u);
  EXPECT_EQ(Said("client 2 dropped: it sent a RaiseError without an error code and type"), 1u);
  EXPECT_EQ(Said("client 4: a message of type \"query\" ignored"), 1u);
  EXPECT_TRUE(closed(0) && closed(1));
  EXPECT_FALSE(closed(2) || closed(3));  // half a message, an unknown type
  for (int descriptor : clients) close(descriptor);
  EXPECT_EQ(service_->Stop(SIGTERM), 0);
}

TEST_F(ServicePortTest, WhatIsLostToTheLockOrRemovedIsWrittenAgain) {
  const std::string state = Directory() + "states";
  Start({"--state", state});
  // The first save tells that the service's check at start is done.
  Await([&] { return !ReadFile(state).empty(); });
  const int semaphore = semget(Key(), 0, 0);
  sembuf take = {0, -1, SEM_UNDO}, give = {0, 1, SEM_UNDO};
  ASSERT_EQ(semop(semaphore, &take, 1), 0);
  ASSERT_EQ(Send(true, kTrigger), 1);
  Await([&] { return Said("cannot be read now") == 1; });
  ASSERT_EQ(semop(semaphore, &give, 1), 0);
  Await([&] {
    return Active(kTrigger) && Active(kCascade) && Said("3 error states written into the shared segment again") == 1;
  });

  // The semaphore set, then the segment, removed under the idle service:
  // it makes them anew and places everything again, saying so once.
  for (bool removeSegment : {false, true}) {
    SCOPED_TRACE(removeSegment ? "segment removed" : "semaphore set removed");
    const size_t renewals = Said("is new (the one before was removed)");
    std::this_thread::sleep_for(std::chrono::seconds(1));  // past the check that follows the last change
    ASSERT_EQ(removeSegment ? shmctl(shmget(Key(), 0, 0), IPC_RMID, nullptr) : semctl(semget(Key(), 0, 0), 0, IPC_RMID),
              0);
    Await([&] { return Said("is new") == renewals + 1; });
    Read();  // attached before the service places everything
    Await([&] { return Active(kCascade); });
    ASSERT_EQ(Send(false, kTrigger), 1);
    Await([&] { return !Active(kCascade); });
    ASSERT_EQ(Send(true, kTrigger), 1);
    Await([&] { return Active(kCascade); });
  }
  EXPECT_EQ(service_->Stop(SIGTERM), 0);
}

TEST_F(ServicePortTest, NeighboursCannotStallTheServiceNorTakeOverItsSegment) {
  Start();
  const auto refused = [&](const std::string& why) {
    ServiceProcess other({"--config", kSampleConfig}, Directory());
    EXPECT_FALSE(other.Serving());
    EXPECT_EQ(other.Stop(SIGTERM), 1);
    EXPECT_NE(other.Err().find(why), std::string::npos) << other.Err();
  };
  // A second service in the same working directory keeps off the first one's segment.
  ASSERT_EQ(Send(true, kPlain), 1);
  Await([&] { return Active(kPlain); });
  refused("another fwservice serves this working directory");
  EXPECT_TRUE(Active(kPlain));
  EXPECT_EQ(service_->Stop(SIGTERM), 0);
  // Another user's segment or semaphore set is refused, with how to remove it.
  if (geteuid() != 0) return;  // only root can act as another user
  for (bool segment : {true, false}) {
    RemoveSharedSegment(Directory());
    const key_t key = Key();
    ChildBody nobody([&] {  // makes them as the user "nobody" would, before any service runs there
      if (setuid(65534) != 0) return 1;
      const int id = segment ? shmget(key, sizeof(CErrorDatabaseView::Segment), IPC_CREAT | 0666)
                             : semget(key, 1, IPC_CREAT | 0666);
      return id == -1 ? 1 : 0;
    });
    ASSERT_EQ(nobody.Reap(), 0);
    refused(std::string("ipcrm ") + (segment ? "-m " : "-s ") +
            std::to_string(segment ? shmget(Key(), 0, 0) : semget(Key(), 0, 0)));
  }
}

TEST_F(ServicePortTest, ClientsThatDoNotReadTheirCallbacksHoldUpNoOne) {
  Start();
  const std::string request = "d4:name15:cb_error_notify4:type16:request_callbacke";
  std::vector<int> deaf;  // ask for the callbacks; the last reads a little now and then, the others never
  for (int n = 0; n < 9; ++n) {
    deaf.push_back(ConnectRaw());
    ASSERT_EQ(send(deaf.back(), request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
  }
  // A client raising and clearing at full speed makes the callbacks.
  std::atomic<bool> done{false};
  std::thread busy([&] {
    CFaultwrightAPI client;
    for (bool raise = true; !done; raise = !raise)
      raise ? client.RaiseError(KeyOf(kPlain)) : client.ClearError(KeyOf(kPlain));
  });
  std::thread reading([&] {
    char buffer[16384];
    while (!done && recv(deaf.back(), buffer, sizeof buffer, 0) > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
  });
  for (bool raise : {true, false, true}) {  // each change of kTrigger reaches the readers soon all the same
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Send(raise, kTrigger), 1);
    Await([&] { return Active(kTrigger) == raise; }, 20000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kRaiseDelayBound);
  }
  Await([&] { return Said("dropped: it does not read what it asked for") >= 9; });
  done = true;
  busy.join();
  shutdown(deaf.back(), SHUT_RDWR);
  reading.join();
  for (int descriptor : deaf) close(descriptor);
  EXPECT_EQ(service_->Stop(SIGTERM), 0);
}

TEST_F(ServicePortTest, AStopAppliesEveryRequestThatClientsHadWritten) {
  Start();
  ASSERT_EQ(kill(service_->Pid(), SIGSTOP), 0);
  // Raises written while the service is stopped, as many as the kernel takes.
  const std::string raise = RaiseMessage(kPlain);
  std::string raises;
  for (int n = 0; n < 100000; ++n) raises += raise;
  const int client = ConnectRaw();
  const ssize_t taken = send(client, raises.data(), raises.size(), MSG_DONTWAIT);
  ASSERT_GT(taken, 0);
  ASSERT_EQ(kill(service_->Pid(), SIGTERM), 0);
  EXPECT_EQ(service_->Stop(SIGCONT, 10000), 0);  // the stop, pending, is taken once it runs again
  EXPECT_EQ(CountOf(service_->Out(), "\n"), static_cast<size_t>(taken) / raise.size());
  close(client);
}

TEST_F(ServicePortTest, AStalledServiceAppliesAClientsRequestsInTheirOrder) {
  Start();
  std::atomic<bool> done{false}, finished{false};
  bool lastRaised = false;
  // The client sends at full speed; during the stall its send times out, and
  // it sends again on a new connection while the old one still holds requests.
  std::thread client([&] {
    CFaultwrightAPI api;
    for (bool raise = true; !done; raise = !raise) {
      raise ? api.RaiseError(KeyOf(kPlain)) : api.ClearError(KeyOf(kPlain));
      lastRaised = raise;
    }
    finished = true;
  });
  // Long enough at full speed for the connection's buffers to have grown;
  // the output is read meanwhile, so that the service drops none of it.
  service_->WaitUntil([] { return false; }, 1500);
  ASSERT_EQ(kill(service_->Pid(), SIGSTOP), 0);
  std::this_thread::sleep_for(std::chrono::seconds(7));
  ASSERT_EQ(kill(service_->Pid(), SIGCONT), 0);
  done = true;
  Await([&] { return finished.load(); }, 20000);
  client.join();
  // Settled once the output stays the same for a second.
  size_t size = 0;
  auto still = std::chrono::steady_clock::now();
  Await(
      [&] {
        if (service_->Out().size() != size) still = std::chrono::steady_clock::now();
        size = service_->Out().size();
        return std::chrono::steady_clock::now() - still > std::chrono::seconds(1);
      },
      30000);
  // The client alternates, so two lines alike in a row are requests out of order.
  std::istringstream lines(service_->Out());
  std::string line, previous;
  size_t alike = 0;
  for (; std::getline(lines, line); previous = line) alike += line == previous;
  EXPECT_EQ(alike, 0u);
  EXPECT_EQ(previous, std::string(lastRaised ? "RaiseError " : "ClearError ") + kPlain);
  EXPECT_EQ(Said("dropped"), 0u) << service_->Err();
  EXPECT_EQ(Active(kPlain), lastRaised);
  EXPECT_EQ(service_->Stop(SIGTERM), 0);
}

TEST_F(ServicePortTest, RunningOutOfDescriptorsNeitherSpinsNorShutsClientsOut) {
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
  GTEST_SKIP() << "the sanitizers' own checks need descriptors, and report their lack as errors";
#endif
  Start();
  const rlimit tight = {32, 32};
  ASSERT_EQ(prlimit(service_->Pid(), RLIMIT_NOFILE, &tight, nullptr), 0);
  std::vector<int> idle;
  for (int n = 0; n < 64; ++n) idle.push_back(ConnectRaw());
  Await([&] { return Said("no descriptor left") == 1; });
  const double before = CpuSeconds(service_->Pid());
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_LT(CpuSeconds(service_->Pid()) - before, 0.2);
  for (int descriptor : idle) close(descriptor);
  ASSERT_EQ(Send(true, kTrigger), 1);
  Await([&] { return Active(kTrigger); });
  EXPECT_EQ(Said("accepting new clients again"), 1u) << service_->Err();
  EXPECT_EQ(Said("no descriptor left"), 1u);
  EXPECT_EQ(service_->Stop(SIGTERM), 0);
}

TEST_F(ServicePortTest, ABlockedOutputHoldsUpNeitherClientsNorTheStop) {
  Start();
  service_->LeaveOutUnread();
  int client = ConnectRaw();
  std::string raises;
  for (int n = 0; n < 20000; ++n) raises += RaiseMessage(kPlain);  // far more lines than a pipe holds
  ASSERT_EQ(send(client, raises.data(), raises.size(), 0), static_cast<ssize_t>(raises.size()));
  ASSERT_EQ(Send(true, kTrigger), 1);
  Await([&] { return Active(kTrigger); }, 3000);
  EXPECT_EQ(service_->Stop(SIGTERM, 1000), 0);
  EXPECT_EQ(Said("lines of the standard output dropped"), 1u) << service_->Err();
  close(client);
}

}  // namespace
