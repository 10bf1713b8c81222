#include "Inspect/CInspector.h"

#include "Inspect/CatalogueCommands.h"
#include "Inspect/CommandSupport.h"
#include "Inspect/LiveCommands.h"

namespace Faultwright {

const std::vector<CInspector::Command>& CInspector::Commands() {
  static const std::vector<Command> commands = {
      {"check", "DIR", "load the catalogue and patterns of DIR and print every problem; status 1 if any", 1, {}, {},
       RunCheck},
      {"tree", "DIR [--all]", "the root errors of the catalogue with their trigger trees (--all: also lone errors)", 1,
       {"--all"}, {}, RunTree},
      {"list", "DIR", "the names of every error of the catalogue", 1, {}, {}, RunList},
      {"export", "DIR FILE", "write the texts of the catalogue to FILE under their keys", 2, {}, {}, RunExport},
      {"active", "DIR [--text-keys] [--json] [--watch SECONDS]",
       "the active top-level errors of the live database here, with their summaries", 1, {"--text-keys", "--json"},
       {"--watch"}, RunActive},
      {"history", "[--json]", "every error ever raised in the live database here, latest first", 0, {"--json"}, {},
       RunHistory},
      {"decode", "DIR CODE [--flat]", "the error and active triggers that a state code names", 2, {"--flat"}, {},
       RunDecode},
      {"help", "", "this list", 0, {}, {}, Help},
  };
  return commands;
}

std::string CInspector::Usage(const Command& command) {
  return *command.arguments == '\0' ? command.name : std::string(command.name) + " " + command.arguments;
}

void CInspector::PrintCommands(std::FILE* stream) {
  std::fprintf(stream, "usage: fwinspect COMMAND [ARGUMENTS]\n\ncommands:\n");
  for (const Command& command : Commands()) {
    std::fprintf(stream, "  %s\n      %s\n", Usage(command).c_str(), command.purpose);
  }
  std::fprintf(stream,
               "\nDIR is a configuration directory. active, history and decode read the live error database of\n"
               "the working directory: run them where fwservice runs.\n");
  std::fflush(stream);
}

int CInspector::Help(const CArguments&) {
  PrintCommands(stdout);
  return 0;
}

int CInspector::Run(int argc, char** argv) {
  if (argc < 2) {
    ReportFailure("no command given");
    PrintCommands(stderr);
    return 1;
  }
  const std::string name = argv[1];
  for (const Command& command : Commands()) {
    if (name != command.name) continue;
    CArguments arguments;
    std::string problem;
    if (!arguments.Parse(std::vector<std::string>(argv + 2, argv + argc), command.switches, command.valuedOptions,
                         command.positionalCount, problem)) {
      ReportFailure(name + ": " + problem);
      std::fprintf(stderr, "usage: fwinspect %s\n", Usage(command).c_str());
      return 1;
    }
    return command.run(arguments);
  }
  return ReportFailure("unknown command \"" + name + "\"; \"fwinspect help\" lists the commands");
}

}  // namespace Faultwright
