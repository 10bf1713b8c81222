// What every fwinspect command needs: its failure messages and the
// configuration directory named on its command line.
#ifndef FAULTWRIGHT_INSPECT_COMMANDSUPPORT_H
#define FAULTWRIGHT_INSPECT_COMMANDSUPPORT_H

#include <string>

namespace Faultwright {

// The exit status of a mistake in the command line.
const int kUsageStatus = 2;

// Writes "fwinspect: " and message as one line on standard error.
void Report(const std::string& message);
// Report(message); returns the exit status of a failed command, 1.
int ReportFailure(const std::string& message);

// The directory argument as the catalogue and the patterns want it, ending in
// "/". False, with a message on standard error, when the directory holds no
// readable "FaultwrightConfig.xml": the loader would quietly give an empty
// catalogue, which is never what someone who names a directory means.
bool OpenConfigurationDirectory(const std::string& argument, std::string& directory);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_COMMANDSUPPORT_H
