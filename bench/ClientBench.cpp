// A long-lived client of the diagnostic service, served in the same process by
// a loopback service on port 5300, so nothing else may hold the port while this
// runs.
//
// BM_RaiseAndClear: one RaiseError and one ClearError of one key per iteration,
// both delivered, and the service reading them.
// BM_VerifyConnection: the client's look at its connection before each send.
// The iteration counts are fixed, so that instruction counts under callgrind
// compare from one build to the next.
#include <benchmark/benchmark.h>

#include <vector>

#include "Client/CFaultwrightAPI.h"
#include "Platform/MPI/MPISocketServerC.h"

using namespace Faultwright;

namespace {

const CErrorKey kKey(0x010C38, 11);

// A listening service and a client connected to it, or a reason why not.
struct Connected {
  Connected() {
    if (!service.Listen("127.0.0.1", CFaultwrightAPI::kServicePort)) return;
    client = std::make_unique<CFaultwrightAPI>();
    service.Poll(100, messages);  // accepts the client
  }
  bool Ready() const { return client != nullptr && client->IsConnected() && service.ClientCount() == 1; }

  MPISocketServerC service;
  std::unique_ptr<CFaultwrightAPI> client;
  std::vector<MPIReceivedMessageC> messages;
};

void BM_RaiseAndClear(benchmark::State& state) {
  Connected setup;
  if (!setup.Ready()) return state.SkipWithError("port 5300 is not free");
  for (auto _ : state) {
    if (setup.client->RaiseError(kKey) != 1 || setup.client->ClearError(kKey) != 1) {
      return state.SkipWithError("a request was not sent");
    }
    setup.messages.clear();
    while (setup.messages.size() < 2) setup.service.Poll(1000, setup.messages);
  }
}
BENCHMARK(BM_RaiseAndClear)->Iterations(10000);

void BM_VerifyConnection(benchmark::State& state) {
  Connected setup;
  if (!setup.Ready()) return state.SkipWithError("port 5300 is not free");
  for (auto _ : state) benchmark::DoNotOptimize(setup.client->VerifyConnection());
}
BENCHMARK(BM_VerifyConnection)->Iterations(200000);

}  // namespace

BENCHMARK_MAIN();
