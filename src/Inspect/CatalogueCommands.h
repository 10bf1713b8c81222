// The fwinspect commands that read a configuration directory and nothing
// live, for whoever prepares or checks a configuration:
//
//   check DIR [--json]
//                    every problem of the configuration files on standard
//                    error, "FILE:LINE:COLUMN: message" (their schemas', the
//                    loader's and ConfigurationCheck's), then the cost of each
//                    top-level error's tree and one verdict line on standard
//                    output; --json prints all of it as one JSON object
//                    instead. Status 0 without problems (warnings allowed),
//                    1 with, 2 when the directory or a schema is unreadable
//   tree DIR [--all] the catalogue's root errors with their trigger trees
//   list DIR         the names of every error
//   export DIR FILE  the catalogue's texts under their keys into FILE
//
// tree and list print exactly the library's report; the loader's own
// problems, if any, go to standard error on the way. Each function takes the
// command's parsed arguments and returns the exit status.
#ifndef FAULTWRIGHT_INSPECT_CATALOGUECOMMANDS_H
#define FAULTWRIGHT_INSPECT_CATALOGUECOMMANDS_H

#include "Inspect/CArguments.h"

namespace Faultwright {

int RunCheck(const CArguments& arguments);
int RunTree(const CArguments& arguments);
int RunList(const CArguments& arguments);
int RunExport(const CArguments& arguments);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_CATALOGUECOMMANDS_H
