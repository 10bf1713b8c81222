// Faultwright: the fault-reporting toolkit of the guidance controller.
// Including this header gives every public interface of the library.
#ifndef FAULTWRIGHT_H
#define FAULTWRIGHT_H

#include "Identifiers/CErrorKey.h"
#include "Identifiers/Identifiers.h"

#endif  // FAULTWRIGHT_H
