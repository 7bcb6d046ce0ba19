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

int32_t CurrentPositionOfAxis(uint8_t axis) {
  switch (axis) {
    case 0: return g_nCurX;
    case 1: return g_nCurY;
    case 8: return g_nCurAxis8;
    case 9: return g_nCurAxis9;
    case 10: return g_nCurAxis10;
    default: return 0;
  }
}

void AddWrappedA(int index, int32_t delta, int32_t rev) {
  if (index < 0 || index > 7) return;
  g_nCurA[index] = WrapA(static_cast<int64_t>(g_nCurA[index].load()) + delta, rev);
}

// A Z pair motor: a positive step count lowers the odd head.
bool ZPairFits(int first, int32_t steps, int32_t zLimit) {
  const int64_t v = steps > 0 ? static_cast<int64_t>(g_nCurZ[first].load()) - steps
                              : static_cast<int64_t>(g_nCurZ[first + 1].load()) + steps;
  return std::llabs(v) <= std::llabs(static_cast<long long>(zLimit));
}
void MoveZPair(int first, int32_t steps) {
  g_nCurZ[first] -= steps;
  g_nCurZ[first + 1] += steps;
}

void PositionsChanged() { Runtime().Hooks().OnPositionsChanged(); }

}  // namespace

void CountMove() {
  const int n = ++Runtime().serialSendCount;
  Runtime().Hooks().OnMoveCounted(n);
}

// --- 0x61 -----------------------------------------------------------------------

std::string CheckAxisMoveLimits(uint8_t axis, int32_t steps) {
  const MotionSettings m = GetMotionSettings();
  const int64_t x = g_nCurX, y = g_nCurY;
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
      return ZPairFits(0, steps, m.zLimit) ? std::string() : kZPosError;
    case 3:
      return ZPairFits(2, steps, m.zLimit) ? std::string() : kZPosError;
    default:
      if (axis >= 32 && axis <= 39) {
        const int64_t z = static_cast<int64_t>(g_nCurZ[axis - 32].load()) + steps;
        if (z < m.zLimit || z > 0) return kZPosError;
      }
      return {};
  }
}

std::pair<int32_t, int32_t> AxisMoveSpeeds(uint8_t axis, int32_t steps, int32_t start, int32_t run) {
  const MotionSettings m = GetMotionSettings();
  if (axis == 0 || axis == 1) {
    if (m.optimizeFarSpeed)
      start = FarStartSpeed(start, run, steps, axis == 0 ? m.xLimitAbs : m.yLimitAbs, m.accelSpeed);
    if (start < 1) start = 1;
  }
  run = CappedRunSpeed(run, m.maxSpeedLimit, m.maxSpeedLimitValue);
  return {start, run};
}

MachineCommand BuildCmd61MoveAxis(uint8_t axis, int32_t steps, int32_t start, int32_t run) {
  MachineCommand c;
  c.code = 0x61;
  c.reply = &g_hEventAxisMove;
  c.udpPayload = ByteWriter().U8(axis).I32(CurrentPositionOfAxis(axis)).I32(steps).I32(start).I32(run).Take();
  c.serialPayload = ByteWriter().U8(axis).SM32(steps).U8(SpeedByte(start)).U8(SpeedByte(run)).Take();
  c.timeout = MoveTimeout(steps, run);
  SerialFit fit;
  fit.SM32(0x61, "steps", steps);
  c.serialRefusal = fit.refusal;
  return c;
}

bool SendCmd61MoveAxis(uint8_t axis, int32_t steps, int32_t start, int32_t run) {
  const std::string refusal = CheckAxisMoveLimits(axis, steps);
  if (!refusal.empty()) return Refuse(refusal);
  const auto [s, r] = AxisMoveSpeeds(axis, steps, start, run);
  if (SendMachineCommand(BuildCmd61MoveAxis(axis, steps, s, r)) != CommandResult::Ok) return false;
  CountMove();

  const MotionSettings m = GetMotionSettings();
  const int type = g_nMachineType;
  const bool secondPlatform = type == 4 && Runtime().headGroup.load() == 2;
  auto feederLift = [&](int output) {
    if (!Runtime().feederButtonHeld) return;
    SendOutputDirect(output, 1, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(m.feedDelayMs));
  };
  switch (axis) {
    case 0: g_nCurX += steps; break;
    case 1: g_nCurY += steps; break;
    case 2: MoveZPair(0, steps); break;
    case 3: MoveZPair(2, steps); break;
    case 4: case 5: case 6: case 7: AddWrappedA(axis - 4, steps, m.aRevolution); break;
    case 8: g_nCurAxis8 += steps; break;
    case 9:
      if (secondPlatform) g_nCurPlatform[0] += steps;
      else g_nCurAxis9 += steps;
      break;
    case 10:
      if (type == 4 || type == 6) MoveZPair(4, steps);
      else g_nCurAxis10 += steps;
      break;
    case 11: feederLift(5); break;
    case 12:
      if (secondPlatform) g_nCurPlatform[1] += steps;
      feederLift(6);
      break;
    case 13: feederLift(7); break;
    case 14: case 48: g_nCurConveyorWidth += steps; break;
    default:
      if (axis >= 32 && axis <= 39) g_nCurZ[axis - 32] += steps;
      else if (axis >= 40 && axis <= 47) AddWrappedA(axis - 40, steps, m.aRevolution);
      break;
  }
  PositionsChanged();
  return true;
}

// --- 0x64 -------------------------------------------------------------------------

XYSpeeds ShapeXYSpeeds(int32_t xSteps, int32_t ySteps, XYSpeeds s) {
  const MotionSettings m = GetMotionSettings();
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

MachineCommand BuildCmd64MoveXY(int32_t xSteps, int32_t xStart, int32_t xRun, int32_t ySteps, int32_t yStart,
                                int32_t yRun, int32_t aIndex, int32_t aSteps, int32_t aStart, int32_t aRun,
                                uint8_t flags) {
  MachineCommand c;
  c.code = 0x64;
  c.reply = &g_hEventMoveXY;
  c.timeout = std::max(MoveTimeout(xSteps, xRun), MoveTimeout(ySteps, yRun));
  if (aIndex >= 1 && aIndex <= 8) c.timeout = std::max(c.timeout, MoveTimeout(aSteps, aRun));
  // The Y speeds have no place in the UDP payload.
  c.udpPayload = ByteWriter()
                     .I32(g_nCurX).I32(xSteps).I32(g_nCurY).I32(ySteps).I32(xStart).I32(xRun)
                     .U8(flags).U8(aIndex).I32(aSteps).I32(aStart).I32(aRun)
                     .Take();
  const int form = Runtime().v2_04.load();
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

bool SendCmd64MoveXY(int32_t xSteps, int32_t xStart, int32_t xRun, int32_t ySteps, int32_t yStart, int32_t yRun,
                     int aIndex, int32_t aSteps, int32_t aStart, int32_t aRun, uint8_t flags) {
  const MotionSettings m = GetMotionSettings();
  if (!XInRange(static_cast<int64_t>(g_nCurX) + xSteps, m)) return Refuse(kXPosError);
  if (!YInRange(static_cast<int64_t>(g_nCurY) + ySteps, m)) return Refuse(kYPosError);
  const XYSpeeds s = ShapeXYSpeeds(xSteps, ySteps, {xStart, xRun, yStart, yRun});
  g_nLastMoveCmd = 0x40;
  if ((flags & 0x80) && !g_bMasterResetOk) return Refuse(kErrorE3);
  const MachineCommand c = BuildCmd64MoveXY(xSteps, s.xStart, s.xRun, ySteps, s.yStart, s.yRun,
                                            aIndex, aSteps, aStart, aRun, flags);
  if (SendMachineCommand(c) != CommandResult::Ok) return false;
  CountMove();
  if (!g_bMasterResetOk && (Runtime().UsesSerial() || flags != 0)) return false;
  g_nCurX += xSteps;
  g_nCurY += ySteps;
  if (aIndex >= 1 && aIndex <= 8) AddWrappedA(aIndex - 1, aSteps, m.aRevolution);
  PositionsChanged();
  return true;
}

// --- 0x65 -------------------------------------------------------------------------

MachineCommand BuildCmd65MoveXYHeads(int32_t xSteps, int32_t xStart, int32_t xRun, int32_t ySteps, int32_t yStart,
                                     int32_t yRun, const std::array<int32_t, 8>& deltas, int32_t aStart,
                                     int32_t aRun, uint8_t flag) {
  MachineCommand c;
  c.code = 0x65;
  c.reply = &g_hEventCmd65;
  c.timeout = std::max(MoveTimeout(xSteps, xRun), MoveTimeout(ySteps, yRun));
  for (int32_t d : deltas) c.timeout = std::max(c.timeout, MoveTimeout(d, aRun));
  ByteWriter u;
  u.I32(g_nCurX).I32(xSteps).I32(g_nCurY).I32(ySteps).I32(xStart).I32(xRun).U8(flag);
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

bool SendCmd65MoveXYHeads(int32_t xSteps, int32_t xStart, int32_t xRun, int32_t ySteps, int32_t yStart, int32_t yRun,
                          int32_t aStart, int32_t aRun, uint8_t flag) {
  std::array<int32_t, 8> deltas{};
  for (int i = 0; i < 8; ++i) deltas[i] = g_nHeadMoveArgs[i];
  return SendCmd65MoveXYHeads(xSteps, xStart, xRun, ySteps, yStart, yRun, deltas, aStart, aRun, flag);
}

bool SendCmd65MoveXYHeads(int32_t xSteps, int32_t xStart, int32_t xRun, int32_t ySteps, int32_t yStart, int32_t yRun,
                          const std::array<int32_t, 8>& deltas, int32_t aStart, int32_t aRun, uint8_t flag) {
  if (!g_bMasterResetOk) return Refuse(kErrorE3);
  const MotionSettings m = GetMotionSettings();
  if (!XInRange(static_cast<int64_t>(g_nCurX) + xSteps, m)) return Refuse(kXPosError);
  if (!YInRange(static_cast<int64_t>(g_nCurY) + ySteps, m)) return Refuse(kYPosError);
  const XYSpeeds s = ShapeXYSpeeds(xSteps, ySteps, {xStart, xRun, yStart, yRun});
  g_nLastMoveCmd = 0x41;
  const bool serial = Runtime().UsesSerial();
  if (SendMachineCommand(BuildCmd65MoveXYHeads(xSteps, s.xStart, s.xRun, ySteps, s.yStart, s.yRun, deltas, aStart,
                                               aRun, flag)) != CommandResult::Ok)
    return false;
  if (!g_bMasterResetOk) return false;
  g_nCurX += xSteps;
  g_nCurY += ySteps;
  // What the board turned: four heads on the serial form, eight over UDP.
  const int heads = serial ? 4 : 8;
  for (int h = 0; h < heads; ++h) AddWrappedA(h, deltas[h], m.aRevolution);
  PositionsChanged();
  return true;
}

// --- 0x63 -------------------------------------------------------------------------

MachineCommand BuildCmd63FlyMove(uint8_t headCount, int32_t xSteps, int32_t start, int32_t run,
                                 const std::array<int32_t, 12>& offsets) {
  MachineCommand c;
  c.code = 0x63;
  c.reply = &g_hEventCmd63;
  ByteWriter u;
  u.U16(1).U8(headCount).I32(g_nCurX).I32(xSteps).I32(start).I32(run);
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

bool SendCmd63FlyMove(uint8_t headCount, int32_t xSteps, int32_t start, int32_t run,
                      const std::array<int32_t, 12>& offsets) {
  if (!g_bMasterResetOk) return Refuse(kErrorE3);
  const MotionSettings m = GetMotionSettings();
  if (!XInRange(static_cast<int64_t>(g_nCurX) + xSteps, m)) return Refuse(kXPosError);
  if (!YInRange(g_nCurY, m)) return Refuse(kYPosError);
  RouteResetCaptureDone();
  if (SendMachineCommand(BuildCmd63FlyMove(headCount, xSteps, start, run, offsets)) != CommandResult::Ok) return false;
  if (!RouteWaitCaptureDone(g_hEventCmd63.timeout())) return false;
  if (!g_bMasterResetOk) return false;
  g_nCurX += xSteps;
  PositionsChanged();
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

MachineCommand BuildCmd67MoveZ(uint8_t head, int32_t steps, int32_t start, int32_t run, uint8_t option,
                               uint16_t time, uint8_t last) {
  MachineCommand c;
  c.code = 0x67;
  c.reply = &g_hEventCmd67;
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

CommandResult SendCmd67MoveZ(uint8_t head, int32_t steps, int32_t start, int32_t run, uint8_t option, uint16_t time,
                             uint8_t last) {
  PositionsChanged();
  const bool serial = Runtime().UsesSerial();
  const MachineCommand c = BuildCmd67MoveZ(head, steps, start, run, option, time, last);
  if (serial && c.serialRefusal.empty()) Runtime().SetPumpButton(SerialPairNozzle(head, steps), true);
  const CommandResult r = SendMachineCommand(c);
  // A pick stroke whose end is unknown (stopped, timed out, link lost) may
  // hold its part: its vacuum counts as on.
  const bool maybeHeld = r == CommandResult::Ok || r == CommandResult::Stopped || r == CommandResult::TimedOut ||
                         r == CommandResult::LinkLost;
  if (!serial && maybeHeld) {
    if (const int n = NozzleOfStroke(head, steps)) Runtime().SetPumpButton(n, true);
  }
  return r;
}

int32_t StrokeVacuumValue(uint8_t head, int32_t steps, int32_t vacuum) {
  const MotionSettings m = GetMotionSettings();
  if (m.suctionNozzleOffset) {
    if (const int n = NozzleOfStroke(head, steps)) vacuum += m.suctionNozzleValue[n - 1];
  }
  return (vacuum < 0 || vacuum > 100) ? 0 : vacuum;
}

MachineCommand BuildCmd68MoveZVacuum(uint8_t head, int32_t steps, int32_t start, int32_t run, int32_t fifth,
                                     uint16_t time, int32_t vacuum) {
  const MotionSettings m = GetMotionSettings();
  // abs(INT32_MIN) has no 32-bit form: the writer refuses it.
  const int64_t magnitude = std::llabs(static_cast<long long>(fifth));
  MachineCommand c;
  c.code = 0x68;
  c.reply = &g_hEventCmd68;
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

CommandResult SendCmd68MoveZVacuum(uint8_t head, int32_t steps, int32_t start, int32_t run, int32_t fifth,
                                   uint16_t time, int32_t vacuum) {
  g_bVacuumCheckOk = true;
  PositionsChanged();
  const int32_t v = StrokeVacuumValue(head, steps, vacuum);
  const bool serial = Runtime().UsesSerial();
  const MachineCommand c = BuildCmd68MoveZVacuum(head, steps, start, run, fifth, time, v);
  if (serial && c.serialRefusal.empty()) Runtime().SetPumpButton(SerialPairNozzle(head, steps), false);
  const CommandResult r = SendMachineCommand(c);
  if (!serial && r == CommandResult::Ok) {
    if (const int n = NozzleOfStroke(head, steps)) Runtime().SetPumpButton(n, false);
  }
  return r;
}

// --- 0x66 / 0x56 --------------------------------------------------------------------

MachineCommand BuildCmd66MoveFeedAxis(uint8_t alternative, uint8_t axis, const FeedValues& v) {
  MachineCommand c;
  c.code = alternative == 1 ? 0x56 : 0x66;
  c.reply = &g_hEventCmd66;
  // The feeder walk, then the two lift strokes, with the time the caller
  // gives (value 10, ms); axis code 10 keeps the family's time-out.
  if (axis >= 1 && axis <= 3)
    c.timeout = MoveTimeout(v[0], v[2]) +
                MoveTimeout(std::llabs(static_cast<long long>(v[3])) + std::llabs(static_cast<long long>(v[4])), v[6],
                            std::chrono::milliseconds(v[7] > 0 ? v[7] : 0));
  const int32_t walk = axis == 1 ? g_nCurAxis8.load() : axis == 2 ? g_nCurAxis9.load() : axis == 3 ? g_nCurAxis10.load() : 0;
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

CommandResult SendCmd66MoveFeedAxis(uint8_t alternative, uint8_t axis, const FeedValues& values) {
  const CommandResult r = SendMachineCommand(BuildCmd66MoveFeedAxis(alternative, axis, values));
  if (r != CommandResult::Ok) return r;
  if (axis == 1) g_nCurAxis8 += values[0];
  else if (axis == 2) g_nCurAxis9 += values[0];
  else if (axis == 3) g_nCurAxis10 += values[0];
  PositionsChanged();
  return r;
}

// --- 0x62 ----------------------------------------------------------------------------

MachineCommand BuildCmd62Zones(uint8_t zone, uint8_t option1, uint8_t option2, uint8_t option3, int32_t steps11,
                               int32_t steps12, int32_t steps13, int32_t start, int32_t run) {
  const MotionSettings m = GetMotionSettings();
  MachineCommand c;
  c.code = 0x62;
  c.trace = false;  // the zone lines go to the second information box
  c.reply = &g_hEventConveyor;
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

CommandResult SendCmd62Zones(uint8_t zone, uint8_t option1, uint8_t option2, uint8_t option3, int32_t steps11,
                             int32_t steps12, int32_t steps13, int32_t start, int32_t run) {
  LinkHooks& hooks = Runtime().Hooks();
  const bool traced = zone >= 1 && zone <= 4;
  if (traced) hooks.AppendInfoLine2("62->Zone " + std::to_string(zone) + " start...", false);
  const CommandResult r =
      SendMachineCommand(BuildCmd62Zones(zone, option1, option2, option3, steps11, steps12, steps13, start, run));
  if (traced) hooks.AppendInfoLine2(std::to_string(zone) + (r == CommandResult::Ok ? " end" : " failed"), true);
  return r;
}

}  // namespace smt::link
