// MPISocketServerC: a service's listening socket and the clients it serves.
//
// Single-threaded and poll-driven: each Poll waits for activity, accepts new
// clients, reads from those that sent something and hands out their complete
// messages, each with the id that the server gave its sender. Ids count up from
// 1 and are not reused. A client that disconnects, or that sends bytes that make
// no message, is dropped while the others go on; what it sent before is still
// handed out. Callbacks go only to the clients that asked for them. A further
// descriptor of the owner's (a signal descriptor, say) can be watched as well,
// so that one wait serves both.
#ifndef FAULTWRIGHT_PLATFORM_MPI_MPISOCKETSERVERC_H
#define FAULTWRIGHT_PLATFORM_MPI_MPISOCKETSERVERC_H

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/MPI/MPIServerConnectionC.h"

// One message as the server received it.
struct MPIReceivedMessageC {
  int client;
  std::unique_ptr<BDictionaryC> message;
};

class MPISocketServerC {
 public:
  // At most this many clients are accepted by one Poll.
  static constexpr int kMaxAcceptsPerPoll = 64;

  MPISocketServerC();
  ~MPISocketServerC();
  MPISocketServerC(const MPISocketServerC&) = delete;
  MPISocketServerC& operator=(const MPISocketServerC&) = delete;

  // Listens on a numeric address ("127.0.0.1", "::1") and port; port 0 takes a
  // free one (see Port). False, with the reason in ErrorText, when it cannot,
  // for example because the port is taken.
  bool Listen(const std::string& address, unsigned short port);
  const std::string& ErrorText() const { return errorText_; }
  unsigned short Port() const { return port_; }

  // Waits up to timeoutMs (-1: without limit) for activity and serves it,
  // appending the complete messages to *messages. Returns how many it
  // appended, or -1 when the server is not listening or the wait failed.
  int Poll(int timeoutMs, std::vector<MPIReceivedMessageC>* messages);

  // A further descriptor that Poll also waits for (-1: none). Poll returns
  // when it is readable and leaves reading it to the caller.
  void SetExtraReader(int descriptor) { extraReader_ = descriptor; }

  // Sends message (which stays the caller's) to client. False when there is
  // no such client or the send failed; a client whose send fails is dropped.
  bool Send(int client, BElementC* message);
  // Sends the callback name with args to every client that asked for it, and
  // returns how many it reached.
  int SendCallback(const std::string& name, BListC* args);

  size_t ClientCount() const { return clients_.size(); }
  void Drop(int client);
  // Stops listening and closes every client.
  void Close();

 private:
  bool Fail(const char* call, const std::string& address, unsigned short port);
  void AcceptClients();

  int listener_ = -1;
  int extraReader_ = -1;
  unsigned short port_ = 0;
  int nextClient_ = 1;
  std::string errorText_;
  std::map<int, std::unique_ptr<MPIServerConnectionC>> clients_;
};

#endif  // FAULTWRIGHT_PLATFORM_MPI_MPISOCKETSERVERC_H
