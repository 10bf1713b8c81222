#include "Platform/Core/MonotonicTime.h"

#include <time.h>

#include <cstdint>
#include <cstdio>

namespace Core {

namespace {

const int64_t kNanosecondsPerSecond = 1000000000;
const int64_t kLatest = (int64_t{UINT32_MAX} + 1) * kNanosecondsPerSecond - 1;

int64_t NowInNanoseconds() {
  struct timespec now;
  if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) {
    std::perror("Core::MonotonicTime::Now clock_gettime");
    return 0;
  }
  return int64_t{now.tv_sec} * kNanosecondsPerSecond + now.tv_nsec;
}

MonotonicTime FromNanoseconds(int64_t nanoseconds) {
  if (nanoseconds < 0) nanoseconds = 0;
  if (nanoseconds > kLatest) nanoseconds = kLatest;
  return MonotonicTime(static_cast<uint32_t>(nanoseconds / kNanosecondsPerSecond),
                       static_cast<uint32_t>(nanoseconds % kNanosecondsPerSecond));
}

}  // namespace

MonotonicTime MonotonicTime::Now() { return FromNanoseconds(NowInNanoseconds()); }

MonotonicTime MonotonicTime::Timer(int milliseconds) {
  return FromNanoseconds(NowInNanoseconds() + int64_t{milliseconds} * 1000000);
}

}  // namespace Core
