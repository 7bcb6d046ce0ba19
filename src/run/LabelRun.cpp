// The labeling machine's run: two heads, parts from label paper (feeders)
// or from a glass sheet moved piece by piece over the ejector pin; failed
// parts are retried by the same head with the same rows.
#include <cstdlib>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "link/LinkGlobals.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/ProcessCommands.h"
#include "platform/MessageService.h"
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

namespace smt::run {

namespace {

using smt::platform::ShowMessage;

int NextRowL(smt::Machine& m, int& row, int count, int slot, int requested) {
  auto& s = Services(m);
  if (s.nextPlaceRow) return s.nextPlaceRow(row, count, slot, requested);
  const auto& rows = RunRows(m);
  for (; row < count && row < static_cast<int>(rows.size()); ++row)
    if (rows[static_cast<size_t>(row)].place)
      return CalcFeederPickTarget(m, slot, requested, rows[static_cast<size_t>(row)].feeder);
  return 0;
}

// The next piece of the glass sheet over the ejector pin.
bool SheetToPin(smt::Machine& m, std::vector<std::pair<int, int>>& points) {
  const std::shared_ptr<LabelingStation> station = Services(m).labeling.Take();
  if (points.empty()) points = station->RecognizeGlass();
  if (points.empty()) return false;
  LabelSettings l = station->Settings();
  const auto [px, py] = points.back();
  const double zoom = l.visualZoom > 0 ? l.visualZoom : 1;
  const double x = l.startX + l.serialX * l.distanceX - px / zoom;
  const double y = l.startY - l.serialY * l.distanceY + py / zoom;
  const auto pulse = smt::settings::SettingsStores::Of(m).machine.Pulse();
  const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::PickPart);
  if (!TheMachine(m).MoveLabelSheet(static_cast<int32_t>(x * pulse->m_NorthWalk_Pulse) - m.motion.curAxis9,
                                   static_cast<int32_t>(y * pulse->m_WestWalk_Pulse) - m.motion.curAxis8, Speed(sp[10])))
    return false;
  points.pop_back();
  if (points.empty()) station->SetSerialX(l.serialX + 1);
  return PauseGate(m);
}

bool PickHead(smt::Machine& m, int k, int group, bool glass, std::vector<std::pair<int, int>>& points) {
  auto& s = Services(m);
  auto& pk = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)];
  auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
  if (glass) {
    if (!SheetToPin(m, points)) return false;
    if (k == 2) {
      const LabelSettings l = s.labeling->Settings();
      if (!RunSleep(m, l.checkTimes)) return false;
    }
  }
  for (size_t i = 0; i < 8; ++i) m.motion.headMoveArgs[i] = -m.curA[i];
  if (!PreparePickPlace(m, group, pl, k)) return false;
  if (k == 2 && m.Part<smt::run::HeadRecords>().pick[0].row != -1) AlignHeadSpeeds(m.Part<smt::run::HeadRecords>().place[0], pl);
  if (glass) {
    const std::shared_ptr<LabelingStation> station = s.labeling.Take();
    const LabelSettings l = station->Settings();
    pl.pickX = l.thimbleX;
    pl.pickY = l.thimbleY;
    if (!station->MoveHeadToThimble(k) || !PauseGate(m)) return false;
    return station->RunPickSequence(k) && PauseGate(m);
  }
  if (!FeedAdvance(m, pk, false) || !MoveHeadToPick(m, pl)) return false;
  for (auto& a : m.motion.headMoveArgs) a = 0;
  if (!PauseGate(m)) return false;
  return PickPart(m, pl);
}

bool RunLabels(smt::Machine& m) {
  auto& s = Services(m);
  const SmtStrategy st = Strategy(m);
  const RunBoard board = s.board ? s.board() : RunBoard{};
  const RunSelectors sel = Selectors(m);
  RunRows(m) = s.placementRows ? s.placementRows() : std::vector<PlacementRow>{};
  const int count = static_cast<int>(RunRows(m).size());
  if (auto d = Display(m)) d->Progress(0, count);
  ResetHeadRecords(m);
  const int startRow = sel.fromCurrentSmt ? ChosenRow(m, smt::job::RowKind::Placement) : 0;
  const int group = CurrentFeederGroup(m);
  if (group < 0) {
    ShowMessage(RunText(m, "PartList.c_Message_20", "没有找到料架组 !"));
    return false;
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
  const bool glass = s.labeling->Settings().glassSheets == 0;
  const int heads = std::min(std::max(static_cast<int>(m.headCount), 1), 2);
  std::vector<std::pair<int, int>> points;
  int boardsLeft = std::max(s.boardCount ? s.boardCount() : 1, 1), done = 0;
  while (boardsLeft > 0) {
    if (!m.runContinue) return false;
    m.correction.mark1DevStepsX = m.correction.mark1DevStepsY = 0;
    if (board.marksOn && !board.marksPerCell && !(TakeMarksMeasured(m)) &&
        !AlignMarks(m))
      return false;
    for (int r = 0; r < board.panelRows; ++r)
      for (int c = 0; c < board.panelCols; ++c) {
        const double cx = c * board.colPitch, cy = r * board.rowPitch;
        if (auto d = Display(m)) d->PanelLabel(r, c, -1);
        if (board.CellSkipped(r, c)) continue;
        if (board.marksOn && board.marksPerCell) {
          setOrigin(board.originX + cx, board.originY + cy);
          if (!(TakeMarksMeasured(m)) && !AlignMarks(m))
            return false;
        }
        m.Part<smt::run::HeadRecords>().pick[0].row = startRow;
        int retry = 0;
        for (;;) {
          if (retry == 0) {
            auto& h1 = m.Part<smt::run::HeadRecords>().pick[0];
            int res = NextRowL(m, h1.row, count, 1, 0);
            bool alone = false;
            for (int h = 2; res == 2 && h <= heads; ++h) {
              res = NextRowL(m, h1.row, count, 1, h);
              alone = res != 2;
            }
            if (res != 1 && !(alone && res != 0)) {
              for (auto& p : m.Part<smt::run::HeadRecords>().pick) p.row = -1;
              break;
            }
            m.run.cycleHeads = 1;
            m.Part<smt::run::HeadRecords>().pick[1].row = -1;
            if (heads > 1 && !alone) {
              m.Part<smt::run::HeadRecords>().pick[1].row = h1.row + 1;
              if (NextRowL(m, m.Part<smt::run::HeadRecords>().pick[1].row, count, 2, 0) == 1) m.run.cycleHeads = 2;
              else m.Part<smt::run::HeadRecords>().pick[1].row = -1;
            }
          }
          if (!m.runContinue) return false;
          if (auto d = Display(m)) d->ShowRow(m.Part<smt::run::HeadRecords>().pick[0].row + 3);
          for (int k = 1; k <= 2; ++k) {
            if (m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)].row == -1) continue;
            if ((retry == 2 && k == 1) || (retry == 1 && k == 2)) continue;
            if (!PickHead(m, k, group, glass, points)) return false;
          }
          LogRotationAngles(m, &RunRows(m));
          m.run.firstVisionDone = false;
          for (int k = 1; k <= (st.m_HeaderSelect == 0 ? 1 : 2); ++k) {
            auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
            if (pl.row != -1 && pl.visionMode != 0 && !VisionCentreHead(m, pl, false)) return false;
          }
          if (m.camera.highSpeedCamera == 0) TheMachine(m).TriggerCamera(1, s.lightValue ? s.lightValue() : 0);
          for (int k = 1; k <= 2; ++k) {
            auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
            if (pl.row == -1 || pl.failed || (retry == 2 && k == 1) || (retry == 1 && k == 2)) continue;
            if (!PlacePart(m, pl, k, true, f.marksPerCell, cx, cy) || !PauseGate(m)) return false;
            m.link.vacuumCheckOk = true;
            PlaceStroke(m, pl, 0.0);
            if (m.link.vacuumCheckOk) {
              RowState(m, pl.row, 6, false);
            } else {
              pl.failedRow = pl.row;
              RowState(m, pl.row, 7, false);
            }
            if (!PauseGate(m)) return false;
          }
          for (auto& pl : m.Part<smt::run::HeadRecords>().place)
            if (pl.row != -1 && (pl.failedRow != -1 || pl.failed) && !DiscardPart(m, pl)) return false;
          const bool f1 = m.Part<smt::run::HeadRecords>().place[0].row != -1 && (m.Part<smt::run::HeadRecords>().place[0].failedRow != -1 || m.Part<smt::run::HeadRecords>().place[0].failed);
          const bool f2 = m.Part<smt::run::HeadRecords>().place[1].row != -1 && (m.Part<smt::run::HeadRecords>().place[1].failedRow != -1 || m.Part<smt::run::HeadRecords>().place[1].failed);
          retry = f1 ? (f2 ? 3 : 1) : (f2 ? 2 : 0);
          if (auto d = Display(m)) d->Progress(m.Part<smt::run::HeadRecords>().pick[0].row, count);
          for (auto& pl : m.Part<smt::run::HeadRecords>().place) {
            pl.row = -1;
            pl.failedRow = -1;
            pl.failed = 0;
          }
          if (retry == 0) {
            const int last = m.Part<smt::run::HeadRecords>().pick[1].row != -1 ? m.Part<smt::run::HeadRecords>().pick[1].row : m.Part<smt::run::HeadRecords>().pick[0].row;
            m.Part<smt::run::HeadRecords>().pick[0].row = last + 1;
            if (m.Part<smt::run::HeadRecords>().pick[0].row >= count) break;
          }
        }
        if (auto d = Display(m)) d->ResetRowStates(smt::job::RowKind::Placement);
        if (!PauseGate(m)) return false;
      }
    --boardsLeft;
    ++done;
    if (s.setBoardCount) s.setBoardCount(boardsLeft);
    if (auto d = Display(m)) d->PanelLabel(0, 0, done);
  }
  if (!m.runContinue) return false;
  const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::Smt);
  if (!TheMachine(m).MoveGantry(1000 - m.curX, Speed(sp[0]), -1000 - m.curY, Speed(sp[1]), smt::link::GantryMove::Checked) ||
      !PauseGate(m))
    return false;
  if (auto v = s.vision.Get()) v->OpenMarkCamera();
  m.resetDone = false;
  if (s.startHomeMode) s.startHomeMode(4);
  return true;
}

}  // namespace

void LabelRunThreadProc(smt::Machine& m) {
  SmtBusy(m) = 1;
  if (auto d = Display(m)) d->EnableRunWindows(false);
  const bool finished = RunLabels(m);
  FinishRun(m, finished);
}

}  // namespace smt::run
