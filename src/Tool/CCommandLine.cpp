#include "Tool/CCommandLine.h"

#include <getopt.h>

#include <cstdint>
#include <optional>

#include "Client/CFaultwrightAPI.h"
#include "Identifiers/Identifiers.h"

namespace Faultwright {

namespace {

const option kLongOptions[] = {
    {"raise", no_argument, nullptr, 'r'},
    {"clear", no_argument, nullptr, 'c'},
    {"modules", no_argument, nullptr, 'M'},
    {"submodules", no_argument, nullptr, 'S'},
    {"problems", no_argument, nullptr, 'P'},
    {"types", no_argument, nullptr, 'T'},
    {nullptr, 0, nullptr, 0},
};

const char kUsage[] =
    "usage: %s [-c | -r] module subModule Problem Type\n"
    "\n"
    "additional options:\n"
    "\t-M | --modules       Print a list of allowable module names\n"
    "\t-S | --submodules    Print a list of allowable submodule names\n"
    "\t-P | --problems      Print a list of allowable problem names\n"
    "\t-T | --types         Print a list of allowable type names\n"
    "\n"
    "aliases for options:\n"
    "\t--raise is an alias for -r\n"
    "\t--clear is an alias for -c\n"
    "\n"
    "by default the error specified will be raised.\n";

}  // namespace

int CCommandLine::Run(int argc, char** argv) {
  // Every run connects first, help and listings included.
  CFaultwrightAPI client;
  bool raise = true;
  if (const std::optional<int> status = ReadOptions(argc, argv, raise)) return *status;

  CErrorKey key;
  if (!LookUp(argv + optind, key)) {
    std::fputs("\n\n", err_);
    PrintUsage(err_, argv[0]);
    return 1;
  }
  Send(client, key, raise);
  return 0;
}

std::optional<int> CCommandLine::ReadOptions(int argc, char** argv, bool& raise) const {
  bool listed = false;
  optind = 0;  // a fresh parse, also when Run is called again in one process
  for (int option; (option = getopt_long(argc, argv, "crMSPTh", kLongOptions, nullptr)) != -1;) {
    switch (option) {
      case 'r':
        raise = true;
        break;
      case 'c':
        raise = false;
        break;
      case 'M':
      case 'S':
      case 'P':
      case 'T':
        PrintListing(option);
        listed = true;
        break;
      case 'h':
        PrintUsage(out_, argv[0]);
        return 0;
      default:  // getopt_long has said what was wrong
        PrintUsage(err_, argv[0]);
        return 1;
    }
  }
  if (listed) return 0;
  if (argc - optind < 4) {
    std::fputs("insufficient number of arguments\n", err_);
    PrintUsage(err_, argv[0]);
    return 1;
  }
  return std::nullopt;
}

bool CCommandLine::LookUp(char* const* names, CErrorKey& key) const {
  const EModuleIdentifier module = ModuleFromName(names[0]);
  const ESubModuleIdentifier subModule = SubModuleFromName(names[1]);
  const EProblemIdentifier problem = ProblemFromName(names[2]);
  const EProblemType type = ProblemTypeFromName(names[3]);
  if (!ReportUnknownNames(module, subModule, problem, type)) return false;
  key = CErrorKey(module | subModule | problem, type);
  return true;
}

bool CCommandLine::ReportUnknownNames(EModuleIdentifier module, ESubModuleIdentifier subModule,
                                      EProblemIdentifier problem, EProblemType type) const {
  const struct {
    bool unknown;
    const char* message;
  } reports[] = {
      {module == emiUnknown, "unknown module name: try -M to list module names\n"},
      {subModule == esmiUnknown, "unknown submodule name: try -S to list submodule names\n"},
      {problem == epiUnknown, "unknown problem name: try -P to list problem names\n"},
      {type == eptUnknown, "unknown type name: try -T to list type names\n"},
  };
  bool known = true;
  for (const auto& report : reports) {
    if (!report.unknown) continue;
    std::fputs(report.message, err_);
    known = false;
  }
  return known;
}

void CCommandLine::Send(CFaultwrightAPI& client, const CErrorKey& key, bool raise) const {
  if ((raise ? client.RaiseError(key) : client.ClearError(key)) < 0) {
    std::fputs("diagnostic service not reachable: request not delivered\n", err_);
  }
}

void CCommandLine::PrintUsage(FILE* stream, const char* program) const { std::fprintf(stream, kUsage, program); }

void CCommandLine::PrintListing(int option) const {
  switch (option) {
    case 'M':
      std::fputs("Modules:\n", out_);
      ForEachModule([this](uint32_t code, const char* name) { std::fprintf(out_, "\t0x%06x\t%s\n", code, name); });
      break;
    case 'S':
      std::fputs("Submodules:\n", out_);
      ForEachSubModule([this](uint32_t code, const char* name) { std::fprintf(out_, "\t0x%04x\t%s\n", code, name); });
      break;
    case 'P':
      std::fputs("Problems:\n", out_);
      ForEachProblem([this](uint32_t code, const char* name) { std::fprintf(out_, "\t0x%02x\t%s\n", code, name); });
      break;
    default:
      std::fputs("Types:\n", out_);
      ForEachProblemType([this](uint32_t type, const char* name) { std::fprintf(out_, "\t%u\t%s\n", type, name); });
      break;
  }
  std::fputc('\n', out_);
}

}  // namespace Faultwright
