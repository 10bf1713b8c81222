#include "Platform/MPI/Socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

// poll that resumes after a signal; the result of the last call.
int PollRetrying(pollfd* descriptors, nfds_t count, int timeoutMs) {
  int result;
  do {
    result = poll(descriptors, count, timeoutMs);
  } while (result < 0 && errno == EINTR);
  return result;
}

// Small messages go out at once: without this, a second notification written
// right after a first waits for the peer's delayed acknowledgement.
void SendWithoutDelay(int descriptor) {
  int on = 1;
  // A socket that refuses the option still works, only later; nothing to undo.
  (void)setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

using Clock = std::chrono::steady_clock;

// Milliseconds from now until deadline, 0 once it has passed.
int MillisecondsUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// A connected non-blocking stream descriptor for address, or -1 when refused
// or not accepted by deadline.
int ConnectTo(const sockaddr* address, socklen_t size, Clock::time_point deadline) {
  int descriptor = socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (descriptor < 0) return -1;
  if (connect(descriptor, address, size) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) {
      close(descriptor);
      return -1;
    }
    pollfd writable = {descriptor, POLLOUT, 0};
    int error = 0;
    socklen_t errorSize = sizeof error;
    if (PollRetrying(&writable, 1, MillisecondsUntil(deadline)) != 1 ||
        getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &error, &errorSize) != 0 || error != 0) {
      close(descriptor);
      return -1;
    }
  }
  SendWithoutDelay(descriptor);
  return descriptor;
}

// "localhost" always names this machine's loopback addresses (RFC 6761), so it
// is not looked up: the name service would cost every short-lived client a
// dozen file reads.
int ConnectToLoopback(unsigned short port, Clock::time_point deadline) {
  sockaddr_in ipv4 = {};
  ipv4.sin_family = AF_INET;
  ipv4.sin_port = htons(port);
  ipv4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int descriptor = ConnectTo(reinterpret_cast<const sockaddr*>(&ipv4), sizeof ipv4, deadline);
  if (descriptor >= 0) return descriptor;
  sockaddr_in6 ipv6 = {};
  ipv6.sin6_family = AF_INET6;
  ipv6.sin6_port = htons(port);
  ipv6.sin6_addr = in6addr_loopback;
  return ConnectTo(reinterpret_cast<const sockaddr*>(&ipv6), sizeof ipv6, deadline);
}

// Tries each address of host in turn, all by one deadline.
int ConnectToHost(const std::string& host, unsigned short port, Clock::time_point deadline) {
  if (host == "localhost") return ConnectToLoopback(port, deadline);
  addrinfo hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* addresses = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses) != 0) return -1;
  int descriptor = -1;
  for (const addrinfo* address = addresses; address != nullptr && descriptor < 0; address = address->ai_next) {
    descriptor = ConnectTo(address->ai_addr, address->ai_addrlen, deadline);
  }
  freeaddrinfo(addresses);
  return descriptor;
}

}  // namespace

Socket::Socket() = default;

Socket::~Socket() { Close(); }

bool Socket::Connect(const std::string& host, unsigned short port, int timeoutMs) {
  hasAddress_ = true;
  host_ = host;
  port_ = port;
  // A service that listens but never accepts would hold a wait without limit
  // for good: its queue of connections is full and the handshake never ends.
  connectTimeoutMs_ = timeoutMs >= 0 ? timeoutMs : kConnectTimeoutMs;
  return ConnectWithin(connectTimeoutMs_);
}

bool Socket::ConnectWithin(int timeoutMs) {
  Close();
  lastConnectAttempt_ = Clock::now();
  descriptor_ = ConnectToHost(host_, port_, lastConnectAttempt_ + std::chrono::milliseconds(timeoutMs));
  if (descriptor_ < 0) return false;
  Connected();
  return true;
}

void Socket::Close() {
  if (descriptor_ < 0) return;
  // The descriptor is gone even when close reports an error; nothing to retry.
  (void)close(descriptor_);
  descriptor_ = -1;
}

void Socket::Lose() {
  Close();
  Disconnected();
}

void Socket::Idle() {}

bool Socket::Accept(int descriptor) {
  Close();
  int flags = fcntl(descriptor, F_GETFL);
  if (flags < 0 || fcntl(descriptor, F_SETFL, flags | O_NONBLOCK) != 0 || fcntl(descriptor, F_SETFD, FD_CLOEXEC) != 0) {
    close(descriptor);
    return false;
  }
  SendWithoutDelay(descriptor);
  descriptor_ = descriptor;
  Connected();
  return true;
}

bool Socket::Reconnect() { return hasAddress_ && ConnectWithin(std::min(connectTimeoutMs_, kReconnectTimeoutMs)); }

void Socket::Connected() {}

int Socket::GetExtraReader() { return -1; }

void Socket::ReadExtra() {}

int Socket::DataReceived() { return ReceiveUpTo(kReadChunkBytes); }

int Socket::ReceiveUpTo(size_t limit) {
  if (descriptor_ < 0) return -1;
  received_.resize(limit);
  return ReceiveInto(received_.data(), limit);
}

int Socket::ReceiveInto(char* buffer, size_t limit) {
  if (descriptor_ < 0) return -1;
  for (;;) {
    ssize_t count = recv(descriptor_, buffer, limit, MSG_DONTWAIT);
    if (count > 0) return static_cast<int>(count);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    Lose();  // the peer closed the connection, or it failed
    return -1;
  }
}

void Socket::DataReceivedFrom(std::string, unsigned short) {}

void Socket::DataSent() {}

void Socket::Disconnected() {}

bool Socket::SendBytes(const std::string& data) {
  if (descriptor_ < 0) return false;
  const char* next = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t count = send(descriptor_, next, left, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (count > 0) {
      next += count;
      left -= static_cast<size_t>(count);
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    pollfd writable = {descriptor_, POLLOUT, 0};
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && PollRetrying(&writable, 1, kSendTimeoutMs) == 1) {
      continue;
    }
    // A message cut short would garble every later one: the stream is given up.
    Lose();
    return false;
  }
  return true;
}

bool Socket::WaitForData(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (descriptor_ < 0) return false;  // the extra reader's handler may have closed it
    int wait = timeoutMs;
    if (timeoutMs >= 0) wait = MillisecondsUntil(deadline);
    pollfd descriptors[2] = {{descriptor_, POLLIN, 0}, {GetExtraReader(), POLLIN, 0}};
    int ready = PollRetrying(descriptors, descriptors[1].fd >= 0 ? 2 : 1, wait);
    if (ready < 0) return false;
    if (ready == 0) {
      Idle();
      return false;
    }
    if (descriptors[1].fd >= 0 && descriptors[1].revents != 0) ReadExtra();
    if (descriptors[0].revents != 0) return true;
  }
}

bool Socket::PeerStillConnected() {
  if (!PeerHungUp()) return true;
  if (IsConnected()) Lose();
  return false;
}

bool Socket::PeerHungUp() const {
  if (descriptor_ < 0) return true;
  // POLLRDHUP: the peer's end of the stream has arrived, also when data sent
  // before it is still unread. A connection that cannot be looked at is not
  // trusted with a message either.
  pollfd peer = {descriptor_, POLLRDHUP, 0};
  return PollRetrying(&peer, 1, 0) != 0;
}
