// Loading generated catalogues against pugixml parsing the same files alone,
// a chain of diamonds (the shape on which a level-by-level weight walk takes
// exponential time), and lookups by (code, type).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Faultwright.h"

using namespace Faultwright;

namespace {

const char* const kModules[] = {"GPS", "Cell Radio", "NTrip", "Navigation And Control", "Spray"};

struct GeneratedCatalogue {
  std::string directory;  // ends in "/"
  std::vector<std::string> files;
  std::vector<std::pair<uint32_t, int>> keys;
};

// Every directory made, removed when the run ends.
std::vector<std::string> madeDirectories;

std::string MakeDirectory() {
  char pattern[] = "/tmp/faultwright-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  madeDirectories.push_back(std::string(pattern) + "/");
  return madeDirectories.back();
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream file(path, std::ios::trunc);
  file << contents;
  if (!file) std::abort();
}

// count errors spread over five module files, with texts of operator length;
// every third error has a trigger set of two earlier errors, any file.
GeneratedCatalogue Generate(int count) {
  std::vector<std::pair<uint32_t, std::string>> subModules, problems;
  ForEachSubModule([&](uint32_t code, const char* name) { subModules.emplace_back(code, name); });
  ForEachProblem([&](uint32_t code, const char* name) { problems.emplace_back(code, name); });

  GeneratedCatalogue catalogue;
  catalogue.directory = MakeDirectory();
  std::vector<std::string> ids;
  std::mt19937 random(42);
  std::string top = "<Faultwright><ErrorList>\n";
  const int perFile = (count + 4) / 5;
  for (int file = 0, n = 0; file < 5; ++file) {
    const std::string fileName = "Module" + std::to_string(file) + ".xml";
    top += std::string("<Module identifier=\"") + kModules[file] + "\" file=\"" + fileName + "\"/>\n";
    std::string body = "<Module>\n";
    for (int local = 0; local < perFile && n < count; ++local, ++n) {
      const int type = local % 21;
      const auto& problem = problems[(local / 21) % problems.size()];
      const auto& subModule = subModules[local / (21 * problems.size())];
      if (type == 0 && local % (21 * problems.size()) == 0) {
        if (local != 0) body += "</Problem></SubModule>\n";
        body += "<SubModule identifier=\"" + subModule.second + "\"><Problem identifier=\"" + problem.second + "\">\n";
      } else if (type == 0) {
        body += "</Problem><Problem identifier=\"" + problem.second + "\">\n";
      }
      const std::string id =
          std::string(kModules[file]) + ":" + subModule.second + ":" + problem.second + ":" + std::to_string(type);
      body +=
          "<Error identifier=\"" + std::to_string(type) +
          "\" severity=\"Medium\" visible=\"yes\" timeout=\"5000\" shouldBeep=\"yes\">\n"
          "  <Text type=\"problem\" text=\"The receiver reports a fault that stops guidance until it is solved.\"/>\n"
          "  <Text type=\"solution\" text=\"Check the cable and the connectors, then turn the controller off and on.\"/>\n"
          "  <Text type=\"shortProblem\" text=\"Receiver fault\"/>\n"
          "  <Text type=\"title\" text=\"Receiver\"/>\n";
      if (n % 3 == 2) {
        body +=
            "  <TriggerSets><TriggerSet><Options><Option name=\"autoTrigger\" value=\"yes\"/>"
            "<Option name=\"triggersNeeded\" value=\"1\"/></Options><Triggers>";
        for (int t = 0; t < 2; ++t) body += "<Trigger id=\"" + ids[random() % ids.size()] + "\"/>";
        body += "</Triggers></TriggerSet></TriggerSets>\n";
      }
      body += "</Error>\n";
      ids.push_back(id);
      catalogue.keys.emplace_back(ModuleFromName(kModules[file]) | subModule.first | problem.first, type);
    }
    body += "</Problem></SubModule>\n</Module>\n";
    WriteFile(catalogue.directory + fileName, body);
    catalogue.files.push_back(catalogue.directory + fileName);
  }
  WriteFile(catalogue.directory + CErrorDatabase::kTopFileName, top + "</ErrorList></Faultwright>\n");
  catalogue.files.push_back(catalogue.directory + CErrorDatabase::kTopFileName);
  return catalogue;
}

// 40 diamonds: each top triggered by two errors that the previous top triggers.
std::string GenerateDiamondChain(int diamonds) {
  std::string directory = MakeDirectory();
  std::vector<std::pair<uint32_t, std::string>> problems;
  ForEachProblem([&](uint32_t code, const char* name) { problems.emplace_back(code, name); });
  auto id = [&](int n) { return "GPS:GPS:" + problems[n / 21].second + ":" + std::to_string(n % 21); };
  std::string body = "<Module><SubModule identifier=\"GPS\">";
  for (int n = 0; n <= 3 * diamonds; ++n) {
    if (n % 21 == 0)
      body += (n ? "</Problem>" : "") + std::string("<Problem identifier=\"") + problems[n / 21].second + "\">";
    body += "<Error identifier=\"" + std::to_string(n % 21) +
            "\" severity=\"Low\"><Text type=\"problem\" text=\"p\"/><Text type=\"solution\" text=\"s\"/>"
            "<Text type=\"shortProblem\" text=\"s\"/>";
    if (n > 0) {
      int top = (n - 1) / 3 * 3;
      std::string triggers = n % 3 == 0 ? "<Trigger id=\"" + id(n - 2) + "\"/><Trigger id=\"" + id(n - 1) + "\"/>"
                                        : "<Trigger id=\"" + id(top) + "\"/>";
      body += "<TriggerSets><TriggerSet><Triggers>" + triggers + "</Triggers></TriggerSet></TriggerSets>";
    }
    body += "</Error>";
  }
  WriteFile(directory + "Gps.xml", body + "</Problem></SubModule></Module>");
  WriteFile(directory + CErrorDatabase::kTopFileName,
            "<Faultwright><ErrorList><Module identifier=\"GPS\" file=\"Gps.xml\"/></ErrorList></Faultwright>");
  return directory;
}

const GeneratedCatalogue& Catalogue(int count) {
  static GeneratedCatalogue small = Generate(400);
  static GeneratedCatalogue large = Generate(10000);
  return count == 400 ? small : large;
}

void BM_LoadCatalogue(benchmark::State& state) {
  const GeneratedCatalogue& catalogue = Catalogue(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    CErrorDatabase database(catalogue.directory);
    if (database.Errors().size() != static_cast<size_t>(state.range(0)) || !database.LoadProblems().empty()) {
      state.SkipWithError("the generated catalogue did not load whole");
    }
    benchmark::DoNotOptimize(database.Errors().data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadCatalogue)->Arg(400)->Arg(10000)->Unit(benchmark::kMicrosecond);

// The floor: pugixml parsing the same files and nothing else.
void BM_ParseFilesOnly(benchmark::State& state) {
  const GeneratedCatalogue& catalogue = Catalogue(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    for (const std::string& file : catalogue.files) {
      pugi::xml_document document;
      benchmark::DoNotOptimize(document.load_file(file.c_str()));
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseFilesOnly)->Arg(400)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_LoadDiamondChain(benchmark::State& state) {
  static const std::string directory = GenerateDiamondChain(40);
  for (auto _ : state) {
    CErrorDatabase database(directory);
    if (database.Errors().back().Weight() != INT32_MAX) state.SkipWithError("the chain did not saturate");
  }
}
BENCHMARK(BM_LoadDiamondChain)->Unit(benchmark::kMicrosecond);

void BM_FindError(benchmark::State& state) {
  const GeneratedCatalogue& catalogue = Catalogue(static_cast<int>(state.range(0)));
  CErrorDatabase database(catalogue.directory);
  size_t next = 0;
  for (auto _ : state) {
    const auto& key = catalogue.keys[next];
    benchmark::DoNotOptimize(database.FindError(key.first, key.second));
    if (++next == catalogue.keys.size()) next = 0;
  }
}
BENCHMARK(BM_FindError)->Arg(400)->Arg(10000);

void BM_LoadSampleConfiguration(benchmark::State& state) {
  for (auto _ : state) {
    CErrorDatabase database(FAULTWRIGHT_SOURCE_DIR "/config/");
    benchmark::DoNotOptimize(database.Errors().data());
  }
}
BENCHMARK(BM_LoadSampleConfiguration)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  for (const std::string& directory : madeDirectories) std::filesystem::remove_all(directory, ignored);
  return 0;
}
