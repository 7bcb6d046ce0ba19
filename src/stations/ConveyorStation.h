#pragma once
// The board conveyor: the four zone steps of a board's passage (in, to the
// work position and clamp, release and hand over, out) and the operator's
// conveyor tasks (whole-board test, pass-through, belt jogs and tests,
// valves and signals, width move). Runs on worker threads; every command
// goes through the machine link with its bounded reply wait.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "stations/ConveyorSettings.h"

namespace smt {
class Machine;
}

namespace smt::stations {

// Output numbers and the width axis of a machine type (-1: not fitted).
struct ConveyorOutputs {
  int boardIn = 5, stopper = -1, clamp = 9, lift = -1, boardOut = 6;
  int widthAxis = 14;
  static ConveyorOutputs ForMachineType(int machineType);
};

// Task codes of the conveyor dialog.
enum ConveyorTask : int {
  kTaskPassThrough = 0, kTaskWholeBoard = 1, kTaskBelt1Jog = 2, kTaskBelt1Test = 3, kTaskTransferJog = 4,
  kTaskTransferTest = 5, kTaskOutJog = 6, kTaskOutTest = 7, kTaskRunBoardOut = 8, kTaskBoardInSignal = 9,
  kTaskStopperValve = 10, kTaskClampValve = 11, kTaskLiftValve = 12, kTaskBoardOutSignal = 13, kTaskNone = 14,
  kTaskWidth = 15, kTaskReleaseAndSendOut = 16,
};

// What the conveyor tells its window (any thread; the window posts to itself).
struct ConveyorView {
  // Progress steps 1..6 of the zone picture.
  std::function<void(int step)> progress;
  // A label text with its x position (-1: not moved).
  std::function<void(const std::string& text, int x)> label;
  // Check boxes the tasks set or clear: 1037, 1040, 1042, 1038.
  std::function<void(int control, bool checked)> checkBox;
};

class ConveyorStation {
 public:
  explicit ConveyorStation(smt::Machine& machine) : machine_(machine) {}
  // The conveyor of `machine`.
  static ConveyorStation& Of(smt::Machine& machine);

  // Settings (the dialog's copy is committed here on OK and at loading).
  ConveyorSettings Settings() const;
  void SetSettings(const ConveyorSettings& s);
  void SetView(ConveyorView view);
  void SetAppDir(std::string dir);

  // One zone step 1..4 of a board's passage; other codes do nothing (true).
  // No-clamp leaves the clamp valves, the clamp wait and the clamped flag
  // alone (steps 2 and 3). False when the machine did not report the zone
  // command done (refused, failed or timed out).
  bool RunZones(int code, bool noClamp);
  // Whether the conveyor is fitted (its settings say so).
  bool Fitted() const { return Settings().m_AutoTransport != 0; }

  // The body of one operator task (the test thread). The caller holds the
  // busy state. Returns false when a command of the task failed.
  bool RunTask(int task);

  // Guards (connected, not busy), claims the busy state, stores the task
  // and starts the test thread, which releases the busy state when done.
  bool StartTransport(int task);

  // Belt steps staged by the dialog's buttons before a jog or test task.
  void StageBeltSteps(int32_t b1, int32_t b2, int32_t b3);
  std::array<int32_t, 3> BeltSteps() const;
  // The staged values of a test/jog button, from the settings and scales.
  std::array<int32_t, 3> StepsForTask(int task, const ConveyorPulses& p) const;

  bool Clamped() const { return clamped_.load(); }
  void SetClamped(bool c) { clamped_ = c; }
  bool PassThrough() const { return passThrough_.load(); }
  void SetPassThrough(bool p) { passThrough_ = p; }
  // Check box state of the stopper and lift valves as read before the click.
  void SetValveBoxesBeforeClick(bool stopperSet, bool liftSet) {
    stopperBoxSet_ = stopperSet;
    liftBoxSet_ = liftSet;
  }
  int CurrentTask() const { return task_.load(); }
  // The test thread started by StartTransport is still at work (it holds
  // the busy state).
  bool TaskRunning() const { return taskRunning_.load(); }
  // The operator gives up the running task (the dialog is closed): its
  // reply wait and its pauses end at once, nothing more is sent, and the
  // busy state is released when the thread ends.
  void CancelTask() { cancel_ = true; }

  // Width reset: the width after a conveyor reset becomes the set width.
  bool WidthResetDone() const { return widthResetDone_.load(); }
  void OnConveyorWidthReset();

  // Where the belt and width scales come from (default: the machine settings).
  void SetPulseSource(std::function<ConveyorPulses()> source);
  ConveyorPulses Pulses() const;

  // Sleep between the stages of the multi-stage tasks (tests shorten it).
  void SetStageDelayMs(int ms) { stageDelayMs_ = ms; }

 private:
  bool SendZone(int zone, int f1, int f2, int f3, int32_t b1, int32_t b2, int32_t b3);
  bool Output(int n, bool on);
  void Sleep(int ms) const;
  void Progress(int step);
  void Label(const std::string& text, int x);
  void Box(int control, bool checked);
  bool BoardPassage(bool clamp);

  smt::Machine& machine_;
  mutable std::mutex m_;
  ConveyorSettings settings_;
  ConveyorView view_;
  std::string appDir_ = ".";
  std::array<int32_t, 3> belt_{};
  std::atomic<bool> clamped_{false};
  std::atomic<bool> passThrough_{false};
  std::atomic<bool> stopperBoxSet_{false}, liftBoxSet_{false};
  std::atomic<bool> widthResetDone_{false};
  std::atomic<int> task_{0};
  std::atomic<bool> taskRunning_{false};
  std::atomic<bool> cancel_{false};
  std::atomic<int> stageDelayMs_{200};
  std::function<ConveyorPulses()> pulseSource_;
};

}  // namespace smt::stations
