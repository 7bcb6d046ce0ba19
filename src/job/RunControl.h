#pragma once
// The part list's side of a run: Start with its checks, Pause, Regain,
// Stop, the start-from commands, the board clamp, the run clock and the
// end-of-run step. The run engine plugs in through `startRun`; the toolbar,
// the jog panel's information boxes and the clock's window timer through
// the other seams. Window thread only, except the busy flags and counters,
// which the run threads write.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/HookInterface.h"
#include "platform/Hooks.h"
#include <string>
#include <utility>

#include "job/PartListLogic.h"
#include "platform/SystemText.h"

namespace smt {
class Machine;
}

namespace smt::job {

// Toolbar command ids of the run buttons.
enum RunButton { kBtnPcbEdit = 104, kBtnStrategy, kBtnStart, kBtnPause, kBtnRegain, kBtnStop, kBtnPcbClamp };

enum class StartFrom { CurrentSmt, CurrentDis, CurrentDrill, SelectedSmt, SelectedDis, SelectedDrill };

inline constexpr smt::platform::SystemText kSmtThreadBusy{"JobMessagesConfig", "JobMessages.c_SmtThreadBusy", "Smt thread is busy !"};
inline constexpr smt::platform::SystemText kFeedThreadBusy{"JobMessagesConfig", "JobMessages.c_FeedThreadBusy", "Feed thread is busy !"};
inline constexpr smt::platform::SystemText kConveyorThreadBusy{"JobMessagesConfig", "JobMessages.c_ConveyorThreadBusy", "Conveyor thread is busy !"};
// How long a Start pressed right after a stop waits for the stopped run's
// threads to leave (each of them ends within its link's reply time-out).
inline constexpr std::chrono::milliseconds kStoppedThreadsLimit{12000};
inline constexpr int kStoppedThreadsPollMs = 50;

// What the run control shows: the toolbar's run buttons, the jog panel's
// two information boxes, the focus on a list, the run clock and the part
// counter, and the windows enabled again at a run's end. The part list panel
// connects its own (the shell puts the jog panel's boxes in); its methods
// only show, and post to the window thread when called from a worker.
class RunControlView {
 public:
  virtual ~RunControlView() = default;
  virtual void EnableButton(int button, bool enabled) = 0;
  // Box 1 or 2; "" empties it.
  virtual void JogInfo(int box, const std::string& text) = 0;
  virtual void FocusList(RowKind list) = 0;
  // The one-second clock timer on or off.
  virtual void RunTimer(bool on) = 0;
  virtual void ShowClock(const std::string& text) = 0;
  virtual void ShowCount(const std::string& text) = 0;
  // The placement list, camera and jog panels.
  virtual void EnableWindows() = 0;
};

class RunControl {
 public:
  // The run control of `machine`, over its part list's list work.
  RunControl(smt::Machine& machine, PartListLogic& logic) : machine_(machine), logic_(logic) {}

  // --- seams ---
  smt::platform::HookInterface<RunControlView> view{"RunControlView"};
  smt::platform::Hook<bool(int runMode)> startRun{"RunControl.startRun"};  // the run engine; nothing runs without it
  smt::platform::Hook<int()> runMode{"RunControl.runMode"};               // default: the job's run mode
  smt::platform::Hook<int&()> boardCount{"RunControl.boardCount"};           // the PCB editor's m_PcbBoardCount
  smt::platform::Hook<bool()> autoTransport{"RunControl.autoTransport"};
  smt::platform::Hook<bool()> boardClamped{"RunControl.boardClamped"};
  smt::platform::Hook<void(int task)> startTransport{"RunControl.startTransport"};
  smt::platform::Hook<bool()> networkLink{"RunControl.networkLink"};                // m_CommModel != 0
  smt::platform::Hook<void(int ms)> sleep{"RunControl.sleep"};                // default: a real wait
  // Runs `fn` on the window thread after `ms` (a Start that waits for a stopped run's threads).
  smt::platform::Hook<void(int ms, std::function<void()> fn)> later{"RunControl.later"};

  // Told on the window thread just before the run threads start, with the
  // run mode (what the run is asked to do is read here, before a run thread
  // can change it), and when the run has started.
  std::function<void(int runMode)> runStarting;
  std::function<void(int runMode)> runStarted;
  // Stop was pressed since the last Start.
  bool StopRequested() const { return stopRequested_.load(); }

  // Written by the run threads.
  std::atomic<uint8_t> m_bSmtThreadBusy{0}, m_bFeedThreadBusy{0}, m_bConveyorThreadBusy{0};
  std::atomic<int32_t> m_nCurrentPart{0}, m_nPlacedCount{0};

  bool OnStart();
  void OnPause();
  void OnRegain();
  void OnStop();
  void OnStartFrom(StartFrom which);
  void OnPcbClamp();
  // One second of the run clock; returns the clock text.
  void OnTimerTick();
  std::string ClockText() const;
  // The Z speeds (start, run) the drill run's end lifts with: the drill editor's.
  std::pair<int, int> DrillLiftSpeeds() const;
  std::string CountText() const;
  void OnRunEnd(bool finished);
  // True while a Start waits for the threads of a stopped run to leave.
  bool StartWaiting() const { return startWaiting_; }
  // The toolbar of the idle panel (start-up: 106..110 off).
  void DisableRunButtons();

 private:
  void Enable(int b, bool on) { view->EnableButton(b, on); }
  bool Network() const;
  const smt::platform::SystemText* BusyThreadText(int& box) const;
  void WaitForThreadsThenStart();
  void RetryStart();
  bool startWaiting_ = false;
  std::atomic<bool> stopRequested_{false};
  std::chrono::steady_clock::time_point startWaitEnd_{};
  int Mode() const { return runMode(); }
  smt::Machine& machine_;
  PartListLogic& logic_;
};

}  // namespace smt::job
