// CViewPublisher: the service's side of the shared-memory view. It owns the
// owner's CErrorDatabaseView of the working directory and, as the catalogue's
// listener, writes every raise and clear of the catalogue (those raised or
// cleared automatically through trigger sets included) into the segment before
// passing it on to the next listener.
//
// A write into the segment can be lost without a word: the view gives up when
// it does not get the lock within its five attempts (a reader holding it
// longer), and refuses everything once a system call failed. So the publisher
// keeps its own copy of what the segment must hold, changed by the same rules
// as the view changes the segment (a raise of an inactive entry sets its bit,
// its raise time and both counters; a clear of an active one clears the bit and
// sets the clear time). Verify compares the segment with that copy and writes
// back whatever a lost write left different, counters included. A view that
// failed, or whose segment or semaphore set another process removed, is
// attached afresh without initialising (which would add a second unit to a
// lock that has its first; a new lock the view frees itself), and the table,
// the copy and the Enabled word are placed in it whole, with one line on
// standard error when what it found is new. While Verify cannot read the
// segment, changes go to the copy only, so that a lock that stays held costs
// one wait per Verify rather than one per change; the next Verify that reads
// the segment writes them all.
// The copy is also what the service saves, so a save never waits for the lock.
//
// Reload moves the publisher to a catalogue loaded anew: the errors that
// stay keep their states (active bits, counters, times), the new ones start
// inactive and never raised, and the table and states are placed in the
// segment whole at the next Verify.
#ifndef FAULTWRIGHT_SERVICE_CVIEWPUBLISHER_H
#define FAULTWRIGHT_SERVICE_CVIEWPUBLISHER_H

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "Common/ErrorDatabase/CErrorDatabase.h"
#include "Common/ErrorDatabase/CErrorDatabaseListener.h"
#include "Common/View/CErrorDatabaseView.h"
#include "Common/View/CErrorState.h"

namespace Faultwright {

class CViewPublisher : public CErrorDatabaseListener {
 public:
  // Neither catalogue nor next (null: none) is owned.
  CViewPublisher(CErrorDatabase& catalogue, CErrorDatabaseListener* next);
  ~CViewPublisher() override;

  // Becomes the owner of the segment: initialises it, places the catalogue's
  // errors, loads the active bits, counters and times of records and enables
  // it; the errors active in records are raised silently in the catalogue too.
  // False when the segment cannot be attached or does not take the errors
  // (printed by the view).
  bool Open(const std::vector<CErrorState>& records);

  // Publishes catalogue instead of the one before, which may go once this
  // returns; the errors active in the copy are raised silently in catalogue.
  // REQUIRES: Open succeeded; catalogue has no listener yet.
  void Reload(CErrorDatabase& catalogue);

  void ErrorRaised(unsigned code, EProblemType type) override;
  void ErrorCleared(unsigned code, EProblemType type) override;

  // Puts back the table's count, codes and types where another process
  // changed them (said on standard error by the view), and the Enabled word,
  // then writes back every entry that differs from States(). A view attached afresh gets the table,
  // States() and the Enabled word whole instead. Returns how many entries it
  // wrote back (0 after placing everything), or -1 when the segment could not
  // be read now.
  int Verify();
  // What the segment must hold: its entries in order, as GetErrorStates gives them.
  const std::vector<CErrorState>& States() const { return states_; }

 private:
  using Key = std::pair<uint32_t, int16_t>;

  // Places the table, the records (first of each pair, active bits included)
  // and the Enabled word in the view; States() becomes what the segment then
  // holds. False when a step was lost to the lock.
  bool Place(const std::vector<CErrorState>& records);
  // The entry of states that the view's lookups find for (code, type): the
  // first one.
  CErrorState* Find(std::vector<CErrorState>& states, unsigned code, int type);
  // Sets the entries that the catalogue's records get, and their lookup.
  void Index();
  // Raises the errors active in States() silently in the catalogue.
  void RaiseActiveInCatalogue();

  CErrorDatabase* catalogue_;
  CErrorDatabaseListener* next_;
  std::unique_ptr<CErrorDatabaseView> view_;
  std::vector<CErrorState> states_;
  bool writing_ = true;   // false while the segment could not be read
  bool placing_ = false;  // a view attached afresh still needs Place
  size_t placed_ = 0;     // the catalogue's records that have an entry
  std::map<Key, size_t> firstEntry_;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_SERVICE_CVIEWPUBLISHER_H
