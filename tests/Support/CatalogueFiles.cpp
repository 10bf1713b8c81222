#include "Support/CatalogueFiles.h"

namespace FaultwrightTest {

std::string TopFile(const std::vector<std::pair<std::string, std::string>>& modules) {
  std::string text = "<Faultwright><ErrorList>\n";
  for (const auto& [module, file] : modules) {
    text += "<Module identifier=\"" + module + "\" file=\"" + file + "\"/>\n";
  }
  return text + "</ErrorList></Faultwright>\n";
}

std::string ModuleFile(const std::string& subModule, const std::string& problem, const std::string& errors) {
  return ModuleFile(subModule, {{problem, errors}});
}

std::string ModuleFile(const std::string& subModule, const std::vector<std::pair<std::string, std::string>>& problems) {
  std::string text = "<Module><SubModule identifier=\"" + subModule + "\">\n";
  for (const auto& [problem, errors] : problems) {
    text += "<Problem identifier=\"" + problem + "\">\n" + errors + "</Problem>\n";
  }
  return text + "</SubModule></Module>\n";
}

std::string ErrorElement(const std::string& identifier, const std::string& text, const std::string& attributes,
                         const std::string& children) {
  return "<Error identifier=\"" + identifier + "\" " + attributes + ">" + "<Text type=\"problem\" text=\"" + text +
         "\"/><Text type=\"solution\" text=\"Fix " + text + "\"/><Text type=\"shortProblem\" text=\"Short " + text +
         "\"/>" + children + "</Error>\n";
}

std::string TriggerSetsElement(const std::vector<TriggerSetSpec>& sets) {
  std::string text = "<TriggerSets>";
  for (const TriggerSetSpec& set : sets) {
    text += "<TriggerSet><Options>";
    for (const auto& [name, value] : set.options) {
      text += "<Option name=\"" + name + "\" value=\"" + value + "\"/>";
    }
    text += "</Options><Triggers>";
    for (const std::string& id : set.triggers) text += "<Trigger id=\"" + id + "\"/>";
    text += "</Triggers></TriggerSet>";
  }
  return text + "</TriggerSets>";
}

namespace {

// The length of ":LINE:COLUMN" before ": " at text[at], or 0.
size_t PlaceLength(const std::string& text, size_t at) {
  size_t end = at;
  for (int run = 0; run < 2; ++run) {
    if (end >= text.size() || text[end] != ':') return 0;
    const size_t digits = text.find_first_not_of("0123456789", end + 1);
    if (digits == end + 1 || digits == std::string::npos) return 0;
    end = digits;
  }
  return text.compare(end, 2, ": ") == 0 ? end - at : 0;
}

}  // namespace

std::string WithoutPlaces(const std::string& lines) {
  std::string result;
  for (size_t at = 0; at < lines.size();) {
    const size_t place = PlaceLength(lines, at);
    if (place != 0) {
      at += place;
    } else {
      result += lines[at++];
    }
  }
  return result;
}

std::vector<std::string> WithoutPlaces(const std::vector<std::string>& lines) {
  std::vector<std::string> result;
  for (const std::string& line : lines) result.push_back(WithoutPlaces(line));
  return result;
}

}  // namespace FaultwrightTest
