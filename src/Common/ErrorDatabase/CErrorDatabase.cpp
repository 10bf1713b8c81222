#include "Common/ErrorDatabase/CErrorDatabase.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "Platform/Core/IO/XMLDocument.h"
#include "Platform/Core/Utilities/SplitString.h"

namespace Faultwright {

namespace {

using Core::IO::XMLNode;

const char kTopFileName[] = "FaultwrightConfig.xml";

// Orders by code, then type, both ascending; the type is signed, so its sign
// bit is flipped to sort as unsigned.
uint64_t PackKey(uint32_t code, int32_t type) {
  return (uint64_t{code} << 32) | (static_cast<uint32_t>(type) ^ 0x80000000u);
}

bool IsYes(const char* value) { return value != nullptr && std::strcmp(value, "yes") == 0; }

// strtol(value, NULL, 10), clamped to the signed 32-bit range.
int ReadNumber(const char* value) {
  long number = std::strtol(value, nullptr, 10);
  return static_cast<int>(std::clamp<long>(number, INT32_MIN, INT32_MAX));
}

// The model-specific "qd570:" form of an attribute wins wherever it is present.
const char* ModelAttribute(const XMLNode& node, const std::string& name, const char* fallback) {
  const char* value = node.FindAttribute("qd570:" + name);
  if (value == nullptr) value = node.FindAttribute(name);
  return value != nullptr ? value : fallback;
}

const char* PlainAttribute(const XMLNode& node, const char* name, const char* fallback) {
  const char* value = node.FindAttribute(name);
  return value != nullptr ? value : fallback;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The error as the file names it: its names and its identifier as written.
std::string ErrorName(uint32_t code, const char* identifier) {
  std::string name = ErrorIdentifierText(code, 0);
  name.pop_back();  // the type "0"
  return name + identifier;
}

std::string Misplaced(const XMLNode& child, const char* parent, const char* expected) {
  return "element " + Quoted(child.Name()) + " in " + parent + ": expected " + expected;
}

}  // namespace

// What lives only while the catalogue is built.
struct CErrorDatabase::Loading {
  struct ModuleFile {
    std::string path;
    Core::IO::XMLDocument document;
  };
  struct PendingTriggerSets {
    int index;
    XMLNode triggerSetsNode;
  };

  std::vector<std::unique_ptr<ModuleFile>> moduleFiles;
  std::vector<PendingTriggerSets> pendingTriggerSets;
  std::vector<uint64_t> keys;                    // by record index
  std::vector<const std::string*> recordFiles;   // by record index
  const std::string* file = nullptr;             // the file being read
  std::string where;                             // the element being read, for messages
};

CErrorDatabase::CErrorDatabase(const std::string& configDirectory) : configDirectory_(configDirectory) {
  Loading loading;
  const std::string topPath = configDirectory_ + kTopFileName;
  loading.file = &topPath;
  Core::IO::XMLDocument topDocument;
  if (!topDocument.Parse(topPath)) {
    // No top file at all is an unconfigured catalogue, not a fault.
    if (topDocument.FileOpened()) ReportProblem(topPath + ": " + topDocument.ParseError());
    return;
  }
  std::optional<XMLNode> top = topDocument.RootNode().Child("Faultwright");
  std::optional<XMLNode> errorList = top ? top->Child("ErrorList") : std::nullopt;
  if (!errorList) {
    ReportProblem(topPath + (top ? ": Faultwright without ErrorList" : ": no Faultwright element"));
    return;
  }
  for (XMLNode entry : errorList->Children()) {
    if (!entry.IsNamed("Module")) {
      ReportProblem(topPath + ": " + Misplaced(entry, "ErrorList", "Module"));
      continue;
    }
    std::string name = entry.Attribute("identifier");
    EModuleIdentifier module = ModuleFromName(name);
    if (module == emiUnknown) {
      ReportProblem(topPath + ": Module " + Quoted(name) + ": unknown module name");
      continue;
    }
    LoadModule(loading, module, name, configDirectory_ + entry.Attribute("file"));
  }

  BuildIndex(loading.keys);
  for (const Loading::PendingTriggerSets& pending : loading.pendingTriggerSets) {
    LoadTriggerSet(loading, pending.index, pending.triggerSetsNode);
  }
  UpdateWeights(loading.recordFiles);
}

CError* CErrorDatabase::FindError(unsigned code, int type) {
  return const_cast<CError*>(static_cast<const CErrorDatabase*>(this)->FindError(code, type));
}

const CError* CErrorDatabase::FindError(unsigned code, int type) const {
  uint64_t key = PackKey(code, type);
  auto found = std::lower_bound(indexKeys_.begin(), indexKeys_.end(), key);
  if (found == indexKeys_.end() || *found != key) return nullptr;
  return indexedErrors_[found - indexKeys_.begin()];
}

void CErrorDatabase::ReportProblem(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  loadProblems_.push_back(line);
}

void CErrorDatabase::LoadModule(Loading& loading, EModuleIdentifier module, const std::string& moduleName,
                                const std::string& path) {
  loading.moduleFiles.push_back(std::make_unique<Loading::ModuleFile>());
  Loading::ModuleFile& moduleFile = *loading.moduleFiles.back();
  moduleFile.path = path;
  loading.file = &moduleFile.path;
  const std::string whereModule = "Module " + Quoted(moduleName);
  if (!moduleFile.document.Parse(path)) {
    ReportProblem(path + ": " + whereModule + ": " + moduleFile.document.ParseError());
    return;
  }
  std::optional<XMLNode> top = moduleFile.document.RootNode().Child("Module");
  if (!top) {
    ReportProblem(path + ": " + whereModule + ": no Module element");
    return;
  }
  for (XMLNode child : top->Children()) {
    if (!child.IsNamed("SubModule")) {
      ReportProblem(path + ": " + Misplaced(child, whereModule.c_str(), "SubModule"));
      continue;
    }
    std::string name = child.Attribute("identifier");
    ESubModuleIdentifier subModule = SubModuleFromName(name);
    if (subModule == esmiUnknown) {
      ReportProblem(path + ": SubModule " + Quoted(name) + ": unknown submodule name");
      continue;
    }
    LoadSubModule(loading, module, subModule, child);
  }
}

void CErrorDatabase::LoadSubModule(Loading& loading, EModuleIdentifier module, ESubModuleIdentifier subModule,
                                   const XMLNode& subModuleNode) {
  const std::string& path = *loading.file;
  const std::string whereSubModule = "SubModule " + Quoted(SubModuleName(subModule));
  for (XMLNode problemNode : subModuleNode.Children()) {
    if (!problemNode.IsNamed("Problem")) {
      ReportProblem(path + ": " + Misplaced(problemNode, whereSubModule.c_str(), "Problem"));
      continue;
    }
    std::string name = problemNode.Attribute("identifier");
    EProblemIdentifier problem = ProblemFromName(name);
    if (problem == epiUnknown) {
      ReportProblem(path + ": Problem " + Quoted(name) + " in " + whereSubModule + ": unknown problem name");
      continue;
    }
    const std::string whereProblem = "Problem " + Quoted(name);
    uint32_t code = static_cast<uint32_t>(module) | static_cast<uint32_t>(subModule) | static_cast<uint32_t>(problem);
    for (XMLNode errorNode : problemNode.Children()) {
      if (!errorNode.IsNamed("Error")) {
        ReportProblem(path + ": " + Misplaced(errorNode, whereProblem.c_str(), "Error"));
        continue;
      }
      LoadError(loading, code, errorNode);
    }
  }
}

void CErrorDatabase::LoadError(Loading& loading, uint32_t code, const XMLNode& errorNode) {
  const char* identifier = PlainAttribute(errorNode, "identifier", "");
  const std::string where = *loading.file + ": Error " + Quoted(ErrorName(code, identifier)) + ": ";
  if (*identifier == '\0') return ReportProblem(where + "no identifier");
  const char* severityName = ModelAttribute(errorNode, "severity", "");
  EErrorSeverity severity = ErrorSeverityFromName(severityName);
  if (severity == eesUnknown) return ReportProblem(where + "unknown severity " + Quoted(severityName));

  // The texts are checked before any record exists: a faulty Error leaves no trace.
  const char* texts[4] = {nullptr, nullptr, nullptr, nullptr};  // problem, solution, shortProblem, title
  static const char* const kTextTypes[4] = {"problem", "solution", "shortProblem", "title"};
  std::optional<XMLNode> triggerSetsNode;
  for (XMLNode child : errorNode.Children()) {
    if (child.IsNamed("TriggerSets")) {
      triggerSetsNode = child;
    } else if (child.IsNamed("Text")) {
      const char* type = PlainAttribute(child, "type", "");
      const char* text = PlainAttribute(child, "text", "");
      if (*type == '\0') return ReportProblem(where + "Text without type");
      if (*text == '\0') return ReportProblem(where + "Text " + Quoted(type) + " without text");
      for (int i = 0; i < 4; ++i) {
        if (std::strcmp(type, kTextTypes[i]) == 0) texts[i] = text;
      }
    } else if (!child.IsNamed("ServiceDescription")) {
      return ReportProblem(where + "unexpected element " + Quoted(child.Name()));
    }
  }
  if (texts[0] == nullptr) return ReportProblem(where + "no problem text");
  if (texts[1] == nullptr) return ReportProblem(where + "no solution text");
  if (texts[2] == nullptr) return ReportProblem(where + "no short problem text");

  errors_.emplace_back(*this, static_cast<EModuleIdentifier>(code & 0xFF0000u),
                       static_cast<ESubModuleIdentifier>(code & 0xFF00u), static_cast<EProblemIdentifier>(code & 0xFFu),
                       ProblemTypeFromName(identifier), severity, IsYes(ModelAttribute(errorNode, "visible", "no")),
                       IsYes(ModelAttribute(errorNode, "fullScreen", "no")),
                       IsYes(PlainAttribute(errorNode, "forceShutdown", "no")),
                       IsYes(PlainAttribute(errorNode, "includeServiceNumber", "no")),
                       IsYes(PlainAttribute(errorNode, "shouldBeep", "no")),
                       IsYes(PlainAttribute(errorNode, "shouldBeepIfGuiding", "no")),
                       ReadNumber(ModelAttribute(errorNode, "timeout", "0")));
  CError& error = errors_.back();
  error.SetProblemText(texts[0]);
  error.SetSolutionText(texts[1]);
  error.SetShortProblemText(texts[2]);
  if (texts[3] != nullptr) error.SetTitleText(texts[3]);

  int index = static_cast<int>(errors_.size()) - 1;
  loading.keys.push_back(PackKey(error.Code(), error.Type()));
  loading.recordFiles.push_back(loading.file);
  if (triggerSetsNode) loading.pendingTriggerSets.push_back({index, *triggerSetsNode});
}

void CErrorDatabase::BuildIndex(const std::vector<uint64_t>& keys) {
  std::vector<std::pair<uint64_t, int>> entries;
  entries.reserve(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) entries.emplace_back(keys[i], static_cast<int>(i));
  // Equal keys keep load order, so the last of each run is the later duplicate, which wins.
  std::stable_sort(entries.begin(), entries.end(),
                   [](const auto& left, const auto& right) { return left.first < right.first; });
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i + 1 < entries.size() && entries[i + 1].first == entries[i].first) continue;
    indexKeys_.push_back(entries[i].first);
    indexedErrors_.push_back(&errors_[entries[i].second]);
  }
}

void CErrorDatabase::LoadTriggerSet(Loading& loading, int index, const XMLNode& triggerSetsNode) {
  const CError& error = errors_[index];
  loading.file = loading.recordFiles[index];
  loading.where = *loading.file + ": Error " + Quoted(ErrorIdentifierText(error.Code(), error.Type())) + ": ";
  for (XMLNode setNode : triggerSetsNode.Children()) {
    if (!setNode.IsNamed("TriggerSet")) {
      ReportProblem(loading.where + Misplaced(setNode, "TriggerSets", "TriggerSet"));
      continue;
    }
    CTriggerSet triggerSet(false, 1, eelDeep, etsParent);
    for (XMLNode child : setNode.Children()) {
      if (child.IsNamed("Options")) {
        LoadTriggerSetOptions(loading, triggerSet, child);
      } else if (child.IsNamed("Triggers")) {
        LoadTriggerSetTriggers(loading, index, triggerSet, child);
      }
    }
    errors_[index].AddTriggerSet(triggerSet);
  }
}

void CErrorDatabase::LoadTriggerSetOptions(Loading& loading, CTriggerSet& triggerSet,
                                           const XMLNode& optionsNode) {
  for (XMLNode option : optionsNode.Children()) {
    if (!option.IsNamed("Option")) {
      ReportProblem(loading.where + Misplaced(option, "Options", "Option"));
      continue;
    }
    const char* name = PlainAttribute(option, "name", "");
    const char* value = PlainAttribute(option, "value", "");
    if (*name == '\0') {
      ReportProblem(loading.where + "Option without name");
    } else if (*value == '\0') {
      ReportProblem(loading.where + "Option " + Quoted(name) + " without value");
    } else if (std::strcmp(name, "autoTrigger") == 0) {
      triggerSet.SetAutoTrigger(IsYes(value));
    } else if (std::strcmp(name, "triggersNeeded") == 0) {
      triggerSet.SetTriggersNeeded(ReadNumber(value));
    } else if (std::strcmp(name, "errorLinking") == 0) {
      if (std::strcmp(value, "verbose") == 0) triggerSet.SetErrorLinking(eelVerbose);
      if (std::strcmp(value, "shallow") == 0) triggerSet.SetErrorLinking(eelShallow);
      if (std::strcmp(value, "childOnly") == 0) triggerSet.SetErrorLinking(eelChildOnly);
    } else if (std::strcmp(name, "titleSource") == 0) {
      if (std::strcmp(value, "trigger") == 0) triggerSet.SetTitleSource(etsTrigger);
    } else if (std::strcmp(name, "fullScreen") == 0) {
      triggerSet.SetFullScreen(IsYes(value));
    }
  }
}

void CErrorDatabase::LoadTriggerSetTriggers(Loading& loading, int index, CTriggerSet& triggerSet,
                                            const XMLNode& triggersNode) {
  CError& error = errors_[index];
  std::vector<std::string> parts;
  for (XMLNode trigger : triggersNode.Children()) {
    if (!trigger.IsNamed("Trigger")) {
      ReportProblem(loading.where + Misplaced(trigger, "Triggers", "Trigger"));
      continue;
    }
    const std::string id = trigger.Attribute("id");
    const std::string whereTrigger = loading.where + "Trigger " + Quoted(id) + ": ";
    if (id.empty()) {
      ReportProblem(loading.where + "Trigger without id");
      continue;
    }
    if (!Core::Utilities::SplitString(id, ":", parts, 0) || parts.size() != 4) {
      ReportProblem(whereTrigger + "not of the form module:submodule:problem:type");
      continue;
    }
    EModuleIdentifier module = ModuleFromName(parts[0]);
    ESubModuleIdentifier subModule = SubModuleFromName(parts[1]);
    EProblemIdentifier problem = ProblemFromName(parts[2]);
    if (module == emiUnknown || subModule == esmiUnknown || problem == epiUnknown) {
      const char* kind = module == emiUnknown ? "module" : subModule == esmiUnknown ? "submodule" : "problem";
      ReportProblem(whereTrigger + "unknown " + kind + " name");
      continue;
    }
    uint32_t code = static_cast<uint32_t>(subModule) | static_cast<uint32_t>(module) | static_cast<uint32_t>(problem);
    int type = ReadNumber(parts[3].c_str());
    if (code == error.Code() && type == error.Type()) {
      ReportProblem("Error " + id + " links to itself");
      continue;
    }
    // A reference to an error the catalogue does not hold is not a fault: modules may be left out.
    CError* target = FindError(code, type);
    if (target == nullptr) continue;
    triggerSet.AddTrigger(target);
    target->AddDependent(&error);
  }
}

}  // namespace Faultwright
