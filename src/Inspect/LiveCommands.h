// The fwinspect commands that read the live error database of the working
// directory, run where the diagnostic service runs:
//
//   active DIR [--text-keys] [--json] [--watch SECONDS]
//       Update's result in words, the number of active top-level errors, the
//       "Active top level errors" tree and one summary per top-level error;
//       --json prints the summaries alone as one line of JSON; --watch
//       repeats it every SECONDS until SIGINT or SIGTERM, then ends with 0
//   history [DIR] [--json]
//       every error ever raised, latest raise first: its times and counters
//       alone, or with DIR its summary with that catalogue's severity, flags
//       and texts
//   decode DIR CODE [--flat]
//       the error and the active triggers that a state code names, as a tree
//       (or bare keys with --flat), then the summary that the code gives
//
// DIR is the configuration directory whose catalogue the service runs. A
// working directory without a live database (nothing is made there), a
// database that the service has not enabled, or one whose lock another
// process holds, is a failure with a message; so is a state code that is not hexadecimal, too
// short to hold an error's index, or names no error here. Each function
// returns the exit status.
#ifndef FAULTWRIGHT_INSPECT_LIVECOMMANDS_H
#define FAULTWRIGHT_INSPECT_LIVECOMMANDS_H

#include <string>
#include <vector>

#include "Common/Summaries/CErrorSummary.h"
#include "Inspect/CArguments.h"
#include "Inspect/CLiveDatabase.h"

namespace Faultwright {

int RunActive(const CArguments& arguments);
int RunHistory(const CArguments& arguments);
int RunDecode(const CArguments& arguments);

// The parts of these commands that the diagnostics server (serve) shares.

// After a Refresh: empty when the database is enabled, else why it cannot be read.
std::string WhyNotEnabled(const CLiveDatabase& live);
// What history shows: every error ever raised, latest raise first, with
// what live's catalogue knows of it. REQUIRES: live is enabled.
void BuildHistory(CLiveDatabase& live, std::vector<CErrorSummary>& summaries);
// Why stateCode is not a state code (not hexadecimal, or too short to hold
// an index), or empty, with its bits in bits.
std::string MalformedStateCode(const std::string& stateCode, std::string& bits);
// Decodes a well-formed stateCode (bits as MalformedStateCode gave them):
// summary, with its code, type and state code, and lines; or why the code
// names nothing here, naming the catalogue as catalogueName. REQUIRES: live
// is enabled.
std::string DecodeLiveStateCode(CLiveDatabase& live, const std::string& stateCode, const std::string& bits,
                                const std::string& catalogueName, bool flat, CErrorSummary& summary,
                                std::vector<std::string>& lines);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_LIVECOMMANDS_H
