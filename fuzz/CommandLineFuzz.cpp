// Fuzzes fwerror's whole flow in-process: the input's parts, cut at NUL bytes,
// are the arguments after the program name, and CCommandLine::Run parses the
// options, prints listings, looks the names up and hands a well-formed request
// to its service client, exactly as the tool does.
//
// Run always connects to the diagnostic service on this machine's port 5300.
// So that no input ever reaches a real service (or a test's), the target moves
// into a network namespace of its own before the first input, where the
// loopback interface is down and every connection fails at once, as with the
// service absent. Where no namespace may be made, it goes on in the machine's
// own network only while nothing listens on the port. Beyond the sanitizers it
// checks that every run ends with status 0 or 1.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Client/CFaultwrightAPI.h"
#include "Support/FuzzSupport.h"
#include "Tool/CCommandLine.h"

namespace {

const size_t kMaxArguments = 8;

// True when a connection to 127.0.0.1:5300 fails, as it must for the fuzzer.
bool ServicePortUnreachable() {
  int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  FUZZ_CHECK(probe >= 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(Faultwright::CFaultwrightAPI::kServicePort);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool refused = connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0;
  close(probe);
  return refused;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // As root a network namespace needs no more; otherwise a user namespace brings the right.
  // Where neither is allowed (a locked-down container), fuzzing in the machine's own
  // network is still safe while nothing listens on the service port.
  if (unshare(CLONE_NEWNET) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
    std::perror("CommandLineFuzz: unshare");
    if (!ServicePortUnreachable()) {
      std::fputs("CommandLineFuzz: no network namespace of its own and port 5300 is served here: refusing\n", stderr);
      std::exit(1);
    }
    std::fputs("CommandLineFuzz: no network namespace of its own; port 5300 is closed, going on\n", stderr);
    return 0;
  }
  if (!ServicePortUnreachable()) {
    std::fputs("CommandLineFuzz: port 5300 is reachable inside the new network namespace\n", stderr);
    std::exit(1);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FaultwrightFuzz::KeepStandardStreamsOpen();
  static FILE* const discard = std::fopen("/dev/null", "w");
  FUZZ_CHECK(discard != nullptr);

  std::vector<std::string> arguments{"fwerror"};
  if (size > 0) {
    std::vector<std::string> parts = FaultwrightFuzz::SplitInput(data, size, kMaxArguments);
    arguments.insert(arguments.end(), parts.begin(), parts.end());
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  int status = Faultwright::CCommandLine(discard, discard).Run(static_cast<int>(arguments.size()), argv.data());
  FUZZ_CHECK(status == 0 || status == 1);
  return 0;
}
