// CTriggerPath: the way down a trigger tree, from its top error to the error
// being walked, shared by every walk of a tree (the summaries, the decoder of
// state codes, the print of the active errors and the catalogue report).
//
// A walk enters a trigger only when MayEnter says so: not when the trigger is
// already on the way down (it closes a cycle) and not kMaxTriggerDepth levels
// down. The walks recurse, and a catalogue may chain its errors deeper than a
// thread's stack allows; the writer and the reader of a state code must stop
// at the same level, so every walk stops at this one.
//
// The path does not own the errors; they must outlive it.
#ifndef FAULTWRIGHT_COMMON_ERRORDATABASE_CTRIGGERPATH_H
#define FAULTWRIGHT_COMMON_ERRORDATABASE_CTRIGGERPATH_H

#include <algorithm>
#include <string>
#include <vector>

#include "Common/ErrorDatabase/CError.h"

namespace Faultwright {

// Levels of a trigger tree that a walk follows.
const std::string::size_type kMaxTriggerDepth = 256;

class CTriggerPath {
 public:
  bool MayEnter(const CError* error) const {
    return errors_.size() < kMaxTriggerDepth && std::find(errors_.begin(), errors_.end(), error) == errors_.end();
  }
  void Enter(const CError* error) { errors_.push_back(error); }
  // REQUIRES: an error was entered and not yet left.
  void Leave() { errors_.pop_back(); }

 private:
  std::vector<const CError*> errors_;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_ERRORDATABASE_CTRIGGERPATH_H
