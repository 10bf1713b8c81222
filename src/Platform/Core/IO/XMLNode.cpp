#include "Platform/Core/IO/XMLNode.h"

#include <cstring>

namespace Core {
namespace IO {

bool XMLNode::IsNamed(const char* name) const { return std::strcmp(node_.name(), name) == 0; }

long XMLNode::Offset() const {
  // pugixml gives the offset of the name, just after the "<".
  const ptrdiff_t name = node_.offset_debug();
  return name > 0 ? static_cast<long>(name) - 1 : -1;
}

std::optional<XMLNode> XMLNode::Child(const char* name) const {
  for (XMLNode child : Children()) {
    if (child.IsNamed(name)) return child;
  }
  return std::nullopt;
}

const char* XMLNode::FindAttribute(const char* name) const {
  pugi::xml_attribute attribute = node_.attribute(name);
  return attribute ? attribute.value() : nullptr;
}

std::string XMLNode::Attribute(const char* name, const std::string& fallback) const {
  const char* value = FindAttribute(name);
  return value != nullptr ? std::string(value) : fallback;
}

pugi::xml_node XMLNode::NextElement(pugi::xml_node node) {
  while (node && node.type() != pugi::node_element) node = node.next_sibling();
  return node;
}

}  // namespace IO
}  // namespace Core
