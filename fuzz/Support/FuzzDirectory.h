// FuzzDirectory: the private directory into which a fuzz target writes the
// files that one input becomes (a configuration directory, a patterns file).
//
// Created in the memory file system /dev/shm (else under $TMPDIR, else /tmp)
// by the constructor and removed with everything in it by the destructor,
// that is when the fuzzer ends normally. A file that cannot be written stops
// the run: an input that never reached the code under test would prove
// nothing.
#ifndef FAULTWRIGHT_FUZZ_SUPPORT_FUZZDIRECTORY_H
#define FAULTWRIGHT_FUZZ_SUPPORT_FUZZDIRECTORY_H

#include <string>

namespace FaultwrightFuzz {

class FuzzDirectory {
 public:
  FuzzDirectory();
  ~FuzzDirectory();
  FuzzDirectory(const FuzzDirectory&) = delete;
  FuzzDirectory& operator=(const FuzzDirectory&) = delete;

  // The path, ending in "/" as the library's configuration paths do.
  const std::string& Path() const { return path_; }
  void Write(const std::string& name, const std::string& contents);
  // Removes a file written before, if it is there.
  void Remove(const std::string& name);

 private:
  std::string path_;
};

}  // namespace FaultwrightFuzz

#endif  // FAULTWRIGHT_FUZZ_SUPPORT_FUZZDIRECTORY_H
