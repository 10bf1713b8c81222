// Validation of one configuration file against its XML schema (config/schema,
// installed beside the programs), with libxml2.
//
// Every problem, the file's own well-formedness faults included, is appended
// to problems as one line "FILE:LINE:COLUMN: message", the place being that
// of the start tag of the element at fault. The "qd570:" attributes, which the
// catalogue's loader takes by their full names, are bound to the schemas'
// namespace "urn:faultwright:qd570" where the file does not declare it.
//
// SchemaDirectory finds the schemas: where they are installed relative to the
// running program, else in the source tree it was built from. Both functions
// return false, with the reason in failure, when a schema cannot be read.
// ValidateFile reports a file that cannot be read as a problem, and passes
// over one that is missing or no regular file (the loader says so). Not for
// concurrent use: libxml2's error reporting is set per process for the call.
#ifndef FAULTWRIGHT_INSPECT_SCHEMAVALIDATION_H
#define FAULTWRIGHT_INSPECT_SCHEMAVALIDATION_H

#include <string>
#include <vector>

namespace Faultwright {

// The directory, ending in "/".
bool SchemaDirectory(std::string& directory, std::string& failure);

bool ValidateFile(const std::string& path, const std::string& schemaPath, std::vector<std::string>& problems,
                  std::string& failure);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_SCHEMAVALIDATION_H
