// Helpers shared by the tests: a temporary directory that removes itself, and a
// child process run to completion with its output captured.
#ifndef FAULTWRIGHT_TESTS_SUPPORT_TESTSUPPORT_H
#define FAULTWRIGHT_TESTS_SUPPORT_TESTSUPPORT_H

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace FaultwrightTest {

// A fresh directory under /tmp, removed with everything in it on destruction.
class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  // The path, ending in "/" so that file names can be appended directly.
  const std::string& Path() const { return path_; }
  // Writes a file below the directory and returns its full path.
  std::string Write(const std::string& name, const std::string& contents) const;

 private:
  std::string path_;
};

struct ProcessResult {
  int status = -1;  // exit status, or -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// A child process whose standard output and error go to pipes: their read ends.
struct ChildProcess {
  int pid = -1;
  int out = -1;
  int err = -1;
};

// Starts program with args (args[0] is argv[0]) in workingDirectory (empty:
// the current one); the read ends do not block.
ChildProcess StartProcess(const std::string& program, const std::vector<std::string>& args,
                          const std::string& workingDirectory = "");

// Appends what child's pipes hold to out and err (out null: that pipe is left
// unread), waiting up to timeoutMs (-1: no limit) for the first bytes. A pipe
// at its end is closed and set to -1.
void ReadOutput(ChildProcess* child, std::string* out, std::string* err, int timeoutMs);

// Runs program like StartProcess, waits for it and returns its exit status and output.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workingDirectory = "");

// Path of a program built by this project, for example "fwerror".
std::string BuiltProgram(const std::string& name);

// A run of a program: its arguments, exit status and outputs, in which each
// "{name}" stands for the file tests/data/<subject>/name.txt.
struct Run {
  std::vector<std::string> args;  // argv[0] excluded
  int status;
  std::string out;
  std::string err;
};

// Runs the program of this build that argv0 names (as "tools/fwerror"), with
// argv0 as its argv[0], once per run in directory, and expects what each run says.
void ExpectRuns(const std::string& argv0, const std::string& subject, const std::vector<Run>& runs,
                const std::string& directory = "");

// What write writes to the stream it is given: for the printers and loaders
// of the library, which take the stream to write to.
std::string WrittenBy(const std::function<void(std::FILE*)>& write);

// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace FaultwrightTest

#endif  // FAULTWRIGHT_TESTS_SUPPORT_TESTSUPPORT_H
