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

bool Move(int selector, int32_t glueX, int32_t targetY) {
  if (selector != 531 && selector != 532) return true;
  const auto sp = smt::settings::SettingsStores::Instance().speed.Record(smt::settings::SpeedUse::Handle);
  const int platform = selector == 531 ? 1 : 2;
  return smt::link::SendCmd53DispenseMove(9, glueX - GlueX(), sp[0].start, sp[0].normal, platform == 1 ? 1 : 12,
                                          targetY - PlatformY(platform), sp[1].start, sp[1].normal);
}

bool Dispense(int kind, const LampDispense& d) {
  if (kind != 1 && kind != 2) return true;
  const bool red = kind == 1;
  return smt::link::SendCmd58GlueDispense(static_cast<uint8_t>(red ? 10 : 6), red ? d.height : -d.height,
                                          d.startSpeed, d.runSpeed, 5, -d.valveOpen, d.valveClose,
                                          static_cast<uint16_t>(d.closeDelay), static_cast<uint16_t>(d.bottomDelay),
                                          0) == smt::link::CommandResult::Ok;
}
}  // namespace

int32_t GlueX() { return smt::CurrentMachine().motion.curPlatform[0].load(); }
int32_t Z5() { return smt::CurrentMachine().curZ[4].load(); }
int32_t Z6() { return smt::CurrentMachine().curZ[5].load(); }
int32_t PlatformY(int platform) { return platform == 1 ? smt::CurrentMachine().curY.load() : smt::CurrentMachine().motion.curPlatform[1].load(); }

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

void RunLampDotTest(const LampDotTest& t) {
  if (smt::link::Runtime().UsesSerial()) smt::link::SendCmd60SetState(0, 0);
  smt::CurrentMachine().machineBusy = true;
  if (Move(t.moveSelector, t.glueX, t.targetY)) Dispense(t.dispense, t.params);
  smt::ReleaseMachineBusy();
}

void RunLampFullTest(const LampPointValues& v, int platform, int point) {
  auto zClear = [] {
    if (Z5() == 0 && Z6() == 0) return true;
    smt::platform::ShowMessage(kResetGlueHeadsFirst);
    return false;
  };
  if (!zClear()) {
    smt::CurrentMachine().runContinue = false;
    smt::ReleaseMachineBusy();
    return;
  }
  const LampScales s = LampScales::FromSettingsStore();
  const auto basic = smt::settings::SettingsStores::Instance().machine.Basic();
  const int selector = platform == 1 ? 531 : 532;
  const int32_t camX = T(s.px * basic->m_X_CameraToNozzle1), camY = T(s.py * basic->m_Y_CameraToNozzle1);
  auto end = [] {
    smt::CurrentMachine().runContinue = false;
    smt::ReleaseMachineBusy();
  };
  smt::link::CameraPanelPort()->OpenMarkCamera();
  if (smt::link::Runtime().UsesSerial()) smt::link::SendCmd60SetState(0, 0);
  smt::CurrentMachine().machineBusy = true;
  if (!Move(selector, T(s.px * v.markX) - camX, T(s.py * v.markY) - camY)) return end();
  // The platform Mark measurement of the point; true when the test must end.
  if (smt::run::MeasureMarkPoint(platform, point)) return end();
  const int row = platform == 1 ? 2 * point : 2 * point + 1;
  const LampPointValues measured = LampPointTable::Instance().Values(row);
  const int32_t offX = measured.offsetX, offY = measured.offsetY;
  if (!zClear()) return end();
  const double headX[3] = {s.nozzle5X, s.nozzle6X, s.nozzle6X}, headY[3] = {s.nozzle5Y, s.nozzle6Y, s.nozzle6Y};
  for (int g = 0; g < 3; ++g) {
    const auto& dot = v.dots[static_cast<size_t>(g)];
    const LampDispense d = DispenseOf(v, g, s);
    if (CheckDispenseTest(d) >= 0) return end();
    const int32_t x = T(s.px * v.markX) + T((dot.x + v.ledX) * s.px) - T(s.px * headX[g]) + offX;
    const int32_t y = T(s.py * v.markY) + T((dot.y + v.ledY) * s.py) - T(s.py * headY[g]) + offY;
    if (!Move(selector, x, y) || !Dispense(g == 0 ? 1 : 2, d)) return end();
  }
  end();
}

// The machine is claimed before the worker starts and given back by it.
bool StartLampDotTest(const LampDotTest& t) {
  if (!smt::TryClaimMachineBusy()) return false;
  if (smt::platform::WorkerThreads::Instance().Start("LampDotTest", [t](std::stop_token) { RunLampDotTest(t); }))
    return true;
  smt::ReleaseMachineBusy();
  return false;
}

bool StartLampFullTest(const LampPointValues& v, int platform, int point) {
  if (!smt::TryClaimMachineBusy()) return false;
  smt::CurrentMachine().runContinue = true;
  smt::CurrentMachine().run.pauseEvent.Set();
  if (smt::platform::WorkerThreads::Instance().Start(
          "LampFullTest", [v, platform, point](std::stop_token) { RunLampFullTest(v, platform, point); }))
    return true;
  smt::CurrentMachine().runContinue = false;
  smt::ReleaseMachineBusy();
  return false;
}

}  // namespace smt::stations
