// Every command that README.md and docs/ show in a shell block, run as
// written against the sample configuration of config/, with a service running
// as the README starts it. The programs of this build stand for "build/..."
// and for the bare program names, the sample configuration for config/ and
// /etc/faultwright/, the test's directory for the service's own paths.
#include <gtest/gtest.h>
#include <signal.h>
#include <wordexp.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Support/SegmentDirectory.h"
#include "Support/ServiceProcess.h"
#include "Support/TestService.h"
#include "Support/TestSupport.h"

namespace {

using namespace FaultwrightTest;
using Words = std::vector<std::string>;

// The commands of our programs in the documents' "```sh" blocks, split into
// words as the shell splits them, the program's name first, paths replaced.
std::vector<Words> Examples(const std::string& work) {
  std::vector<Words> examples;
  for (const char* document : {"README.md", "docs/inspector.md", "docs/protocol.md"}) {
    std::ifstream file(std::string(FAULTWRIGHT_SOURCE_DIR) + "/" + document);
    bool inBlock = false;
    for (std::string line; std::getline(file, line);) {
      if (line.rfind("```", 0) == 0) inBlock = !inBlock && line == "```sh";
      if (line.rfind("build/", 0) == 0) line.erase(0, 6);
      if (!inBlock || line.rfind("fw", 0) != 0) continue;
      wordexp_t split;
      if (wordexp(line.substr(0, line.find(" #")).c_str(), &split, WRDE_NOCMD) != 0) continue;
      Words words(split.we_wordv, split.we_wordv + split.we_wordc);
      wordfree(&split);
      for (std::string& word : words) {
        if (word == "config/" || word == "/etc/faultwright/") word = std::string(FAULTWRIGHT_SOURCE_DIR) + "/config/";
        if (word.rfind("/var/lib/faultwright/", 0) == 0) word = work + word.substr(21);
      }
      examples.push_back(words);
    }
  }
  return examples;
}

using DocumentationExamplesPortTest = PortTest;

TEST_F(DocumentationExamplesPortTest, EveryExampleWorksAsWrittenAgainstTheSampleConfiguration) {
  SegmentDirectory work;
  const std::vector<Words> examples = Examples(work.Path());
  std::unique_ptr<ServiceProcess> service;
  for (const Words& example : examples) {
    if (example[0] != "fwservice") continue;
    ASSERT_FALSE(service) << "one service example is expected";
    service = std::make_unique<ServiceProcess>(Words(example.begin() + 1, example.end()), work.Path());
  }
  ASSERT_TRUE(service && service->Serving()) << (service ? service->Err() : "no fwservice example");
  size_t run = 0;
  for (Words args : examples) {
    const std::string shown = ::testing::PrintToString(args), program = args[0];
    if (program == "fwservice") continue;
    ++run;
    args[0] = BuiltProgram(program);
    const bool watch = args.back() == "1" && args[args.size() - 2] == "--watch";
    if (watch) args.insert(args.begin(), {"timeout", "--preserve-status", "-s", "INT", "1.5"});
    const size_t heard = CountOf(service->Out(), "\n");
    ProcessResult result = RunProcess(watch ? "/usr/bin/timeout" : args[0], args, work.Path());
    EXPECT_EQ(result.status, 0) << shown << "\n" << result.err;
    EXPECT_TRUE(!watch || result.out.find("Top level errors: ") != std::string::npos) << shown;
    if (program != "fwerror" || args[1].rfind("-M", 0) == 0) continue;
    // It reached the service, which knows the error.
    EXPECT_TRUE(service->WaitUntil([&] { return CountOf(service->Out(), "\n") > heard; })) << shown;
    EXPECT_FALSE(service->WaitUntil([&] { return CountOf(service->Err(), "not in the catalogue") != 0; }, 200))
        << shown << service->Err();
  }
  EXPECT_GE(run, 6u);
  EXPECT_EQ(service->Stop(SIGTERM), 0);
}

}  // namespace
