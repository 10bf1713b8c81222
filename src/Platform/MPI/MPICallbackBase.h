// MPICallbackBase: what a connection calls when the peer sends a callback that
// was registered under a name (MPISocketConnectionC::RequestCallback).
//
// The call is the first virtual function, the destructor follows: peers of the
// unit rely on that layout. Call receives the callback's name and its argument
// list, which stays the connection's; its result is handed back to the caller
// of the dispatch.
#ifndef FAULTWRIGHT_PLATFORM_MPI_MPICALLBACKBASE_H
#define FAULTWRIGHT_PLATFORM_MPI_MPICALLBACKBASE_H

#include <string>

class BListC;

class MPICallbackBase {
 public:
  MPICallbackBase() = default;
  MPICallbackBase(const MPICallbackBase&) = delete;
  MPICallbackBase& operator=(const MPICallbackBase&) = delete;

  virtual int Call(const std::string& name, BListC* args) = 0;
  virtual ~MPICallbackBase() = default;
};

#endif  // FAULTWRIGHT_PLATFORM_MPI_MPICALLBACKBASE_H
