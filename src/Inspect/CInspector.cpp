#include "Inspect/CInspector.h"

#include "Inspect/CatalogueCommands.h"
#include "Inspect/CommandSupport.h"
#include "Inspect/LiveCommands.h"
#include "Inspect/ServeCommand.h"

namespace Faultwright {

const std::vector<CInspector::Command>& CInspector::Commands() {
  static const std::vector<Command> commands = {
      {"check",
       "DIR [--json]",
       "validate the configuration of DIR against its schemas and find every mistake that loading passes over, "
       "with its place; status 0 clean, 1 problems, 2 unreadable",
       1,
       1,
       {"--json"},
       {},
       RunCheck},
      {"tree",
       "DIR [--all]",
       "the root errors of the catalogue with their trigger trees (--all: also lone errors)",
       1,
       1,
       {"--all"},
       {},
       RunTree},
      {"list", "DIR", "the names of every error of the catalogue", 1, 1, {}, {}, RunList},
      {"export", "DIR FILE", "write the texts of the catalogue to FILE under their keys", 2, 2, {}, {}, RunExport},
      {"active",
       "DIR [--text-keys] [--json] [--watch SECONDS]",
       "the active top-level errors of the live database here, with their summaries",
       1,
       1,
       {"--text-keys", "--json"},
       {"--watch"},
       RunActive},
      {"history",
       "[DIR] [--json]",
       "every error ever raised in the live database here, latest first; with DIR, with its catalogue's severity, "
       "flags and texts",
       0,
       1,
       {"--json"},
       {},
       RunHistory},
      {"decode",
       "DIR CODE [--flat]",
       "the error and active triggers that a state code names",
       2,
       2,
       {"--flat"},
       {},
       RunDecode},
      {"serve",
       "DIR [--listen ADDRESS:PORT]",
       "serve the live database here to a browser and a monitoring system: the diagnostics page, JSON under /api/ "
       "and /metrics (default address 127.0.0.1:5380)",
       1,
       1,
       {},
       {"--listen"},
       RunServe},
      {"help", "[COMMAND]", "this list, or the usage of one command", 0, 1, {}, {}, Help},
  };
  return commands;
}

const CInspector::Command* CInspector::Find(const std::string& name) {
  for (const Command& command : Commands()) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

std::string CInspector::Usage(const Command& command) {
  return *command.arguments == '\0' ? command.name : std::string(command.name) + " " + command.arguments;
}

void CInspector::PrintCommands(std::FILE* stream) {
  std::fprintf(stream, "usage: fwinspect COMMAND [ARGUMENTS]\n       fwinspect --help | --version\n\ncommands:\n");
  for (const Command& command : Commands()) {
    std::fprintf(stream, "  %s\n      %s\n", Usage(command).c_str(), command.purpose);
  }
  std::fprintf(stream,
               "\nDIR is a configuration directory. active, history, decode and serve read the live error\n"
               "database of the working directory: run them where fwservice runs. \"fwinspect COMMAND --help\"\n"
               "shows one command.\n");
  std::fflush(stream);
}

void CInspector::PrintCommand(const Command& command, std::FILE* stream) {
  std::fprintf(stream, "usage: fwinspect %s\n\n  %s\n", Usage(command).c_str(), command.purpose);
  std::fflush(stream);
}

int CInspector::Help(const CArguments& arguments) {
  if (arguments.Positional().empty()) {
    PrintCommands(stdout);
    return 0;
  }
  const Command* command = Find(arguments.Positional(0));
  if (command == nullptr) {
    ReportFailure("help: unknown command \"" + arguments.Positional(0) + "\"");
    return kUsageStatus;
  }
  PrintCommand(*command, stdout);
  return 0;
}

int CInspector::Run(int argc, char** argv) {
  if (argc < 2) {
    ReportFailure("no command given");
    PrintCommands(stderr);
    return kUsageStatus;
  }
  const std::string name = argv[1];
  if (name == "--help") return Help(CArguments());
  if (name == "--version") {
    std::printf("fwinspect (Faultwright) %s\n", FAULTWRIGHT_VERSION);
    return 0;
  }
  const Command* command = Find(name);
  if (command == nullptr) {
    ReportFailure("unknown command \"" + name + "\"; \"fwinspect help\" lists the commands");
    return kUsageStatus;
  }
  CArguments arguments;
  std::string problem;
  std::vector<std::string> words(argv + 1, argv + argc);
  if (!arguments.Parse(words, command->switches, command->valuedOptions, command->fewestPositional,
                       command->mostPositional, problem)) {
    ReportFailure(name + ": " + problem);
    std::fprintf(stderr, "usage: fwinspect %s\n", Usage(*command).c_str());
    return kUsageStatus;
  }
  if (arguments.Has("--help")) {
    PrintCommand(*command, stdout);
    return 0;
  }
  return command->run(arguments);
}

}  // namespace Faultwright
