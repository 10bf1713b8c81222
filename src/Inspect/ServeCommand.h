// fwinspect serve DIR [--listen ADDRESS:PORT]: the diagnostics server of the
// live error database of the working directory, for a browser and a
// monitoring system on the unit's network. It listens on 127.0.0.1:5380
// unless told otherwise (a non-loopback address only when given) and
// answers GET requests:
//
//   /                    the page (?code=CODE adds the decode of CODE)
//   /page.css, /page.js  its style sheet and script
//   /part/active, /part/history, /part/decode?code=CODE
//                        the parts of the page that its script swaps in
//   /api/active, /api/history, /api/decode/CODE, /api/catalogue
//                        JSON, as CLiveReport describes it
//   /api/events          Server-Sent Events: one event per change of the
//                        active errors, whose data is /api/active's answer
//   /metrics             the Prometheus text format
//
// Anything else is 404 with a JSON problem. The database is polled every
// 50 ms; the threads that answer requests are bounded, and so are the clients
// of the event stream (a client beyond them gets 503). A service that is not
// running yet is no failure: the answers say 503 until it runs. Prints one
// line "serving http://ADDRESS:PORT/" once it listens and runs until SIGINT
// or SIGTERM, then ends with 0; status 1 when it cannot listen, 2 for a
// malformed address.
#ifndef FAULTWRIGHT_INSPECT_SERVECOMMAND_H
#define FAULTWRIGHT_INSPECT_SERVECOMMAND_H

#include "Inspect/CArguments.h"

namespace Faultwright {

int RunServe(const CArguments& arguments);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_SERVECOMMAND_H
