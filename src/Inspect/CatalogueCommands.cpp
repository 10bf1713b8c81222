#include "Inspect/CatalogueCommands.h"

#include <cstdio>
#include <string>
#include <vector>

#include "Common/CErrorPatterns.h"
#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/TextExport.h"
#include "Inspect/CommandSupport.h"
#include "Inspect/ConfigurationCheck.h"

namespace Faultwright {

namespace {

std::string Counted(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

int RunCheck(const CArguments& arguments) {
  std::string directory;
  if (!OpenConfigurationDirectory(arguments.Positional(0), directory)) return 1;
  // The loader writes its problems to standard error as it meets them.
  CErrorDatabase catalogue(directory);
  CErrorPatterns patterns(directory);
  std::vector<std::string> problems;
  CheckCatalogue(catalogue, directory, problems);
  CheckPatterns(catalogue, directory, problems);
  for (const std::string& problem : problems) std::fprintf(stderr, "%s\n", problem.c_str());
  std::fflush(stderr);

  const size_t count = catalogue.LoadProblems().size() + problems.size();
  if (count != 0) {
    std::printf("%s: %s\n", arguments.Positional(0).c_str(), Counted(count, "problem").c_str());
    return 1;
  }
  std::printf("%s: %s, %s, no problems\n", arguments.Positional(0).c_str(),
              Counted(catalogue.Errors().size(), "error").c_str(),
              Counted(patterns.Patterns().size(), "pattern").c_str());
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
