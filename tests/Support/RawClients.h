// Raw connections to the diagnostic service's port, for tests and benchmarks
// that need clients misbehaving at the byte level. Header-only, so that the
// benchmarks can use it too.
#ifndef FAULTWRIGHT_TESTS_SUPPORT_RAWCLIENTS_H
#define FAULTWRIGHT_TESTS_SUPPORT_RAWCLIENTS_H

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "Client/CFaultwrightAPI.h"

namespace FaultwrightTest {

// A blocking connection to 127.0.0.1 port 5300 (or port), or -1.
inline int ConnectRaw(unsigned short port = Faultwright::CFaultwrightAPI::kServicePort) {
  int descriptor = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (descriptor < 0) return -1;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return descriptor;
  close(descriptor);
  return -1;
}

// Raw clients that write one message again and again, as fast as the service
// (or, while it is stopped, the kernel) takes it, from a thread of their own.
class Flood {
 public:
  Flood(int clients, const std::string& message) : size_(message.size()) {
    for (int n = 0; n < 1000; ++n) block_ += message;
    for (int n = 0; n < clients; ++n) {
      int socket = ConnectRaw();
      if (socket >= 0 && fcntl(socket, F_SETFL, O_NONBLOCK) == 0) sockets_.push_back(socket);
    }
    written_.resize(sockets_.size());
    thread_ = std::thread([this] {
      std::vector<pollfd> writable;
      for (int socket : sockets_) writable.push_back({socket, POLLOUT, 0});
      while (!stop_) {
        if (poll(writable.data(), writable.size(), 20) <= 0) continue;
        for (size_t i = 0; i < writable.size(); ++i) {
          if (writable[i].revents == 0) continue;
          size_t at = written_[i] % block_.size();
          ssize_t count = send(writable[i].fd, block_.data() + at, block_.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
          if (count > 0) written_[i] += static_cast<size_t>(count);
        }
      }
    });
  }
  ~Flood() {
    Stop();
    for (int socket : sockets_) close(socket);
  }
  // How many clients connected.
  size_t Clients() const { return sockets_.size(); }
  // Stops writing; how many whole messages the kernel took.
  size_t Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    size_t messages = 0;
    for (size_t bytes : written_) messages += bytes / size_;
    return messages;
  }

 private:
  std::vector<int> sockets_;
  std::string block_;
  size_t size_;
  std::vector<size_t> written_;  // per socket
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace FaultwrightTest

#endif  // FAULTWRIGHT_TESTS_SUPPORT_RAWCLIENTS_H
