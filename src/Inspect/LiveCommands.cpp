#include "Inspect/LiveCommands.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "Common/Patterns/CErrorPatterns.h"
#include "Common/Summaries/ActiveErrorsPrinter.h"
#include "Common/Summaries/CErrorSummary.h"
#include "Common/Summaries/ErrorSummaries.h"
#include "Common/Summaries/StateCode.h"
#include "Common/Summaries/StateCodeDecoder.h"
#include "Common/Summaries/SummaryFields.h"
#include "Identifiers/Identifiers.h"
#include "Inspect/CLiveDatabase.h"
#include "Inspect/CommandSupport.h"
#include "Inspect/SummaryOutput.h"
#include "Platform/Core/MonotonicTime.h"
#include "Platform/Core/SystemError.h"

namespace Faultwright {

namespace {

// history needs no catalogue; nothing can be read below /dev/null, so this
// gives the empty one without touching any file.
const char kNoCatalogue[] = "/dev/null/";

// What Update's result says, in words.
const char* UpdateText(int update) {
  switch (update) {
    case CErrorDatabaseView::kSomeActive:
      return "an active error is new or changed";
    case CErrorDatabaseView::kOnlyCleared:
      return "errors were cleared, none is newly active";
    default:
      return "no change";
  }
}
const double kLongestWatchInterval = 86400;

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

// Without SA_RESTART, so that a signal also ends the sleep between refreshes.
bool CatchInterrupts() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

void Sleep(double seconds) {
  timespec interval;
  interval.tv_sec = static_cast<time_t>(seconds);
  interval.tv_nsec = static_cast<long>((seconds - static_cast<double>(interval.tv_sec)) * 1e9);
  nanosleep(&interval, nullptr);  // an interrupt ends it early, as it should
}

bool ParseInterval(const std::string& text, double& seconds) {
  char* end = nullptr;
  seconds = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && std::isfinite(seconds) && seconds > 0 && seconds <= kLongestWatchInterval;
}

bool AttachLiveDatabase(const CLiveDatabase& live) {
  if (live.Problem().empty()) return true;
  ReportFailure(live.Problem());
  return false;
}

bool CheckEnabled(const CLiveDatabase& live) {
  const std::string why = WhyNotEnabled(live);
  if (why.empty()) return true;
  ReportFailure(why);
  return false;
}

Core::Time Now() { return Core::MonotonicTime::Now(); }

// One look at the active errors; false when the database is not enabled.
bool ShowActive(CLiveDatabase& live, const CErrorPatterns& patterns, bool textKeys, bool json) {
  const int update = live.Refresh();
  const std::string notice = live.TakeNotice();
  if (!notice.empty()) Report(notice);
  if (!CheckEnabled(live)) return false;
  const std::vector<CError*>& topLevelErrors = live.Catalogue().TopLevelErrors(false);
  std::vector<CErrorSummary> summaries;
  BuildErrorSummaries(live.View(), patterns, topLevelErrors, summaries, textKeys);
  if (json) {
    std::printf("%s\n", SummariesToJson(summaries, Now(), true).c_str());
    std::fflush(stdout);
    return true;
  }
  std::printf("Update: %s\nTop level errors: %zu\n", UpdateText(update), topLevelErrors.size());
  PrintActiveTopLevelErrors(topLevelErrors);
  const Core::Time now = Now();
  for (const CErrorSummary& summary : summaries) {
    std::printf("\n");
    PrintSummary(summary, now);
  }
  return true;
}

}  // namespace

std::string WhyNotEnabled(const CLiveDatabase& live) {
  if (live.IsEnabled()) return std::string();
  // Problem(): no database here, or one removed under a watching reader, not yet made anew.
  std::string why = live.Problem();
  if (why.empty()) why = live.LockHolder();
  if (why.empty()) {
    why = "the live error database of the working directory is not enabled (is fwservice running here?)";
  }
  return why;
}

void BuildHistory(CLiveDatabase& live, std::vector<CErrorSummary>& summaries) {
  std::vector<CErrorState> states;
  live.View().GetErrorStates(states);
  BuildStateSummaries(states, summaries);
  for (CErrorSummary& summary : summaries) {
    const CError* error = live.Catalogue().FindError(summary.code, summary.type);
    if (error == nullptr) continue;
    SetErrorFields(*error, summary);
    summary.shortTitle.clear();
    summary.vtTitle.clear();
    summary.problems.clear();
    summary.solutions.clear();
    FillOwnTexts(*error, false, summary);
  }
}

std::string MalformedStateCode(const std::string& stateCode, std::string& bits) {
  if (!DecodeStateCodeBits(stateCode, bits)) {
    return "\"" + stateCode + "\" is not a state code: a state code is hexadecimal digits";
  }
  // Shorter, it cannot say which error it names, let alone which triggers.
  if (bits.size() < kStateCodeIndexBits) {
    return "state code \"" + stateCode + "\" is too short: a state code has at least " +
           std::to_string((kStateCodeIndexBits + 3) / 4) + " hexadecimal digits";
  }
  return std::string();
}

std::string DecodeLiveStateCode(CLiveDatabase& live, const std::string& stateCode, const std::string& bits,
                                const std::string& catalogueName, bool flat, CErrorSummary& summary,
                                std::vector<std::string>& lines) {
  std::vector<CErrorKey> keys;
  if (!DecodeStateCode(stateCode, live.Catalogue(), live.View(), summary, lines, keys, flat)) {
    const int index = IndexFromBits(bits);
    unsigned code = 0;
    int type = 0;
    if (live.View().GetErrorKey(index, code, type) < 0) {
      return "state code " + stateCode + " names entry " + std::to_string(index) +
             ", which the live error database of the working directory does not hold";
    }
    return "state code " + stateCode + " names " + ErrorIdentifierText(code, type) + ", which the catalogue of " +
           catalogueName + " does not hold";
  }
  summary.code = static_cast<uint32_t>(keys.front().code);
  summary.type = keys.front().type;
  summary.stateCode = stateCode;
  return std::string();
}

int RunActive(const CArguments& arguments) {
  const bool watch = arguments.Has("--watch");
  double interval = 0;
  if (watch && !ParseInterval(arguments.Value("--watch"), interval)) {
    ReportFailure("--watch needs a number of seconds above 0 and at most 86400, not \"" + arguments.Value("--watch") +
                  "\"");
    return kUsageStatus;
  }
  std::string directory;
  if (!OpenConfigurationDirectory(arguments.Positional(0), directory)) return 1;
  CLiveDatabase live(directory);
  if (!AttachLiveDatabase(live)) return 1;
  CErrorPatterns patterns(directory);
  const bool textKeys = arguments.Has("--text-keys");
  const bool json = arguments.Has("--json");
  if (!watch) return ShowActive(live, patterns, textKeys, json) ? 0 : 1;

  if (!CatchInterrupts()) return ReportFailure(Core::SystemError("cannot catch interrupts"));
  const bool clearScreen = !json && isatty(STDOUT_FILENO) == 1;
  for (bool first = true; interrupted == 0; first = false) {
    if (clearScreen) {
      std::printf("\033[H\033[2J");
    } else if (!first && !json) {
      std::printf("\n");
    }
    ShowActive(live, patterns, textKeys, json);
    if (interrupted == 0) Sleep(interval);
  }
  return 0;
}

int RunHistory(const CArguments& arguments) {
  // With a catalogue, each error gets what only the catalogue knows.
  const bool catalogued = !arguments.Positional().empty();
  std::string directory = kNoCatalogue;
  if (catalogued && !OpenConfigurationDirectory(arguments.Positional(0), directory)) return 1;
  CLiveDatabase live(directory);
  if (!AttachLiveDatabase(live)) return 1;
  live.Refresh();
  if (!CheckEnabled(live)) return 1;
  std::vector<CErrorSummary> summaries;
  BuildHistory(live, summaries);
  const Core::Time now = Now();
  if (arguments.Has("--json")) {
    std::printf("%s\n", SummariesToJson(summaries, now, catalogued).c_str());
    return 0;
  }
  std::printf("Raised errors, latest first\n");
  for (const CErrorSummary& summary : summaries) {
    if (!catalogued) {
      PrintHistoryLine(summary, now);
      continue;
    }
    std::printf("\n");
    PrintSummary(summary, now);
  }
  return 0;
}

int RunDecode(const CArguments& arguments) {
  const std::string& stateCode = arguments.Positional(1);
  std::string bits;
  const std::string malformed = MalformedStateCode(stateCode, bits);
  if (!malformed.empty()) return ReportFailure(malformed);
  std::string directory;
  if (!OpenConfigurationDirectory(arguments.Positional(0), directory)) return 1;
  CLiveDatabase live(directory);
  if (!AttachLiveDatabase(live)) return 1;
  live.Refresh();
  if (!CheckEnabled(live)) return 1;

  CErrorSummary summary;
  std::vector<std::string> lines;
  const std::string unknown =
      DecodeLiveStateCode(live, stateCode, bits, arguments.Positional(0), arguments.Has("--flat"), summary, lines);
  if (!unknown.empty()) return ReportFailure(unknown);
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  std::printf("\n");
  PrintSummary(summary, Now());
  return 0;
}

}  // namespace Faultwright
