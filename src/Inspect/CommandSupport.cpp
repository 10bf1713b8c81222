#include "Inspect/CommandSupport.h"

#include <fcntl.h>
#include <unistd.h>

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

CQuietStandardError::CQuietStandardError() {
  std::fflush(stderr);
  const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (nowhere == -1) return;
  saved_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
  if (saved_ != -1 && dup2(nowhere, STDERR_FILENO) == -1) {
    close(saved_);
    saved_ = -1;
  }
  close(nowhere);
}

CQuietStandardError::~CQuietStandardError() {
  if (saved_ == -1) return;
  std::fflush(stderr);
  // Nothing is left to tell, should this fail: standard error is gone.
  (void)dup2(saved_, STDERR_FILENO);
  close(saved_);
}

}  // namespace Faultwright
