// Core::deprintf: a formatted debug message, written as given (the caller
// ends its line with "\n") and flushed at once: on standard error, or with
// deprintfTo on out, where null writes nothing.
#ifndef FAULTWRIGHT_PLATFORM_CORE_DEBUG_H
#define FAULTWRIGHT_PLATFORM_CORE_DEBUG_H

#include <cstdio>

namespace Core {

void deprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void deprintfTo(std::FILE* out, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace Core

#endif  // FAULTWRIGHT_PLATFORM_CORE_DEBUG_H
