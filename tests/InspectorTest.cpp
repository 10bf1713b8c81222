// fwinspect as a black box: its reports and checks of configuration
// directories, and its reading of a live database that the test owns, as the
// diagnostic service would. The runs, their expected outputs and the broken
// configurations they check are the files of tests/data/Inspector/.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Inspect/CLiveDatabase.h"
#include "Support/LiveCatalogue.h"
#include "Support/SharedSegment.h"

namespace {

using FaultwrightTest::LiveCatalogue;
using FaultwrightTest::ProcessResult;
using Strings = std::vector<std::string>;

const std::string kSample = FAULTWRIGHT_SOURCE_DIR "/config";
const std::string kData = FAULTWRIGHT_SOURCE_DIR "/tests/data/Inspector/";

// args[0] names the program.
ProcessResult RunProgram(const Strings& args, const std::string& workingDirectory = "") {
  return FaultwrightTest::RunProcess(FaultwrightTest::BuiltProgram(args[0]), args, workingDirectory);
}

// Where text at `at` has shape, with each "#" standing for a run of digits and
// each "+" for a sign: the end of the match; else npos.
size_t ShapeEnd(const std::string& text, size_t at, const std::string& shape) {
  for (char c : shape) {
    if (c == '#') {
      const size_t digits = text.find_first_not_of("0123456789", at);
      if (digits == at) return std::string::npos;
      at = digits == std::string::npos ? text.size() : digits;
    } else if (at == text.size() || (c == '+' ? text[at] != '+' && text[at] != '-' : text[at] != c)) {
      return std::string::npos;
    } else {
      ++at;
    }
  }
  return at;
}

// The directories of the test, by the names the expected outputs give them.
std::vector<std::pair<std::string, std::string>> Places(const std::string& config) {
  return {{"CONFIG/", config}, {"DATA/", kData}, {"SAMPLE", kSample}};
}

// text with what the clock and the build decide written as words, and the
// directories of the test by name.
std::string Normalised(const std::string& text, const std::string& config) {
  std::vector<std::pair<std::string, std::string>> shapes = {{"#-#-#T#:#:#+#:# (# s since boot, # s ago)", "TIME"},
                                                             {"#-#-#T#:#:#Z", "TIME"},
                                                             {"\"raised\":#", "RAISED"},
                                                             {"\"cleared\":#", "CLEARED"},
                                                             {"(Faultwright) #.#.#", "VERSION"}};
  for (const auto& [word, path] : Places(config)) shapes.emplace_back(path, word);
  std::string result;
  for (size_t at = 0; at < text.size();) {
    size_t end = std::string::npos;
    for (const auto& [shape, word] : shapes) {
      if ((end = ShapeEnd(text, at, shape)) != std::string::npos) {
        result += word;
        break;
      }
    }
    at = end == std::string::npos ? (result += text[at], at + 1) : end;
  }
  return result;
}

// The catalogue of live-errors.xml, live: while the fixture lives, the
// working directory is the one whose database the test owns.
class LiveInspection : public ::testing::Test {
 protected:
  LiveInspection()
      : live_(FaultwrightTest::ReadFile(kData + "live-errors.xml"),
              FaultwrightTest::ReadFile(kData + "live-patterns.xml")) {}

  // As the service raises them: the automatic set raises Position Calculation:11.
  void RaiseNoData() { live_.Raise({"No Data:9", "Position Calculation:11"}); }

  LiveCatalogue live_;
  const std::string& config_ = live_.ConfigDirectory();
};

TEST_F(LiveInspection, EveryCommandAnswersWithItsOutputAndStatus) {
  // One raise time for all, so that the history's order is the table's.
  std::vector<Faultwright::CErrorKey> keys;
  for (const char* name : {"No Data:9", "Usable Satellites:1", "Position Calculation:11"}) {
    keys.emplace_back(static_cast<int32_t>(live_.Find(name)->Code()), live_.Find(name)->Type());
  }
  live_.Owner().RaiseErrors(keys);
  live_.Raise({"-Usable Satellites:1"});
  const nlohmann::json runs = nlohmann::json::parse(FaultwrightTest::ReadFile(kData + "runs.json"))["runs"];
  for (const nlohmann::json& run : runs) {
    Strings args;
    for (std::string arg : run["args"]) {
      for (const auto& [word, path] : Places(config_)) {
        if (arg.rfind(word, 0) == 0) arg.replace(0, word.size(), path);
      }
      args.push_back(arg);
    }
    SCOPED_TRACE(run.dump());
    ProcessResult result = RunProgram(args);
    const std::string golden = kData + run["golden"].get<std::string>();
    EXPECT_EQ(Normalised(result.out, config_), FaultwrightTest::ReadFile(golden + ".out"));
    EXPECT_EQ(Normalised(result.err, config_), FaultwrightTest::ReadFile(golden + ".err"));
    EXPECT_EQ(result.status, run["status"]);
  }
}

TEST_F(LiveInspection, WatchRefreshesUntilInterruptedAndALockHolderIsNamed) {
  RaiseNoData();
  ProcessResult watch = FaultwrightTest::RunProcess(
      "/usr/bin/timeout", {"timeout", "--preserve-status", "-s", "INT", "1", FaultwrightTest::BuiltProgram("fwinspect"),
                           "active", config_, "--watch", "0.2", "--json"});
  EXPECT_EQ(watch.status, 0) << watch.err;
  EXPECT_GE(std::count(watch.out.begin(), watch.out.end(), '\n'), 3) << watch.out;
  EXPECT_EQ(watch.out.find("\"stateCode\":\"00E0\""), watch.out.find("\"stateCode\""));

  // Another process holds the lock: said so, not "not enabled"; one that
  // took it and ended is not said to hold it.
  const int semaphore = semget(ftok(".", Faultwright::CErrorDatabaseView::kKeyId), 0, 0);
  sembuf take = {0, -1, 0};
  sembuf give = {0, 1, 0};
  ASSERT_EQ(semop(semaphore, &take, 1), 0);
  ProcessResult held = RunProgram({"fwinspect", "active", config_});
  ASSERT_EQ(semop(semaphore, &give, 1), 0);
  const pid_t taker = fork();
  if (taker == 0) _exit(semop(semaphore, &take, 1) == 0 ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(taker, &status, 0), taker);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ProcessResult ended = RunProgram({"fwinspect", "active", config_});
  ASSERT_EQ(semop(semaphore, &give, 1), 0);
  EXPECT_EQ(held.status, 1);
  EXPECT_NE(held.err.find("locked by process " + std::to_string(getpid()) + "\n"), std::string::npos) << held.err;
  EXPECT_NE(ended.err.find("process " + std::to_string(taker) + ", which last took its lock, has ended"),
            std::string::npos)
      << ended.err;

  live_.Owner().SetEnabled(false);
  EXPECT_EQ(RunProgram({"fwinspect", "active", config_}).err,
            "fwinspect: the live error database of the working directory is not enabled (is fwservice running "
            "here?)\n");
}

TEST(InspectorTest, AReaderWhereNoServiceRunsLeavesNothingBehind) {
  FaultwrightTest::TempDirectory here;
  for (const Strings& command :
       {Strings{"fwinspect", "active", kSample}, {"fwinspect", "history"}, {"fwinspect", "decode", kSample, "0000"}}) {
    ProcessResult result = RunProgram(command, here.Path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "fwinspect: no live error database here: is fwservice running in this directory?\n");
  }
  const key_t key = ftok(here.Path().c_str(), Faultwright::CErrorDatabaseView::kKeyId);
  EXPECT_EQ(shmget(key, 0, 0), -1);
  EXPECT_EQ(semget(key, 0, 0), -1);
}

TEST_F(LiveInspection, AReaderForgetsWhatWasActiveBeforeTheServiceStartedAgainAndFollowsARemoval) {
  Faultwright::CLiveDatabase reader(config_);
  auto isActive = [this, &reader](const char* name) {
    const Faultwright::CError* error = live_.Find(name);
    return reader.Catalogue().FindError(error->Code(), error->Type())->IsActive();
  };
  // A new owner: a zeroed segment, then only the named errors.
  auto startService = [this](const Strings& names) {
    auto owner = std::make_unique<Faultwright::CErrorDatabaseView>(true, 1);
    owner->SetErrors(live_.Catalogue());
    owner->SetEnabled(true);
    for (const std::string& name : names) owner->RaiseError(live_.Find(name)->Code(), live_.Find(name)->Type());
    return owner;
  };
  RaiseNoData();
  EXPECT_EQ(reader.Refresh(), 1);
  EXPECT_TRUE(isActive("No Data:9"));
  auto restarted = startService({"Usable Satellites:1", "Position Calculation:11"});
  reader.Refresh();
  EXPECT_FALSE(isActive("No Data:9"));
  EXPECT_TRUE(isActive("Usable Satellites:1") && isActive("Position Calculation:11"));
  restarted->SetEnabled(false);
  reader.Refresh();
  EXPECT_FALSE(reader.IsEnabled());
  EXPECT_TRUE(reader.Catalogue().TopLevelErrors(false).empty());

  // The segment, then the semaphore set, removed (ipcrm) and made anew by the
  // next owner: the reader makes nothing meanwhile, then reads the new ones
  // and says so once.
  const key_t key = ftok(".", Faultwright::CErrorDatabaseView::kKeyId);
  for (bool removeSegment : {true, false}) {
    SCOPED_TRACE(removeSegment ? "segment removed" : "semaphore set removed");
    ASSERT_EQ(removeSegment ? shmctl(shmget(key, 0, 0), IPC_RMID, nullptr) : semctl(semget(key, 0, 0), 0, IPC_RMID), 0);
    EXPECT_EQ(reader.Refresh(), 0);
    EXPECT_FALSE(reader.IsEnabled());
    EXPECT_EQ(removeSegment ? shmget(key, 0, 0) : semget(key, 0, 0), -1);
    const char* name = removeSegment ? "Firmware Version:12" : "Usable Satellites:1";
    auto anew = startService({name});
    EXPECT_EQ(reader.Refresh(), 1);
    EXPECT_EQ(reader.TakeNotice(), "the live error database here was removed; now reading the one made anew");
    EXPECT_TRUE(isActive(name));
    EXPECT_EQ(reader.Refresh(), 0);
    EXPECT_EQ(reader.TakeNotice(), "");
  }
}

}  // namespace
