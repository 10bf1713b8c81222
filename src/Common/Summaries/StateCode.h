// The bit string behind a state code, shared by the summaries that write state
// codes and the decoder that reads them.
//
// A state code's bits are '0' and '1' characters: ten for the error's index
// in the view's table (most significant first), then one block per visited
// error of its trigger tree, a character per trigger of each trigger set in
// order, '1' for an active trigger. The text form pads the bits with '0' to
// whole bytes and writes each byte as two uppercase hexadecimal digits, so
// an error at index 5 without triggers reads "0140".
#ifndef FAULTWRIGHT_COMMON_STATECODE_H
#define FAULTWRIGHT_COMMON_STATECODE_H

#include <string>

#include "Common/ErrorDatabase/CError.h"
#include "Common/ErrorDatabase/CTriggerPath.h"

namespace Faultwright {

// Bits of the index that the state code's reader finds first.
const std::string::size_type kStateCodeIndexBits = 10;
// Appends the low ten bits of index; -1 (an error the view does not know)
// gives ten ones.
void AppendIndexBits(int index, std::string& bits);
// Appends error's block: one character per trigger, '1' while it is active.
void AppendTriggerBlock(const CError& error, std::string& bits);
// The text form of bits, padded with '0' to a multiple of eight.
std::string EncodeStateCode(const std::string& bits);

// The bits of a state code, four per digit. Operators type these codes from
// a screen, so a to f count as A to F; any other character makes the code
// unreadable: false, with bits left untouched.
bool DecodeStateCodeBits(const std::string& stateCode, std::string& bits);
// The index that the first ten bits give, or all the bits of a shorter string.
int IndexFromBits(const std::string& bits);

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_STATECODE_H
