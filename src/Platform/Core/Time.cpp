#include "Platform/Core/Time.h"

namespace Core {

Time::Time(uint32_t seconds, uint32_t nanoseconds)
    : seconds_(seconds + nanoseconds / 1000000000u), nanoseconds_(nanoseconds % 1000000000u) {}

}  // namespace Core
