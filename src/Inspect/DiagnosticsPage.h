// The diagnostics page of fwinspect serve, as HTML built on the server from
// the JSON answers of CLiveReport, so that the page shows without JavaScript
// exactly what the API says; its script swaps the same parts in live.
//
// Each Render function gives one part: problem, when not empty, is why the
// live error database cannot be read (or, for a decode, why the code names
// nothing), and is shown instead. now is the monotonic clock's present
// reading in seconds, against which ages ("3 min ago") are told. Every text
// is escaped for HTML. RenderPage puts the parts into the page's template.
#ifndef FAULTWRIGHT_INSPECT_DIAGNOSTICSPAGE_H
#define FAULTWRIGHT_INSPECT_DIAGNOSTICSPAGE_H

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace Faultwright {

// topLevelErrors: Active()'s "topLevelErrors".
std::string RenderActive(const nlohmann::ordered_json& topLevelErrors, int64_t now, const std::string& problem);
// history: History()'s array.
std::string RenderHistory(const nlohmann::ordered_json& history, int64_t now, const std::string& problem);
// decoding: Decode()'s object.
std::string RenderDecode(const std::string& stateCode, const nlohmann::ordered_json& decoding, int64_t now,
                         const std::string& problem);
std::string RenderPage(const std::string& active, const std::string& history, const std::string& decode,
                       const std::string& stateCode);

// The page's style sheet and script as they are served.
const char* PageStyle();
const char* PageScript();

}  // namespace Faultwright

#endif  // FAULTWRIGHT_INSPECT_DIAGNOSTICSPAGE_H
