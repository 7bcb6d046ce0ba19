// The placement run of the eight-head and insertion machines: cycles of up
// to eight heads with the board's own move-and-pick and move-and-place
// commands (the board advances the feeders itself), and an inline repair of
// failed parts.
#include <cstdlib>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "library/NozzleChange.h"
#include "link/LinkGlobals.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "platform/MessageService.h"
#include "run/EightHeadCommands.h"
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
#include "vision/VisionGlobals.h"
#include "platform/RefusalTexts.h"

namespace smt::run {

namespace {

using smt::platform::MsgAnswer;
using smt::platform::ShowMessage;

enum class Outcome { Early, EndMoves, OperatorEnd };

int NextRow8(smt::Machine& m, int& row, int count, int slot) {
  auto& s = Services(m);
  if (s.nextPlaceRow) return s.nextPlaceRow(row, count, slot, 0);
  const auto& rows = RunRows(m);
  for (; row < count && row < static_cast<int>(rows.size()); ++row)
    if (rows[static_cast<size_t>(row)].place)
      return CalcFeederPickTarget(m, slot, 0, rows[static_cast<size_t>(row)].feeder);
  return 0;
}

void TurnHeadsBack(smt::Machine& m) {
  for (size_t i = 0; i < 8; ++i) m.motion.headMoveArgs[i] = -m.curA[i];
}

std::vector<int> ReturnHeads(const SmtStrategy& st, bool atEnd) {
  if (!atEnd) {
    if (st.m_19NozzleLibrary) return {1, 2, 3, 4, 5, 6, 7, 8};
    switch (st.m_ChangeNozzleSelect) {
      case 0: return {1, 2};
      case 1: return {2};
      case 2: return {1};
      default: return {};
    }
  }
  switch (st.m_HeaderSelect) {
    case 0: return {1};
    case 1: return {1, 2};
    case 2:
      return st.m_ChangeNozzleSelect == 0 ? std::vector<int>{1, 2}
             : st.m_ChangeNozzleSelect == 1 ? std::vector<int>{2}
             : st.m_ChangeNozzleSelect == 2 ? std::vector<int>{1} : std::vector<int>{};
    case 3: case 4: return {1, 2, 3, 4};
    case 6: case 7: return {1, 2, 3, 4, 5, 6, 7, 8};
    default: return {};
  }
}

bool ParkAndHome(smt::Machine& m) {
  const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::Reset);
  TurnHeadsBack(m);
  if (!TheMachine(m).MoveGantryTurningHeads(1000 - m.curX, Speed(sp[0]), -1000 - m.curY, Speed(sp[1]), HeadTurns(m), Speed(sp[4])))
    return false;
  if (!PauseGate(m)) return false;
  if (auto v = Services(m).vision.Get()) v->OpenMarkCamera();
  m.resetDone = false;
  if (Services(m).startHome) Services(m).startHome();
  return true;
}

void VacuumCheck(smt::Machine& m, HeadPlaceState& p, const RunSelectors& sel) {
  if (m.link.vacuumCheckOk) {
    p.failedRow = -1;
    RowState(m, p.row, 6, !sel.selectedSmt ? false : true);
  } else {
    p.failedRow = p.row;
    RowState(m, p.row, 7, false);
  }
}

// The inline repair of one head; Early/OperatorEnd end the run, EndMoves
// (used as "go on") continues.
Outcome Repair(smt::Machine& m, int k, int group, const SmtStrategy& st, const RunSelectors& sel, bool raw, double cx, double cy) {
  auto& p = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
  for (;;) {
    if (p.row == -1 || (p.failedRow == -1 && !p.failed)) return Outcome::EndMoves;
    const int row = p.failedRow != -1 ? p.failedRow : p.row;
    TurnHeadsBack(m);
    if (!FillReplenishRecord(m, k)) return Outcome::Early;
    m.Part<smt::run::HeadRecords>().pickExtra1.row = row;
    if (!PreparePickPlace(m, group, p, 9)) return Outcome::Early;
    p.row = row;
    if (!MoveHeadsToPick(m, m.Part<smt::run::HeadRecords>().pickExtra1, p)) return Outcome::Early;
    LogReplenishRotation(m, p, &RunRows(m));
    p.failedRow = -1;
    if (p.visionMode != 0 && !VisionCentreHead(m, p, true)) return Outcome::Early;
    if (!p.failed) {
      m.link.vacuumCheckOk = true;
      if (!PlacePart(m, p, k, true, raw, cx, cy) || !PauseGate(m)) return Outcome::Early;
      VacuumCheck(m, p, sel);
    }
    if (p.failedRow == -1 && !p.failed) return Outcome::EndMoves;
    const bool vision = p.failed != 0;
    if (!vision) TheMachine(m).SetOutput(smt::link::HeadCode(k), 0, 5);
    const std::string q = vision ? RunText(m, "PartList.c_Message_46", "视觉识别失败 ! 是-跳过，否-停止，取消-重试")
                                 : RunText(m, "PartList.c_Message_45", "真空检测失败 ! 是-跳过，否-停止，取消-重试");
    m.machineBusy = false;
    const MsgAnswer a = ShowMessage(q, smt::platform::MsgButtons::YesNoCancel, smt::platform::MsgIcon::Question);
    m.machineBusy = true;
    if (a == MsgAnswer::Cancel || a == MsgAnswer::Yes) {
      if (!DiscardPart(m, p)) {
        p.row = -1;
        p.failed = 0;
        return Outcome::Early;
      }
      if (a == MsgAnswer::Yes) {
        p.failedRow = -1;
        p.failed = 0;
        return Outcome::EndMoves;
      }
      p.failedRow = row;
      p.failed = 0;
      continue;
    }
    if (a == MsgAnswer::No) {
      if (m.run.autoChangeNozzle)
        for (int h : ReturnHeads(st, false))
          if (!smt::library::ReturnNozzleToLibrary(m, h, true, false)) return Outcome::Early;
      const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::Reset);
      if (TheMachine(m).MoveGantry(1000 - m.curX, Speed(sp[0]), -1000 - m.curY, Speed(sp[1]), smt::link::GantryMove::Checked) &&
          PauseGate(m)) {
        if (auto v = Services(m).vision.Get()) v->OpenMarkCamera();
        m.resetDone = false;
        if (Services(m).startHome) Services(m).startHome();
      }
      return Outcome::OperatorEnd;
    }
    p.failedRow = -1;
    p.failed = 0;
    return Outcome::EndMoves;
  }
}

Outcome RunEightHeads(smt::Machine& m) {
  auto& s = Services(m);
  const SmtStrategy st = Strategy(m);
  const RunBoard board = s.board ? s.board() : RunBoard{};
  const RunSelectors sel = Selectors(m);
  const bool transport = s.autoTransport && s.autoTransport();
  RunRows(m) = s.placementRows ? s.placementRows() : std::vector<PlacementRow>{};
  const int count = static_cast<int>(RunRows(m).size());
  const int heads = std::min(std::max(static_cast<int>(m.headCount), 1), 8);
  if (auto d = Display(m)) d->Progress(0, count);
  ResetHeadRecords(m);
  m.run.activeList = 1;
  ShowRunList(m, 1);
  m.run.autoChangeNozzle = st.m_AutoChangeNozzle != 0;
  int last = sel.fromCurrentSmt ? ChosenRow(m, smt::job::RowKind::Placement) - 1 : -1;
  const int group = CurrentFeederGroup(m);
  if (group < 0) {
    ShowMessage(RunText(m, "PartList.c_Message_20", "没有找到料架组 !"));
    return Outcome::Early;
  }
  auto& f = Frame(m);
  f.marksOn = board.marksOn;
  f.marksPerCell = board.marksOn && board.marksPerCell;
  f.mark1mmX = board.mark1X;
  f.mark1mmY = board.mark1Y;
  f.mark2mmX = board.mark2X;
  f.mark2mmY = board.mark2Y;
  auto setOrigin = [&](double ox, double oy) {
    f.originX = static_cast<int32_t>(ox * m.steps.xPulsePerMm);
    f.originY = static_cast<int32_t>(oy * m.steps.yPulsePerMm);
    f.mark1X = static_cast<int32_t>((board.mark1X + ox) * m.steps.xPulsePerMm);
    f.mark1Y = static_cast<int32_t>((board.mark1Y + oy) * m.steps.yPulsePerMm);
  };
  setOrigin(board.originX, board.originY);
  if (auto v = s.vision.Get()) v->OpenMarkCamera();
  const bool batch = st.m_TogetherCode != 0;
  int boardsDone = 0;
  for (;;) {
    if (transport) {
      auto& e = st.m_RunSelect == 2 ? m.run.dispenseDoneEvent : m.run.boardReadyEvent;
      const auto r = WaitRunEvent(m, e, Timeouts(m).board);
      if (r == WaitResult::TimedOut) ShowMessage(smt::platform::WindowText("RunMessagesConfig", "RunMessages.c_BoardWaitTimeout", "等待 PCB 板超时 !"));
      if (r != WaitResult::Signalled) return Outcome::Early;
      m.run.activeList = 1;
    }
    m.correction.boardRotation = 0.0;
    if (board.marksOn && !board.marksPerCell && !(TakeMarksMeasured(m)) &&
        !AlignMarks(m))
      return Outcome::Early;
    for (int r = 0; r < board.panelRows; ++r) {
      for (int c = 0; c < board.panelCols; ++c) {
        const double cx = c * board.colPitch, cy = r * board.rowPitch;
        if (auto d = Display(m)) d->PanelLabel(r, c, -1);
        if (board.CellSkipped(r, c)) continue;
        if (board.marksOn && board.marksPerCell) {
          setOrigin(board.originX + cx, board.originY + cy);
          m.correction.boardRotation = 0.0;
          if (!(TakeMarksMeasured(m))) {
            TheMachine(m).TriggerCamera(1, s.lightValue ? s.lightValue() : 0);
            if (!AlignMarks(m)) return Outcome::Early;
          }
        }
        const bool raw = f.marksPerCell;
        for (;;) {
          // Assignment.
          m.run.cycleHeads = 0;
          bool endScan = false;
          for (int k = 1; k <= heads && !endScan; ++k) {
            auto& pk = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)];
            int prev = k == 1 ? last : m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 2)].row;
            if (prev < 0 && k > 1) prev = last;
            pk.row = prev + 1;
            const int res = NextRow8(m, pk.row, count, k);
            if (res == 1) {
              ++m.run.cycleHeads;
              last = pk.row;
            } else {
              if (k == 1 && (res == 0 || sel.selectedSmt) && sel.Placement()) {
                m.run.boardDoneEvent.Set();
                return Outcome::EndMoves;
              }
              for (int j = k; j <= heads; ++j) {
                m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(j - 1)].row = -1;
                m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(j - 1)].nozzleTarget = 0;
              }
              // Outside the travel (2) the later heads try the same row.
              if (res == 0) endScan = true;
            }
          }
          bool any = false;
          for (const auto& pk : m.Part<smt::run::HeadRecords>().pick) any = any || pk.row != -1;
          if (!any) {
            last = -1;
            if (auto d = Display(m)) d->Progress(0, count);
            if (auto d = Display(m)) d->ResetRowStates(smt::job::RowKind::Placement);
            if (!PauseGate(m)) return Outcome::Early;
            break;
          }
          if (m.run.autoChangeNozzle)
            for (int k = 1; k <= 8; ++k) {
              auto& pk = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)];
              if (pk.row == -1) continue;
              if (!ChangeNozzle(m, pk.headTarget, pk.nozzleTarget)) return Outcome::Early;
              m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)].headTarget = pk.headTarget;
              m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)].nozzleTarget = pk.nozzleTarget;
            }
          if (!m.runContinue) return Outcome::Early;
          TurnHeadsBack(m);
          for (int k = 1; k <= 8; ++k) {
            auto& pk = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)];
            auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
            if (pk.row == -1) continue;
            if (auto d = Display(m)) d->ShowRow(pk.row + 3);
            if (!PreparePickPlace(m, group, pl, k)) return Outcome::Early;
            if (batch) continue;
            if (k > 1 && m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 2)].row != -1)
              AlignHeadSpeeds(m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 2)], pl);
            if (!MoveHeadsToPick(m, pk, pl)) return Outcome::Early;
            for (auto& a : m.motion.headMoveArgs) a = 0;
            if (!PauseGate(m)) return Outcome::Early;
          }
          if (batch && !SendBatchPick(m)) return Outcome::Early;
          LogRotationAngles(m, &RunRows(m));
          m.run.firstVisionDone = false;
          // Vision.
          const int visionHeads = st.m_HeaderSelect <= 0 ? 1 : st.m_HeaderSelect <= 2 ? 2 : st.m_HeaderSelect <= 5 ? 4 : 8;
          const bool fly = FlyVisionAvailable(m);
          bool flyDone = false;
          for (auto& pl : m.Part<smt::run::HeadRecords>().place) pl.visionPath = 0;
          if (st.m_HeaderSelect >= 1 && fly) {
            for (int k = 1; k <= 8; ++k) {
              const auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
              if (pl.row != -1 && pl.visionCamera == 1 && pl.visionMode == 2) {
                if (!Services(m).vision->FlyVisionAllHeads()) return Outcome::Early;
                flyDone = true;
                for (auto& f : m.Part<smt::run::HeadRecords>().place)
                  if (f.row != -1 && f.visionCamera == 1 && f.visionMode == 2) f.visionPath = 2;
                m.run.firstVisionDone = true;
                break;
              }
            }
          }
          for (int k = 1; k <= visionHeads; ++k) {
            auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
            if (pl.row == -1 || pl.visionMode == 0) continue;
            if (flyDone && pl.visionCamera == 1 && pl.visionMode == 2) continue;
            pl.visionPath = 1;
            if (!VisionCentreHead(m, pl, false)) return Outcome::Early;
          }
          if (m.camera.highSpeedCamera == 0) TheMachine(m).TriggerCamera(1, s.lightValue ? s.lightValue() : 0);
          // Place.
          Batch(m) = {};
          Batch(m).active = batch;
          for (int k = 1; k <= 8; ++k) {
            auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
            if (pl.row == -1 || pl.failed) continue;
            m.link.vacuumCheckOk = true;
            if (!PlacePart(m, pl, k, true, raw, cx, cy) || !PauseGate(m)) return Outcome::Early;
            if (!batch) VacuumCheck(m, pl, sel);
          }
          if (batch) {
            if (!SendBatchPlace(m) || !m.runContinue) return Outcome::Early;
            for (auto& pl : m.Part<smt::run::HeadRecords>().place)
              if (pl.row != -1 && !pl.failed) VacuumCheck(m, pl, sel);
          }
          Batch(m) = {};
          for (auto& pl : m.Part<smt::run::HeadRecords>().place)
            if (pl.row != -1 && (pl.failedRow != -1 || pl.failed) && !DiscardPart(m, pl)) return Outcome::Early;
          for (int k = 1; k <= 8; ++k) {
            auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
            if (pl.row == -1 || (pl.failedRow == -1 && !pl.failed)) continue;
            const Outcome o = Repair(m, k, group, st, sel, raw, cx, cy);
            if (o != Outcome::EndMoves) return o;
          }
          if (!MoveToSafePosition(m)) return Outcome::Early;
          if (auto d = Display(m)) d->Progress(m.Part<smt::run::HeadRecords>().place[0].row, count);
          for (int k = 1; k <= 8; ++k) {
            auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
            if (m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)].row != -1) {
              ++PartList(m).run.m_nPlacedCount;
              if (pl.row != -1) LogPlacement(pl, k);
            }
            pl.row = -1;
            pl.failedRow = -1;
            pl.failed = 0;
          }
        }
      }
    }
    ++boardsDone;
    if (!VisionOriginAfterBoard(m)) return Outcome::Early;
    if (auto d = Display(m)) d->PanelLabel(0, 0, boardsDone);
    if (!transport) break;
    const int left = (s.boardCount ? s.boardCount() : 1) - 1;
    if (s.setBoardCount) s.setBoardCount(left);
    if (s.moveBetweenSetPoints && !s.moveBetweenSetPoints()) return Outcome::Early;
    if (st.m_RunSelect == 2) m.run.placeDoneEvent.Set();
    m.run.boardDoneEvent.Set();
    if (left <= 0) break;
  }
  return Outcome::EndMoves;
}

bool EightHeadEndMoves(smt::Machine& m) {
  const SmtStrategy st = Strategy(m);
  if (m.run.autoChangeNozzle)
    for (int h : ReturnHeads(st, true))
      if (!smt::library::ReturnNozzleToLibrary(m, h, true, false)) return false;
  if (!m.runContinue) return false;
  return ParkAndHome(m);
}

}  // namespace

void EightHeadRunThreadProc(smt::Machine& m) {
  SmtBusy(m) = 1;
  if (auto d = Display(m)) d->EnableRunWindows(false);
  const Outcome o = RunEightHeads(m);
  Batch(m) = {};
  const bool finished = o == Outcome::EndMoves && EightHeadEndMoves(m) && m.runContinue;
  FinishRun(m, finished);
}

}  // namespace smt::run
