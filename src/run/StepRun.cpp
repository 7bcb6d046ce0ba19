// The run modes that work one row at a time without the feeder thread:
// dispensing (1, 2), the simulation and check modes (3-7) and glue
// injection (8). In mode 2 each dispensed board is handed to the placement
// run.
#include <cmath>
#include <cstdlib>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "core/ThreadMachine.h"
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
#include "run/RunFinish.h"
#include "run/RunServices.h"
#include "run/RunThreadProcs.h"
#include "run/RunState.h"
#include "run/StrategySettings.h"
#include "run/TheMachine.h"
#include "settings/SettingsStores.h"
#include "platform/RefusalTexts.h"

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

int NextPlacementRow(smt::Machine& m, int& row, int count) {
  auto& s = Services(m);
  if (s.nextPlaceRow) return s.nextPlaceRow(row, count, 10, 0);
  const auto& rows = RunRows(m);
  for (; row < count && row < static_cast<int>(rows.size()); ++row)
    if (rows[static_cast<size_t>(row)].place) return CalcFeederPickTarget(m, 10, 0, rows[static_cast<size_t>(row)].feeder);
  return 0;
}

bool NextDispense(smt::Machine& m, int& row, int count) {
  auto& s = Services(m);
  if (s.nextDispenseRow) return s.nextDispenseRow(row, count);
  const auto& rows = RunDispenseRows(m);
  for (; row < count && row < static_cast<int>(rows.size()); ++row)
    if (rows[static_cast<size_t>(row)].dispense) return true;
  return false;
}

void DisRowState(smt::Machine& m, int row) {
  if (auto d = Display(m)) d->RowState(smt::job::RowKind::Dispense, row, kDispensedRowImage, true);
}

bool Dispense(smt::Machine& m, int row, const SmtStrategy& st, bool raw, double cx, double cy) {
  const auto& r = RunDispenseRows(m)[static_cast<size_t>(row)];
  const auto [axis, valve] = DispenseAxisAndValve(m.machineType);
  if (!DispensePoint(m, st.m_bDisMode2 ? 53 : 64, row, raw, cx, cy)) return false;
  DisRowState(m, row);
  if (!PauseGate(m)) return false;
  const int32_t depth = std::abs(Trunc(r.z * m.steps.zPulsePerMm));
  const int zLimit = std::abs(smt::link::GetMotionSettings(m).zLimit);
  if (zLimit > 0 && depth > zLimit) {
    ShowMessage(smt::link::kZPosError);
    return false;
  }
  if (st.m_bDisMode2) {
    int32_t open = Trunc(r.valveOpen * m.steps.zPulsePerMm), close = Trunc(r.valveClose * m.steps.zPulsePerMm);
    if (open > depth) open = 0;
    if (close > depth) close = 0;
    if (close < open) close = 0;
    return TheMachine(m).GlueStroke(axis, -depth, {st.m_DisSpeedStart_Z, st.m_DisSpeedNormal_Z}, static_cast<uint8_t>(valve), open, close, static_cast<uint16_t>(r.closeDelay), static_cast<uint16_t>(r.bottomDelay), static_cast<uint16_t>(r.suckBack)) == smt::link::CommandResult::Ok;
  }
  int32_t lift = Trunc(r.valveClose * m.steps.zPulsePerMm);
  if (lift > depth || lift <= 0) lift = depth;
  TheMachine(m).SetOutput(valve, 1, 5);
  const auto res = TheMachine(m).StrokeReleasing(axis, depth, {st.m_DisSpeedStart_Z, st.m_DisSpeedNormal_Z}, lift, static_cast<uint16_t>(r.closeDelay), 0);
  TheMachine(m).SetOutput(valve, 0, 5);
  return res == smt::link::CommandResult::Ok;
}

bool GlueInjection(smt::Machine& m, HeadPlaceState& p, bool raw, double cx, double cy) {
  if (!PlacePart(m, p, 10, false, raw, cx, cy)) return false;
  RowState(m, p.row, 6, true);
  if (!PauseGate(m)) return false;
  const double down = GlueInjectDepth(m);
  const auto& z = p.placeSpeeds[kSpZ1];
  const int32_t stroke = Trunc(down * m.steps.zPulsePerMm);
  if (!TheMachine(m).MoveAxis(2, stroke, Speed(z))) return false;
  TheMachine(m).SetOutput(2, 1, 5);
  const bool injected = RunSleep(m, p.placeDelay);
  TheMachine(m).SetOutput(2, 0, 5);
  // The nozzle comes back up by the stroke it went down, also when the run
  // was stopped meanwhile (it never stays in the board).
  const bool waited = injected && RunSleep(m, p.pickDelay);
  const bool up = TheMachine(m).MoveAxis(2, -stroke, Speed(z));
  return waited && up;
}

bool EndMoves(smt::Machine& m) {
  if (!m.runContinue) return false;
  const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::Smt);
  if (!TheMachine(m).MoveGantry(1000 - m.curX, Speed(sp[0]), -1000 - m.curY, Speed(sp[1]), smt::link::GantryMove::Checked) ||
      !PauseGate(m))
    return false;
  if (m.machineType != 7 && m.machineType != 8) {
    const auto pick = smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::PickPart);
    if (m.motion.curAxis8 != 0) TheMachine(m).MoveAxis(8, -1000 - m.motion.curAxis8, Speed(pick[8]));
    if (m.motion.curAxis9 != 0) TheMachine(m).MoveAxis(9, 1000 - m.motion.curAxis9, Speed(pick[10]));
    if (m.motion.curAxis10 != 0) TheMachine(m).MoveAxis(10, -1000 - m.motion.curAxis10, Speed(pick[12]));
  }
  if (auto v = Services(m).vision.Get()) v->OpenMarkCamera();
  m.resetDone = false;
  if (Services(m).startHome) Services(m).startHome();
  return true;
}

// Starts the placement run of a dispensed board; false when it cannot start.
bool StartPlacementRun(smt::Machine& m) {
  m.run.autoChangeNozzle = Strategy(m).m_AutoChangeNozzle != 0;
  const bool eight = m.machineType == 7 || m.machineType == 8;
  if (!eight) {
    m.run.feedRequestEvent.Reset();
    for (int k = 1; k <= 4; ++k) {
      HeadFeedReadyEvent(m, k).Reset();
      HeadPickedEvent(m, k).Reset();
    }
  }
  auto& wt = smt::platform::WorkerThreads::Instance();
  // The placement threads work for this run's machine.
  auto on = [&m](void (*proc)(smt::Machine&)) {
    return [&m, proc](std::stop_token) {
      smt::ThreadMachineScope bound(m);
      proc(m);
    };
  };
  if (eight) {
    SmtBusy(m) = 1;
    return wt.Start("EightHeadRun", on(EightHeadRunThreadProc));
  }
  SmtBusy(m) = 1;
  FeedBusy(m) = 1;
  m.run.feedRun = true;
  return wt.Start("SmtRun", on(SmtRunThreadProc)) && wt.Start("FeederRun", on(FeederThreadProc));
}

enum class StepEnd { Early, EndMoves, HandedOver };

StepEnd RunSteps(smt::Machine& m) {
  auto& s = Services(m);
  const SmtStrategy st = Strategy(m);
  const int mode = st.m_RunSelect;
  const bool dispensing = mode == 1 || mode == 2;
  const RunSelectors sel = Selectors(m);
  const bool transport = s.autoTransport && s.autoTransport();
  const RunBoard board = s.board ? s.board() : RunBoard{};
  RunRows(m) = s.placementRows ? s.placementRows() : std::vector<PlacementRow>{};
  RunDispenseRows(m) = s.dispenseRows ? s.dispenseRows() : std::vector<DispenseRow>{};
  const int count = static_cast<int>(dispensing ? RunDispenseRows(m).size() : RunRows(m).size());
  int firstRow = 0;
  if (dispensing && sel.fromCurrentDis) firstRow = ChosenRow(m, smt::job::RowKind::Dispense);
  if (!dispensing && sel.fromCurrentSmt) firstRow = ChosenRow(m, smt::job::RowKind::Placement);
  if (auto d = Display(m)) d->Progress(0, count);
  if (dispensing) {
    for (auto& a : m.motion.headMoveArgs) a = 0;
    if (m.machineType != 6 && m.machineType != 7 && m.machineType != 8) {
      m.run.autoChangeNozzle = false;
      m.Part<smt::run::HeadRecords>().placeExtra2.headTarget = 2;
      TheMachine(m).SetOutput(8, 1, 5);
    }
    m.run.activeList = 2;
    ShowRunList(m, 2);
  } else if (mode >= 3 && mode <= 7) {
    m.run.activeList = 1;
    ShowRunList(m, 1);
  }
  auto& f = Frame(m);
  f.marksOn = board.marksOn;
  f.marksPerCell = board.marksOn && board.marksPerCell;
  f.mark1mmX = board.mark1X;
  f.mark1mmY = board.mark1Y;
  f.mark2mmX = board.mark2X;
  f.mark2mmY = board.mark2Y;
  auto setOrigin = [&](double ox, double oy) {
    f.originX = Trunc(ox * m.steps.xPulsePerMm);
    f.originY = Trunc(oy * m.steps.yPulsePerMm);
    f.mark1X = Trunc((board.mark1X + ox) * m.steps.xPulsePerMm);
    f.mark1Y = Trunc((board.mark1Y + oy) * m.steps.yPulsePerMm);
  };
  setOrigin(board.originX, board.originY);
  const int group = CurrentFeederGroup(m);
  if (group < 0) {
    ShowMessage(RunText(m, "PartList.c_Message_20", "没有找到料架组 !"));
    return StepEnd::Early;
  }
  if (auto v = s.vision.Get()) v->OpenMarkCamera();
  bool placementStarted = false;
  for (;;) {
    if (transport) {
      const auto r = WaitRunEvent(m, m.run.boardReadyEvent, Timeouts(m).board);
      if (r == WaitResult::TimedOut) ShowMessage(smt::platform::WindowText("RunMessagesConfig", "RunMessages.c_BoardWaitTimeout", "等待 PCB 板超时 !"));
      if (r != WaitResult::Signalled) return StepEnd::Early;
    }
    if (mode != 6 && mode != 7) {
      m.correction.boardRotation = 0.0;
      if (board.marksOn && !board.marksPerCell && !AlignMarks(m)) return StepEnd::Early;
    }
    bool endAfterCell = false;
    for (int r = 0; r < board.panelRows && !endAfterCell; ++r) {
      for (int c = 0; c < board.panelCols && !endAfterCell; ++c) {
        const double cx = c * board.colPitch, cy = r * board.rowPitch;
        if (auto d = Display(m)) d->PanelLabel(r, c, -1);
        if (board.CellSkipped(r, c)) continue;
        if (board.marksOn && board.marksPerCell && mode != 6 && mode != 7) {
          setOrigin(board.originX + cx, board.originY + cy);
          m.correction.boardRotation = 0.0;
          if (!AlignMarks(m)) return StepEnd::Early;
        }
        int row = firstRow;
        if (dispensing) {
          if (!NextDispense(m, row, count)) return StepEnd::Early;
        } else {
          m.Part<smt::run::HeadRecords>().pickExtra3.row = row;
          if (NextPlacementRow(m, m.Part<smt::run::HeadRecords>().pickExtra3.row, count) != 1) return StepEnd::Early;
        }
        bool more = true;
        while (more) {
          if (!m.runContinue) return StepEnd::Early;
          const int current = dispensing ? row : m.Part<smt::run::HeadRecords>().pickExtra3.row;
          if (auto d = Display(m)) d->ShowRow(current + 3);
          if (!dispensing) {
            if (!PreparePickPlace(m, group, m.Part<smt::run::HeadRecords>().placeExtra2, 10)) return StepEnd::Early;
            if (mode == 5 && !MoveCameraToFeeder(m, m.Part<smt::run::HeadRecords>().placeExtra2)) return StepEnd::Early;
            if (mode == 6) {
              if (!FeedAdvance(m, m.Part<smt::run::HeadRecords>().pickExtra3, false)) return StepEnd::Early;
              RowState(m, current, 6, true);
              if (!MoveCameraToFeeder(m, m.Part<smt::run::HeadRecords>().placeExtra2)) return StepEnd::Early;
              RowState(m, current, 6, true);
            }
            if (mode == 7) {
              if (!MoveCameraToFeeder(m, m.Part<smt::run::HeadRecords>().placeExtra2)) return StepEnd::Early;
              RowState(m, current, 6, true);
            }
          }
          if (!PauseGate(m)) return StepEnd::Early;
          TheMachine(m).TriggerCamera(1, s.lightValue ? s.lightValue() : 0);
          if (!dispensing) {
            ++m.Part<smt::run::HeadRecords>().pickExtra3.row;
            more = NextPlacementRow(m, m.Part<smt::run::HeadRecords>().pickExtra3.row, count) == 1;
          }
          const bool raw = f.marksPerCell;
          bool ok = true;
          switch (mode) {
            case 1: case 2: ok = Dispense(m, current, st, raw, cx, cy); break;
            case 3:
              ok = PlacePart(m, m.Part<smt::run::HeadRecords>().placeExtra2, 10, false, raw, cx, cy);
              if (ok) {
                RowState(m, current, 6, true);
                m.Part<smt::run::HeadRecords>().placeExtra2.vacuumOffHeight -= m.Part<smt::run::HeadRecords>().placeExtra2.placeHeight;
                m.Part<smt::run::HeadRecords>().placeExtra2.placeHeight = 0;  // the nozzle goes through the motions without going down
                PlaceStroke(m, m.Part<smt::run::HeadRecords>().placeExtra2, 0.0);
              }
              break;
            case 4: case 5: ok = MoveCameraToPart(m, m.Part<smt::run::HeadRecords>().placeExtra2, raw, cx, cy); break;
            case 8: ok = GlueInjection(m, m.Part<smt::run::HeadRecords>().placeExtra2, raw, cx, cy); break;
            default: break;
          }
          if (!ok) return StepEnd::Early;
          if (dispensing) {
            ++row;
            more = NextDispense(m, row, count);
          }
          if (!RunSleep(m, st.m_Interval) || !PauseGate(m)) return StepEnd::Early;
          if (auto d = Display(m)) d->Progress(current, count);
        }
        if (auto d = Display(m)) d->Progress(0, count);
        if (auto d = Display(m))
          d->ResetRowStates(dispensing ? smt::job::RowKind::Dispense : smt::job::RowKind::Placement);
        if (!PauseGate(m)) return StepEnd::Early;
        if (dispensing && (sel.fromCurrentDis || sel.selectedDis)) {
          m.run.boardDoneEvent.Set();
          return StepEnd::EndMoves;
        }
        if (mode == 6 || mode == 7) endAfterCell = true;
      }
    }
    if (!transport) {
      if (mode == 2 && !(sel.fromCurrentDis || sel.selectedDis))
        return StartPlacementRun(m) ? StepEnd::HandedOver : StepEnd::Early;
      return StepEnd::EndMoves;
    }
    if (mode == 2) {
      if (!placementStarted) {
        m.run.dispenseDoneEvent.Reset();
        m.run.placeDoneEvent.Reset();
        if (!StartPlacementRun(m)) return StepEnd::Early;
        placementStarted = true;
      }
      m.run.dispenseDoneEvent.Set();
      const auto r = WaitRunEvent(m, m.run.placeDoneEvent, Timeouts(m).partner);
      if (r != WaitResult::Signalled) return r == WaitResult::Stopped ? StepEnd::HandedOver : StepEnd::Early;
      m.run.activeList = 2;
      ShowRunList(m, 2);
      continue;
    }
    if (s.moveBetweenSetPoints && !s.moveBetweenSetPoints()) return StepEnd::Early;
    const int left = (s.boardCount ? s.boardCount() : 1) - 1;
    if (s.setBoardCount) s.setBoardCount(left);
    m.run.boardDoneEvent.Set();
    if (left <= 0) return StepEnd::EndMoves;
  }
}

}  // namespace

void StepRunThreadProc(smt::Machine& m) {
  if (auto d = Display(m)) d->EnableRunWindows(false);
  const StepEnd end = RunSteps(m);
  if (end == StepEnd::HandedOver) return;  // the placement run finishes the run
  // The dispensing output the run switched on goes off with the run, however
  // it ended.
  const int mode = Strategy(m).m_RunSelect;
  if ((mode == 1 || mode == 2) && m.machineType != 6 && m.machineType != 7 && m.machineType != 8)
    TheMachine(m).SetOutput(8, 0, 5);
  const bool finished = end == StepEnd::EndMoves && EndMoves(m) && m.runContinue;
  FinishRun(m, finished);
}

}  // namespace smt::run
