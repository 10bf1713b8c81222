// Core::Time: a point in time as two 32-bit words, whole seconds first, then
// nanoseconds within the second.
//
// The value is stored in shared memory exactly as it is, so it stays 8 bytes,
// standard layout and trivially copyable. All-zero means "never". Comparisons
// order by seconds, then nanoseconds; they accept a Core::MonotonicTime too,
// which is a Time of the monotonic clock.
#ifndef FAULTWRIGHT_PLATFORM_CORE_TIME_H
#define FAULTWRIGHT_PLATFORM_CORE_TIME_H

#include <cstdint>
#include <type_traits>

namespace Core {

class Time {
 public:
  Time() : seconds_(0), nanoseconds_(0) {}
  // nanoseconds beyond one second carry over into the seconds.
  Time(uint32_t seconds, uint32_t nanoseconds);

  uint32_t Seconds() const { return seconds_; }
  uint32_t Nanoseconds() const { return nanoseconds_; }
  bool IsZero() const { return seconds_ == 0 && nanoseconds_ == 0; }

  bool CompareLT(const Time& other) const {
    return seconds_ != other.seconds_ ? seconds_ < other.seconds_ : nanoseconds_ < other.nanoseconds_;
  }
  bool CompareGT(const Time& other) const { return other.CompareLT(*this); }
  bool CompareNE(const Time& other) const { return seconds_ != other.seconds_ || nanoseconds_ != other.nanoseconds_; }

  // The time in seconds, fraction included.
  double AsDouble() const { return seconds_ + nanoseconds_ / 1e9; }

 private:
  uint32_t seconds_;
  uint32_t nanoseconds_;
};

static_assert(sizeof(Time) == 8, "a time is two 32-bit words in shared memory");
static_assert(std::is_trivially_copyable<Time>::value, "a time is copied as bytes in shared memory");
static_assert(std::is_standard_layout<Time>::value, "a time is stored in shared memory");

}  // namespace Core

#endif  // FAULTWRIGHT_PLATFORM_CORE_TIME_H
