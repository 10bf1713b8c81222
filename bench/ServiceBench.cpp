// fwservice under load, run in a temporary working directory with the sample
// configuration. The service listens on port 5300, so nothing else may hold it
// while this runs.
//
// BM_RaiseVisibleToReader: from fwerror's exec until a reader's Update sees
// the raise in the shared segment, against fwerror's own run time (exec to
// exit) against the same service; the two take turns. Medians and their ratio
// are reported as counters.
//
// BM_ClientsThroughput/N: N clients (one thread each) raise and clear their
// own error of a generated catalogue of N errors as fast as they can, with
// --config and --state; the time runs until the service has written the line
// of every notification.
//
// BM_RaiseDelayUnder/case: the worst and the median time from fwerror's exec
// until a reader sees its raise, while hostile clients or a hostile reader
// press the service: none, clients that ask for callbacks and never read them,
// a slow reader of callbacks, a flood of 200 clients, descriptors run out (the
// raise then comes from a client connected before), and a standard output
// that nobody reads. The service's peak memory is reported with each.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/ipc.h>
#include <sys/resource.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Client/CFaultwrightAPI.h"
#include "Common/View/CErrorDatabaseView.h"
#include "Identifiers/Identifiers.h"
#include "Support/RawClients.h"
#include "Support/SharedSegment.h"
#include "Support/SyntheticCatalogue.h"

extern char** environ;

namespace {

using Faultwright::CErrorDatabase;
using Faultwright::CErrorDatabaseView;
using Faultwright::CErrorKey;
using Faultwright::CErrorState;
using Clock = std::chrono::steady_clock;

const std::string kConfig = FAULTWRIGHT_SOURCE_DIR "/config/";

pid_t Spawn(std::vector<std::string> args, const char* out, const char* err) {
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&files, 2, err, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t child = -1;
  if (posix_spawn(&child, argv[0], &files, nullptr, argv.data(), environ) != 0) child = -1;
  posix_spawn_file_actions_destroy(&files);
  return child;
}

bool Exited(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Median(std::vector<double> runs) {
  std::nth_element(runs.begin(), runs.begin() + runs.size() / 2, runs.end());
  return runs[runs.size() / 2];
}

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

// The service in a fresh working directory, which is also this process's
// while it lives, and a reader of its segment.
class ServiceUnderLoad {
 public:
  // prepare runs in the new working directory before the service starts.
  explicit ServiceUnderLoad(std::vector<std::string> options, const std::function<std::string()>& prepare = nullptr,
                            const char* out = "out") {
    char pattern[] = "/tmp/faultwright-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr || getcwd(previous_, sizeof previous_) == nullptr || chdir(pattern) != 0) return;
    directory_ = pattern;
    const std::string config = prepare ? prepare() : kConfig;
    catalogue_ = std::make_unique<CErrorDatabase>(config);
    options.insert(options.begin(), {FAULTWRIGHT_BINARY_DIR "/fwservice", "--config", config});
    service_ = Spawn(options, out, "err");
    // Serving once the segment is enabled; until the service made the
    // semaphore, the reader's attempts to lock fail.
    for (int wait = 0; service_ > 0 && wait < 500 && !reader_; ++wait) {
      usleep(10000);
      if (std::filesystem::file_size("err") > 0) reader_ = std::make_unique<CErrorDatabaseView>(false, 0);
    }
    for (int wait = 0; reader_ && wait < 500 && !reader_->IsEnabled(); ++wait) usleep(10000);
  }
  ~ServiceUnderLoad() {
    if (service_ > 0) {
      kill(service_, SIGTERM);
      Exited(service_);
    }
    if (directory_.empty()) return;
    FaultwrightTest::RemoveSharedSegment(".");
    if (chdir(previous_) != 0) return;
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  bool Serving() { return reader_ && reader_->IsEnabled(); }
  pid_t Pid() const { return service_; }
  // The service's peak resident memory so far, in MiB.
  double PeakMemoryMiB() const {
    std::ifstream status("/proc/" + std::to_string(service_) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024;
    }
    return 0;
  }
  // The processor time that the service has used so far, user and system.
  double CpuSeconds() const {
    std::ifstream stat("/proc/" + std::to_string(service_) + "/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));  // after the command name
    std::string field;
    double ticks = 0;
    for (int index = 3; fields >> field && index <= 15; ++index) {
      if (index >= 14) ticks += std::stod(field);  // utime and stime
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
  }
  CErrorDatabase& Catalogue() { return *catalogue_; }
  // The reader's entry of key after a fresh Update.
  CErrorState State(const CErrorKey& key) {
    reader_->Update(*catalogue_);
    CErrorState state = {};
    reader_->GetErrorState(static_cast<unsigned>(key.code), key.type, state);
    return state;
  }
  // Updates until key is active (or not); false after five seconds.
  bool AwaitActive(const CErrorKey& key, bool active, int pauseMicroseconds) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
    while (State(key).IsActive() != active) {
      if (Clock::now() > deadline) return false;
      if (pauseMicroseconds > 0) usleep(pauseMicroseconds);
    }
    return true;
  }

 private:
  char previous_[4096];
  std::string directory_;
  pid_t service_ = -1;
  std::unique_ptr<CErrorDatabase> catalogue_;
  std::unique_ptr<CErrorDatabaseView> reader_;
};

// fwerror's arguments for a raise (or clear) of GPS:L1 L2 Antenna:Voltage:4.
std::vector<std::string> ToolArgs(bool raise) {
  return {FAULTWRIGHT_BINARY_DIR "/fwerror", raise ? "-r" : "-c", "GPS", "L1 L2 Antenna", "Voltage", "4"};
}

void BM_RaiseVisibleToReader(benchmark::State& state) {
  ServiceUnderLoad service({});
  if (!service.Serving()) return state.SkipWithError("fwservice did not start (is port 5300 taken?)");
  const CErrorKey key(
      Faultwright::emiGPS | Faultwright::SubModuleFromName("L1 L2 Antenna") | Faultwright::ProblemFromName("Voltage"),
      4);
  std::vector<double> alone, visible;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    pid_t tool = Spawn(ToolArgs(true), "/dev/null", "/dev/null");
    bool ran = tool > 0 && Exited(tool);
    alone.push_back(Seconds(Clock::now() - start));
    ran = ran && service.AwaitActive(key, true, 100) && Exited(Spawn(ToolArgs(false), "/dev/null", "/dev/null")) &&
          service.AwaitActive(key, false, 100);

    start = Clock::now();
    tool = Spawn(ToolArgs(true), "/dev/null", "/dev/null");
    // A short pause between looks leaves the two cores to the tool and the service.
    ran = ran && tool > 0 && service.AwaitActive(key, true, 20);
    visible.push_back(Seconds(Clock::now() - start));
    state.SetIterationTime(visible.back());
    ran = ran && Exited(tool) && Exited(Spawn(ToolArgs(false), "/dev/null", "/dev/null")) &&
          service.AwaitActive(key, false, 100);
    if (!ran) return state.SkipWithError("a run failed, or its raise did not become visible");
  }
  state.counters["fwerror_alone_median_ms"] = Median(alone) * 1e3;
  state.counters["visible_median_ms"] = Median(visible) * 1e3;
  state.counters["ratio"] = Median(visible) / Median(alone);
}
BENCHMARK(BM_RaiseVisibleToReader)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_ClientsThroughput(benchmark::State& state) {
  const int kClients = static_cast<int>(state.range(0));
  const int kPerClient = 2 * (50000 / kClients);  // even: each client ends with a clear
  ServiceUnderLoad service({"--state", "states"}, [kClients] {
    mkdir("catalogue", 0755);
    FaultwrightTest::WriteSyntheticCatalogue("catalogue/", std::vector<FaultwrightTest::SyntheticError>(kClients));
    return std::string("catalogue/");
  });
  if (!service.Serving()) return state.SkipWithError("fwservice did not start (is port 5300 taken?)");
  std::vector<CErrorKey> keys;
  uintmax_t lineBytes = 0;  // of one round of every client's notifications
  for (int i = 0; i < kClients; ++i) {
    keys.emplace_back(static_cast<int32_t>(FaultwrightTest::SyntheticCode(i)), FaultwrightTest::SyntheticType(i));
    lineBytes += kPerClient * (std::string("RaiseError ").size() + FaultwrightTest::SyntheticId(i).size() + 1);
  }
  std::vector<std::unique_ptr<Faultwright::CFaultwrightAPI>> clients;
  for (int i = 0; i < kClients; ++i) clients.push_back(std::make_unique<Faultwright::CFaultwrightAPI>());

  double notifications = 0;
  double seconds = 0;
  const double cpuAtStart = service.CpuSeconds();
  for (auto _ : state) {
    const uintmax_t expected = std::filesystem::file_size("out") + lineBytes;
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> senders;
    for (int i = 0; i < kClients; ++i) {
      senders.emplace_back([&, i] {
        for (int n = 0; n < kPerClient; ++n) {
          if (n % 2 == 0) {
            clients[i]->RaiseError(keys[i]);
          } else {
            clients[i]->ClearError(keys[i]);
          }
        }
      });
    }
    for (std::thread& sender : senders) sender.join();
    bool applied = false;
    for (const Clock::time_point deadline = start + std::chrono::seconds(60); !applied && Clock::now() < deadline;) {
      usleep(1000);
      applied = std::filesystem::file_size("out") >= expected;
    }
    const double elapsed = Seconds(Clock::now() - start);
    if (!applied) return state.SkipWithError("not every notification was applied");
    state.SetIterationTime(elapsed);
    notifications += kClients * kPerClient;
    seconds += elapsed;
  }
  state.counters["notifications_per_second"] = notifications / seconds;
  // What one processor gives the service, whatever else the machine runs meanwhile.
  state.counters["notifications_per_service_cpu_second"] = notifications / (service.CpuSeconds() - cpuAtStart);
  state.counters["peak_memory_MiB"] = service.PeakMemoryMiB();
}
BENCHMARK(BM_ClientsThroughput)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// Raw clients that write one message again and again, as fast as the service
// (or, while it is stopped, the kernel) takes it, from a thread of their own.
class Flood {
 public:
  Flood(int clients, const std::string& message) : size_(message.size()) {
    for (int n = 0; n < 1000; ++n) block_ += message;
    for (int n = 0; n < clients; ++n) {
      int socket = FaultwrightTest::ConnectRaw();
      if (socket >= 0 && fcntl(socket, F_SETFL, O_NONBLOCK) == 0) sockets_.push_back(socket);
    }
    written_.resize(sockets_.size());
    thread_ = std::thread([this] {
      std::vector<pollfd> writable;
      for (int socket : sockets_) writable.push_back({socket, POLLOUT, 0});
      while (!stop_) {
        if (poll(writable.data(), writable.size(), 20) <= 0) continue;
        for (size_t i = 0; i < writable.size(); ++i) {
          if (writable[i].revents == 0) continue;
          size_t at = written_[i] % block_.size();
          ssize_t count = send(writable[i].fd, block_.data() + at, block_.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
          if (count > 0) written_[i] += static_cast<size_t>(count);
        }
      }
    });
  }
  ~Flood() {
    Stop();
    for (int socket : sockets_) close(socket);
  }
  // How many clients connected.
  size_t Clients() const { return sockets_.size(); }
  // Stops writing; how many whole messages the kernel took.
  size_t Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    size_t messages = 0;
    for (size_t bytes : written_) messages += bytes / size_;
    return messages;
  }

 private:
  std::vector<int> sockets_;
  std::string block_;
  size_t size_;
  std::vector<size_t> written_;  // per socket
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

enum Hostility { kNone, kDeafCallbackClients, kSlowReader, kFlood, kDescriptorsExhausted, kBlockedOutput };

// Raises and clears key as fast as the service takes them, from a thread of
// its own: the callbacks and lines that the hostile cases need.
class BusyClient {
 public:
  explicit BusyClient(const CErrorKey& key)
      : thread_([this, key] {
          Faultwright::CFaultwrightAPI client;
          for (bool raise = true; !stop_; raise = !raise) raise ? client.RaiseError(key) : client.ClearError(key);
        }) {}
  ~BusyClient() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void BM_RaiseDelayUnder(benchmark::State& state) {
  const auto hostility = static_cast<Hostility>(state.range(0));
  // A pipe that nobody reads: the reading end is held open, never read.
  int unread = -1;
  ServiceUnderLoad service(
      {},
      [&] {
        if (hostility == kBlockedOutput && mkfifo("blocked", 0600) == 0)
          unread = open("blocked", O_RDONLY | O_NONBLOCK);
        return kConfig;
      },
      hostility == kBlockedOutput ? "blocked" : "out");
  if (!service.Serving()) return state.SkipWithError("fwservice did not start (is port 5300 taken?)");
  const CErrorKey key(
      Faultwright::emiGPS | Faultwright::SubModuleFromName("L1 L2 Antenna") | Faultwright::ProblemFromName("Voltage"),
      4);
  CErrorKey plain(0, 0);
  for (const Faultwright::CError& error : service.Catalogue().Errors()) {
    if (error.TriggerSets().empty()) plain = CErrorKey(static_cast<int32_t>(error.Code()), error.Type());
  }
  const std::string request = "d4:name15:cb_error_notify4:type16:request_callbacke";
  std::vector<int> raw;
  std::unique_ptr<BusyClient> busy;
  std::unique_ptr<Flood> flood;
  std::atomic<bool> stop{false};
  std::thread slowReader;
  Faultwright::CFaultwrightAPI connectedBefore;
  if (hostility == kDeafCallbackClients || hostility == kSlowReader) {
    for (int n = 0; n < (hostility == kSlowReader ? 1 : 8); ++n) {
      raw.push_back(FaultwrightTest::ConnectRaw());
      if (raw.back() < 0 || send(raw.back(), request.data(), request.size(), 0) < 0) {
        return state.SkipWithError("cannot connect");
      }
    }
    if (hostility == kSlowReader) {
      slowReader = std::thread([&] {
        char buffer[65536];
        while (!stop && recv(raw[0], buffer, sizeof buffer, MSG_DONTWAIT) != 0) usleep(250000);
      });
    }
  }
  if (hostility == kDeafCallbackClients || hostility == kSlowReader || hostility == kBlockedOutput) {
    busy = std::make_unique<BusyClient>(plain);
  }
  if (hostility == kFlood) {
    flood = std::make_unique<Flood>(200, "d4:argsli" + std::to_string(plain.code) + "ei" + std::to_string(plain.type) +
                                             "ei0ee4:name10:RaiseError4:type6:notifye");
  }
  if (hostility == kDescriptorsExhausted) {
    const rlimit tight = {48, 48};
    if (prlimit(service.Pid(), RLIMIT_NOFILE, &tight, nullptr) != 0) return state.SkipWithError("prlimit failed");
    for (int n = 0; n < 100; ++n) raw.push_back(FaultwrightTest::ConnectRaw());
  }
  usleep(500000);  // the hostile clients at work

  std::vector<double> delays;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    bool ran;
    if (hostility == kDescriptorsExhausted) {
      ran = connectedBefore.RaiseError(key) >= 0 && service.AwaitActive(key, true, 200);
    } else {
      pid_t tool = Spawn(ToolArgs(true), "/dev/null", "/dev/null");
      ran = tool > 0 && service.AwaitActive(key, true, 200) && Exited(tool);
    }
    delays.push_back(Seconds(Clock::now() - start));
    state.SetIterationTime(delays.back());
    if (hostility == kDescriptorsExhausted) {
      ran = ran && connectedBefore.ClearError(key) >= 0;
    } else {
      ran = ran && Exited(Spawn(ToolArgs(false), "/dev/null", "/dev/null"));
    }
    if (!ran || !service.AwaitActive(key, false, 200)) return state.SkipWithError("a raise was not applied");
  }
  state.counters["worst_ms"] = *std::max_element(delays.begin(), delays.end()) * 1e3;
  state.counters["median_ms"] = Median(delays) * 1e3;
  state.counters["peak_memory_MiB"] = service.PeakMemoryMiB();
  stop = true;
  if (slowReader.joinable()) slowReader.join();
  for (int descriptor : raw) close(descriptor);
  if (unread >= 0) close(unread);
}
BENCHMARK(BM_RaiseDelayUnder)
    ->DenseRange(kNone, kBlockedOutput)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
