// fwservice: the unit's diagnostic service.
#include <cstdio>
#include <string>

#include "Service/CDiagnosticService.h"
#include "Service/CServiceOptions.h"

int main(int argc, char** argv) {
  Faultwright::CServiceOptions options;
  std::string problem;
  if (!options.Parse(argc, argv, &problem)) {
    std::fprintf(stderr, "fwservice: %s\n%s", problem.c_str(), Faultwright::CServiceOptions::Usage());
    return 1;
  }
  if (options.help) {
    std::fputs(Faultwright::CServiceOptions::Usage(), stdout);
    return 0;
  }
  return Faultwright::CDiagnosticService(options, stdout, stderr).Run();
}
