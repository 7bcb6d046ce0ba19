#include "link/FrontPanelKeys.h"

#include "core/MachineState.h"
#include "link/LinkRoutes.h"
#include "link/WindowPanels.h"
#include "link/LinkRuntime.h"
#include "link/LinkTexts.h"
#include "link/MachineCommands.h"
#include "link/MachineGuards.h"
#include "link/MachineHoming.h"
#include "link/MotionGlobals.h"
#include "link/MotionSettings.h"
#include "link/OperatorNotice.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"

namespace smt::link {
namespace {

bool Idle(smt::Machine& m) { return !m.machineBusy; }
bool Running(smt::Machine& m) { return m.machineBusy; }
int LinkModeValue(smt::Machine& m) { return RuntimeOf(m).UsesSerial() ? 0 : 1; }

void StartKey(smt::Machine& m) {
  if (!Idle(m)) return;
  // The part list and its boxes live on the window thread.
  smt::platform::PostToGui([&m] {
    if (m.masterResetOk) RoutePartListStart(m);
    else smt::platform::ShowMessage(LinkTextsOf(m).masterResetFirst);
  });
}

void PauseKey(smt::Machine& m) {
  m.paused = true;
  m.run.pauseEvent.Reset();
  SendCmd60SetState(m, 2, 0);
  RouteRunPausedShown(m, true);
}

void ResumeKey(smt::Machine& m) {
  m.machineBusy = true;
  m.paused = false;
  m.run.pauseEvent.Set();
  SendCmd60SetState(m, 3, LinkModeValue(m));
  RouteRunPausedShown(m, false);
}

void StopKey(smt::Machine& m) {
  m.runContinue = false;
  m.run.pauseEvent.Set();
  if (GetMotionSettings(m).autoTransport) {
    m.run.conveyorRun = false;
    m.run.boardDoneEvent.Set();
    SendCmd60SetState(m, 15, LinkModeValue(m));
  }
}

void HomeKey(smt::Machine& m) {
  // A run in progress is never interrupted by a homing.
  if (Running(m)) {
    NotifyOperator(kRunning);
    return;
  }
  MachineHoming::Of(m).StartHomeThread(0, 1);
}

}  // namespace

int AxisSelectionTop(int type) {
  switch (type) {
    case 3: case 4: case 6: return 4;
    case 7: case 8: return 8;
    case 9: return -1;
    default: return 2;
  }
}

bool SelectedAxisJog(int type, int sel, bool other, int& group, int& direction) {
  const int top = AxisSelectionTop(type);
  if (top < 0 || sel < 0 || sel > top) return false;
  if (type == 7 || type == 8) {
    group = sel == 0 ? 1 : 0x1F + sel;
    direction = other ? 1 : 0;
    return true;
  }
  struct Jog { int g, d; };
  static constexpr Jog kThree[3] = {{1, 0}, {2, 0}, {3, 1}};
  static constexpr Jog kFive[5] = {{1, 0}, {2, 0}, {2, 1}, {3, 0}, {3, 1}};
  const Jog j = top == 2 ? kThree[sel] : kFive[sel];
  group = j.g;
  direction = other ? 1 - j.d : j.d;
  return true;
}


void NextSpeedGear(smt::Machine& m) {
  // The jog panel owns the gears and their step sizes when it is there.
  if (JogPanelActions* panel = JogPanelPortOf(m).get()) {
    smt::platform::PostToGui([panel] { panel->NextSpeedGear(); });
    return;
  }
  if (!m.connected) {
    NotifyOperator(kNotConnected);
    return;
  }
  const int gear = (RuntimeOf(m).speedGear.load() + 1) % 5;
  RuntimeOf(m).speedGear = gear;
  SendCmd60SetState(m, 5, gear);
}


void OnStatusReport(smt::Machine& m, uint8_t key) {
  const int type = m.machineType;
  switch (key) {
    case 1: StartKey(m); break;
    case 2: if (Running(m)) PauseKey(m); break;
    case 3: if (Running(m)) ResumeKey(m); break;
    case 4: if (Running(m)) StopKey(m); break;
    case 5: if (Idle(m)) NextSpeedGear(m); break;
    case 6: {
      const int top = AxisSelectionTop(type);
      int sel = RuntimeOf(m).axisSelection;
      if (top >= 0) sel = sel >= top ? 0 : sel + 1;
      RuntimeOf(m).axisSelection = sel;
      if (Idle(m)) SendCmd60SetState(m, 6, sel);
      break;
    }
    case 7: if (Idle(m)) RouteJog(m, 0, 0); break;
    case 8: if (Idle(m)) RouteJog(m, 0, 1); break;
    case 9:
    case 10: {
      int group = 0, direction = 0;
      if (Idle(m) && SelectedAxisJog(type, RuntimeOf(m).axisSelection, key == 10, group, direction))
        RouteJog(m, group, direction);
      break;
    }
    case 11: HomeKey(m); break;
    default: break;
  }
}


void OnSerialStatusReport(smt::Machine& m, uint8_t key) {
  switch (key) {
    case '1': StartKey(m); break;
    case '2':
      if (Running(m)) m.paused ? ResumeKey(m) : PauseKey(m);
      break;
    case '3': if (Running(m)) StopKey(m); break;
    case '5': NextSpeedGear(m); break;
    case '6': if (Idle(m)) RouteJog(m, 1, 1); break;
    case '7': if (Idle(m)) RouteJog(m, 1, 0); break;
    case '8': if (Idle(m)) RouteJog(m, 0, 0); break;
    case '9': if (Idle(m)) RouteJog(m, 0, 1); break;
    default: break;
  }
}

}  // namespace smt::link
