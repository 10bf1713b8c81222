// Core::SystemError: the text "<what>: <strerror(errno)>" that names a failed
// system call and its reason, as our messages report it.
//
// REQUIRES: errno still holds the failed call's error; build the text before
// anything else may set errno.
#ifndef FAULTWRIGHT_PLATFORM_CORE_SYSTEMERROR_H
#define FAULTWRIGHT_PLATFORM_CORE_SYSTEMERROR_H

#include <cerrno>
#include <cstring>
#include <string>

namespace Core {

inline std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace Core

#endif  // FAULTWRIGHT_PLATFORM_CORE_SYSTEMERROR_H
