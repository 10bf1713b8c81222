// Core::IO::XMLNode: one element of a parsed Core::IO::XMLDocument, a small
// handle that is copied by value and stays valid as long as its document.
//
// Children() yields the child elements only (no text, comments or processing
// instructions), in document order. Attribute lookup is by exact name and
// tells an absent attribute from an empty one. Names are compared exactly.
#ifndef FAULTWRIGHT_PLATFORM_CORE_IO_XMLNODE_H
#define FAULTWRIGHT_PLATFORM_CORE_IO_XMLNODE_H

#include <optional>
#include <string>

#include <pugixml.hpp>

namespace Core {
namespace IO {

class XMLNode {
 public:
  // The child elements of one node, walked with a range-for; each is an XMLNode by value.
  class ChildList {
   public:
    class Iterator {
     public:
      explicit Iterator(pugi::xml_node node) : node_(node) {}
      XMLNode operator*() const { return XMLNode(node_); }
      Iterator& operator++() {
        node_ = NextElement(node_.next_sibling());
        return *this;
      }
      bool operator!=(const Iterator& other) const { return node_ != other.node_; }
      bool operator==(const Iterator& other) const { return node_ == other.node_; }

     private:
      pugi::xml_node node_;
    };

    explicit ChildList(pugi::xml_node parent) : parent_(parent) {}
    Iterator begin() const { return Iterator(NextElement(parent_.first_child())); }
    Iterator end() const { return Iterator(pugi::xml_node()); }
    bool empty() const { return !(begin() != end()); }

   private:
    pugi::xml_node parent_;
  };

  explicit XMLNode(pugi::xml_node node) : node_(node) {}

  // The element's name; empty for the document's root node.
  std::string Name() const { return node_.name(); }
  // Name() == name without building a string.
  bool IsNamed(const char* name) const;
  // The byte offset of the element's "<" in the file it was parsed from, or
  // -1 when it is not known; Core::IO::FileLines turns it into a line.
  long Offset() const;

  // The first child element of that name, or nothing.
  std::optional<XMLNode> Child(const std::string& name) const { return Child(name.c_str()); }
  std::optional<XMLNode> Child(const char* name) const;
  ChildList Children() const { return ChildList(node_); }

  // Every lookup by name also takes a C string, so that loaders reading many
  // attributes by literal names build no strings.
  bool HasAttribute(const std::string& name) const { return FindAttribute(name.c_str()) != nullptr; }
  bool HasAttribute(const char* name) const { return FindAttribute(name) != nullptr; }
  // The attribute's value, or null when the node has no attribute of that
  // name. The text lives as long as the document.
  const char* FindAttribute(const std::string& name) const { return FindAttribute(name.c_str()); }
  const char* FindAttribute(const char* name) const;
  // The attribute's value, or fallback when it is absent (not when it is empty).
  std::string Attribute(const std::string& name, const std::string& fallback = std::string()) const {
    return Attribute(name.c_str(), fallback);
  }
  std::string Attribute(const char* name, const std::string& fallback = std::string()) const;
  // Calls visit(name, value) for every attribute in document order, both C
  // strings that live as long as the document: one pass for a reader that
  // wants many attributes of one element.
  template <typename Visit>
  void ForEachAttribute(Visit visit) const {
    for (pugi::xml_attribute attribute = node_.first_attribute(); attribute; attribute = attribute.next_attribute()) {
      visit(attribute.name(), attribute.value());
    }
  }

 private:
  // node itself if it is an element, else its next sibling that is one.
  static pugi::xml_node NextElement(pugi::xml_node node);

  pugi::xml_node node_;
};

}  // namespace IO
}  // namespace Core

#endif  // FAULTWRIGHT_PLATFORM_CORE_IO_XMLNODE_H
