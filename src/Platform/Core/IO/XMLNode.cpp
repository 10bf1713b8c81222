#include "Platform/Core/IO/XMLNode.h"

#include <cstring>

namespace Core {
namespace IO {

bool XMLNode::IsNamed(const char* name) const { return std::strcmp(node_.name(), name) == 0; }

std::optional<XMLNode> XMLNode::Child(const std::string& name) const {
  for (XMLNode child : Children()) {
    if (child.IsNamed(name.c_str())) return child;
  }
  return std::nullopt;
}

const char* XMLNode::FindAttribute(const std::string& name) const {
  pugi::xml_attribute attribute = node_.attribute(name.c_str());
  return attribute ? attribute.value() : nullptr;
}

std::string XMLNode::Attribute(const std::string& name, const std::string& fallback) const {
  const char* value = FindAttribute(name);
  return value != nullptr ? std::string(value) : fallback;
}

pugi::xml_node XMLNode::NextElement(pugi::xml_node node) {
  while (node && node.type() != pugi::node_element) node = node.next_sibling();
  return node;
}

}  // namespace IO
}  // namespace Core
