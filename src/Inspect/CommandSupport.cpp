#include "Inspect/CommandSupport.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Faultwright {

int ReportFailure(const std::string& message) {
  std::fprintf(stderr, "fwinspect: %s\n", message.c_str());
  std::fflush(stderr);
  return 1;
}

bool OpenConfigurationDirectory(const std::string& argument, std::string& directory) {
  directory = argument;
  if (!directory.empty() && directory.back() != '/') directory += '/';
  const std::string topFile = directory + "FaultwrightConfig.xml";
  std::FILE* file = std::fopen(topFile.c_str(), "r");
  if (file == nullptr) {
    ReportFailure("cannot read " + topFile + ": " + std::strerror(errno));
    return false;
  }
  std::fclose(file);
  return true;
}

}  // namespace Faultwright
