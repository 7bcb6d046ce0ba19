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

bool Idle() { return !smt::CurrentMachine().machineBusy; }
bool Running() { return smt::CurrentMachine().machineBusy; }
int LinkModeValue() { return Runtime().UsesSerial() ? 0 : 1; }

void StartKey() {
  if (!Idle()) return;
  // The part list and its boxes live on the window thread.
  smt::platform::PostToGui([] {
    if (smt::CurrentMachine().masterResetOk) RoutePartListStart();
    else smt::platform::ShowMessage(CurrentLinkTexts().masterResetFirst);
  });
}

void PauseKey() {
  smt::CurrentMachine().paused = true;
  smt::CurrentMachine().run.pauseEvent.Reset();
  SendCmd60SetState(2, 0);
  RouteRunPausedShown(true);
}

void ResumeKey() {
  smt::CurrentMachine().machineBusy = true;
  smt::CurrentMachine().paused = false;
  smt::CurrentMachine().run.pauseEvent.Set();
  SendCmd60SetState(3, LinkModeValue());
  RouteRunPausedShown(false);
}

void StopKey() {
  smt::CurrentMachine().runContinue = false;
  smt::CurrentMachine().run.pauseEvent.Set();
  if (GetMotionSettings().autoTransport) {
    smt::CurrentMachine().run.conveyorRun = false;
    smt::CurrentMachine().run.boardDoneEvent.Set();
    SendCmd60SetState(15, LinkModeValue());
  }
}

void HomeKey() {
  // A run in progress is never interrupted by a homing.
  if (Running()) {
    NotifyOperator(kRunning);
    return;
  }
  MachineHoming::Instance().StartHomeThread(0, 1);
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

void NextSpeedGear() {
  // The jog panel owns the gears and their step sizes when it is there.
  if (JogPanelActions* panel = JogPanelPort().get()) {
    smt::platform::PostToGui([panel] { panel->NextSpeedGear(); });
    return;
  }
  if (!smt::CurrentMachine().connected) {
    NotifyOperator(kNotConnected);
    return;
  }
  const int gear = (Runtime().speedGear.load() + 1) % 5;
  Runtime().speedGear = gear;
  SendCmd60SetState(5, gear);
}

void OnStatusReport(uint8_t key) {
  const int type = smt::CurrentMachine().machineType;
  switch (key) {
    case 1: StartKey(); break;
    case 2: if (Running()) PauseKey(); break;
    case 3: if (Running()) ResumeKey(); break;
    case 4: if (Running()) StopKey(); break;
    case 5: if (Idle()) NextSpeedGear(); break;
    case 6: {
      const int top = AxisSelectionTop(type);
      int sel = Runtime().axisSelection;
      if (top >= 0) sel = sel >= top ? 0 : sel + 1;
      Runtime().axisSelection = sel;
      if (Idle()) SendCmd60SetState(6, sel);
      break;
    }
    case 7: if (Idle()) RouteJog(0, 0); break;
    case 8: if (Idle()) RouteJog(0, 1); break;
    case 9:
    case 10: {
      int group = 0, direction = 0;
      if (Idle() && SelectedAxisJog(type, Runtime().axisSelection, key == 10, group, direction))
        RouteJog(group, direction);
      break;
    }
    case 11: HomeKey(); break;
    default: break;
  }
}

void OnSerialStatusReport(uint8_t key) {
  switch (key) {
    case '1': StartKey(); break;
    case '2':
      if (Running()) smt::CurrentMachine().paused ? ResumeKey() : PauseKey();
      break;
    case '3': if (Running()) StopKey(); break;
    case '5': NextSpeedGear(); break;
    case '6': if (Idle()) RouteJog(1, 1); break;
    case '7': if (Idle()) RouteJog(1, 0); break;
    case '8': if (Idle()) RouteJog(0, 0); break;
    case '9': if (Idle()) RouteJog(0, 1); break;
    default: break;
  }
}

}  // namespace smt::link
