#pragma once
// The command set: every function builds one machine command, sends it over
// the link the operator chose (UDP packet or serial frame) and, for most
// commands, waits for its family's reply event. Every wait is bounded by the
// family's time-out; a command whose send failed never waits.
#include <array>
#include <chrono>
#include <initializer_list>
#include <cstdint>
#include <string>
#include <vector>

#include "link/LinkBytes.h"
#include "core/Machine.h"
#include "link/LinkLoss.h"
#include "link/ReplyEvent.h"

namespace smt::link {

// Refused: not sent at all (a value that does not fit its field, a command
// that the chosen link has no form for); the operator was told why.
// Stopped: the run that sent it was stopped (or the program shuts down)
// before the reply came. LinkLost: the link went down before the reply came,
// or was already down (nothing sent; the loss was told once).
enum class CommandResult { Ok, SendFailed, ReplyFailed, TimedOut, LinkBusy, Refused, Stopped, LinkLost };

inline bool Succeeded(CommandResult r) { return r == CommandResult::Ok; }

// One command as the command functions describe it.
struct MachineCommand {
  uint8_t code = 0;
  Payload udpPayload;     // little-endian, packed
  Payload serialPayload;  // big-endian, sign and magnitude
  ReplyEvent* reply = nullptr;         // nullptr: no reply awaited
  bool trace = true;                   // "61->Start" / "61->End" in the information box
  std::string startTrace;              // in place of "NN->Start" when not empty
  bool serialOnly = false;             // no UDP form
  bool udpOnly = false;                // no serial form
  // Non-empty: the serial form cannot carry these values; on the serial link
  // the command is refused with this text and nothing is sent.
  std::string serialRefusal;
  // How long the reply may take when the command itself says so (a move:
  // from its length and speed); 0 the family's time-out. Never longer than
  // the family's time-out.
  std::chrono::milliseconds timeout{0};
};

// The time a move of `steps` at run speed `runSpeed` (1..255) may take
// before its reply counts as lost: twice the travel time at the slowest
// rate a speed step stands for, plus a fixed margin for acceleration and the
// link; at least kMinMoveTimeout. A speed below kSpeedFloor (an unset speed
// setting is sent as 1) counts as kSpeedFloor, so that a short move with
// unset speeds is not given the family's whole time-out.
inline constexpr int kStepsPerSecondPerSpeed = 100;
inline constexpr int kSpeedFloor = 10;
inline constexpr std::chrono::milliseconds kMinMoveTimeout{2000};
std::chrono::milliseconds MoveTimeout(int64_t steps, int32_t runSpeed, std::chrono::milliseconds extra = {});
// The same for a command made of several legs done one after the other
// (steps, run speed), plus `extra` (waits the command itself asks for).
struct MoveLeg {
  int64_t steps = 0;
  int32_t runSpeed = 0;
};
std::chrono::milliseconds MoveTimeoutOfLegs(std::initializer_list<MoveLeg> legs, std::chrono::milliseconds extra = {});
std::chrono::milliseconds MoveTimeoutOfLegs(const std::vector<MoveLeg>& legs, std::chrono::milliseconds extra = {});

// How long a conveyor zone step may take: the operator's board-in wait
// time-out (ms, 0..10000; unset counts as kDefaultConveyorWaitMs), which
// the board itself waits, and a 3 s margin for the belts and the link.
inline constexpr int kDefaultConveyorWaitMs = 5000;
inline std::chrono::milliseconds ConveyorZoneTimeout(int waitMs) {
  const int ms = waitMs > 0 ? waitMs : kDefaultConveyorWaitMs;
  return std::chrono::milliseconds(ms) + std::chrono::seconds(3);
}

// The text of the refusal of a command that has no form on the serial link.
std::string UdpOnlyRefusalText(uint8_t code);
// The text of the refusal of a command with a value too big for its field.
std::string FieldDoesNotFitText(uint8_t code, const std::string& misfit);

// The one place that sends a command and awaits its reply: trace, reset the
// family event, send over `machine`'s link under its link mutex, wait at most
// the family's time-out. On a time-out the operator is told, the machine's
// busy state is released and TimedOut comes back.
//
// Every command function below comes in two forms: the first takes the
// machine whose link carries the command and whose state it reads and sets;
// the second, kept for callers not yet handed their machine, acts on the
// machine in use.
CommandResult SendMachineCommand(smt::Machine& machine, const MachineCommand& command);

// Commands that move an axis (their outcome decides the machine's positions).
bool IsMotionCode(uint8_t code);
// Homing commands.
bool IsHomeCode(uint8_t code);
// A motion command's outcome is unknown: not homed, motion refused until homing.
void OnMotionOutcomeUnknown(smt::Machine& machine, uint8_t code);
// The machine's positions may no longer be the program's (the link was
// lost, a move's reply did not come, a reply came out of turn): not homed,
// every move refused until homing, a run going on stopped. True when the
// positions counted as certain until now.
bool MarkPositionUncertain(smt::Machine& machine);
// A reply of `family` came out of turn (ReplyTaken::OutOfTurn): for a family
// that moves axes the position is uncertain, and the operator is told once.
void OnReplyOutOfTurn(smt::Machine& machine, const ReplyEvent& family);
// The refusal of a move while the positions are unknown (the machine's texts).
std::string PositionLostText(smt::Machine& machine);

// Sends a command that exists only in the serial form, once, without a
// wait; false (nothing sent) when the active link is not a serial one.
bool SendSerialOnly(smt::Machine& machine, uint8_t code, const std::vector<uint8_t>& payload);
// Serial-only: command 0x00, the hello of the port scan. No wait.
bool SendCmd00Hello(smt::Machine& machine);
// Serial-only: command 0x01, relative single-axis move (sign-and-magnitude
// steps). Counts the move; no wait.
bool SendCmd01MoveAxisSerial(smt::Machine& machine, uint8_t axis, int32_t steps);

// 0x03: switch output n. No reply. The pump button of the output shows the state.
bool SetOutput(smt::Machine& machine, int output, int state, int value);
// Switches output n without touching the pump buttons (feeder lifts, homing).
bool SendOutputDirect(smt::Machine& machine, int output, int state, int value);
// The pump button (1..8) that output n shows, 0 for none.
int PumpButtonOfOutput(int output);
// 0x04: camera and light channel. No reply.
bool SelectCamera(smt::Machine& machine, int channel, int value, int triggerMode);
// 0x15: ask for the vacuum reading (the machine's link.vacuumKpa). Waits on
// the machine's vacuum reply event.
CommandResult SendCmd15ReadVacuum(smt::Machine& machine, int channel);
// 0x60: tell the board a state change. No reply awaited.
bool SendCmd60SetState(smt::Machine& machine, int code, int value);

// Frames of the commands above, for the golden-byte tests and the simulator's comparisons.
std::vector<uint8_t> Cmd02HomeUdpPayload(const std::array<int32_t, 14>& fields);
std::vector<uint8_t> Cmd02HomeSerialPayload(const std::array<int32_t, 14>& fields);

// The two speed-cap settings (kept in MotionSettings; this pair of calls
// changes only them).
struct CommandSpeedSettings {
  bool maxSpeedLimit = false;
  int maxSpeedLimitValue = 32;
};
void SetCommandSpeedSettings(smt::Machine& machine, const CommandSpeedSettings& s);
CommandSpeedSettings GetCommandSpeedSettings(smt::Machine& machine);

// Camera-channel state of SelectCamera.

}  // namespace smt::link
