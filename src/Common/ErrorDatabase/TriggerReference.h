// TriggerReference: the "id" of a catalogue Trigger, "module:submodule:
// problem:type", turned into the error code and type that it names.
//
// The id is split at every ":" and must give exactly four parts. The three
// names must be known names of the identifier tables, matched exactly; the
// type is read as a decimal number (strtol, clamped to 32 bits), not looked up
// by name. Names are found through hashed copies of the tables made once per
// process, since a large catalogue resolves thousands of triggers. An object
// reuses its buffers from one id to the next; use one per thread.
#ifndef FAULTWRIGHT_COMMON_ERRORDATABASE_TRIGGERREFERENCE_H
#define FAULTWRIGHT_COMMON_ERRORDATABASE_TRIGGERREFERENCE_H

#include <cstdint>
#include <string>
#include <vector>

namespace Faultwright {

class TriggerReference {
 public:
  enum Result { kResolved, kMalformed, kUnknownModule, kUnknownSubModule, kUnknownProblem };

  Result Parse(const std::string& id);
  // Valid after Parse gave kResolved.
  uint32_t Code() const { return code_; }
  // Valid after Parse gave anything but kMalformed.
  int Type() const { return type_; }
  // The type as the id gives it; a name there reads as 0.
  const std::string& TypeText() const { return parts_[3]; }

 private:
  std::vector<std::string> parts_;
  uint32_t code_ = 0;
  int type_ = 0;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_ERRORDATABASE_TRIGGERREFERENCE_H
