#include "Service/CServiceOptions.h"

#include <getopt.h>

namespace Faultwright {

bool CServiceOptions::Parse(int argc, char** argv, std::string& problem) {
  static const option kOptions[] = {{"config", required_argument, nullptr, 'C'},
                                    {"state", required_argument, nullptr, 's'},
                                    {"help", no_argument, nullptr, 'h'},
                                    {"version", no_argument, nullptr, 'V'},
                                    {nullptr, 0, nullptr, 0}};
  opterr = 0;
  optind = 0;  // a full restart of getopt's scan, should Parse run twice
  for (;;) {
    int option = getopt_long(argc, argv, ":h", kOptions, nullptr);
    if (option == -1) break;
    switch (option) {
      case 'C':
      case 's':
        if (*optarg != '\0') {
          (option == 'C' ? configDirectory : stateFile) = optarg;
          break;
        }
        [[fallthrough]];  // an empty value is none
      case ':':
        problem = std::string((option == ':' ? optopt : option) == 's' ? "--state" : "--config") + " needs a value";
        return false;
      case 'h':
        help = true;
        break;
      case 'V':
        version = true;
        break;
      default:
        // optopt names an unknown short option; a long one is the argument just read.
        problem = "unknown option " + (optopt != 0 ? std::string("-") + char(optopt) : std::string(argv[optind - 1]));
        return false;
    }
  }
  if (optind < argc) {
    problem = std::string("unexpected argument ") + argv[optind];
    return false;
  }
  if (!configDirectory.empty() && configDirectory.back() != '/') configDirectory += '/';
  if (!stateFile.empty() && configDirectory.empty()) {
    problem = "--state needs --config";
    return false;
  }
  return true;
}

const char* CServiceOptions::Usage() {
  return "usage: fwservice [--config DIR] [--state FILE]\n"
         "\n"
         "Receives the RaiseError and ClearError notifications of the unit's components on\n"
         "127.0.0.1 port 5300 and writes one line for each to standard output.\n"
         "\n"
         "\t--config DIR   load the error catalogue from DIR and publish the live error\n"
         "\t               states in the shared segment of the working directory\n"
         "\t--state FILE   keep the error states (active or not, counters, times) in FILE\n"
         "\t               across restarts\n"
         "\t-h | --help    print this text\n"
         "\t--version      print the version\n";
}

const char* CServiceOptions::Version() { return "fwservice (Faultwright) " FAULTWRIGHT_VERSION "\n"; }

}  // namespace Faultwright
