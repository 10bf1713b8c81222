// One fwerror raise delivered to a waiting service, timed from exec to exit,
// against a program that only connects to the service's port and exits. The
// medians of both and their ratio are reported as counters. The service listens
// on port 5300, so nothing else may hold it while this runs.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "Client/CFaultwrightAPI.h"
#include "Platform/MPI/MPISocketServerC.h"

extern char** environ;

namespace {

// Runs program with args to its end; false when it did not exit with status 0.
bool RunToExit(const std::string& program, std::vector<std::string> args) {
  std::vector<char*> argv;
  args.insert(args.begin(), program);
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t child;
  if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Serves the service's clients until `expected` messages have arrived and every
// client has left, or a second has passed; returns the messages received.
size_t Drain(MPISocketServerC& service, size_t expected) {
  std::vector<MPIReceivedMessageC> messages;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  int quietRounds = 0;
  while (std::chrono::steady_clock::now() < deadline && quietRounds < 2) {
    size_t before = messages.size();
    service.Poll(5, messages);
    const bool quiet = messages.size() == before && messages.size() >= expected && service.ClientCount() == 0;
    quietRounds = quiet ? quietRounds + 1 : 0;
  }
  return messages.size();
}

double Median(std::vector<double> runs) {
  std::nth_element(runs.begin(), runs.begin() + runs.size() / 2, runs.end());
  return runs[runs.size() / 2];
}

// Seconds from exec to exit of program, or a negative value when it failed or
// the service did not receive the expected messages.
double TimedRun(MPISocketServerC& service, const std::string& program, const std::vector<std::string>& args,
                size_t expectedMessages) {
  const auto start = std::chrono::steady_clock::now();
  const bool exited = RunToExit(program, args);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return exited && Drain(service, expectedMessages) == expectedMessages ? elapsed.count() : -1;
}

// The two programs take turns, so that both meet the same load of the machine.
void BM_FwerrorRaiseAgainstConnectOnly(benchmark::State& state) {
  MPISocketServerC service;
  if (!service.Listen("127.0.0.1", Faultwright::CFaultwrightAPI::kServicePort)) {
    state.SkipWithError(("the service cannot listen: " + service.ErrorText()).c_str());
    return;
  }
  std::vector<double> raises, connects;
  for (auto _ : state) {
    const double raise =
        TimedRun(service, FAULTWRIGHT_BINARY_DIR "/fwerror", {"GPS", "GPS", "Usable Satellites", "11"}, 1);
    const double connect = TimedRun(service, FAULTWRIGHT_BINARY_DIR "/bench/ConnectOnly", {}, 0);
    if (raise < 0 || connect < 0) {
      state.SkipWithError("a run failed, or its message did not arrive");
      return;
    }
    state.SetIterationTime(raise);
    raises.push_back(raise);
    connects.push_back(connect);
  }
  state.counters["fwerror_median_ms"] = Median(raises) * 1e3;
  state.counters["connect_only_median_ms"] = Median(connects) * 1e3;
  state.counters["ratio"] = Median(raises) / Median(connects);
}
BENCHMARK(BM_FwerrorRaiseAgainstConnectOnly)->UseManualTime()->Iterations(400)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
