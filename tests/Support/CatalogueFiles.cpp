#include "Support/CatalogueFiles.h"

#include <sstream>

#include "Support/TestSupport.h"

namespace FaultwrightTest {

using Faultwright::CError;
using Faultwright::CErrorDatabase;

std::string DataPath(const std::string& name) { return FAULTWRIGHT_SOURCE_DIR "/tests/data/" + name; }

std::string DataFile(const std::string& name) { return ReadFile(DataPath(name)); }

std::unique_ptr<CErrorDatabase> LoadCatalogue(const std::string& directory, std::string* written) {
  std::unique_ptr<CErrorDatabase> catalogue;
  std::string text = WrittenBy([&](std::FILE* out) { catalogue = std::make_unique<CErrorDatabase>(directory, out); });
  if (written != nullptr) *written = text;
  return catalogue;
}

std::string ProblemLines(const CErrorDatabase& catalogue, const std::string& directory) {
  std::string lines;
  for (const std::string& line : catalogue.LoadProblems()) lines += line + "\n";
  for (size_t at; !directory.empty() && (at = lines.find(directory)) != std::string::npos;) {
    lines.erase(at, directory.size());
  }
  return lines;
}

std::string Records(const CErrorDatabase& catalogue) {
  std::ostringstream out;
  for (const CError& error : catalogue.Errors()) {
    out << Faultwright::ErrorIdentifierText(error.Code(), error.Type()) << " "
        << Faultwright::ErrorSeverityName(error.Severity()) << " " << error.Timeout() << " " << error.IsVisible()
        << error.IsFullScreen() << error.ForceShutdown() << error.IncludeServiceNumber() << error.ShouldBeep()
        << error.ShouldBeepIfGuiding() << " [" << error.ProblemText() << "|" << error.SolutionText() << "|"
        << error.ShortProblemText() << "|" << error.TitleText() << "] weight " << error.Weight() << " dependents "
        << error.Dependents().size();
    for (const Faultwright::CTriggerSet& set : error.TriggerSets()) {
      out << " {auto " << set.AutoTrigger() << " needed " << set.TriggersNeeded() << " linking " << set.ErrorLinking()
          << " title " << set.TitleSource() << " fullScreen " << (set.HasFullScreen() ? set.FullScreen() : -1) << ":";
      for (const CError* trigger : set.Triggers()) out << " " << trigger - catalogue.Errors().data();
      out << "}";
    }
    out << "\n";
  }
  return out.str();
}

std::string WithoutPlaces(const std::string& lines) {
  std::string result = lines;
  for (size_t at = result.find(':'); at != std::string::npos; at = result.find(':', at + 1)) {
    const size_t line = result.find_first_not_of("0123456789", at + 1);
    if (line == at + 1 || line == std::string::npos || result[line] != ':') continue;
    const size_t column = result.find_first_not_of("0123456789", line + 1);
    if (column == line + 1 || column == std::string::npos || result.compare(column, 2, ": ") != 0) continue;
    result.erase(at, column - at);
  }
  return result;
}

}  // namespace FaultwrightTest
