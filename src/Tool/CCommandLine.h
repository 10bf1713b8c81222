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
#include <optional>

#include "Identifiers/CErrorKey.h"
#include "Identifiers/Identifiers.h"

namespace Faultwright {

class CFaultwrightAPI;

class CCommandLine {
 public:
  CCommandLine(FILE* out, FILE* err) : out_(out), err_(err) {}

  int Run(int argc, char** argv);

 private:
  // The exit status when the options end the run (help, listings, a usage
  // error); none when the four names follow, from argv[optind] on.
  std::optional<int> ReadOptions(int argc, char** argv, bool& raise) const;
  // Looks the four names up, all of them, so that one run names every mistake;
  // false when any is unknown.
  bool LookUp(char* const* names, CErrorKey& key) const;
  // Writes a message for each unknown name to err; true when there was none.
  bool ReportUnknownNames(EModuleIdentifier module, ESubModuleIdentifier subModule, EProblemIdentifier problem,
                          EProblemType type) const;
  // Raises or clears key; a request that did not reach the service is
  // reported on err.
  void Send(CFaultwrightAPI& client, const CErrorKey& key, bool raise) const;
  void PrintUsage(FILE* stream, const char* program) const;
  void PrintListing(int option) const;

  FILE* out_;
  FILE* err_;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_TOOL_CCOMMANDLINE_H
