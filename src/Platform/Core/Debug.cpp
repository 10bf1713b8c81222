#include "Platform/Core/Debug.h"

#include <cstdarg>

namespace Core {

namespace {

void Write(std::FILE* out, const char* format, va_list arguments) {
  if (out == nullptr) return;
  std::vfprintf(out, format, arguments);
  std::fflush(out);
}

}  // namespace

void deprintf(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  Write(stderr, format, arguments);
  va_end(arguments);
}

void deprintfTo(std::FILE* out, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  Write(out, format, arguments);
  va_end(arguments);
}

}  // namespace Core
