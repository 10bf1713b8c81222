#include "Support/FuzzSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace FaultwrightFuzz {

void CheckFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}

std::vector<std::string> SplitInput(const uint8_t* data, size_t size, size_t maxParts) {
  std::vector<std::string> parts;
  const char* text = reinterpret_cast<const char*>(data);
  size_t start = 0;
  while (parts.size() + 1 < maxParts) {
    const void* nul = std::memchr(text + start, '\0', size - start);
    if (nul == nullptr) break;
    size_t end = static_cast<size_t>(static_cast<const char*>(nul) - text);
    parts.emplace_back(text + start, end - start);
    start = end + 1;
  }
  parts.emplace_back(text + start, size - start);
  return parts;
}

void KeepStandardStreamsOpen() {
  for (int descriptor : {STDOUT_FILENO, STDERR_FILENO}) {
    if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
    int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    FUZZ_CHECK(null >= 0);
    if (null != descriptor) {
      FUZZ_CHECK(dup2(null, descriptor) == descriptor);
      close(null);
    }
  }
}

}  // namespace FaultwrightFuzz
