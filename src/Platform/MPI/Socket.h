// Socket: one TCP stream connection of the message-passing layer.
//
// A socket connects to a host and port, or adopts a descriptor that a listening
// server accepted. It writes whole byte runs and reads what has arrived. Reads
// never block unless asked to wait, writes never raise SIGPIPE, and a write that
// the peer does not drain within kSendTimeoutMs is abandoned. A connection whose
// read or write fails is closed and Disconnected() is called.
//
// The virtual functions are hooks for the classes built on Socket. Their order
// is part of the layer's binary interface: peers of the unit rely on it.
#ifndef FAULTWRIGHT_PLATFORM_MPI_SOCKET_H
#define FAULTWRIGHT_PLATFORM_MPI_SOCKET_H

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

class Socket {
 public:
  static constexpr int kSendTimeoutMs = 5000;
  // The longest a Connect waits for the peer to take the connection.
  static constexpr int kConnectTimeoutMs = 2000;
  // The longest a Reconnect waits: it runs inside a request of the socket's
  // user, which must not be held up.
  static constexpr int kReconnectTimeoutMs = 50;
  static constexpr size_t kReadChunkBytes = 64 * 1024;

  Socket();
  virtual ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Connects to host:port, trying each address of host in turn, and calls
  // Connected() on success. timeoutMs bounds the wait of the whole attempt; -1
  // waits kConnectTimeoutMs. The address is kept for Reconnect.
  bool Connect(const std::string& host, unsigned short port, int timeoutMs);
  // Closes the connection, if one is open; calls no hook.
  void Close();
  bool IsConnected() const { return descriptor_ >= 0; }
  int Descriptor() const { return descriptor_; }
  // Whether Connect was ever called, and when it was last called.
  bool HasAddress() const { return hasAddress_; }
  std::chrono::steady_clock::time_point LastConnectAttempt() const { return lastConnectAttempt_; }

  // Called when a wait for data ran out of time.
  virtual void Idle();
  // Adopts a connected descriptor, closing what was open, and calls Connected().
  virtual bool Accept(int descriptor);
  // Connects again to the address of the last Connect, waiting no longer than
  // its timeout nor than kReconnectTimeoutMs.
  virtual bool Reconnect();
  // Called once a connection is established.
  virtual void Connected();
  // A further descriptor that a wait for data also watches, or -1 for none.
  virtual int GetExtraReader();
  // Called when that further descriptor is readable.
  virtual void ReadExtra();
  // Reads what has arrived, without waiting, into ReceivedData(). Returns the
  // number of bytes read, 0 when there were none, or -1 when the connection is
  // lost.
  virtual int DataReceived();
  // Hook for datagram sockets, which this layer does not open.
  virtual void DataReceivedFrom(std::string host, unsigned short port);
  // Called after a whole message has been written.
  virtual void DataSent();
  // Called when the connection is lost: the peer closed it, a read or write
  // failed, or the peer sent bytes that make no message.
  virtual void Disconnected();

 protected:
  // Writes all of data; false, with the connection lost, when it cannot.
  bool SendBytes(const std::string& data);
  // Waits up to timeoutMs (-1: without limit) for data, serving the extra
  // reader meanwhile. False when the time ran out (Idle() was called) or the
  // wait failed.
  bool WaitForData(int timeoutMs);
  // Looks, without waiting or consuming anything, whether the peer has closed
  // or reset the connection, also behind data not read yet; a connection found
  // dead is lost.
  bool PeerStillConnected();
  // The same look, which loses nothing: true also when no connection is open.
  bool PeerHungUp() const;
  const char* ReceivedData() const { return received_.data(); }
  // What DataReceived does, reading at most limit bytes.
  int ReceiveUpTo(size_t limit);
  // The same, into buffer rather than ReceivedData(), which stays as it was.
  int ReceiveInto(char* buffer, size_t limit);
  // Closes the connection and tells Disconnected().
  void Lose();

 private:
  // Connects to the kept address, waiting at most timeoutMs.
  bool ConnectWithin(int timeoutMs);

  int descriptor_ = -1;
  bool hasAddress_ = false;
  std::string host_;
  unsigned short port_ = 0;
  int connectTimeoutMs_ = kConnectTimeoutMs;
  std::chrono::steady_clock::time_point lastConnectAttempt_;
  std::vector<char> received_;
};

#endif  // FAULTWRIGHT_PLATFORM_MPI_SOCKET_H
