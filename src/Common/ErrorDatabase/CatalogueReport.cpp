// The catalogue report: trees of the errors that nothing triggers, and the
// list of every error's names, on standard output one flushed line at a time.
#include <cstdio>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"

namespace Faultwright {

namespace {

void PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
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

}  // namespace

void CErrorDatabase::PrintErrorTree(bool all) const {
  std::vector<char> onPath(errors_.size(), 0);
  for (const CError* error : indexedErrors_) {
    if (error->TriggerSets().empty() && !all) continue;
    if (!error->Dependents().empty()) continue;
    PrintLine(TriggerLine(*error) + (error->IsVisible() ? " visible" : " not visible"));
    onPath[error - errors_.data()] = 1;
    PrintTriggerSets(*error, "---", onPath);
    onPath[error - errors_.data()] = 0;
    PrintLine("");
  }
}

void CErrorDatabase::PrintTriggerSets(const CError& error, const std::string& indent, std::vector<char>& onPath) const {
  for (const CTriggerSet& triggerSet : error.TriggerSets()) {
    bool shallow = triggerSet.ErrorLinking() == eelShallow;
    const std::string prefix = shallow ? std::string(indent.size(), ' ') : indent;
    const std::string childIndent = prefix + (shallow ? "   " : "---");
    bool first = true;
    for (const CError* trigger : triggerSet.Triggers()) {
      if (first) PrintLine(SetHeaderLine(indent, triggerSet));
      first = false;
      PrintLine(prefix + TriggerLine(*trigger));
      char& visiting = onPath[trigger - errors_.data()];
      // A trigger already on the way down closes a cycle: shown, not followed again.
      if (trigger->TriggerSets().empty() || visiting) continue;
      visiting = 1;
      PrintTriggerSets(*trigger, childIndent, onPath);
      visiting = 0;
    }
  }
}

void CErrorDatabase::PrintErrorList() const {
  for (const CError* error : indexedErrors_) {
    PrintLine("+" + ModuleName(error->Module()));
    PrintLine("|--+" + SubModuleName(error->SubModule()));
    PrintLine("|  ---+" + ProblemName(error->Problem()));
    PrintLine("|     --->" + std::to_string(error->Type()));
  }
}

}  // namespace Faultwright
