// Core::MonotonicTime: a Core::Time read from CLOCK_MONOTONIC, a clock that
// never goes back (seconds since an arbitrary start, usually boot).
//
// It adds no fields, so it keeps the 8-byte layout of Core::Time and may be
// stored in shared memory and compared with the Core::Time comparisons.
// Now() gives the zero time ("never") only if the clock cannot be read.
#ifndef FAULTWRIGHT_PLATFORM_CORE_MONOTONICTIME_H
#define FAULTWRIGHT_PLATFORM_CORE_MONOTONICTIME_H

#include <cstdint>
#include <type_traits>

#include "Platform/Core/Time.h"

namespace Core {

class MonotonicTime : public Time {
 public:
  MonotonicTime() = default;
  MonotonicTime(uint32_t seconds, uint32_t nanoseconds) : Time(seconds, nanoseconds) {}

  static MonotonicTime Now();
  // The time that lies the given number of milliseconds after now; a negative
  // amount lies before now, never before the clock's start.
  static MonotonicTime Timer(int milliseconds);

  // True when this time has been reached at now (a deadline that equals now
  // has run out).
  bool Expired(const MonotonicTime& now) const { return !now.CompareLT(*this); }
};

static_assert(sizeof(MonotonicTime) == 8, "a time is two 32-bit words in shared memory");
static_assert(std::is_trivially_copyable<MonotonicTime>::value, "a time is copied as bytes in shared memory");
static_assert(std::is_standard_layout<MonotonicTime>::value, "a time is stored in shared memory");

}  // namespace Core

#endif  // FAULTWRIGHT_PLATFORM_CORE_MONOTONICTIME_H
