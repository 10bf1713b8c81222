// CInspector: one run of fwinspect, the inspector for engineers and support.
//
//   fwinspect COMMAND [ARGUMENTS]
//
// Run looks the command up in its table, checks its arguments and runs it.
// "fwinspect help" lists the commands on standard output. No command, an
// unknown one or bad arguments give a message naming the mistake and the
// command's usage on standard error, and status 1. Run returns the exit
// status: 0 when the command did what was asked, 1 otherwise.
#ifndef FAULTWRIGHT_INSPECT_CINSPECTOR_H
#define FAULTWRIGHT_INSPECT_CINSPECTOR_H

#include <cstdio>
#include <string>
#include <vector>

#include "Inspect/CArguments.h"

namespace Faultwright {

class CInspector {
 public:
  int Run(int argc, char** argv);

 private:
  struct Command {
    const char* name;
    const char* arguments;  // as the usage shows them
    const char* purpose;
    size_t positionalCount;
    std::vector<std::string> switches;
    std::vector<std::string> valuedOptions;
    int (*run)(const CArguments& arguments);
  };

  static const std::vector<Command>& Commands();
  static std::string Usage(const Command& command);
  static void PrintCommands(std::FILE* stream);
  static int Help(const CArguments& arguments);
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_CINSPECTOR_H
