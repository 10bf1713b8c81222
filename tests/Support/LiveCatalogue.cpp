#include "Support/LiveCatalogue.h"

#include <unistd.h>

#include <climits>
#include <stdexcept>

#include "Common/Patterns/CErrorPatterns.h"
#include "Common/Summaries/ErrorSummaries.h"
#include "Identifiers/Identifiers.h"
#include "Support/SharedSegment.h"

namespace FaultwrightTest {

using Faultwright::CError;

std::string ErrorXml(const std::string& name, const std::string& attributes, const std::string& triggerSets) {
  const std::string::size_type colon = name.rfind(':');
  return "<Problem identifier='" + name.substr(0, colon) + "'><Error identifier='" + name.substr(colon + 1) +
         "' severity='Medium' " + attributes + "><Text type='problem' text='problem of " + name +
         "'/><Text type='solution' text='solution of " + name + "'/><Text type='shortProblem' text='short " + name +
         "'/><Text type='title' text='title " + name + "'/>" +
         (triggerSets.empty() ? "" : "<TriggerSets>" + triggerSets + "</TriggerSets>") + "</Error></Problem>";
}

std::string TriggerSetXml(const std::vector<std::string>& options, const std::vector<std::string>& triggers) {
  std::string xml = "<TriggerSet><Options>";
  for (const std::string& option : options) {
    std::string::size_type equals = option.find('=');
    xml += "<Option name='" + option.substr(0, equals) + "' value='" + option.substr(equals + 1) + "'/>";
  }
  xml += "</Options><Triggers>";
  for (const std::string& trigger : triggers) xml += "<Trigger id='GPS:GPS:" + trigger + "'/>";
  return xml + "</Triggers></TriggerSet>";
}

LiveCatalogue::LiveCatalogue(const std::string& errorsXml, const std::string& patternsXml) {
  config_.Write(Faultwright::CErrorDatabase::kTopFileName,
                "<Faultwright><ErrorList><Module identifier='GPS' file='Gps.xml'/></ErrorList></Faultwright>");
  config_.Write("Gps.xml", "<Module><SubModule identifier='GPS'>" + errorsXml + "</SubModule></Module>");
  config_.Write(Faultwright::CErrorPatterns::kFileName, "<Patterns>" + patternsXml + "</Patterns>");
  catalogue_ = std::make_unique<Faultwright::CErrorDatabase>(config_.Path(), nullptr);

  char previous[PATH_MAX];
  if (getcwd(previous, sizeof previous) == nullptr || chdir(work_.Path().c_str()) != 0) {
    throw std::runtime_error("cannot enter a private working directory");
  }
  previousDirectory_ = previous;
  owner_ = std::make_unique<Faultwright::CErrorDatabaseView>(true, 1);
  reader_ = std::make_unique<Faultwright::CErrorDatabaseView>(false, 0);
  owner_->SetErrors(*catalogue_);
  owner_->SetEnabled(true);
  reader_->Update(*catalogue_);
}

LiveCatalogue::~LiveCatalogue() {
  // The key must be taken in the private directory that made it.
  RemoveSharedSegment(".");
  if (chdir(previousDirectory_.c_str()) != 0) std::perror("LiveCatalogue chdir");
}

CError* LiveCatalogue::Find(const std::string& name) {
  for (CError* error : catalogue_->IndexedErrors()) {
    if (Faultwright::ErrorIdentifierText(error->Code(), error->Type()) == "GPS:GPS:" + name) return error;
  }
  throw std::runtime_error("no error " + name);
}

void LiveCatalogue::Raise(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const bool clear = name[0] == '-';
    const CError* error = Find(clear ? name.substr(1) : name);
    clear ? owner_->ClearError(error->Code(), error->Type()) : owner_->RaiseError(error->Code(), error->Type());
  }
  reader_->Update(*catalogue_);
}

Faultwright::CErrorSummary LiveCatalogue::Summary(const std::string& name, bool useTextKeys) {
  std::vector<Faultwright::CErrorSummary> summaries;
  Faultwright::BuildErrorSummaries(*reader_, Faultwright::CErrorPatterns(config_.Path()), {Find(name)}, summaries,
                                   useTextKeys);
  return summaries.at(0);
}

}  // namespace FaultwrightTest
