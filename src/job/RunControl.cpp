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
      jogInfo(box, busy);
      // The run has ended but its threads are still on their way out (a
      // stop reaches a thread waiting for a reply only when the reply
      // comes): the run starts as soon as they have left.
      if (!g_bMachineBusy) WaitForThreadsThenStart();
      return false;
    }
  }
  focusList(type == 9 ? RowKind::Drill : RowKind::Placement);
  // Connected and homed, then the busy state claimed in one step, so two
  // starts (button and front-panel key) can never both go.
  if (!smt::link::CheckMachineGuards(true, false)) return false;
  if (!smt::TryClaimMachineBusy()) {
    ShowMessage(smt::link::kRunning);
    return false;
  }
  jogInfo(1, "");
  jogInfo(2, "");
  Enable(kBtnPcbEdit, false);
  Enable(kBtnStrategy, false);
  Enable(kBtnStart, false);
  Enable(kBtnPause, true);
  Enable(kBtnRegain, false);
  Enable(kBtnStop, true);
  g_bRunContinue = true;
  g_bFeedRun = true;
  g_bConveyorRun = true;
  g_bPaused = false;
  g_hPauseEvent.Set();
  g_nRunHours = g_nRunMinutes = g_nRunSeconds = 0;
  runTimer(true);
  m_nPlacedCount = 0;
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
    g_bRunContinue = false;
    g_bFeedRun = false;
    g_bConveyorRun = false;
    smt::ReleaseMachineBusy();
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
  g_bPaused = true;
  g_hPauseEvent.Reset();
  smt::link::SendCmd60SetState(2, 0);
  Enable(kBtnPause, false);
  Enable(kBtnRegain, true);
}

void RunControl::OnRegain() {
  g_bMachineBusy = true;
  g_bPaused = false;
  g_hPauseEvent.Set();
  smt::link::SendCmd60SetState(3, Network() ? 1 : 0);
  Enable(kBtnPause, true);
  Enable(kBtnRegain, false);
}

void RunControl::OnStop() {
  startWaiting_ = false;
  g_bRunContinue = false;
  g_hPauseEvent.Set();
  if (autoTransport()) {
    g_bConveyorRun = false;
    g_hBoardDoneEvent.Set();
    smt::link::SendCmd60SetState(15, Network() ? 1 : 0);
  }
}

void RunControl::OnStartFrom(StartFrom which) {
  if (!smt::link::CheckMachineGuards()) return;
  if (!g_bMasterResetOk) {
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
  if (!smt::link::CheckMachineGuards()) return;
  // The conveyor's clamp task, or its release when a board is clamped.
  startTransport(boardClamped() ? 16 : 11);
}

std::string RunControl::ClockText() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "T %2d:%2d:%2d", g_nRunHours.load(), g_nRunMinutes.load(), g_nRunSeconds.load());
  return buf;
}

std::string RunControl::CountText() const {
  char buf[64];
  const int placed = m_nPlacedCount.load();
  const long elapsed = g_nRunHours * 3600L + g_nRunMinutes * 60L + g_nRunSeconds;
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
  uint16_t s = g_nRunSeconds + 1, m = g_nRunMinutes, h = g_nRunHours;
  if (s >= 60) {
    s = 0;
    ++m;
  }
  if (m >= 60) {
    m = 0;
    ++h;
  }
  g_nRunSeconds = s;
  g_nRunMinutes = m;
  g_nRunHours = h;
  showClock(ClockText());
  showCount(CountText());
}

void RunControl::OnRunEnd(bool finished) {
  g_bMachineBusy = false;
  logic_.m_bStartFromCurrentSmt = 0;
  logic_.m_bStartFromCurrentDis = 0;
  logic_.m_bSelectedSmt = logic_.m_bSelectedDis = logic_.m_bSelectedDrill = 0;
  smt::link::SendCmd60SetState(4, 0);
  const int type = logic_.Type();
  const int mode = Mode();
  if (type != 9) {
    if (m_bFeedThreadBusy) {
      g_bFeedRun = false;
      g_hFeedRequestEvent.Set();
      g_hHead1PickedEvent.Set();
      g_hHead2PickedEvent.Set();
      g_hHead3PickedEvent.Set();
      g_hHead4PickedEvent.Set();
    }
    if (m_bConveyorThreadBusy && !finished) {
      g_bConveyorRun = false;
      g_hBoardDoneEvent.Set();
    }
    if (mode == 2) {
      g_bRunContinue = false;
      g_hDispenseDoneEvent.Set();
      g_hPlaceDoneEvent.Set();
    }
  }
  Enable(kBtnPcbEdit, true);
  Enable(kBtnStrategy, true);
  // A run ended by a lost link leaves Start off until the link is back.
  Enable(kBtnStart, g_bMasterResetOk.load() && !smt::link::LinkKnownLost());
  Enable(kBtnPause, false);
  Enable(kBtnRegain, false);
  Enable(kBtnStop, false);
  enableWindows();
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
      const int exhaust = exhaustMs();
      const uint8_t pumps = smt::link::Runtime().pumpButtons.load();
      for (int i = 0; i < 8; ++i) {
        if (!(pumps & (1u << i))) continue;
        wait(exhaust);
        smt::link::SetOutput(32 + i, 0, exhaust);
      }
    }
  } else if (type == 9) {
    const auto [start, run] = drillLiftSpeeds();
    smt::link::SendCmd61MoveAxis(4, 10000, start, run);
  } else {
    for (int n : {1, 2, 3, 4, 8}) smt::link::SetOutput(n, 0, 5);
  }
  runTimer(false);
  // Last: a Start waiting for the run's threads goes only after this step.
  m_bSmtThreadBusy = 0;
}

}  // namespace smt::job
