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
#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
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

FaultwrightFuzz::FuzzDirectory directory;

// The catalogue and its views, in the private directory whose ftok key the
// views share; the segment is removed once attached, the semaphore set at exit.
struct LiveCatalogue {
  LiveCatalogue() {
    directory.Write(Faultwright::CErrorDatabase::kTopFileName, kTopFile);
    directory.Write("Gps.xml", kModuleFile);
    catalogue = std::make_unique<Faultwright::CErrorDatabase>(directory.Path());
    FUZZ_CHECK(catalogue->Errors().size() == 12);  // the cycle is reported, and kept
    // The views take their key from the working directory when they are made;
    // libFuzzer's own paths are relative to the one it was started in.
    InDirectory([this] {
      owner = std::make_unique<Faultwright::CErrorDatabaseView>(true, 1);
      reader = std::make_unique<Faultwright::CErrorDatabaseView>(false, 0);
    });
    // Attached, the segment lives on once removed; so a crash leaves none behind.
    shmctl(shmget(Key(), 0, 0), IPC_RMID, nullptr);
    owner->SetErrors(*catalogue);
    owner->SetEnabled(true);
    const unsigned noData =
        static_cast<unsigned>(Faultwright::ModuleFromName("GPS") | Faultwright::SubModuleFromName("GPS") |
                              Faultwright::ProblemFromName("No Data"));
    for (int type : {0, 1, 2, 3, 7, 9}) owner->RaiseError(noData, type);
    owner->ClearError(noData, 7);
    FUZZ_CHECK(reader->Update(*catalogue) == Faultwright::CErrorDatabaseView::kSomeActive);
  }
  ~LiveCatalogue() { semctl(semget(Key(), 0, 0), 0, IPC_RMID); }

  static key_t Key() { return ftok(directory.Path().c_str(), Faultwright::CErrorDatabaseView::kKeyId); }

  template <typename Action>
  static void InDirectory(Action action) {
    int started = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    FUZZ_CHECK(started >= 0 && chdir(directory.Path().c_str()) == 0);
    action();
    FUZZ_CHECK(fchdir(started) == 0 && close(started) == 0);
  }

  std::unique_ptr<Faultwright::CErrorDatabase> catalogue;
  std::unique_ptr<Faultwright::CErrorDatabaseView> owner;
  std::unique_ptr<Faultwright::CErrorDatabaseView> reader;
};

// Decodes code in one form; false when it was refused, and then checks that
// nothing was written.
bool Decode(LiveCatalogue& live, const std::string& code, bool flat, std::vector<CErrorKey>& keys) {
  CErrorSummary summary;
  std::vector<std::string> lines;
  bool decoded = false;
  try {
    decoded = Faultwright::DecodeStateCode(code, *live.catalogue, *live.reader, summary, lines, keys, flat);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FaultwrightFuzz::KeepStandardStreamsOpen();
  static LiveCatalogue live;
  const std::string code(reinterpret_cast<const char*>(data), size);
  std::vector<CErrorKey> flatKeys;
  std::vector<CErrorKey> treeKeys;
  bool flat = Decode(live, code, true, flatKeys);
  bool tree = Decode(live, code, false, treeKeys);
  FUZZ_CHECK(flat == tree && flatKeys == treeKeys);
  return 0;
}
