// Every command that README.md and docs/ show in a shell block, run as
// written against the sample configuration of config/, with a service running
// as the README starts it. The programs of this build stand for "build/..."
// and for the bare program names, the sample configuration for config/ and
// /etc/faultwright/, the test's directory for the service's own paths.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
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

const std::string kSampleConfig = std::string(FAULTWRIGHT_SOURCE_DIR) + "/config/";
const char* const kDocuments[] = {"README.md", "docs/inspector.md", "docs/protocol.md"};
const char* const kPrograms[] = {"fwerror", "fwservice", "fwinspect"};

// The words of one command line as the shell splits it: blanks part words,
// double quotes hold blanks, "#" starts a comment.
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false;
  bool inWord = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && c == '#') {
      break;
    } else if (!quoted && c == ' ') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

// The commands of our programs in the documents' "```sh" blocks, the
// program's name first, paths already replaced.
std::vector<std::vector<std::string>> Examples(const std::string& work) {
  std::vector<std::vector<std::string>> examples;
  for (const char* document : kDocuments) {
    std::ifstream file(std::string(FAULTWRIGHT_SOURCE_DIR) + "/" + document);
    bool inBlock = false;
    for (std::string line; std::getline(file, line);) {
      if (line.rfind("```", 0) == 0) {
        inBlock = !inBlock && line == "```sh";
        continue;
      }
      std::vector<std::string> words = Words(line);
      if (!inBlock || words.empty()) continue;
      if (words[0].rfind("build/", 0) == 0) words[0].erase(0, 6);
      if (std::find(std::begin(kPrograms), std::end(kPrograms), words[0]) == std::end(kPrograms)) continue;
      for (std::string& word : words) {
        if (word == "config/" || word == "/etc/faultwright/") word = kSampleConfig;
        if (word.rfind("/var/lib/faultwright/", 0) == 0) word = work + word.substr(21);
      }
      examples.push_back(words);
    }
  }
  return examples;
}

TEST(DocumentationExamplesPortTest, EveryExampleWorksAsWrittenAgainstTheSampleConfiguration) {
  EnterPrivateNetwork();
  SegmentDirectory work;
  const std::vector<std::vector<std::string>> examples = Examples(work.Path());
  std::unique_ptr<ServiceProcess> service;
  for (const std::vector<std::string>& example : examples) {
    if (example[0] != "fwservice") continue;
    ASSERT_FALSE(service) << "one service example is expected";
    service =
        std::make_unique<ServiceProcess>(std::vector<std::string>(example.begin() + 1, example.end()), work.Path());
  }
  ASSERT_TRUE(service && service->Serving()) << (service ? service->Err() : "no fwservice example");

  size_t run = 0;
  for (const std::vector<std::string>& example : examples) {
    std::string shown;
    for (const std::string& word : example) shown += " " + word;
    if (example[0] == "fwservice") continue;
    ++run;
    const bool watch = std::find(example.begin(), example.end(), "--watch") != example.end();
    std::vector<std::string> args = example;
    std::string program = BuiltProgram(example[0]);
    if (watch) {
      args[0] = program;
      args.insert(args.begin(), {"timeout", "--preserve-status", "-s", "INT", "1.5"});
      program = "/usr/bin/timeout";
    }
    const size_t heard = CountOf(service->Out(), "\n");
    ProcessResult result = RunProcess(program, args, work.Path());
    EXPECT_EQ(result.status, 0) << shown << "\n" << result.err;
    if (watch) {
      EXPECT_NE(result.out.find("Top level errors: "), std::string::npos) << shown;
    }
    if (example[0] != "fwerror" || example[1].rfind("-M", 0) == 0) continue;
    // It reached the service, which knows the error.
    EXPECT_TRUE(service->WaitUntil([&] { return CountOf(service->Out(), "\n") > heard; })) << shown;
    EXPECT_FALSE(service->WaitUntil([&] { return CountOf(service->Err(), "not in the catalogue") != 0; }, 200))
        << shown << "\n"
        << service->Err();
  }
  EXPECT_GE(run, 6u);
  EXPECT_EQ(service->Stop(SIGTERM), 0);
}

}  // namespace
