// MPISocketClientC: the connection of a process to a service.
//
// A client made to reconnect finds out before each use whether its connection
// still stands (VerifyConnection) and, when it does not, connects again to the
// address of its last Connect, at most once per kReconnectInterval, so that a
// long-lived client recovers after the service restarts. Its callbacks are then
// asked for again.
#ifndef FAULTWRIGHT_PLATFORM_MPI_MPISOCKETCLIENTC_H
#define FAULTWRIGHT_PLATFORM_MPI_MPISOCKETCLIENTC_H

#include <chrono>

#include "Platform/MPI/MPISocketConnectionC.h"

class MPISocketClientC : public MPISocketConnectionC {
 public:
  static constexpr std::chrono::milliseconds kReconnectInterval{1000};

  // reconnect: whether VerifyConnection may connect again.
  explicit MPISocketClientC(bool reconnect);

  // Non-zero when a message can be sent now: the connection stands, or a
  // reconnection that was due has just succeeded.
  int VerifyConnection();

  // Reconnects when due, then asks for callbacks not yet asked for.
  void CheckCallbacks() override;

 private:
  bool reconnect_;
};

#endif  // FAULTWRIGHT_PLATFORM_MPI_MPISOCKETCLIENTC_H
