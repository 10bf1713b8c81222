#include "Platform/MPI/MPISocketServerC.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
  port_ = ntohs(storage.ss_family == AF_INET ? ipv4->sin_port : ipv6->sin6_port);
  errorText_.clear();
  return true;
}

bool MPISocketServerC::Fail(const char* call, const std::string& address, unsigned short port) {
  errorText_ = std::string(call) + " " + address + " port " + std::to_string(port) + ": " + std::strerror(errno);
  Close();
  return false;
}

int MPISocketServerC::Poll(int timeoutMs, std::vector<MPIReceivedMessageC>* messages) {
  if (listener_ < 0) return -1;
  // poll passes over a negative descriptor, so the extra reader may be -1.
  std::vector<pollfd> descriptors = {{listener_, POLLIN, 0}, {extraReader_, POLLIN, 0}};
  const size_t firstClient = descriptors.size();
  std::vector<int> ids;
  for (const auto& [id, client] : clients_) {
    descriptors.push_back({client->Descriptor(), POLLIN, 0});
    ids.push_back(id);
  }
  int ready = poll(descriptors.data(), descriptors.size(), timeoutMs);
  if (ready < 0) return errno == EINTR ? 0 : -1;
  int appended = 0;
  for (size_t i = firstClient; i < descriptors.size(); ++i) {
    if (descriptors[i].revents == 0) continue;
    auto found = clients_.find(ids[i - firstClient]);
    if (found == clients_.end()) continue;
    int received = found->second->ReceiveMessage(false);
    for (auto& message : found->second->TakeMessages()) {
      messages->push_back({found->first, std::move(message)});
      ++appended;
    }
    if (received < 0) clients_.erase(found);
  }
  if (descriptors[0].revents != 0) AcceptClients();
  return appended;
}

void MPISocketServerC::AcceptClients() {
  for (int accepted = 0; accepted < kMaxAcceptsPerPoll; ++accepted) {
    int descriptor = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (descriptor < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;  // none waiting, or out of descriptors: the next Poll tries again
    }
    auto client = std::make_unique<MPIServerConnectionC>();
    if (client->Accept(descriptor)) clients_[nextClient_++] = std::move(client);
  }
}

bool MPISocketServerC::Send(int client, BElementC* message) {
  auto found = clients_.find(client);
  if (found == clients_.end()) return false;
  if (found->second->SendMessageElement(message)) return true;
  clients_.erase(found);
  return false;
}

int MPISocketServerC::SendCallback(const std::string& name, BListC* args) {
  int reached = 0;
  for (auto client = clients_.begin(); client != clients_.end();) {
    int result = client->second->DoCallback(name, args);
    if (result > 0) ++reached;
    client = result < 0 ? clients_.erase(client) : std::next(client);
  }
  return reached;
}

void MPISocketServerC::Drop(int client) { clients_.erase(client); }

void MPISocketServerC::Close() {
  clients_.clear();
  if (listener_ >= 0) {
    // The descriptor is gone even when close reports an error; nothing to retry.
    (void)close(listener_);
    listener_ = -1;
  }
  port_ = 0;
}
