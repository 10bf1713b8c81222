#include "Common/ErrorDatabase/ErrorAttributes.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace Faultwright {

namespace {

// In the order of the slots.
const char* const kNames[] = {"identifier",       "severity",   "qd570:severity",      "visible",
                              "qd570:visible",    "timeout",    "qd570:timeout",       "fullScreen",
                              "qd570:fullScreen", "shouldBeep", "shouldBeepIfGuiding", "includeServiceNumber",
                              "forceShutdown"};

}  // namespace

bool ErrorAttributes::IsYes(const char* value) { return std::strcmp(value, "yes") == 0; }

int ErrorAttributes::ReadNumber(const char* value) {
  long number = std::strtol(value, nullptr, 10);
  return static_cast<int>(std::clamp<long>(number, INT32_MIN, INT32_MAX));
}

bool ErrorAttributes::IsNumber(const char* value) {
  char* end = nullptr;
  errno = 0;
  long number = std::strtol(value, &end, 10);
  return end != value && *end == '\0' && errno == 0 && number >= INT32_MIN && number <= INT32_MAX;
}

ErrorAttributes::ErrorAttributes(const Core::IO::XMLNode& node) {
  static_assert(sizeof(kNames) / sizeof(kNames[0]) == kCount, "one name per slot");
  node.ForEachAttribute([this](const char* name, const char* value) {
    for (int i = 0; i < kCount; ++i) {
      // The first of two equal names counts, as with a lookup by name. The
      // first letters are compared inline: most names differ there.
      if (values_[i] == nullptr && name[0] == kNames[i][0] && std::strcmp(name, kNames[i]) == 0) {
        values_[i] = value;
        return;
      }
    }
  });
}

}  // namespace Faultwright
