// Fuzzes fwerror's whole flow in-process: the input's parts, cut at NUL bytes,
// are the arguments after the program name, and CCommandLine::Run parses the
// options, prints listings, looks the names up and hands a well-formed request
// to its service client, exactly as the tool does.
//
// Run always connects to the diagnostic service on this machine's port 5300.
// So that no input ever reaches a real service (or a test's), the target moves
// into a network namespace of its own before the first input, where the
// loopback interface is down and every connection fails at once, as with the
// service absent; it refuses to run if it cannot. Beyond the sanitizers it
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
  address.sin_port = htons(5300);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool refused = connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0;
  close(probe);
  return refused;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // As root a network namespace needs no more; otherwise a user namespace brings the right.
  if (unshare(CLONE_NEWNET) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
    std::perror("CommandLineFuzz: unshare");
    std::fputs("CommandLineFuzz needs a network namespace of its own, so that no input reaches a service\n", stderr);
    std::exit(1);
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
