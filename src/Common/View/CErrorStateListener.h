// CErrorStateListener: hears from a reader's shared-memory view of every entry
// that changed, after the view copied the segment and without its lock held.
//
// The view neither owns nor deletes its listener. The virtual destructor takes
// the interface's first slots, ahead of the notification.
#ifndef FAULTWRIGHT_COMMON_CERRORSTATELISTENER_H
#define FAULTWRIGHT_COMMON_CERRORSTATELISTENER_H

#include "Common/View/CErrorState.h"

namespace Faultwright {

class CErrorStateListener {
 public:
  virtual ~CErrorStateListener() = default;
  // state is the entry of the view's local copy; it stays valid until the
  // view's next Update.
  virtual void ErrorStateChanged(const CErrorState& state) = 0;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_CERRORSTATELISTENER_H
