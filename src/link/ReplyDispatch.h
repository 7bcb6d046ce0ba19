#pragma once
// Turns the board's answers into state changes and reply events: UDP reply
// packets and reports, and serial frames. Neither handler blocks: messages
// go to the window thread, so the reply behind them is handled at once.
#include <cstdint>
#include <vector>

#include "link/CmdPacket.h"

namespace smt {
class Machine;
}

namespace smt::link {

void HandleUdpPacket(smt::Machine& machine, const CmdPacket& packet);
void HandleSerialFrame(smt::Machine& machine, const std::vector<uint8_t>& frame);
// The same for the machine in use.

}  // namespace smt::link
