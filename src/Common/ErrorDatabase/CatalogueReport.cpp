// The catalogue report: trees of the errors that nothing triggers, and the
// list of every error's names, one flushed line at a time.
#include <cstdio>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/ErrorDatabase/CTriggerPath.h"

namespace Faultwright {

namespace {

void PrintLine(std::FILE* out, const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), out);
  std::fputc('\n', out);
  std::fflush(out);
}

// "module:submodule:problem:type  (weight) [problem text]"
std::string TriggerLine(const CError& error) {
  return ErrorIdentifierText(error.Code(), error.Type()) + "  (" + std::to_string(error.Weight()) + ") [" +
         error.ProblemText() + "]";
}

std::string SetHeaderLine(const std::string& indent, const CTriggerSet& triggerSet) {
  return indent + "Trigger threshold is " +
         (triggerSet.AutoTrigger() ? std::to_string(triggerSet.TriggersNeeded()) : std::string("N/A")) +
         ". Linking mode is " + (triggerSet.ErrorLinking() == eelShallow ? "shallow." : "deep.") + " Title source is " +
         (triggerSet.TitleSource() == etsTrigger ? "trigger." : "parent.");
}

// Each trigger set of error: its header line, then each trigger with its own
// sets below it. A trigger is always shown; it is followed only where path lets.
void PrintTriggerSets(std::FILE* out, const CError& error, const std::string& indent, CTriggerPath& path) {
  path.Enter(&error);
  for (const CTriggerSet& triggerSet : error.TriggerSets()) {
    bool shallow = triggerSet.ErrorLinking() == eelShallow;
    const std::string prefix = shallow ? std::string(indent.size(), ' ') : indent;
    const std::string childIndent = prefix + (shallow ? "   " : "---");
    bool first = true;
    for (const CError* trigger : triggerSet.Triggers()) {
      if (first) PrintLine(out, SetHeaderLine(indent, triggerSet));
      first = false;
      PrintLine(out, prefix + TriggerLine(*trigger));
      if (path.MayEnter(trigger)) PrintTriggerSets(out, *trigger, childIndent, path);
    }
  }
  path.Leave();
}

}  // namespace

void CErrorDatabase::PrintErrorTree(bool all, std::FILE* out) const {
  CTriggerPath path;
  for (const CError* error : indexedErrors_) {
    if (error->TriggerSets().empty() && !all) continue;
    if (!error->Dependents().empty()) continue;
    PrintLine(out, TriggerLine(*error) + (error->IsVisible() ? " visible" : " not visible"));
    PrintTriggerSets(out, *error, "---", path);
    PrintLine(out, "");
  }
}

void CErrorDatabase::PrintErrorList(std::FILE* out) const {
  for (const CError* error : indexedErrors_) {
    PrintLine(out, "+" + ModuleName(error->Module()));
    PrintLine(out, "|--+" + SubModuleName(error->SubModule()));
    PrintLine(out, "|  ---+" + ProblemName(error->Problem()));
    PrintLine(out, "|     --->" + std::to_string(error->Type()));
  }
}

}  // namespace Faultwright
