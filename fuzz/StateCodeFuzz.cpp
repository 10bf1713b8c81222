// Fuzzes DecodeStateCode with any text as the state code, against a live
// catalogue whose trigger links hold what the decoder must walk safely: a
// cycle, an error standing twice in one set, shallow, verbose and childOnly
// links, a set without triggers and two records with the same identity. The
// catalogue and both views (owner and reader, in a private working directory,
// so with a segment of their own) are made once; some errors are active.
//
// Beyond the sanitizers it checks the decoder's promises: a refused code
// changes nothing, a decoded one gives one line per key, the flat lines are
// the keys' identifier texts and the tree lines end with them, both forms
// decode the same keys, and only a code shorter than ten bits may throw.
//
// Each input also seeds a catalogue of its own (trigger links mostly towards
// later errors, now and then back into a cycle; linking, title, screen and
// beep options and the active errors at random), live in views of a second
// directory: the state code of every active top-level error's summary must
// decode to the errors that a plain walk of its active tree finds, with the
// summary's flags, times and texts (below a shallow link the summary records
// bits only, the decoder everything).
#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/Patterns/CErrorPatterns.h"
#include "Common/Summaries/ErrorSummaries.h"
#include "Common/Summaries/StateCodeDecoder.h"
#include "Common/View/CErrorDatabaseView.h"
#include "Identifiers/Identifiers.h"
#include "Support/FuzzDirectory.h"
#include "Support/FuzzSupport.h"

namespace {

using Faultwright::CErrorKey;
using Faultwright::CErrorSummary;

const char kTopFile[] =
    R"(<Faultwright><ErrorList><Module identifier="GPS" file="Gps.xml"/></ErrorList></Faultwright>)";

#define FUZZ_TEXTS(name)                                                                   \
  "<Text type=\"problem\" text=\"" name " problem\"/><Text type=\"solution\" text=\"" name \
  " solution\"/>"                                                                          \
  "<Text type=\"shortProblem\" text=\"" name " short\"/><Text type=\"title\" text=\"" name " title\"/>"
#define FUZZ_SET(options, triggers) \
  "<TriggerSet><Options>" options "</Options><Triggers>" triggers "</Triggers></TriggerSet>"
#define FUZZ_OPTION(name, value) "<Option name=\"" name "\" value=\"" value "\"/>"
#define FUZZ_TRIGGER(type) "<Trigger id=\"GPS:GPS:No Data:" type "\"/>"

// GPS:GPS:No Data with types 0 to 9, and one error of another submodule.
const char kModuleFile[] =
    "<Module><SubModule identifier=\"L1 L2 Antenna\"><Problem identifier=\"Voltage\">"
    "<Error identifier=\"3\" severity=\"High\">" FUZZ_TEXTS("antenna") "</Error>"
    "</Problem></SubModule><SubModule identifier=\"GPS\"><Problem identifier=\"No Data\">"
    "<Error identifier=\"0\" severity=\"Low\">" FUZZ_TEXTS("e0") "</Error>"
    "<Error identifier=\"1\" severity=\"Low\" shouldBeep=\"yes\">" FUZZ_TEXTS("e1") "</Error>"
    "<Error identifier=\"2\" severity=\"High\">" FUZZ_TEXTS("e2") "<TriggerSets>"
    FUZZ_SET(FUZZ_OPTION("autoTrigger", "yes") FUZZ_OPTION("errorLinking", "verbose")
             FUZZ_OPTION("titleSource", "trigger"), FUZZ_TRIGGER("0") FUZZ_TRIGGER("1"))
    FUZZ_SET(FUZZ_OPTION("errorLinking", "shallow"), FUZZ_TRIGGER("3"))
    "</TriggerSets></Error>"
    "<Error identifier=\"3\" severity=\"Medium\">" FUZZ_TEXTS("e3") "<TriggerSets>"
    FUZZ_SET(FUZZ_OPTION("errorLinking", "childOnly") FUZZ_OPTION("fullScreen", "yes"),
             FUZZ_TRIGGER("4") FUZZ_TRIGGER("0") "<Trigger id=\"GPS:L1 L2 Antenna:Voltage:3\"/>")
    "</TriggerSets></Error>"
    "<Error identifier=\"4\" severity=\"Medium\">" FUZZ_TEXTS("e4") "<TriggerSets>"
    FUZZ_SET("", FUZZ_TRIGGER("2")) "</TriggerSets></Error>"
    "<Error identifier=\"5\" severity=\"Critical\">" FUZZ_TEXTS("e5") "<TriggerSets>"
    FUZZ_SET(FUZZ_OPTION("triggersNeeded", "2"), FUZZ_TRIGGER("1") FUZZ_TRIGGER("1") FUZZ_TRIGGER("6"))
    "</TriggerSets></Error>"
    "<Error identifier=\"6\" severity=\"Low\">" FUZZ_TEXTS("e6") "<TriggerSets>"
    FUZZ_SET("", FUZZ_TRIGGER("7")) FUZZ_SET("", "") "</TriggerSets></Error>"
    "<Error identifier=\"7\" severity=\"Low\">" FUZZ_TEXTS("e7") "<TriggerSets>"
    FUZZ_SET(FUZZ_OPTION("titleSource", "trigger"), FUZZ_TRIGGER("8") FUZZ_TRIGGER("2"))
    "</TriggerSets></Error>"
    "<Error identifier=\"8\" severity=\"Low\">" FUZZ_TEXTS("e8") "</Error>"
    "<Error identifier=\"9\" severity=\"Low\">" FUZZ_TEXTS("e9 first") "</Error>"
    "<Error identifier=\"9\" severity=\"High\">" FUZZ_TEXTS("e9 second") "<TriggerSets>"
    FUZZ_SET("", FUZZ_TRIGGER("5") FUZZ_TRIGGER("2")) "</TriggerSets></Error>"
    "</Problem></SubModule></Module>";

// An owner and a reader view of the segment of a private directory, whose
// ftok key they share; the segment is removed once attached, the semaphore
// set at exit.
struct LiveViews {
  explicit LiveViews(const FaultwrightFuzz::FuzzDirectory& home) : home(home) {
    // The views take their key from the working directory when they are made;
    // libFuzzer's own paths are relative to the one it was started in.
    int started = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    FUZZ_CHECK(started >= 0 && chdir(home.Path().c_str()) == 0);
    owner = std::make_unique<Faultwright::CErrorDatabaseView>(true, 1);
    reader = std::make_unique<Faultwright::CErrorDatabaseView>(false, 0);
    FUZZ_CHECK(fchdir(started) == 0 && close(started) == 0);
    // Attached, the segment lives on once removed; so a crash leaves none behind.
    shmctl(shmget(Key(), 0, 0), IPC_RMID, nullptr);
    owner->SetEnabled(true);
  }
  ~LiveViews() { semctl(semget(Key(), 0, 0), 0, IPC_RMID); }

  key_t Key() const { return ftok(home.Path().c_str(), Faultwright::CErrorDatabaseView::kKeyId); }

  const FaultwrightFuzz::FuzzDirectory& home;
  std::unique_ptr<Faultwright::CErrorDatabaseView> owner;
  std::unique_ptr<Faultwright::CErrorDatabaseView> reader;
};

FaultwrightFuzz::FuzzDirectory directory;
FaultwrightFuzz::FuzzDirectory generatedDirectory;

// The fixed catalogue, live.
struct LiveCatalogue : LiveViews {
  LiveCatalogue() : LiveViews(Written(directory, kModuleFile)) {
    catalogue = std::make_unique<Faultwright::CErrorDatabase>(home.Path());
    FUZZ_CHECK(catalogue->Errors().size() == 12);  // the cycle is reported, and kept
    owner->SetErrors(*catalogue);
    const unsigned noData =
        static_cast<unsigned>(Faultwright::ModuleFromName("GPS") | Faultwright::SubModuleFromName("GPS") |
                              Faultwright::ProblemFromName("No Data"));
    for (int type : {0, 1, 2, 3, 7, 9}) owner->RaiseError(noData, type);
    owner->ClearError(noData, 7);
    FUZZ_CHECK(reader->Update(*catalogue) == Faultwright::CErrorDatabaseView::kSomeActive);
  }

  // Writes a configuration directory of the one module file, and gives it back.
  static const FaultwrightFuzz::FuzzDirectory& Written(FaultwrightFuzz::FuzzDirectory& to, const std::string& module) {
    to.Write(Faultwright::CErrorDatabase::kTopFileName, kTopFile);
    to.Write("Gps.xml", module);
    to.Write(Faultwright::CErrorPatterns::kFileName, "<Patterns/>");
    return to;
  }

  std::unique_ptr<Faultwright::CErrorDatabase> catalogue;
};

// Decodes code in one form; false when it was refused, and then checks that
// nothing was written.
bool Decode(Faultwright::CErrorDatabase& catalogue, Faultwright::CErrorDatabaseView& reader, const std::string& code,
            bool flat, std::vector<CErrorKey>& keys, CErrorSummary& summary) {
  std::vector<std::string> lines;
  bool decoded = false;
  try {
    decoded = Faultwright::DecodeStateCode(code, catalogue, reader, summary, lines, keys, flat);
  } catch (const std::out_of_range&) {
    FUZZ_CHECK(code.size() * 4 < 10 && !keys.empty());
    return true;
  }
  if (!decoded) {
    FUZZ_CHECK(keys.empty() && lines.empty() && summary.problems.empty() && summary.solutions.empty());
    FUZZ_CHECK(summary.shortTitle.empty() && summary.vtTitle.empty() && summary.raiseCount1 == 0);
    return false;
  }
  FUZZ_CHECK(lines.size() == keys.size() && !keys.empty());
  FUZZ_CHECK(!summary.problems.empty() && !summary.solutions.empty());
  // Keys come level by level, lines depth first: the same errors in another order.
  std::vector<std::string> keyTexts;
  for (const CErrorKey& key : keys) {
    keyTexts.push_back(Faultwright::ErrorIdentifierText(static_cast<uint32_t>(key.code), key.type));
  }
  for (std::string& line : lines) {
    if (flat) continue;
    FUZZ_CHECK(line.compare(0, 2, "+-") == 0);
    line.erase(0, line.find_first_not_of('-', 1));
  }
  std::sort(keyTexts.begin(), keyTexts.end());
  std::sort(lines.begin(), lines.end());
  FUZZ_CHECK(keyTexts == lines);
  return true;
}

const char* const kNames[] = {"Calibration:2", "Checksum:5", "Crash:1",        "Data:3",      "Distance:0",
                              "Framing:7",     "Heading:4",  "Kernel Error:9", "L1 Jammed:2", "No Data:3",
                              "Power:11",      "Reverse:6",  "Speed:1",        "Steering:12", "Temperature:3",
                              "Voltage:4",     "Radius:8",   "Waypoints:10"};
const size_t kNameCount = sizeof kNames / sizeof kNames[0];

std::string GeneratedModule(std::mt19937& random) {
  auto chance = [&random](unsigned percent) { return random() % 100 < percent; };
  const char* linkings[] = {"deep", "verbose", "shallow", "childOnly"};
  std::string xml = "<Module><SubModule identifier=\"GPS\">";
  for (size_t i = 0; i < kNameCount; ++i) {
    const std::string name = kNames[i];
    const std::string::size_type colon = name.rfind(':');
    xml += "<Problem identifier=\"" + name.substr(0, colon) + "\"><Error identifier=\"" + name.substr(colon + 1) +
           "\" severity=\"" + (chance(50) ? "High" : "Low") + "\"" + (chance(50) ? " shouldBeep=\"yes\"" : "") +
           (chance(50) ? " shouldBeepIfGuiding=\"yes\"" : "") + (chance(50) ? " fullScreen=\"yes\"" : "") +
           (chance(50) ? " visible=\"yes\"" : "") + "><Text type=\"problem\" text=\"p" + name +
           "\"/><Text type=\"solution\" text=\"s" + name + "\"/><Text type=\"shortProblem\" text=\"v" + name +
           "\"/><Text type=\"title\" text=\"t" + name + "\"/><TriggerSets>";
    for (unsigned set = random() % 3; set > 0 && i + 1 < kNameCount; --set) {
      xml += std::string("<TriggerSet><Options><Option name=\"errorLinking\" value=\"") + linkings[random() % 4] +
             "\"/>" + (chance(30) ? "<Option name=\"titleSource\" value=\"trigger\"/>" : "") +
             (chance(30) ? "<Option name=\"fullScreen\" value=\"no\"/>" : "") + "</Options><Triggers>";
      for (unsigned trigger = 1 + random() % 3; trigger > 0; --trigger) {
        const size_t target = chance(10) ? random() % kNameCount : i + 1 + random() % (kNameCount - i - 1);
        if (target != i) xml += "<Trigger id=\"GPS:GPS:" + std::string(kNames[target]) + "\"/>";
      }
      xml += "</Triggers></TriggerSet>";
    }
    xml += "</TriggerSets></Error></Problem>";
  }
  return xml + "</SubModule></Module>";
}

// The active errors of error's tree, an error on the current path reported but
// not followed again.
void CollectActiveTree(const Faultwright::CError& error, std::vector<const Faultwright::CError*>& path,
                       std::vector<CErrorKey>& keys, bool& shallowBelow) {
  path.push_back(&error);
  for (const Faultwright::CTriggerSet& triggerSet : error.TriggerSets()) {
    for (const Faultwright::CError* trigger : triggerSet.Triggers()) {
      if (!trigger->IsActive()) continue;
      keys.emplace_back(static_cast<int32_t>(trigger->Code()), trigger->Type());
      shallowBelow = shallowBelow || triggerSet.ErrorLinking() == Faultwright::eelShallow;
      if (std::find(path.begin(), path.end(), trigger) == path.end()) {
        CollectActiveTree(*trigger, path, keys, shallowBelow);
      }
    }
  }
  path.pop_back();
}

template <typename T>
std::vector<T> Sorted(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  return values;
}

void CheckRoundTrip(const uint8_t* data, size_t size) {
  std::seed_seq seed(data, data + size);
  std::mt19937 random(seed);
  static LiveViews views(LiveCatalogue::Written(generatedDirectory, "<Module/>"));
  generatedDirectory.Write("Gps.xml", GeneratedModule(random));
  Faultwright::CErrorDatabase catalogue(generatedDirectory.Path(), nullptr);
  FUZZ_CHECK(catalogue.Errors().size() == kNameCount);
  views.owner->SetErrors(catalogue);
  views.reader->Update(catalogue);
  for (const Faultwright::CError& error : catalogue.Errors()) {
    if (random() % 2) catalogue.RaiseError(error.Code(), error.Type(), true);
  }
  catalogue.UpdateTopLevelErrors();
  const std::vector<Faultwright::CError*>& topLevelErrors = catalogue.TopLevelErrors(false);
  std::vector<CErrorSummary> summaries;
  Faultwright::BuildErrorSummaries(*views.reader, Faultwright::CErrorPatterns(generatedDirectory.Path()),
                                   topLevelErrors, summaries, false);
  FUZZ_CHECK(summaries.size() == topLevelErrors.size());
  for (size_t i = 0; i < summaries.size(); ++i) {
    const CErrorSummary& built = summaries[i];
    std::vector<CErrorKey> keys;
    CErrorSummary decoded;
    FUZZ_CHECK(Decode(catalogue, *views.reader, built.stateCode, true, keys, decoded));
    std::vector<CErrorKey> expected = {
        CErrorKey(static_cast<int32_t>(topLevelErrors[i]->Code()), topLevelErrors[i]->Type())};
    std::vector<const Faultwright::CError*> path;
    bool shallowBelow = false;
    CollectActiveTree(*topLevelErrors[i], path, expected, shallowBelow);
    FUZZ_CHECK(keys.front() == expected.front() && Sorted(keys) == Sorted(expected));
    FUZZ_CHECK(decoded.raiseCount2 == built.raiseCount2 && decoded.raised.Seconds() == built.raised.Seconds());
    FUZZ_CHECK(decoded.visible == built.visible && decoded.severity == built.severity);
    if (shallowBelow) continue;
    FUZZ_CHECK(decoded.shouldBeep == built.shouldBeep && decoded.shouldBeepIfGuiding == built.shouldBeepIfGuiding);
    FUZZ_CHECK(decoded.fullScreen == built.fullScreen);
    FUZZ_CHECK(Sorted(decoded.problems) == Sorted(built.problems) &&
               Sorted(decoded.solutions) == Sorted(built.solutions));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FaultwrightFuzz::KeepStandardStreamsOpen();
  static LiveCatalogue live;
  const std::string code(reinterpret_cast<const char*>(data), size);
  std::vector<CErrorKey> flatKeys;
  std::vector<CErrorKey> treeKeys;
  CErrorSummary flatSummary;
  CErrorSummary treeSummary;
  bool flat = Decode(*live.catalogue, *live.reader, code, true, flatKeys, flatSummary);
  bool tree = Decode(*live.catalogue, *live.reader, code, false, treeKeys, treeSummary);
  FUZZ_CHECK(flat == tree && flatKeys == treeKeys);
  CheckRoundTrip(data, size);
  return 0;
}
