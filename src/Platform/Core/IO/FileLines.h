// Core::IO::FileLines: the line and column of a byte offset in a text file,
// for messages that point an editor at the place, "FILE:LINE:COLUMN".
//
// The file is read once, on the first question, and only its line starts are
// kept; a loader that meets no fault never reads it twice. The parser cannot
// answer this itself: it rewrites its copy of the text in place, line breaks
// included. Lines and columns count from 1, columns in bytes. Only a regular
// file is read. Used by one thread at a time.
#ifndef FAULTWRIGHT_PLATFORM_CORE_IO_FILELINES_H
#define FAULTWRIGHT_PLATFORM_CORE_IO_FILELINES_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace Core {
namespace IO {

class FileLines {
 public:
  explicit FileLines(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }
  // False when offset is negative, or the file cannot be read or is shorter.
  bool Locate(long offset, int& line, int& column);
  // "PATH:LINE:COLUMN", or "PATH" alone when the offset cannot be located.
  std::string Place(long offset);
  // The offset at which line (from 1) starts, or -1 past the end.
  long LineOffset(int line);

 private:
  void Read();

  std::string path_;
  bool read_ = false;
  size_t size_ = 0;
  std::vector<size_t> lineStarts_;
};

}  // namespace IO
}  // namespace Core

#endif  // FAULTWRIGHT_PLATFORM_CORE_IO_FILELINES_H
