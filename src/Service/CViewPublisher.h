// CViewPublisher: the service's side of the shared-memory view. It owns the
// owner's CErrorDatabaseView of the working directory and, as the catalogue's
// listener, writes every raise and clear of the catalogue (those raised or
// cleared automatically through trigger sets included) into the segment before
// passing it on to the next listener.
//
// A write into the segment can be lost without a word: the view gives up when
// it does not get the lock within its five attempts (a reader holding it
// longer), and refuses everything once a system call failed. The catalogue is
// the service's truth, so Verify compares the segment with it and writes back
// every active bit that differs; a view that failed is attached afresh (without
// initialising, which would add a second unit to the lock).
#ifndef FAULTWRIGHT_SERVICE_CVIEWPUBLISHER_H
#define FAULTWRIGHT_SERVICE_CVIEWPUBLISHER_H

#include <memory>
#include <vector>

#include "Common/CErrorDatabaseView.h"
#include "Common/CErrorState.h"
#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/ErrorDatabase/CErrorDatabaseListener.h"

namespace Faultwright {

class CViewPublisher : public CErrorDatabaseListener {
 public:
  // Neither catalogue nor next (null: none) is owned.
  CViewPublisher(CErrorDatabase& catalogue, CErrorDatabaseListener* next);
  ~CViewPublisher() override;

  // Becomes the owner of the segment: initialises it, places the catalogue's
  // errors, loads the counters and times of records and enables it. False when
  // the segment cannot be attached (the view printed why).
  bool Open(const std::vector<CErrorState>& records);

  void ErrorRaised(unsigned code, EProblemType type) override;
  void ErrorCleared(unsigned code, EProblemType type) override;

  // Replaces *states with the segment's entries and writes back every entry
  // whose active bit differs from the catalogue. Returns how many it wrote
  // back (the states then are those from before), or -1 when the segment could
  // not be read now.
  int Verify(std::vector<CErrorState>* states);

 private:
  CErrorDatabase& catalogue_;
  CErrorDatabaseListener* next_;
  std::unique_ptr<CErrorDatabaseView> view_;
  size_t placed_ = 0;  // entries in the segment: the catalogue's first 400 records
  // Per entry, whether it is the first of its (code, type): the view finds
  // only the first, so a later duplicate never changes and must not be compared.
  std::vector<bool> firstOfKey_;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_SERVICE_CVIEWPUBLISHER_H
