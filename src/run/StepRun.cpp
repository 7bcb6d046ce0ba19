// The run modes that work one row at a time without the feeder thread:
// dispensing (1, 2), the simulation and check modes (3-7) and glue
// injection (8). In mode 2 each dispensed board is handed to the placement
// run.
#include <cmath>
#include <cstdlib>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/MotionSettings.h"
#include "link/ProcessCommands.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "run/FeederPickTarget.h"
#include "run/MachineSteps.h"
#include "run/PickPlacePreparation.h"
#include "run/RunDispatch.h"
#include "run/RunState.h"
#include "run/StrategySettings.h"
#include "run/TheMachine.h"
#include "settings/SettingsStores.h"

namespace smt::run {

namespace {

using smt::platform::ShowMessage;

int32_t Trunc(double v) { return static_cast<int32_t>(v); }

// Dispensing Z axis code and valve output by machine type.
std::pair<uint8_t, int> DispenseAxisAndValve(int type) {
  if (type == 3) return {3, 4};
  if (type == 7 || type == 8) return {39, 47};
  return {2, 2};
}

int NextPlacementRow(int& row, int count) {
  auto& s = Services();
  if (s.nextPlaceRow) return s.nextPlaceRow(row, count, 10, 0);
  const auto& rows = RunRows();
  for (; row < count && row < static_cast<int>(rows.size()); ++row)
    if (rows[static_cast<size_t>(row)].place) return CalcFeederPickTarget(10, 0, rows[static_cast<size_t>(row)].feeder);
  return 0;
}

bool NextDispense(int& row, int count) {
  auto& s = Services();
  if (s.nextDispenseRow) return s.nextDispenseRow(row, count);
  const auto& rows = RunDispenseRows();
  for (; row < count && row < static_cast<int>(rows.size()); ++row)
    if (rows[static_cast<size_t>(row)].dispense) return true;
  return false;
}

void DisRowState(int row) {
  if (Services().setDispenseRowState) Services().setDispenseRowState(row);
}

bool Dispense(int row, const SmtStrategy& st, bool raw, double cx, double cy) {
  const auto& r = RunDispenseRows()[static_cast<size_t>(row)];
  const auto [axis, valve] = DispenseAxisAndValve(g_nMachineType);
  if (!DispensePoint(st.m_bDisMode2 ? 53 : 64, row, raw, cx, cy)) return false;
  DisRowState(row);
  if (!PauseGate()) return false;
  const int32_t depth = std::abs(Trunc(r.z * g_dZPulsePerMm));
  const int zLimit = std::abs(smt::link::GetMotionSettings().zLimit);
  if (zLimit > 0 && depth > zLimit) {
    ShowMessage(smt::link::kZPosError);
    return false;
  }
  if (st.m_bDisMode2) {
    int32_t open = Trunc(r.valveOpen * g_dZPulsePerMm), close = Trunc(r.valveClose * g_dZPulsePerMm);
    if (open > depth) open = 0;
    if (close > depth) close = 0;
    if (close < open) close = 0;
    return TheMachine().GlueStroke(axis, -depth, {st.m_DisSpeedStart_Z, st.m_DisSpeedNormal_Z}, static_cast<uint8_t>(valve), open, close, static_cast<uint16_t>(r.closeDelay), static_cast<uint16_t>(r.bottomDelay), static_cast<uint16_t>(r.suckBack)) == smt::link::CommandResult::Ok;
  }
  int32_t lift = Trunc(r.valveClose * g_dZPulsePerMm);
  if (lift > depth || lift <= 0) lift = depth;
  TheMachine().SetOutput(valve, 1, 5);
  const auto res = TheMachine().StrokeReleasing(axis, depth, {st.m_DisSpeedStart_Z, st.m_DisSpeedNormal_Z}, lift, static_cast<uint16_t>(r.closeDelay), 0);
  TheMachine().SetOutput(valve, 0, 5);
  return res == smt::link::CommandResult::Ok;
}

bool GlueInjection(HeadPlaceState& p, bool raw, double cx, double cy) {
  if (!PlacePart(p, 10, false, raw, cx, cy)) return false;
  RowState(p.row, 6, true);
  if (!PauseGate()) return false;
  const double down = Services().glueInjectDepth ? Services().glueInjectDepth() : 0.0;
  const auto& z = p.placeSpeeds[kSpZ1];
  const int32_t stroke = Trunc(down * g_dZPulsePerMm);
  if (!TheMachine().MoveAxis(2, stroke, Speed(z))) return false;
  TheMachine().SetOutput(2, 1, 5);
  const bool injected = RunSleep(p.placeDelay);
  TheMachine().SetOutput(2, 0, 5);
  // The nozzle comes back up by the stroke it went down, also when the run
  // was stopped meanwhile (it never stays in the board).
  const bool waited = injected && RunSleep(p.pickDelay);
  const bool up = TheMachine().MoveAxis(2, -stroke, Speed(z));
  return waited && up;
}

bool EndMoves() {
  if (!g_bRunContinue) return false;
  const auto sp = smt::settings::SettingsStores::Instance().speed.Record(smt::settings::SpeedUse::Smt);
  if (!TheMachine().MoveGantry(1000 - g_nCurX, Speed(sp[0]), -1000 - g_nCurY, Speed(sp[1]), smt::link::GantryMove::Checked) ||
      !PauseGate())
    return false;
  if (g_nMachineType != 7 && g_nMachineType != 8) {
    const auto pick = smt::settings::SettingsStores::Instance().speed.Record(smt::settings::SpeedUse::PickPart);
    if (g_nCurAxis8 != 0) TheMachine().MoveAxis(8, -1000 - g_nCurAxis8, Speed(pick[8]));
    if (g_nCurAxis9 != 0) TheMachine().MoveAxis(9, 1000 - g_nCurAxis9, Speed(pick[10]));
    if (g_nCurAxis10 != 0) TheMachine().MoveAxis(10, -1000 - g_nCurAxis10, Speed(pick[12]));
  }
  if (Services().openMarkCamera) Services().openMarkCamera();
  g_bResetDone = false;
  if (Services().startHome) Services().startHome();
  return true;
}

// Starts the placement run of a dispensed board; false when it cannot start.
bool StartPlacementRun() {
  g_bAutoChangeNozzle = Strategy().m_AutoChangeNozzle != 0;
  const bool eight = g_nMachineType == 7 || g_nMachineType == 8;
  if (!eight) {
    g_hFeedRequestEvent.Reset();
    for (int k = 1; k <= 4; ++k) {
      HeadFeedReadyEvent(k).Reset();
      HeadPickedEvent(k).Reset();
    }
  }
  auto& wt = smt::platform::WorkerThreads::Instance();
  if (eight) {
    SmtBusy() = 1;
    return wt.Start("EightHeadRun", [](std::stop_token) { EightHeadRunThreadProc(); });
  }
  SmtBusy() = 1;
  FeedBusy() = 1;
  g_bFeedRun = true;
  return wt.Start("SmtRun", [](std::stop_token) { SmtRunThreadProc(); }) &&
         wt.Start("FeederRun", [](std::stop_token) { FeederThreadProc(); });
}

enum class StepEnd { Early, EndMoves, HandedOver };

StepEnd RunSteps() {
  auto& s = Services();
  const SmtStrategy st = Strategy();
  const int mode = st.m_RunSelect;
  const bool dispensing = mode == 1 || mode == 2;
  const RunSelectors sel = s.selectors ? s.selectors() : RunSelectors{};
  const bool transport = s.autoTransport && s.autoTransport();
  const RunBoard board = s.board ? s.board() : RunBoard{};
  RunRows() = s.placementRows ? s.placementRows() : std::vector<PlacementRow>{};
  RunDispenseRows() = s.dispenseRows ? s.dispenseRows() : std::vector<DispenseRow>{};
  const int count = static_cast<int>(dispensing ? RunDispenseRows().size() : RunRows().size());
  int firstRow = 0;
  if (dispensing && sel.fromCurrentDis && s.currentDisRow) firstRow = s.currentDisRow();
  if (!dispensing && sel.fromCurrentSmt && s.currentSmtRow) firstRow = s.currentSmtRow();
  if (s.progress) s.progress(0, count);
  if (dispensing) {
    for (auto& a : g_nHeadMoveArgs) a = 0;
    if (g_nMachineType != 6 && g_nMachineType != 7 && g_nMachineType != 8) {
      g_bAutoChangeNozzle = false;
      g_PlaceExtra2.headTarget = 2;
      TheMachine().SetOutput(8, 1, 5);
    }
    g_nActiveList = 2;
    ShowRunList(2);
  } else if (mode >= 3 && mode <= 7) {
    g_nActiveList = 1;
    ShowRunList(1);
  }
  auto& f = Frame();
  f.marksOn = board.marksOn;
  f.marksPerCell = board.marksOn && board.marksPerCell;
  f.mark1mmX = board.mark1X;
  f.mark1mmY = board.mark1Y;
  f.mark2mmX = board.mark2X;
  f.mark2mmY = board.mark2Y;
  auto setOrigin = [&](double ox, double oy) {
    f.originX = Trunc(ox * g_dXPulsePerMm);
    f.originY = Trunc(oy * g_dYPulsePerMm);
    f.mark1X = Trunc((board.mark1X + ox) * g_dXPulsePerMm);
    f.mark1Y = Trunc((board.mark1Y + oy) * g_dYPulsePerMm);
  };
  setOrigin(board.originX, board.originY);
  const int group = s.feeders && s.feeders->CurrentGroup() ? s.feeders->CurrentIndex() : -1;
  if (group < 0) {
    ShowMessage(RunText("PartList.c_Message_20", "没有找到料架组 !"));
    return StepEnd::Early;
  }
  if (s.openMarkCamera) s.openMarkCamera();
  bool placementStarted = false;
  for (;;) {
    if (transport) {
      const auto r = WaitRunEvent(g_hBoardReadyEvent, Timeouts().board);
      if (r == WaitResult::TimedOut) ShowMessage("Board wait time out !");
      if (r != WaitResult::Signalled) return StepEnd::Early;
    }
    if (mode != 6 && mode != 7) {
      g_dBoardRotation = 0.0;
      if (board.marksOn && !board.marksPerCell && !(s.alignBoardMarks && s.alignBoardMarks())) return StepEnd::Early;
    }
    bool endAfterCell = false;
    for (int r = 0; r < board.panelRows && !endAfterCell; ++r) {
      for (int c = 0; c < board.panelCols && !endAfterCell; ++c) {
        const double cx = c * board.colPitch, cy = r * board.rowPitch;
        if (s.panelLabel) s.panelLabel(r, c, -1);
        if (board.CellSkipped(r, c)) continue;
        if (board.marksOn && board.marksPerCell && mode != 6 && mode != 7) {
          setOrigin(board.originX + cx, board.originY + cy);
          g_dBoardRotation = 0.0;
          if (!(s.alignBoardMarks && s.alignBoardMarks())) return StepEnd::Early;
        }
        int row = firstRow;
        if (dispensing) {
          if (!NextDispense(row, count)) return StepEnd::Early;
        } else {
          g_PickExtra3.row = row;
          if (NextPlacementRow(g_PickExtra3.row, count) != 1) return StepEnd::Early;
        }
        bool more = true;
        while (more) {
          if (!g_bRunContinue) return StepEnd::Early;
          const int current = dispensing ? row : g_PickExtra3.row;
          if (s.showRow) s.showRow(current + 3);
          if (!dispensing) {
            if (!PreparePickPlace(group, g_PlaceExtra2, 10)) return StepEnd::Early;
            if (mode == 5 && !MoveCameraToFeeder(g_PlaceExtra2)) return StepEnd::Early;
            if (mode == 6) {
              if (!FeedAdvance(g_PickExtra3, false)) return StepEnd::Early;
              RowState(current, 6, true);
              if (!MoveCameraToFeeder(g_PlaceExtra2)) return StepEnd::Early;
              RowState(current, 6, true);
            }
            if (mode == 7) {
              if (!MoveCameraToFeeder(g_PlaceExtra2)) return StepEnd::Early;
              RowState(current, 6, true);
            }
          }
          if (!PauseGate()) return StepEnd::Early;
          TheMachine().TriggerCamera(1, s.lightValue ? s.lightValue() : 0);
          if (!dispensing) {
            ++g_PickExtra3.row;
            more = NextPlacementRow(g_PickExtra3.row, count) == 1;
          }
          const bool raw = f.marksPerCell;
          bool ok = true;
          switch (mode) {
            case 1: case 2: ok = Dispense(current, st, raw, cx, cy); break;
            case 3:
              ok = PlacePart(g_PlaceExtra2, 10, false, raw, cx, cy);
              if (ok) {
                RowState(current, 6, true);
                g_PlaceExtra2.vacuumOffHeight -= g_PlaceExtra2.placeHeight;
                g_PlaceExtra2.placeHeight = 0;  // the nozzle goes through the motions without going down
                PlaceStroke(g_PlaceExtra2, 0.0);
              }
              break;
            case 4: case 5: ok = MoveCameraToPart(g_PlaceExtra2, raw, cx, cy); break;
            case 8: ok = GlueInjection(g_PlaceExtra2, raw, cx, cy); break;
            default: break;
          }
          if (!ok) return StepEnd::Early;
          if (dispensing) {
            ++row;
            more = NextDispense(row, count);
          }
          if (!RunSleep(st.m_Interval) || !PauseGate()) return StepEnd::Early;
          if (s.progress) s.progress(current, count);
        }
        if (s.progress) s.progress(0, count);
        if (dispensing && s.resetDispenseRowStates) s.resetDispenseRowStates();
        if (!dispensing && s.resetSmtRowStates) s.resetSmtRowStates();
        if (!PauseGate()) return StepEnd::Early;
        if (dispensing && (sel.fromCurrentDis || sel.selectedDis)) {
          g_hBoardDoneEvent.Set();
          return StepEnd::EndMoves;
        }
        if (mode == 6 || mode == 7) endAfterCell = true;
      }
    }
    if (!transport) {
      if (mode == 2 && !(sel.fromCurrentDis || sel.selectedDis))
        return StartPlacementRun() ? StepEnd::HandedOver : StepEnd::Early;
      return StepEnd::EndMoves;
    }
    if (mode == 2) {
      if (!placementStarted) {
        g_hDispenseDoneEvent.Reset();
        g_hPlaceDoneEvent.Reset();
        if (!StartPlacementRun()) return StepEnd::Early;
        placementStarted = true;
      }
      g_hDispenseDoneEvent.Set();
      const auto r = WaitRunEvent(g_hPlaceDoneEvent, Timeouts().partner);
      if (r != WaitResult::Signalled) return r == WaitResult::Stopped ? StepEnd::HandedOver : StepEnd::Early;
      g_nActiveList = 2;
      ShowRunList(2);
      continue;
    }
    if (s.moveBetweenSetPoints && !s.moveBetweenSetPoints()) return StepEnd::Early;
    const int left = (s.boardCount ? s.boardCount() : 1) - 1;
    if (s.setBoardCount) s.setBoardCount(left);
    g_hBoardDoneEvent.Set();
    if (left <= 0) return StepEnd::EndMoves;
  }
}

}  // namespace

void StepRunThreadProc() {
  if (Services().enableRunWindows) Services().enableRunWindows(false);
  const StepEnd end = RunSteps();
  if (end == StepEnd::HandedOver) return;  // the placement run finishes the run
  // The dispensing output the run switched on goes off with the run, however
  // it ended.
  const int mode = Strategy().m_RunSelect;
  if ((mode == 1 || mode == 2) && g_nMachineType != 6 && g_nMachineType != 7 && g_nMachineType != 8)
    TheMachine().SetOutput(8, 0, 5);
  const bool finished = end == StepEnd::EndMoves && EndMoves() && g_bRunContinue;
  FinishRun(finished);
}

}  // namespace smt::run
