#include "Inspect/DiagnosticsPage.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

namespace Faultwright {

// The files of src/Inspect/page/, built into the program (PageAssets.cpp is
// made from them at build time), so that nothing of the page comes from
// outside the unit.
extern const char kPageTemplate[];
extern const char kPageStyle[];
extern const char kPageScript[];

namespace {

using Json = nlohmann::ordered_json;

// The summaries' flags in the order in which the text form lists them.
const char* const kFlags[] = {"visible",    "forceShutdown",      "fullScreen", "includeServiceNumber",
                              "shouldBeep", "shouldBeepIfGuiding"};

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Text(const Json& value) { return value.is_string() ? Escaped(value.get<std::string>()) : std::string(); }

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::string Ago(int64_t seconds) {
  if (seconds < 5) return "just now";
  if (seconds < 120) return std::to_string(seconds) + " s ago";
  if (seconds < 7200) return std::to_string(seconds / 60) + " min ago";
  if (seconds < 172800) return std::to_string(seconds / 3600) + " h ago";
  return std::to_string(seconds / 86400) + " days ago";
}

// A time of a summary: its age, with the wall-clock time beside it.
std::string When(const Json& summary, const char* seconds, const char* at, int64_t now) {
  const int64_t when = summary.value(seconds, int64_t(0));
  if (when == 0) return "never";
  return "<time datetime=\"" + Text(summary[at]) + "\" title=\"" + Text(summary[at]) + "\">" + Ago(now - when) +
         "</time>";
}

std::string Tree(const Json& triggers) {
  if (!triggers.is_array() || triggers.empty()) return std::string();
  std::string out = "<ul>";
  for (const Json& trigger : triggers) {
    out += "<li><span class=\"key\">" + Text(trigger["error"]) + "</span>" + Tree(trigger["triggers"]) + "</li>";
  }
  return out + "</ul>";
}

std::string Fact(const char* name, const std::string& value) {
  return std::string("<dt>") + name + "</dt><dd>" + value + "</dd>";
}

// One summary as a card; trees: the HTML of its trigger tree, if any.
std::string Card(const Json& summary, int64_t now, const std::string& tree) {
  const std::string severity = summary.value("severity", std::string("Unknown"));
  std::string flags;
  for (const char* flag : kFlags) {
    if (summary.value(flag, false)) flags += std::string(flags.empty() ? "" : " ") + flag;
  }
  std::string out = "<article class=\"error severity-" + Escaped(Lowered(severity)) + "\" data-error=\"" +
                    Text(summary["error"]) + "\"><header><span class=\"badge\">" + Escaped(severity) + "</span><h3>" +
                    Text(summary["shortTitle"]) + "</h3></header><p class=\"vt\">" + Text(summary["vtTitle"]) +
                    "</p><p class=\"key\">" + Text(summary["error"]) + "</p>";
  for (const Json& problem : summary.value("problems", Json::array())) {
    out += "<p class=\"problem\">" + Text(problem) + "</p>";
  }
  for (const Json& solution : summary.value("solutions", Json::array())) {
    out += "<p class=\"solution\">" + Text(solution) + "</p>";
  }
  const std::string stateCode = summary.value("stateCode", std::string());
  const std::string fixedCode = summary.value("fixedCode", std::string());
  out += "<dl>" + Fact("Raised", When(summary, "raised", "raisedAt", now)) +
         Fact("Cleared", When(summary, "cleared", "clearedAt", now)) +
         Fact("Raise counts", std::to_string(summary.value("raiseCount1", 0)) + " / " +
                                  std::to_string(summary.value("raiseCount2", 0))) +
         Fact("State code",
              "<a class=\"code\" href=\"/?code=" + Escaped(stateCode) + "\">" + Escaped(stateCode) + "</a>") +
         Fact("Fixed code", fixedCode.empty() ? "none" : "<code>" + Escaped(fixedCode) + "</code>") +
         Fact("Flags", flags.empty() ? "none" : flags) + "</dl>";
  if (!tree.empty()) out += "<details open><summary>Triggers</summary><div class=\"tree\">" + tree + "</div></details>";
  return out + "</article>";
}

std::string Problem(const std::string& problem) { return "<p class=\"problem-note\">" + Escaped(problem) + "</p>"; }

// The template with each "@NAME@" mark replaced, in one pass, so that a text
// that happens to hold a mark stays as it is.
std::string Filled(const std::string& page, const std::vector<std::pair<std::string, std::string>>& parts) {
  std::string out;
  std::string::size_type from = 0;
  for (;;) {
    const std::string::size_type at = page.find('@', from);
    if (at == std::string::npos) return out + page.substr(from);
    out += page.substr(from, at - from);
    auto part = std::find_if(parts.begin(), parts.end(), [&](const std::pair<std::string, std::string>& p) {
      return page.compare(at, p.first.size(), p.first) == 0;
    });
    if (part == parts.end()) {
      out += '@';
      from = at + 1;
    } else {
      out += part->second;
      from = at + part->first.size();
    }
  }
}

}  // namespace

std::string RenderActive(const Json& topLevelErrors, int64_t now, const std::string& problem) {
  if (!problem.empty()) return Problem(problem);
  if (topLevelErrors.empty()) return "<p class=\"none\">No active errors.</p>";
  std::string out;
  for (const Json& summary : topLevelErrors) out += Card(summary, now, Tree(summary["triggers"]));
  return out;
}

std::string RenderHistory(const Json& history, int64_t now, const std::string& problem) {
  if (!problem.empty()) return Problem(problem);
  if (!history.is_array() || history.empty()) return "<p class=\"none\">No error has been raised yet.</p>";
  std::string out =
      "<table><thead><tr><th>Error</th><th>Title</th><th>Raised</th><th>Cleared</th><th>Raises</th></tr></thead>"
      "<tbody>";
  for (const Json& summary : history) {
    out += "<tr class=\"severity-" + Escaped(Lowered(summary.value("severity", std::string("unknown")))) +
           "\"><td class=\"key\">" + Text(summary["error"]) + "</td><td>" + Text(summary["shortTitle"]) + "</td><td>" +
           When(summary, "raised", "raisedAt", now) + "</td><td>" + When(summary, "cleared", "clearedAt", now) +
           "</td><td>" + std::to_string(summary.value("raiseCount2", 0)) + "</td></tr>";
  }
  return out + "</tbody></table>";
}

std::string RenderDecode(const std::string& stateCode, const Json& decoding, int64_t now, const std::string& problem) {
  if (!problem.empty()) return Problem(problem);
  std::string lines;
  for (const Json& line : decoding["lines"]) lines += Text(line) + "\n";
  return "<p>State code <code>" + Escaped(stateCode) + "</code> names:</p><pre class=\"decoded\">" + lines + "</pre>" +
         Card(decoding["summary"], now, std::string());
}

std::string RenderPage(const std::string& active, const std::string& history, const std::string& decode,
                       const std::string& stateCode) {
  return Filled(kPageTemplate,
                {{"@ACTIVE@", active}, {"@DECODE@", decode}, {"@HISTORY@", history}, {"@CODE@", Escaped(stateCode)}});
}

const char* PageStyle() { return kPageStyle; }
const char* PageScript() { return kPageScript; }

}  // namespace Faultwright
