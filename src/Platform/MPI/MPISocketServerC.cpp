#include "Platform/MPI/MPISocketServerC.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Platform/Core/SystemError.h"

namespace {

using Clock = std::chrono::steady_clock;

// While no spare descriptor could be had, the listener is left alone this long
// at a time, so that a connection that cannot be taken does not make the loop spin.
constexpr std::chrono::milliseconds kAcceptPause{100};

// Names the socket from source to destination in the fields of its address
// family, which sock_diag asks for by its ends.
template <typename Address, typename Port, typename Host>
void SetSocketEnds(const sockaddr_storage& source, const sockaddr_storage& destination, Port Address::*port,
                   Host Address::*host, inet_diag_req_v2& request) {
  const auto& from = reinterpret_cast<const Address&>(source);
  const auto& to = reinterpret_cast<const Address&>(destination);
  request.id.idiag_sport = from.*port;
  request.id.idiag_dport = to.*port;
  std::memcpy(request.id.idiag_src, &(from.*host), sizeof(Host));
  std::memcpy(request.id.idiag_dst, &(to.*host), sizeof(Host));
}

// Whether the client's end of the connection descriptor no longer belongs to
// any process: the client closed it, and its kernel only delivers what it had
// queued. The kernel's socket diagnostics tell; where they cannot be asked,
// the connection counts as open.
bool ClientClosed(int descriptor) {
  sockaddr_storage local = {};
  sockaddr_storage peer = {};
  socklen_t localSize = sizeof local;
  socklen_t peerSize = sizeof peer;
  if (getsockname(descriptor, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
      getpeername(descriptor, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0) {
    return false;
  }
  struct {
    nlmsghdr header;
    inet_diag_req_v2 request;
  } query = {};
  query.header.nlmsg_len = sizeof query;
  query.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  query.header.nlmsg_flags = NLM_F_REQUEST;
  inet_diag_req_v2& request = query.request;
  request.sdiag_family = static_cast<__u8>(peer.ss_family);
  request.sdiag_protocol = IPPROTO_TCP;
  request.idiag_states = ~0u;
  request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
  request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
  // The client's socket: its source is this side's peer.
  if (peer.ss_family == AF_INET) {
    SetSocketEnds(peer, local, &sockaddr_in::sin_port, &sockaddr_in::sin_addr, request);
  } else if (peer.ss_family == AF_INET6) {
    SetSocketEnds(peer, local, &sockaddr_in6::sin6_port, &sockaddr_in6::sin6_addr, request);
  } else {
    return false;
  }
  int diagnostics = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
  if (diagnostics < 0) return false;
  alignas(nlmsghdr) char answer[1024];
  ssize_t size = -1;
  if (send(diagnostics, &query, sizeof query, 0) == static_cast<ssize_t>(sizeof query)) {
    do {
      size = recv(diagnostics, answer, sizeof answer, 0);
    } while (size < 0 && errno == EINTR);
  }
  (void)close(diagnostics);  // a query socket: nothing was written that could be lost
  const auto* header = reinterpret_cast<const nlmsghdr*>(answer);
  if (size < 0 || !NLMSG_OK(header, static_cast<size_t>(size)) || header->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
      header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg))) {
    return false;
  }
  return static_cast<const inet_diag_msg*>(NLMSG_DATA(header))->idiag_inode == 0;
}

bool HasInput(int descriptor) {
  int bytes = 0;
  return ioctl(descriptor, FIONREAD, &bytes) == 0 && bytes > 0;
}

// Collects the messages for the vector form of Poll.
class MessageCollector : public MPIServerHandlerC {
 public:
  explicit MessageCollector(std::vector<MPIReceivedMessageC>& messages) : messages_(messages) {}
  void MessageReceived(int client, std::unique_ptr<BDictionaryC> message) override {
    messages_.push_back({client, std::move(message)});
  }

 private:
  std::vector<MPIReceivedMessageC>& messages_;
};

}  // namespace

void MPIServerHandlerC::ClientDropped(int, const std::string&) {}

void MPIServerHandlerC::SheddingChanged(bool, size_t) {}

MPISocketServerC::MPISocketServerC() = default;

MPISocketServerC::~MPISocketServerC() { Close(); }

bool MPISocketServerC::Listen(const std::string& address, unsigned short port) {
  Close();
  sockaddr_storage storage = {};
  socklen_t size;
  auto* ipv4 = reinterpret_cast<sockaddr_in*>(&storage);
  auto* ipv6 = reinterpret_cast<sockaddr_in6*>(&storage);
  if (inet_pton(AF_INET, address.c_str(), &ipv4->sin_addr) == 1) {
    ipv4->sin_family = AF_INET;
    ipv4->sin_port = htons(port);
    size = sizeof *ipv4;
  } else if (inet_pton(AF_INET6, address.c_str(), &ipv6->sin6_addr) == 1) {
    ipv6->sin6_family = AF_INET6;
    ipv6->sin6_port = htons(port);
    size = sizeof *ipv6;
  } else {
    errorText_ = "not a numeric address: " + address;
    return false;
  }
  listener_ = socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listener_ < 0) return Fail("socket", address, port);
  int on = 1;
  if (setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return Fail("setsockopt", address, port);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&storage), size) != 0) return Fail("bind", address, port);
  if (listen(listener_, SOMAXCONN) != 0) return Fail("listen", address, port);
  if (getsockname(listener_, reinterpret_cast<sockaddr*>(&storage), &size) != 0) {
    return Fail("getsockname", address, port);
  }
  spare_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (spare_ < 0) return Fail("open /dev/null for a spare descriptor,", address, port);
  port_ = ntohs(storage.ss_family == AF_INET ? ipv4->sin_port : ipv6->sin6_port);
  errorText_.clear();
  return true;
}

bool MPISocketServerC::Fail(const char* call, const std::string& address, unsigned short port) {
  errorText_ = Core::SystemError(std::string(call) + " " + address + " port " + std::to_string(port));
  Close();
  return false;
}

int MPISocketServerC::Poll(int timeoutMs, std::vector<MPIReceivedMessageC>& messages) {
  MessageCollector collector(messages);
  MPIServerHandlerC* owner = handler_;
  handler_ = &collector;
  int handed = Poll(timeoutMs);
  handler_ = owner;
  return handed;
}

int MPISocketServerC::Poll(int timeoutMs) {
  if (listener_ < 0) return -1;
  const bool accepting = Clock::now() >= acceptPausedUntil_;
  if (!accepting) {
    const auto pause = std::chrono::duration_cast<std::chrono::milliseconds>(acceptPausedUntil_ - Clock::now());
    const int left = static_cast<int>(pause.count()) + 1;
    if (timeoutMs < 0 || timeoutMs > left) timeoutMs = left;
  }
  // poll passes over a negative descriptor: so go a paused listener, a missing
  // extra reader and a client that has nothing to do.
  std::vector<pollfd> descriptors = {{accepting ? listener_ : -1, POLLIN, 0}, {extraReader_, POLLIN, 0}};
  const size_t firstClient = descriptors.size();
  std::vector<int> ids;
  for (const auto& [id, client] : clients_) {
    const short events = static_cast<short>((Held(id) ? 0 : POLLIN) | (client->HasQueued() ? POLLOUT : 0));
    descriptors.push_back({events != 0 ? client->Descriptor() : -1, events, 0});
    ids.push_back(id);
  }
  int ready = poll(descriptors.data(), descriptors.size(), timeoutMs);
  if (ready < 0) return errno == EINTR ? 0 : -1;
  int handed = 0;
  for (size_t i = firstClient; i < descriptors.size(); ++i) {
    const short revents = descriptors[i].revents;
    const int id = ids[i - firstClient];
    auto found = clients_.find(id);
    if (revents == 0 || found == clients_.end()) continue;
    if ((revents & POLLOUT) != 0 && !found->second->Flush()) {
      Remove(id);
      continue;
    }
    if ((descriptors[i].events & POLLIN) != 0 && (revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      ReadClient(id, kReadBytesPerTurn, handed);
    }
  }
  if (descriptors[0].revents != 0) AcceptClients();
  return handed;
}

int MPISocketServerC::ReadClient(int client, size_t maxBytes, int& handed) {
  int received = clients_[client]->Receive(maxBytes);
  for (auto& message : clients_[client]->TakeMessages()) {
    if (handler_ != nullptr) handler_->MessageReceived(client, std::move(message));
    ++handed;
    if (clients_.count(client) == 0) return -1;  // the handler dropped it
  }
  if (received < 0) Remove(client);
  return received;
}

bool MPISocketServerC::Held(int client) {
  auto held = heldBehind_.find(client);
  if (held == heldBehind_.end()) return false;
  std::vector<int>& older = held->second;
  older.erase(std::remove_if(older.begin(), older.end(), [this](int id) { return clients_.count(id) == 0; }),
              older.end());
  if (!older.empty()) return true;
  heldBehind_.erase(held);
  return false;
}

int MPISocketServerC::AcceptClients() {
  std::vector<int> abandoned;
  bool abandonedKnown = false;
  int accepted = 0;
  for (int attempt = 0; attempt < kMaxAcceptsPerPoll; ++attempt) {
    int descriptor = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (descriptor < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if ((errno == EMFILE || errno == ENFILE) && Shed()) continue;
      break;  // none waiting, or none could be shed
    }
    if (shedding_) {
      shedding_ = false;
      if (handler_ != nullptr) handler_->SheddingChanged(false, turnedAway_);
    }
    auto client = std::make_unique<MPIServerConnectionC>();
    if (!client->Accept(descriptor)) continue;
    if (!abandonedKnown) {
      for (const auto& [id, older] : clients_) {
        if (HasInput(older->Descriptor()) && ClientClosed(older->Descriptor())) abandoned.push_back(id);
      }
      abandonedKnown = true;
    }
    const int id = nextClient_++;
    if (!abandoned.empty()) heldBehind_[id] = abandoned;
    // One closed already (a short-lived tool's) goes before those accepted after it.
    if (HasInput(client->Descriptor()) && ClientClosed(client->Descriptor())) abandoned.push_back(id);
    clients_[id] = std::move(client);
    ++accepted;
  }
  return accepted;
}

bool MPISocketServerC::Shed() {
  // The spare goes first, so that the handler too has a descriptor to work with.
  if (spare_ >= 0) (void)close(spare_);  // opened read-only on /dev/null: nothing to lose
  spare_ = -1;
  if (!shedding_) {
    shedding_ = true;
    turnedAway_ = 0;
    if (handler_ != nullptr) handler_->SheddingChanged(true, 0);
  }
  int descriptor = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (descriptor >= 0) {
    (void)close(descriptor);  // nothing was read or written on it
    ++turnedAway_;
  }
  spare_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (descriptor >= 0 && spare_ >= 0) return true;
  acceptPausedUntil_ = Clock::now() + kAcceptPause;
  return false;
}

bool MPISocketServerC::Finish(Clock::time_point deadline) {
  if (listener_ >= 0) {
    while (AcceptClients() == kMaxAcceptsPerPoll) {}
    (void)close(listener_);  // nothing was written on it
    listener_ = -1;
  }
  heldBehind_.clear();  // oldest first, each to its end, keeps every client's order
  std::vector<int> ids;
  for (const auto& entry : clients_) ids.push_back(entry.first);
  int handed = 0;
  for (int id : ids) {
    while (clients_.count(id) != 0) {
      pollfd extra = {extraReader_, POLLIN, 0};
      if (Clock::now() >= deadline || poll(&extra, 1, 0) != 0) return false;
      if (ReadClient(id, Socket::kReadChunkBytes, handed) <= 0) break;
    }
  }
  for (auto& entry : clients_) entry.second->Flush();
  return true;
}

bool MPISocketServerC::Send(int client, BElementC* message) {
  auto found = clients_.find(client);
  if (found == clients_.end()) return false;
  if (found->second->SendMessageElement(message)) return true;
  Remove(client);
  return false;
}

int MPISocketServerC::SendCallback(const std::string& name, BListC* args) {
  int reached = 0;
  std::vector<int> lost;
  for (auto& [id, client] : clients_) {
    int result = client->DoCallback(name, args);
    if (result > 0) ++reached;
    if (result < 0) lost.push_back(id);
  }
  for (int id : lost) Remove(id);
  return reached;
}

void MPISocketServerC::Remove(int client) {
  auto found = clients_.find(client);
  if (found == clients_.end()) return;
  const std::string reason = found->second->DropReason();
  clients_.erase(found);
  if (!reason.empty() && handler_ != nullptr) handler_->ClientDropped(client, reason);
}

void MPISocketServerC::Drop(int client) { clients_.erase(client); }

void MPISocketServerC::Close() {
  clients_.clear();
  heldBehind_.clear();
  for (int* descriptor : {&listener_, &spare_}) {
    // The descriptor is gone even when close reports an error; nothing to retry.
    if (*descriptor >= 0) (void)close(*descriptor);
    *descriptor = -1;
  }
  port_ = 0;
}
