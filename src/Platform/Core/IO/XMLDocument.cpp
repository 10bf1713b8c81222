#include "Platform/Core/IO/XMLDocument.h"

#include <sys/stat.h>

#include <cstring>

namespace Core {
namespace IO {

namespace {

// The file is read as a fragment, so that text beside the document element
// stays in the tree to be seen; pugixml drops it otherwise.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_fragment;

std::string At(pugi::xml_node node) { return " at byte " + std::to_string(node.offset_debug()); }

// Why a tree that pugixml built is not well-formed XML (which pugixml does not
// check: more than one document element, text outside it, an attribute given
// twice), or empty when it is. A document without any element is left to
// pugixml's own reason.
std::string WellFormedProblem(const pugi::xml_document& document) {
  int elements = 0;
  for (pugi::xml_node node : document.children()) {
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
      return "text outside the document element" + At(node);
    }
    if (node.type() == pugi::node_element && ++elements == 2) return "second document element" + At(node);
  }
  // Every element in document order, without recursion: nesting may run deep.
  for (pugi::xml_node node = document.first_child(); node;) {
    for (pugi::xml_attribute first = node.first_attribute(); first; first = first.next_attribute()) {
      for (pugi::xml_attribute other = first.next_attribute(); other; other = other.next_attribute()) {
        if (std::strcmp(first.name(), other.name()) == 0) {
          return "attribute \"" + std::string(first.name()) + "\" given twice" + At(node);
        }
      }
    }
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && !node.next_sibling()) node = node.parent();
    if (node) node = node.next_sibling();
  }
  return std::string();
}

}  // namespace

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
  pugi::xml_parse_result result = document_.load_file(path.c_str(), kParseOptions);
  fileOpened_ = result.status != pugi::status_file_not_found && result.status != pugi::status_io_error;
  if (result && !document_.document_element()) result = document_.load_file(path.c_str());
  if (result) {
    parseError_ = WellFormedProblem(document_);
    if (parseError_.empty()) return true;
    document_.reset();
    return false;
  }
  // pugixml keeps what it read before the fault; a half document must not be trusted.
  document_.reset();
  parseError_ = result.description();
  if (fileOpened_) parseError_ += " at byte " + std::to_string(result.offset);
  return false;
}

}  // namespace IO
}  // namespace Core
