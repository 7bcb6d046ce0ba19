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

bool SerialLink() { return smt::link::RuntimeOf(smt::CurrentMachine()).commModel.load() == 0; }

void ReleaseNozzleVacuum(int kind, int machineType, int exhaust) {
  if (kind < 1 || kind > 8) return;
  auto& hooks = smt::link::RuntimeOf(smt::CurrentMachine()).Hooks();
  if (machineType == 7 || machineType == 8) {
    smt::link::SetOutput(smt::CurrentMachine(), 31 + kind, 0, exhaust);
  } else if (kind <= 4) {
    smt::link::SetOutput(smt::CurrentMachine(), kind, 0, 5);
  }
  if (kind == 2 || kind == 3 || ((kind == 1 || kind == 4) && (machineType == 7 || machineType == 8))) {
    hooks.SetPumpButtonCheck(kind, false);
  }
}

bool MoveXY(int32_t targetX, int32_t targetY) {
  const auto speed = SettingsStores::Of(smt::CurrentMachine()).speed.Record(SpeedUse::PickPart);
  return smt::link::SendCmd64MoveXY(smt::CurrentMachine(), targetX - smt::CurrentMachine().curX.load(), speed[0].start, speed[0].normal, targetY - smt::CurrentMachine().curY.load(),
                                    speed[1].start, speed[1].normal, 0, 0, 0, 0, 0x80);
}

}  // namespace

bool MoveToTarget(const GoToMoveRequest& r) {
  smt::BusyRelease release(smt::CurrentMachine());
  auto& hooks = smt::link::RuntimeOf(smt::CurrentMachine()).Hooks();
  if (SerialLink()) smt::link::SendCmd60SetState(smt::CurrentMachine(), 0, 0);
  if (!MoveXY(smt::CurrentMachine().motion.targetX.load(), smt::CurrentMachine().motion.targetY.load())) {
    if (!r.fromMenu) hooks.EnableJogControls(true);
    return false;
  }
  const auto basic = SettingsStores::Of(smt::CurrentMachine()).machine.Basic();
  // Only the vision-origin move asks for the correction (it fills it in).
  if (r.correctVisualOrigin && basic->m_CottectionTimeReset != 0 && !r.fromMenu) r.correctVisualOrigin();
  if (basic->m_bStopPosition != 0 && r.stopAfter) {
    if (!r.stopPlan.ok) {
      if (r.showMessage) r.showMessage(r.stopPlan.message);
      hooks.EnableJogControls(true);
      return false;
    }
    smt::CurrentMachine().motion.targetX = r.stopPlan.targetX;
    smt::CurrentMachine().motion.targetY = r.stopPlan.targetY;
    if (!MoveXY(r.stopPlan.targetX, r.stopPlan.targetY)) {
      if (!r.fromMenu) hooks.EnableJogControls(true);
      return false;
    }
  }
  if (!r.fromMenu) {
    hooks.EnableJogControls(true);
    // Homing handed over to this move: the machine counts as homed now.
    if (r.takeResetToOriginPending && r.takeResetToOriginPending()) smt::CurrentMachine().resetDone = true;
  }
  ReleaseNozzleVacuum(r.kind, r.machineType, basic->m_Exhaust);
  return true;
}

bool MoveAxesToTarget(const GoToMoveRequest& r) {
  smt::BusyRelease release(smt::CurrentMachine());
  auto& hooks = smt::link::RuntimeOf(smt::CurrentMachine()).Hooks();
  if (SerialLink()) smt::link::SendCmd60SetState(smt::CurrentMachine(), 0, 0);
  const auto speed = SettingsStores::Of(smt::CurrentMachine()).speed.Record(SpeedUse::PickPart);
  const int xs = speed[0].start, xn = speed[0].normal, ys = speed[1].start, yn = speed[1].normal;
  // Axis codes of the lamp machine: 0 X, 1 Y, 9 the second X axis, 12 the second platform's Y.
  bool ok = true;
  switch (r.kind) {
    case 1:
    case 4:
      ok = smt::link::SendCmd53DispenseMove(smt::CurrentMachine(), 0, smt::CurrentMachine().motion.targetX - smt::CurrentMachine().curX, xs, xn, 1, 0, 10, 10);
      break;
    case 2:
      ok = r.platform == 1
               ? smt::link::SendCmd53DispenseMove(smt::CurrentMachine(), 9, smt::CurrentMachine().motion.targetX2 - smt::CurrentMachine().motion.curPlatform[0], xs, xn, 1, smt::CurrentMachine().motion.targetY - smt::CurrentMachine().curY, ys, yn)
               : r.platform == 2 ? smt::link::SendCmd53DispenseMove(smt::CurrentMachine(), 9, smt::CurrentMachine().motion.targetX2 - smt::CurrentMachine().motion.curPlatform[0], xs, xn, 12,
                                                                    smt::CurrentMachine().motion.targetY2 - smt::CurrentMachine().motion.curPlatform[1], ys, yn)
                                 : true;
      break;
    case 3:
      ok = r.platform == 1
               ? smt::link::SendCmd53DispenseMove(smt::CurrentMachine(), 0, smt::CurrentMachine().motion.targetX - smt::CurrentMachine().curX, xs, xn, 1, smt::CurrentMachine().motion.targetY - smt::CurrentMachine().curY, ys, yn)
               : r.platform == 2 ? smt::link::SendCmd53DispenseMove(smt::CurrentMachine(), 0, smt::CurrentMachine().motion.targetX - smt::CurrentMachine().curX, xs, xn, 12,
                                                                    smt::CurrentMachine().motion.targetY2 - smt::CurrentMachine().motion.curPlatform[1], ys, yn)
                                 : true;
      break;
    default:
      break;  // other kinds move nothing on the platforms
  }
  if (!r.fromMenu) hooks.EnableJogControls(true);
  return ok;
}

}  // namespace smt::app
