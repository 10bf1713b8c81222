// The least that a client of the diagnostic service can do: connect to its port
// on this machine and leave. ToolRaiseBench measures fwerror against it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Client/CFaultwrightAPI.h"

int main() {
  int descriptor = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (descriptor < 0) return 1;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(Faultwright::CFaultwrightAPI::kServicePort);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int connected = connect(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address);
  close(descriptor);
  return connected == 0 ? 0 : 1;
}
