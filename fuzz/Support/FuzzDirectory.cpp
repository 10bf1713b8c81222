#include "Support/FuzzDirectory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "Support/FuzzSupport.h"

namespace FaultwrightFuzz {

namespace {

// Each input rewrites its files: in memory that costs microseconds, on a disk
// file system that flushes rewritten files at close it costs milliseconds.
std::string TemporaryRoot() {
  if (access("/dev/shm", W_OK) == 0) return "/dev/shm";
  const char* root = std::getenv("TMPDIR");
  return root != nullptr && *root != '\0' ? root : "/tmp";
}

}  // namespace

FuzzDirectory::FuzzDirectory() {
  std::string pattern = TemporaryRoot() + "/faultwright-fuzz-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  FUZZ_CHECK(mkdtemp(name.data()) != nullptr);
  path_ = std::string(name.data()) + "/";
}

FuzzDirectory::~FuzzDirectory() {
  std::error_code ignored;  // nothing more to do at exit
  std::filesystem::remove_all(path_, ignored);
}

void FuzzDirectory::Write(const std::string& name, const std::string& contents) {
  int file = open((path_ + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  FUZZ_CHECK(file >= 0);
  size_t done = 0;
  while (done < contents.size()) {
    ssize_t count = write(file, contents.data() + done, contents.size() - done);
    if (count < 0 && errno == EINTR) continue;
    FUZZ_CHECK(count > 0);
    done += static_cast<size_t>(count);
  }
  FUZZ_CHECK(close(file) == 0);
}

void FuzzDirectory::Remove(const std::string& name) {
  if (unlink((path_ + name).c_str()) != 0) FUZZ_CHECK(errno == ENOENT);
}

}  // namespace FaultwrightFuzz
