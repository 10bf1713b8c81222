// CInspector: one run of fwinspect, the inspector for engineers and support.
//
//   fwinspect COMMAND [ARGUMENTS]
//   fwinspect --help | --version
//   fwinspect help [COMMAND]
//   fwinspect COMMAND --help
//
// Run looks the command up in its table, parses its arguments (CArguments)
// and runs it. The help forms print the list of commands, or one command's
// usage, on standard output; --version prints "fwinspect (Faultwright)" and
// the version; all with status 0. No command, an unknown one or bad arguments
// give a message naming the mistake and the usage on standard error, and
// status 2. Run returns the exit status: otherwise the command's own, 0 when
// it did what was asked.
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
    size_t fewestPositional;
    size_t mostPositional;
    std::vector<std::string> switches;
    std::vector<std::string> valuedOptions;
    int (*run)(const CArguments& arguments);
  };

  static const std::vector<Command>& Commands();
  static const Command* Find(const std::string& name);
  static std::string Usage(const Command& command);
  static void PrintCommands(std::FILE* stream);
  static void PrintCommand(const Command& command, std::FILE* stream);
  static int Help(const CArguments& arguments);
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_CINSPECTOR_H
