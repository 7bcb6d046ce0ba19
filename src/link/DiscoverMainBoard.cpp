#include "link/DiscoverMainBoard.h"

#include <cstdio>
#include <cstring>

#include "link/CUdpSocket.h"

namespace smt::link {

bool DiscoverMainBoard(std::string& address, const DiscoveryOptions& options) {
  CUdpSocket socket;
  try {
    socket.Open(static_cast<uint16_t>(options.port), options.group);
  } catch (const UdpSocketError& e) {
    std::printf("%s\n", e.what());
    return false;
  }
  const size_t requestSize = std::strlen(kDiscoveryRequest);
  const size_t answerSize = std::strlen(kDiscoveryAnswer);
  bool found = false;
  for (int attempt = 0; attempt < options.attempts && !found; ++attempt) {
    std::puts("Find Device...");
    if (socket.SendToPeer(kDiscoveryRequest, requestSize) != static_cast<long>(requestSize))
      std::puts("UDP 发送失败");
    // A datagram that is not the greeting uses up the attempt.
    char answer[64];
    sockaddr_in from{};
    const long n = socket.ReceiveFrom(answer, sizeof answer, &from, static_cast<int>(options.attemptTimeout.count()));
    if (n >= static_cast<long>(answerSize) && std::memcmp(answer, kDiscoveryAnswer, answerSize) == 0) {
      address = Ipv4Text(from);
      std::printf("Get Main Board IP: %s\n", address.c_str());
      found = true;
    }
  }
  socket.Close();
  return found;
}

}  // namespace smt::link
