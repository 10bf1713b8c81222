// fwinspect as a black box: its report, export and check of configuration
// directories, and its reading of a live database that this test owns.
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Common/CErrorDatabaseView.h"
#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Identifiers/Identifiers.h"
#include "Inspect/CLiveDatabase.h"
#include "Support/TestSupport.h"

namespace {

using FaultwrightTest::ProcessResult;
using FaultwrightTest::TempDirectory;

const std::string kSampleConfig = FAULTWRIGHT_SOURCE_DIR "/config";

// Position Calculation:11 is raised automatically by either of No Data:9 and
// Usable Satellites:1; Firmware Version:12 stands alone.
const char kModule[] = R"(<Module>
  <SubModule identifier="GPS">
    <Problem identifier="No Data">
      <Error identifier="9" severity="High" visible="yes" shouldBeep="yes">
        <Text type="problem" text="P9"/><Text type="solution" text="S9"/>
        <Text type="shortProblem" text="SP9"/><Text type="title" text="T9"/>
      </Error>
    </Problem>
    <Problem identifier="Usable Satellites">
      <Error identifier="1" severity="Medium" visible="yes">
        <Text type="problem" text="P1"/><Text type="solution" text="S1"/><Text type="shortProblem" text="SP1"/>
      </Error>
    </Problem>
    <Problem identifier="Firmware Version">
      <Error identifier="12" severity="Low" visible="no">
        <Text type="problem" text="P12"/><Text type="solution" text="S12"/><Text type="shortProblem" text="SP12"/>
      </Error>
    </Problem>
    <Problem identifier="Position Calculation">
      <Error identifier="11" severity="High" visible="yes" fullScreen="yes">
        <Text type="problem" text="P11"/><Text type="solution" text="S11"/>
        <Text type="shortProblem" text="SP11"/><Text type="title" text="T11"/>
        <TriggerSets>
          <TriggerSet>
            <Options><Option name="autoTrigger" value="yes"/><Option name="triggersNeeded" value="1"/></Options>
            <Triggers><Trigger id="GPS:GPS:No Data:9"/><Trigger id="GPS:GPS:Usable Satellites:1"/></Triggers>
          </TriggerSet>
        </TriggerSets>
      </Error>
    </Problem>
  </SubModule>
</Module>
)";
const char kTopFile[] =
    R"(<Faultwright><ErrorList><Module identifier="GPS" file="Gps.xml"/></ErrorList></Faultwright>)";
const char kPatterns[] = R"(<Patterns>
  <pattern fixedCode="FIX-1"><error id="GPS:GPS:No Data:9"/><error id="GPS:GPS:Position Calculation:11"/></pattern>
</Patterns>)";

const unsigned kGpsCode = Faultwright::emiGPS | Faultwright::SubModuleFromName("GPS");
const unsigned kNoData = kGpsCode | Faultwright::ProblemFromName("No Data");
const unsigned kUsableSatellites = kGpsCode | Faultwright::ProblemFromName("Usable Satellites");
const unsigned kPositionCalculation = kGpsCode | Faultwright::ProblemFromName("Position Calculation");

ProcessResult Inspect(const std::vector<std::string>& args, const std::string& workingDirectory = "") {
  std::vector<std::string> argv = {"fwinspect"};
  argv.insert(argv.end(), args.begin(), args.end());
  return FaultwrightTest::RunProcess(FaultwrightTest::BuiltProgram("fwinspect"), argv, workingDirectory);
}

void WriteCatalogue(const TempDirectory& directory) {
  directory.Write("FaultwrightConfig.xml", kTopFile);
  directory.Write("Gps.xml", kModule);
  directory.Write("ErrorPatterns.xml", kPatterns);
}

TEST(InspectorTest, ReportsAndExportsTheCatalogueAsTheLibraryPrintsIt) {
  TempDirectory config;
  WriteCatalogue(config);
  const std::string tree =
      "GPS:GPS:Position Calculation:11  (3) [P11] visible\n"
      "---Trigger threshold is 1. Linking mode is deep. Title source is parent.\n"
      "---GPS:GPS:No Data:9  (1) [P9]\n"
      "---GPS:GPS:Usable Satellites:1  (1) [P1]\n"
      "\n";
  EXPECT_EQ(Inspect({"tree", config.Path()}).out, tree);
  EXPECT_EQ(Inspect({"tree", "--all", config.Path()}).out,
            tree + "GPS:GPS:Firmware Version:12  (1) [P12] not visible\n\n");

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
  EXPECT_EQ(texts.substr(0, texts.find("[GPS:GPS:Firmware")),
            "[GPS:GPS:No Data:9.problem]\nP9\n[GPS:GPS:No Data:9.solution]\nS9\n"
            "[GPS:GPS:No Data:9.shortTitle]\nT9\n[GPS:GPS:No Data:9.vtTitle]\nSP9\n"
            "[GPS:GPS:Usable Satellites:1.problem]\nP1\n[GPS:GPS:Usable Satellites:1.solution]\nS1\n"
            "[GPS:GPS:Usable Satellites:1.shortTitle]\n\n[GPS:GPS:Usable Satellites:1.vtTitle]\nSP1\n");
  EXPECT_EQ(std::count(texts.begin(), texts.end(), '\n'), 32);

  ProcessResult unwritable = Inspect({"export", config.Path(), config.Path() + "missing/texts.txt"});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("cannot write"), std::string::npos);
}

TEST(InspectorTest, CheckPassesTheSampleAndNamesEveryProblemOfABrokenConfiguration) {
  ProcessResult sample = Inspect({"check", kSampleConfig});
  EXPECT_EQ(sample.status, 0) << sample.err;
  EXPECT_EQ(sample.err, "");
  EXPECT_EQ(sample.out, kSampleConfig + ": 34 errors, 6 patterns, no problems\n");

  TempDirectory broken;
  broken.Write("FaultwrightConfig.xml", kTopFile);
  // Usable Satellites:1 lacks its solution; No Data:9 is defined twice.
  std::string module = kModule;
  module.replace(module.find("<Text type=\"solution\" text=\"S1\"/>"), 33, "");
  module.replace(module.find("<Problem identifier=\"Firmware"), 0,
                 "<Problem identifier=\"No Data\"><Error identifier=\"9\" severity=\"Low\">"
                 "<Text type=\"problem\" text=\"X\"/><Text type=\"solution\" text=\"X\"/>"
                 "<Text type=\"shortProblem\" text=\"X\"/></Error></Problem>");
  broken.Write("Gps.xml", module);
  broken.Write("ErrorPatterns.xml",
               "<Patterns><pattern><error id=\"GPS:GPS:No Data:9\"/></pattern>"
               "<pattern fixedCode=\"A\"><error id=\"GPS:Nowhere:No Data:9\"/><error id=\"GPS:GPS:No Data\"/>"
               "<error id=\"GPS:GPS:No Data:nine\"/><error id=\"GPS:GPS:Usable Satellites:1\"/></pattern>"
               "<pattern fixedCode=\"B\"/><other/></Patterns>");
  ProcessResult check = Inspect({"check", broken.Path()});
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(check.out, broken.Path() + ": 9 problems\n");
  const std::string patterns = broken.Path() + "ErrorPatterns.xml: ";
  for (const std::string& line : {
           broken.Path() + "FaultwrightConfig.xml: Error \"GPS:GPS:No Data:9\" is defined 2 times",
           patterns + "pattern 1 has no fixedCode and is ignored",
           patterns + "pattern \"A\": error \"GPS:Nowhere:No Data:9\": unknown submodule name",
           patterns + "pattern \"A\": error \"GPS:GPS:No Data\": not of the form module:submodule:problem:type",
           patterns + "pattern \"A\": error \"GPS:GPS:No Data:nine\": type \"nine\" is not a number",
           patterns + "pattern \"A\": error \"GPS:GPS:Usable Satellites:1\": not in the catalogue, so the pattern "
                      "never matches",
           patterns + "pattern \"B\": names no errors",
           patterns + "unexpected element \"other\" in Patterns is ignored",
       }) {
    EXPECT_NE(check.err.find(line + "\n"), std::string::npos) << line << "\nin\n" << check.err;
  }
  EXPECT_NE(check.err.find("no solution text"), std::string::npos) << check.err;

  ProcessResult missing = Inspect({"check", broken.Path() + "nowhere"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot read " + broken.Path() + "nowhere/FaultwrightConfig.xml"), std::string::npos);
}

TEST(InspectorTest, BadArgumentsGiveAMessageAndStatusOne) {
  ProcessResult help = Inspect({"help"});
  EXPECT_EQ(help.status, 0);
  for (const char* command : {"check DIR", "tree DIR [--all]", "list DIR", "export DIR FILE", "history [--json]",
                              "active DIR [--text-keys] [--json] [--watch SECONDS]", "decode DIR CODE [--flat]"}) {
    EXPECT_NE(help.out.find(std::string("  ") + command + "\n"), std::string::npos) << command;
  }
  const std::vector<std::pair<std::vector<std::string>, std::string>> mistakes = {
      {{}, "fwinspect: no command given\n"},
      {{"show"}, "fwinspect: unknown command \"show\"; \"fwinspect help\" lists the commands\n"},
      {{"tree"}, "fwinspect: tree: expected 1 argument, got 0\nusage: fwinspect tree DIR [--all]\n"},
      {{"tree", kSampleConfig, "--flat"}, "fwinspect: tree: unknown option --flat\n"},
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
    EXPECT_EQ(result.status, 1) << mistake.second;
    EXPECT_EQ(result.err.substr(0, mistake.second.size()), mistake.second);
  }
}

// Owns the live database of a fresh working directory, as the diagnostic
// service would, for the catalogue of WriteCatalogue.
class LiveInspection : public ::testing::Test {
 protected:
  LiveInspection() {
    WriteCatalogue(config_);
    catalogue_ = std::make_unique<Faultwright::CErrorDatabase>(config_.Path());
    owner_ = OpenView(true, 1);
    owner_->SetErrors(*catalogue_);
    owner_->SetEnabled(true);
  }
  ~LiveInspection() override {
    // The segment and semaphore outlive every process; the test leaves none behind.
    key_t key = ftok(work_.Path().c_str(), 0x44);
    int segment = shmget(key, 0, 0);
    if (segment >= 0) shmctl(segment, IPC_RMID, nullptr);
    int semaphores = semget(key, 0, 0);
    if (semaphores >= 0) semctl(semaphores, 0, IPC_RMID);
  }

  // A view of the working directory's database: the key comes from ".".
  std::unique_ptr<Faultwright::CErrorDatabaseView> OpenView(bool initialise, int owner) {
    char previous[4096];
    EXPECT_NE(getcwd(previous, sizeof previous), nullptr);
    EXPECT_EQ(chdir(work_.Path().c_str()), 0);
    auto view = std::make_unique<Faultwright::CErrorDatabaseView>(initialise, owner);
    EXPECT_EQ(chdir(previous), 0);
    return view;
  }

  ProcessResult InspectHere(const std::vector<std::string>& args) { return Inspect(args, work_.Path()); }

  TempDirectory work_;
  TempDirectory config_;
  std::unique_ptr<Faultwright::CErrorDatabase> catalogue_;
  std::unique_ptr<Faultwright::CErrorDatabaseView> owner_;
};

// What the service does on a raise of No Data:9: the automatic set raises
// Position Calculation:11 too.
void RaiseNoData(Faultwright::CErrorDatabaseView& owner) {
  owner.RaiseError(kNoData, 9);
  owner.RaiseError(kPositionCalculation, 11);
}

// "raised:" lines hold the clock's seconds; the rest is fixed.
std::string WithoutTimes(const std::string& text) {
  return std::regex_replace(text, std::regex("raised:      [0-9]+ s \\([0-9]+ s ago\\)"), "raised:      T");
}

TEST_F(LiveInspection, ActiveShowsTheTreeAndSummariesInTextAndJson) {
  ProcessResult idle = InspectHere({"active", config_.Path()});
  EXPECT_EQ(idle.status, 0) << idle.err;
  EXPECT_EQ(idle.out, "Update: 0\nTop level errors: 0\nActive top level errors\n");

  RaiseNoData(*owner_);
  ProcessResult active = InspectHere({"active", config_.Path()});
  EXPECT_EQ(active.status, 0) << active.err;
  EXPECT_EQ(WithoutTimes(active.out),
            "Update: 1\n"
            "Top level errors: 1\n"
            "Active top level errors\n"
            "+GPS:GPS:Position Calculation:11\n"
            "  +GPS:GPS:No Data:9\n"
            "\n"
            "GPS:GPS:Position Calculation:11\n"
            "  severity:    High\n"
            "  flags:       visible fullScreen shouldBeep\n"
            "  shortTitle:  T11\n"
            "  vtTitle:     SP11\n"
            "  problem:     P11\n"
            "  solution:    S9\n"
            "  raised:      T\n"
            "  cleared:     never\n"
            "  raiseCounts: 1 1\n"
            "  stateCode:   00E0\n"
            "  fixedCode:   FIX-1\n");

  ProcessResult json = InspectHere({"active", config_.Path(), "--json", "--text-keys"});
  EXPECT_EQ(json.status, 0) << json.err;
  nlohmann::json summaries = nlohmann::json::parse(json.out);
  ASSERT_EQ(summaries.size(), 1u);
  const nlohmann::json& summary = summaries[0];
  EXPECT_EQ(summary["error"], "GPS:GPS:Position Calculation:11");
  EXPECT_EQ(summary["code"], kPositionCalculation);
  EXPECT_EQ(summary["severity"], "High");
  EXPECT_EQ(summary["fullScreen"], true);
  EXPECT_EQ(summary["shortTitle"], "GPS:GPS:Position Calculation:11.shortTitle");
  EXPECT_EQ(summary["solutions"], nlohmann::json({"GPS:GPS:No Data:9.solution"}));
  EXPECT_GT(summary["raised"], 0u);
  EXPECT_EQ(summary["cleared"], 0u);
  EXPECT_EQ(summary["raiseCount2"], 1u);
  EXPECT_EQ(summary["stateCode"], "00E0");
  EXPECT_EQ(summary["fixedCode"], "FIX-1");
}

TEST_F(LiveInspection, DecodeTurnsAStateCodeBackAndRefusesWhatItCannotRead) {
  RaiseNoData(*owner_);
  ProcessResult tree = InspectHere({"decode", config_.Path(), "00E0"});
  EXPECT_EQ(tree.status, 0) << tree.err;
  EXPECT_EQ(WithoutTimes(tree.out),
            "+-GPS:GPS:Position Calculation:11\n"
            "+---GPS:GPS:No Data:9\n"
            "\n"
            "GPS:GPS:Position Calculation:11\n"
            "  severity:    High\n"
            "  flags:       visible fullScreen shouldBeep\n"
            "  shortTitle:  T11\n"
            "  vtTitle:     SP11\n"
            "  problem:     P11\n"
            "  solution:    S9\n"
            "  raised:      T\n"
            "  cleared:     never\n"
            "  raiseCounts: 1 1\n"
            "  stateCode:   00E0\n");
  ProcessResult flat = InspectHere({"decode", "--flat", config_.Path(), "00E0"});
  EXPECT_EQ(flat.out.substr(0, flat.out.find("\n\n")), "GPS:GPS:Position Calculation:11\nGPS:GPS:No Data:9");

  ProcessResult outside = InspectHere({"decode", config_.Path(), "FFC0"});
  EXPECT_EQ(outside.status, 1);
  EXPECT_EQ(outside.err,
            "fwinspect: state code FFC0 names entry 1023, which the live error database of the working directory "
            "does not hold\n");
  // Entry 0 has no trigger sets, so a code of one index alone is whole.
  EXPECT_EQ(InspectHere({"decode", config_.Path(), "000"}).status, 0);
  // Entry 3, Position Calculation, has trigger sets: three digits read as none of them active.
  ProcessResult indexOnly = InspectHere({"decode", config_.Path(), "00C"});
  EXPECT_EQ(indexOnly.status, 0) << indexOnly.err;
  EXPECT_EQ(indexOnly.out.substr(0, indexOnly.out.find('\n')), "+-GPS:GPS:Position Calculation:11");
}

TEST_F(LiveInspection, HistoryListsEveryRaisedErrorAndWatchRefreshesUntilInterrupted) {
  owner_->RaiseError(kUsableSatellites, 1);
  owner_->ClearError(kUsableSatellites, 1);
  RaiseNoData(*owner_);
  ProcessResult history = InspectHere({"history", "--json"});
  EXPECT_EQ(history.status, 0) << history.err;
  nlohmann::json summaries = nlohmann::json::parse(history.out);
  ASSERT_EQ(summaries.size(), 3u);
  std::vector<std::string> errors;
  for (const nlohmann::json& summary : summaries) errors.push_back(summary["error"]);
  std::sort(errors.begin(), errors.end());
  EXPECT_EQ(errors, (std::vector<std::string>{"GPS:GPS:No Data:9", "GPS:GPS:Position Calculation:11",
                                              "GPS:GPS:Usable Satellites:1"}));
  ProcessResult text = InspectHere({"history"});
  EXPECT_EQ(text.out.substr(0, text.out.find('\n')), "Raised errors, latest first");
  EXPECT_NE(text.out.find("GPS:GPS:Usable Satellites:1  raised "), std::string::npos);

  ProcessResult watch = FaultwrightTest::RunProcess(
      "/usr/bin/timeout", {"timeout", "--preserve-status", "-s", "INT", "1", FaultwrightTest::BuiltProgram("fwinspect"),
                           "active", config_.Path(), "--watch", "0.2", "--json"},
      work_.Path());
  EXPECT_EQ(watch.status, 0) << watch.err;
  EXPECT_GE(std::count(watch.out.begin(), watch.out.end(), '\n'), 3) << watch.out;
  EXPECT_EQ(watch.out.find("\"stateCode\":\"00E0\""), watch.out.find("\"stateCode\""));

  owner_->SetEnabled(false);
  ProcessResult disabled = InspectHere({"active", config_.Path()});
  EXPECT_EQ(disabled.status, 1);
  EXPECT_NE(disabled.err.find("is not enabled"), std::string::npos);
}

TEST_F(LiveInspection, AReaderForgetsWhatWasActiveBeforeTheServiceStartedAgain) {
  RaiseNoData(*owner_);
  Faultwright::CLiveDatabase* live = nullptr;
  std::unique_ptr<Faultwright::CLiveDatabase> reader;
  {
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(work_.Path().c_str()), 0);
    reader = std::make_unique<Faultwright::CLiveDatabase>(config_.Path());
    ASSERT_EQ(chdir(previous), 0);
    live = reader.get();
  }
  EXPECT_EQ(live->Refresh(), 1);
  EXPECT_TRUE(live->Catalogue().FindError(kNoData, 9)->IsActive());

  // The service starts again: a zeroed segment, then only Usable Satellites:1.
  owner_ = OpenView(true, 1);
  owner_->SetErrors(*catalogue_);
  owner_->SetEnabled(true);
  owner_->RaiseError(kUsableSatellites, 1);
  owner_->RaiseError(kPositionCalculation, 11);
  live->Refresh();
  EXPECT_FALSE(live->Catalogue().FindError(kNoData, 9)->IsActive());
  EXPECT_TRUE(live->Catalogue().FindError(kUsableSatellites, 1)->IsActive());
  EXPECT_TRUE(live->Catalogue().FindError(kPositionCalculation, 11)->IsActive());

  owner_->SetEnabled(false);
  live->Refresh();
  EXPECT_FALSE(live->IsEnabled());
  EXPECT_TRUE(live->Catalogue().TopLevelErrors(false).empty());
}

}  // namespace
