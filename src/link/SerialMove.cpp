#include "link/SerialMove.h"

#include "core/MachineState.h"
#include "link/CommandEncoding.h"
#include "link/LinkBytes.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/MotionSettings.h"
#include "platform/MessageService.h"

namespace smt::link {

SerialMoveArgs ShapeSerialMoveSpeeds(smt::Machine& machine, SerialMoveArgs a) {
  const MotionSettings m = GetMotionSettings(machine);
  if (m.optimizeFarSpeed) {
    a.startX = FarStartSpeed(a.startX, a.runX, a.dX, m.xLimitAbs, m.accelSpeed);
    a.start2 = FarStartSpeed(a.start2, a.run2, a.d2, m.yLimitAbs, m.accelSpeed);
  }
  if (a.startX < 1) a.startX = a.runX = 1;
  if (a.start2 < 1) a.start2 = a.run2 = 1;
  if (m.maxSpeedLimit && (a.runX > m.maxSpeedLimitValue || a.run2 > m.maxSpeedLimitValue))
    a.runX = a.run2 = m.maxSpeedLimitValue;
  return a;
}

MachineCommand BuildCmd54SerialMove(smt::Machine& machine, const SerialMoveArgs& a) {
  MachineCommand c;
  c.code = 0x54;
  c.serialOnly = true;
  c.reply = &machine.Part<smt::link::ReplyEvents>().serialMove;
  c.serialPayload = ByteWriter()
                        .U8(0x00).SM32(a.dX).U8(SpeedByte(a.startX)).U8(SpeedByte(a.runX))
                        .U8(a.axis2).SM32(a.d2).U8(SpeedByte(a.start2)).U8(SpeedByte(a.run2))
                        .U8(a.axis3).SM16(a.d3).U8(SpeedByte(a.start3)).U8(SpeedByte(a.run3))
                        .U8(0x80)
                        .Take();
  if (!FitsSM32(a.dX)) c.serialRefusal = StepsDoNotFitText(0x54, "X steps", a.dX, 32);
  else if (!FitsSM32(a.d2)) c.serialRefusal = StepsDoNotFitText(0x54, "steps", a.d2, 32);
  else if (!FitsSM16(a.d3)) c.serialRefusal = StepsDoNotFitText(0x54, "third-axis steps", a.d3, 16);
  return c;
}

bool MoveXYSerial(smt::Machine& machine, int32_t dX, int32_t startX, int32_t runX, uint8_t axis2, int32_t d2, int32_t start2, int32_t run2,
                  uint8_t axis3, int32_t d3, int32_t start3, int32_t run3) {
  if (!machine.masterResetOk) {
    smt::platform::ShowMessage(kErrorE3);
    machine.Part<smt::link::ReplyEvents>().serialMove.Signal();
    return false;
  }
  const MotionSettings m = GetMotionSettings(machine);
  const int64_t x = static_cast<int64_t>(machine.curX) + dX;
  const int64_t y = static_cast<int64_t>(machine.curY) + (axis2 == 1 ? d2 : 0);
  if (x > m.xLimit || x < 0) {
    smt::platform::ShowMessage(kXPosError);
    return false;
  }
  if (y < m.yLimit || y > 0) {
    smt::platform::ShowMessage(kYPosError);
    return false;
  }
  if (!RuntimeOf(machine).UsesSerial()) {
    // The frame has no network form: nothing is sent and nothing is booked.
    smt::platform::ShowMessage(kCommNotDone);
    return false;
  }
  const SerialMoveArgs a = ShapeSerialMoveSpeeds(machine, {dX, startX, runX, axis2, d2, start2, run2, axis3, d3, start3, run3});
  if (SendMachineCommand(machine, BuildCmd54SerialMove(machine, a)) != CommandResult::Ok) return false;
  CountMove(machine);
  if (!machine.masterResetOk) return false;
  machine.curX += dX;
  if (axis2 == 1) machine.curY += d2;
  else if (axis2 == 12) machine.motion.curPlatform[1] += d2;
  RuntimeOf(machine).Hooks().OnPositionsChanged();
  return true;
}

// The forms for the machine in use.

}  // namespace smt::link
