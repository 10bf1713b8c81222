// Fuzzes the pattern loader with any "ErrorPatterns.xml" and asks the table
// for the fixed codes of the error sets that its own patterns name.
//
// Beyond the sanitizers it checks what matching relies on: every loaded
// pattern has a fixed code and keys in ascending order, the keys of a pattern
// always match some pattern, and the order of the active keys changes no
// answer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Common/Patterns/CErrorPatterns.h"
#include "Support/FuzzDirectory.h"
#include "Support/FuzzSupport.h"

namespace {

FaultwrightFuzz::FuzzDirectory directory;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FaultwrightFuzz::KeepStandardStreamsOpen();
  directory.Write(Faultwright::CErrorPatterns::kFileName, std::string(reinterpret_cast<const char*>(data), size));
  const Faultwright::CErrorPatterns patterns(directory.Path());

  std::vector<Faultwright::CErrorKey> everyKey;
  for (const Faultwright::CErrorPattern& pattern : patterns.Patterns()) {
    FUZZ_CHECK(!pattern.fixedCode.empty());
    FUZZ_CHECK(std::is_sorted(pattern.errorKeys.begin(), pattern.errorKeys.end()));
    FUZZ_CHECK(!patterns.GetFixedCode(pattern.errorKeys).empty());
    std::vector<Faultwright::CErrorKey> reversed(pattern.errorKeys.rbegin(), pattern.errorKeys.rend());
    FUZZ_CHECK(patterns.GetFixedCode(reversed) == patterns.GetFixedCode(pattern.errorKeys));
    everyKey.insert(everyKey.end(), pattern.errorKeys.begin(), pattern.errorKeys.end());
  }
  std::string answer = patterns.GetFixedCode(everyKey);
  std::reverse(everyKey.begin(), everyKey.end());
  FUZZ_CHECK(patterns.GetFixedCode(everyKey) == answer);
  return 0;
}
