#pragma once
// The guards every machine operation makes before it moves, in this order:
// connected, homed, not running. A refusal is a top-most box with OK.
namespace smt {
class Machine;
}

namespace smt::link {

inline constexpr const char* kNotConnected = "Machine is not connection !";
inline constexpr const char* kNotReset = "Machine is not reset !";
inline constexpr const char* kRunning = "Machine is runnig !";

// True when the operation may go; otherwise tells the operator why.
bool CheckMachineGuards(smt::Machine& machine, bool needHomed = true, bool needIdle = true);

}  // namespace smt::link
