#include "app/GoToMoves.h"

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/ProcessCommands.h"
#include "settings/SettingsStores.h"

namespace smt::app {

namespace {

using settings::SettingsStores;
using settings::SpeedUse;

bool SerialLink(smt::Machine& m) { return smt::link::RuntimeOf(m).commModel.load() == 0; }

void ReleaseNozzleVacuum(smt::Machine& m, int kind, int machineType, int exhaust) {
  if (kind < 1 || kind > 8) return;
  auto& hooks = smt::link::RuntimeOf(m).Hooks();
  if (machineType == 7 || machineType == 8) {
    smt::link::SetOutput(m, 31 + kind, 0, exhaust);
  } else if (kind <= 4) {
    smt::link::SetOutput(m, kind, 0, 5);
  }
  if (kind == 2 || kind == 3 || ((kind == 1 || kind == 4) && (machineType == 7 || machineType == 8))) {
    hooks.SetPumpButtonCheck(kind, false);
  }
}

bool MoveXY(smt::Machine& m, int32_t targetX, int32_t targetY) {
  const auto speed = SettingsStores::Of(m).speed.Record(SpeedUse::PickPart);
  return smt::link::SendCmd64MoveXY(m, targetX - m.curX.load(), speed[0].start, speed[0].normal, targetY - m.curY.load(),
                                    speed[1].start, speed[1].normal, 0, 0, 0, 0, 0x80);
}

}  // namespace

bool MoveToTarget(smt::Machine& m, const GoToMoveRequest& r) {
  smt::BusyRelease release(m);
  auto& hooks = smt::link::RuntimeOf(m).Hooks();
  if (SerialLink(m)) smt::link::SendCmd60SetState(m, 0, 0);
  if (!MoveXY(m, m.motion.targetX.load(), m.motion.targetY.load())) {
    if (!r.fromMenu) hooks.EnableJogControls(true);
    return false;
  }
  const auto basic = SettingsStores::Of(m).machine.Basic();
  // Only the vision-origin move asks for the correction (it fills it in).
  if (r.correctVisualOrigin && basic->m_CottectionTimeReset != 0 && !r.fromMenu) r.correctVisualOrigin();
  if (basic->m_bStopPosition != 0 && r.stopAfter) {
    if (!r.stopPlan.ok) {
      if (r.showMessage) r.showMessage(r.stopPlan.message);
      hooks.EnableJogControls(true);
      return false;
    }
    m.motion.targetX = r.stopPlan.targetX;
    m.motion.targetY = r.stopPlan.targetY;
    if (!MoveXY(m, r.stopPlan.targetX, r.stopPlan.targetY)) {
      if (!r.fromMenu) hooks.EnableJogControls(true);
      return false;
    }
  }
  if (!r.fromMenu) {
    hooks.EnableJogControls(true);
    // Homing handed over to this move: the machine counts as homed now.
    if (r.takeResetToOriginPending && r.takeResetToOriginPending()) m.resetDone = true;
  }
  ReleaseNozzleVacuum(m, r.kind, r.machineType, basic->m_Exhaust);
  return true;
}

bool MoveAxesToTarget(smt::Machine& m, const GoToMoveRequest& r) {
  smt::BusyRelease release(m);
  auto& hooks = smt::link::RuntimeOf(m).Hooks();
  if (SerialLink(m)) smt::link::SendCmd60SetState(m, 0, 0);
  const auto speed = SettingsStores::Of(m).speed.Record(SpeedUse::PickPart);
  const int xs = speed[0].start, xn = speed[0].normal, ys = speed[1].start, yn = speed[1].normal;
  // Axis codes of the lamp machine: 0 X, 1 Y, 9 the second X axis, 12 the second platform's Y.
  bool ok = true;
  switch (r.kind) {
    case 1:
    case 4:
      ok = smt::link::SendCmd53DispenseMove(m, 0, m.motion.targetX - m.curX, xs, xn, 1, 0, 10, 10);
      break;
    case 2:
      ok = r.platform == 1
               ? smt::link::SendCmd53DispenseMove(m, 9, m.motion.targetX2 - m.motion.curPlatform[0], xs, xn, 1, m.motion.targetY - m.curY, ys, yn)
               : r.platform == 2 ? smt::link::SendCmd53DispenseMove(m, 9, m.motion.targetX2 - m.motion.curPlatform[0], xs, xn, 12,
                                                                    m.motion.targetY2 - m.motion.curPlatform[1], ys, yn)
                                 : true;
      break;
    case 3:
      ok = r.platform == 1
               ? smt::link::SendCmd53DispenseMove(m, 0, m.motion.targetX - m.curX, xs, xn, 1, m.motion.targetY - m.curY, ys, yn)
               : r.platform == 2 ? smt::link::SendCmd53DispenseMove(m, 0, m.motion.targetX - m.curX, xs, xn, 12,
                                                                    m.motion.targetY2 - m.motion.curPlatform[1], ys, yn)
                                 : true;
      break;
    default:
      break;  // other kinds move nothing on the platforms
  }
  if (!r.fromMenu) hooks.EnableJogControls(true);
  return ok;
}

}  // namespace smt::app
