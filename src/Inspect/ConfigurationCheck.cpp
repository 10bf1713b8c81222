#include "Inspect/ConfigurationCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <utility>

#include <nlohmann/json.hpp>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/ErrorDatabase/ErrorAttributes.h"
#include "Common/ErrorDatabase/TriggerReference.h"
#include "Common/Patterns/CErrorPatterns.h"
#include "Common/Summaries/StateCode.h"
#include "Common/View/CErrorDatabaseView.h"
#include "Identifiers/Identifiers.h"
#include "Platform/Core/IO/FileLines.h"
#include "Platform/Core/IO/XMLDocument.h"
#include "Platform/Core/IO/XMLNode.h"
#include "Platform/Core/Utilities/Quoted.h"

namespace Faultwright {

const char kWarning[] = "warning: ";

bool IsWarning(const std::string& problem) {
  size_t end = problem.find(": ");
  return end != std::string::npos && problem.compare(end + 2, std::strlen(kWarning), kWarning) == 0;
}

std::string Figure(double value) {
  char text[32];
  std::snprintf(text, sizeof text, value < 1e15 ? "%.0f" : "%.3g", value);
  return text;
}

namespace {

using Core::IO::XMLNode;
using Core::Utilities::Quoted;

// A state code longer than this is no longer read off a screen by a person.
const double kReadableDigits = 64;
// Longer than this, or deeper than kMaxTriggerDepth, a summary is no summary.
const double kLongestDigits = 4096;
// Above it the figures stop growing; a catalogue there fails anyway.
const double kHuge = 1e300;

// A whole number while a double holds it exactly.
nlohmann::ordered_json JsonFigure(double value) {
  if (value < 9007199254740992.0) return static_cast<uint64_t>(value);
  return value;
}

// "FILE:LINE:COLUMN" or "FILE" as JSON members.
void AddPlace(const std::string& place, nlohmann::ordered_json& object) {
  size_t column = place.rfind(':');
  size_t line = column == std::string::npos || column == 0 ? std::string::npos : place.rfind(':', column - 1);
  auto digits = [&place](size_t from, size_t to) {
    return from < to && place.find_first_not_of("0123456789", from) >= to;
  };
  if (line == std::string::npos || !digits(line + 1, column) || !digits(column + 1, place.size())) {
    object["file"] = place;
    object["line"] = 0;
    object["column"] = 0;
    return;
  }
  object["file"] = place.substr(0, line);
  object["line"] = std::stoi(place.substr(line + 1, column - line - 1));
  object["column"] = std::stoi(place.substr(column + 1));
}

// One catalogue file in the walk, with the places of its elements.
struct WalkedFile {
  explicit WalkedFile(const std::string& path) : lines(path) { parsed = document.Parse(path); }
  std::string Place(const XMLNode& node) { return lines.Place(node.Offset()); }

  Core::IO::XMLDocument document;
  Core::IO::FileLines lines;
  bool parsed = false;
};

class CatalogueWalk {
 public:
  CatalogueWalk(const CErrorDatabase& catalogue, std::vector<std::string>& problems)
      : catalogue_(catalogue), problems_(problems) {}

  void WalkModule(WalkedFile& file, uint32_t module);
  void ReportCount(const std::string& topPlace);
  // Where the Error element that FindError finds for (code, type) stands.
  std::string PlaceOf(const CError& error) const {
    auto found = places_.find({error.Code(), error.Type()});
    return found == places_.end() ? std::string() : found->second;
  }

 private:
  void WalkError(WalkedFile& file, uint32_t code, const XMLNode& errorNode);
  void WalkTriggerSet(WalkedFile& file, const std::string& where, uint32_t code, int type, const XMLNode& setNode);
  void Report(const std::string& place, const std::string& what) { problems_.push_back(place + ": " + what); }

  const CErrorDatabase& catalogue_;
  std::vector<std::string>& problems_;
  std::map<std::pair<uint32_t, int>, std::string> places_;  // the last definition, as FindError
  size_t errorElements_ = 0;
  std::string firstBeyondTable_;
  TriggerReference reference_;
};

void CatalogueWalk::WalkModule(WalkedFile& file, uint32_t module) {
  std::optional<XMLNode> top = file.document.RootNode().Child("Module");
  if (!top) return;  // the loader says why
  for (XMLNode subModuleNode : top->Children()) {
    ESubModuleIdentifier subModule = SubModuleFromName(subModuleNode.Attribute("identifier"));
    if (!subModuleNode.IsNamed("SubModule") || subModule == esmiUnknown) continue;
    for (XMLNode problemNode : subModuleNode.Children()) {
      EProblemIdentifier problem = ProblemFromName(problemNode.Attribute("identifier"));
      if (!problemNode.IsNamed("Problem") || problem == epiUnknown) continue;
      const uint32_t code = module | static_cast<uint32_t>(subModule) | static_cast<uint32_t>(problem);
      for (XMLNode errorNode : problemNode.Children()) {
        if (errorNode.IsNamed("Error")) WalkError(file, code, errorNode);
      }
    }
  }
}

void CatalogueWalk::WalkError(WalkedFile& file, uint32_t code, const XMLNode& errorNode) {
  const std::string identifier = errorNode.Attribute("identifier");
  if (identifier.empty()) return;  // the loader's fault
  const std::string place = file.Place(errorNode);
  const EProblemType type = ProblemTypeFromName(identifier);
  const std::string name = ErrorIdentifierText(code, type);
  if (type == eptUnknown) {
    Report(place, "Error " + Quoted(identifier) +
                      ": type is neither a type name nor a number from 0 to 20, so it "
                      "becomes " +
                      name);
  }
  if (++errorElements_ == static_cast<size_t>(CErrorDatabaseView::kMaxErrors) + 1) firstBeyondTable_ = place;
  if (catalogue_.FindError(code, type) == nullptr) return;  // not loaded: the loader says why

  auto [entry, isNew] = places_.try_emplace({code, type}, place);
  if (!isNew) {
    Report(place, "Error " + Quoted(name) + " is defined again (before at " + entry->second +
                      "): the catalogue finds this one, the live database the first");
    entry->second = place;
  }
  std::optional<XMLNode> triggerSets;
  for (XMLNode child : errorNode.Children()) {
    if (!child.IsNamed("TriggerSets")) continue;
    if (triggerSets) {
      Report(file.Place(*triggerSets), "Error " + Quoted(name) + ": TriggerSets is ignored: only the last counts");
    }
    triggerSets = child;
  }
  if (!triggerSets) return;
  const std::string where = "Error " + Quoted(name) + ": ";
  for (XMLNode setNode : triggerSets->Children()) {
    if (setNode.IsNamed("TriggerSet")) WalkTriggerSet(file, where, code, type, setNode);
  }
}

void CatalogueWalk::WalkTriggerSet(WalkedFile& file, const std::string& where, uint32_t code, int type,
                                   const XMLNode& setNode) {
  int needed = 1;
  int held = 0;
  for (XMLNode child : setNode.Children()) {
    for (XMLNode item : child.Children()) {
      if (child.IsNamed("Options") && item.IsNamed("Option")) {
        const std::string name = item.Attribute("name");
        const std::string value = item.Attribute("value");
        if (name.empty() || value.empty()) continue;  // the loader's fault
        std::string ignored;
        if (name == "triggersNeeded") {
          if (ErrorAttributes::IsNumber(value.c_str())) {
            needed = ErrorAttributes::ReadNumber(value.c_str());
          } else {
            ignored = "is not a number; it reads as " + std::to_string(ErrorAttributes::ReadNumber(value.c_str()));
          }
        } else if ((name == "autoTrigger" || name == "fullScreen") && value != "yes" && value != "no") {
          ignored = "is neither yes nor no; it reads as no";
        } else if (name == "errorLinking" && value != "verbose" && value != "shallow" && value != "childOnly") {
          ignored = "is not verbose, shallow or childOnly, so it is ignored";
        } else if (name == "titleSource" && value != "trigger") {
          ignored = "is not trigger, so it is ignored";
        }
        if (!ignored.empty())
          Report(file.Place(item), where + "Option " + Quoted(name) + " value " + Quoted(value) + " " + ignored);
      } else if (child.IsNamed("Triggers") && item.IsNamed("Trigger")) {
        const std::string id = item.Attribute("id");
        if (id.empty() || reference_.Parse(id) != TriggerReference::kResolved) continue;  // the loader's fault
        if (reference_.Code() == code && reference_.Type() == type) continue;             // the loader's too
        std::string fault;
        if (!ErrorAttributes::IsNumber(reference_.TypeText().c_str())) {
          fault = "its type " + Quoted(reference_.TypeText()) + " is not a number and reads as " +
                  std::to_string(reference_.Type());
        }
        if (catalogue_.FindError(reference_.Code(), reference_.Type()) == nullptr) {
          fault += (fault.empty() ? "" : "; ") + std::string("names ") +
                   ErrorIdentifierText(reference_.Code(), reference_.Type()) +
                   ", which the catalogue does not hold, so it is dropped";
        } else {
          ++held;
        }
        if (!fault.empty()) Report(file.Place(item), where + "Trigger " + Quoted(id) + ": " + fault);
      }
    }
  }
  if (needed > held) {
    Report(file.Place(setNode), where + "TriggerSet needs " + std::to_string(needed) + " triggers but holds " +
                                    std::to_string(held) + ", so it is never satisfied");
  }
}

void CatalogueWalk::ReportCount(const std::string& topPlace) {
  const size_t count = catalogue_.Errors().size();
  if (count <= static_cast<size_t>(CErrorDatabaseView::kMaxErrors)) return;
  Report(firstBeyondTable_.empty() ? topPlace : firstBeyondTable_,
         std::to_string(count) + " errors, but the live database holds only the first " +
             std::to_string(CErrorDatabaseView::kMaxErrors) + "; this one and all after it are never published");
}

// What the whole active tree below one error adds to a summary.
struct Measure {
  double bits = 0;  // of its trigger blocks, its own included
  double problems = 0;
  double solutions = 0;
  int levels = 0;
};

// Every record's Measure, by record index: one depth-first walk in which each
// error finishes after its triggers. A link back into the walk closes a cycle
// (the loader reports it) and adds only its bit.
std::vector<Measure> MeasureTrees(const CErrorDatabase& catalogue) {
  const std::vector<CError>& errors = catalogue.Errors();
  enum Visit : char { kUnvisited, kOnWalk, kFinished };
  struct Frame {
    size_t index;
    size_t set = 0;
    size_t trigger = 0;
  };
  std::vector<Measure> measures(errors.size());
  std::vector<char> visit(errors.size(), kUnvisited);
  std::vector<Frame> walk;
  auto indexOf = [&errors](const CError* error) { return static_cast<size_t>(error - errors.data()); };
  for (size_t start = 0; start < errors.size(); ++start) {
    if (visit[start] != kUnvisited) continue;
    visit[start] = kOnWalk;
    walk.push_back(Frame{start});
    while (!walk.empty()) {
      Frame& frame = walk.back();
      const std::vector<CTriggerSet>& sets = errors[frame.index].TriggerSets();
      if (frame.set < sets.size() && frame.trigger < sets[frame.set].Triggers().size()) {
        size_t index = indexOf(sets[frame.set].Triggers()[frame.trigger++]);
        if (visit[index] == kUnvisited) {
          visit[index] = kOnWalk;
          walk.push_back(Frame{index});
        }
        continue;
      }
      if (frame.set < sets.size()) {
        ++frame.set;
        frame.trigger = 0;
        continue;
      }
      Measure& measure = measures[frame.index];
      for (const CTriggerSet& set : sets) {
        for (const CError* trigger : set.Triggers()) {
          const size_t index = indexOf(trigger);
          const bool below = visit[index] == kFinished;
          const Measure& sub = measures[index];
          measure.bits = std::min(kHuge, measure.bits + 1 + (below ? sub.bits : 0));
          measure.levels = std::max(measure.levels, 1 + (below ? sub.levels : 0));
          if (set.ErrorLinking() == eelVerbose) measure.problems = std::min(kHuge, measure.problems + 1);
          if (set.ErrorLinking() == eelShallow || !below) continue;
          measure.problems = std::min(kHuge, measure.problems + sub.problems);
          measure.solutions =
              std::min(kHuge, measure.solutions + sub.solutions + (trigger->HasLinkingMode(eelChildOnly) ? 0 : 1));
        }
      }
      visit[frame.index] = kFinished;
      walk.pop_back();
    }
  }
  return measures;
}

void MeasureTopLevelErrors(const CErrorDatabase& catalogue, const CatalogueWalk& walk,
                           std::vector<std::string>& problems, std::vector<TreeCost>& costs) {
  const std::vector<Measure> measures = MeasureTrees(catalogue);
  for (const CError* error : catalogue.IndexedErrors()) {
    if (!error->Dependents().empty() || error->TriggerSets().empty()) continue;
    const Measure& measure = measures[error - catalogue.Errors().data()];
    TreeCost cost;
    cost.error = ErrorIdentifierText(error->Code(), error->Type());
    cost.place = walk.PlaceOf(*error);
    cost.levels = measure.levels;
    cost.stateCodeDigits = 2 * std::ceil((kStateCodeIndexBits + measure.bits) / 8);
    cost.texts = std::max(1.0, measure.problems) + std::max(1.0, measure.solutions);
    const std::string where = cost.place + ": " + "Error " + Quoted(cost.error) + ": ";
    const std::string digits = "its state code reaches " + Figure(cost.stateCodeDigits) + " digits";
    if (cost.stateCodeDigits > kLongestDigits) {
      problems.push_back(where + digits + ", more than the " + Figure(kLongestDigits) + " a summary may carry");
    } else if (cost.stateCodeDigits > kReadableDigits) {
      problems.push_back(where + kWarning + digits + ", more than the " + Figure(kReadableDigits) +
                         " a person reads off a screen");
    }
    if (cost.levels > static_cast<int>(kMaxTriggerDepth)) {
      problems.push_back(where + "its trigger tree is " + std::to_string(cost.levels) +
                         " levels deep; summaries and state codes stop at " + std::to_string(kMaxTriggerDepth));
    }
    costs.push_back(cost);
  }
}

// What is wrong with one error reference of a pattern, or "" when it names an
// error of the catalogue.
std::string ReferenceProblem(const CErrorDatabase& catalogue, TriggerReference& reference, const std::string& id) {
  static const char* const kFaults[] = {"", "not of the form module:submodule:problem:type", "unknown module name",
                                        "unknown submodule name", "unknown problem name"};
  TriggerReference::Result result = reference.Parse(id);
  if (result != TriggerReference::kResolved) return kFaults[result];
  if (!ErrorAttributes::IsNumber(reference.TypeText().c_str())) {
    return "type " + Quoted(reference.TypeText()) + " is not a number";
  }
  if (catalogue.FindError(reference.Code(), reference.Type()) == nullptr) {
    return "not in the catalogue, so the pattern never matches";
  }
  return std::string();
}

}  // namespace

void CheckCatalogue(const CErrorDatabase& catalogue, const std::string& directory, std::vector<std::string>& files,
                    std::vector<std::string>& problems, std::vector<TreeCost>& costs) {
  CatalogueWalk walk(catalogue, problems);
  WalkedFile top(directory + CErrorDatabase::kTopFileName);
  files.push_back(top.lines.Path());
  std::optional<XMLNode> topElement = top.document.RootNode().Child("Faultwright");
  std::optional<XMLNode> errorList = topElement ? topElement->Child("ErrorList") : std::nullopt;
  if (errorList) {
    for (XMLNode entry : errorList->Children()) {
      EModuleIdentifier module = ModuleFromName(entry.Attribute("identifier"));
      if (!entry.IsNamed("Module") || module == emiUnknown) continue;
      WalkedFile file(directory + entry.Attribute("file"));
      if (std::find(files.begin(), files.end(), file.lines.Path()) == files.end()) files.push_back(file.lines.Path());
      walk.WalkModule(file, static_cast<uint32_t>(module));
    }
  }
  walk.ReportCount(top.lines.Path());
  MeasureTopLevelErrors(catalogue, walk, problems, costs);
}

void CheckPatterns(const CErrorDatabase& catalogue, const std::string& directory, std::vector<std::string>& problems) {
  WalkedFile file(directory + CErrorPatterns::kFileName);
  if (!file.parsed) {
    if (file.document.FileOpened()) {
      problems.push_back(file.lines.Place(file.document.ParseErrorOffset()) + ": " + file.document.ParseError());
    }
    return;
  }
  std::optional<XMLNode> patternsNode = file.document.RootNode().Child("Patterns");
  if (!patternsNode) {
    problems.push_back(file.lines.Path() + ": no Patterns element");
    return;
  }
  TriggerReference reference;
  int number = 0;
  for (XMLNode patternNode : patternsNode->Children()) {
    const std::string place = file.Place(patternNode) + ": ";
    if (!patternNode.IsNamed("pattern")) {
      problems.push_back(place + "unexpected element " + Quoted(patternNode.Name()) + " in Patterns is ignored");
      continue;
    }
    ++number;
    const std::string fixedCode = patternNode.Attribute("fixedCode");
    if (fixedCode.empty()) {
      problems.push_back(place + "pattern " + std::to_string(number) + " has no fixedCode and is ignored");
      continue;
    }
    const std::string wherePattern = "pattern " + Quoted(fixedCode) + ": ";
    if (patternNode.Children().empty()) problems.push_back(place + wherePattern + "names no errors");
    for (XMLNode referenceNode : patternNode.Children()) {
      const std::string id = referenceNode.Attribute("id");
      std::string problem = ReferenceProblem(catalogue, reference, id);
      if (!problem.empty()) {
        problems.push_back(file.Place(referenceNode) + ": " + wherePattern + "error " + Quoted(id) + ": " + problem);
      }
    }
  }
}

std::string CheckToJson(const std::string& directory, size_t errors, size_t patterns,
                        const std::vector<std::string>& problems, const std::vector<TreeCost>& costs) {
  nlohmann::ordered_json result = {{"directory", directory}, {"errors", errors}, {"patterns", patterns}};
  nlohmann::ordered_json& list = result["problems"] = nlohmann::ordered_json::array();
  for (const std::string& problem : problems) {
    nlohmann::ordered_json entry;
    const size_t end = problem.find(": ");
    AddPlace(problem.substr(0, end), entry);
    std::string message = end == std::string::npos ? problem : problem.substr(end + 2);
    const bool warning = IsWarning(problem);
    entry["severity"] = warning ? "warning" : "error";
    entry["message"] = warning ? message.substr(std::strlen(kWarning)) : message;
    list.push_back(entry);
  }
  nlohmann::ordered_json& trees = result["trees"] = nlohmann::ordered_json::array();
  for (const TreeCost& cost : costs) {
    nlohmann::ordered_json entry = {{"error", cost.error}};
    AddPlace(cost.place, entry);
    entry["levels"] = cost.levels;
    entry["stateCodeDigits"] = JsonFigure(cost.stateCodeDigits);
    entry["texts"] = JsonFigure(cost.texts);
    trees.push_back(entry);
  }
  return result.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace Faultwright
