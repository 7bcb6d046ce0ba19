// The drilling machine's run: every hole of the drill list in every enabled
// panel cell of every board, drilled in pecks from a start point just above
// the hole.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/MotionSettings.h"
#include "link/ProcessCommands.h"
#include "platform/SystemText.h"
#include "platform/MessageService.h"
#include "run/RunFinish.h"
#include "run/RunServices.h"
#include "run/RunThreadProcs.h"
#include "run/RunState.h"
#include "run/TheMachine.h"
#include "settings/SettingsStores.h"

namespace smt::run {

constexpr smt::platform::SystemText kDrillStepError{"RunMessagesConfig", "RunMessages.c_DrillStepError", "Drill step error !"};

namespace {

using smt::platform::ShowMessage;

int32_t Trunc(double v) { return static_cast<int32_t>(v); }

struct Hole {
  double x = 0, y = 0;
  int32_t z = 0, depth = 0, step = 0, lift = 0;
  int feedStart = 0, feedRun = 0, liftStart = 0, liftRun = 0;
};

Hole ReadHole(smt::Machine& m, const DrillRow& r) {
  Hole h;
  h.x = r.x;
  h.y = r.y;
  h.z = Trunc(r.z * m.steps.zPulsePerMm);
  h.depth = Trunc(r.depth * m.steps.zPulsePerMm);
  h.step = Trunc(r.feed * m.steps.zPulsePerMm);
  h.lift = Trunc(r.lift * m.steps.zPulsePerMm);
  h.feedStart = r.feedStart;
  h.feedRun = r.feedRun;
  h.liftStart = r.liftStart;
  h.liftRun = r.liftRun;
  return h;
}

bool Z(smt::Machine& m, int32_t steps, int start, int run) { return TheMachine(m).MoveAxis(2, steps, {start, run}); }

// One hole at the current XY. False ends the run.
bool Drill(smt::Machine& m, const Hole& h) {
  const int zLimit = std::abs(smt::link::GetMotionSettings(m).zLimit);
  if (std::abs(static_cast<int64_t>(h.z) - h.depth) > zLimit) {
    ShowMessage(smt::link::kZPosError);
    return false;
  }
  if (h.step <= 0) {
    // A feed of 0 per step would never reach the depth.
    ShowMessage(kDrillStepError);
    return false;
  }
  const int32_t start = h.z + h.lift;
  if (start > 0) return false;
  if (!Z(m, -start, h.liftStart, h.liftRun)) return false;
  // Pecks of one feed each down to the depth, the last one what is left:
  // the hole ends at its depth, no deeper, and no peck is empty.
  int64_t drilled = 0;
  int32_t lift = h.lift;
  while (drilled < h.depth) {
    const int32_t step = static_cast<int32_t>(std::min<int64_t>(h.step, h.depth - drilled));
    if (!Z(m, lift, h.liftStart, h.liftRun) || !Z(m, step, h.feedStart, h.feedRun) ||
        !Z(m, -(lift + step), h.liftStart, h.liftRun))
      return false;
    drilled += step;
    lift += step;
    if (!PauseGate(m)) {
      // Stopped between two pecks: the spindle goes back up out of the hole.
      Z(m, start, h.liftStart, h.liftRun);
      return false;
    }
  }
  return Z(m, start, h.liftStart, h.liftRun);
}

bool MoveXY(smt::Machine& m, int32_t tx, int32_t ty) {
  const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::PickPart);
  m.motion.targetX = tx;
  m.motion.targetY = ty;
  return TheMachine(m).MoveAxisPair(0, tx - m.curX, Speed(sp[0]), 1, ty - m.curY, Speed(sp[1]));
}

// 1 finished, 0 ended early.
bool RunDrill(smt::Machine& m) {
  auto& s = Services(m);
  const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::PickPart);
  const auto rows = s.drillRows ? s.drillRows() : std::vector<DrillRow>{};
  const int n = static_cast<int>(rows.size());
  const RunBoard board = s.board ? s.board() : RunBoard{};
  const RunSelectors sel = Selectors(m);
  if (auto d = Display(m)) d->Progress(0, n);
  ShowRunList(m, 3);
  if (auto v = s.vision.Get()) v->OpenMarkCamera();
  if (!TheMachine(m).MoveAxis(4, -6400, Speed(sp[4]))) return false;
  bool fromCurrent = sel.fromCurrentDrill;
  const int boards = std::max(s.boardCount ? s.boardCount() : 1, 1);
  int done = 0;
  for (int b = 0; b < boards; ++b) {
    for (int r = 0; r < board.panelRows; ++r) {
      for (int c = 0; c < board.panelCols; ++c) {
        if (auto d = Display(m)) d->PanelLabel(r, c, -1);
        if (board.CellSkipped(r, c)) continue;
        int first = 0;
        if (fromCurrent) {
          fromCurrent = false;
          PartList(m).logic.m_bStartFromCurrentDrill = 0;
          first = ChosenRow(m, smt::job::RowKind::Drill);
        }
        for (int i = first; i < n; ++i) {
          if (sel.selectedDrill && !PartList(m).logic.IsSelected(smt::job::RowKind::Drill, i)) continue;
          if (auto d = Display(m)) d->ShowRow(i + 3);
          if (auto d = Display(m)) d->RowState(smt::job::RowKind::Drill, i, 9, true);
          const Hole h = ReadHole(m, rows[static_cast<size_t>(i)]);
          const int32_t tx = Trunc(Trunc(board.originX * m.steps.xPulsePerMm) + c * board.colPitch * m.steps.xPulsePerMm +
                                   Trunc(h.x * m.steps.xPulsePerMm));
          const int32_t ty = Trunc(Trunc(board.originY * m.steps.yPulsePerMm) + r * board.rowPitch * m.steps.yPulsePerMm +
                                   Trunc(h.y * m.steps.yPulsePerMm));
          if (!MoveXY(m, tx, ty) || !PauseGate(m)) return false;
          if (!Drill(m, h)) return false;
          if (auto d = Display(m)) d->RowState(smt::job::RowKind::Drill, i, 6, true);
          if (auto d = Display(m)) d->Progress(i, n);
        }
        if (auto d = Display(m)) d->Progress(0, n);
        if (auto d = Display(m)) d->ResetRowStates(smt::job::RowKind::Drill);
        if (!PauseGate(m)) return false;
      }
    }
    ++done;
    if (auto d = Display(m)) d->PanelLabel(board.panelRows - 1, board.panelCols - 1, done);
  }
  TheMachine(m).MoveAxis(4, 10000, Speed(sp[4]));
  if (!m.runContinue) return true;
  if (!MoveXY(m, 1000, -1000) || !PauseGate(m)) return false;
  if (auto v = s.vision.Get()) v->OpenMarkCamera();
  m.resetDone = false;
  if (s.startHome) s.startHome();
  return true;
}

}  // namespace

void DrillRunThreadProc(smt::Machine& m) {
  SmtBusy(m) = 1;
  if (auto d = Display(m)) d->EnableRunWindows(false);
  const bool finished = RunDrill(m);
  FinishRun(m, finished);
}

}  // namespace smt::run
