#include "Platform/MPI/MPISocketClientC.h"

MPISocketClientC::MPISocketClientC(bool reconnect) : reconnect_(reconnect) {}

int MPISocketClientC::VerifyConnection() {
  if (StillConnected()) return 1;
  if (!reconnect_ || !HasAddress()) return 0;
  if (std::chrono::steady_clock::now() - LastConnectAttempt() < kReconnectInterval) return 0;
  return Reconnect() ? 1 : 0;
}

void MPISocketClientC::CheckCallbacks() {
  // A reconnection asks for the callbacks itself (Connected).
  if (!IsConnected() && VerifyConnection()) return;
  MPISocketConnectionC::CheckCallbacks();
}
