#include "run/MachineSteps.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "feeder/AutoFeeders.h"
#include "library/NozzleChange.h"
#include "library/NozzleSeats.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/ProcessCommands.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "link/OperatorNotice.h"
#include "job/BoardGeometry.h"
#include "run/EightHeadCommands.h"
#include "run/PickPlacePreparation.h"
#include "run/RunFeedSettings.h"
#include "run/RunState.h"
#include "platform/RefusalTexts.h"
#include "run/StrategySettings.h"
#include "run/TheMachine.h"
#include "settings/SettingsStores.h"
#include "core/Machine.h"

namespace smt::run {

namespace {

using smt::platform::ShowMessage;
using smt::run::kPlaceHeightSetError;
using smt::settings::SpeedUse;

bool Ok(smt::link::CommandResult r) { return r == smt::link::CommandResult::Ok; }
int32_t Trunc(double v) { return static_cast<int32_t>(v); }
int32_t HeadOffsetX(const smt::Machine& m, int head) { return smt::job::NozzleOffsetX(m, head); }
int32_t HeadOffsetY(const smt::Machine& m, int head) { return smt::job::NozzleOffsetY(m, head); }
int32_t HeadCorrectionX(smt::Machine& m, int head) { return head >= 1 && head <= 8 ? m.steps.nozzleCorrectionX[static_cast<size_t>(head - 1)] : 0; }
int32_t HeadCorrectionY(smt::Machine& m, int head) { return head >= 1 && head <= 8 ? m.steps.nozzleCorrectionY[static_cast<size_t>(head - 1)] : 0; }
bool NetworkLink(smt::Machine& m) { return smt::link::RuntimeOf(m).commModel != 0; }

bool Move65(smt::Machine& m, int32_t tx, int32_t ty, const SpeedPair& x, const SpeedPair& y, const SpeedPair& a) {
  return TheMachine(m).MoveGantryTurningHeads(tx - m.curX, Speed(x), ty - m.curY, Speed(y), HeadTurns(m), Speed(a));
}

bool Move64(smt::Machine& m, int32_t tx, int32_t ty, const SpeedPair& x, const SpeedPair& y, smt::link::GantryMove mode) {
  return TheMachine(m).MoveGantry(tx - m.curX, Speed(x), ty - m.curY, Speed(y), mode);
}

// Walk axis, walk and tape scales and speed slots of a feeder bank (1..3).
struct Bank {
  uint8_t walkAxis;
  double walkPulse, tapePulse;
  int walkSpeed, tapeSpeed;
  int32_t walkPosition;
};
std::optional<Bank> BankOf(smt::Machine& m, int side) {
  const auto p = smt::settings::SettingsStores::Of(m).machine.Pulse();
  switch (side) {
    case 1: return Bank{8, p->m_WestWalk_Pulse, p->m_WestLift_Pulse, 8, 9, m.motion.curAxis8.load()};
    case 2: return Bank{9, p->m_NorthWalk_Pulse, p->m_NorthLift_Pulse, 10, 11, m.motion.curAxis9.load()};
    case 3: return Bank{10, p->m_EastWalk_Pulse, p->m_EastLift_Pulse, 12, 13, m.motion.curAxis10.load()};
    default: return std::nullopt;
  }
}

}  // namespace

namespace {
struct RunRowList {
  std::vector<PlacementRow> rows;
};
struct RunDispenseRowList {
  std::vector<DispenseRow> rows;
};
}  // namespace

std::vector<PlacementRow>& RunRows(smt::Machine& m) { return m.Part<RunRowList>().rows; }

StrokeAxis PickStrokeAxis(int type, int head) {
  if (type == 9) return {};
  if (type == 7 || type == 8) {
    if (head < 1 || head > 8) return {};
    return {true, smt::link::HeadCode(head), 1, false};
  }
  switch (head) {
    case 1: return {true, 2, 1, false};
    case 2: return {true, 2, -1, false};
    case 3: return {true, 3, 1, true};
    case 4: return {true, 3, -1, true};
    default: return {};
  }
}

bool ChangeNozzle(smt::Machine& m, int head, int nozzle) {
  if (head < 1) {
    ShowMessage(kHeaderError);
    return false;
  }
  const int held = m.Part<smt::library::NozzleState>().headNozzle[static_cast<size_t>(head - 1)];
  if (held == nozzle) return true;
  char buf[80];
  std::snprintf(buf, sizeof buf, "Header-A%d, putNozzle-%d, pickNozzle-%d", head, held, nozzle);
  smt::link::RuntimeOf(m).Hooks().AppendInfoLine(buf, true);
  return smt::library::ReturnNozzleToLibrary(m, head, true, false) &&
         smt::library::PickNozzleFromLibrary(m, head, nozzle, true, false);
}

bool MoveHeadToPick(smt::Machine& m, HeadPlaceState& p) {
  const int k = p.headTarget;
  if (k < 1 || k > 4) {
    ShowMessage(kPlaceHeaderNoSelect);
    return false;
  }
  const int32_t tx = Trunc(p.pickX * m.steps.xPulsePerMm) - HeadOffsetX(m, k);
  const int32_t ty = Trunc(p.pickY * m.steps.yPulsePerMm) - HeadOffsetY(m, k);
  if (!Move65(m, tx, ty, p.pickSpeeds[kSpX], p.pickSpeeds[kSpY], p.pickSpeeds[kSpA1])) return false;
  return m.runContinue;
}

bool PickPart(smt::Machine& m, HeadPlaceState& p) {
  const int type = m.machineType;
  const bool dip = (p.feedMode == 7 || p.feedMode == 8) && (type <= 6 || type == 10);
  if (dip) TheMachine(m).SetOutput(10, 1, 5);
  RowState(m, p.row, 5, true);
  const auto ax = PickStrokeAxis(type, p.headTarget);
  if (!ax.valid) {
    // No Z axis carries this head on this machine: nothing can be picked.
    if (dip) TheMachine(m).SetOutput(10, 0, 5);
    CLogFile::Instance().Write(true, "pick: head %d has no stroke axis on machine type %d", p.headTarget, type);
    ShowMessage(kHeaderError);
    return false;
  }
  const int32_t d = Trunc(p.pickHeight * m.steps.zPulsePerMm);
  const auto& sp = p.pickSpeeds[ax.z2 ? kSpZ2 : kSpZ1];
  if (!Ok(TheMachine(m).Stroke(ax.axis, ax.sign * d, Speed(sp), static_cast<uint8_t>(p.headTarget), static_cast<uint16_t>(p.pickDelay), static_cast<uint8_t>(p.vacuum))))
    return false;
  if (!dip) return true;
  // Dip component: the part's legs go into the dipping station.
  const auto station = Services(m).dippingStation ? Services(m).dippingStation() : std::nullopt;
  if (!station) {
    TheMachine(m).SetOutput(10, 0, 5);
    ShowMessage(smt::platform::WindowText("RunMessagesConfig", "RunMessages.c_DippingNotSet", "浸渍站没有设置 !"));
    return false;
  }
  const int32_t tx = Trunc(station->x * m.steps.xPulsePerMm) - HeadOffsetX(m, p.headTarget);
  const int32_t ty = Trunc(station->y * m.steps.yPulsePerMm) - HeadOffsetY(m, p.headTarget);
  if (!Move64(m, tx, ty, p.placeSpeeds[kSpX], p.placeSpeeds[kSpY], smt::link::GantryMove::Checked) || !m.runContinue) return false;
  if (!RunSleep(m, station->runTime)) return false;
  TheMachine(m).SetOutput(10, 0, 5);
  if (!RunSleep(m, station->stopDelay)) return false;
  const int32_t e = Trunc((station->z + p.partHeight) * m.steps.zPulsePerMm);
  const int down = p.headTarget == 1 || p.headTarget == 3 ? -1 : 1;
  return TheMachine(m).MoveAxis(ax.axis, down * e, Speed(sp)) && RunSleep(m, station->delay) &&
         TheMachine(m).MoveAxis(ax.axis, -down * e, Speed(sp));
}

bool FeedAdvance(smt::Machine& m, HeadPickState& r, bool second) {
  const auto pick = smt::settings::SettingsStores::Of(m).speed.Record(SpeedUse::PickPart);
  // Firmware before V2.07 takes no feed count: the argument is then 0.
  const bool sendCount = smt::link::RuntimeOf(m).v2_07.load() != 0;
  auto countArg = [&r, sendCount] { return sendCount ? r.feedCount : 0; };
  const uint8_t alt = NetworkLink(m) ? 0 : 1;
  bool ok = true;
  switch (r.feedMode) {
    case 0: case 4: case 5: {
      if ((r.feedMode == 4 || r.feedMode == 5) && r.feedCount == 0) break;
      if (r.feedMode == 5 && m.headCount == 2) {
        r.feedCount = m.Part<smt::run::HeadRecords>().pick[0].feederNumber == r.feederNumber ? 2 : 1;
        if (r.feedCount == 2 && (!second || m.run.doubleFeed)) {
          r.loosenLength *= 2;
          r.tightenLength *= 2;
        } else if (second) {
          r.feedCount = 1;
        }
      }
      const auto bank = BankOf(m, r.feedSide);
      if (!bank) break;
      const auto& walk = pick[static_cast<size_t>(bank->walkSpeed)];
      const auto& tape = pick[static_cast<size_t>(bank->tapeSpeed)];
      smt::link::FeedValues v{Trunc(r.feedCoordinate * bank->walkPulse) - bank->walkPosition,
                              walk.start, walk.normal,
                              Trunc(r.loosenLength * bank->tapePulse), Trunc(r.tightenLength * bank->tapePulse),
                              tape.start, tape.normal, r.feedTime, countArg(), r.feederIndex};
      ok = Ok(TheMachine(m).Feed(alt, static_cast<uint8_t>(r.feedSide), v));
      break;
    }
    case 1: case 7: {
      auto& af = smt::feeder::AutoFeeders::Of(m);
      if (r.feederIndex >= 1 && r.feederIndex <= 96) af.SetFeederOn(r.feederIndex);
      const auto mask = af.Mask();
      smt::link::FeedValues v{static_cast<int32_t>(mask[0]), static_cast<int32_t>(mask[1]), static_cast<int32_t>(mask[2]), 0, 0,
                              0, 0, r.feedTime, countArg(), r.feederIndex};
      ok = Ok(TheMachine(m).Feed(alt, 10, v));
      break;
    }
    case 2: {
      const int times = NetworkLink(m) ? 1 : std::max(r.feedCount, 1);
      for (int i = 0; i < times && ok; ++i) {
        smt::link::FeedValues v{0, 0, 0, 0, 0, 0, 0, r.feedTime, countArg(), r.feederIndex};
        ok = Ok(TheMachine(m).Feed(alt, 11, v)) && RunSleep(m, r.feedTime);
      }
      break;
    }
    case 3: {
      // The labeling machine's tray moves its tape; no other machine feeds a tray.
      if (m.machineType != 10) break;
      const RunFeedSettings fs = CurrentRunFeedSettings(m);
      smt::link::FeedValues v{0, 0, 0, Trunc(r.loosenLength * fs.m_LabelTape_Pulse),
                              Trunc(r.tightenLength * fs.m_LabelTape_Pulse), fs.m_LabelTapeStart, fs.m_LabelTapeNormal,
                              0, 0, r.feederIndex};
      ok = Ok(TheMachine(m).Feed(alt, static_cast<uint8_t>(r.feedSide), v));
      break;
    }
    default: break;
  }
  // One part fewer in the feeder.
  if (auto feeder = FeederRecordAt(m, r.groupIndex, r.rowIndex)) {
    if (feeder->quantity != 0) SetFeederQuantity(m, r.groupIndex, r.rowIndex, feeder->quantity - 1);
  }
  r.feedPending = 0;
  return ok;
}

void FeedDone(smt::Machine& m, HeadPickState& r) {
  if (r.feedMode != 1 && r.feedMode != 7) return;
  auto& af = smt::feeder::AutoFeeders::Of(m);
  if (r.feederIndex >= 1 && r.feederIndex <= 96) af.SetFeederOff(r.feederIndex);
  const auto mask = af.Mask();
  const int bank = r.feederIndex >= 1 && r.feederIndex <= 96 ? (r.feederIndex - 1) / 32 + 1 : 0;
  smt::link::FeedValues v{static_cast<int32_t>(mask[0]), static_cast<int32_t>(mask[1]), static_cast<int32_t>(mask[2]), 0, 0, 0,
                          0, r.feedTime, NetworkLink(m) ? bank : r.feedCount, r.feederIndex};
  TheMachine(m).Feed(NetworkLink(m) ? 0 : 1, 10, v);
  RunSleep(m, r.feedTime);
}

bool DragFeed(smt::Machine& m, HeadPickState& r) {
  const auto basic = smt::settings::SettingsStores::Of(m).machine.Basic();
  const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(SpeedUse::PickPart);
  const RunFeedSettings fs = CurrentRunFeedSettings(m);
  // 1. Head 2 over the drag point.
  const int32_t x = Trunc(r.loosenLength * m.steps.xPulsePerMm) - HeadOffsetX(m, 2);
  const int32_t y = Trunc(r.tightenLength * m.steps.yPulsePerMm) - HeadOffsetY(m, 2);
  if (!Move64(m, x, y, sp[0], sp[1], smt::link::GantryMove::Checked) || !PauseGate(m)) return false;
  // 2. Down to the tape, head 2's extra length taken off.
  const double z = (r.pickHeight == 0.0 ? basic->m_Z_Nozzle2ToFeed : r.pickHeight) - basic->m_Nozzle2MoreNozzle1;
  r.pickHeight = z;
  const int32_t zs = Trunc(z * m.steps.zPulsePerMm);
  if (!TheMachine(m).MoveAxis(2, zs, Speed(sp[2])) || !PauseGate(m)) return false;
  // 3. The bank's pin into the tape.
  const double s = std::fabs(r.feedCoordinate);
  r.feedCoordinate = s;
  const auto bank = BankOf(m, r.feedSide);
  const uint8_t pinAxis = r.feedSide == 1 ? 11 : r.feedSide == 2 ? 12 : r.feedSide == 3 ? 13 : 0;
  auto pin = [&](int word, int sign) {
    if (!pinAxis || !bank) return true;
    const auto& tape = sp[static_cast<size_t>(bank->tapeSpeed)];
    return TheMachine(m).MoveAxis(pinAxis, sign * Trunc((word / 4) * s * bank->tapePulse), Speed(tape));
  };
  if (!pin(fs.m_DragPinIn, -1) || !PauseGate(m)) return false;
  // 4. Drag the tape by one feed length.
  int32_t dx = 0, dy = 0;
  switch (r.feedSide) {
    case 1: dx = Trunc(s * m.steps.xPulsePerMm); break;
    case 2: dy = -Trunc(s * m.steps.yPulsePerMm); break;
    case 3: dx = -Trunc(s * m.steps.xPulsePerMm); break;
    case 4: dy = Trunc(s * m.steps.yPulsePerMm); break;
  }
  if (!TheMachine(m).MoveGantry(dx, Speed(sp[0]), dy, Speed(sp[1]), smt::link::GantryMove::Station) ||
      !PauseGate(m) || !RunSleep(m, r.feedTime))
    return false;
  // 5. Back by the over-travel.
  const double overBack = basic->m_FeedOverBack;
  int32_t bx = 0, by = 0;
  switch (r.feedSide) {
    case 1: bx = -Trunc(overBack * m.steps.xPulsePerMm); break;
    case 2: by = Trunc(overBack * m.steps.yPulsePerMm); break;
    case 3: bx = Trunc(overBack * m.steps.xPulsePerMm); break;
    case 4: by = -Trunc(overBack * m.steps.yPulsePerMm); break;
  }
  if (!TheMachine(m).MoveGantry(bx, Speed(sp[0]), by, Speed(sp[1]), smt::link::GantryMove::Station) ||
      !PauseGate(m))
    return false;
  // 6. Up, 7. pin out.
  if (!TheMachine(m).MoveAxis(2, -zs, Speed(sp[2])) || !PauseGate(m)) return false;
  if (!pin(fs.m_DragPinOut, 1)) return false;
  return PauseGate(m);
}

bool MoveCameraToFeeder(smt::Machine& m, HeadPlaceState& p) {
  const int32_t tx = Trunc(p.pickX * m.steps.xPulsePerMm) - m.steps.cameraOffsetX;
  const int32_t ty = Trunc(p.pickY * m.steps.yPulsePerMm) - m.steps.cameraOffsetY;
  return Move64(m, tx, ty, p.pickSpeeds[kSpX], p.pickSpeeds[kSpY], smt::link::GantryMove::Checked) && m.runContinue;
}

namespace {
// The board point (mm from the origin) in steps, shifted by (hx, hy).
std::pair<int32_t, int32_t> BoardPoint(smt::Machine& m, double x, double y, int32_t hx, int32_t hy);
}  // namespace

int32_t PlaceOffsetX(smt::Machine& m, int head) {
  // Head mode 2: head 2 carries the dispensing valve and places with its offset.
  if (head == 2 && Strategy(m).m_HeaderSelect == 2) return m.steps.dispenseHeadOffsetX;
  return HeadOffsetX(m, head);
}
int32_t PlaceOffsetY(smt::Machine& m, int head) {
  if (head == 2 && Strategy(m).m_HeaderSelect == 2) return m.steps.dispenseHeadOffsetY;
  return HeadOffsetY(m, head);
}

std::pair<int32_t, int32_t> PlacePoint(smt::Machine& m, double x, double y, int head) {
  return BoardPoint(m, x, y, HeadCorrectionX(m, head) - PlaceOffsetX(m, head), HeadCorrectionY(m, head) - PlaceOffsetY(m, head));
}

std::vector<DispenseRow>& RunDispenseRows(smt::Machine& m) { return m.Part<RunDispenseRowList>().rows; }

bool MoveCameraToPart(smt::Machine& m, HeadPlaceState& p, bool raw, double cellX, double cellY) {
  const auto& rows = RunRows(m);
  if (p.row < 0 || p.row >= static_cast<int>(rows.size())) return false;
  double x = rows[static_cast<size_t>(p.row)].x;
  double y = rows[static_cast<size_t>(p.row)].y;
  if (!raw) {
    x += cellX;
    y += cellY;
  }
  const auto [tx, ty] = BoardPoint(m, x, y, -m.steps.cameraOffsetX, -m.steps.cameraOffsetY);
  const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(SpeedUse::Handle);
  if (!Move64(m, tx, ty, sp[0], sp[1], smt::link::GantryMove::Checked) || !PauseGate(m)) return false;
  RowState(m, p.row, 6, true);
  return true;
}

bool DispensePoint(smt::Machine& m, int command, int row, bool raw, double cellX, double cellY) {
  const auto& rows = RunDispenseRows(m);
  if (row < 0 || row >= static_cast<int>(rows.size())) return false;
  double x = rows[static_cast<size_t>(row)].x;
  double y = rows[static_cast<size_t>(row)].y;
  if (!raw) {
    x += cellX;
    y += cellY;
  }
  const auto [tx, ty] = BoardPoint(m, x, y, -m.steps.dispenseHeadOffsetX, -m.steps.dispenseHeadOffsetY);
  const SmtStrategy st = Strategy(m);
  bool moved = true;
  if (command == 53)
    moved = TheMachine(m).MoveAxisPair(0, tx - m.curX, {st.m_DisSpeedStart_XY, st.m_DisSpeedNormal_XY}, 1, ty - m.curY, {st.m_DisSpeedStart_XY, st.m_DisSpeedNormal_XY});
  else if (command == 64)
    moved = Move64(m, tx, ty, {st.m_DisSpeedStart_XY, st.m_DisSpeedNormal_XY},
                   {st.m_DisSpeedStart_XY, st.m_DisSpeedNormal_XY}, smt::link::GantryMove::Checked);
  return moved && PauseGate(m);
}

namespace {
std::pair<int32_t, int32_t> BoardPoint(smt::Machine& m, double x, double y, int32_t hx, int32_t hy) {
  const BoardFrame& f = Frame(m);
  if (!f.marksOn) return {f.originX + Trunc(x * m.steps.xPulsePerMm) + hx, f.originY + Trunc(y * m.steps.yPulsePerMm) + hy};
  if (f.mark2mmX == 0.0 && f.mark2mmY == 0.0)
    return {f.originX + Trunc(x * m.steps.xPulsePerMm) + m.correction.mark1DevStepsX + hx,
            f.originY + Trunc(y * m.steps.yPulsePerMm) + m.correction.mark1DevStepsY + hy};
  const double dx = x - f.mark1mmX, dy = y - f.mark1mmY;
  const double rot = m.correction.boardRotation;
  double ox = 0, oy = 0;
  if (rot == 0.0) {
    ox = dx * m.steps.xPulsePerMm;
    oy = dy * m.steps.yPulsePerMm;
  } else if (dx != 0 || dy != 0) {
    const float r = std::sqrt(static_cast<float>(dy * dy + dx * dx));
    const double a = smt::job::LineAngle(dx, dy);
    const double th = (a + rot) * M_PI / 180.0;
    const double sgn = (dx > 0 || (dx == 0 && dy > 0)) ? 1.0 : -1.0;
    ox = sgn * r * std::cos(th) * m.steps.xPulsePerMm;
    oy = sgn * r * std::sin(th) * m.steps.yPulsePerMm;
  }
  return {f.mark1X + m.correction.mark1DevStepsX + Trunc(ox) + hx, f.mark1Y + m.correction.mark1DevStepsY + Trunc(oy) + hy};
}
}  // namespace

SafePoint& Safe(smt::Machine& m) {
  return m.Part<SafePoint>();
}

bool PlacePart(smt::Machine& m, HeadPlaceState& p, int slot, bool checkOwnMark, bool raw, double cellX, double cellY) {
  const auto& rows = RunRows(m);
  if (p.row < 0 || p.row >= static_cast<int>(rows.size())) return false;
  const PlacementRow& part = rows[static_cast<size_t>(p.row)];
  double x = part.x;
  double y = part.y;
  if (!raw) {
    x += cellX;
    y += cellY;
  }
  Safe(m).via = false;
  p.ownMark = 0;
  std::optional<smt::library::MarkEditFields> mark;
  if (checkOwnMark && !part.ownMark.empty()) {
    p.ownMark = 1;
    Safe(m).via = part.ownMark.find("Via-") != std::string::npos || part.ownMark.find("via-") != std::string::npos;
    if (auto record = smt::library::TheMarkLibrary(m).FindRecord(part.ownMark)) {
      mark = *record;
    } else {
      // No mark to look at: no safe point is stored either, so the part is
      // placed like any other and the head does not go to a stale point.
      p.ownMark = 0;
      Safe(m).via = false;
    }
  }
  const int k = p.headTarget;
  const int32_t hx = HeadCorrectionX(m, k) - PlaceOffsetX(m, k), hy = HeadCorrectionY(m, k) - PlaceOffsetY(m, k);
  auto [px, py] = PlacePoint(m, x, y, k);
  const bool corrected = p.visionMode == 1 || p.visionMode == 2;
  if (corrected) {
    if (!p.ownMark) {
      px += p.correctionX;
      py += p.correctionY;
    }
    for (auto& a : m.motion.headMoveArgs) a = 0;
    if (p.visionMode == 2 && k >= 1 && k <= 8) m.motion.headMoveArgs[static_cast<size_t>(k - 1)] = -p.correctionA;
  } else if (m.run.firstVisionDone) {
    for (auto& a : m.motion.headMoveArgs) a = 0;
  } else if (slot == 9) {
    for (int h = 1; h <= 8; ++h)
      if (h != k) m.motion.headMoveArgs[static_cast<size_t>(h - 1)] = 0;
  } else if (!Batch(m).active) {
    for (int j = 1; j < slot && j <= 8; ++j)
      if (m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(j - 1)].row != -1) {
        for (auto& a : m.motion.headMoveArgs) a = 0;
        break;
      }
  }
  const bool eight = m.machineType == 7 || m.machineType == 8;
  if (eight && Trunc(p.placeHeight * m.steps.zPulsePerMm) > 0) {
    ShowMessage(kPlaceHeightSetError);
    return false;
  }
  if (!p.ownMark) {
    if (eight) return EightHeadPlace(m, p, slot, px, py, p.placeSpeeds[kSpX]);
    return Move65(m, px, py, p.placeSpeeds[kSpX], p.placeSpeeds[kSpY], p.placeSpeeds[kSpA1]);
  }
  // The part's own mark: the camera looks at it first.
  const bool via = Safe(m).via;
  TheMachine(m).TriggerCamera(1, mark->brightness);
  const int32_t mx = Trunc(mark->mark1X * m.steps.xPulsePerMm), my = Trunc(mark->mark1Y * m.steps.yPulsePerMm);
  const int32_t cx = via ? 0 : m.steps.cameraOffsetX, cy = via ? 0 : m.steps.cameraOffsetY;
  const int32_t tx = px - hx + mx - cx, ty = py - hy + my - cy;
  if (via) {
    Safe(m).x = tx;
    Safe(m).y = ty;
  }
  if (eight) {
    std::array<int32_t, 8> none{};
    if (!TheMachine(m).MoveGantryTurningHeads(tx - m.curX, Speed(p.visionPlaceSpeeds[kSpX]), ty - m.curY, Speed(p.visionPlaceSpeeds[kSpY]), none, Speed(p.placeSpeeds[kSpA1])))
      return false;
  } else if (!Move65(m, tx, ty, p.visionPlaceSpeeds[kSpX], p.visionPlaceSpeeds[kSpY], p.placeSpeeds[kSpA1])) {
    return false;
  }
  if (!PauseGate(m)) return false;
  if (!via && !Services(m).vision->RecognizeOwnMark(*mark, p)) return false;
  int32_t sx = cx - mx + hx, sy = cy - my + hy;
  if (corrected) {
    sx += p.correctionX;
    sy += p.correctionY;
  }
  for (auto& a : m.motion.headMoveArgs) a = 0;
  if (eight) {
    if (!EightHeadPlace(m, p, slot, m.curX + sx, m.curY + sy, p.visionPlaceSpeeds[kSpX])) return false;
  } else if (!Move65(m, m.curX + sx, m.curY + sy, p.visionPlaceSpeeds[kSpX], p.visionPlaceSpeeds[kSpY],
                     p.placeSpeeds[kSpA1])) {
    return false;
  }
  return PauseGate(m);
}

void PlaceStroke(smt::Machine& m, HeadPlaceState& p, double base) {
  const auto ax = PickStrokeAxis(m.machineType, p.headTarget);
  if (!ax.valid) {
    // Nothing was put down: the part counts as not placed.
    CLogFile::Instance().Write(true, "place: head %d has no stroke axis on machine type %d", p.headTarget,
                               m.machineType.load());
    m.link.vacuumCheckOk = false;
    return;
  }
  const int32_t s = Trunc((base + p.placeHeight) * m.steps.zPulsePerMm);
  const int32_t lift = std::max<int32_t>(1, -Trunc((base + p.vacuumOffHeight) * m.steps.zPulsePerMm));
  const auto& sp = p.placeSpeeds[ax.z2 ? kSpZ2 : kSpZ1];
  if (!Ok(TheMachine(m).StrokeReleasing(ax.axis, ax.sign * s, Speed(sp), lift, static_cast<uint16_t>(p.placeDelay), p.vacuum)))
    m.link.vacuumCheckOk = false;  // a stroke that did not complete never counts as placed
}

bool DiscardPart(smt::Machine& m, HeadPlaceState& p) {
  const int k = p.headTarget;
  const int32_t tx = m.steps.throwPositionX - ((k >= 1 && k <= 8) ? HeadOffsetX(m, k) : 0);
  const int32_t ty = m.steps.throwPositionY - ((k >= 1 && k <= 8) ? HeadOffsetY(m, k) : 0);
  if (!Move64(m, tx, ty, p.placeSpeeds[kSpX], p.placeSpeeds[kSpY], smt::link::GantryMove::Checked) || !m.runContinue) return false;
  const auto basic = smt::settings::SettingsStores::Of(m).machine.Basic();
  const int type = m.machineType;
  if (type == 7 || type == 8) TheMachine(m).SetOutput(smt::link::HeadCode(k), 0, basic->m_Exhaust);
  else if (type != 9) TheMachine(m).SetOutput(k, 0, 5);
  return RunSleep(m, basic->m_ThrowDelay);
}

namespace {
std::string HeadList(const std::vector<int>& heads) {
  std::string t;
  for (int k : heads) t += (t.empty() ? "" : ", ") + std::to_string(k);
  return t;
}

void VacuumOff(smt::Machine& m, int head, int exhaust) {
  const int type = m.machineType;
  if (type == 7 || type == 8) TheMachine(m).SetOutput(smt::link::HeadCode(head), 0, exhaust);
  else TheMachine(m).SetOutput(head, 0, 5);
}
}  // namespace

int ThrowHeldPartsAfterStop(smt::Machine& m) {
  std::vector<int> held;
  const uint8_t pumps = smt::link::RuntimeOf(m).pumpButtons.load();
  for (int k = 1; k <= 8; ++k)
    if (pumps & (1u << (k - 1))) held.push_back(k);
  if (held.empty() || m.machineType == 9) return 0;
  // Closing the program: the vacuum keeps holding; nothing more moves.
  if (smt::platform::WorkerThreads::Instance().ShuttingDown()) return 0;
  const auto basic = smt::settings::SettingsStores::Of(m).machine.Basic();
  const int exhaust = basic->m_Exhaust;
  const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(SpeedUse::Smt);
  std::vector<int> thrown, left;
  for (int k : held) {
    const bool canMove = m.connected && !smt::link::LinkKnownLost(m) && !m.link.positionLost && m.masterResetOk;
    if (!canMove) {
      left.push_back(k);
      continue;
    }
    const int32_t tx = m.steps.throwPositionX - HeadOffsetX(m, k);
    const int32_t ty = m.steps.throwPositionY - HeadOffsetY(m, k);
    if (!TheMachine(m).MoveGantry(tx - m.curX, Speed(sp[0]), ty - m.curY, Speed(sp[1]), smt::link::GantryMove::Checked)) {
      left.push_back(k);
      continue;
    }
    VacuumOff(m, k, exhaust);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp(basic->m_ThrowDelay, 0, 2000)));
    thrown.push_back(k);
  }
  CLogFile::Instance().Write(true, "run stopped: %zu part(s) thrown (nozzles %s), %zu held (nozzles %s)", thrown.size(),
                             HeadList(thrown).c_str(), left.size(), HeadList(left).c_str());
  // The link is gone: the operator was told so once, with the nozzles that
  // may still hold parts; the run adds nothing (it could not switch their
  // vacuum off anyway).
  if (!m.connected || smt::link::LinkKnownLost(m)) return static_cast<int>(thrown.size());
  if (!left.empty()) {
    // Never dropped where the head stands: held until the operator says the
    // parts are off the nozzles.
    const std::string q = smt::platform::FillText(
        smt::platform::WindowText(kStrategySection, "SmtStrategy.c_PartsHeldAfterStop",
                                  "运行已停止，吸嘴 %1 上仍有元件，机器无法把它们送到抛料位置（位置未知或连接已断开），"
                                  "真空仍吸着它们。\r\n请用手从吸嘴上取下元件，然后按确定关闭真空。"),
        {HeadList(left)});
    smt::platform::ShowMessage(q, smt::platform::MsgButtons::Ok, smt::platform::MsgIcon::Warning);
    if (m.connected && !smt::link::LinkKnownLost(m))
      for (int k : left) VacuumOff(m, k, exhaust);
  }
  smt::link::NotifyOperator(smt::platform::FillText(
      smt::platform::WindowText(kStrategySection, "SmtStrategy.c_StopThrown", "运行已停止：%1 个元件已抛到抛料位置。"),
      {std::to_string(thrown.size())}));
  return static_cast<int>(thrown.size());
}

namespace {
// Machine type 5 with two capture cameras: when head 1 is over vision
// camera 1, head 2 is in the second camera's view. Both heads centred in one
// pass on camera 1: head 2 needs no move of its own.
bool Head2InSideView(smt::Machine& m, const HeadPlaceState& p) {
  if (m.machineType != 5 || p.headTarget != 2) return false;
  const int mode = Strategy(m).m_HeaderSelect;
  if (mode != 1 && mode != 2) return false;
  const HeadPlaceState& h1 = m.Part<smt::run::HeadRecords>().place[0];
  if (!(p.visionCamera == 1 && p.visionMode == 2 && h1.visionCamera == 1 && h1.visionMode == 2)) return false;
  return Services(m).vision->CaptureCameraCount() >= 2;
}
}  // namespace

bool VisionCentreHead(smt::Machine& m, HeadPlaceState& p, bool again) {
  const int k = p.headTarget;
  if (k < 1 || k > 8) return false;
  const bool sideView = !again && Head2InSideView(m, p);
  if (!sideView) {
    const int cam = p.visionCamera == 2 ? 2 : 1;
    // Camera 1 is channel 2, camera 2 channel 3; the camera panel follows
    // the channel (SwitchCamera(channel - 1, keep trigger mode)).
    if (cam == 1) TheMachine(m).TriggerCamera(2, p.lightBrightness);
    else TheMachine(m).TriggerCamera(3, p.lightBrightness);
    const auto pos = Services(m).vision->VisionCameraPosition(cam);
    const int32_t tx = pos.first - HeadOffsetX(m, k), ty = pos.second - HeadOffsetY(m, k);
    bool moved;
    if (!m.run.firstVisionDone || again)
      moved = Move65(m, tx, ty, p.visionPlaceSpeeds[kSpX], p.visionPlaceSpeeds[kSpY], p.placeSpeeds[kSpA1]);
    else
      moved = Move64(m, tx, ty, p.visionPlaceSpeeds[kSpX], p.visionPlaceSpeeds[kSpY], smt::link::GantryMove::Checked);
    if (!moved || !PauseGate(m)) return false;
  }
  const int type = m.machineType;
  if (type <= 6 || type == 10) {
    if (k <= 4 && !Ok(TheMachine(m).ReadVacuum(k))) return false;
    if (!PauseGate(m)) return false;
    m.run.firstVisionDone = true;
    if (k <= 4 && m.link.vacuumKpa < p.vacuum) {
      p.failedRow = p.row;
      RowState(m, p.row, 7, false);
      return true;
    }
    p.failedRow = -1;
  } else if (type == 7 || type == 8) {
    m.run.firstVisionDone = true;
  }
  return Services(m).vision->RecognizeHeadPart(p, sideView);
}

bool FillReplenishRecord(smt::Machine& m, int head) {
  if (head < 1 || head > 8) {
    ShowMessage(kFeedIsNoFind);
    return false;
  }
  const auto& p = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(head - 1)];
  m.Part<smt::run::HeadRecords>().pickExtra1 = p.pick;
  m.Part<smt::run::HeadRecords>().pickExtra1.row = p.row;
  m.Part<smt::run::HeadRecords>().pickExtra1.headTarget = p.headTarget;
  m.Part<smt::run::HeadRecords>().pickExtra1.nozzleTarget = p.nozzleTarget;
  return true;
}

bool MoveToSafePosition(smt::Machine& m) {
  if (!Safe(m).via) return true;
  for (auto& a : m.motion.headMoveArgs) a = 0;
  const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(SpeedUse::Handle);
  return Move65(m, Safe(m).x, Safe(m).y, sp[0], sp[1], sp[4]) && m.runContinue;
}

namespace {
bool WaitFeedPending(smt::Machine& m, const HeadPickState& r) {
  const auto limit = std::chrono::steady_clock::now() + Timeouts(m).feedReady;
  while (r.feedPending) {
    if (!m.runContinue || FeedFailed(m)) return false;
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(Timeouts(m).poll);
  }
  return true;
}
}  // namespace

namespace {

// A feeder bank's walk axis to its park point before the operator is asked
// (the axis stays clear of the head while the operator reaches in).
void ParkWalkAxis(smt::Machine& m, int side) {
  const auto pick = smt::settings::SettingsStores::Of(m).speed.Record(SpeedUse::PickPart);
  auto park = [&](uint8_t axis, int32_t target, int32_t position, int speedSlot) {
    if (position == 0) return;
    const auto& sp = pick[static_cast<size_t>(speedSlot)];
    TheMachine(m).MoveAxis(axis, target - position, Speed(sp));
  };
  switch (side) {
    case 1: park(8, -100, m.motion.curAxis8, 8); break;
    case 2: park(9, 100, m.motion.curAxis9, 10); break;
    case 3: park(10, -100, m.motion.curAxis10, 12); break;
    default: break;
  }
}

// The operator's "No" with automatic nozzle change: the nozzles go back to
// the library, the head parks and the machine is homed again.
void ReturnNozzlesAndHome(smt::Machine& m, const HeadPlaceState& p) {
  const SmtStrategy st = Strategy(m);
  std::vector<int> heads;
  if (st.m_19NozzleLibrary == 0) {
    switch (st.m_ChangeNozzleSelect) {
      case 0: heads = {1, 2}; break;
      case 1: heads = {2}; break;
      case 2: heads = {1}; break;
      default: break;
    }
  } else {
    heads = {1, 2, 3, 4};
  }
  for (int h : heads)
    if (!smt::library::ReturnNozzleToLibrary(m, h, true, false)) return;
  if (!Move64(m, 100, -100, p.placeSpeeds[kSpX], p.placeSpeeds[kSpY], smt::link::GantryMove::Checked) || !PauseGate(m)) return;
  const auto pick = smt::settings::SettingsStores::Of(m).speed.Record(SpeedUse::PickPart);
  if (m.motion.curAxis8 != 0) TheMachine(m).MoveAxis(8, -100 - m.motion.curAxis8, Speed(pick[8]));
  if (m.motion.curAxis9 != 0) TheMachine(m).MoveAxis(9, 100 - m.motion.curAxis9, Speed(pick[10]));
  // The Mark-camera switch runs on the window thread and wants a homed
  // machine; the homing queued behind it clears the homed flag itself.
  if (auto v = Services(m).vision.Get()) v->OpenMarkCamera();
  Services(m).startHome();
}

}  // namespace

CoverSettings& RunCover(smt::Machine& m) {
  return m.Part<CoverSettings>();
}

void CountCoverPart(smt::Machine& m) {
  const SmtStrategy st = Strategy(m);
  if (!st.m_Cover) return;
  auto& cv = RunCover(m);
  ++cv.totalCount;
  ++cv.count;
  if (Services(m).saveCoverCounters) Services(m).saveCoverCounters(cv.totalCount, cv.count);
  if (auto d = Display(m)) d->CoverCount(cv.totalCount);
}

bool ReplenishHead(smt::Machine& m, HeadPlaceState& p, int head, double cellX, double cellY) {
  auto clear = [&] {
    p.failed = 0;
    p.row = -1;
    return false;
  };
  int match = -1;
  bool fresh = true;
  bool retried = false;
  const int group = Feeders(m).CurrentIndex();
  const std::string name0402 = FeedModeNames(m)[4];
  while (p.failedRow != -1 || p.failed) {
    if (fresh) {
      if (!FillReplenishRecord(m, head)) return clear();
      m.Part<smt::run::HeadRecords>().pickExtra1.row = p.failedRow != -1 ? p.failedRow : p.row;
      if (match < 0) {
        match = 0;
        for (int j = 1; j <= 4; ++j) {
          const auto& r = m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(j - 1)];
          if (r.row != -1 && r.feederNumber == m.Part<smt::run::HeadRecords>().pickExtra1.feederNumber && r.feedSide == m.Part<smt::run::HeadRecords>().pickExtra1.feedSide) {
            match = j;
            break;
          }
        }
      }
      m.run.doubleFeed = false;
      const bool drag = m.Part<smt::run::HeadRecords>().pickExtra1.feedMode == 6;
      if (retried) {
        if (!drag && !FeedAdvance(m, m.Part<smt::run::HeadRecords>().pickExtra1, true)) return clear();
      } else if (match == 1 || match == 2) {
        // The feeder thread is presenting a part of this feeder for the next
        // cycle: take that one.
        if (m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(match - 1)].feedRequested &&
            !WaitFeedPending(m, m.Part<smt::run::HeadRecords>().pick[static_cast<size_t>(match - 1)]))
          return clear();
      } else if (match == 3 || match == 4) {
        if (!drag && !FeedAdvance(m, m.Part<smt::run::HeadRecords>().pickExtra1, true)) return clear();
      } else if (!drag) {
        if (!WaitFeedPending(m, m.Part<smt::run::HeadRecords>().pick[0]) || !FeedAdvance(m, m.Part<smt::run::HeadRecords>().pickExtra1, true)) return clear();
      }
      fresh = false;
    }
    const int row = m.Part<smt::run::HeadRecords>().pickExtra1.row;
    if (!PreparePickPlace(m, group, p, 9)) return clear();
    p.row = row;
    if (m.Part<smt::run::HeadRecords>().pickExtra1.feedMode == 6 && !DragFeed(m, m.Part<smt::run::HeadRecords>().pickExtra1)) return clear();
    if (!MoveHeadToPick(m, p) || !PickPart(m, p)) return clear();
    if (m.Part<smt::run::HeadRecords>().pickExtra1.feedModeText == name0402)
      if (auto fr = FeederRecordAt(m, m.Part<smt::run::HeadRecords>().pickExtra1.groupIndex, m.Part<smt::run::HeadRecords>().pickExtra1.rowIndex))
        m.Part<smt::run::HeadRecords>().pickExtra1.feedCount = fr->feedCount;
    FeedDone(m, m.Part<smt::run::HeadRecords>().pickExtra1);
    if (!PauseGate(m)) return clear();
    LogReplenishRotation(m, p, &RunRows(m));
    // A new part is on the nozzle: only this attempt's checks count.
    p.failedRow = -1;
    p.failed = 0;
    if (p.visionMode == 1 || p.visionMode == 2) {
      if (!VisionCentreHead(m, p, true)) return clear();
      if ((p.failedRow != -1 || p.failed) && !DiscardPart(m, p)) return clear();
    }
    if (p.failedRow == -1 && !p.failed) {
      if (!PlacePart(m, p, 9, true, Frame(m).marksPerCell, cellX, cellY)) return clear();
      m.link.vacuumCheckOk = true;
      PlaceStroke(m, p, 0.0);
      if (m.link.vacuumCheckOk) {
        p.failedRow = -1;
        RowState(m, row, 6, false);
      } else {
        p.failedRow = row;
        RowState(m, row, 7, false);
      }
    }
    if (p.failedRow == -1 && !p.failed) {
      p.row = -1;
      ++PartList(m).run.m_nPlacedCount;
      CountCoverPart(m);
      break;
    }
    // Still failing: the walk axis parks, then the operator decides.
    if (m.Part<smt::run::HeadRecords>().pickExtra1.feedMode == 0 || m.Part<smt::run::HeadRecords>().pickExtra1.feedMode == 4 || m.Part<smt::run::HeadRecords>().pickExtra1.feedMode == 5)
      ParkWalkAxis(m, m.Part<smt::run::HeadRecords>().pickExtra1.feedSide);
    const bool vacuumFailed = p.failedRow != -1;
    const std::string q =
        vacuumFailed ? RunText(m, "PartList.c_Message_45", kRepairVacuumQuestion) : RunText(m, "PartList.c_Message_46", kRepairVisionQuestion);
    m.machineBusy = false;
    const auto answer = ShowMessage(q, smt::platform::MsgButtons::YesNoCancel, smt::platform::MsgIcon::Question);
    m.machineBusy = true;
    if (answer == smt::platform::MsgAnswer::No) {
      if (m.run.autoChangeNozzle) ReturnNozzlesAndHome(m, p);
      return clear();
    }
    if (answer == smt::platform::MsgAnswer::Cancel) {
      fresh = true;
      retried = true;
      if (!DiscardPart(m, p)) return clear();
      p.failed = 0;
      p.failedRow = row;
    } else if (answer == smt::platform::MsgAnswer::Yes) {
      p.failedRow = -1;
      p.failed = 0;
      if (!DiscardPart(m, p)) return clear();
      p.row = -1;
    } else {
      p.failedRow = -1;
      p.failed = 0;
    }
    if (!PauseGate(m)) return clear();
  }
  m.run.doubleFeed = true;
  if ((match == 1 || match == 2) && m.Part<smt::run::HeadRecords>().pickExtra1.feedMode != 6 && !FeedAdvance(m, m.Part<smt::run::HeadRecords>().pickExtra1, false)) return clear();
  return true;
}


}  // namespace smt::run

namespace smt::run {

void LogPlacement(const HeadPlaceState& p, int head) {
  static constexpr const char* kPaths[] = {"no vision", "stop-and-look", "fly"};
  CLogFile::Instance().Write(true, "placed: row %d head %d nozzle %d, vision path: %s", p.row + 1, head, p.nozzleTarget,
                             kPaths[std::clamp(p.visionPath, 0, 2)]);
}

}  // namespace smt::run
