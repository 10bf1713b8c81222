// MPIServerConnectionC: a service's side of the connection with one client.
//
// It handles the protocol like any connection (it records the callbacks that
// the client asks for, so that DoCallback reaches only those who asked) and also
// keeps every message it receives, for the server to hand out.
#ifndef FAULTWRIGHT_PLATFORM_MPI_MPISERVERCONNECTIONC_H
#define FAULTWRIGHT_PLATFORM_MPI_MPISERVERCONNECTIONC_H

#include <memory>
#include <vector>

#include "Platform/MPI/MPISocketConnectionC.h"

class MPIServerConnectionC : public MPISocketConnectionC {
 public:
  int MessageReceived(BDictionaryC* message) override;

  // The messages received since the last call, oldest first.
  std::vector<std::unique_ptr<BDictionaryC>> TakeMessages();

 private:
  std::vector<std::unique_ptr<BDictionaryC>> received_;
};

#endif  // FAULTWRIGHT_PLATFORM_MPI_MPISERVERCONNECTIONC_H
