// Core::IO::XMLDocument: an XML file parsed into memory.
//
// A document that could not be read or is not well-formed XML is left empty:
// its root node has no children, so Child("...") on it finds nothing (no
// partial tree survives a parse error). Well-formed includes what the parser
// itself lets pass: one document element, no text outside it, no attribute
// given twice on one element. The nodes handed out stay valid until the document is parsed
// again or destroyed. Not copyable: nodes point into it.
#ifndef FAULTWRIGHT_PLATFORM_CORE_IO_XMLDOCUMENT_H
#define FAULTWRIGHT_PLATFORM_CORE_IO_XMLDOCUMENT_H

#include <string>

#include <pugixml.hpp>

#include "Platform/Core/IO/XMLNode.h"

namespace Core {
namespace IO {

class XMLDocument {
 public:
  XMLDocument() = default;
  XMLDocument(const XMLDocument&) = delete;
  XMLDocument& operator=(const XMLDocument&) = delete;

  // Replaces the contents with the file at path. False when the file could
  // not be opened, is no regular file (a directory, a pipe) or is not
  // well-formed; ParseError() then says why.
  bool Parse(const std::string& path);
  // True unless the last Parse failed because the file could not be opened.
  bool FileOpened() const { return fileOpened_; }
  // Empty after a successful parse, else what went wrong (for messages).
  const std::string& ParseError() const { return parseError_; }
  // The byte offset in the file of what went wrong, for Core::IO::FileLines;
  // -1 when it lies nowhere in the file (it could not be read, or is no
  // regular file) or the last Parse succeeded.
  long ParseErrorOffset() const { return parseErrorOffset_; }

  // The document node; the file's top element is its child.
  XMLNode RootNode() const { return XMLNode(document_); }

 private:
  pugi::xml_document document_;
  bool fileOpened_ = true;
  std::string parseError_;
  long parseErrorOffset_ = -1;
};

}  // namespace IO
}  // namespace Core

#endif  // FAULTWRIGHT_PLATFORM_CORE_IO_XMLDOCUMENT_H
