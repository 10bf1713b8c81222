#include "Support/CatalogueFiles.h"

#include <regex>

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

std::string WithoutPlaces(const std::string& lines) {
  static const std::regex place(":[0-9]+:[0-9]+: ");
  return std::regex_replace(lines, place, ": ");
}

std::vector<std::string> WithoutPlaces(const std::vector<std::string>& lines) {
  std::vector<std::string> result;
  for (const std::string& line : lines) result.push_back(WithoutPlaces(line));
  return result;
}

}  // namespace FaultwrightTest
