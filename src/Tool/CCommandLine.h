// CCommandLine: one run of the fwerror tool.
//
//   fwerror [-c | -r] module subModule Problem Type
//
// Run connects to the diagnostic service first, then reads the options (-r and
// -c choose raise or clear, the last one winning; -M, -S, -P and -T print the
// listings of module, submodule, problem and type names as they come; -h prints
// the usage text and ends the run), then looks the four names up and raises or
// clears the error they name. Listings and help go to out, messages and the
// usage text after a mistake to err; the option parser's own diagnostic goes to
// standard error. Run returns the exit status: 0 after help, listings or a
// request handed to the service client, 1 after a usage error. A request that
// did not reach the service is reported on err and still returns 0, which
// scripts rely on.
#ifndef FAULTWRIGHT_TOOL_CCOMMANDLINE_H
#define FAULTWRIGHT_TOOL_CCOMMANDLINE_H

#include <cstdio>

namespace Faultwright {

class CCommandLine {
 public:
  CCommandLine(FILE* out, FILE* err) : out_(out), err_(err) {}

  int Run(int argc, char** argv);

 private:
  void PrintUsage(FILE* stream, const char* program) const;
  void PrintListing(int option) const;

  FILE* out_;
  FILE* err_;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_TOOL_CCOMMANDLINE_H
