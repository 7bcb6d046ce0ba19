#include "link/MotionCommands.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "core/MachineState.h"
#include "link/CommandEncoding.h"
#include "link/LinkBytes.h"
#include "link/LinkGlobals.h"
#include "link/LinkRoutes.h"
#include "link/LinkRuntime.h"
#include "link/MotionGlobals.h"
#include "link/MotionSettings.h"
#include "platform/MessageService.h"
#include "platform/RefusalTexts.h"

namespace smt::link {
namespace {

bool XInRange(int64_t x, const MotionSettings& m) { return x >= 0 && x <= m.xLimit; }
bool YInRange(int64_t y, const MotionSettings& m) { return y >= m.yLimit && y <= 0; }

bool Refuse(const std::string& text) {
  smt::platform::ShowMessage(text);
  return false;
}

// The first refusal of a list of (fits, text) checks of the serial form.
struct SerialFit {
  std::string refusal;
  void SM16(uint8_t code, const char* field, int32_t v) {
    if (refusal.empty() && !FitsSM16(v)) refusal = StepsDoNotFitText(code, field, v, 16);
  }
  void SM32(uint8_t code, const char* field, int32_t v) {
    if (refusal.empty() && !FitsSM32(v)) refusal = StepsDoNotFitText(code, field, v, 32);
  }
  void BE16(uint8_t code, const char* field, int32_t v) {
    if (refusal.empty() && !FitsBE16(v)) refusal = StepsDoNotFitText(code, field, v, 16);
  }
};

int32_t CurrentPositionOfAxis(smt::Machine& machine, uint8_t axis) {
  switch (axis) {
    case 0: return machine.curX;
    case 1: return machine.curY;
    case 8: return machine.motion.curAxis8;
    case 9: return machine.motion.curAxis9;
    case 10: return machine.motion.curAxis10;
    default: return 0;
  }
}

void AddWrappedA(smt::Machine& machine, int index, int32_t delta, int32_t rev) {
  if (index < 0 || index > 7) return;
  machine.curA[index] = WrapA(static_cast<int64_t>(machine.curA[index].load()) + delta, rev);
}

// A Z pair motor: a positive step count lowers the odd head.
bool ZPairFits(smt::Machine& machine, int first, int32_t steps, int32_t zLimit) {
  const int64_t v = steps > 0 ? static_cast<int64_t>(machine.curZ[first].load()) - steps
                              : static_cast<int64_t>(machine.curZ[first + 1].load()) + steps;
  return std::llabs(v) <= std::llabs(static_cast<long long>(zLimit));
}
void MoveZPair(smt::Machine& machine, int first, int32_t steps) {
  machine.curZ[first] -= steps;
  machine.curZ[first + 1] += steps;
}

void PositionsChanged(smt::Machine& machine) { RuntimeOf(machine).Hooks().OnPositionsChanged(); }

}  // namespace

void CountMove(smt::Machine& machine) {
  const int n = ++RuntimeOf(machine).serialSendCount;
  RuntimeOf(machine).Hooks().OnMoveCounted(n);
}

// --- 0x61 -----------------------------------------------------------------------

std::string CheckAxisMoveLimits(smt::Machine& machine, uint8_t axis, int32_t steps) {
  const MotionSettings m = GetMotionSettings(machine);
  const int64_t x = machine.curX, y = machine.curY;
  switch (axis) {
    case 0:
      if (!XInRange(x + steps, m)) return kXPosError;
      if (!YInRange(y, m)) return kYPosError;
      return {};
    case 1:
      if (!XInRange(x, m)) return kXPosError;
      if (!YInRange(y + steps, m)) return kYPosError;
      return {};
    case 2:
      return ZPairFits(machine, 0, steps, m.zLimit) ? std::string() : kZPosError;
    case 3:
      return ZPairFits(machine, 2, steps, m.zLimit) ? std::string() : kZPosError;
    default:
      if (axis >= 32 && axis <= 39) {
        const int64_t z = static_cast<int64_t>(machine.curZ[axis - 32].load()) + steps;
        if (z < m.zLimit || z > 0) return kZPosError;
      }
      return {};
  }
}

std::pair<int32_t, int32_t> AxisMoveSpeeds(smt::Machine& machine, uint8_t axis, int32_t steps, int32_t start, int32_t run) {
  const MotionSettings m = GetMotionSettings(machine);
  if (axis == 0 || axis == 1) {
    if (m.optimizeFarSpeed)
      start = FarStartSpeed(start, run, steps, axis == 0 ? m.xLimitAbs : m.yLimitAbs, m.accelSpeed);
    if (start < 1) start = 1;
  }
  run = CappedRunSpeed(run, m.maxSpeedLimit, m.maxSpeedLimitValue);
  return {start, run};
}

MachineCommand BuildCmd61MoveAxis(smt::Machine& machine, uint8_t axis, int32_t steps, int32_t start, int32_t run) {
  MachineCommand c;
  c.code = 0x61;
  c.reply = &machine.Part<smt::link::ReplyEvents>().axisMove;
  c.udpPayload = ByteWriter().U8(axis).I32(CurrentPositionOfAxis(machine, axis)).I32(steps).I32(start).I32(run).Take();
  c.serialPayload = ByteWriter().U8(axis).SM32(steps).U8(SpeedByte(start)).U8(SpeedByte(run)).Take();
  c.timeout = MoveTimeout(steps, run);
  SerialFit fit;
  fit.SM32(0x61, "steps", steps);
  c.serialRefusal = fit.refusal;
  return c;
}

bool SendCmd61MoveAxis(smt::Machine& machine, uint8_t axis, int32_t steps, int32_t start, int32_t run) {
  const std::string refusal = CheckAxisMoveLimits(machine, axis, steps);
  if (!refusal.empty()) return Refuse(refusal);
  const auto [s, r] = AxisMoveSpeeds(machine, axis, steps, start, run);
  if (SendMachineCommand(machine, BuildCmd61MoveAxis(machine, axis, steps, s, r)) != CommandResult::Ok) return false;
  CountMove(machine);

  const MotionSettings m = GetMotionSettings(machine);
  const int type = machine.machineType;
  const bool secondPlatform = type == 4 && RuntimeOf(machine).headGroup.load() == 2;
  auto feederLift = [&](int output) {
    if (!RuntimeOf(machine).feederButtonHeld) return;
    SendOutputDirect(machine, output, 1, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(m.feedDelayMs));
  };
  switch (axis) {
    case 0: machine.curX += steps; break;
    case 1: machine.curY += steps; break;
    case 2: MoveZPair(machine, 0, steps); break;
    case 3: MoveZPair(machine, 2, steps); break;
    case 4: case 5: case 6: case 7: AddWrappedA(machine, axis - 4, steps, m.aRevolution); break;
    case 8: machine.motion.curAxis8 += steps; break;
    case 9:
      if (secondPlatform) machine.motion.curPlatform[0] += steps;
      else machine.motion.curAxis9 += steps;
      break;
    case 10:
      if (type == 4 || type == 6) MoveZPair(machine, 4, steps);
      else machine.motion.curAxis10 += steps;
      break;
    case 11: feederLift(5); break;
    case 12:
      if (secondPlatform) machine.motion.curPlatform[1] += steps;
      feederLift(6);
      break;
    case 13: feederLift(7); break;
    case 14: case 48: machine.motion.curConveyorWidth += steps; break;
    default:
      if (axis >= 32 && axis <= 39) machine.curZ[axis - 32] += steps;
      else if (axis >= 40 && axis <= 47) AddWrappedA(machine, axis - 40, steps, m.aRevolution);
      break;
  }
  PositionsChanged(machine);
  return true;
}

// --- 0x64 -------------------------------------------------------------------------

XYSpeeds ShapeXYSpeeds(smt::Machine& machine, int32_t xSteps, int32_t ySteps, XYSpeeds s) {
  const MotionSettings m = GetMotionSettings(machine);
  if (m.optimizeFarSpeed) {
    s.xStart = FarStartSpeed(s.xStart, s.xRun, xSteps, m.xLimitAbs, m.accelSpeed);
    s.yStart = FarStartSpeed(s.yStart, s.yRun, ySteps, m.yLimitAbs, m.accelSpeed);
  }
  if (s.xStart < 1) s.xStart = 1;
  if (s.yStart < 1) s.yStart = 1;
  // Each axis under the cap on its own: a slow axis is never sped up.
  s.xRun = CappedRunSpeed(s.xRun, m.maxSpeedLimit, m.maxSpeedLimitValue);
  s.yRun = CappedRunSpeed(s.yRun, m.maxSpeedLimit, m.maxSpeedLimitValue);
  return s;
}

MachineCommand BuildCmd64MoveXY(smt::Machine& machine, int32_t xSteps, int32_t xStart, int32_t xRun, int32_t ySteps, int32_t yStart,
                                int32_t yRun, int32_t aIndex, int32_t aSteps, int32_t aStart, int32_t aRun,
                                uint8_t flags) {
  MachineCommand c;
  c.code = 0x64;
  c.reply = &machine.Part<smt::link::ReplyEvents>().moveXY;
  c.timeout = std::max(MoveTimeout(xSteps, xRun), MoveTimeout(ySteps, yRun));
  if (aIndex >= 1 && aIndex <= 8) c.timeout = std::max(c.timeout, MoveTimeout(aSteps, aRun));
  // The Y speeds have no place in the UDP payload.
  c.udpPayload = ByteWriter()
                     .I32(machine.curX).I32(xSteps).I32(machine.curY).I32(ySteps).I32(xStart).I32(xRun)
                     .U8(flags).U8(aIndex).I32(aSteps).I32(aStart).I32(aRun)
                     .Take();
  const int form = RuntimeOf(machine).v2_04.load();
  SerialFit fit;
  if (form == 0 || form == 1) {
    ByteWriter w;
    if (form == 0) {
      fit.SM16(0x64, "X steps", xSteps);
      fit.SM16(0x64, "Y steps", ySteps);
      w.SM16(xSteps).U8(SpeedByte(xStart)).U8(SpeedByte(xRun)).SM16(ySteps);
    } else {
      fit.SM32(0x64, "X steps", xSteps);
      fit.SM32(0x64, "Y steps", ySteps);
      w.SM32(xSteps).U8(SpeedByte(xStart)).U8(SpeedByte(xRun)).SM32(ySteps);
    }
    fit.SM16(0x64, "A steps", aSteps);
    w.U8(SpeedByte(yStart)).U8(SpeedByte(yRun)).U8(aIndex).SM16(aSteps).U8(SpeedByte(aStart)).U8(SpeedByte(aRun))
        .U8(flags);
    c.serialPayload = w.Take();
    c.serialRefusal = fit.refusal;
  } else {
    char b[128];
    std::snprintf(b, sizeof b, "m_V2_04 = %d selects no serial form of command 64: nothing was sent !", form);
    c.serialRefusal = b;
  }
  return c;
}

bool SendCmd64MoveXY(smt::Machine& machine, int32_t xSteps, int32_t xStart, int32_t xRun, int32_t ySteps, int32_t yStart, int32_t yRun,
                     int aIndex, int32_t aSteps, int32_t aStart, int32_t aRun, uint8_t flags) {
  const MotionSettings m = GetMotionSettings(machine);
  if (!XInRange(static_cast<int64_t>(machine.curX) + xSteps, m)) return Refuse(kXPosError);
  if (!YInRange(static_cast<int64_t>(machine.curY) + ySteps, m)) return Refuse(kYPosError);
  const XYSpeeds s = ShapeXYSpeeds(machine, xSteps, ySteps, {xStart, xRun, yStart, yRun});
  machine.link.lastMoveCmd = 0x40;
  if ((flags & 0x80) && !machine.masterResetOk) return Refuse(kErrorE3);
  const MachineCommand c = BuildCmd64MoveXY(machine, xSteps, s.xStart, s.xRun, ySteps, s.yStart, s.yRun,
                                            aIndex, aSteps, aStart, aRun, flags);
  if (SendMachineCommand(machine, c) != CommandResult::Ok) return false;
  CountMove(machine);
  if (!machine.masterResetOk && (RuntimeOf(machine).UsesSerial() || flags != 0)) return false;
  machine.curX += xSteps;
  machine.curY += ySteps;
  if (aIndex >= 1 && aIndex <= 8) AddWrappedA(machine, aIndex - 1, aSteps, m.aRevolution);
  PositionsChanged(machine);
  return true;
}

// --- 0x65 -------------------------------------------------------------------------

MachineCommand BuildCmd65MoveXYHeads(smt::Machine& machine, int32_t xSteps, int32_t xStart, int32_t xRun, int32_t ySteps, int32_t yStart,
                                     int32_t yRun, const std::array<int32_t, 8>& deltas, int32_t aStart,
                                     int32_t aRun, uint8_t flag) {
  MachineCommand c;
  c.code = 0x65;
  c.reply = &machine.Part<smt::link::ReplyEvents>().cmd65;
  c.timeout = std::max(MoveTimeout(xSteps, xRun), MoveTimeout(ySteps, yRun));
  for (int32_t d : deltas) c.timeout = std::max(c.timeout, MoveTimeout(d, aRun));
  ByteWriter u;
  u.I32(machine.curX).I32(xSteps).I32(machine.curY).I32(ySteps).I32(xStart).I32(xRun).U8(flag);
  for (int32_t d : deltas) u.I32(d);
  u.I32(aStart).I32(aRun);
  c.udpPayload = u.Take();
  SerialFit fit;
  fit.SM32(0x65, "X steps", xSteps);
  fit.SM32(0x65, "Y steps", ySteps);
  ByteWriter s;
  s.SM32(xSteps).U8(SpeedByte(xStart)).U8(SpeedByte(xRun)).SM32(ySteps).U8(SpeedByte(yStart)).U8(SpeedByte(yRun));
  // The serial form carries heads 1 to 4 only.
  for (int h = 0; h < 4; ++h) {
    fit.SM16(0x65, "head turn", deltas[h]);
    s.SM16(deltas[h]).U8(SpeedByte(aStart)).U8(SpeedByte(aRun));
  }
  s.U8(flag);
  c.serialPayload = s.Take();
  c.serialRefusal = fit.refusal;
  return c;
}

bool SendCmd65MoveXYHeads(smt::Machine& machine, int32_t xSteps, int32_t xStart, int32_t xRun, int32_t ySteps, int32_t yStart, int32_t yRun,
                          int32_t aStart, int32_t aRun, uint8_t flag) {
  std::array<int32_t, 8> deltas{};
  for (int i = 0; i < 8; ++i) deltas[i] = machine.motion.headMoveArgs[i];
  return SendCmd65MoveXYHeads(machine, xSteps, xStart, xRun, ySteps, yStart, yRun, deltas, aStart, aRun, flag);
}

bool SendCmd65MoveXYHeads(smt::Machine& machine, int32_t xSteps, int32_t xStart, int32_t xRun, int32_t ySteps, int32_t yStart, int32_t yRun,
                          const std::array<int32_t, 8>& deltas, int32_t aStart, int32_t aRun, uint8_t flag) {
  if (!machine.masterResetOk) return Refuse(kErrorE3);
  const MotionSettings m = GetMotionSettings(machine);
  if (!XInRange(static_cast<int64_t>(machine.curX) + xSteps, m)) return Refuse(kXPosError);
  if (!YInRange(static_cast<int64_t>(machine.curY) + ySteps, m)) return Refuse(kYPosError);
  const XYSpeeds s = ShapeXYSpeeds(machine, xSteps, ySteps, {xStart, xRun, yStart, yRun});
  machine.link.lastMoveCmd = 0x41;
  const bool serial = RuntimeOf(machine).UsesSerial();
  if (SendMachineCommand(machine, BuildCmd65MoveXYHeads(machine, xSteps, s.xStart, s.xRun, ySteps, s.yStart, s.yRun, deltas, aStart,
                                               aRun, flag)) != CommandResult::Ok)
    return false;
  if (!machine.masterResetOk) return false;
  machine.curX += xSteps;
  machine.curY += ySteps;
  // What the board turned: four heads on the serial form, eight over UDP.
  const int heads = serial ? 4 : 8;
  for (int h = 0; h < heads; ++h) AddWrappedA(machine, h, deltas[h], m.aRevolution);
  PositionsChanged(machine);
  return true;
}

// --- 0x63 -------------------------------------------------------------------------

MachineCommand BuildCmd63FlyMove(smt::Machine& machine, uint8_t headCount, int32_t xSteps, int32_t start, int32_t run,
                                 const std::array<int32_t, 12>& offsets) {
  MachineCommand c;
  c.code = 0x63;
  c.reply = &machine.Part<smt::link::ReplyEvents>().cmd63;
  ByteWriter u;
  u.U16(1).U8(headCount).I32(machine.curX).I32(xSteps).I32(start).I32(run);
  for (int i = 0; i < 8; ++i) u.I32(offsets[i]);
  for (int i = 0; i < 16; ++i) u.U8(0);
  u.U8(2);
  c.udpPayload = u.Take();
  SerialFit fit;
  fit.SM32(0x63, "X steps", xSteps);
  ByteWriter s;
  s.U8(1).U8(0).U8(headCount).SM32(xSteps).U8(SpeedByte(start)).U8(SpeedByte(run));
  for (int32_t o : offsets) {
    fit.BE16(0x63, "trigger offset", o);
    s.BE16(o);
  }
  s.U8(2);
  c.serialPayload = s.Take();
  c.serialRefusal = fit.refusal;
  return c;
}

bool SendCmd63FlyMove(smt::Machine& machine, uint8_t headCount, int32_t xSteps, int32_t start, int32_t run,
                      const std::array<int32_t, 12>& offsets) {
  if (!machine.masterResetOk) return Refuse(kErrorE3);
  const MotionSettings m = GetMotionSettings(machine);
  if (!XInRange(static_cast<int64_t>(machine.curX) + xSteps, m)) return Refuse(kXPosError);
  if (!YInRange(machine.curY, m)) return Refuse(kYPosError);
  RouteResetCaptureDone(machine);
  if (SendMachineCommand(machine, BuildCmd63FlyMove(machine, headCount, xSteps, start, run, offsets)) != CommandResult::Ok) return false;
  if (!RouteWaitCaptureDone(machine, machine.Part<smt::link::ReplyEvents>().cmd63.timeout())) return false;
  if (!machine.masterResetOk) return false;
  machine.curX += xSteps;
  PositionsChanged(machine);
  return true;
}

// --- 0x67 / 0x68 ------------------------------------------------------------------------

int NozzleOfStroke(uint8_t head, int32_t steps) {
  if (head == 2) return steps >= 0 ? 2 : 1;
  if (head == 3) return steps >= 0 ? 4 : 3;
  if (head >= 32 && head <= 39) return head - 31;
  return 0;
}

namespace {
// The serial form chooses its button between the pair nozzles only.
int SerialPairNozzle(uint8_t head, int32_t steps) {
  if (head == 2) return steps >= 0 ? 2 : 1;
  return steps >= 0 ? 4 : 3;
}
}  // namespace

MachineCommand BuildCmd67MoveZ(smt::Machine& machine, uint8_t head, int32_t steps, int32_t start, int32_t run, uint8_t option,
                               uint16_t time, uint8_t last) {
  MachineCommand c;
  c.code = 0x67;
  c.reply = &machine.Part<smt::link::ReplyEvents>().cmd67;
  // Down and back up, with the dwell at the bottom.
  c.timeout = MoveTimeout(2 * static_cast<int64_t>(steps), run, std::chrono::milliseconds(time));
  // The option byte has no place in the UDP payload.
  c.udpPayload = ByteWriter().U8(head).I32(steps).I32(start).I32(run).U16(time).U8(last).Take();
  c.serialPayload = ByteWriter()
                        .U8(head).SM32(steps).U8(SpeedByte(start)).U8(SpeedByte(run)).U8(option).BE16(time).U8(last)
                        .Take();
  SerialFit fit;
  fit.SM32(0x67, "steps", steps);
  c.serialRefusal = fit.refusal;
  return c;
}

CommandResult SendCmd67MoveZ(smt::Machine& machine, uint8_t head, int32_t steps, int32_t start, int32_t run, uint8_t option, uint16_t time,
                             uint8_t last) {
  PositionsChanged(machine);
  const bool serial = RuntimeOf(machine).UsesSerial();
  const MachineCommand c = BuildCmd67MoveZ(machine, head, steps, start, run, option, time, last);
  if (serial && c.serialRefusal.empty()) RuntimeOf(machine).SetPumpButton(SerialPairNozzle(head, steps), true);
  const CommandResult r = SendMachineCommand(machine, c);
  // A pick stroke whose end is unknown (stopped, timed out, link lost) may
  // hold its part: its vacuum counts as on.
  const bool maybeHeld = r == CommandResult::Ok || r == CommandResult::Stopped || r == CommandResult::TimedOut ||
                         r == CommandResult::LinkLost;
  if (!serial && maybeHeld) {
    if (const int n = NozzleOfStroke(head, steps)) RuntimeOf(machine).SetPumpButton(n, true);
  }
  return r;
}

int32_t StrokeVacuumValue(smt::Machine& machine, uint8_t head, int32_t steps, int32_t vacuum) {
  const MotionSettings m = GetMotionSettings(machine);
  if (m.suctionNozzleOffset) {
    if (const int n = NozzleOfStroke(head, steps)) vacuum += m.suctionNozzleValue[n - 1];
  }
  return (vacuum < 0 || vacuum > 100) ? 0 : vacuum;
}

MachineCommand BuildCmd68MoveZVacuum(smt::Machine& machine, uint8_t head, int32_t steps, int32_t start, int32_t run, int32_t fifth,
                                     uint16_t time, int32_t vacuum) {
  const MotionSettings m = GetMotionSettings(machine);
  // abs(INT32_MIN) has no 32-bit form: the writer refuses it.
  const int64_t magnitude = std::llabs(static_cast<long long>(fifth));
  MachineCommand c;
  c.code = 0x68;
  c.reply = &machine.Part<smt::link::ReplyEvents>().cmd68;
  c.timeout = MoveTimeout(2 * static_cast<int64_t>(steps) + magnitude, run, std::chrono::milliseconds(time));
  c.udpPayload = ByteWriter()
                     .U8(head).I32(steps).I32(start).I32(run).I32(magnitude).U8(m.exhaust & 0xFF).U16(time).U8(vacuum)
                     .Take();
  c.serialPayload = ByteWriter()
                        .U8(head).SM32(steps).U8(SpeedByte(start)).U8(SpeedByte(run)).BE32(magnitude).BE16(time)
                        .U8(vacuum)
                        .Take();
  SerialFit fit;
  fit.SM32(0x68, "steps", steps);
  c.serialRefusal = fit.refusal;
  return c;
}

CommandResult SendCmd68MoveZVacuum(smt::Machine& machine, uint8_t head, int32_t steps, int32_t start, int32_t run, int32_t fifth,
                                   uint16_t time, int32_t vacuum) {
  machine.link.vacuumCheckOk = true;
  PositionsChanged(machine);
  const int32_t v = StrokeVacuumValue(machine, head, steps, vacuum);
  const bool serial = RuntimeOf(machine).UsesSerial();
  const MachineCommand c = BuildCmd68MoveZVacuum(machine, head, steps, start, run, fifth, time, v);
  if (serial && c.serialRefusal.empty()) RuntimeOf(machine).SetPumpButton(SerialPairNozzle(head, steps), false);
  const CommandResult r = SendMachineCommand(machine, c);
  if (!serial && r == CommandResult::Ok) {
    if (const int n = NozzleOfStroke(head, steps)) RuntimeOf(machine).SetPumpButton(n, false);
  }
  return r;
}

// --- 0x66 / 0x56 --------------------------------------------------------------------

MachineCommand BuildCmd66MoveFeedAxis(smt::Machine& machine, uint8_t alternative, uint8_t axis, const FeedValues& v) {
  MachineCommand c;
  c.code = alternative == 1 ? 0x56 : 0x66;
  c.reply = &machine.Part<smt::link::ReplyEvents>().cmd66;
  // The feeder walk, then the two lift strokes, with the time the caller
  // gives (value 10, ms); the automatic and pneumatic feeders (axis codes 10
  // and 11) move no axis of the board's: their feed time and the floor.
  if (axis >= 1 && axis <= 3)
    c.timeout = MoveTimeout(v[0], v[2]) +
                MoveTimeout(std::llabs(static_cast<long long>(v[3])) + std::llabs(static_cast<long long>(v[4])), v[6],
                            std::chrono::milliseconds(v[7] > 0 ? v[7] : 0));
  else
    c.timeout = MoveTimeout(0, 0, std::chrono::milliseconds(v[7] > 0 ? v[7] : 0));
  const int32_t walk = axis == 1 ? machine.motion.curAxis8.load() : axis == 2 ? machine.motion.curAxis9.load() : axis == 3 ? machine.motion.curAxis10.load() : 0;
  ByteWriter u;
  u.U8(alternative).U8(axis).I32(walk);
  for (int i = 0; i < 7; ++i) u.I32(v[i]);
  u.U16(v[7]).U8(v[8]).U8(v[9]);
  c.udpPayload = u.Take();
  SerialFit fit;
  ByteWriter s;
  s.U8(axis);
  if (axis == 10) {
    // Automatic feeders: the 96-bit mask of feeders to advance and the feed time.
    s.BE32(v[0]).BE32(v[1]).BE32(v[2]);
  } else {
    fit.SM32(c.code, "walk steps", v[0]);
    fit.BE16(c.code, "lift travel", v[3]);
    fit.BE16(c.code, "lift travel", v[4]);
    s.SM32(v[0]).U8(SpeedByte(v[1])).U8(SpeedByte(v[2])).BE16(v[3]).BE16(v[4]).U8(SpeedByte(v[5]))
        .U8(SpeedByte(v[6]));
  }
  fit.BE16(c.code, "value 10", v[7]);
  s.BE16(v[7]).U8(v[8]).U8(v[9]);
  c.serialPayload = s.Take();
  c.serialRefusal = fit.refusal;
  return c;
}

CommandResult SendCmd66MoveFeedAxis(smt::Machine& machine, uint8_t alternative, uint8_t axis, const FeedValues& values) {
  const CommandResult r = SendMachineCommand(machine, BuildCmd66MoveFeedAxis(machine, alternative, axis, values));
  if (r != CommandResult::Ok) return r;
  if (axis == 1) machine.motion.curAxis8 += values[0];
  else if (axis == 2) machine.motion.curAxis9 += values[0];
  else if (axis == 3) machine.motion.curAxis10 += values[0];
  PositionsChanged(machine);
  return r;
}

// --- 0x62 ----------------------------------------------------------------------------

MachineCommand BuildCmd62Zones(smt::Machine& machine, uint8_t zone, uint8_t option1, uint8_t option2, uint8_t option3, int32_t steps11,
                               int32_t steps12, int32_t steps13, int32_t start, int32_t run) {
  const MotionSettings m = GetMotionSettings(machine);
  MachineCommand c;
  c.code = 0x62;
  c.trace = false;  // the zone lines go to the second information box
  c.reply = &machine.Part<smt::link::ReplyEvents>().conveyor;
  // A zone step is waited for the operator's wait time-out (ms) and a
  // margin for the belts' travel and the link, not the family's whole limit.
  c.timeout = ConveyorZoneTimeout(m.conveyorWaitTimeOut);
  c.udpPayload = ByteWriter()
                     .U8(zone).U8(option1).U16(m.conveyorWaitTimeOut).U8(option2).U8(option3)
                     .U8(0x0B).I32(steps11).U8(0x0C).I32(steps12).U8(0x0D).I32(steps13).I32(start).I32(run)
                     .Take();
  c.serialPayload = ByteWriter()
                        .U8(zone).U8(option1).U8(option2).U8(option3)
                        .U8(0x0B).SM32(steps11).U8(0x0C).SM32(steps12).U8(0x0D).SM32(steps13)
                        .U8(SpeedByte(start)).U8(SpeedByte(run))
                        .Take();
  SerialFit fit;
  fit.SM32(0x62, "steps", steps11);
  fit.SM32(0x62, "steps", steps12);
  fit.SM32(0x62, "steps", steps13);
  c.serialRefusal = fit.refusal;
  return c;
}

CommandResult SendCmd62Zones(smt::Machine& machine, uint8_t zone, uint8_t option1, uint8_t option2, uint8_t option3, int32_t steps11,
                             int32_t steps12, int32_t steps13, int32_t start, int32_t run) {
  LinkHooks& hooks = RuntimeOf(machine).Hooks();
  const bool traced = zone >= 1 && zone <= 4;
  if (traced) hooks.AppendInfoLine2(smt::platform::FillText(smt::platform::WindowText("LinkMessagesConfig", "LinkMessages.c_ZoneStart", "62->区域 %1 开始..."), {std::to_string(zone)}), false);
  const CommandResult r =
      SendMachineCommand(machine, BuildCmd62Zones(machine, zone, option1, option2, option3, steps11, steps12, steps13, start, run));
  if (traced) hooks.AppendInfoLine2(smt::platform::FillText(r == CommandResult::Ok ? smt::platform::WindowText("LinkMessagesConfig", "LinkMessages.c_ZoneEnd", "%1 结束")
                                                                  : smt::platform::WindowText("LinkMessagesConfig", "LinkMessages.c_ZoneFailed", "%1 失败"),
                                                {std::to_string(zone)}),
                          true);
  return r;
}

// The forms for the machine in use.

}  // namespace smt::link
