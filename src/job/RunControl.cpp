#include "job/RunControl.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "core/MachineState.h"
#include "job/RunGlobals.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MachineGuards.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "platform/MessageService.h"
#include "settings/SettingsStores.h"

namespace smt::job {

using smt::platform::ShowMessage;

bool RunControl::Network() const {
  return networkLink();
}

void RunControl::DisableRunButtons() {
  for (int b = kBtnStart; b <= kBtnPcbClamp; ++b) Enable(b, false);
}

bool RunControl::OnStart() {
  const int type = logic_.Type();
  const int mode = Mode();
  RowKind list = RowKind::Placement;
  if (type == 9) list = RowKind::Drill;
  else if (mode == 1 || mode == 2) list = RowKind::Dispense;
  if (logic_.Rows(list).empty()) {
    ShowMessage(logic_.Text("PartList.c_Message_01"));
    return false;
  }
  if (type != 9) {
    if (!logic_.CheckFeedersExist()) return false;
    if (boardCount() == 0) boardCount() = 1;
    int box = 0;
    if (const char* busy = BusyThreadText(box)) {
      view->JogInfo(box, busy);
      // The run has ended but its threads are still on their way out (a
      // stop reaches a thread waiting for a reply only when the reply
      // comes): the run starts as soon as they have left.
      if (!smt::CurrentMachine().machineBusy) WaitForThreadsThenStart();
      return false;
    }
  }
  view->FocusList(type == 9 ? RowKind::Drill : RowKind::Placement);
  // Connected and homed, then the busy state claimed in one step, so two
  // starts (button and front-panel key) can never both go.
  if (!smt::link::CheckMachineGuards(smt::CurrentMachine(), true, false)) return false;
  if (!smt::TryClaimMachineBusy(smt::CurrentMachine())) {
    ShowMessage(smt::link::kRunning);
    return false;
  }
  view->JogInfo(1, "");
  view->JogInfo(2, "");
  Enable(kBtnPcbEdit, false);
  Enable(kBtnStrategy, false);
  Enable(kBtnStart, false);
  Enable(kBtnPause, true);
  Enable(kBtnRegain, false);
  Enable(kBtnStop, true);
  smt::CurrentMachine().runContinue = true;
  smt::CurrentMachine().run.feedRun = true;
  smt::CurrentMachine().run.conveyorRun = true;
  smt::CurrentMachine().paused = false;
  smt::CurrentMachine().run.pauseEvent.Set();
  smt::CurrentMachine().run.runHours = smt::CurrentMachine().run.runMinutes = smt::CurrentMachine().run.runSeconds = 0;
  view->RunTimer(true);
  m_nPlacedCount = 0;
  stopRequested_ = false;
  if (runStarting) runStarting(mode);
  const bool started = startRun(mode);
  if (started && runStarted) runStarted(mode);
  if (!started) {
    Enable(kBtnPcbEdit, true);
    Enable(kBtnStrategy, true);
    Enable(kBtnStart, true);
    Enable(kBtnPause, false);
    Enable(kBtnRegain, false);
    Enable(kBtnStop, false);
    // Nothing runs: the run flags go down with the busy state, so no stale
    // "running" state is left for the feeder or conveyor code to see.
    smt::CurrentMachine().runContinue = false;
    smt::CurrentMachine().run.feedRun = false;
    smt::CurrentMachine().run.conveyorRun = false;
    smt::ReleaseMachineBusy(smt::CurrentMachine());
  }
  return started;
}

const char* RunControl::BusyThreadText(int& box) const {
  box = 1;
  if (m_bSmtThreadBusy) return kSmtThreadBusy;
  if (m_bFeedThreadBusy) return kFeedThreadBusy;
  box = 2;
  if (m_bConveyorThreadBusy) return kConveyorThreadBusy;
  return nullptr;
}

void RunControl::WaitForThreadsThenStart() {
  if (startWaiting_) return;
  startWaiting_ = true;
  startWaitEnd_ = std::chrono::steady_clock::now() + kStoppedThreadsLimit;
  later(kStoppedThreadsPollMs, [this] { RetryStart(); });
}

void RunControl::RetryStart() {
  if (!startWaiting_) return;  // Stop meanwhile
  int box = 0;
  if (const char* busy = BusyThreadText(box)) {
    if (std::chrono::steady_clock::now() < startWaitEnd_) {
      later(kStoppedThreadsPollMs, [this] { RetryStart(); });
      return;
    }
    startWaiting_ = false;
    ShowMessage(busy);
    return;
  }
  startWaiting_ = false;
  OnStart();
}

void RunControl::OnPause() {
  smt::CurrentMachine().paused = true;
  smt::CurrentMachine().run.pauseEvent.Reset();
  smt::link::SendCmd60SetState(smt::CurrentMachine(), 2, 0);
  Enable(kBtnPause, false);
  Enable(kBtnRegain, true);
}

void RunControl::OnRegain() {
  smt::CurrentMachine().machineBusy = true;
  smt::CurrentMachine().paused = false;
  smt::CurrentMachine().run.pauseEvent.Set();
  smt::link::SendCmd60SetState(smt::CurrentMachine(), 3, Network() ? 1 : 0);
  Enable(kBtnPause, true);
  Enable(kBtnRegain, false);
}

void RunControl::OnStop() {
  startWaiting_ = false;
  stopRequested_ = true;
  smt::CurrentMachine().runContinue = false;
  smt::CurrentMachine().run.pauseEvent.Set();
  if (autoTransport()) {
    smt::CurrentMachine().run.conveyorRun = false;
    smt::CurrentMachine().run.boardDoneEvent.Set();
    smt::link::SendCmd60SetState(smt::CurrentMachine(), 15, Network() ? 1 : 0);
  }
}

void RunControl::OnStartFrom(StartFrom which) {
  if (!smt::link::CheckMachineGuards(smt::CurrentMachine())) return;
  if (!smt::CurrentMachine().masterResetOk) {
    ShowMessage(logic_.Text("PartList.c_Message_41"));
    return;
  }
  switch (which) {
    case StartFrom::CurrentSmt: logic_.m_bStartFromCurrentSmt = 1; break;
    case StartFrom::CurrentDis: logic_.m_bStartFromCurrentDis = 1; break;
    case StartFrom::CurrentDrill: logic_.m_bStartFromCurrentDrill = 1; break;
    case StartFrom::SelectedSmt: logic_.m_bSelectedSmt = 1; break;
    case StartFrom::SelectedDis: logic_.m_bSelectedDis = 1; break;
    case StartFrom::SelectedDrill: logic_.m_bSelectedDrill = 1; break;
  }
  OnStart();
}

void RunControl::OnPcbClamp() {
  if (!smt::link::CheckMachineGuards(smt::CurrentMachine())) return;
  // The conveyor's clamp task, or its release when a board is clamped.
  startTransport(boardClamped() ? 16 : 11);
}

std::pair<int, int> RunControl::DrillLiftSpeeds() const {
  return {logic_.drillEdit.liftStart, logic_.drillEdit.liftRun};
}

std::string RunControl::ClockText() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "T %2d:%2d:%2d", smt::CurrentMachine().run.runHours.load(), smt::CurrentMachine().run.runMinutes.load(), smt::CurrentMachine().run.runSeconds.load());
  return buf;
}

std::string RunControl::CountText() const {
  char buf[64];
  const int placed = m_nPlacedCount.load();
  const long elapsed = smt::CurrentMachine().run.runHours * 3600L + smt::CurrentMachine().run.runMinutes * 60L + smt::CurrentMachine().run.runSeconds;
  if (placed != 0) {
    // The rate waits for the first second rather than dividing by zero.
    const long rate = elapsed > 0 ? placed * 3600L / elapsed : 0;
    std::snprintf(buf, sizeof buf, "%d/%d-%ld", m_nCurrentPart.load(), placed, rate);
  } else {
    std::snprintf(buf, sizeof buf, "%d", m_nCurrentPart.load());
  }
  return buf;
}

void RunControl::OnTimerTick() {
  uint16_t s = smt::CurrentMachine().run.runSeconds + 1, m = smt::CurrentMachine().run.runMinutes, h = smt::CurrentMachine().run.runHours;
  if (s >= 60) {
    s = 0;
    ++m;
  }
  if (m >= 60) {
    m = 0;
    ++h;
  }
  smt::CurrentMachine().run.runSeconds = s;
  smt::CurrentMachine().run.runMinutes = m;
  smt::CurrentMachine().run.runHours = h;
  view->ShowClock(ClockText());
  view->ShowCount(CountText());
}

void RunControl::OnRunEnd(bool finished) {
  smt::CurrentMachine().machineBusy = false;
  logic_.m_bStartFromCurrentSmt = 0;
  logic_.m_bStartFromCurrentDis = 0;
  logic_.m_bSelectedSmt = logic_.m_bSelectedDis = logic_.m_bSelectedDrill = 0;
  smt::link::SendCmd60SetState(smt::CurrentMachine(), 4, 0);
  const int type = logic_.Type();
  const int mode = Mode();
  if (type != 9) {
    if (m_bFeedThreadBusy) {
      smt::CurrentMachine().run.feedRun = false;
      smt::CurrentMachine().run.feedRequestEvent.Set();
      smt::CurrentMachine().run.head1PickedEvent.Set();
      smt::CurrentMachine().run.head2PickedEvent.Set();
      smt::CurrentMachine().run.head3PickedEvent.Set();
      smt::CurrentMachine().run.head4PickedEvent.Set();
    }
    if (m_bConveyorThreadBusy && !finished) {
      smt::CurrentMachine().run.conveyorRun = false;
      smt::CurrentMachine().run.boardDoneEvent.Set();
    }
    if (mode == 2) {
      smt::CurrentMachine().runContinue = false;
      smt::CurrentMachine().run.dispenseDoneEvent.Set();
      smt::CurrentMachine().run.placeDoneEvent.Set();
    }
  }
  Enable(kBtnPcbEdit, true);
  Enable(kBtnStrategy, true);
  // A run ended by a lost link leaves Start off until the link is back.
  Enable(kBtnStart, smt::CurrentMachine().masterResetOk.load() && !smt::link::LinkKnownLost(smt::CurrentMachine()));
  Enable(kBtnPause, false);
  Enable(kBtnRegain, false);
  Enable(kBtnStop, false);
  view->EnableWindows();
  auto wait = [this](int ms) {
    if (sleep) sleep(ms);
    else if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  };
  // The windows settle for 200 ms before the outputs go off. This pause is
  // the whole of a run's fixed cost (bench_run's fixed-cost figure shows it).
  wait(200);
  if (type == 7 || type == 8) {
    // Stopped or finished: no vacuum output the run switched on stays on
    // (a stopped run's parts were thrown before this step).
    if (mode != 1 && mode != 2) {
      const int exhaust = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Basic()->m_Exhaust;
      const uint8_t pumps = smt::link::RuntimeOf(smt::CurrentMachine()).pumpButtons.load();
      for (int i = 0; i < 8; ++i) {
        if (!(pumps & (1u << i))) continue;
        wait(exhaust);
        smt::link::SetOutput(smt::CurrentMachine(), 32 + i, 0, exhaust);
      }
    }
  } else if (type == 9) {
    const auto [start, run] = DrillLiftSpeeds();
    smt::link::SendCmd61MoveAxis(smt::CurrentMachine(), 4, 10000, start, run);
  } else {
    for (int n : {1, 2, 3, 4, 8}) smt::link::SetOutput(smt::CurrentMachine(), n, 0, 5);
  }
  view->RunTimer(false);
  // Last: a Start waiting for the run's threads goes only after this step.
  m_bSmtThreadBusy = 0;
}

}  // namespace smt::job
