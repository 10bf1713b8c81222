// MPISocketServerC: a service's listening socket and the clients it serves.
//
// Single-threaded and poll-driven: each Poll waits for activity, accepts new
// clients, reads from those that sent something and hands their complete
// messages to the handler, each with the id that the server gave its sender.
// Ids count up from 1 and are not reused. A client that disconnects, or that
// sends bytes that make no message, is dropped while the others go on; what it
// sent before is still handed out. Callbacks go only to the clients that asked
// for them. A further descriptor of the owner's (a signal descriptor, say) can
// be watched as well, so that one wait serves both.
//
// No client can hold the others up. One Poll reads at most kReadBytesPerTurn
// of each client, and hands that client's messages out before it reads the
// next, so that the memory of received messages stays bounded and a flood of
// clients delays a newcomer by one round. Sends never wait: each client has
// its own bounded queue (MPIServerConnectionC), and one that does not read is
// dropped. When the descriptors run out, a waiting connection is accepted on a
// spare one and closed at once, so that the listener does not stay readable
// and the loop does not spin.
//
// Requests never overtake older ones of the same client. A client that gave up
// a connection (its send timed out, say) and sent again on a new one still has
// its older requests on the old connection, partly in this side's buffers and
// partly in its own kernel's, which sends them as this side reads. A new
// connection is therefore not read while an older one whose client has closed
// it still has bytes to be read; that older connection soon ends, since nobody
// writes to it any more.
#ifndef FAULTWRIGHT_PLATFORM_MPI_MPISOCKETSERVERC_H
#define FAULTWRIGHT_PLATFORM_MPI_MPISOCKETSERVERC_H

#include <chrono>
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

// What the server tells its owner. The handler may send, and drop clients
// (the one whose message it handles among them), from within any call.
class MPIServerHandlerC {
 public:
  virtual ~MPIServerHandlerC() = default;
  virtual void MessageReceived(int client, std::unique_ptr<BDictionaryC> message) = 0;
  // The server gave client up, for reason: its bytes made no message, or it
  // does not read what it asked for. Clients that close are not reported.
  virtual void ClientDropped(int client, const std::string& reason);
  // No descriptor is left for new clients (started), and connections are
  // turned away; or one is free again, after turnedAway connections were.
  virtual void SheddingChanged(bool started, size_t turnedAway);
};

class MPISocketServerC {
 public:
  // At most this many clients are accepted by one Poll.
  static constexpr int kMaxAcceptsPerPoll = 64;
  // At most this much of each client is read by one Poll.
  static constexpr size_t kReadBytesPerTurn = 4096;

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

  // The handler of every later Poll, drop and shedding; not owned, may be null.
  void SetHandler(MPIServerHandlerC* handler) { handler_ = handler; }

  // Waits up to timeoutMs (-1: without limit) for activity and serves it,
  // handing the complete messages to the handler. Returns how many it handed
  // out, or -1 when the server is not listening or the wait failed.
  int Poll(int timeoutMs);
  // The same, appending the messages to messages instead.
  int Poll(int timeoutMs, std::vector<MPIReceivedMessageC>& messages);

  // The end of the service: takes in the clients already waiting, stops
  // listening, then reads every client, oldest first, until nothing more has
  // arrived, handing its messages to the handler. False when it was cut short:
  // deadline came first, or the extra reader became readable (a second stop).
  bool Finish(std::chrono::steady_clock::time_point deadline);

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
  // Accepts what waits, up to kMaxAcceptsPerPoll; how many connections it took.
  int AcceptClients();
  // Accepts one waiting connection on the spare descriptor and closes it.
  bool Shed();
  // Reads up to maxBytes of client and hands its messages out (counting them
  // in handed): Receive's result.
  int ReadClient(int client, size_t maxBytes, int& handed);
  // Removes client, telling the handler why when the server gave it up.
  void Remove(int client);
  // Whether client must wait for an older connection still being read.
  bool Held(int client);

  int listener_ = -1;
  int spare_ = -1;
  int extraReader_ = -1;
  unsigned short port_ = 0;
  int nextClient_ = 1;
  bool shedding_ = false;
  size_t turnedAway_ = 0;
  std::chrono::steady_clock::time_point acceptPausedUntil_;
  std::string errorText_;
  MPIServerHandlerC* handler_ = nullptr;
  std::map<int, std::unique_ptr<MPIServerConnectionC>> clients_;
  std::map<int, std::vector<int>> heldBehind_;  // a new client, and the abandoned connections it waits for
};

#endif  // FAULTWRIGHT_PLATFORM_MPI_MPISOCKETSERVERC_H
