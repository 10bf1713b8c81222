#include "Platform/Core/IO/FileLines.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace Core {
namespace IO {

void FileLines::Read() {
  read_ = true;
  lineStarts_.assign(1, 0);
  // Only a regular file: a pipe would block the reader.
  struct stat status;
  if (stat(path_.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return;
  std::FILE* file = std::fopen(path_.c_str(), "rb");
  if (file == nullptr) return;
  char buffer[65536];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) != 0; size_ += got) {
    for (size_t i = 0; i < got; ++i) {
      if (buffer[i] == '\n') lineStarts_.push_back(size_ + i + 1);
    }
  }
  if (std::ferror(file)) size_ = 0;
  std::fclose(file);
}

long FileLines::LineOffset(int line) {
  if (!read_) Read();
  if (line < 1 || static_cast<size_t>(line) > lineStarts_.size() || lineStarts_[line - 1] > size_) return -1;
  return static_cast<long>(lineStarts_[line - 1]);
}

bool FileLines::Locate(long offset, int& line, int& column) {
  if (!read_) Read();
  if (offset < 0 || static_cast<size_t>(offset) >= size_) return false;
  auto next = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), static_cast<size_t>(offset));
  line = static_cast<int>(next - lineStarts_.begin());
  column = static_cast<int>(static_cast<size_t>(offset) - *(next - 1)) + 1;
  return true;
}

std::string FileLines::Place(long offset) {
  int line = 0;
  int column = 0;
  if (!Locate(offset, line, column)) return path_;
  return path_ + ":" + std::to_string(line) + ":" + std::to_string(column);
}

}  // namespace IO
}  // namespace Core
