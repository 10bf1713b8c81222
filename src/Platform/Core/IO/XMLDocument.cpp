#include "Platform/Core/IO/XMLDocument.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace Core {
namespace IO {

namespace {

// The file is read as a fragment, so that text beside the document element
// stays in the tree to be seen; pugixml drops it otherwise.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_fragment;

// Where a problem with node lies: an element's "<", as every other place in
// a loader's messages, or the first byte of a text.
long OffsetOf(const pugi::xml_node& node) {
  return node.type() == pugi::node_element ? XMLNode(node).Offset() : static_cast<long>(node.offset_debug());
}

// Why a tree is not well-formed, and where; an empty reason when it is.
struct Problem {
  std::string reason;
  long offset = -1;
};

// Whether two names are equal; names are short, so a call to strcmp would cost
// more than the comparison.
bool SameName(const char* left, const char* right) {
  while (*left != '\0' && *left == *right) {
    ++left;
    ++right;
  }
  return *left == *right;
}

// Finds an element that gives one attribute twice, which pugixml lets pass
// (the first would silently win). The walk visits every node, so it must cost
// little beside the parse: an element with fewer than two attributes is passed
// over before any name is read, and the few names of the others are compared
// pair by pair. Only an element with very many attributes has its names
// sorted.
class RepeatedAttributeCheck : public pugi::xml_tree_walker {
 public:
  // Without a reason when no element repeats an attribute.
  const Problem& Outcome() const { return problem_; }

  bool for_each(pugi::xml_node& node) override {
    pugi::xml_attribute first = node.first_attribute();
    if (!first) return true;
    pugi::xml_attribute next = first.next_attribute();
    if (!next) return true;
    const char* names[kFewNames];
    names[0] = first.name();
    size_t count = 1;
    do {
      const char* name = next.name();
      for (size_t i = 0; i < count; ++i) {
        if (SameName(names[i], name)) return Found(node, name);
      }
      if (count == kFewNames) {
        const char* twice = RepeatedAmongMany(first);
        return twice == nullptr || Found(node, twice);
      }
      names[count++] = name;
      next = next.next_attribute();
    } while (next);
    return true;
  }

 private:
  static constexpr size_t kFewNames = 16;

  // Records the problem; false, which ends the walk.
  bool Found(const pugi::xml_node& node, const char* name) {
    problem_ = {"attribute \"" + std::string(name) + "\" given twice", OffsetOf(node)};
    return false;
  }

  // A name that stands twice among first and the attributes after it, or null.
  static const char* RepeatedAmongMany(pugi::xml_attribute first) {
    std::vector<const char*> names;
    for (pugi::xml_attribute attribute = first; attribute; attribute = attribute.next_attribute()) {
      names.push_back(attribute.name());
    }
    std::sort(names.begin(), names.end(),
              [](const char* left, const char* right) { return std::strcmp(left, right) < 0; });
    auto twice = std::adjacent_find(names.begin(), names.end(), SameName);
    return twice != names.end() ? *twice : nullptr;
  }

  Problem problem_;
};

// Why a tree that pugixml built is not well-formed XML, which pugixml does not
// check: more than one document element, text outside it, an attribute given
// twice. No reason when it is; a document without any element is left to
// pugixml's own reason.
Problem WellFormedProblem(pugi::xml_document& document) {
  int elements = 0;
  for (pugi::xml_node node : document.children()) {
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
      return {"text outside the document element", OffsetOf(node)};
    }
    if (node.type() == pugi::node_element && ++elements == 2) return {"second document element", OffsetOf(node)};
  }
  RepeatedAttributeCheck check;
  document.traverse(check);
  return check.Outcome();
}

}  // namespace

bool XMLDocument::Parse(const std::string& path) {
  // Only a regular file is read: a directory's size reads as 2^63 - 1, which the
  // parser would try to allocate, and a pipe would block the reader.
  struct stat status;
  const bool found = stat(path.c_str(), &status) == 0;
  parseErrorOffset_ = -1;
  if (found && !S_ISREG(status.st_mode)) {
    document_.reset();
    fileOpened_ = true;
    parseError_ = "not a regular file";
    return false;
  }
  pugi::xml_parse_result result = document_.load_file(path.c_str(), kParseOptions);
  fileOpened_ = result.status != pugi::status_file_not_found && result.status != pugi::status_io_error;
  if (result && !document_.document_element()) result = document_.load_file(path.c_str());
  if (result) {
    Problem problem = WellFormedProblem(document_);
    parseError_ = std::move(problem.reason);
    if (parseError_.empty()) return true;
    parseErrorOffset_ = problem.offset;
    document_.reset();
    return false;
  }
  // pugixml keeps what it read before the fault; a half document must not be trusted.
  document_.reset();
  parseError_ = result.description();
  if (fileOpened_) {
    // A file cut short fails at its end, which is placed at its last byte.
    parseErrorOffset_ = static_cast<long>(result.offset);
    if (found) parseErrorOffset_ = std::min(parseErrorOffset_, static_cast<long>(status.st_size) - 1);
  }
  return false;
}

}  // namespace IO
}  // namespace Core
