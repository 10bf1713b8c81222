#include "Inspect/CommandSupport.h"

#include <cerrno>
#include <cstdio>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Platform/Core/SystemError.h"

namespace Faultwright {

void Report(const std::string& message) {
  std::fprintf(stderr, "fwinspect: %s\n", message.c_str());
  std::fflush(stderr);
}

int ReportFailure(const std::string& message) {
  Report(message);
  return 1;
}

bool OpenConfigurationDirectory(const std::string& argument, std::string& directory) {
  directory = argument;
  if (!directory.empty() && directory.back() != '/') directory += '/';
  const std::string topFile = directory + CErrorDatabase::kTopFileName;
  std::FILE* file = std::fopen(topFile.c_str(), "r");
  if (file == nullptr) {
    ReportFailure(Core::SystemError("cannot read " + topFile));
    return false;
  }
  std::fclose(file);
  return true;
}

}  // namespace Faultwright
