// Raw connections to the diagnostic service's port, for tests and benchmarks
// that need clients misbehaving at the byte level. Header-only, so that the
// benchmarks can use it too.
#ifndef FAULTWRIGHT_TESTS_SUPPORT_RAWCLIENTS_H
#define FAULTWRIGHT_TESTS_SUPPORT_RAWCLIENTS_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Client/CFaultwrightAPI.h"

namespace FaultwrightTest {

// The address of 127.0.0.1:port.
inline sockaddr_in Loopback(unsigned short port) {
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A blocking connection to 127.0.0.1 port 5300 (or port), or -1.
inline int ConnectRaw(unsigned short port = Faultwright::CFaultwrightAPI::kServicePort) {
  int descriptor = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (descriptor < 0) return -1;
  sockaddr_in address = Loopback(port);
  if (connect(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return descriptor;
  close(descriptor);
  return -1;
}

}  // namespace FaultwrightTest

#endif  // FAULTWRIGHT_TESTS_SUPPORT_RAWCLIENTS_H
