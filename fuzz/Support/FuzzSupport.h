// What the fuzz targets share: checks that fail loudly, the input cut into
// parts, and standard streams that stay open for the library's messages.
//
// FUZZ_CHECK aborts with the condition's text when it does not hold, so that
// libFuzzer keeps the input as a crash. SplitInput cuts an input at its NUL
// bytes, which neither XML files nor command-line arguments can hold, into at
// most maxParts parts (the last one keeps the rest, NULs included).
#ifndef FAULTWRIGHT_FUZZ_SUPPORT_FUZZSUPPORT_H
#define FAULTWRIGHT_FUZZ_SUPPORT_FUZZSUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#define FUZZ_CHECK(condition) ((condition) ? (void)0 : FaultwrightFuzz::CheckFailed(#condition, __FILE__, __LINE__))

namespace FaultwrightFuzz {

[[noreturn]] void CheckFailed(const char* condition, const char* file, int line);

std::vector<std::string> SplitInput(const uint8_t* data, size_t size, size_t maxParts);

// libFuzzer's -close_fd_mask closes descriptors 1 and 2 to silence the library
// under test; a file opened afterwards would then receive its messages. This
// puts /dev/null in their place. Call it at the start of every input.
void KeepStandardStreamsOpen();

}  // namespace FaultwrightFuzz

#endif  // FAULTWRIGHT_FUZZ_SUPPORT_FUZZSUPPORT_H
