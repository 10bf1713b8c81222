// A catalogue of GPS:GPS errors loaded from XML written for the test, with an
// owner and a reader view of its live states in a shared segment of its own:
// while it lives, the working directory is a fresh temporary one, so the
// segment's key is private; the segment and semaphore are removed afterwards.
//
// Errors are named by problem name and type, "Data:3" for GPS:GPS:Data:3.
// Summary builds what the reader view and the catalogue's patterns give.
#ifndef FAULTWRIGHT_TESTS_SUPPORT_LIVECATALOGUE_H
#define FAULTWRIGHT_TESTS_SUPPORT_LIVECATALOGUE_H

#include <memory>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/Summaries/CErrorSummary.h"
#include "Common/View/CErrorDatabaseView.h"
#include "Support/TestSupport.h"

namespace FaultwrightTest {

// One Problem element holding one Error of severity Medium with the texts
// "problem of <name>", "solution of <name>", "short <name>" and "title <name>",
// the given attributes and trigger sets.
std::string ErrorXml(const std::string& name, const std::string& attributes = "", const std::string& triggerSets = "");
// One TriggerSet: Option elements from "name=value" pairs, Trigger elements
// from error names.
std::string TriggerSetXml(const std::vector<std::string>& options, const std::vector<std::string>& triggers);

class LiveCatalogue {
 public:
  // errorsXml: the Problem elements of the GPS submodule.
  explicit LiveCatalogue(const std::string& errorsXml, const std::string& patternsXml = "");
  ~LiveCatalogue();

  Faultwright::CErrorDatabase& Catalogue() { return *catalogue_; }
  Faultwright::CErrorDatabaseView& Owner() { return *owner_; }
  Faultwright::CErrorDatabaseView& Reader() { return *reader_; }
  const std::string& ConfigDirectory() const { return config_.Path(); }

  Faultwright::CError* Find(const std::string& name);
  // Raises the named errors through the owner, in order, and clears those
  // named with a leading "-"; then lets the reader and its catalogue take the
  // change in.
  void Raise(const std::vector<std::string>& names);
  Faultwright::CErrorSummary Summary(const std::string& name, bool useTextKeys = false);
  const std::vector<Faultwright::CError*>& TopLevelErrors() { return catalogue_->TopLevelErrors(false); }

 private:
  TempDirectory config_;
  TempDirectory work_;
  std::string previousDirectory_;
  std::unique_ptr<Faultwright::CErrorDatabase> catalogue_;
  std::unique_ptr<Faultwright::CErrorDatabaseView> owner_;
  std::unique_ptr<Faultwright::CErrorDatabaseView> reader_;
};

}  // namespace FaultwrightTest

#endif  // FAULTWRIGHT_TESTS_SUPPORT_LIVECATALOGUE_H
