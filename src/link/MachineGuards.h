#pragma once
#include "platform/SystemText.h"
// The guards every machine operation makes before it moves, in this order:
// connected, homed, not running. A refusal is a top-most box with OK.
namespace smt {
class Machine;
}

namespace smt::link {

inline constexpr smt::platform::SystemText kNotConnected{"LinkMessagesConfig", "LinkMessages.c_NotConnected", "Machine is not connection !"};
inline constexpr smt::platform::SystemText kNotReset{"LinkMessagesConfig", "LinkMessages.c_NotReset", "Machine is not reset !"};
inline constexpr smt::platform::SystemText kRunning{"LinkMessagesConfig", "LinkMessages.c_Running", "Machine is runnig !"};

// True when the operation may go; otherwise tells the operator why.
bool CheckMachineGuards(smt::Machine& machine, bool needHomed = true, bool needIdle = true);

}  // namespace smt::link
