#include "Common/Summaries/StateCode.h"

namespace Faultwright {

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

// The value of one hexadecimal digit, or -1.
int DigitValue(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  return -1;
}

}  // namespace

void AppendIndexBits(int index, std::string& bits) {
  unsigned value = static_cast<unsigned>(index) & 0x3FFu;
  for (int bit = kStateCodeIndexBits - 1; bit >= 0; --bit) bits += (value >> bit) & 1u ? '1' : '0';
}

void AppendTriggerBlock(const CError& error, std::string& bits) {
  for (const CTriggerSet& triggerSet : error.TriggerSets()) {
    for (const CError* trigger : triggerSet.Triggers()) bits += trigger->IsActive() ? '1' : '0';
  }
}

std::string EncodeStateCode(const std::string& bits) {
  std::string code;
  code.reserve((bits.size() + 7) / 8 * 2);
  for (std::string::size_type start = 0; start < bits.size(); start += 8) {
    unsigned byte = 0;
    for (std::string::size_type i = start; i < start + 8; ++i) {
      byte = byte << 1 | (i < bits.size() && bits[i] == '1' ? 1u : 0u);
    }
    code += kHexDigits[byte >> 4];
    code += kHexDigits[byte & 0xFu];
  }
  return code;
}

bool DecodeStateCodeBits(const std::string& stateCode, std::string& bits) {
  std::string decoded;
  decoded.reserve(stateCode.size() * 4);
  for (char digit : stateCode) {
    int value = DigitValue(digit);
    if (value < 0) return false;
    for (int bit = 3; bit >= 0; --bit) decoded += (value >> bit) & 1 ? '1' : '0';
  }
  bits.swap(decoded);
  return true;
}

int IndexFromBits(const std::string& bits) {
  int index = 0;
  for (std::string::size_type i = 0; i < bits.size() && i < kStateCodeIndexBits; ++i) {
    index = index << 1 | (bits[i] == '1' ? 1 : 0);
  }
  return index;
}

}  // namespace Faultwright
