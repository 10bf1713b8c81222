#include "Inspect/CLiveReport.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <numeric>

#include "Common/Summaries/ActiveErrorsPrinter.h"
#include "Common/Summaries/ErrorSummaries.h"
#include "Common/Summaries/SummaryFields.h"
#include "Identifiers/Identifiers.h"
#include "Inspect/DiagnosticsPage.h"
#include "Inspect/LiveCommands.h"
#include "Inspect/SummaryOutput.h"
#include "Platform/Core/MonotonicTime.h"

namespace Faultwright {

namespace {

using Json = nlohmann::ordered_json;

const int kUnavailable = 503;
const int kMalformed = 400;
const int kUnknown = 404;

std::string ProblemText(const std::string& problem) { return JsonText(Json{{"problem", problem}}); }

// The active triggers below error, as nested {"error", "triggers"} objects.
Json TriggerTree(const CError& error) {
  Json root = Json::array();
  // levels[d] is the list that receives the triggers at depth d + 1; the
  // walk goes at most one level deeper at each step.
  std::vector<Json*> levels{&root};
  ForEachActiveTrigger(error, [&levels](const CError& trigger, size_t depth) {
    levels.resize(depth);
    levels.back()->push_back(
        Json{{"error", ErrorIdentifierText(trigger.Code(), trigger.Type())}, {"triggers", Json::array()}});
    levels.push_back(&levels.back()->back()["triggers"]);
  });
  return root;
}

bool SameStates(const std::vector<CErrorState>& a, const std::vector<CErrorState>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0);
}

// Label values of the Prometheus text format escape backslash, quote and newline.
std::string Label(const std::string& value) {
  std::string text;
  for (char c : value) {
    if (c == '\\' || c == '"') text += '\\';
    text += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return text;
}

void MetricHeader(std::string& out, const char* name, const char* type, const char* help) {
  out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

// Every error of the catalogue in the summaries' form, without what only the
// live database knows.
std::string CatalogueText(const CErrorDatabase& catalogue) {
  std::vector<CErrorSummary> summaries;
  for (const CError& error : catalogue.Errors()) {
    CErrorSummary summary;
    summary.code = error.Code();
    summary.type = error.Type();
    SetErrorFields(error, summary);
    FillOwnTexts(error, false, summary);
    summaries.push_back(summary);
  }
  Json errors = SummariesToJsonArray(summaries, Core::MonotonicTime::Now(), true);
  for (Json& error : errors) {
    for (const char* live :
         {"raised", "raisedAt", "cleared", "clearedAt", "raiseCount1", "raiseCount2", "stateCode", "fixedCode"}) {
      error.erase(live);
    }
  }
  return JsonText(errors);
}

}  // namespace

CLiveReport::CLiveReport(const std::string& directory)
    : live_(directory, nullptr),
      patterns_(directory),
      catalogueName_(directory),
      catalogueText_(CatalogueText(live_.Catalogue())) {
  PollLocked();
}

bool CLiveReport::Poll() {
  bool changed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    changed = PollLocked();
  }
  if (changed) changed_.notify_all();
  return changed;
}

bool CLiveReport::PollLocked() {
  ++polls_;
  // The views keep their messages back: a stopped service's lock refuses
  // every look, and the answers and the metrics say what is wrong instead.
  live_.Refresh();
  live_.TakeNotice();  // the next look says what it finds
  std::string problem = WhyNotEnabled(live_);
  std::vector<CErrorState> states;
  if (problem.empty()) {
    states.reserve(CErrorDatabaseView::kMaxErrors);
    live_.View().GetErrorStates(states);
  } else {
    ++unreadablePolls_;
  }
  if (version_ != 0 && problem == problem_ && SameStates(states, states_)) return false;
  problem_.swap(problem);
  states_.swap(states);
  Rebuild();
  ++version_;
  return true;
}

void CLiveReport::Rebuild() {
  bySeverity_.fill(0);
  topLevelErrors_ = Json::array();
  if (problem_.empty()) {
    const std::vector<CError*>& topLevel = live_.Catalogue().TopLevelErrors(false);
    std::vector<CErrorSummary> summaries;
    BuildErrorSummaries(live_.View(), patterns_, topLevel, summaries, false);
    Json objects = SummariesToJsonArray(summaries, Core::MonotonicTime::Now(), true);
    std::vector<size_t> order(summaries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&summaries](size_t a, size_t b) { return summaries[a].severity > summaries[b].severity; });
    for (size_t i : order) {
      objects[i]["triggers"] = TriggerTree(*topLevel[i]);
      topLevelErrors_.push_back(std::move(objects[i]));
      const int severity = summaries[i].severity;
      if (severity >= 0 && static_cast<size_t>(severity) < kSeverities) ++bySeverity_[severity];
    }
  }
  topLevelErrorsText_ = JsonText(topLevelErrors_);
}

std::string CLiveReport::ActiveText(const Core::Time& now) const {
  // The summaries were written when they last changed; only the clock moves.
  const std::string text =
      "{\"now\":" + std::to_string(now.Seconds()) + ",\"nowAt\":" + JsonText(UtcTimeText(now, now));
  return text + ",\"topLevelErrors\":" + topLevelErrorsText_ + "}";
}

bool CLiveReport::WaitForChange(uint64_t& seen, int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  const bool moved = changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                       [this, seen] { return stopped_ || version_ != seen; });
  seen = version_;
  return moved && !stopped_;
}

void CLiveReport::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  changed_.notify_all();
}

bool CLiveReport::AddEventClient(int limit) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (eventClients_ >= limit) return false;
  ++eventClients_;
  return true;
}

void CLiveReport::RemoveEventClient() {
  std::lock_guard<std::mutex> lock(mutex_);
  --eventClients_;
}

bool CLiveReport::IsStopped() {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopped_;
}

CLiveReport::CAnswer CLiveReport::Active() {
  bool changed;
  CAnswer answer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    changed = PollLocked();
    answer = problem_.empty() ? CAnswer{200, ActiveText(Core::MonotonicTime::Now())}
                              : CAnswer{kUnavailable, ProblemText(problem_)};
  }
  if (changed) changed_.notify_all();
  return answer;
}

Json CLiveReport::HistoryLocked() {
  PollLocked();
  if (!problem_.empty()) return Json();
  std::vector<CErrorSummary> summaries;
  BuildHistory(live_, summaries);
  return SummariesToJsonArray(summaries, Core::MonotonicTime::Now(), true);
}

CLiveReport::CAnswer CLiveReport::History() {
  std::lock_guard<std::mutex> lock(mutex_);
  const Json history = HistoryLocked();
  return problem_.empty() ? CAnswer{200, JsonText(history)} : CAnswer{kUnavailable, ProblemText(problem_)};
}

CLiveReport::CDecoding CLiveReport::DecodeLocked(const std::string& stateCode) {
  std::string bits;
  const std::string malformed = MalformedStateCode(stateCode, bits);
  if (!malformed.empty()) return {kMalformed, malformed, Json()};
  if (!problem_.empty()) return {kUnavailable, problem_, Json()};
  CErrorSummary summary;
  std::vector<std::string> lines;
  const std::string unknown = DecodeLiveStateCode(live_, stateCode, bits, catalogueName_, false, summary, lines);
  if (!unknown.empty()) return {kUnknown, unknown, Json()};
  return {200, std::string(),
          Json{{"lines", lines}, {"summary", SummariesToJsonArray({summary}, Core::MonotonicTime::Now(), true)[0]}}};
}

CLiveReport::CAnswer CLiveReport::Decode(const std::string& stateCode) {
  std::lock_guard<std::mutex> lock(mutex_);
  const CDecoding decoding = DecodeLocked(stateCode);
  return {decoding.status, decoding.problem.empty() ? JsonText(decoding.value) : ProblemText(decoding.problem)};
}

CLiveReport::CAnswer CLiveReport::Catalogue() { return {200, catalogueText_}; }

std::string CLiveReport::Metrics() {
  std::lock_guard<std::mutex> lock(mutex_);
  PollLocked();
  const Core::Time now = Core::MonotonicTime::Now();
  const std::vector<CError>& errors = live_.Catalogue().Errors();
  std::vector<CErrorState> states(errors.size(), CErrorState{});  // zeros: never raised
  std::vector<std::string> labels;
  for (size_t i = 0; i < errors.size(); ++i) {
    if (problem_.empty()) live_.View().GetErrorState(errors[i].Code(), errors[i].Type(), states[i]);
    labels.push_back("{error=\"" + Label(ErrorIdentifierText(errors[i].Code(), errors[i].Type())) + "\"} ");
  }
  std::string out;
  MetricHeader(out, "faultwright_error_active", "gauge", "Whether the catalogue error is active (1) or not (0).");
  for (size_t i = 0; i < errors.size(); ++i) {
    out += "faultwright_error_active" + labels[i] + (states[i].IsActive() ? "1\n" : "0\n");
  }
  MetricHeader(out, "faultwright_error_raises_total", "counter",
               "Raises of the catalogue error since the service set up the database (wraps at 65536).");
  for (size_t i = 0; i < errors.size(); ++i) {
    out += "faultwright_error_raises_total" + labels[i] + std::to_string(states[i].RaiseCount2) + "\n";
  }
  MetricHeader(out, "faultwright_error_last_raised_seconds", "gauge",
               "Wall-clock time of the error's latest raise, seconds since the epoch; 0 for never.");
  for (size_t i = 0; i < errors.size(); ++i) {
    const long long when = states[i].Raised.IsZero() ? 0 : WallClockSeconds(states[i].Raised, now);
    out += "faultwright_error_last_raised_seconds" + labels[i] + std::to_string(when) + "\n";
  }
  MetricHeader(out, "faultwright_top_level_errors", "gauge", "Active top-level errors by severity.");
  for (size_t severity = 0; severity < kSeverities; ++severity) {
    out += "faultwright_top_level_errors{severity=\"" +
           Label(ErrorSeverityName(static_cast<EErrorSeverity>(severity))) + "\"} " +
           std::to_string(bySeverity_[severity]) + "\n";
  }
  MetricHeader(out, "faultwright_reader_up", "gauge",
               "Whether the live error database could be read at the last look (1) or not (0).");
  out += std::string("faultwright_reader_up ") + (problem_.empty() ? "1\n" : "0\n");
  MetricHeader(out, "faultwright_reader_polls_total", "counter", "Looks at the live error database.");
  out += "faultwright_reader_polls_total " + std::to_string(polls_) + "\n";
  MetricHeader(out, "faultwright_reader_unreadable_polls_total", "counter",
               "Looks that found the live error database missing, not enabled or locked.");
  out += "faultwright_reader_unreadable_polls_total " + std::to_string(unreadablePolls_) + "\n";
  MetricHeader(out, "faultwright_reader_changes_total", "counter", "Changes of the active errors seen.");
  out += "faultwright_reader_changes_total " + std::to_string(version_) + "\n";
  MetricHeader(out, "faultwright_event_clients", "gauge", "Clients of the event stream now connected.");
  out += "faultwright_event_clients " + std::to_string(eventClients_) + "\n";
  return out;
}

std::string CLiveReport::ActiveHtml() {
  std::lock_guard<std::mutex> lock(mutex_);
  PollLocked();
  return RenderActive(topLevelErrors_, Core::MonotonicTime::Now().Seconds(), problem_);
}

std::string CLiveReport::HistoryHtml() {
  std::lock_guard<std::mutex> lock(mutex_);
  const Json history = HistoryLocked();
  return RenderHistory(history, Core::MonotonicTime::Now().Seconds(), problem_);
}

std::string CLiveReport::DecodeHtml(const std::string& stateCode) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stateCode.empty()) return std::string();
  const CDecoding decoding = DecodeLocked(stateCode);
  return RenderDecode(stateCode, decoding.value, Core::MonotonicTime::Now().Seconds(), decoding.problem);
}

std::string CLiveReport::Page(const std::string& stateCode) {
  return RenderPage(ActiveHtml(), HistoryHtml(), DecodeHtml(stateCode), stateCode);
}

}  // namespace Faultwright
