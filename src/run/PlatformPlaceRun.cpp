#include "run/PlatformPlaceRun.h"

#include <cstdlib>
#include <thread>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "link/LinkGlobals.h"
#include "link/CommandEncoding.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/MotionSettings.h"
#include "link/SerialMove.h"
#include "library/NozzleChange.h"
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
#include "core/Machine.h"
#include "platform/SystemText.h"

namespace smt::run {

namespace {

using smt::platform::MsgAnswer;
using smt::platform::ShowMessage;

inline constexpr smt::platform::SystemText kFeedTimeOut{"RunMessagesConfig", "RunMessages.c_FeedTimeOut", "Feed time out !"};
inline constexpr smt::platform::SystemText kGlueTimeOut{"RunMessagesConfig", "RunMessages.c_PlatformGlueTimeOut", "Platform glue wait time out !"};

int32_t Trunc(double v) { return static_cast<int32_t>(v); }
uint8_t PlatformAxis(int platform) { return platform == 1 ? 1 : 12; }
int32_t PlatformY(smt::Machine& m, int platform) { return platform == 1 ? m.curY.load() : m.motion.curPlatform[1].load(); }
int32_t HeadMoveArg(smt::Machine& m, int head) { return head >= 1 && head <= 8 ? m.motion.headMoveArgs[static_cast<size_t>(head - 1)].load() : 0; }

// The place run's own copy of the part list (the dispensing thread keeps
// the shared one).
struct PlaceRowList {
  std::vector<PlacementRow> rows;
};
std::vector<PlacementRow>& PlaceRows(smt::Machine& m) { return m.Part<PlaceRowList>().rows; }

int NextRow(smt::Machine& m, int& row, int count, int slot) {
  auto& s = Services(m);
  if (s.nextPlaceRow) return s.nextPlaceRow(row, count, slot, 0);
  const auto& rows = PlaceRows(m);
  for (; row < count && row < static_cast<int>(rows.size()); ++row)
    if (rows[static_cast<size_t>(row)].place)
      return CalcFeederPickTarget(m, slot, 0, rows[static_cast<size_t>(row)].feeder);
  return 0;
}

void AllIdle(smt::Machine& m) {
  for (auto& p : m.Part<smt::run::HeadRecords>().pick) p.row = -1;
  m.run.cycleHeads = 0;
}

// Head 1 from its row, heads 2..N after it; false when head 1 found none.
bool AssignCycle(smt::Machine& m, int count, int heads) {
  if (NextRow(m, m.Part<smt::run::HeadRecords>().pick[0].row, count, 1) != 1) {
    AllIdle(m);
    return false;
  }
  m.run.cycleHeads = 1;
  for (int k = 2; k <= 4; ++k) {
    auto& rec = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)];
    if (k > heads) {
      rec.row = -1;
      continue;
    }
    rec.row = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 2)].row + 1;
    if (m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 2)].row == -1 || NextRow(m, rec.row, count, k) != 1) {
      for (int j = k; j <= 4; ++j) m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(j - 1)].row = -1;
      break;
    }
    m.run.cycleHeads = k;
  }
  return true;
}

bool WaitOrStop(smt::Machine& m, smt::platform::Event& e, std::chrono::milliseconds limit, const std::string& timeoutText) {
  switch (WaitRunEvent(m, e, limit)) {
    case WaitResult::Signalled: return true;
    case WaitResult::Stopped: return false;
    case WaitResult::TimedOut:
      ShowMessage(timeoutText);
      return false;
  }
  return false;
}

// X offset (pulses) of head N from head 1, with its placement correction.
std::pair<int32_t, int32_t> HeadPlaceOffset(smt::Machine& m, int head) {
  const auto b = smt::settings::SettingsStores::Of(m).machine.Basic();
  const double px = m.steps.xPulsePerMm, py = m.steps.yPulsePerMm;
  switch (head) {
    case 1: return {Trunc(b->m_Correction_X1 * px), Trunc(b->m_Correction_Y1 * py)};
    case 2:
      return {Trunc(b->m_Correction_X2 * px) - Trunc(b->m_X_Nozzle2ToNozzle1 * px),
              Trunc(b->m_Correction_Y2 * py) - Trunc(b->m_Y_Nozzle2ToNozzle1 * py)};
    case 3:
      return {Trunc(b->m_Correction_X3 * px) - Trunc(b->m_X_Nozzle3ToNozzle1 * px),
              Trunc(b->m_Correction_Y3 * py) - Trunc(b->m_Y_Nozzle3ToNozzle1 * py)};
    case 4:
      return {Trunc(b->m_Correction_X4 * px) - Trunc(b->m_X_Nozzle4ToNozzle1 * px),
              Trunc(b->m_Correction_Y4 * py) - Trunc(b->m_Y_Nozzle4ToNozzle1 * py)};
    default: return {0, 0};
  }
}

bool Refuse(const std::string& text) {
  ShowMessage(text);
  return true;
}

}  // namespace

bool MoveHeadToPlatformPick(smt::Machine& m, HeadPlaceState& p, int platform) {
  const int k = p.headTarget;
  if (k < 1 || k > 4) return Refuse(kPlaceHeaderNoSelect);
  if (platform != 1 && platform != 2) return false;
  const int32_t tx = Trunc(p.pickX * m.steps.xPulsePerMm) - smt::job::NozzleOffsetX(m, k);
  const auto& x = p.pickSpeeds[kSpX];
  const auto& a = p.pickSpeeds[kSpA1];
  if (!TheMachine(m).MoveGantryPlatformHead(tx - m.curX, Speed(x), PlatformAxis(platform), 0, {10, 10}, static_cast<uint8_t>(k), HeadMoveArg(m, k), Speed(a)))
    return true;
  return !PauseGate(m);
}

bool MoveToPlatformPoint(smt::Machine& m, HeadPlaceState& p, int platform) {
  const int n = p.headTarget;
  if (n < 1 || n > 4) return Refuse(kPlaceHeaderNoSelect);
  if (platform != 1 && platform != 2) return false;
  auto [tx, ty] = Services(m).lamp->Target(1, platform, p.row);
  const auto off = HeadPlaceOffset(m, n);
  tx += off.first;
  ty += off.second;
  if (p.visionMode == 1 && (p.visionCamera == 1 || p.visionCamera == 2)) {
    tx += p.correctionX;
    ty += p.correctionY;
    for (auto& a : m.motion.headMoveArgs) a = 0;
  } else if (p.visionMode == 2) {
    tx += p.correctionX;
    ty += p.correctionY;
    m.motion.headMoveArgs[static_cast<size_t>(n - 1)] = -p.correctionA;
  }
  const auto& block = p.visionMode != 0 ? p.visionPlaceSpeeds : std::array<SpeedPair, 4>{
      p.placeSpeeds[kSpX], p.placeSpeeds[kSpY], p.placeSpeeds[kSpZ1], p.placeSpeeds[kSpZ2]};
  const auto& a = p.placeSpeeds[kSpA1];
  if (!TheMachine(m).MoveGantryPlatformHead(tx - m.curX, Speed(block[kSpX]), PlatformAxis(platform), ty - PlatformY(m, platform), Speed(block[kSpY]), static_cast<uint8_t>(n), HeadMoveArg(m, n), Speed(a)))
    return true;
  return !PauseGate(m);
}

bool PlatformDiscardMove(smt::Machine& m, int platform) {
  const auto b = smt::settings::SettingsStores::Of(m).machine.Basic();
  if (platform == 1 || platform == 2) {
    const auto y = smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::PickPart)[1];
    if (!TheMachine(m).MoveGantryPlatformHead(0, {10, 10}, PlatformAxis(platform), m.steps.throwPositionY - PlatformY(m, platform), Speed(y), 0, 0, {0, 0}))
      return true;
    if (!PauseGate(m)) return true;
    TheMachine(m).SetOutput(platform == 1 ? 7 : 8, 1, 5);
  }
  if (!RunSleep(m, b->m_ChangeDelay) || !PauseGate(m)) return true;
  if (platform == 1 || platform == 2) TheMachine(m).SetOutput(platform == 1 ? 7 : 8, 0, 5);
  RunSleep(m, 100);
  return false;
}

bool PlatformDiscardPart(smt::Machine& m, HeadPlaceState& p) {
  const int k = p.headTarget;
  if (k < 1 || k > 4) return Refuse(kPlaceHeaderNoSelect);
  const int32_t tx = m.steps.throwPositionX - smt::job::NozzleOffsetX(m, k);
  const auto& x = p.pickSpeeds[kSpX];
  if (!TheMachine(m).MoveGantryPlatformHead(tx - m.curX, Speed(x), 1, 0, {10, 10}, 0, 0, {0, 0})) return true;
  if (!PauseGate(m)) return true;
  TheMachine(m).SetOutput(k, 0, 5);
  return !RunSleep(m, smt::settings::SettingsStores::Of(m).machine.Basic()->m_ThrowDelay);
}

namespace {

// Vision of one head over the camera of its part job; true ends the run.
bool PlatformVision(smt::Machine& m, HeadPlaceState& p, int platform) {
  if (p.visionMode == 0) return false;
  return Services(m).lamp->VisionCentre(p, platform);
}

bool PlaceOne(smt::Machine& m, HeadPlaceState& p, int platform) {
  if (MoveToPlatformPoint(m, p, platform)) return true;
  const int n = p.headTarget;
  m.curA[static_cast<size_t>(n - 1)] = smt::link::WrapA(static_cast<int64_t>(m.curA[static_cast<size_t>(n - 1)].load()) +
                                                  HeadMoveArg(m, n),
                                              smt::link::GetMotionSettings(m).aRevolution);
  if (!PauseGate(m)) return true;
  const int gridRow = platform == 1 ? 2 * p.row : 2 * p.row + 1;
  const double depth = Services(m).lamp->Row(gridRow).placeZ;
  m.link.vacuumCheckOk = true;
  PlaceStroke(m, p, depth);
  if (m.link.vacuumCheckOk) {
    p.failedRow = -1;
    RowState(m, p.row, 6, false);
  } else {
    p.failedRow = p.row;
    RowState(m, p.row, 7, false);
  }
  return !PauseGate(m);
}

// The operator quits after a failed part: nozzles back to the library,
// the head and the feeder walk axes out of the way, the Mark camera on and
// the machine homed.
void QuitMoves(smt::Machine& m) {
  if (m.run.autoChangeNozzle) {
    smt::library::ReturnNozzleToLibrary(m, 1, false, false);
    smt::library::ReturnNozzleToLibrary(m, 2, false, false);
  }
  const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::Smt);
  TheMachine(m).MoveGantry(100 - m.curX, Speed(sp[0]), -100 - m.curY, Speed(sp[1]), smt::link::GantryMove::Checked);
  const auto pick = smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::PickPart);
  if (m.motion.curAxis8 != 0) TheMachine(m).MoveAxis(8, -100 - m.motion.curAxis8, Speed(pick[8]));
  if (m.motion.curAxis9 != 0) TheMachine(m).MoveAxis(9, 100 - m.motion.curAxis9, Speed(pick[10]));
  auto& s = Services(m);
  if (auto v = s.vision.Get()) v->OpenMarkCamera();
  if (s.startHome) s.startHome();
}

}  // namespace

bool RecoverPlatformHead(smt::Machine& m, HeadPlaceState& p, int group, int platform) {
  if (p.failedRow == -1 && !p.failed) return false;
  auto clear = [&] {
    p.row = -1;
    p.failed = 0;
    return true;
  };
  const int row = p.failedRow != -1 ? p.failedRow : p.row;
  const std::string feeder = p.feederNumber;
  // Which head of this cycle takes from the same feeder.
  int match = 0;
  for (int j = 1; j <= 4 && !match; ++j) {
    const auto& r = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(j - 1)];
    if (r.row != -1 && r.feederNumber == feeder && r.feedSide == p.feedSide) match = j;
  }
  bool fresh = true;
  bool visionFailed = false;
  for (;;) {
    if (fresh) {
      if (CalcFeederPickTarget(m, 9, p.headTarget, feeder) == 0) return clear();
      // The same head and nozzle take the part again.
      m.Part<smt::run::HeadRecords>().pickExtra1.row = row;
      m.Part<smt::run::HeadRecords>().pickExtra1.headTarget = p.headTarget;
      m.Part<smt::run::HeadRecords>().pickExtra1.nozzleTarget = p.nozzleTarget;
      if (match == 1 || match == 2) {
        const auto& r = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(match - 1)];
        const auto limit = std::chrono::steady_clock::now() + Timeouts(m).feedReady;
        while (r.feedRequested && r.feedPending) {
          if (!m.runContinue || FeedFailed(m) || std::chrono::steady_clock::now() > limit) return clear();
          std::this_thread::sleep_for(Timeouts(m).poll);
        }
      } else if (!FeedAdvance(m, m.Part<smt::run::HeadRecords>().pickExtra1, true)) {
        return clear();
      }
      fresh = false;
    }
    if (!PreparePickPlace(m, group, p, 9)) return clear();
    p.row = row;
    p.failedRow = -1;
    p.failed = 0;
    if (MoveHeadToPlatformPick(m, p, platform) || !PickPart(m, p)) return clear();
    FeedDone(m, m.Part<smt::run::HeadRecords>().pickExtra1);
    if (!PauseGate(m)) return clear();
    LogReplenishRotation(m, p, &PlaceRows(m));
    if (PlatformVision(m, p, platform)) return clear();
    visionFailed = p.failed != 0;
    if (p.failed) {
      if (PlatformDiscardPart(m, p)) return clear();
    } else if (PlaceOne(m, p, platform)) {
      return clear();
    }
    if (p.failedRow == -1 && !p.failed) break;
    // Still failing: the operator decides.
    const std::string q =
        visionFailed ? RunText(m, "PartList.c_Message_46", "视觉失败，是否忽略 ?\r\n是-忽略继续    否-退出    取消-补料")
                     : RunText(m, "PartList.c_Message_45", "真空失败，是否忽略 ?\r\n是-忽略继续    否-退出    取消-补料");
    RowState(m, row, visionFailed ? 8 : 7, false);
    m.machineBusy = false;
    const auto answer = ShowMessage(q, smt::platform::MsgButtons::YesNoCancel, smt::platform::MsgIcon::Question);
    m.machineBusy = true;
    p.failedRow = row;
    if (answer == MsgAnswer::Yes) {
      if (!p.failed && PlatformDiscardPart(m, p)) return clear();
      if (!PauseGate(m)) return clear();
      if ((match == 1 || match == 2) && !FeedAdvance(m, m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(match - 1)], false))
        return clear();
      p.row = -1;
      p.failed = 0;
      return false;
    }
    if (answer != MsgAnswer::Cancel) {
      QuitMoves(m);
      return clear();
    }
    if (!FeedAdvance(m, m.Part<smt::run::HeadRecords>().pickExtra1, true)) return clear();
    if (!p.failed && PlatformDiscardPart(m, p)) return clear();
  }
  p.row = -1;
  p.failedRow = -1;
  const SmtStrategy st = Strategy(m);
  auto& s = Services(m);
  if (st.m_Cover && s.cover) {
    CoverSettings cv = s.cover();
    ++cv.totalCount;
    ++cv.count;
    if (s.saveCoverCounters) s.saveCoverCounters(cv.totalCount, cv.count);
    if (auto d = Display(m)) d->CoverCount(cv.totalCount);
  }
  if (!PauseGate(m)) return true;
  if ((match == 1 || match == 2) && !FeedAdvance(m, m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(match - 1)], false)) return true;
  return false;
}

namespace {

// 1 finished, 0 ended early.
int RunPlatformPlace(smt::Machine& m) {
  auto& s = Services(m);
  const SmtStrategy st = Strategy(m);
  const int mode = st.m_RunSelect;
  const LampCounts counts = s.lamp->Counts();
  int board = counts.finish;
  PlaceRows(m) = s.placementRows ? s.placementRows() : std::vector<PlacementRow>{};
  const int n = static_cast<int>(PlaceRows(m).size());
  const int heads = std::min(std::max(static_cast<int>(m.headCount), 1), 4);
  if (auto d = Display(m)) d->Progress(0, n);
  ResetHeadRecords(m);
  const RunSelectors sel = Selectors(m);
  const int startRow = sel.fromCurrentSmt ? ChosenRow(m, smt::job::RowKind::Placement) : 0;
  const int group = CurrentFeederGroup(m);
  if (group < 0) {
    ShowMessage(RunText(m, "PartList.c_Message_20", "没有找到料架组 !"));
    return 0;
  }
  const auto names = FeedModeNames(m);
  int platform = 2;
  auto finished = [&] {
    if (!m.runContinue) return 0;
    m.resetDone = false;
    if (s.startHome) s.startHome();
    return 1;
  };
  while (board < counts.set) {
    m.Part<smt::run::HeadRecords>().pick[0].row = startRow;
    if (!AssignCycle(m, n, heads)) return sel.selectedSmt ? finished() : 0;
    m.run.feedRequestEvent.Set();
    if (mode == 11 || platform == 2) {
      if (!WaitOrStop(m, m.run.platformGluedEvent1, Timeouts(m).partner, kGlueTimeOut)) return 0;
      platform = 1;
    } else {
      if (!WaitOrStop(m, m.run.platformGluedEvent2, Timeouts(m).partner, kGlueTimeOut)) return 0;
      platform = 2;
    }
    if (!PauseGate(m)) return 0;
    bool complete = false;
    while (!complete) {
      // Pick.
      for (int k = 1; k <= 4; ++k) {
        auto& pk = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)];
        auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
        if (pk.row == -1) continue;
        m.motion.headMoveArgs[static_cast<size_t>(k - 1)] = -m.curA[static_cast<size_t>(k - 1)];
        if (!PreparePickPlace(m, group, pl, k)) return 0;
        if (k >= 2 && m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 2)].row != -1)
          AlignHeadSpeeds(m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 2)], pl);
        if (MoveHeadToPlatformPick(m, pl, platform)) return 0;
        m.curA[static_cast<size_t>(k - 1)] = 0;
        m.motion.headMoveArgs[static_cast<size_t>(k - 1)] = 0;
        if (const WaitResult w = WaitFeedReady(m, k); w != WaitResult::Signalled) {
          // A failed feed was told by its command.
          if (w == WaitResult::TimedOut) ShowMessage(kFeedTimeOut);
          return 0;
        }
        if (!PauseGate(m)) return 0;
        if (!PickPart(m, pl)) return 0;
        if (k < 4) {
          auto& next = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k)];
          if (next.row != -1 && next.feedModeText == names[4])
            if (auto fr = FeederRecordAt(m, next.groupIndex, next.rowIndex)) next.feedCount = fr->feedCount;
        }
        SignalHeadPicked(m, k);
        if (!PauseGate(m)) return 0;
      }
      LogRotationAngles(m, &PlaceRows(m));
      for (int k = 1; k <= 4; ++k) {
        auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
        if (pl.row != -1 && PlatformVision(m, pl, platform)) return 0;
      }
      TheMachine(m).TriggerCamera(1, s.lightValue ? s.lightValue() : 0);
      // The next cycle's rows, so the feeder works while the heads place.
      int last = -1;
      for (int k = 4; k >= 1 && last < 0; --k)
        if (m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)].row != -1) last = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(k - 1)].row;
      m.Part<smt::run::HeadRecords>().pick[0].row = last + 1;
      if (m.Part<smt::run::HeadRecords>().pick[0].row >= n || !AssignCycle(m, n, heads)) {
        AllIdle(m);
        complete = true;
      }
      if (!complete) m.run.feedRequestEvent.Set();
      // Place.
      for (int k = 1; k <= 4; ++k) {
        auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
        if (pl.row == -1 || pl.failed || pl.failedRow != -1) continue;
        if (PlaceOne(m, pl, platform)) return 0;
      }
      // Failures: thrown off, then picked and placed again.
      for (int k = 1; k <= 4; ++k) {
        auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
        if (pl.row != -1 && (pl.failedRow != -1 || pl.failed) && PlatformDiscardPart(m, pl)) return 0;
      }
      for (int k = 1; k <= 4; ++k) {
        auto& pl = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
        if (pl.row != -1 && RecoverPlatformHead(m, pl, group, platform)) return 0;
      }
      if (auto d = Display(m)) d->Progress(m.Part<smt::run::HeadRecords>().place[0].row, n);
      for (auto& p : m.Part<smt::run::HeadRecords>().place) {
        p.row = -1;
        p.failedRow = -1;
        p.failed = 0;
      }
    }
    if (mode == 11) {
      m.run.platformFreeEvent1.Set();
    } else {
      if (PlatformDiscardMove(m, platform)) return 0;
      (platform == 1 ? m.run.platformFreeEvent1 : m.run.platformFreeEvent2).Set();
    }
    if (auto d = Display(m)) d->Progress(0, n);
    if (!PauseGate(m)) return 0;
    ++board;
  }
  return finished();
}

}  // namespace

void PlatformPlaceThreadProc(smt::Machine& m) {
  SmtBusy(m) = 1;
  if (auto d = Display(m)) d->EnableRunWindows(false);
  const int end = RunPlatformPlace(m);
  CLogFile::Instance().Write(true, "platform place run end %d", end);
  FinishRun(m, end == 1);
}

}  // namespace smt::run
