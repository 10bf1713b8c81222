// MPIServerConnectionC: a service's side of the connection with one client.
//
// It handles the protocol like any connection (it records the callbacks that
// the client asks for, so that DoCallback reaches only those who asked) and also
// keeps every message it receives, for the server to hand out.
//
// It never waits for its client: Receive reads only what has arrived, up to a
// bound, and every send goes into the connection's own queue, of which the
// client is given what it takes at once; the server writes the rest whenever
// the client can take more (Flush). A client whose queue would pass
// kMaxQueuedBytes does not read what it asked for and loses its connection, so
// that neither the service's memory nor its other clients pay for it.
// DropReason tells why this side gave a connection up; it stays empty when
// the client closed it or the stream failed.
#ifndef FAULTWRIGHT_PLATFORM_MPI_MPISERVERCONNECTIONC_H
#define FAULTWRIGHT_PLATFORM_MPI_MPISERVERCONNECTIONC_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "Platform/MPI/MPISocketConnectionC.h"

class MPIServerConnectionC : public MPISocketConnectionC {
 public:
  static constexpr size_t kMaxQueuedBytes = 256 * 1024;

  int MessageReceived(BDictionaryC* message) override;
  // Queues the bytes and writes what the client takes now. False, with the
  // connection lost, when the queue would pass its bound or the write fails.
  bool SendMessage(BEncoderC* encoder) override;

  // Reads at most maxBytes of what has arrived and decodes them. Returns the
  // number of bytes read (0: none had arrived), or -1 when the connection is
  // lost: closed by the client, failed, or its bytes make no message.
  int Receive(size_t maxBytes);
  // The messages received since the last call, oldest first.
  std::vector<std::unique_ptr<BDictionaryC>> TakeMessages();

  // Writes what the client takes now of the queue; false when the connection is lost.
  bool Flush();
  bool HasQueued() const { return !queued_.empty(); }
  const std::string& DropReason() const { return dropReason_; }

 private:
  std::vector<std::unique_ptr<BDictionaryC>> received_;
  std::string queued_;
  std::string dropReason_;
};

#endif  // FAULTWRIGHT_PLATFORM_MPI_MPISERVERCONNECTIONC_H
