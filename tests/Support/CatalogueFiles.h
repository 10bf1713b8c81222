// Pieces of catalogue files for tests that build small catalogues of their
// own: the top file, an Error element with its three required texts, and a
// TriggerSets element.
#ifndef FAULTWRIGHT_TESTS_SUPPORT_CATALOGUEFILES_H
#define FAULTWRIGHT_TESTS_SUPPORT_CATALOGUEFILES_H

#include <string>
#include <utility>
#include <vector>

namespace FaultwrightTest {

// "FaultwrightConfig.xml" listing (module name, file name) pairs in order.
std::string TopFile(const std::vector<std::pair<std::string, std::string>>& modules);

// A module file holding one SubModule with one Problem whose body is given.
std::string ModuleFile(const std::string& subModule, const std::string& problem, const std::string& errors);
// A module file holding one SubModule with several (problem, body) pairs.
std::string ModuleFile(const std::string& subModule, const std::vector<std::pair<std::string, std::string>>& problems);

// An Error element: problem text `text`, solution "Fix <text>", short problem
// "Short <text>", then `children`. attributes are written into the start tag.
std::string ErrorElement(const std::string& identifier, const std::string& text,
                         const std::string& attributes = "severity=\"Low\" visible=\"yes\"",
                         const std::string& children = "");

struct TriggerSetSpec {
  std::vector<std::pair<std::string, std::string>> options;  // (name, value) in order
  std::vector<std::string> triggers;                         // Trigger ids in order
};
// A TriggerSets element, one TriggerSet per entry, Options before Triggers.
std::string TriggerSetsElement(const std::vector<TriggerSetSpec>& sets);

// The loader's problem lines with each ":LINE:COLUMN" after the file name
// left out, for tests about what is said rather than where.
std::string WithoutPlaces(const std::string& lines);
std::vector<std::string> WithoutPlaces(const std::vector<std::string>& lines);

}  // namespace FaultwrightTest

#endif  // FAULTWRIGHT_TESTS_SUPPORT_CATALOGUEFILES_H
