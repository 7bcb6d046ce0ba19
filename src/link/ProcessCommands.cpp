#include "link/ProcessCommands.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "core/MachineState.h"
#include "link/CommandEncoding.h"
#include "link/LinkBytes.h"
#include "link/LinkGlobals.h"
#include "link/LinkRoutes.h"
#include "link/LinkRuntime.h"
#include "link/LinkTexts.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/MotionSettings.h"
#include "platform/MessageService.h"

namespace smt::link {
namespace {

bool Refuse(const std::string& text) {
  smt::platform::ShowMessage(text);
  return false;
}

// X in 0 .. X limit, then Y in Y limit .. 0.
bool RangeCheck(smt::Machine& machine, int64_t x, int64_t y) {
  const MotionSettings m = GetMotionSettings(machine);
  if (x < 0 || x > m.xLimit) return Refuse(kXPosError);
  if (y < m.yLimit || y > 0) return Refuse(kYPosError);
  return true;
}

bool RefuseOnSerial(smt::Machine& machine, uint8_t code) {
  if (!RuntimeOf(machine).UsesSerial()) return false;
  smt::platform::ShowMessage(UdpOnlyRefusalText(code));
  return true;
}

template <size_t N>
int32_t LE32At(const std::array<uint8_t, N>& p, size_t at) {
  return ReadLE32(p.data() + at);
}

// The combined head moves: dX, dY and the eight A deltas of a staged payload.
struct HeadMove {
  int64_t dx = 0, dy = 0;
  std::array<int32_t, 8> a{};
};

bool SendHeadMove(smt::Machine& machine, uint8_t code, const std::vector<uint8_t>& payload, ReplyEvent* reply, const std::string& startText,
                  const HeadMove& move, int vacuumOutput, bool pressButton, bool waitCapture, std::chrono::milliseconds timeout) {
  MachineCommand c;
  c.code = code;
  c.timeout = timeout;
  c.udpOnly = true;
  c.reply = reply;
  c.startTrace = startText;
  c.udpPayload = payload;
  if (waitCapture) RouteResetCaptureDone(machine);
  const CommandResult r = SendMachineCommand(machine, c);
  if (r != CommandResult::Ok) {
    // A pick whose end is unknown may hold its part: its vacuum counts as on,
    // so that a stop carries the nozzle to the throw position.
    const bool unknown = r == CommandResult::Stopped || r == CommandResult::TimedOut || r == CommandResult::LinkLost;
    if (unknown && pressButton && vacuumOutput >= 32 && vacuumOutput <= 39) RuntimeOf(machine).SetPumpButton(vacuumOutput - 31, true);
    return false;
  }
  if (waitCapture && !RouteWaitCaptureDone(machine, reply->timeout())) return false;
  if (vacuumOutput >= 32 && vacuumOutput <= 39) RuntimeOf(machine).SetPumpButton(vacuumOutput - 31, pressButton);
  const int32_t rev = GetMotionSettings(machine).aRevolution;
  machine.curX += static_cast<int32_t>(move.dx);
  machine.curY += static_cast<int32_t>(move.dy);
  for (int h = 0; h < 8; ++h) machine.curA[h] = WrapA(static_cast<int64_t>(machine.curA[h].load()) + move.a[h], rev);
  RuntimeOf(machine).Hooks().OnPositionsChanged();
  return true;
}

template <size_t N>
int32_t LE16At(const std::array<uint8_t, N>& p, size_t at) {
  return p[at] | (p[at + 1] << 8);
}

// The largest of the eight head turns staged at `at`.
template <size_t N>
int64_t LargestTurn(const std::array<uint8_t, N>& p, size_t at) {
  int64_t most = 0;
  for (int h = 0; h < 8; ++h) most = std::max<int64_t>(most, std::llabs(LE32At(p, at + 4 * h)));
  return most;
}

// How long a combined head move may take: its XY legs, the heads' turn and
// the Z stroke down and up, one after the other, and the waits it asks for.
template <size_t N>
std::chrono::milliseconds HeadMoveTimeout(const std::array<uint8_t, N>& p, size_t dxAt, size_t dyAt, size_t xRunAt,
                                          size_t turnsAt, size_t turnRunAt, size_t depthAt, size_t zRunAt,
                                          std::chrono::milliseconds waits) {
  return MoveTimeoutOfLegs({{LE32At(p, dxAt), LE32At(p, xRunAt)},
                            {LE32At(p, dyAt), LE32At(p, xRunAt)},
                            {LargestTurn(p, turnsAt), LE32At(p, turnRunAt)},
                            {2 * static_cast<int64_t>(LE32At(p, depthAt)), LE32At(p, zRunAt)}},
                           waits);
}

template <size_t N>
HeadMove ReadHeadMove(const std::array<uint8_t, N>& p, size_t dxAt, size_t dyAt, size_t aAt) {
  HeadMove m;
  m.dx = LE32At(p, dxAt);
  m.dy = LE32At(p, dyAt);
  for (int h = 0; h < 8; ++h) m.a[h] = LE32At(p, aAt + 4 * h);
  return m;
}

}  // namespace

// --- 0x53 -------------------------------------------------------------------------

DispenseSpeeds ShapeDispenseSpeeds(smt::Machine& machine, int32_t d1, int32_t d2, DispenseSpeeds s) {
  const MotionSettings m = GetMotionSettings(machine);
  if (m.optimizeFarSpeed) {
    s.start1 = FarStartSpeed(s.start1, s.run1, d1, m.xLimitAbs, m.accelSpeed);
    s.start2 = FarStartSpeed(s.start2, s.run2, d2, m.yLimitAbs, m.accelSpeed);
  }
  if (s.start1 < 1) s.start1 = s.run1 = 1;
  if (s.start2 < 1) s.start2 = s.run2 = 1;
  s.run1 = CappedRunSpeed(s.run1, m.maxSpeedLimit, m.maxSpeedLimitValue);
  s.run2 = CappedRunSpeed(s.run2, m.maxSpeedLimit, m.maxSpeedLimitValue);
  return s;
}

MachineCommand BuildCmd53DispenseMove(smt::Machine& machine, uint8_t axis1, int32_t d1, int32_t start1, int32_t run1, uint8_t axis2,
                                      int32_t d2, int32_t start2, int32_t run2) {
  MachineCommand c;
  c.code = 0x53;
  c.reply = &machine.Part<smt::link::ReplyEvents>().dispense;
  // start2 and run2 have no place in the UDP payload.
  c.udpPayload = ByteWriter()
                     .U8(axis1).U8(axis2).I32(machine.curX).I32(d1).I32(machine.curY).I32(d2).I32(start1).I32(run1).U8(0x80)
                     .Take();
  c.serialPayload = ByteWriter()
                        .U8(axis1).SM32(d1).U8(SpeedByte(start1)).U8(SpeedByte(run1))
                        .U8(axis2).SM32(d2).U8(SpeedByte(start2)).U8(SpeedByte(run2)).U8(0x80)
                        .Take();
  if (!FitsSM32(d1) || !FitsSM32(d2)) c.serialRefusal = StepsDoNotFitText(0x53, "steps", FitsSM32(d1) ? d2 : d1, 32);
  return c;
}

bool SendCmd53DispenseMove(smt::Machine& machine, uint8_t axis1, int32_t d1, int32_t start1, int32_t run1, uint8_t axis2, int32_t d2,
                           int32_t start2, int32_t run2) {
  if (!machine.masterResetOk) return Refuse(kErrorE3);
  const int64_t x = static_cast<int64_t>(machine.curX) + (axis1 == 0 ? d1 : 0);
  const int64_t y = static_cast<int64_t>(machine.curY) + (axis2 == 1 ? d2 : 0);
  if (!RangeCheck(machine, x, y)) return false;
  const DispenseSpeeds s = ShapeDispenseSpeeds(machine, d1, d2, {start1, run1, start2, run2});
  if (SendMachineCommand(machine, BuildCmd53DispenseMove(machine, axis1, d1, s.start1, s.run1, axis2, d2, s.start2, s.run2)) !=
      CommandResult::Ok)
    return false;
  if (!machine.masterResetOk) return false;
  if (axis1 == 0) machine.curX += d1;
  else if (axis1 == 9) machine.motion.curPlatform[0] += d1;
  if (axis2 == 1) machine.curY += d2;
  else if (axis2 == 12) machine.motion.curPlatform[1] += d2;
  RuntimeOf(machine).Hooks().OnPositionsChanged();
  return true;
}

// --- 0x55 (offset 0 mode, 2 d1, 6 d2) -------------------------------------------------

bool SendCmd55LabelMove(smt::Machine& machine, const Cmd55Payload& p) {
  const uint8_t mode = p[0];
  const int32_t d1 = LE32At(p, 2), d2 = LE32At(p, 6);
  if (mode == 2) {
    const long long zl = std::llabs(static_cast<long long>(GetMotionSettings(machine).zLimit));
    const long long a = d1 > 0 ? std::llabs(static_cast<long long>(machine.curZ[0]) - d1) : std::llabs(static_cast<long long>(machine.curZ[1]) + d1);
    const long long b = d2 > 0 ? std::llabs(static_cast<long long>(machine.curZ[2]) - d2) : std::llabs(static_cast<long long>(machine.curZ[3]) + d2);
    if (a > zl || b > zl) return Refuse(kZPosError);
  }
  if (mode == 9 && !machine.masterResetOk) return Refuse(kErrorE3);
  if (RefuseOnSerial(machine, 0x55)) return false;
  MachineCommand c;
  c.code = 0x55;
  c.udpOnly = true;
  c.reply = &machine.Part<smt::link::ReplyEvents>().dispense;
  c.udpPayload.assign(p.begin(), p.end());
  if (SendMachineCommand(machine, c) != CommandResult::Ok) return false;
  if (mode == 2) {
    machine.curZ[0] -= d1;
    machine.curZ[1] += d1;
    machine.curZ[2] -= d2;
    machine.curZ[3] += d2;
  } else if (mode == 9) {
    machine.motion.curAxis9 += d1;
    machine.motion.curAxis8 += d2;
  }
  RuntimeOf(machine).Hooks().OnPositionsChanged();
  return true;
}

// --- 0x58 --------------------------------------------------------------------------

MachineCommand BuildCmd58GlueDispense(smt::Machine& machine, uint8_t channel, int32_t steps, int32_t start, int32_t run, uint8_t mode,
                                      int32_t magnitudeA, int32_t magnitudeB, uint16_t valueA, uint16_t valueB,
                                      uint16_t valueC) {
  // abs(INT32_MIN) has no 32-bit form: the writer refuses it.
  const int64_t absA = std::llabs(static_cast<long long>(magnitudeA));
  const int64_t absB = std::llabs(static_cast<long long>(magnitudeB));
  MachineCommand c;
  c.code = 0x58;
  c.reply = &machine.Part<smt::link::ReplyEvents>().cmd58;
  c.udpPayload = ByteWriter()
                     .U8(channel).I32(steps).I32(start).I32(run).U8(mode).I32(absA).I32(absB)
                     .U16(valueA).U16(valueB).U16(valueC)
                     .Take();
  // valueC has no place in the serial frame.
  c.serialPayload = ByteWriter()
                        .U8(channel).SM32(steps).U8(SpeedByte(start)).U8(SpeedByte(run)).U8(mode).BE32(absA).BE32(absB)
                        .BE16(valueA).BE16(valueB)
                        .Take();
  if (!FitsSM32(steps)) c.serialRefusal = StepsDoNotFitText(0x58, "steps", steps, 32);
  return c;
}

CommandResult SendCmd58GlueDispense(smt::Machine& machine, uint8_t channel, int32_t steps, int32_t start, int32_t run, uint8_t mode,
                                    int32_t magnitudeA, int32_t magnitudeB, uint16_t valueA, uint16_t valueB,
                                    uint16_t valueC) {
  return SendMachineCommand(machine, 
      BuildCmd58GlueDispense(machine, channel, steps, start, run, mode, magnitudeA, magnitudeB, valueA, valueB, valueC));
}

// --- 0x71 -------------------------------------------------------------------------

MachineCommand BuildCmd71ProbeZ1(smt::Machine& machine, int32_t steps, int32_t start, int32_t run) {
  MachineCommand c;
  c.code = 0x71;
  c.reply = &machine.Part<smt::link::ReplyEvents>().axisMove;
  c.udpPayload = ByteWriter().U8(0x20).I32(steps).I32(start).I32(run).Take();
  c.serialPayload = ByteWriter().U8(0x20).SM32(steps).U8(SpeedByte(start)).U8(SpeedByte(run)).Take();
  if (!FitsSM32(steps)) c.serialRefusal = StepsDoNotFitText(0x71, "steps", steps, 32);
  return c;
}

CommandResult SendCmd71ProbeZ1(smt::Machine& machine, int32_t steps, int32_t start, int32_t run) {
  return SendMachineCommand(machine, BuildCmd71ProbeZ1(machine, steps, start, run));
}

// --- 0x73 / 0x74 / 0x77 -------------------------------------------------------------
// 0x73: dX at 9, dY at 13, A deltas at 26, second dX at 69, third dX at 114, third dY at 118.
// 0x74: dX at 19, dY at 27, A deltas at 40, vacuum output at 80.
// 0x77: dX at 4, dY at 12, A deltas at 25, vacuum output at 65.

bool SendCmd73VisionMove(smt::Machine& machine, const Cmd73Payload& p) {
  if (!machine.masterResetOk) return Refuse(kErrorE3);
  HeadMove move = ReadHeadMove(p, 9, 13, 26);
  const int64_t x0 = machine.curX, y0 = machine.curY;
  const int64_t dx2 = LE32At(p, 69), dx3 = LE32At(p, 114), dy3 = LE32At(p, 118);
  if (!RangeCheck(machine, x0 + move.dx, y0 + move.dy)) return false;
  if (!RangeCheck(machine, x0 + move.dx + dx2, y0 + move.dy)) return false;
  if (!RangeCheck(machine, x0 + move.dx + dx2 + dx3, y0 + move.dy + dy3)) return false;
  if (RefuseOnSerial(machine, 0x73)) return false;
  move.dx += dx2 + dx3;
  move.dy += dy3;
  // To the line's start, the heads' turn, the pass, then to the place row.
  const auto timeout = MoveTimeoutOfLegs({{LE32At(p, 9), LE32At(p, 21)},
                                          {LE32At(p, 13), LE32At(p, 21)},
                                          {LargestTurn(p, 26), LE32At(p, 62)},
                                          {dx2, LE32At(p, 77)},
                                          {std::llabs(dx3) + std::llabs(dy3), LE32At(p, 126)}});
  return SendHeadMove(machine, 0x73, {p.begin(), p.end()}, &machine.Part<smt::link::ReplyEvents>().cmd63, LinkTextsOf(machine).information73, move, 0, false,
                      true, timeout);
}

bool SendCmd74PickMove(smt::Machine& machine, const Cmd74Payload& p) {
  if (!machine.masterResetOk) return Refuse(kErrorE3);
  const HeadMove move = ReadHeadMove(p, 19, 27, 40);
  if (!RangeCheck(machine, static_cast<int64_t>(machine.curX) + move.dx, static_cast<int64_t>(machine.curY) + move.dy)) return false;
  if (RefuseOnSerial(machine, 0x74)) return false;
  // The feed (its time at 6) and the wait at the bottom (at 93) come on top of the moves.
  const auto timeout = HeadMoveTimeout(p, 19, 27, 35, 40, 76, 81, 89, std::chrono::milliseconds(LE16At(p, 6) + LE16At(p, 93)));
  return SendHeadMove(machine, 0x74, {p.begin(), p.end()}, &machine.Part<smt::link::ReplyEvents>().cmd67, LinkTextsOf(machine).information74, move, p[80], true,
                      false, timeout);
}

bool SendCmd77PlaceMove(smt::Machine& machine, const Cmd77Payload& p) {
  if (!machine.masterResetOk) return Refuse(kErrorE3);
  const HeadMove move = ReadHeadMove(p, 4, 12, 25);
  if (!RangeCheck(machine, static_cast<int64_t>(machine.curX) + move.dx, static_cast<int64_t>(machine.curY) + move.dy)) return false;
  if (RefuseOnSerial(machine, 0x77)) return false;
  const auto timeout = HeadMoveTimeout(p, 4, 12, 20, 25, 61, 66, 74, std::chrono::milliseconds(LE16At(p, 83)));
  return SendHeadMove(machine, 0x77, {p.begin(), p.end()}, &machine.Part<smt::link::ReplyEvents>().cmd68, LinkTextsOf(machine).information77, move, p[65], false,
                      false, timeout);
}

// The forms for the machine in use.

}  // namespace smt::link
