// Core::deprintf: a formatted debug message on standard error, written as
// given (the caller ends its line with "\n") and flushed at once.
#ifndef FAULTWRIGHT_PLATFORM_CORE_DEBUG_H
#define FAULTWRIGHT_PLATFORM_CORE_DEBUG_H

namespace Core {

void deprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace Core

#endif  // FAULTWRIGHT_PLATFORM_CORE_DEBUG_H
