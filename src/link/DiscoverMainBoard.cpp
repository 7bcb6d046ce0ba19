#include "link/DiscoverMainBoard.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "link/CUdpSocket.h"

namespace smt::link {

std::string SeveralBoardsText(const std::vector<std::string>& addresses) {
  std::string list;
  for (const auto& a : addresses) list += (list.empty() ? "" : ", ") + a;
  return "Several devices answered as the main board (" + list +
         ") !\r\nNone was taken: leave only the machine's main board on this network, then connect again.";
}

bool DiscoverMainBoard(std::string& address, const DiscoveryOptions& options, std::string* refusal) {
  CUdpSocket socket;
  try {
    socket.Open(static_cast<uint16_t>(options.port), options.group);
  } catch (const UdpSocketError& e) {
    std::printf("%s\n", e.what());
    return false;
  }
  const size_t requestSize = std::strlen(kDiscoveryRequest);
  const size_t answerSize = std::strlen(kDiscoveryAnswer);
  std::vector<std::string> answered;
  auto isAnswer = [&](const char* answer, long n) {
    return n >= static_cast<long>(answerSize) && std::memcmp(answer, kDiscoveryAnswer, answerSize) == 0;
  };
  for (int attempt = 0; attempt < options.attempts && answered.empty(); ++attempt) {
    std::puts("Find Device...");
    if (socket.SendToPeer(kDiscoveryRequest, requestSize) != static_cast<long>(requestSize))
      std::puts("UDP 发送失败");
    // A datagram that is not the greeting uses up the attempt.
    char answer[64];
    sockaddr_in from{};
    const long n = socket.ReceiveFrom(answer, sizeof answer, &from, static_cast<int>(options.attemptTimeout.count()));
    if (isAnswer(answer, n)) answered.push_back(Ipv4Text(from));
  }
  if (!answered.empty()) {
    // Every other host that answers the same request does so within the
    // attempt's time: listen that long for more.
    const auto end = std::chrono::steady_clock::now() + options.attemptTimeout;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      char answer[64];
      sockaddr_in from{};
      const long n = socket.ReceiveFrom(answer, sizeof answer, &from, static_cast<int>(left.count()));
      if (!isAnswer(answer, n)) continue;
      const std::string a = Ipv4Text(from);
      if (std::find(answered.begin(), answered.end(), a) == answered.end()) answered.push_back(a);
    }
  }
  socket.Close();
  if (answered.size() > 1) {
    const std::string text = SeveralBoardsText(answered);
    std::printf("%s\n", text.c_str());
    if (refusal) *refusal = text;
    return false;
  }
  if (answered.empty()) return false;
  address = answered.front();
  std::printf("Get Main Board IP: %s\n", address.c_str());
  return true;
}

}  // namespace smt::link
