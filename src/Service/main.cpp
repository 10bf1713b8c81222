// fwservice: the unit's diagnostic service.
#include <cstdio>
#include <string>

#include "Service/CDiagnosticService.h"
#include "Service/CServiceOptions.h"

int main(int argc, char** argv) {
  Faultwright::CServiceOptions options;
  std::string problem;
  if (!options.Parse(argc, argv, problem)) {
    std::fprintf(stderr, "fwservice: %s\n%s", problem.c_str(), Faultwright::CServiceOptions::Usage());
    return Faultwright::CServiceOptions::kUsageStatus;
  }
  if (options.help || options.version) {
    std::fputs(options.help ? Faultwright::CServiceOptions::Usage() : Faultwright::CServiceOptions::Version(), stdout);
    return 0;
  }
  return Faultwright::CDiagnosticService(options, stdout, stderr).Run();
}
