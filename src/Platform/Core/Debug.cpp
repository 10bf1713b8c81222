#include "Platform/Core/Debug.h"

#include <cstdarg>
#include <cstdio>

namespace Core {

void deprintf(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stderr, format, arguments);
  va_end(arguments);
  std::fflush(stderr);
}

}  // namespace Core
