#include "Platform/Core/IO/XMLDocument.h"

#include <sys/stat.h>

namespace Core {
namespace IO {

bool XMLDocument::Parse(const std::string& path) {
  // Only a regular file is read: a directory's size reads as 2^63 - 1, which the
  // parser would try to allocate, and a pipe would block the reader.
  struct stat status;
  if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    document_.reset();
    fileOpened_ = true;
    parseError_ = "not a regular file";
    return false;
  }
  pugi::xml_parse_result result = document_.load_file(path.c_str());
  fileOpened_ = result.status != pugi::status_file_not_found && result.status != pugi::status_io_error;
  if (result) {
    parseError_.clear();
    return true;
  }
  // pugixml keeps what it read before the fault; a half document must not be trusted.
  document_.reset();
  parseError_ = result.description();
  if (fileOpened_) parseError_ += " at byte " + std::to_string(result.offset);
  return false;
}

}  // namespace IO
}  // namespace Core
