#include "Inspect/SchemaValidation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <unordered_map>
#include <utility>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlschemas.h>

#include "Platform/Core/IO/FileLines.h"
#include "Platform/Core/SystemError.h"

namespace Faultwright {

namespace {

const char kModelPrefix[] = "qd570";
const char kModelNamespace[] = "urn:faultwright:qd570";
const char kProbeSchema[] = "FaultwrightConfig.xsd";

struct FreeDocument {
  void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
struct FreeSchemaParser {
  void operator()(xmlSchemaParserCtxt* context) const { xmlSchemaFreeParserCtxt(context); }
};
struct FreeSchema {
  void operator()(xmlSchema* schema) const { xmlSchemaFree(schema); }
};
struct FreeValidator {
  void operator()(xmlSchemaValidCtxt* context) const { xmlSchemaFreeValidCtxt(context); }
};

bool Readable(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

// What libxml2 reports while one file is read and validated.
struct Collector {
  Core::IO::FileLines* lines;
  std::vector<std::string>* problems;
  // Where each element's start tag begins. libxml2 knows only the line on
  // which a start tag ends.
  std::unordered_map<const xmlNode*, long> offsets;
};

// The offsets of every start tag of text, in document order: each "<" that
// does not open an end tag, a comment, a CDATA section, a declaration or a
// processing instruction ("<" stands in no attribute value).
std::vector<long> StartTags(const std::string& text) {
  static const std::pair<const char*, const char*> kSkipped[] = {
      {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}, {"<!", ">"}, {"</", ">"}};
  std::vector<long> tags;
  for (size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
    bool skipped = false;
    for (const auto& [open, close] : kSkipped) {
      if (text.compare(at, std::strlen(open), open) != 0) continue;
      at = text.find(close, at + std::strlen(open));
      skipped = true;
      break;
    }
    if (at == std::string::npos) break;
    if (!skipped) tags.push_back(static_cast<long>(at));
  }
  return tags;
}

// Pairs the elements, in document order, with the start tags.
void MapOffsets(const xmlNode* node, const std::vector<long>& tags, size_t& next,
                std::unordered_map<const xmlNode*, long>& offsets) {
  for (; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    if (next < tags.size()) offsets[node] = tags[next++];
    MapOffsets(node->children, tags, next, offsets);
  }
}

void Collect(void* context, xmlErrorPtr error) {
  Collector& collector = *static_cast<Collector*>(context);
  // The prefix is bound afterwards; see BindModelPrefix.
  if (error->domain == XML_FROM_NAMESPACE && error->code == XML_NS_ERR_UNDEFINED_NAMESPACE && error->str1 != nullptr &&
      std::strcmp(error->str1, kModelPrefix) == 0) {
    return;
  }
  std::string place;
  auto found = collector.offsets.find(static_cast<const xmlNode*>(error->node));
  if (error->domain == XML_FROM_SCHEMASV && found != collector.offsets.end()) {
    place = collector.lines->Place(found->second);
  } else {
    place =
        collector.lines->Path() + ":" + std::to_string(error->line) + ":" + std::to_string(std::max(error->int2, 1));
  }
  std::string message = error->message != nullptr ? error->message : "unknown fault";
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  collector.problems->push_back(place + ": " + message);
}

// The loader reads "qd570:visible" as one name; a namespace-aware reader
// wants its prefix declared. Binds every undeclared one to the schemas'.
void BindModelPrefix(xmlNode* root, xmlNode* node, xmlNs*& model) {
  const size_t prefixLength = std::strlen(kModelPrefix);
  for (; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    for (xmlAttr* attribute = node->properties; attribute != nullptr;) {
      xmlAttr* next = attribute->next;
      const char* name = reinterpret_cast<const char*>(attribute->name);
      if (attribute->ns == nullptr && std::strncmp(name, kModelPrefix, prefixLength) == 0 &&
          name[prefixLength] == ':') {
        if (model == nullptr) {
          model = xmlNewNs(root, reinterpret_cast<const xmlChar*>(kModelNamespace),
                           reinterpret_cast<const xmlChar*>(kModelPrefix));
        }
        xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNode*>(attribute));
        if (model != nullptr && value != nullptr) {
          xmlSetNsProp(node, model, reinterpret_cast<const xmlChar*>(name + prefixLength + 1), value);
          xmlRemoveProp(attribute);
        }
        xmlFree(value);
      }
      attribute = next;
    }
    BindModelPrefix(root, node->children, model);
  }
}

// Sets libxml2's process-wide error report for the life of the object.
class ErrorReport {
 public:
  explicit ErrorReport(Collector* collector) { xmlSetStructuredErrorFunc(collector, Collect); }
  ~ErrorReport() { xmlSetStructuredErrorFunc(nullptr, nullptr); }
  ErrorReport(const ErrorReport&) = delete;
  ErrorReport& operator=(const ErrorReport&) = delete;
};

}  // namespace

bool SchemaDirectory(std::string& directory, std::string& failure) {
  char program[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
  if (length > 0) {
    program[length] = '\0';
    std::string installed(program);
    installed.erase(installed.rfind('/') + 1);
    installed += FAULTWRIGHT_SCHEMA_FROM_PROGRAMS;
    if (Readable(installed + kProbeSchema)) {
      directory = installed;
      return true;
    }
  }
  directory = FAULTWRIGHT_SCHEMA_SOURCE_DIR;
  if (Readable(directory + kProbeSchema)) return true;
  failure = "cannot find the configuration schemas (" + std::string(FAULTWRIGHT_SCHEMA_FROM_PROGRAMS) +
            " beside the program, or " + directory + ")";
  return false;
}

bool ValidateFile(const std::string& path, const std::string& schemaPath, std::vector<std::string>& problems,
                  std::string& failure) {
  // A directory or a pipe is the loader's to report; a pipe would block.
  struct stat status;
  if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return true;
  std::ifstream file(path, std::ios::binary);
  std::ostringstream contents;
  if (!file || !(contents << file.rdbuf())) {
    problems.push_back(Core::SystemError(path + ": cannot be read"));
    return true;
  }
  const std::string text = contents.str();
  if (text.size() > static_cast<size_t>(INT_MAX)) {
    problems.push_back(path + ": too large to validate");
    return true;
  }
  Core::IO::FileLines lines(path);
  Core::IO::FileLines schemaLines(schemaPath);
  std::vector<std::string> schemaProblems;
  Collector collector{&lines, &problems, {}};
  Collector schemaCollector{&schemaLines, &schemaProblems, {}};

  std::unique_ptr<xmlSchema, FreeSchema> schema;
  {
    ErrorReport report(&schemaCollector);
    std::unique_ptr<xmlSchemaParserCtxt, FreeSchemaParser> parser(xmlSchemaNewParserCtxt(schemaPath.c_str()));
    if (parser) schema.reset(xmlSchemaParse(parser.get()));
  }
  if (!schema) {
    failure = "cannot read the schema " + schemaPath + (schemaProblems.empty() ? "" : ": " + schemaProblems[0]);
    return false;
  }

  ErrorReport report(&collector);
  std::unique_ptr<xmlDoc, FreeDocument> document(xmlReadMemory(text.data(), static_cast<int>(text.size()), path.c_str(),
                                                               nullptr, XML_PARSE_NONET | XML_PARSE_BIG_LINES));
  if (!document) return true;  // not well-formed: its faults are collected
  xmlNode* root = xmlDocGetRootElement(document.get());
  size_t next = 0;
  MapOffsets(root, StartTags(text), next, collector.offsets);
  xmlNs* model = nullptr;
  BindModelPrefix(root, root, model);
  std::unique_ptr<xmlSchemaValidCtxt, FreeValidator> validator(xmlSchemaNewValidCtxt(schema.get()));
  if (!validator) {
    failure = "out of memory validating " + path;
    return false;
  }
  xmlSchemaSetValidStructuredErrors(validator.get(), Collect, &collector);
  xmlSchemaValidateDoc(validator.get(), document.get());
  return true;
}

}  // namespace Faultwright
