#pragma once
// Finds the main board on the network: "HOST DEVICE" to the multicast group
// 239.15.1.100:65000, answered by "MAIN BOARD DEVICE" from the board.
#include <chrono>
#include <string>
#include <vector>

namespace smt::link {

struct DiscoveryOptions {
  std::string group = "239.15.1.100";
  int port = 65000;
  int attempts = 10;
  std::chrono::milliseconds attemptTimeout{500};
};

inline constexpr const char* kDiscoveryRequest = "HOST DEVICE";
inline constexpr const char* kDiscoveryAnswer = "MAIN BOARD DEVICE";

// True with `address` = the dotted IPv4 address of the board that answered.
// After the first answer the program listens a moment longer: when more than
// one host answers, none is taken (a command meant for the machine could go
// to another device) and `refusal`, when given, names them all.
bool DiscoverMainBoard(std::string& address, const DiscoveryOptions& options = {}, std::string* refusal = nullptr);

// The operator's text for answers from several hosts.
std::string SeveralBoardsText(const std::vector<std::string>& addresses);

}  // namespace smt::link
