#pragma once
// Turns the board's answers into state changes and reply events: UDP reply
// packets and reports, and serial frames. Neither handler blocks: messages
// go to the window thread, so the reply behind them is handled at once.
#include <cstdint>
#include <vector>

#include "link/CmdPacket.h"

namespace smt::link {

void HandleUdpPacket(const CmdPacket& packet);
void HandleSerialFrame(const std::vector<uint8_t>& frame);

}  // namespace smt::link
