// MPISocketConnectionC: a connection that exchanges bencoded messages.
//
// Every message is one dictionary with a "type", a "name" and, for
// notifications and callbacks, "args", a list. This side sends notifications
// ("notify") and asks the peer for callbacks by name ("request_callback"); the
// peer's "callback" messages are dispatched to the object registered under their
// name. Towards a peer that asked for a callback, DoCallback sends it. The bytes
// are described in docs/protocol.md.
//
// The connection owns its registrations, one per name: registering again under
// a name replaces and deletes the earlier object, so a callback is never
// dispatched twice. On every new connection the registrations are asked for
// again.
//
// Sends return true when the whole message was written; a failed send loses the
// connection. Receives return the number of messages handled, or -1 when the
// connection is closed or lost (bytes that make no message lose it too);
// messages that arrived before the peer closed are handled all the same.
//
// The virtual functions continue Socket's in an order that the layer's binary
// interface fixes.
#ifndef FAULTWRIGHT_PLATFORM_MPI_MPISOCKETCONNECTIONC_H
#define FAULTWRIGHT_PLATFORM_MPI_MPISOCKETCONNECTIONC_H

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Platform/MPI/BDecoderC.h"
#include "Platform/MPI/MPICallbackBase.h"
#include "Platform/MPI/Socket.h"

class BElementC;
class BEncoderC;
class BListC;

class MPISocketConnectionC : public Socket {
 public:
  // A peer may ask for this many distinct callbacks; later requests are ignored.
  static constexpr size_t kMaxPeerRequests = 64;
  // One receive reads at most this many chunks, so that one busy peer cannot
  // hold a server that serves many.
  static constexpr int kMaxChunksPerReceive = 16;

  MPISocketConnectionC();
  ~MPISocketConnectionC() override;

  // Sends the notification name with args (an empty list when null). The list
  // stays the caller's.
  bool SendNotification(const std::string& name, BListC* args);
  // Registers callback under name, taking it over, and asks the peer for it:
  // now when connected, else when a connection is made. False when the request
  // could not be sent now.
  bool RequestCallback(const std::string& name, MPICallbackBase* callback);
  // Whether the peer has asked for the callback name on this connection.
  bool PeerRequested(const std::string& name) const;

  // A new stream: forgets the peer's requests and any half-received message,
  // then asks for the registered callbacks.
  void Connected() override;
  // Closes the connection and deletes the registrations.
  virtual void Destroy();
  // Sends the callback name with args (null: none) when the peer asked for it:
  // 1 sent, 0 not asked for, -1 the send failed.
  virtual int DoCallback(const std::string& name, BListC* args);
  // Calls the object registered under name with args (null: an empty list):
  // its result, or -1 when nothing is registered.
  virtual int DoClientCallback(const std::string& name, BListC* args);
  // Asks for callbacks not yet asked for, then handles the messages that have
  // arrived, first waiting for some when wait (see SetTimeout).
  virtual int ProcessMessages(bool wait);
  // Asks the peer for every registered callback not yet asked for on this
  // connection.
  virtual void CheckCallbacks();
  // How long a waiting receive waits, in milliseconds; -1 (the initial value)
  // waits without limit.
  virtual void SetTimeout(int milliseconds);
  // Sends the encoder's bytes, which stay the caller's.
  virtual bool SendMessage(BEncoderC* encoder);
  // Sends element, which stays the caller's.
  virtual bool SendMessageElement(BElementC* element);
  // Reads what has arrived (first waiting for it when wait) and hands every
  // complete message to MessageReceived. Messages kept in held_ are handed on
  // first, by a receive of their own.
  virtual int ReceiveMessage(bool wait);
  // Takes message over and handles it: a "callback" is dispatched, a
  // "request_callback" recorded, anything else ignored. Returns the dispatched
  // callback's result, else 0.
  virtual int MessageReceived(BDictionaryC* message);

 protected:
  // What MessageReceived does with a message, for derived classes that keep it.
  int HandleMessage(const BDictionaryC& message);
  // Whether a message sent now would reach a peer that is still there. A peer
  // that has closed is seen at once, also behind messages not read yet: those
  // are read and kept for the next ReceiveMessage, and the connection is lost.
  bool StillConnected();
  // Hands every message that bytes complete to MessageReceived: how many, or
  // -1 when the bytes make no message (the connection is then lost) or a
  // handler closed the connection. When a handler loses the connection or
  // connects anew, the rest of bytes is the old connection's, kept as
  // KeepOldMessages says.
  int DecodeReceived(const char* bytes, size_t size);

 private:
  // Sends {"args": args, "name": name, "type": type}; no "args" when null.
  bool SendTyped(const char* type, const std::string& name, const BListC* args);
  // Keeps in held_ every whole message of the connection just lost that
  // bytes and then unread_ complete; drops a half one and empties unread_, so
  // that a new connection is decoded from its first byte.
  void KeepOldMessages(const char* bytes, size_t size);

  std::map<std::string, std::unique_ptr<MPICallbackBase>> registrations_;
  std::set<std::string> requestedOfPeer_;  // registrations asked for on this connection
  std::set<std::string> requestedByPeer_;
  BDecoderC decoder_;
  unsigned connections_ = 0;                         // connections made so far: tells a handler's reconnection apart
  std::vector<std::unique_ptr<BDictionaryC>> held_;  // arrived before the peer closed, not yet handled
  std::vector<char> unread_;                         // read behind the chunk being handled, before the peer closed
  int timeoutMs_ = -1;
  bool receiving_ = false;  // a callback that receives again must not reuse the read buffer
};

#endif  // FAULTWRIGHT_PLATFORM_MPI_MPISOCKETCONNECTIONC_H
