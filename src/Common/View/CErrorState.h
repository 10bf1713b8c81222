// CErrorState: the live state of one error as the shared-memory view keeps it,
// 28 bytes without gaps. It is the layout of one entry of the shared segment
// and the record that the view hands out and takes back.
//
// An error is the pair (Code, Type); Type holds the low 16 bits of the problem
// type and compares sign-extended. Bit 0 of Flags is set while the error is
// active. Both counters grow by one at every raise and wrap after 0xFFFF.
// Times are Core::MonotonicTime values as the owner's clock read them, all
// zero meaning never. A value-initialised record (CErrorState state = {}) is
// all zero.
#ifndef FAULTWRIGHT_COMMON_CERRORSTATE_H
#define FAULTWRIGHT_COMMON_CERRORSTATE_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "Platform/Core/MonotonicTime.h"

namespace Faultwright {

struct CErrorState {
  static constexpr uint16_t kActive = 0x0001;  // the one bit of Flags in use

  uint32_t Code;
  int16_t Type;
  uint16_t Flags;
  uint16_t RaiseCount1;
  uint16_t RaiseCount2;
  Core::MonotonicTime Raised;   // latest raise
  Core::MonotonicTime Cleared;  // latest clear

  bool IsActive() const { return (Flags & kActive) != 0; }
  bool Matches(uint32_t code, int32_t type) const { return Code == code && Type == type; }
  // The later of the two times: Cleared if it is after Raised, else Raised.
  const Core::MonotonicTime& ChangeTime() const { return Raised.CompareLT(Cleared) ? Cleared : Raised; }
};

// Every process maps the segment at its own address and on its own compiler:
// the layout is fixed to the byte.
static_assert(sizeof(CErrorState) == 28, "an error state is 28 bytes");
static_assert(std::is_standard_layout<CErrorState>::value, "an error state lives in shared memory");
static_assert(std::is_trivially_copyable<CErrorState>::value, "an error state is copied as bytes");
static_assert(offsetof(CErrorState, Code) == 0, "Code at 0");
static_assert(offsetof(CErrorState, Type) == 4, "Type at 4");
static_assert(offsetof(CErrorState, Flags) == 6, "Flags at 6");
static_assert(offsetof(CErrorState, RaiseCount1) == 8, "RaiseCount1 at 8");
static_assert(offsetof(CErrorState, RaiseCount2) == 10, "RaiseCount2 at 10");
static_assert(offsetof(CErrorState, Raised) == 12, "Raised at 12");
static_assert(offsetof(CErrorState, Cleared) == 20, "Cleared at 20");

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_CERRORSTATE_H
