#include "Common/ErrorDatabase/CErrorDatabase.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <unordered_map>
#include <utility>

#include "Common/ErrorDatabase/ErrorAttributes.h"
#include "Common/ErrorDatabase/TriggerReference.h"
#include "Platform/Core/IO/FileLines.h"
#include "Platform/Core/IO/XMLDocument.h"
#include "Platform/Core/Utilities/Quoted.h"

namespace Faultwright {

namespace {

using Core::IO::XMLNode;
using Core::Utilities::Quoted;

// Orders by code, then type, both ascending; the type is signed, so its sign
// bit is flipped to sort as unsigned.
uint64_t PackKey(uint32_t code, int32_t type) {
  return (uint64_t{code} << 32) | (static_cast<uint32_t>(type) ^ 0x80000000u);
}

const char* PlainAttribute(const XMLNode& node, const char* name, const char* fallback) {
  const char* value = node.FindAttribute(name);
  return value != nullptr ? value : fallback;
}

// A Text element's "type" and "text" (empty when absent), in one pass over
// its attributes; the first of two equal names counts.
void ReadText(const XMLNode& node, const char*& type, const char*& text) {
  type = nullptr;
  text = nullptr;
  node.ForEachAttribute([&type, &text](const char* name, const char* value) {
    if (type == nullptr && std::strcmp(name, "type") == 0) type = value;
    if (text == nullptr && std::strcmp(name, "text") == 0) text = value;
  });
  if (type == nullptr) type = "";
  if (text == nullptr) text = "";
}

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

// What lives only while the catalogue is built. Each module file is read in
// one pass and released at once; its trigger sets wait here, options applied
// and trigger references parsed, until every record exists and is indexed.
struct CErrorDatabase::Loading {
  struct PendingTrigger {
    uint32_t code;
    int type;
  };
  struct PendingTriggerSet {
    int index;  // of the record that gets the set
    CTriggerSet triggerSet;
    size_t firstTrigger;  // its references in pendingTriggers
    size_t triggerCount;
  };

  std::deque<Core::IO::FileLines> files;          // every file read, in order
  Core::IO::FileLines* file = nullptr;            // the file being read
  std::vector<Core::IO::FileLines*> recordFiles;  // by record index
  std::vector<long> recordOffsets;                // of the Error elements, by record index
  std::vector<uint64_t> keys;                     // by record index
  std::vector<PendingTriggerSet> pendingTriggerSets;
  std::vector<PendingTrigger> pendingTriggers;
  std::unordered_map<std::string, EProblemType> types;  // identifier to type, as met
  const CError* error = nullptr;                        // the record whose trigger sets are read
  std::string triggerId;                                // reused for every Trigger
  TriggerReference reference;

  // ProblemTypeFromName, remembered: a catalogue uses few distinct identifiers.
  EProblemType TypeOf(const char* identifier) {
    auto [entry, isNew] = types.try_emplace(identifier, eptUnknown);
    if (isNew) entry->second = ProblemTypeFromName(entry->first);
    return entry->second;
  }

  // "FILE:LINE:COLUMN" of an element of the file being read.
  std::string Place(const XMLNode& node) const { return file->Place(node.Offset()); }
  std::string RecordPlace(size_t index) const { return recordFiles[index]->Place(recordOffsets[index]); }
  // The start of a message about an element of the trigger sets being read.
  std::string Where(const XMLNode& node) const {
    return Place(node) + ": Error " + Quoted(ErrorIdentifierText(error->Code(), error->Type())) + ": ";
  }
};

CErrorDatabase::CErrorDatabase(const std::string& configDirectory, std::FILE* problemOutput)
    : problemOutput_(problemOutput) {
  Loading loading;
  const std::string topPath = configDirectory + kTopFileName;
  Core::IO::XMLDocument topDocument;
  Core::IO::FileLines topLines(topPath);
  if (!topDocument.Parse(topPath)) {
    // No top file at all is an unconfigured catalogue, not a fault.
    if (topDocument.FileOpened()) {
      ReportProblem(topLines.Place(topDocument.ParseErrorOffset()) + ": " + topDocument.ParseError());
    }
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
      ReportProblem(topLines.Place(entry.Offset()) + ": " + Misplaced(entry, "ErrorList", "Module"));
      continue;
    }
    std::string name = entry.Attribute("identifier");
    EModuleIdentifier module = ModuleFromName(name);
    if (module == emiUnknown) {
      ReportProblem(topLines.Place(entry.Offset()) + ": Module " + Quoted(name) + ": unknown module name");
      continue;
    }
    LoadModule(loading, module, name, configDirectory + entry.Attribute("file"), topLines.Place(entry.Offset()));
  }

  BuildIndex(loading.keys);
  ResolveTriggers(loading);
  UpdateWeights([&loading](size_t index) { return loading.RecordPlace(index); });
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

void CErrorDatabase::ReportProblem(const std::string& line, const std::string& keptPlace) {
  if (problemOutput_ != nullptr) {
    std::fprintf(problemOutput_, "%s\n", line.c_str());
    std::fflush(problemOutput_);
  }
  loadProblems_.push_back(keptPlace + line);
}

void CErrorDatabase::LoadModule(Loading& loading, EModuleIdentifier module, const std::string& moduleName,
                                const std::string& path, const std::string& entryPlace) {
  loading.files.emplace_back(path);
  loading.file = &loading.files.back();
  const std::string whereModule = "Module " + Quoted(moduleName);
  Core::IO::XMLDocument document;
  if (!document.Parse(path)) {
    // A file that is not there has no place of its own: the mistake is in its entry.
    ReportProblem(document.FileOpened() ? loading.file->Place(document.ParseErrorOffset()) + ": " + whereModule + ": " +
                                              document.ParseError()
                                        : entryPlace + ": " + whereModule + ": " + path + ": " + document.ParseError());
    return;
  }
  std::optional<XMLNode> top = document.RootNode().Child("Module");
  if (!top) {
    ReportProblem(path + ": " + whereModule + ": no Module element");
    return;
  }
  ReserveRecords(*top);
  for (XMLNode child : top->Children()) {
    if (!child.IsNamed("SubModule")) {
      ReportProblem(loading.Place(child) + ": " + Misplaced(child, whereModule.c_str(), "SubModule"));
      continue;
    }
    std::string name = child.Attribute("identifier");
    ESubModuleIdentifier subModule = SubModuleFromName(name);
    if (subModule == esmiUnknown) {
      ReportProblem(loading.Place(child) + ": SubModule " + Quoted(name) + ": unknown submodule name");
      continue;
    }
    LoadSubModule(loading, module, subModule, child);
  }
}

void CErrorDatabase::ReserveRecords(const XMLNode& moduleNode) {
  // Records are large; growing the storage room by room would move each one
  // several times on a large catalogue.
  size_t needed = errors_.size();
  for (XMLNode subModule : moduleNode.Children()) {
    for (XMLNode problem : subModule.Children()) {
      for (XMLNode error : problem.Children()) needed += error.IsNamed("Error");
    }
  }
  if (needed > errors_.capacity()) errors_.reserve(std::max(needed, 2 * errors_.capacity()));
}

void CErrorDatabase::LoadSubModule(Loading& loading, EModuleIdentifier module, ESubModuleIdentifier subModule,
                                   const XMLNode& subModuleNode) {
  const std::string whereSubModule = "SubModule " + Quoted(SubModuleName(subModule));
  for (XMLNode problemNode : subModuleNode.Children()) {
    if (!problemNode.IsNamed("Problem")) {
      ReportProblem(loading.Place(problemNode) + ": " + Misplaced(problemNode, whereSubModule.c_str(), "Problem"));
      continue;
    }
    std::string name = problemNode.Attribute("identifier");
    EProblemIdentifier problem = ProblemFromName(name);
    if (problem == epiUnknown) {
      ReportProblem(loading.Place(problemNode) + ": Problem " + Quoted(name) + " in " + whereSubModule +
                    ": unknown problem name");
      continue;
    }
    const std::string whereProblem = "Problem " + Quoted(name);
    uint32_t code = static_cast<uint32_t>(module) | static_cast<uint32_t>(subModule) | static_cast<uint32_t>(problem);
    for (XMLNode errorNode : problemNode.Children()) {
      if (!errorNode.IsNamed("Error")) {
        ReportProblem(loading.Place(errorNode) + ": " + Misplaced(errorNode, whereProblem.c_str(), "Error"));
        continue;
      }
      LoadError(loading, code, errorNode);
    }
  }
}

void CErrorDatabase::LoadError(Loading& loading, uint32_t code, const XMLNode& errorNode) {
  const ErrorAttributes attributes(errorNode);
  const char* identifier = attributes.Identifier();
  // Messages are built only when there is a fault to report.
  auto fault = [&](const std::string& what) {
    ReportProblem(loading.Place(errorNode) + ": Error " + Quoted(ErrorName(code, identifier)) + ": " + what);
  };
  if (*identifier == '\0') return fault("no identifier");
  const char* severityName = attributes.Severity();
  EErrorSeverity severity = ErrorSeverityFromName(severityName);
  if (severity == eesUnknown) return fault("unknown severity " + Quoted(severityName));

  // The texts are checked before any record exists: a faulty Error leaves no trace.
  const char* texts[4] = {nullptr, nullptr, nullptr, nullptr};  // problem, solution, shortProblem, title
  static const char* const kTextTypes[4] = {"problem", "solution", "shortProblem", "title"};
  std::optional<XMLNode> triggerSetsNode;
  for (XMLNode child : errorNode.Children()) {
    if (child.IsNamed("Text")) {
      const char* type;
      const char* text;
      ReadText(child, type, text);
      if (*type == '\0') return fault("Text without type");
      if (*text == '\0') return fault("Text " + Quoted(type) + " without text");
      for (int i = 0; i < 4; ++i) {
        if (type[0] == kTextTypes[i][0] && std::strcmp(type, kTextTypes[i]) == 0) texts[i] = text;
      }
    } else if (child.IsNamed("TriggerSets")) {
      triggerSetsNode = child;
    } else if (!child.IsNamed("ServiceDescription")) {
      return fault("unexpected element " + Quoted(child.Name()));
    }
  }
  if (texts[0] == nullptr) return fault("no problem text");
  if (texts[1] == nullptr) return fault("no solution text");
  if (texts[2] == nullptr) return fault("no short problem text");

  errors_.emplace_back(*this, static_cast<EModuleIdentifier>(code & 0xFF0000u),
                       static_cast<ESubModuleIdentifier>(code & 0xFF00u), static_cast<EProblemIdentifier>(code & 0xFFu),
                       loading.TypeOf(identifier), severity, attributes.Visible(), attributes.FullScreen(),
                       attributes.ForceShutdown(), attributes.IncludeServiceNumber(), attributes.ShouldBeep(),
                       attributes.ShouldBeepIfGuiding(), attributes.Timeout());
  CError& error = errors_.back();
  error.SetProblemText(texts[0]);
  error.SetSolutionText(texts[1]);
  error.SetShortProblemText(texts[2]);
  if (texts[3] != nullptr) error.SetTitleText(texts[3]);

  loading.keys.push_back(PackKey(error.Code(), error.Type()));
  loading.recordFiles.push_back(loading.file);
  loading.recordOffsets.push_back(errorNode.Offset());
  if (triggerSetsNode) LoadTriggerSet(loading, static_cast<int>(errors_.size()) - 1, *triggerSetsNode);
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
  loading.error = &errors_[index];
  for (XMLNode setNode : triggerSetsNode.Children()) {
    if (!setNode.IsNamed("TriggerSet")) {
      ReportProblem(loading.Where(setNode) + Misplaced(setNode, "TriggerSets", "TriggerSet"));
      continue;
    }
    loading.pendingTriggerSets.push_back(
        {index, CTriggerSet(false, 1, eelDeep, etsParent), loading.pendingTriggers.size(), 0});
    bool optionsSound = true;
    for (XMLNode child : setNode.Children()) {
      if (child.IsNamed("Options")) {
        optionsSound &= LoadTriggerSetOptions(loading, loading.pendingTriggerSets.back().triggerSet, child);
      } else if (child.IsNamed("Triggers")) {
        LoadTriggerSetTriggers(loading, child);
      }
    }
    Loading::PendingTriggerSet& pending = loading.pendingTriggerSets.back();
    if (!optionsSound) {
      // Without the option the set would mean something else (fire on the
      // first of three triggers, say): it is left out whole.
      loading.pendingTriggers.resize(pending.firstTrigger);
      loading.pendingTriggerSets.pop_back();
      continue;
    }
    pending.triggerCount = loading.pendingTriggers.size() - pending.firstTrigger;
  }
}

bool CErrorDatabase::LoadTriggerSetOptions(Loading& loading, CTriggerSet& triggerSet, const XMLNode& optionsNode) {
  bool sound = true;
  for (XMLNode option : optionsNode.Children()) {
    if (!option.IsNamed("Option")) {
      ReportProblem(loading.Where(option) + Misplaced(option, "Options", "Option"));
      sound = false;
      continue;
    }
    const char* name = PlainAttribute(option, "name", "");
    const char* value = PlainAttribute(option, "value", "");
    if (*name == '\0') {
      ReportProblem(loading.Where(option) + "Option without name");
      sound = false;
    } else if (*value == '\0') {
      ReportProblem(loading.Where(option) + "Option " + Quoted(name) + " without value");
      sound = false;
    } else if (std::strcmp(name, "autoTrigger") == 0) {
      triggerSet.SetAutoTrigger(ErrorAttributes::IsYes(value));
    } else if (std::strcmp(name, "triggersNeeded") == 0) {
      triggerSet.SetTriggersNeeded(ErrorAttributes::ReadNumber(value));
    } else if (std::strcmp(name, "errorLinking") == 0) {
      if (std::strcmp(value, "verbose") == 0) triggerSet.SetErrorLinking(eelVerbose);
      if (std::strcmp(value, "shallow") == 0) triggerSet.SetErrorLinking(eelShallow);
      if (std::strcmp(value, "childOnly") == 0) triggerSet.SetErrorLinking(eelChildOnly);
    } else if (std::strcmp(name, "titleSource") == 0) {
      if (std::strcmp(value, "trigger") == 0) triggerSet.SetTitleSource(etsTrigger);
    } else if (std::strcmp(name, "fullScreen") == 0) {
      triggerSet.SetFullScreen(ErrorAttributes::IsYes(value));
    }
  }
  return sound;
}

void CErrorDatabase::LoadTriggerSetTriggers(Loading& loading, const XMLNode& triggersNode) {
  const CError& error = *loading.error;
  std::string& id = loading.triggerId;
  for (XMLNode trigger : triggersNode.Children()) {
    if (!trigger.IsNamed("Trigger")) {
      ReportProblem(loading.Where(trigger) + Misplaced(trigger, "Triggers", "Trigger"));
      continue;
    }
    id.assign(PlainAttribute(trigger, "id", ""));
    if (id.empty()) {
      ReportProblem(loading.Where(trigger) + "Trigger without id");
      continue;
    }
    TriggerReference::Result result = loading.reference.Parse(id);
    if (result != TriggerReference::kResolved) {
      static const char* const kFaults[] = {"", "not of the form module:submodule:problem:type", "unknown module name",
                                            "unknown submodule name", "unknown problem name"};
      ReportProblem(loading.Where(trigger) + "Trigger " + Quoted(id) + ": " + kFaults[result]);
      continue;
    }
    uint32_t code = loading.reference.Code();
    int type = loading.reference.Type();
    if (code == error.Code() && type == error.Type()) {
      // The designed line, bare on standard error; kept with its place.
      ReportProblem("Error " + id + " links to itself", loading.Place(trigger) + ": ");
      continue;
    }
    loading.pendingTriggers.push_back({code, type});
  }
}

void CErrorDatabase::ResolveTriggers(Loading& loading) {
  for (Loading::PendingTriggerSet& pending : loading.pendingTriggerSets) {
    CError& error = errors_[pending.index];
    for (size_t i = pending.firstTrigger; i < pending.firstTrigger + pending.triggerCount; ++i) {
      // A reference to an error the catalogue does not hold is not a fault: modules may be left out.
      CError* target = FindError(loading.pendingTriggers[i].code, loading.pendingTriggers[i].type);
      if (target == nullptr) continue;
      pending.triggerSet.AddTrigger(target);
      target->AddDependent(&error);
    }
    error.AddTriggerSet(std::move(pending.triggerSet));
  }
}

}  // namespace Faultwright
