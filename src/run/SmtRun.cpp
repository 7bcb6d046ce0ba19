// The placement run of the machines with up to four heads per cycle: boards,
// panel cells, and within a cell the placement list in cycles of one part
// per head.
#include <algorithm>
#include <cstdlib>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "feeder/FeederTable.h"
#include "job/BoardGeometry.h"
#include "library/NozzleChange.h"
#include "link/LinkGlobals.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
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
#include "platform/RefusalTexts.h"
#include "platform/SystemText.h"

namespace smt::run {

namespace {

using smt::platform::ShowMessage;

inline constexpr smt::platform::SystemText kFeedTimeOut{"RunMessagesConfig", "RunMessages.c_FeedTimeOut", "Feed time out !"};
inline constexpr smt::platform::SystemText kBoardTimeOut{"RunMessagesConfig", "RunMessages.c_BoardWaitTimeout", "Board wait time out !"};

struct CellRun {
  int rowCount = 0;
  int group = 0;
  int heads = 1;  // heads per cycle, at most 4
  bool selector = false;
  bool endOfCell = false;
};

// One run of the placement thread on the machine it was started for.
class SmtRun {
 public:
  explicit SmtRun(smt::Machine& machine) : m(machine) {}

// The part list's next-row search, or the run's own over the row snapshot.
int NextRow(int& row, int count, int slot, int requested) {
  auto& s = Services(m);
  if (s.nextPlaceRow) return s.nextPlaceRow(row, count, slot, requested);
  const auto& rows = RunRows(m);
  for (; row < count && row < static_cast<int>(rows.size()); ++row)
    if (rows[static_cast<size_t>(row)].place)
      return CalcFeederPickTarget(m, slot, requested, rows[static_cast<size_t>(row)].feeder);
  return 0;
}

void AllIdle() {
  for (auto& p : m.Part<smt::run::HeadRecords>().pick) p.row = -1;
  m.run.cycleHeads = 0;
}

// Head 1's search (with the repeats for other proposed heads), then heads
// 2..N in turn. False when no row was found for head 1.
bool AssignCycle(CellRun& c) {
  auto& h1 = m.Part<smt::run::HeadRecords>().pick[0];
  int r = NextRow(h1.row, c.rowCount, 1, 0);
  bool aloneThisCycle = false;
  if (r == 2) {
    for (int h = 2; h <= m.headCount && r == 2; ++h) r = NextRow(h1.row, c.rowCount, 1, h);
    if (r == 2) r = 0;
    else aloneThisCycle = true;
  }
  if (r == 0) {
    AllIdle();
    return false;
  }
  m.run.cycleHeads = 1;
  if (aloneThisCycle) {
    for (int k = 2; k <= 4; ++k) m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)].row = -1;
    return true;
  }
  for (int k = 2; k <= c.heads; ++k) {
    auto& rec = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)];
    rec.row = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 2)].row + 1;
    const int res = NextRow(rec.row, c.rowCount, k, 0);
    if (res != 1) {
      for (int j = k; j <= 4; ++j) m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(j - 1)].row = -1;
      m.run.cycleHeads = k - 1;
      return true;
    }
    m.run.cycleHeads = k;
  }
  for (int j = c.heads + 1; j <= 4; ++j) m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(j - 1)].row = -1;
  return true;
}

bool WaitOrFail(smt::platform::Event& e, std::chrono::milliseconds limit, const std::string& timeoutText) {
  switch (WaitRunEvent(m, e, limit)) {
    case WaitResult::Signalled: return true;
    case WaitResult::Stopped: return false;
    case WaitResult::TimedOut:
      ShowMessage(timeoutText);
      return false;
  }
  return false;
}

// A failed feed ends the wait at once, told by the command that failed.
bool FeedReadyOrFail(int head) {
  switch (WaitFeedReady(m, head)) {
    case WaitResult::Signalled: return true;
    case WaitResult::Stopped: return false;
    case WaitResult::TimedOut:
      ShowMessage(kFeedTimeOut);
      return false;
  }
  return false;
}

bool EndMoves(const SmtStrategy& st) {
  if (m.run.autoChangeNozzle) {
    std::vector<int> heads;
    switch (st.m_HeaderSelect) {
      case 0: heads = {1}; break;
      case 1: heads = {1, 2}; break;
      case 2: heads = st.m_ChangeNozzleSelect == 1 ? std::vector<int>{2}
                      : st.m_ChangeNozzleSelect == 2 ? std::vector<int>{1} : std::vector<int>{1, 2}; break;
      case 3: case 4: heads = {1, 2, 3, 4}; break;
      default: break;
    }
    for (int h : heads)
      if (!smt::library::ReturnNozzleToLibrary(m, h, true, false)) return false;
  }
  if (!m.runContinue) return false;
  const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::Smt);
  if (!TheMachine(m).MoveGantry(1000 - m.curX, Speed(sp[0]), -1000 - m.curY, Speed(sp[1]), smt::link::GantryMove::Checked))
    return false;
  if (!PauseGate(m)) return false;
  const auto pick = smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::PickPart);
  if (m.motion.curAxis8 != 0) TheMachine(m).MoveAxis(8, -1000 - m.motion.curAxis8, Speed(pick[8]));
  if (m.motion.curAxis9 != 0) TheMachine(m).MoveAxis(9, 1000 - m.motion.curAxis9, Speed(pick[10]));
  if (m.motion.curAxis10 != 0) TheMachine(m).MoveAxis(10, -1000 - m.motion.curAxis10, Speed(pick[12]));
  if (auto v = Services(m).vision.Get()) v->OpenMarkCamera();
  if (Services(m).startHome) Services(m).startHome();
  return true;
}

bool VisionPass(const SmtStrategy& st) {
  auto qualifies = [this](int k) {
    const auto& p = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
    return p.row != -1 && p.visionMode == 2 && p.visionCamera == 1;
  };
  auto one = [this](int k) {
    auto& p = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
    p.visionPath = 0;
    if (p.row == -1 || p.visionMode == 0) return true;
    p.visionPath = 1;
    return VisionCentreHead(m, p, false);
  };
  const bool fly = FlyVisionAvailable(m);
  int last = 1;
  switch (st.m_HeaderSelect) {
    case 0: case -1: last = 1; break;
    case 1: case 2: last = 2; break;
    default: last = 4; break;
  }
  if (fly && (st.m_HeaderSelect >= 1 && st.m_HeaderSelect <= 4)) {
    bool all = true;
    for (int k = 1; k <= last; ++k) all = all && qualifies(k);
    if (all) {
      for (int k = 1; k <= last; ++k) m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)].visionPath = 2;
      return Services(m).vision->FlyVisionAllHeads();
    }
  }
  for (int k = 1; k <= last; ++k)
    if (!one(k)) return false;
  return true;
}

// Advances the cover tape after a cycle. `closed` is set when the tape was
// closed out (the run then ends normally).
bool CoverStep(const SmtStrategy& st, bool& closed) {
  CoverSettings& cv = RunCover(m);
  const int factor = 1 + (st.m_HeaderSelect != 0 ? 1 : 0);
  const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::Smt);
  if (!TheMachine(m).MoveAxis(14, factor * cv.stepPulse, Speed(sp[14]))) return false;
  auto save = [&] {
    if (Services(m).saveCoverCounters) Services(m).saveCoverCounters(cv.totalCount, cv.count);
  };
  if (cv.onceTotal > 0 && cv.count >= cv.onceTotal) {
    TheMachine(m).SetOutput(8, 1, 5);
    const bool sealed = RunSleep(m, cv.delayMs);
    TheMachine(m).SetOutput(8, 0, 5);  // the sealing stroke ends also when stopped
    if (!sealed) return false;
    cv.count -= cv.onceTotal;
    save();
  }
  if (cv.coverTotal > 0 && cv.totalCount >= cv.coverTotal) {
    int remaining = cv.onceTotal - cv.count;
    int blank = cv.blankTotal;
    do {
      for (int i = 0; i < 2; ++i) {
        if (!TheMachine(m).MoveAxis(14, (cv.stepPulse * remaining) / 2, {1, 2}) || !RunSleep(m, 100)) return false;
      }
      TheMachine(m).SetOutput(8, 1, 5);
      const bool sealed = RunSleep(m, cv.delayMs);
      TheMachine(m).SetOutput(8, 0, 5);
      if (!sealed || !RunSleep(m, 100)) return false;
      blank -= cv.onceTotal;
      remaining = cv.onceTotal;
    } while (blank >= 0 && cv.onceTotal > 0);
    cv.totalCount = cv.count = 0;
    save();
    closed = true;
  }
  return true;
}

// One panel cell. Returns false when the run must end early; `stopAll` is
// set when the run is to finish with its end moves.
bool RunCell(CellRun& c, const SmtStrategy& st, double cellX, double cellY, bool& finishNow) {
  auto& s = Services(m);
  const CoverSettings& cv = RunCover(m);
  const std::string name0402 = FeedModeNames(m)[4];
  if (!AssignCycle(c)) {
    if (!c.selector) {
      finishNow = false;
      return false;
    }
    m.run.boardDoneEvent.Set();
    finishNow = true;
    return true;
  }
  m.run.feedRequestEvent.Set();
  c.endOfCell = false;
  while (!c.endOfCell) {
    m.run.firstVisionDone = false;
    // Nozzles.
    if (m.run.autoChangeNozzle) {
      for (int k = 1; k <= 4; ++k) {
        auto& pk = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)];
        if (pk.row == -1) continue;
        if (!ChangeNozzle(m, pk.headTarget, pk.nozzleTarget)) return false;
        m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)].headTarget = pk.headTarget;
        m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)].nozzleTarget = pk.nozzleTarget;
      }
    }
    if (!m.runContinue) return false;
    if (auto d = Display(m)) d->ShowRow(m.Part<smt::run::HeadRecords>().pick[0].row + 3);
    // Pick.
    for (int k = 1; k <= 4; ++k) {
      auto& pk = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)];
      auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
      if (pk.row == -1) continue;
      if (k == 1)
        for (size_t i = 0; i < 8; ++i) m.motion.headMoveArgs[i] = -m.curA[i];
      if (!PreparePickPlace(m, c.group, pl, k)) return false;
      if (k >= 2 && m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 2)].row != -1)
        AlignHeadSpeeds(m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 2)], pl);
      // Drag-pin feeding works on the run thread's own copy of the record.
      if (k == 1 && pk.feedMode == 6 && !DragFeed(m, pl.pick)) return false;
      const bool moved = MoveHeadToPick(m, pl);
      if (k == 1)
        for (auto& a : m.motion.headMoveArgs) a = 0;
      if (!moved || !PauseGate(m)) return false;
      if (!FeedReadyOrFail(k)) return false;
      if (!PauseGate(m)) return false;
      if (!PickPart(m, pl)) return false;
      // The next head's "0402" pocket count is read again now, after this
      // head's preparation may have turned the pocket and before the next
      // head's preparation turns it again; the feeder thread feeds that head
      // with it once this head's picked event is set.
      if (k < 4) {
        auto& next = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k)];
        if (next.row != -1 && next.feedModeText == name0402)
          if (auto fr = FeederRecordAt(m, next.groupIndex, next.rowIndex)) next.feedCount = fr->feedCount;
      }
      SignalHeadPicked(m, k);
    }
    LogRotationAngles(m, &RunRows(m));
    // Vision.
    if (!VisionPass(st)) return false;
    if (m.camera.highSpeedCamera == 0) TheMachine(m).TriggerCamera(1, s.lightValue ? s.lightValue() : 0);
    // The next cycle's parts are assigned now, so feeding overlaps placing.
    if (st.m_Cover && cv.totalCount + 1 + (st.m_HeaderSelect != 0 ? 1 : 0) >= cv.coverTotal) {
      m.Part<smt::run::HeadRecords>().pick[0].row = -1;
      c.endOfCell = true;
    } else {
      int last = -1;
      for (int k = 4; k >= 2 && last < 0; --k)
        if (m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)].row != -1) last = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)].row;
      m.Part<smt::run::HeadRecords>().pick[0].row = (last >= 0 ? last : m.Part<smt::run::HeadRecords>().pick[0].row) + 1;
      if (m.Part<smt::run::HeadRecords>().pick[0].row >= c.rowCount) {
        AllIdle();
        c.endOfCell = true;
      } else if (!AssignCycle(c)) {
        c.endOfCell = true;
      }
    }
    if (!c.endOfCell) m.run.feedRequestEvent.Set();
    // Place.
    for (int k = 1; k <= 4; ++k) {
      auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
      if (pl.row == -1 || pl.failedRow != -1 || pl.failed) continue;
      if (!PlacePart(m, pl, k, true, Frame(m).marksPerCell, cellX, cellY)) return false;
      if (!PauseGate(m)) return false;
      m.link.vacuumCheckOk = true;
      PlaceStroke(m, pl, 0.0);
      if (m.link.vacuumCheckOk) {
        pl.failedRow = -1;
        RowState(m, pl.row, 6, false);
        ++PartList(m).run.m_nPlacedCount;
        LogPlacement(pl, k);
        if (k <= 2) CountCoverPart(m);
      } else {
        pl.failedRow = pl.row;
        RowState(m, pl.row, 7, false);
      }
      if (!PauseGate(m)) return false;
    }
    // Failures.
    for (int k = 1; k <= 4; ++k) {
      auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
      if ((pl.failedRow != -1 || pl.failed) && pl.row != -1 && !DiscardPart(m, pl)) return false;
    }
    for (int k = 1; k <= 4; ++k) {
      auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
      if (pl.row != -1 && !ReplenishHead(m, pl, k, cellX, cellY)) return false;
    }
    if (!MoveToSafePosition(m)) return false;
    if (auto d = Display(m)) d->Progress(m.Part<smt::run::HeadRecords>().place[0].row, c.rowCount);
    for (auto& p : m.Part<smt::run::HeadRecords>().place) {
      p.row = -1;
      p.failedRow = -1;
      p.failed = 0;
    }
    if (st.m_Cover) {
      bool closed = false;
      if (!CoverStep(st, closed)) return false;
      if (closed) {
        finishNow = true;
        return true;
      }
    }
  }
  if (auto d = Display(m)) d->Progress(0, c.rowCount);
  if (auto d = Display(m)) d->ResetRowStates(smt::job::RowKind::Placement);
  return PauseGate(m);
}

void SetCellOrigin(double ox, double oy, const RunBoard& b) {
  auto& f = Frame(m);
  f.originX = static_cast<int32_t>(ox * m.steps.xPulsePerMm);
  f.originY = static_cast<int32_t>(oy * m.steps.yPulsePerMm);
  f.mark1X = static_cast<int32_t>((b.mark1X + ox) * m.steps.xPulsePerMm);
  f.mark1Y = static_cast<int32_t>((b.mark1Y + oy) * m.steps.yPulsePerMm);
}

// The body of the run; returns how it ended: 1 finished (end moves), 0 early.
bool RunBoards() {
  auto& s = Services(m);
  const SmtStrategy st = Strategy(m);
  const RunBoard board = s.board ? s.board() : RunBoard{};
  const RunSelectors sel = Selectors(m);
  const bool transport = s.autoTransport && s.autoTransport();
  // The cover-tape counters are read from the cover-tape page now and
  // written back after every change.
  RunCover(m) = CoverSettings{};
  if (st.m_Cover) {
    if (!s.cover) {
      CLogFile::Instance().Write(true, "smt run: cover tape on but no cover-tape settings connected");
      ShowMessage(smt::platform::WindowText("RunMessagesConfig", "RunMessages.c_CoverNotConnected", "盖带设置没有连接 !"));
      return false;
    }
    RunCover(m) = s.cover();
  }
  if (auto d = Display(m)) d->CoverCount(0);
  CellRun c;
  RunRows(m) = s.placementRows ? s.placementRows() : std::vector<PlacementRow>{};
  c.rowCount = static_cast<int>(RunRows(m).size());
  c.heads = std::min(std::max(static_cast<int>(m.headCount), 1), 4);
  c.selector = sel.Placement();
  if (auto d = Display(m)) d->Progress(0, c.rowCount);
  ResetHeadRecords(m);
  m.run.activeList = 1;
  m.run.autoChangeNozzle = st.m_AutoChangeNozzle != 0;
  if (sel.fromCurrentSmt) m.Part<smt::run::HeadRecords>().pick[0].row = ChosenRow(m, smt::job::RowKind::Placement);
  else m.Part<smt::run::HeadRecords>().pick[0].row = 0;
  c.group = CurrentFeederGroup(m);
  if (c.group < 0) {
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
  SetCellOrigin(board.originX, board.originY, board);
  if (auto v = s.vision.Get()) v->OpenMarkCamera();
  int boardsDone = 0;
  const int startRow = m.Part<smt::run::HeadRecords>().pick[0].row;
  for (;;) {
    if (transport) {
      auto& e = st.m_RunSelect == 2 ? m.run.dispenseDoneEvent : m.run.boardReadyEvent;
      if (!WaitOrFail(e, Timeouts(m).board, kBoardTimeOut)) return false;
      if (st.m_RunSelect == 2) m.run.activeList = 1;
      if (!m.runContinue) return false;
    }
    const bool takeMeasured = TakeMarksMeasured(m);
    if (board.marksOn && !board.marksPerCell && !takeMeasured) {
      m.correction.boardRotation = 0.0;
      if (!AlignMarks(m)) return false;
    }
    bool finishNow = false;
    for (int r = 0; r < board.panelRows && !finishNow; ++r) {
      for (int col = 0; col < board.panelCols && !finishNow; ++col) {
        const double cx = col * board.colPitch, cy = r * board.rowPitch;
        if (auto d = Display(m)) d->PanelLabel(r, col, -1);
        if (board.CellSkipped(r, col)) continue;
        if (board.marksOn && board.marksPerCell) {
          SetCellOrigin(board.originX + cx, board.originY + cy, board);
          m.correction.boardRotation = 0.0;
          if (!(TakeMarksMeasured(m))) {
            TheMachine(m).TriggerCamera(1, s.lightValue ? s.lightValue() : 0);
            if (!AlignMarks(m)) return false;
          }
        }
        m.Part<smt::run::HeadRecords>().pick[0].row = startRow;
        if (!RunCell(c, st, cx, cy, finishNow)) return false;
      }
    }
    ++boardsDone;
    if (!VisionOriginAfterBoard(m)) return false;
    if (auto d = Display(m)) d->PanelLabel(0, 0, boardsDone);
    if (finishNow && !transport) return EndMoves(st);
    if (!transport) break;
    const int left = (s.boardCount ? s.boardCount() : 1) - 1;
    if (s.setBoardCount) s.setBoardCount(left);
    if (s.moveBetweenSetPoints && !s.moveBetweenSetPoints()) return false;
    if (st.m_RunSelect == 2) m.run.placeDoneEvent.Set();
    m.run.boardDoneEvent.Set();
    if (finishNow || c.selector || left <= 0) break;
  }
  return EndMoves(st);
}

 private:
  smt::Machine& m;
};

}  // namespace

void SmtRunThreadProc(smt::Machine& m) {
  SmtBusy(m) = 1;
  if (auto d = Display(m)) d->EnableRunWindows(false);
  const bool finished = SmtRun(m).RunBoards() && m.runContinue;
  CLogFile::Instance().Write(true, "smt run end %d", finished ? 1 : 0);
  FinishRun(m, finished);
}

}  // namespace smt::run
