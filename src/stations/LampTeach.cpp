#include "stations/LampTeach.h"

#include <cstdlib>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/ProcessCommands.h"
#include "link/WindowPanels.h"
#include "platform/WorkerThreads.h"
#include "run/PlatformRuns.h"
#include "platform/MessageService.h"
#include "settings/SettingsStores.h"

namespace smt::stations {

namespace {
int32_t T(double v) { return static_cast<int32_t>(v); }

bool Move(smt::Machine& machine, int selector, int32_t glueX, int32_t targetY) {
  if (selector != 531 && selector != 532) return true;
  const auto sp = smt::settings::SettingsStores::Of(machine).speed.Record(smt::settings::SpeedUse::Handle);
  const int platform = selector == 531 ? 1 : 2;
  return smt::link::SendCmd53DispenseMove(machine, 9, glueX - GlueX(machine), sp[0].start, sp[0].normal,
                                          platform == 1 ? 1 : 12, targetY - PlatformY(machine, platform), sp[1].start,
                                          sp[1].normal);
}

bool Dispense(smt::Machine& machine, int kind, const LampDispense& d) {
  if (kind != 1 && kind != 2) return true;
  const bool red = kind == 1;
  return smt::link::SendCmd58GlueDispense(machine, static_cast<uint8_t>(red ? 10 : 6), red ? d.height : -d.height,
                                          d.startSpeed, d.runSpeed, 5, -d.valveOpen, d.valveClose,
                                          static_cast<uint16_t>(d.closeDelay), static_cast<uint16_t>(d.bottomDelay),
                                          0) == smt::link::CommandResult::Ok;
}
}  // namespace

int32_t GlueX(smt::Machine& machine) { return machine.motion.curPlatform[0].load(); }
int32_t Z5(smt::Machine& machine) { return machine.curZ[4].load(); }
int32_t Z6(smt::Machine& machine) { return machine.curZ[5].load(); }
int32_t PlatformY(smt::Machine& machine, int platform) {
  return platform == 1 ? machine.curY.load() : machine.motion.curPlatform[1].load();
}

LampDispense DispenseOf(const LampPointValues& v, int group, const LampScales& s) {
  LampDispense d;
  d.startSpeed = v.startSpeed;
  d.runSpeed = v.runSpeed;
  if (group < 0 || group > 2) return d;
  const auto& g = v.dots[static_cast<size_t>(group)];
  d.height = T(g.height * s.pz);
  d.valveOpen = T(g.valveOpen * s.pz);
  d.valveClose = T(g.valveClose * s.pz);
  d.bottomDelay = g.bottomDelay;
  d.closeDelay = g.closeDelay;
  return d;
}

int CheckDispenseTest(const LampDispense& d) {
  if (d.startSpeed < 1 || d.startSpeed > 255 || d.runSpeed < 1 || d.runSpeed > 255) return 0;
  if (d.height > 0) return 1;
  if (d.valveOpen > 0) return 2;
  if (d.valveClose < 0) return 3;
  if (d.bottomDelay < 0 || d.closeDelay < 0) return 4;
  if (d.valveOpen < d.height) return 5;
  if (d.valveClose > -d.height) return 6;
  return -1;
}

void RunLampDotTest(smt::Machine& machine, const LampDotTest& t) {
  if (smt::link::RuntimeOf(machine).UsesSerial()) smt::link::SendCmd60SetState(machine, 0, 0);
  machine.machineBusy = true;
  if (Move(machine, t.moveSelector, t.glueX, t.targetY)) Dispense(machine, t.dispense, t.params);
  machine.ReleaseBusy();
}

void RunLampFullTest(smt::Machine& machine, const LampPointValues& v, int platform, int point) {
  auto zClear = [&machine] {
    if (Z5(machine) == 0 && Z6(machine) == 0) return true;
    smt::platform::ShowMessage(kResetGlueHeadsFirst);
    return false;
  };
  if (!zClear()) {
    machine.runContinue = false;
    machine.ReleaseBusy();
    return;
  }
  const LampScales s = LampScales::FromSettingsStore(machine);
  const auto basic = smt::settings::SettingsStores::Of(machine).machine.Basic();
  const int selector = platform == 1 ? 531 : 532;
  const int32_t camX = T(s.px * basic->m_X_CameraToNozzle1), camY = T(s.py * basic->m_Y_CameraToNozzle1);
  auto end = [&machine] {
    machine.runContinue = false;
    machine.ReleaseBusy();
  };
  smt::link::CameraPanelPortOf(machine)->OpenMarkCamera();
  if (smt::link::RuntimeOf(machine).UsesSerial()) smt::link::SendCmd60SetState(machine, 0, 0);
  machine.machineBusy = true;
  if (!Move(machine, selector, T(s.px * v.markX) - camX, T(s.py * v.markY) - camY)) return end();
  // The platform Mark measurement of the point; true when the test must end.
  if (smt::run::MeasureMarkPoint(machine, platform, point)) return end();
  const int row = platform == 1 ? 2 * point : 2 * point + 1;
  const LampPointValues measured = LampPointTable::Of(machine).Values(row);
  const int32_t offX = measured.offsetX, offY = measured.offsetY;
  if (!zClear()) return end();
  const double headX[3] = {s.nozzle5X, s.nozzle6X, s.nozzle6X}, headY[3] = {s.nozzle5Y, s.nozzle6Y, s.nozzle6Y};
  for (int g = 0; g < 3; ++g) {
    const auto& dot = v.dots[static_cast<size_t>(g)];
    const LampDispense d = DispenseOf(v, g, s);
    if (CheckDispenseTest(d) >= 0) return end();
    const int32_t x = T(s.px * v.markX) + T((dot.x + v.ledX) * s.px) - T(s.px * headX[g]) + offX;
    const int32_t y = T(s.py * v.markY) + T((dot.y + v.ledY) * s.py) - T(s.py * headY[g]) + offY;
    if (!Move(machine, selector, x, y) || !Dispense(machine, g == 0 ? 1 : 2, d)) return end();
  }
  end();
}

// The machine is claimed before the worker starts and given back by it.
bool StartLampDotTest(smt::Machine& machine, const LampDotTest& t) {
  if (!machine.TryClaimBusy()) return false;
  if (smt::platform::WorkerThreads::Instance().Start("LampDotTest",
                                                     [&machine, t](std::stop_token) { RunLampDotTest(machine, t); }))
    return true;
  machine.ReleaseBusy();
  return false;
}

bool StartLampFullTest(smt::Machine& machine, const LampPointValues& v, int platform, int point) {
  if (!machine.TryClaimBusy()) return false;
  machine.runContinue = true;
  machine.run.pauseEvent.Set();
  if (smt::platform::WorkerThreads::Instance().Start("LampFullTest", [&machine, v, platform, point](std::stop_token) {
        RunLampFullTest(machine, v, platform, point);
      }))
    return true;
  machine.runContinue = false;
  machine.ReleaseBusy();
  return false;
}

}  // namespace smt::stations
