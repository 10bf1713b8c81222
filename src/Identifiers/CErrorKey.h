// CErrorKey: the identity of one error, the pair (error code, problem type).
//
// Both fields are signed 32-bit. Keys compare equal when both fields are equal
// and order by error code first, then type, both as signed integers. The key
// travels from the command line to the service client, and is the element of
// the shared-memory view's key lists and of the error patterns.
#ifndef FAULTWRIGHT_IDENTIFIERS_CERRORKEY_H
#define FAULTWRIGHT_IDENTIFIERS_CERRORKEY_H

#include <cstdint>

namespace Faultwright {

struct CErrorKey {
  int32_t code = 0;
  int32_t type = 0;

  CErrorKey() = default;
  CErrorKey(int32_t errorCode, int32_t problemType) : code(errorCode), type(problemType) {}

  bool operator==(const CErrorKey& other) const { return code == other.code && type == other.type; }
  bool operator!=(const CErrorKey& other) const { return !(*this == other); }
  bool operator<(const CErrorKey& other) const { return code != other.code ? code < other.code : type < other.type; }
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_IDENTIFIERS_CERRORKEY_H
