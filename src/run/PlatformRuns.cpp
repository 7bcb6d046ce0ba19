#include "run/PlatformRuns.h"

#include <cmath>
#include <cstdio>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MotionGlobals.h"
#include "link/ProcessCommands.h"
#include "run/FeederPickTarget.h"
#include "platform/MessageService.h"
#include "run/MachineSteps.h"
#include "run/RunFinish.h"
#include "run/RunServices.h"
#include "run/RunThreadProcs.h"
#include "run/RunState.h"
#include "run/StrategySettings.h"
#include "run/TheMachine.h"
#include "settings/SettingsStores.h"

namespace smt::run {

namespace {

using smt::platform::MsgAnswer;
using smt::platform::ShowMessage;

int32_t Trunc(double v) { return static_cast<int32_t>(v); }

smt::settings::SpeedRecord Speeds(smt::Machine& m) {
  return smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::PickPart);
}

int32_t PlatformY(smt::Machine& m, int platform) { return platform == 1 ? m.curY.load() : m.motion.curPlatform[1].load(); }

// Glue gantry X (axis 9) and the platform's Y (axis 1 or 12) together.
bool MoveGantry(smt::Machine& m, int platform, int32_t tx, int32_t ty) {
  const auto sp = Speeds(m);
  return TheMachine(m).MoveAxisPair(9, tx - m.motion.curPlatform[0], Speed(sp[0]), platform == 1 ? 1 : 12, ty - PlatformY(m, platform), Speed(sp[1]));
}

bool MoveGantryBy(smt::Machine& m, int platform, int32_t dx, int32_t dy) {
  const auto sp = Speeds(m);
  return TheMachine(m).MoveAxisPair(9, dx, Speed(sp[0]), platform == 1 ? 1 : 12, dy, Speed(sp[1]));
}

bool Stopped(smt::Machine& m) { return !PauseGate(m); }

}  // namespace

bool DispensePlatformPoint(smt::Machine& m, int kind, int platform, int point) {
  // True ends the run: a point the gantry did not reach is not dispensed.
  if (platform != 1 && platform != 2) return true;
  const auto [tx, ty] = Services(m).lamp->Target(kind, platform, point);
  if (!MoveGantry(m, platform, tx, ty)) {
    CLogFile::Instance().Write(true, "platform %d point %d: the move to dot %d failed, no glue", platform, point + 1,
                               kind - 1);
    return true;
  }
  return Stopped(m);
}

bool MeasureMarkPoint(smt::Machine& m, int platform, int point) {
  const std::shared_ptr<LampStation> lamp = Services(m).lamp.Take();
  if (!lamp->MarkCameraReady()) {
    ShowMessage(RunText(m, "PartList.c_Message_29", "没有相机 !"));
    return true;
  }
  const PlatformMarkParams params = lamp->MarkParams();
  const int row = platform == 1 ? 2 * point : 2 * point + 1;
  for (;;) {
    int64_t sumX = 0, sumY = 0;
    bool failed = false, visual = false;
    for (int k = 0; k < params.times && !failed; ++k) {
      if (!RunSleep(m, params.collectMs)) return true;
      const auto seen = lamp->SightMark(params);
      if (!seen || !seen->found || seen->radius >= 0.5 * params.box * params.zoom) {
        failed = visual = true;
        break;
      }
      const double d = 2 * seen->radius / params.zoom;
      char buf[96];
      std::snprintf(buf, sizeof buf, "Mark: X = %0.4f，Y = %0.4f，D = %0.4f", seen->ox, seen->oy, d);
      smt::link::RuntimeOf(m).Hooks().AppendInfoLine(buf, true);
      CLogFile::Instance().Write(true, "%s", buf);
      if (d > params.diameter * (100 + params.tolerance) / 100.0 || d < params.diameter * (100 - params.tolerance) / 100.0) {
        failed = true;
        break;
      }
      const int32_t dy = Trunc(seen->oy * m.steps.yPulsePerMm), dx = -Trunc(seen->ox * m.steps.xPulsePerMm);
      if (!MoveGantryBy(m, platform, dx, dy)) return true;  // nothing stored: the board is not dispensed
      if (Stopped(m)) return true;
      sumX += dx;
      sumY += dy;
    }
    if (!failed) {
      lamp->SetMarkOffsets(row, std::pair<int32_t, int32_t>{sumX, sumY});
      return false;
    }
    const int clamp = platform == 1 ? 7 : 8;
    TheMachine(m).SetOutput(clamp, 1, 5);
    if (visual) CLogFile::Instance().Write(true, "%s", kVisualError);
    const auto a = ShowMessage(RunText(m, "PartList.c_Message_30", "Mark大小识别失败 !  是-重新识别，否-退出，取消-退出"),
                               smt::platform::MsgButtons::YesNoCancel, smt::platform::MsgIcon::Question);
    // The clamp goes back also when the operator ends the run: no output is
    // left on after the run.
    TheMachine(m).SetOutput(clamp, 0, 5);
    if (a != MsgAnswer::Yes) return true;
  }
}

bool AlignPlatformMarks(smt::Machine& m, int platform, int point) {
  const std::shared_ptr<LampStation> station = Services(m).lamp.Take();
  const int row = platform == 1 ? 2 * point : 2 * point + 1;
  const auto basic = smt::settings::SettingsStores::Of(m).machine.Basic();
  const LampRow lamp = station->Row(row);
  const int32_t tx = Trunc(lamp.markX * m.steps.xPulsePerMm) - Trunc(basic->m_X_CameraToNozzle1 * m.steps.xPulsePerMm);
  const int32_t ty = Trunc(lamp.markY * m.steps.yPulsePerMm) - Trunc(basic->m_Y_CameraToNozzle1 * m.steps.yPulsePerMm);
  // A Mark that cannot be reached is not measured; dispensing with the
  // offsets of an earlier board would put the glue in the wrong place.
  if (!MoveGantry(m, platform, tx, ty)) return true;
  if (Stopped(m)) return true;
  station->SetMarkOffsets(row, std::nullopt);
  return MeasureMarkPoint(m, platform, point);
}

bool UnloadPlatform(smt::Machine& m, int platform) {
  const auto basic = smt::settings::SettingsStores::Of(m).machine.Basic();
  if (platform == 1 || platform == 2) {
    const auto sp = Speeds(m);
    const int32_t step = m.steps.throwPositionY - PlatformY(m, platform);
    // The glue gantry stays (a zero step on axis 9); the platform's axis is
    // the second one, so its travel is checked and its position booked.
    if (!TheMachine(m).MoveAxisPair(9, 0, {10, 10}, platform == 1 ? 1 : 12, step, Speed(sp[1])))
      return false;
    if (Stopped(m)) return true;
    TheMachine(m).SetOutput(platform == 1 ? 7 : 8, 1, 5);
  }
  if (!RunSleep(m, basic->m_ChangeDelay) || Stopped(m)) return true;
  if (platform == 1 || platform == 2) TheMachine(m).SetOutput(platform == 1 ? 7 : 8, 0, 5);
  RunSleep(m, 100);
  return false;
}

namespace {

bool GlueDot(smt::Machine& m, int group, int head, int platform, int point) {
  const LampDot d = Services(m).lamp->Dot(group, platform, point);
  const int32_t height = head == 5 ? d.height : -d.height;
  return TheMachine(m).GlueStroke(static_cast<uint8_t>(head == 5 ? 10 : 6), height, {d.startSpeed, d.runSpeed}, 5, -d.valveOpen, d.valveClose, static_cast<uint16_t>(d.closeDelay), static_cast<uint16_t>(d.bottomDelay), 0) == smt::link::CommandResult::Ok;
}

int DotFailed(int platform, int point, int dot) {
  CLogFile::Instance().Write(true, "platform %d point %d: glue dot %d failed", platform, point + 1, dot);
  return 0;
}

// 1 finished (home), 0 early, 2 handed to the place run.
int RunPlatformDispense(smt::Machine& m) {
  auto& s = Services(m);
  const SmtStrategy st = Strategy(m);
  const int mode = st.m_RunSelect;
  RunRows(m) = s.placementRows ? s.placementRows() : std::vector<PlacementRow>{};
  const int n = static_cast<int>(RunRows(m).size());
  if (auto d = Display(m)) d->Progress(0, n);
  const RunSelectors sel = Selectors(m);
  int cursor = sel.fromCurrentSmt ? ChosenRow(m, smt::job::RowKind::Placement) : -1;
  m.Part<smt::run::HeadRecords>().placeExtra1.row = m.Part<smt::run::HeadRecords>().placeExtra1.failedRow = -1;
  m.Part<smt::run::HeadRecords>().placeExtra1.failed = 0;
  m.run.platformFreeEvent1.Set();
  m.run.platformFreeEvent2.Set();
  int firstBoards = 0;
  int platform = 2;
  if (auto v = s.vision.Get()) v->OpenMarkCamera();
  if (CurrentFeederGroup(m) < 0) {
    ShowMessage(RunText(m, "PartList.c_Message_20", "没有找到料架组 !"));
    return 0;
  }
  LampCounts counts = s.lamp->Counts();
  while (counts.finish < counts.set) {
    int next = cursor + 1;
    while (next < n && !RunRows(m)[static_cast<size_t>(next)].place) ++next;
    if (next >= n) return 0;
    cursor = next;
    if (!LookupFeedDirection(m, Feeders(m).CurrentIndex(), RunRows(m)[static_cast<size_t>(cursor)].feeder)) return 0;
    auto waitFree = [&](smt::platform::Event& e) { return WaitRunEvent(m, e, Timeouts(m).partner) == WaitResult::Signalled; };
    if (mode == 9) {
      platform = 1;
      if (UnloadPlatform(m, 1)) return 0;
    } else if (mode == 10) {
      platform = platform == 1 ? 2 : 1;
      if (UnloadPlatform(m, platform)) return 0;
    } else if (mode == 11) {
      if (!waitFree(m.run.platformFreeEvent1)) return 0;
      platform = 1;
      if (UnloadPlatform(m, 1)) return 0;
    } else {
      if (platform == 1) {
        if (!waitFree(m.run.platformFreeEvent2)) return 0;
        platform = 2;
        if (firstBoards < 2) {
          ++firstBoards;
          if (UnloadPlatform(m, 2)) return 0;
        }
      } else {
        if (!waitFree(m.run.platformFreeEvent1)) return 0;
        platform = 1;
        if (firstBoards == 0) {
          firstBoards = 1;
          if (UnloadPlatform(m, 1)) return 0;
        }
      }
    }
    if (Stopped(m)) return 0;
    for (int i = 0; i < n; ++i)
      if (RunRows(m)[static_cast<size_t>(i)].place && AlignPlatformMarks(m, platform, i)) return 0;
    for (int i = 0; i < n; ++i) {
      if (!m.runContinue) return 0;
      if (auto d = Display(m)) d->ShowRow(cursor + 3);
      if (DispensePlatformPoint(m, 2, platform, i) || Stopped(m)) return 0;
      RowState(m, i, 9, true);
      // A dot the machine did not lay ends the run (the row is not done).
      if (!GlueDot(m, 0, 5, platform, i)) return DotFailed(platform, i, 1);
      if (DispensePlatformPoint(m, 3, platform, i) || Stopped(m)) return 0;
      if (!GlueDot(m, 1, 6, platform, i)) return DotFailed(platform, i, 2);
      if (DispensePlatformPoint(m, 4, platform, i) || Stopped(m)) return 0;
      if (!GlueDot(m, 2, 6, platform, i)) return DotFailed(platform, i, 3);
      RowState(m, i, 10, true);
      if (!RunSleep(m, st.m_Interval) || Stopped(m)) return 0;
    }
    ++counts.finish;
    --counts.unfinish;
    s.lamp->SetCounts(counts);
    if (mode == 9 || mode == 10) {
      if (auto d = Display(m)) d->ResetRowStates(smt::job::RowKind::Placement);
    } else {
      (platform == 1 ? m.run.platformGluedEvent1 : m.run.platformGluedEvent2).Set();
    }
    if (auto d = Display(m)) d->Progress(0, n);
    if (Stopped(m)) return 0;
  }
  counts.unfinish = counts.set;
  counts.finish = 0;
  s.lamp->SetCounts(counts);
  if (mode == 11 || mode == 12) return 2;
  if (!m.runContinue) return 0;
  m.resetDone = false;
  if (s.startHome) s.startHome();
  return 1;
}

}  // namespace

void PlatformDispenseThreadProc(smt::Machine& m) {
  if (auto d = Display(m)) d->EnableRunWindows(false);
  const int mode = Strategy(m).m_RunSelect;
  const int end = RunPlatformDispense(m);
  if (end == 2) return;  // the place run ends the run
  if (mode == 11 || mode == 12) {
    // The place run ends the run: it is told to stop and woken if it waits
    // for a glued platform.
    if (end != 1) m.runContinue = false;
    m.run.pauseEvent.Set();
    m.run.platformGluedEvent1.Set();
    m.run.platformGluedEvent2.Set();
    return;
  }
  FinishRun(m, end == 1);
}

}  // namespace smt::run
