// CServiceOptions: fwservice's command line.
//
//   fwservice [--config DIR] [--state FILE]
//
// --config names the catalogue's directory (a "/" is added when it does not end
// in one); without it the service only logs and passes on the notifications.
// --state names the file that keeps the error states across restarts; it
// needs --config, since only a catalogue gives the states to keep. -h and
// --help ask for the usage text, --version for the version line. Parse leaves getopt_long's messages off and
// words its own.
#ifndef FAULTWRIGHT_SERVICE_CSERVICEOPTIONS_H
#define FAULTWRIGHT_SERVICE_CSERVICEOPTIONS_H

#include <string>

namespace Faultwright {

struct CServiceOptions {
  std::string configDirectory;  // empty: no catalogue
  std::string stateFile;        // empty: nothing kept across restarts
  bool help = false;
  bool version = false;

  // False, with the reason in problem, for an unknown option, an option
  // without its value, an operand, or --state without --config.
  bool Parse(int argc, char** argv, std::string& problem);

  static const char* Usage();
  // "fwservice (Faultwright) VERSION" and a line feed.
  static const char* Version();
  // The exit status of a mistake in the command line.
  static const int kUsageStatus = 2;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_SERVICE_CSERVICEOPTIONS_H
