#include "Support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "Support/ChildBody.h"

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
  fcntl(outPipe[0], F_SETFL, O_NONBLOCK);
  fcntl(errPipe[0], F_SETFL, O_NONBLOCK);
  return {pid, outPipe[0], errPipe[0]};
}

void ReadOutput(ChildProcess* child, std::string* out, std::string* err, int timeoutMs) {
  pollfd fds[2] = {{out != nullptr ? child->out : -1, POLLIN, 0}, {child->err, POLLIN, 0}};
  int* ends[2] = {&child->out, &child->err};
  std::string* sinks[2] = {out, err};
  if (poll(fds, 2, timeoutMs) <= 0) return;
  for (int i = 0; i < 2; ++i) {
    char buffer[4096];
    ssize_t count = -1;
    while (fds[i].revents != 0 && (count = read(fds[i].fd, buffer, sizeof buffer)) > 0) {
      sinks[i]->append(buffer, static_cast<size_t>(count));
    }
    if (count == 0) {
      close(*ends[i]);
      *ends[i] = -1;
    }
  }
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workingDirectory) {
  ChildProcess child = StartProcess(program, args, workingDirectory);
  ProcessResult result;
  while (child.out >= 0 || child.err >= 0) ReadOutput(&child, &result.out, &result.err, -1);
  result.status = WaitForExit(child.pid);
  return result;
}

std::string BuiltProgram(const std::string& name) { return std::string(FAULTWRIGHT_BINARY_DIR) + "/" + name; }

void ExpectRuns(const std::string& argv0, const std::string& subject, const std::vector<Run>& runs,
                const std::string& directory) {
  const auto expanded = [&subject](std::string text) {
    for (size_t open; (open = text.find('{')) != std::string::npos;) {
      const size_t close = text.find('}', open);
      const std::string file = "/tests/data/" + subject + "/" + text.substr(open + 1, close - open - 1) + ".txt";
      text.replace(open, close - open + 1, ReadFile(FAULTWRIGHT_SOURCE_DIR + file));
    }
    return text;
  };
  for (const Run& run : runs) {
    SCOPED_TRACE(::testing::PrintToString(run.args));
    std::vector<std::string> args = run.args;
    args.insert(args.begin(), argv0);
    ProcessResult result = RunProcess(BuiltProgram(argv0.substr(argv0.rfind('/') + 1)), args, directory);
    EXPECT_EQ(result.status, run.status);
    EXPECT_EQ(result.out, expanded(run.out));
    EXPECT_EQ(result.err, expanded(run.err));
  }
}

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
