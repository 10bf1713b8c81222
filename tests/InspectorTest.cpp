// fwinspect as a black box: its report, export and check of configuration
// directories, and its reading of a live database that the test owns, as the
// diagnostic service would.
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/Patterns/CErrorPatterns.h"
#include "Common/View/CErrorDatabaseView.h"
#include "Inspect/CLiveDatabase.h"
#include "Support/CatalogueFiles.h"
#include "Support/LiveCatalogue.h"
#include "Support/TestSupport.h"

namespace {

using FaultwrightTest::ErrorXml;
using FaultwrightTest::LiveCatalogue;
using FaultwrightTest::ProcessResult;
using FaultwrightTest::TempDirectory;
using FaultwrightTest::TriggerSetXml;

const std::string kSampleConfig = FAULTWRIGHT_SOURCE_DIR "/config";

// Position Calculation:11 is raised automatically by either of No Data:9 and
// Usable Satellites:1; Firmware Version:12 stands alone.
const std::string kErrors =
    ErrorXml("No Data:9", "visible='yes' shouldBeep='yes'") + ErrorXml("Usable Satellites:1", "visible='yes'") +
    ErrorXml("Firmware Version:12", "visible='no'") +
    ErrorXml("Position Calculation:11", "visible='yes' fullScreen='yes'",
             TriggerSetXml({"autoTrigger=yes", "triggersNeeded=1"}, {"No Data:9", "Usable Satellites:1"}));
const char kPattern[] =
    "<pattern fixedCode='FIX-1'><error id='GPS:GPS:No Data:9'/><error id='GPS:GPS:Position Calculation:11'/>"
    "</pattern>";

ProcessResult Inspect(const std::vector<std::string>& args, const std::string& workingDirectory = "") {
  std::vector<std::string> argv = {"fwinspect"};
  argv.insert(argv.end(), args.begin(), args.end());
  return FaultwrightTest::RunProcess(FaultwrightTest::BuiltProgram("fwinspect"), argv, workingDirectory);
}

const char kTopFile[] = "<Faultwright><ErrorList><Module identifier='GPS' file='Gps.xml'/></ErrorList></Faultwright>";

std::string ModuleFile(const std::string& errors) {
  return "<Module><SubModule identifier='GPS'>" + errors + "</SubModule></Module>";
}

void WriteCatalogue(const TempDirectory& config, const std::string& errors, const std::string& patterns) {
  config.Write(Faultwright::CErrorDatabase::kTopFileName, kTopFile);
  config.Write("Gps.xml", ModuleFile(errors));
  config.Write(Faultwright::CErrorPatterns::kFileName, "<Patterns>" + patterns + "</Patterns>");
}

// Whether text is shape with each "#" standing for a run of digits and each
// "+" for a sign.
bool HasShape(const std::string& text, const std::string& shape) {
  size_t at = 0;
  for (char c : shape) {
    if (c == '#') {
      const size_t digits = text.find_first_not_of("0123456789", at);
      if (digits == at) return false;
      at = digits == std::string::npos ? text.size() : digits;
    } else if (at == text.size() || (c == '+' ? text[at] != '+' && text[at] != '-' : text[at] != c)) {
      return false;
    } else {
      ++at;
    }
  }
  return at == text.size();
}

TEST(InspectorTest, ReportsAndExportsTheCatalogueAsTheLibraryPrintsIt) {
  TempDirectory config;
  WriteCatalogue(config, kErrors, kPattern);
  const std::string tree =
      "GPS:GPS:Position Calculation:11  (3) [problem of Position Calculation:11] visible\n"
      "---Trigger threshold is 1. Linking mode is deep. Title source is parent.\n"
      "---GPS:GPS:No Data:9  (1) [problem of No Data:9]\n"
      "---GPS:GPS:Usable Satellites:1  (1) [problem of Usable Satellites:1]\n"
      "\n";
  EXPECT_EQ(Inspect({"tree", config.Path()}).out, tree);
  EXPECT_EQ(Inspect({"tree", "--all", config.Path()}).out,
            tree + "GPS:GPS:Firmware Version:12  (1) [problem of Firmware Version:12] not visible\n\n");

  ProcessResult list = Inspect({"list", config.Path()});
  EXPECT_EQ(list.status, 0);
  std::string names;
  for (const char* problem : {"No Data\n|     --->9", "Position Calculation\n|     --->11",
                              "Usable Satellites\n|     --->1", "Firmware Version\n|     --->12"}) {
    names += std::string("+GPS\n|--+GPS\n|  ---+") + problem + "\n";
  }
  EXPECT_EQ(list.out, names);

  const std::string file = config.Path() + "texts.txt";
  ProcessResult exported = Inspect({"export", config.Path(), file});
  EXPECT_EQ(exported.status, 0);
  EXPECT_EQ(exported.out, "4 errors exported to " + file + "\n");
  const std::string texts = FaultwrightTest::ReadFile(file);
  EXPECT_EQ(texts.substr(0, texts.find("[GPS:GPS:Usable")),
            "[GPS:GPS:No Data:9.problem]\nproblem of No Data:9\n[GPS:GPS:No Data:9.solution]\nsolution of No Data:9\n"
            "[GPS:GPS:No Data:9.shortTitle]\ntitle No Data:9\n[GPS:GPS:No Data:9.vtTitle]\nshort No Data:9\n");
  EXPECT_EQ(std::count(texts.begin(), texts.end(), '\n'), 32);

  ProcessResult unwritable = Inspect({"export", config.Path(), config.Path() + "missing/texts.txt"});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_EQ(unwritable.err, "fwinspect: cannot write " + config.Path() + "missing/texts.txt\n");
}

TEST(InspectorTest, CheckPassesTheSampleAndNamesEveryProblemOfABrokenConfiguration) {
  ProcessResult sample = Inspect({"check", kSampleConfig});
  EXPECT_EQ(sample.status, 0) << sample.err;
  EXPECT_EQ(sample.err, "");
  EXPECT_NE(sample.out.find("Navigation And Control:Steering:Disengage Fault:11: 2 levels, state code up to 6 "
                            "digits, 13 texts\n"),
            std::string::npos)
      << sample.out;
  EXPECT_EQ(sample.out.substr(sample.out.rfind('\n', sample.out.size() - 2) + 1),
            kSampleConfig + ": 34 errors, 6 patterns, no problems\n");

  // Usable Satellites:1 lacks its solution; No Data:9 is defined twice.
  std::string errors = kErrors + ErrorXml("No Data:9");
  const std::string solution = "<Text type='solution' text='solution of Usable Satellites:1'/>";
  errors.erase(errors.find(solution), solution.size());
  TempDirectory broken;
  WriteCatalogue(broken, errors,
                 "<pattern><error id='GPS:GPS:No Data:9'/></pattern>"
                 "<pattern fixedCode='A'><error id='GPS:Nowhere:No Data:9'/><error id='GPS:GPS:No Data'/>"
                 "<error id='GPS:GPS:No Data:nine'/><error id='GPS:GPS:Usable Satellites:1'/></pattern>"
                 "<pattern fixedCode='B'/><other/>");
  ProcessResult check = Inspect({"check", broken.Path()});
  EXPECT_EQ(check.status, 1);
  EXPECT_NE(check.out.find(broken.Path() + ": 14 problems\n"), std::string::npos) << check.out << check.err;
  const std::string patterns = broken.Path() + "ErrorPatterns.xml: ";
  const std::string placeless = FaultwrightTest::WithoutPlaces(check.err);
  for (const std::string& line : {
           broken.Path() + "Gps.xml: Error \"GPS:GPS:No Data:9\" is defined again (before at " + broken.Path() +
               "Gps.xml",
           patterns + "pattern 1 has no fixedCode and is ignored",
           patterns + "pattern \"A\": error \"GPS:Nowhere:No Data:9\": unknown submodule name",
           patterns + "pattern \"A\": error \"GPS:GPS:No Data\": not of the form module:submodule:problem:type",
           patterns + "pattern \"A\": error \"GPS:GPS:No Data:nine\": type \"nine\" is not a number",
           patterns + "pattern \"A\": error \"GPS:GPS:Usable Satellites:1\": not in the catalogue, so the pattern "
                      "never matches",
           patterns + "pattern \"B\": names no errors",
           patterns + "unexpected element \"other\" in Patterns is ignored",
       }) {
    EXPECT_NE(placeless.find(line), std::string::npos) << line << "\nin\n" << check.err;
  }
  EXPECT_NE(check.err.find("no solution text"), std::string::npos) << check.err;

  ProcessResult missing = Inspect({"check", broken.Path() + "nowhere"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err,
            "fwinspect: cannot read " + broken.Path() + "nowhere/FaultwrightConfig.xml: No such file or directory\n");
}
TEST(InspectorTest, HelpAndVersionAnswerAndBadArgumentsGiveAMessageAndStatusTwo) {
  // Both programs answer the usual questions on standard output.
  const std::pair<std::string, std::vector<std::string>> questions[] = {
      {"fwinspect", {"--version"}}, {"fwservice", {"--version"}},     {"fwinspect", {"--help"}},
      {"fwservice", {"--help"}},    {"fwinspect", {"help", "check"}}, {"fwinspect", {"check", "--he"}},
  };
  std::vector<std::string> answers;
  for (const auto& [program, args] : questions) {
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessResult answer = FaultwrightTest::RunProcess(FaultwrightTest::BuiltProgram(program), argv);
    EXPECT_EQ(answer.status, 0) << program << " " << args[0];
    EXPECT_EQ(answer.err, "");
    answers.push_back(answer.out);
  }
  EXPECT_EQ(answers[0], "fwinspect (Faultwright) " + answers[1].substr(std::strlen("fwservice (Faultwright) ")));
  EXPECT_TRUE(HasShape(answers[1], "fwservice (Faultwright) #.#.#\n")) << answers[1];
  EXPECT_EQ(answers[2].rfind("usage: fwinspect COMMAND", 0), 0u);
  EXPECT_EQ(answers[3].rfind("usage: fwservice", 0), 0u);
  EXPECT_EQ(answers[4].rfind("usage: fwinspect check DIR [--json]\n", 0), 0u);
  EXPECT_EQ(answers[5], answers[4]);
  // getopt_long's forms: a value after "=", an abbreviation.
  EXPECT_EQ(Inspect({"active", kSampleConfig, "--wat=0"}).err,
            "fwinspect: --watch needs a number of seconds above 0 and at most 86400, not \"0\"\n");

  ProcessResult help = Inspect({"help"});
  EXPECT_EQ(help.status, 0);
  for (const char* command :
       {"check DIR [--json]", "tree DIR [--all]", "list DIR", "export DIR FILE", "history [DIR] [--json]",
        "active DIR [--text-keys] [--json] [--watch SECONDS]", "decode DIR CODE [--flat]"}) {
    EXPECT_NE(help.out.find(std::string("  ") + command + "\n"), std::string::npos) << command;
  }
  const std::vector<std::pair<std::vector<std::string>, std::string>> mistakes = {
      {{}, "fwinspect: no command given\n"},
      {{"show"}, "fwinspect: unknown command \"show\"; \"fwinspect help\" lists the commands\n"},
      {{"tree"}, "fwinspect: tree: expected 1 argument, got 0\nusage: fwinspect tree DIR [--all]\n"},
      {{"tree", kSampleConfig, "--flat"}, "fwinspect: tree: unknown or ambiguous option --flat\n"},
      {{"tree", "--", "--all"}, "fwinspect: cannot read --all/FaultwrightConfig.xml"},
      {{"active", kSampleConfig, "--watch"}, "fwinspect: active: --watch needs a value\n"},
      {{"active", kSampleConfig, "--watch", "-1"},
       "fwinspect: --watch needs a number of seconds above 0 and at most 86400, not \"-1\"\n"},
      {{"decode", kSampleConfig, "01"},
       "fwinspect: state code \"01\" is too short: a state code has at least 3 hexadecimal digits\n"},
      {{"decode", kSampleConfig, ""},
       "fwinspect: state code \"\" is too short: a state code has at least 3 hexadecimal digits\n"},
      {{"decode", kSampleConfig, "01G0"},
       "fwinspect: \"01G0\" is not a state code: a state code is hexadecimal digits\n"},
  };
  for (const auto& mistake : mistakes) {
    ProcessResult result = Inspect(mistake.first);
    // Mistakes in the command line give 2, the others 1.
    EXPECT_EQ(result.status, mistake.second.find("state code") == std::string::npos &&
                                     mistake.second.find("cannot read") == std::string::npos
                                 ? 2
                                 : 1)
        << mistake.second;
    EXPECT_EQ(result.err.substr(0, mistake.second.size()), mistake.second);
  }
}

// The catalogue of kErrors, live: while the fixture lives, the working
// directory is the one whose database the test owns.
class LiveInspection : public ::testing::Test {
 protected:
  LiveInspection() : live_(kErrors, kPattern) {}

  // What the service does on a raise of No Data:9: the automatic set raises
  // Position Calculation:11 too.
  void RaiseNoData() { live_.Raise({"No Data:9", "Position Calculation:11"}); }

  LiveCatalogue live_;
  const std::string& config_ = live_.ConfigDirectory();
};

// "raised:" lines hold the local time and the clock's seconds; the rest is
// fixed.
std::string WithoutTimes(const std::string& text) {
  const std::string raised = "  raised:      ";
  std::istringstream lines(text);
  std::string result;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(raised, 0) == 0 &&
        HasShape(line.substr(raised.size()), "#-#-#T#:#:#+#:# (# s since boot, # s ago)")) {
      line = raised + "T";
    }
    result += line + "\n";
  }
  return result;
}

const char kSummary[] =
    "GPS:GPS:Position Calculation:11\n"
    "  severity:    Medium\n"
    "  flags:       visible fullScreen shouldBeep\n"
    "  shortTitle:  title Position Calculation:11\n"
    "  vtTitle:     short Position Calculation:11\n"
    "  problem:     problem of Position Calculation:11\n"
    "  solution:    solution of No Data:9\n"
    "  raised:      T\n"
    "  cleared:     never\n"
    "  raiseCounts: RaiseCount1 1, RaiseCount2 1\n"
    "  stateCode:   00E0\n";

TEST_F(LiveInspection, ActiveShowsTheTreeAndSummariesInTextAndJson) {
  ProcessResult idle = Inspect({"active", config_});
  EXPECT_EQ(idle.status, 0) << idle.err;
  EXPECT_EQ(idle.out, "Update: no change\nTop level errors: 0\nActive top level errors\n");

  RaiseNoData();
  ProcessResult active = Inspect({"active", config_});
  EXPECT_EQ(active.status, 0) << active.err;
  EXPECT_EQ(WithoutTimes(active.out), std::string("Update: an active error is new or changed\n"
                                                  "Top level errors: 1\n"
                                                  "Active top level errors\n"
                                                  "+GPS:GPS:Position Calculation:11\n"
                                                  "  +GPS:GPS:No Data:9\n"
                                                  "\n") +
                                          kSummary + "  fixedCode:   FIX-1\n");

  ProcessResult json = Inspect({"active", config_, "--json", "--text-keys"});
  EXPECT_EQ(json.status, 0) << json.err;
  nlohmann::json summaries = nlohmann::json::parse(json.out);
  ASSERT_EQ(summaries.size(), 1u);
  const nlohmann::json& summary = summaries[0];
  EXPECT_EQ(summary["error"], "GPS:GPS:Position Calculation:11");
  EXPECT_EQ(summary["code"], live_.Find("Position Calculation:11")->Code());
  EXPECT_EQ(summary["severity"], "Medium");
  EXPECT_EQ(summary["fullScreen"], true);
  EXPECT_EQ(summary["shortTitle"], "GPS:GPS:Position Calculation:11.shortTitle");
  EXPECT_EQ(summary["solutions"], nlohmann::json({"GPS:GPS:No Data:9.solution"}));
  EXPECT_GT(summary["raised"], 0u);
  EXPECT_TRUE(HasShape(summary["raisedAt"].get<std::string>(), "#-#-#T#:#:#Z")) << summary["raisedAt"];
  EXPECT_EQ(summary["cleared"], 0u);
  EXPECT_TRUE(summary["clearedAt"].is_null());
  EXPECT_EQ(summary["raiseCount2"], 1u);
  EXPECT_EQ(summary["stateCode"], "00E0");
  EXPECT_EQ(summary["fixedCode"], "FIX-1");
}

TEST_F(LiveInspection, DecodeTurnsAStateCodeBackAndRefusesWhatItCannotRead) {
  RaiseNoData();
  ProcessResult tree = Inspect({"decode", config_, "00E0"});
  EXPECT_EQ(tree.status, 0) << tree.err;
  EXPECT_EQ(WithoutTimes(tree.out),
            std::string("+-GPS:GPS:Position Calculation:11\n+---GPS:GPS:No Data:9\n\n") + kSummary);
  ProcessResult flat = Inspect({"decode", "--flat", config_, "00E0"});
  EXPECT_EQ(flat.out.substr(0, flat.out.find("\n\n")), "GPS:GPS:Position Calculation:11\nGPS:GPS:No Data:9");

  ProcessResult outside = Inspect({"decode", config_, "FFC0"});
  EXPECT_EQ(outside.status, 1);
  EXPECT_EQ(outside.err,
            "fwinspect: state code FFC0 names entry 1023, which the live error database of the working directory "
            "does not hold\n");
  // Entry 0 has no trigger sets, so a code of its index alone is whole.
  EXPECT_EQ(Inspect({"decode", config_, "000"}).status, 0);
  // Entry 3 has trigger sets: three digits read as none of them active.
  ProcessResult indexOnly = Inspect({"decode", config_, "00C"});
  EXPECT_EQ(indexOnly.status, 0) << indexOnly.err;
  EXPECT_EQ(indexOnly.out.substr(0, indexOnly.out.find('\n')), "+-GPS:GPS:Position Calculation:11");
}

TEST_F(LiveInspection, HistoryListsEveryRaisedErrorAndWatchRefreshesUntilInterrupted) {
  live_.Raise({"Usable Satellites:1"});
  live_.Clear({"Usable Satellites:1"});
  RaiseNoData();
  ProcessResult history = Inspect({"history", "--json"});
  EXPECT_EQ(history.status, 0) << history.err;
  nlohmann::json summaries = nlohmann::json::parse(history.out);
  ASSERT_EQ(summaries.size(), 3u);
  std::vector<std::string> errors;
  for (const nlohmann::json& summary : summaries) {
    errors.push_back(summary["error"]);
    // Without a catalogue nothing is known of severity, flags and texts.
    EXPECT_FALSE(summary.contains("severity") || summary.contains("visible") || summary.contains("problems"));
  }
  nlohmann::json catalogued = nlohmann::json::parse(Inspect({"history", config_, "--json"}).out);
  ASSERT_EQ(catalogued.size(), 3u);
  for (const nlohmann::json& summary : catalogued) {
    EXPECT_EQ(summary["severity"], "Medium");
    EXPECT_EQ(summary["problems"][0], "problem of " + summary["error"].get<std::string>().substr(8));
  }
  EXPECT_NE(Inspect({"history", config_})
                .out.find("\nGPS:GPS:No Data:9\n  severity:    Medium\n  flags:       visible "
                          "shouldBeep\n"),
            std::string::npos);
  std::sort(errors.begin(), errors.end());
  EXPECT_EQ(errors, (std::vector<std::string>{"GPS:GPS:No Data:9", "GPS:GPS:Position Calculation:11",
                                              "GPS:GPS:Usable Satellites:1"}));
  ProcessResult text = Inspect({"history"});
  EXPECT_EQ(text.out.substr(0, text.out.find('\n')), "Raised errors, latest first");
  EXPECT_NE(text.out.find("GPS:GPS:Usable Satellites:1  raised "), std::string::npos);

  ProcessResult watch = FaultwrightTest::RunProcess(
      "/usr/bin/timeout", {"timeout", "--preserve-status", "-s", "INT", "1", FaultwrightTest::BuiltProgram("fwinspect"),
                           "active", config_, "--watch", "0.2", "--json"});
  EXPECT_EQ(watch.status, 0) << watch.err;
  EXPECT_GE(std::count(watch.out.begin(), watch.out.end(), '\n'), 3) << watch.out;
  EXPECT_EQ(watch.out.find("\"stateCode\":\"00E0\""), watch.out.find("\"stateCode\""));

  // Another process holds the lock: said so, not "not enabled".
  const int semaphore = semget(ftok(".", Faultwright::CErrorDatabaseView::kKeyId), 0, 0);
  sembuf take = {0, -1, SEM_UNDO};
  sembuf give = {0, 1, SEM_UNDO};
  ASSERT_EQ(semop(semaphore, &take, 1), 0);
  ProcessResult locked = Inspect({"active", config_});
  ASSERT_EQ(semop(semaphore, &give, 1), 0);
  EXPECT_EQ(locked.status, 1);
  EXPECT_NE(locked.err.find("fwinspect: the live error database here is locked by process " + std::to_string(getpid()) +
                            "\n"),
            std::string::npos)
      << locked.err;
  // A process that took the lock and ended: not said to hold it.
  sembuf takeForGood = {0, -1, 0};
  const pid_t taker = fork();
  if (taker == 0) _exit(semop(semaphore, &takeForGood, 1) == 0 ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(taker, &status, 0), taker);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  locked = Inspect({"active", config_});
  sembuf giveBack = {0, 1, 0};
  ASSERT_EQ(semop(semaphore, &giveBack, 1), 0);
  EXPECT_NE(locked.err.find("process " + std::to_string(taker) + ", which last took its lock, has ended"),
            std::string::npos)
      << locked.err;

  live_.Owner().SetEnabled(false);
  ProcessResult disabled = Inspect({"active", config_});
  EXPECT_EQ(disabled.status, 1);
  EXPECT_EQ(disabled.err,
            "fwinspect: the live error database of the working directory is not enabled (is fwservice running "
            "here?)\n");
}

TEST(InspectorTest, AReaderWhereNoServiceRunsLeavesNothingBehind) {
  TempDirectory here;
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"active", kSampleConfig}, {"history"}, {"decode", kSampleConfig, "0000"}}) {
    ProcessResult result = Inspect(command, here.Path());
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
  RaiseNoData();
  EXPECT_EQ(reader.Refresh(), 1);
  EXPECT_TRUE(isActive("No Data:9"));

  // The service starts again: a zeroed segment, then only Usable Satellites:1.
  Faultwright::CErrorDatabaseView restarted(true, 1);
  restarted.SetErrors(live_.Catalogue());
  restarted.SetEnabled(true);
  for (const char* name : {"Usable Satellites:1", "Position Calculation:11"}) {
    restarted.RaiseError(live_.Find(name)->Code(), live_.Find(name)->Type());
  }
  reader.Refresh();
  EXPECT_FALSE(isActive("No Data:9"));
  EXPECT_TRUE(isActive("Usable Satellites:1"));
  EXPECT_TRUE(isActive("Position Calculation:11"));

  restarted.SetEnabled(false);
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
    Faultwright::CErrorDatabaseView anew(true, 1);
    anew.SetErrors(live_.Catalogue());
    anew.SetEnabled(true);
    const char* name = removeSegment ? "Firmware Version:12" : "Usable Satellites:1";
    anew.RaiseError(live_.Find(name)->Code(), live_.Find(name)->Type());
    EXPECT_EQ(reader.Refresh(), 1);
    EXPECT_EQ(reader.TakeNotice(), "the live error database here was removed; now reading the one made anew");
    EXPECT_TRUE(isActive(name));
    EXPECT_EQ(reader.Refresh(), 0);
    EXPECT_EQ(reader.TakeNotice(), "");
  }
}

}  // namespace

TEST(InspectorTest, CheckNamesEveryMistakeWithItsLine) {
  // One Error per line, after the Module and SubModule lines.
  std::vector<std::string> problems;
  Faultwright::ForEachProblem([&problems](uint32_t, const char* name) { problems.push_back(name); });
  std::vector<std::string> lines = {"<Module>", "<SubModule identifier='GPS'>"};
  auto add = [&lines](const std::string& name, const std::string& triggerSets = "",
                      const std::string& attributes = "") {
    lines.push_back(ErrorXml(name, attributes, triggerSets));
    return static_cast<int>(lines.size());
  };
  auto name = [&problems](size_t problem, int type) { return problems[problem] + ":" + std::to_string(type); };
  auto triggers = [](const std::vector<std::string>& names, const std::vector<std::string>& options = {}) {
    return TriggerSetXml(options, names);
  };
  add(name(0, 0));
  std::vector<std::pair<int, std::string>> expected = {
      {add(name(0, 1), "", "identifier2='x'"), "The attribute 'identifier2' is not allowed"},
      {add(name(0, 2), triggers({problems[0] + ":RootCauseUnknown"})), "is not a number and reads as 0"},
      {add(name(0, 3), triggers({name(0, 0), name(0, 20)})), "which the catalogue does not hold"},
      {add(name(0, 4), triggers({name(0, 0)}, {"triggersNeeded=2"})), "TriggerSet needs 2 triggers but holds 1"},
  };
  add(name(0, 5), triggers({name(0, 6)}));
  // The loader reports a cycle at the error whose trigger closes it.
  expected.push_back({add(name(0, 6), triggers({name(0, 5)})), "closes a cycle of trigger references"});
  expected.push_back({add(name(0, 0)), "is defined again"});
  expected.push_back({add(problems[0] + ":VoltageBelowNormalOrShortedLo"), "type is neither a type name nor a number"});
  // Two ladders, each error triggered twice by the one below: the state code
  // doubles with every step.
  for (const auto& [problem, top, text] :
       {std::make_tuple(1, 14, "its state code reaches 8194 digits, more than the 4096"),
        std::make_tuple(2, 8, "warning: its state code reaches 130 digits")}) {
    for (int type = 0; type <= top; ++type) {
      const int line =
          add(name(problem, type), type == 0 ? "" : triggers({name(problem, type - 1), name(problem, type - 1)}));
      if (type == top) expected.push_back({line, text});
    }
  }
  // A chain of 258 errors, 257 levels below its top.
  for (int n = 0; n < 258; ++n) {
    const int line = add(name(3 + n / 21, n % 21), n == 0 ? "" : triggers({name(3 + (n - 1) / 21, (n - 1) % 21)}));
    if (n == 257) expected.push_back({line, "its trigger tree is 257 levels deep"});
  }
  // 401 errors in all (the second No Data:0 is one more record).
  int beyond = 0;
  for (int n = 0; lines.size() < 2 + 401; ++n) beyond = add(name(16 + n / 21, n % 21));
  expected.push_back({beyond, "401 errors, but the live database holds only the first 400"});
  std::string module;
  for (const std::string& line : lines) module += line + "\n";
  TempDirectory config;
  config.Write(Faultwright::CErrorDatabase::kTopFileName,
               "<Faultwright>\n<ErrorList>\n<Module identifier='GPS' file='Gps.xml'/>\n"
               "<Module identifier='Spray' file='Spray.xml'/>\n</ErrorList>\n</Faultwright>\n");
  config.Write("Gps.xml", module + "</SubModule>\n</Module>\n");
  config.Write("Spray.xml", "<Module>\n<SubModule identifier='Controller'>\n</Module>\n");
  config.Write(Faultwright::CErrorPatterns::kFileName, "<Patterns>\n<pattern a='1' a='2'/>\n</Patterns>\n");

  ProcessResult check = Inspect({"check", config.Path(), "--json"});
  EXPECT_EQ(check.status, 1) << check.err;
  nlohmann::json report = nlohmann::json::parse(check.out);
  auto reported = [&report](const std::string& file, int line, const std::string& text) {
    for (const nlohmann::json& problem : report["problems"]) {
      const std::string message =
          (problem["severity"] == "warning" ? "warning: " : "") + problem["message"].get<std::string>();
      if (problem["file"] == file && problem["line"] == line && message.find(text) != std::string::npos) return true;
    }
    return false;
  };
  const std::string gps = config.Path() + "Gps.xml";
  for (const auto& [line, text] : expected) EXPECT_TRUE(reported(gps, line, text)) << line << ": " << text;
  EXPECT_TRUE(reported(config.Path() + "Spray.xml", 3, "mismatch"));
  // The loader's own word on a file that is not well-formed has its line too.
  EXPECT_TRUE(reported(config.Path() + "Spray.xml", 3, "Module \"Spray\": Start-end tags mismatch"));
  EXPECT_TRUE(reported(config.Path() + Faultwright::CErrorPatterns::kFileName, 2, "attribute \"a\" given twice"));

  ProcessResult text = Inspect({"check", config.Path()});
  const int line = expected[0].first;
  EXPECT_NE(text.err.find(gps + ":" + std::to_string(line) + ":" + std::to_string(lines[line - 1].find("<Error") + 1) +
                          ": Element 'Error'"),
            std::string::npos)
      << text.err.substr(0, 2000);
}
