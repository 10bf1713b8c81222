#include "Support/TestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace FaultwrightTest {

TempDirectory::TempDirectory() {
  char pattern[] = "/tmp/faultwright-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = std::string(pattern) + "/";
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDirectory::Write(const std::string& name, const std::string& contents) const {
  std::string full = path_ + name;
  std::filesystem::create_directories(std::filesystem::path(full).parent_path());
  std::ofstream file(full, std::ios::binary | std::ios::trunc);
  file << contents;
  if (!file) throw std::runtime_error("cannot write " + full);
  return full;
}

ChildProcess StartProcess(const std::string& program, const std::vector<std::string>& args,
                          const std::string& workingDirectory) {
  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  return {pid, outPipe[0], errPipe[0]};
}

namespace {

// Waits for the child pid to end: its exit status, or -1 when it did not exit normally.
int Reap(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int InChild(const std::function<int()>& body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid < 0 ? -1 : Reap(pid);
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workingDirectory) {
  ChildProcess child = StartProcess(program, args, workingDirectory);
  ProcessResult result;
  pollfd fds[2] = {{child.out, POLLIN, 0}, {child.err, POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  result.status = Reap(child.pid);
  return result;
}

std::string BuiltProgram(const std::string& name) { return std::string(FAULTWRIGHT_BINARY_DIR) + "/" + name; }

std::string WrittenBy(const std::function<void(std::FILE*)>& write) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* stream = open_memstream(&buffer, &size);
  if (stream == nullptr) throw std::runtime_error("open_memstream failed");
  write(stream);
  std::fclose(stream);
  std::string written(buffer, size);
  std::free(buffer);
  return written;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

}  // namespace FaultwrightTest
