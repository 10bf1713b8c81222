// CErrorDatabase: the error catalogue of the unit, loaded in one go from a
// configuration directory, and the live state of its errors.
//
// The constructor reads configDirectory + "FaultwrightConfig.xml" (the
// directory path ends in "/", or is empty for the working directory) and the
// module files it lists, and builds one CError per valid Error element. A
// faulty element is skipped whole, never half-trusted: the smallest element
// that holds the fault (a Trigger, the TriggerSet of a faulty Option, an Error,
// a SubModule or Problem with all it holds, a Module entry) is left out, one
// line naming the place ("FILE:LINE:COLUMN: ", or "FILE: " for a whole file),
// the element and the fault goes to problemOutput (standard error unless
// given; nothing is written where it is null), and LoadProblems() keeps the
// line; so does a file that is not well-formed XML, which contributes
// nothing. A module file that cannot be opened is reported at its entry in
// the top file. A trigger naming its own error gives the bare line
// "Error <id> links to itself", which LoadProblems() keeps after its place; a
// cycle of trigger references is reported the
// same way but kept, with finite weights.
//
// After construction the set of records never changes and records never move,
// so pointers to them stay valid for the catalogue's life. Two Error elements
// with the same (code, type) both become records; FindError finds the later.
// Not copyable: records point to their catalogue and to one another. Used by
// one thread at a time.
//
// Loading, the index and FindError live in CErrorDatabase.cpp, the weights in
// CatalogueWeights.cpp, the report in CatalogueReport.cpp; the live-state
// operations in ErrorActivation.cpp and TopLevelErrors.cpp.
#ifndef FAULTWRIGHT_COMMON_ERRORDATABASE_CERRORDATABASE_H
#define FAULTWRIGHT_COMMON_ERRORDATABASE_CERRORDATABASE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CError.h"
#include "Common/ErrorDatabase/CErrorDatabaseListener.h"
#include "Common/ErrorDatabase/CTriggerSet.h"
#include "Identifiers/Identifiers.h"
#include "Platform/Core/IO/XMLNode.h"

namespace Faultwright {

class CErrorDatabase {
 public:
  // The top file of a configuration directory, which lists the module files.
  static constexpr const char* kTopFileName = "FaultwrightConfig.xml";

  explicit CErrorDatabase(const std::string& configDirectory, std::FILE* problemOutput = stderr);
  CErrorDatabase(const CErrorDatabase&) = delete;
  CErrorDatabase& operator=(const CErrorDatabase&) = delete;

  // Every record in load order; a record's position is its index.
  const std::vector<CError>& Errors() const { return errors_; }
  // The records that (code, type) finds, ascending by code, then type; a
  // record replaced by a later duplicate is not among them.
  const std::vector<CError*>& IndexedErrors() const { return indexedErrors_; }
  // One line per fault found while loading, in the order met; empty for a
  // sound catalogue.
  const std::vector<std::string>& LoadProblems() const { return loadProblems_; }

  // The record indexed under (code, type), or null. Logarithmic time.
  CError* FindError(unsigned code, int type);
  const CError* FindError(unsigned code, int type) const;

  // Live state. RaiseError and ClearError mark the named error changed and
  // raise or clear it if needed; an unknown (code, type) changes nothing.
  void RaiseError(unsigned code, int type, bool silent);
  void ClearError(unsigned code, int type, bool silent);
  // Replaces the listener (not owned); null removes it.
  void SetListener(CErrorDatabaseListener* listener);
  void NotifyRaised(unsigned code, EProblemType type);
  void NotifyCleared(unsigned code, EProblemType type);
  // Chooses the heaviest error of each group of directly linked errors among
  // the active ones, the changed active ones and the changed inactive ones,
  // and resets every changed flag.
  void UpdateTopLevelErrors();
  const std::vector<CError*>& TopLevelErrors(bool changedOnly) const;
  const std::vector<CError*>& ClearedTopLevelErrors() const;

  // The report on out (standard output unless given), one flushed line at a
  // time. PrintErrorTree shows every error that nothing triggers with its
  // trigger tree below it (with all, also those without trigger sets);
  // PrintErrorList shows the names of every error. A trigger already on the
  // current path, or kMaxTriggerDepth levels down (CTriggerPath.h), is shown
  // but not followed, so a cyclic or very deep catalogue prints finitely.
  void PrintErrorTree(bool all, std::FILE* out = stdout) const;
  void PrintErrorList(std::FILE* out = stdout) const;

 private:
  struct Loading;

  // The steps of loading, each named after the element it handles. Every
  // fault is reported where it is met, in document order.
  // entryPlace: the place of the module's entry in the top file.
  void LoadModule(Loading& loading, EModuleIdentifier module, const std::string& moduleName, const std::string& path,
                  const std::string& entryPlace);
  // Makes room for every Error element of a module file at once.
  void ReserveRecords(const Core::IO::XMLNode& moduleNode);
  void LoadSubModule(Loading& loading, EModuleIdentifier module, ESubModuleIdentifier subModule,
                     const Core::IO::XMLNode& subModuleNode);
  void LoadError(Loading& loading, uint32_t code, const Core::IO::XMLNode& errorNode);
  void LoadTriggerSet(Loading& loading, int index, const Core::IO::XMLNode& triggerSetsNode);
  // False when an Option was faulty: the set is then not to be trusted.
  bool LoadTriggerSetOptions(Loading& loading, CTriggerSet& triggerSet, const Core::IO::XMLNode& optionsNode);
  void LoadTriggerSetTriggers(Loading& loading, const Core::IO::XMLNode& triggersNode);
  // Once every record exists and is indexed: links triggers and dependents.
  void ResolveTriggers(Loading& loading);
  void BuildIndex(const std::vector<uint64_t>& keys);
  // Weights in time linear in the number of links; reports every cycle of
  // trigger references at the place ("FILE:LINE:COLUMN") of the record's
  // Error element.
  void UpdateWeights(const std::function<std::string(size_t)>& recordPlace);
  // Writes the line to the problem output and keeps it, after keptPlace when the
  // line itself names no place ("FILE:LINE:COLUMN: ").
  void ReportProblem(const std::string& line, const std::string& keptPlace = std::string());

  std::FILE* problemOutput_;
  std::vector<CError> errors_;
  // The index: keys (code, type) packed so that they sort by code, then type,
  // and the records they name, in the same order.
  std::vector<uint64_t> indexKeys_;
  std::vector<CError*> indexedErrors_;
  CErrorDatabaseListener* listener_ = nullptr;
  std::vector<CError*> topLevelErrors_;
  std::vector<CError*> changedTopLevelErrors_;
  std::vector<CError*> clearedTopLevelErrors_;
  std::vector<std::string> loadProblems_;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_ERRORDATABASE_CERRORDATABASE_H
