// CErrorDatabaseListener: hears of every raise and clear of the catalogue
// that is not silent, on the thread that raised or cleared.
//
// The catalogue neither owns nor deletes its listener. The virtual destructor
// takes the interface's first slots, ahead of the two notifications.
#ifndef FAULTWRIGHT_COMMON_ERRORDATABASE_CERRORDATABASELISTENER_H
#define FAULTWRIGHT_COMMON_ERRORDATABASE_CERRORDATABASELISTENER_H

#include "Identifiers/Identifiers.h"

namespace Faultwright {

class CErrorDatabaseListener {
 public:
  virtual ~CErrorDatabaseListener() = default;
  virtual void ErrorRaised(unsigned code, EProblemType type) = 0;
  virtual void ErrorCleared(unsigned code, EProblemType type) = 0;
};

}  // namespace Faultwright

#endif  // FAULTWRIGHT_COMMON_ERRORDATABASE_CERRORDATABASELISTENER_H
