// CLiveReport: what the diagnostics server (fwinspect serve) shows of the
// live error database of the working directory, as JSON, as the Prometheus
// text format and as the page's HTML, for any number of threads at once.
//
// Poll looks at the segment (a copy of 11 KB under its lock) and compares
// the entries and whether the database can be read with the last look; only
// when they differ are the summaries of the active top-level errors built
// again, and the version of what is shown moves on by one. A server polls every few tens of
// milliseconds; the answers about the active errors poll first, so they are
// never older than the request.
//
// The JSON answers are those of the commands (LiveCommands.h, SummaryOutput.h):
//   Active()     {"now", "nowAt", "topLevelErrors"}: the summaries of
//                `active --json`, most severe first, each with "triggers",
//                the tree of its active triggers ({"error", "triggers"})
//   History()    the summaries of `history DIR --json`
//   Decode(CODE) {"lines", "summary"}: what `decode` prints
//   Catalogue()  every error of the catalogue with its flags and texts
// A failure is {"problem": why} with its HTTP status: 503 when the database
// cannot be read (none here, not enabled, locked), 400 for a malformed state
// code, 404 for a code that names nothing here.
//
// WaitForChange blocks until the version passes a given value, a time-out, or
// Stop(); Stop() wakes every waiter for good. The first wait, from version 0,
// returns at once. The object does not start a
// thread: its owner calls Poll.
#ifndef FAULTWRIGHT_INSPECT_CLIVEREPORT_H
#define FAULTWRIGHT_INSPECT_CLIVEREPORT_H

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Common/Patterns/CErrorPatterns.h"
#include "Common/View/CErrorState.h"
#include "Inspect/CLiveDatabase.h"

namespace Faultwright {

class CLiveReport {
 public:
  struct CAnswer {
    int status;        // HTTP status: 200, or what the problem calls for
    std::string body;  // one line of JSON
  };

  // REQUIRES: directory ends in "/" and holds the catalogue's top file.
  explicit CLiveReport(const std::string& directory);

  bool Poll();  // true when something changed since the last look
  // seen: the version the caller knows; receives the present one. False on
  // a time-out without change, or after Stop().
  bool WaitForChange(uint64_t& seen, int timeoutMs);
  void Stop();

  CAnswer Active();
  CAnswer History();
  CAnswer Decode(const std::string& stateCode);
  CAnswer Catalogue();
  std::string Metrics();
  // Clients of the event stream, counted in the metrics: AddEventClient
  // admits one more while fewer than limit are connected.
  bool AddEventClient(int limit);
  void RemoveEventClient();
  bool IsStopped();

  // The page: the whole of it, with the decode of stateCode when it is not
  // empty, or the parts that its script swaps in.
  std::string Page(const std::string& stateCode);
  std::string ActiveHtml();
  std::string HistoryHtml();
  std::string DecodeHtml(const std::string& stateCode);

 private:
  static constexpr size_t kSeverities = 4;  // Low, Medium, High, Critical

  struct CDecoding {
    int status;
    std::string problem;
    nlohmann::ordered_json value;
  };

  // Under mutex_.
  bool PollLocked();
  void Rebuild();
  std::string ActiveText(const Core::Time& now) const;
  nlohmann::ordered_json HistoryLocked();  // null when the database cannot be read
  CDecoding DecodeLocked(const std::string& stateCode);

  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopped_ = false;
  CLiveDatabase live_;
  CErrorPatterns patterns_;
  std::string catalogueName_;
  const std::string catalogueText_;  // the catalogue does not change while the server runs
  uint64_t version_ = 0;
  uint64_t polls_ = 0;
  uint64_t unreadablePolls_ = 0;
  int eventClients_ = 0;
  // What the last look saw.
  std::string problem_;  // empty while the database can be read
  std::vector<CErrorState> states_;
  nlohmann::ordered_json topLevelErrors_ = nlohmann::ordered_json::array();
  std::string topLevelErrorsText_ = "[]";
  std::array<int, kSeverities> bySeverity_{};
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_CLIVEREPORT_H
