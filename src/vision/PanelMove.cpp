// The camera panel's move worker (PanelMove.h).
#include "vision/PanelMove.h"

#include <array>
#include <chrono>
#include <thread>

#include "core/Machine.h"
#include "core/MachineState.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/ProcessCommands.h"
#include "settings/SettingsStores.h"

void PanelMoveThreadProc(const PanelMoveRequest& req) {
  smt::Machine& machine = *req.machine;
  smt::BusyRelease release(machine);  // claimed by the starter
  using smt::settings::SpeedUse;
  const auto rec = smt::settings::SettingsStores::Of(machine).speed.Record(req.mode == 0 ? SpeedUse::Handle
                                                                                          : SpeedUse::PickPart);
  const auto& sx = rec[0];
  const auto& sy = rec[1];
  const auto& sa = rec[4];
  const bool serial = smt::link::RuntimeOf(machine).UsesSerial();
  int moveX = req.moveX;
  if (req.machineType != 4 || req.visionMode != 0) {
    if (req.visionMode == 0) {
      moveX = -moveX;
      if (serial) smt::link::SendCmd60SetState(machine, 0, 0);
      smt::link::SendCmd64MoveXY(machine, moveX, sx.start, sx.normal, req.moveY, sy.start, sy.normal, 0, 0, 0, 0, 0x80);
    } else {
      if (serial) smt::link::SendCmd60SetState(machine, 0, 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      std::array<int32_t, 8> deltas;
      deltas.fill(req.moveZ);
      for (auto& a : machine.motion.headMoveArgs) a = req.moveZ;
      smt::link::SendCmd65MoveXYHeads(machine, moveX, sx.start, sx.normal, req.moveY, sy.start, sy.normal, deltas, sa.start,
                                      sa.normal, 0);
    }
    return;
  }
  // Lamp machine, Mark camera: the platform the operator works on.
  moveX = -moveX;
  if (req.platform == 1) {
    if (serial) smt::link::SendCmd60SetState(machine, 0, 0);
    smt::link::SendCmd53DispenseMove(machine, 9, moveX, sx.start, sx.normal, 1, req.moveY, sy.start, sy.normal);
  } else if (req.platform == 2) {
    if (serial) smt::link::SendCmd60SetState(machine, 0, 0);
    smt::link::SendCmd53DispenseMove(machine, 9, moveX, sx.start, sx.normal, 12, req.moveY, sy.start, sy.normal);
  }
}
