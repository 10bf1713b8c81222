// GetFixedCode against a table of 1000 patterns, half of them partial, with
// the nine keys of a top-level error and eight active triggers; the only
// pattern that matches is the last, so every pattern is tried.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "Common/Patterns/CErrorPatterns.h"
#include "Identifiers/Identifiers.h"

namespace {

using Faultwright::CErrorKey;

std::string Reference(int problem, int type) {
  return "<e id='GPS:GPS:" + Faultwright::ProblemName(static_cast<Faultwright::EProblemIdentifier>(problem)) + ":" +
         std::to_string(type) + "'/>";
}

// Patterns of four keys each that share three keys with the active set but
// never the fourth, until the last, which names exactly the active set.
std::string PatternsFile(int count, const std::vector<int>& activeProblems) {
  std::string text = "<Patterns>";
  for (int i = 0; i < count - 1; ++i) {
    text += "<pattern fixedCode='P" + std::to_string(i) + "'" + (i % 2 ? " allowPartialMatch='yes'>" : ">");
    for (int k = 0; k < 3; ++k) text += Reference(activeProblems[(i + k) % activeProblems.size()], 3);
    text += Reference(activeProblems[i % activeProblems.size()], 5) + "</pattern>";
  }
  text += "<pattern fixedCode='LAST'>";
  for (int problem : activeProblems) text += Reference(problem, 3);
  return text + "</pattern></Patterns>";
}

void BM_GetFixedCode(benchmark::State& state) {
  std::vector<int> activeProblems = {0x0C, 0x1B, 0x39, 0x26, 0x2F, 0x38, 0x18, 0x19, 0x0A};
  char directory[] = "/tmp/fwbenchXXXXXX";
  if (mkdtemp(directory) == nullptr) {
    state.SkipWithError("mkdtemp failed");
    return;
  }
  std::string path = std::string(directory) + "/" + Faultwright::CErrorPatterns::kFileName;
  std::ofstream(path) << PatternsFile(1000, activeProblems);
  Faultwright::CErrorPatterns patterns(std::string(directory) + "/");
  std::remove(path.c_str());
  rmdir(directory);

  std::vector<CErrorKey> active;
  for (int problem : activeProblems) active.emplace_back(0x010C00 | problem, 3);
  if (patterns.Patterns().size() != 1000 || patterns.GetFixedCode(active) != "LAST") {
    state.SkipWithError("pattern table not as built");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(patterns.GetFixedCode(active));
}
BENCHMARK(BM_GetFixedCode)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
