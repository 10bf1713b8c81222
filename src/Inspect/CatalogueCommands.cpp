#include "Inspect/CatalogueCommands.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/Patterns/CErrorPatterns.h"
#include "Common/TextExport/TextExport.h"
#include "Inspect/CommandSupport.h"
#include "Inspect/ConfigurationCheck.h"
#include "Inspect/SchemaValidation.h"

namespace Faultwright {

namespace {

const char kTopSchema[] = "FaultwrightConfig.xsd";
const char kModuleSchema[] = "Module.xsd";
const char kPatternsSchema[] = "ErrorPatterns.xsd";

std::string Counted(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

int RunCheck(const CArguments& arguments) {
  std::string directory;
  std::string schemas;
  std::string failure;
  if (!OpenConfigurationDirectory(arguments.Positional(0), directory)) return kUsageStatus;
  if (!SchemaDirectory(schemas, failure)) {
    ReportFailure(failure);
    return kUsageStatus;
  }
  // The loader's lines come back below with the others, in the same form.
  auto catalogue = std::make_unique<CErrorDatabase>(directory, nullptr);
  CErrorPatterns patterns(directory);
  std::vector<std::string> files;
  std::vector<std::string> found;
  std::vector<TreeCost> costs;
  CheckCatalogue(*catalogue, directory, files, found, costs);

  std::vector<std::string> problems;
  files.push_back(directory + CErrorPatterns::kFileName);
  for (size_t i = 0; i < files.size(); ++i) {
    const char* schema = i == 0 ? kTopSchema : i + 1 == files.size() ? kPatternsSchema : kModuleSchema;
    if (!ValidateFile(files[i], schemas + schema, problems, failure)) {
      ReportFailure(failure);
      return kUsageStatus;
    }
  }
  problems.insert(problems.end(), catalogue->LoadProblems().begin(), catalogue->LoadProblems().end());
  problems.insert(problems.end(), found.begin(), found.end());
  CheckPatterns(*catalogue, directory, problems);

  size_t warnings = 0;
  for (const std::string& problem : problems) warnings += IsWarning(problem);
  const size_t faults = problems.size() - warnings;
  if (arguments.Has("--json")) {
    std::printf("%s\n", CheckToJson(arguments.Positional(0), catalogue->Errors().size(), patterns.Patterns().size(),
                                    problems, costs)
                            .c_str());
    std::fflush(stdout);
    return faults == 0 ? 0 : 1;
  }
  for (const std::string& problem : problems) std::fprintf(stderr, "%s\n", problem.c_str());
  std::fflush(stderr);
  for (const TreeCost& cost : costs) {
    std::printf("%s: %s, state code up to %s digits, %s texts\n", cost.error.c_str(),
                Counted(static_cast<size_t>(cost.levels), "level").c_str(), Figure(cost.stateCodeDigits).c_str(),
                Figure(cost.texts).c_str());
  }
  const std::string warned = warnings == 0 ? "" : ", " + Counted(warnings, "warning");
  if (faults != 0) {
    std::printf("%s: %s%s\n", arguments.Positional(0).c_str(), Counted(faults, "problem").c_str(), warned.c_str());
    return 1;
  }
  std::printf("%s: %s, %s, no problems%s\n", arguments.Positional(0).c_str(),
              Counted(catalogue->Errors().size(), "error").c_str(),
              Counted(patterns.Patterns().size(), "pattern").c_str(), warned.c_str());
  return 0;
}

int RunTree(const CArguments& arguments) {
  std::string directory;
  if (!OpenConfigurationDirectory(arguments.Positional(0), directory)) return 1;
  CErrorDatabase(directory).PrintErrorTree(arguments.Has("--all"));
  return 0;
}

int RunList(const CArguments& arguments) {
  std::string directory;
  if (!OpenConfigurationDirectory(arguments.Positional(0), directory)) return 1;
  CErrorDatabase(directory).PrintErrorList();
  return 0;
}

int RunExport(const CArguments& arguments) {
  std::string directory;
  if (!OpenConfigurationDirectory(arguments.Positional(0), directory)) return 1;
  CErrorDatabase catalogue(directory);
  const std::string& fileName = arguments.Positional(1);
  if (!ExportTexts(catalogue.Errors(), fileName)) return ReportFailure("cannot write " + fileName);
  std::printf("%s exported to %s\n", Counted(catalogue.Errors().size(), "error").c_str(), fileName.c_str());
  return 0;
}

}  // namespace Faultwright
