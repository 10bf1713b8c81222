#include "Inspect/SummaryOutput.h"

#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>

#include "Identifiers/Identifiers.h"

namespace Faultwright {

namespace {

const char kIndent[] = "               ";  // below the values of PrintSummary's fields

// The wall-clock time at which the monotonic clock read time, in ISO 8601:
// local with its offset from UTC, or UTC with "Z".
std::string WallClockText(const Core::Time& time, const Core::Time& now, bool utc) {
  const time_t when = WallClockSeconds(time, now);
  if (when == -1) return std::string();
  tm parts;
  if ((utc ? gmtime_r(&when, &parts) : localtime_r(&when, &parts)) == nullptr) return std::string();
  char text[40];
  if (std::strftime(text, sizeof text, utc ? "%Y-%m-%dT%H:%M:%SZ" : "%Y-%m-%dT%H:%M:%S%z", &parts) == 0) {
    return std::string();
  }
  std::string result = text;
  if (!utc && result.size() > 2) result.insert(result.size() - 2, ":");  // +0100 is +01:00 in ISO 8601
  return result;
}

std::string TimeText(const Core::Time& time, const Core::Time& now) {
  if (time.IsZero()) return "never";
  std::string text = WallClockText(time, now, false) + " (" + std::to_string(time.Seconds()) + " s since boot";
  if (!now.CompareLT(time)) text += ", " + std::to_string(now.Seconds() - time.Seconds()) + " s ago";
  return text + ")";
}

std::string RaiseCountsText(const CErrorSummary& summary) {
  return "RaiseCount1 " + std::to_string(summary.raiseCount1) + ", RaiseCount2 " + std::to_string(summary.raiseCount2);
}

// null for never.
nlohmann::ordered_json UtcJson(const Core::Time& time, const Core::Time& now) {
  return time.IsZero() ? nlohmann::ordered_json() : nlohmann::ordered_json(WallClockText(time, now, true));
}

std::string FlagsText(const CErrorSummary& summary) {
  const std::pair<bool, const char*> flags[] = {
      {summary.visible, "visible"},       {summary.forceShutdown, "forceShutdown"},
      {summary.fullScreen, "fullScreen"}, {summary.includeServiceNumber, "includeServiceNumber"},
      {summary.shouldBeep, "shouldBeep"}, {summary.shouldBeepIfGuiding, "shouldBeepIfGuiding"},
  };
  std::string text;
  for (const auto& flag : flags) {
    if (flag.first) text += (text.empty() ? "" : " ") + std::string(flag.second);
  }
  return text.empty() ? "none" : text;
}

// A text that spans several lines keeps its later lines under the first.
void PrintField(const char* name, const std::string& value) {
  std::string text;
  for (char c : value) {
    text += c;
    if (c == '\n') text += kIndent;
  }
  const std::string label = std::string(name) + ":";
  if (text.empty()) {
    std::printf("  %s\n", label.c_str());
  } else {
    std::printf("  %-13s%s\n", label.c_str(), text.c_str());
  }
}

}  // namespace

time_t WallClockSeconds(const Core::Time& time, const Core::Time& now) {
  timespec real;
  if (clock_gettime(CLOCK_REALTIME, &real) != 0) return -1;
  return real.tv_sec - (static_cast<time_t>(now.Seconds()) - static_cast<time_t>(time.Seconds()));
}

std::string UtcTimeText(const Core::Time& time, const Core::Time& now) { return WallClockText(time, now, true); }

void PrintSummary(const CErrorSummary& summary, const Core::Time& now) {
  std::printf("%s\n", ErrorIdentifierText(summary.code, summary.type).c_str());
  PrintField("severity", ErrorSeverityName(summary.severity));
  PrintField("flags", FlagsText(summary));
  PrintField("shortTitle", summary.shortTitle);
  PrintField("vtTitle", summary.vtTitle);
  for (const std::string& problem : summary.problems) PrintField("problem", problem);
  for (const std::string& solution : summary.solutions) PrintField("solution", solution);
  PrintField("raised", TimeText(summary.raised, now));
  PrintField("cleared", TimeText(summary.cleared, now));
  PrintField("raiseCounts", RaiseCountsText(summary));
  if (!summary.stateCode.empty()) PrintField("stateCode", summary.stateCode);
  if (!summary.fixedCode.empty()) PrintField("fixedCode", summary.fixedCode);
  std::fflush(stdout);
}

void PrintHistoryLine(const CErrorSummary& summary, const Core::Time& now) {
  std::printf("%s  raised %s  cleared %s  %s\n", ErrorIdentifierText(summary.code, summary.type).c_str(),
              TimeText(summary.raised, now).c_str(), TimeText(summary.cleared, now).c_str(),
              RaiseCountsText(summary).c_str());
  std::fflush(stdout);
}

std::string SummariesToJson(const std::vector<CErrorSummary>& summaries, const Core::Time& now, bool catalogued) {
  return JsonText(SummariesToJsonArray(summaries, now, catalogued));
}

nlohmann::ordered_json SummariesToJsonArray(const std::vector<CErrorSummary>& summaries, const Core::Time& now,
                                            bool catalogued) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  array.get_ref<nlohmann::ordered_json::array_t&>().reserve(summaries.size());
  for (const CErrorSummary& summary : summaries) {
    // Members in this order; each value is placed, not copied through a list.
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    object["error"] = ErrorIdentifierText(summary.code, summary.type);
    object["code"] = summary.code;
    object["type"] = summary.type;
    if (catalogued) {
      object["severity"] = ErrorSeverityName(summary.severity);
      object["visible"] = summary.visible;
      object["forceShutdown"] = summary.forceShutdown;
      object["fullScreen"] = summary.fullScreen;
      object["includeServiceNumber"] = summary.includeServiceNumber;
      object["shouldBeep"] = summary.shouldBeep;
      object["shouldBeepIfGuiding"] = summary.shouldBeepIfGuiding;
      object["shortTitle"] = summary.shortTitle;
      object["vtTitle"] = summary.vtTitle;
      object["problems"] = summary.problems;
      object["solutions"] = summary.solutions;
    }
    object["raised"] = summary.raised.Seconds();
    object["raisedAt"] = UtcJson(summary.raised, now);
    object["cleared"] = summary.cleared.Seconds();
    object["clearedAt"] = UtcJson(summary.cleared, now);
    object["raiseCount1"] = summary.raiseCount1;
    object["raiseCount2"] = summary.raiseCount2;
    if (catalogued) {
      object["stateCode"] = summary.stateCode;
      object["fixedCode"] = summary.fixedCode;
    }
    array.push_back(std::move(object));
  }
  return array;
}

std::string JsonText(const nlohmann::ordered_json& value) {
  // Catalogue texts are bytes as the XML file held them; a stray non-UTF-8 byte
  // must not cost the whole answer.
  return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace Faultwright
