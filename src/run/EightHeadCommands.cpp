#include "run/EightHeadCommands.h"

#include <cstdlib>

#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "link/LinkGlobals.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "platform/MessageService.h"
#include "run/RunServices.h"
#include "run/RunState.h"
#include "run/TheMachine.h"
#include "settings/SettingsStores.h"
#include "core/Machine.h"

namespace smt::run {

namespace {

int32_t Trunc(double v) { return static_cast<int32_t>(v); }

int FeedKind(int mode, int side) {
  if (mode == 0) return side;
  if (mode == 1 || mode == 7) return 10;
  if (mode == 2) return 11;
  return 13;
}

int32_t PickX(smt::Machine& m, const HeadPlaceState& p) { return Trunc(p.pickX * m.steps.xPulsePerMm) - smt::job::NozzleOffsetX(m, p.headTarget); }
int32_t PickY(smt::Machine& m, const HeadPlaceState& p) { return Trunc(p.pickY * m.steps.yPulsePerMm) - smt::job::NozzleOffsetY(m, p.headTarget); }

}  // namespace

smt::link::HeadPickMove PickMoveOf(smt::Machine& m, const HeadPickState& r, const HeadPlaceState& p) {
  smt::link::HeadPickMove mv;
  mv.feeder = r.feederIndex;
  mv.feedKind = FeedKind(r.feedMode, r.feedSide);
  mv.feedTime = r.feedTime;
  mv.feedCount = r.feedCount;
  mv.x = PickX(m, p);
  mv.y = PickY(m, p);
  mv.xSpeed = Speed(p.pickSpeeds[kSpX]);
  mv.turns = HeadTurns(m);
  mv.turnSpeed = Speed(p.pickSpeeds[kSpA1]);
  mv.head = p.headTarget;
  mv.depth = Trunc(p.pickHeight * m.steps.zPulsePerMm);
  mv.zSpeed = Speed(p.pickSpeeds[kSpZ1]);
  mv.delay = p.pickDelay;
  mv.vacuumDepth = std::abs(Trunc(p.vacuumHeight * m.steps.zPulsePerMm));
  return mv;
}

bool MoveHeadsToPick(smt::Machine& m, HeadPickState& r, HeadPlaceState& p) {
  RowState(m, p.row, 5, true);
  if (p.headTarget < 1 || p.headTarget > 8) {
    smt::platform::ShowMessage(kPickHeaderNoSelect);
    return false;
  }
  return TheMachine(m).PickWithHead(PickMoveOf(m, r, p)) && m.runContinue;
}

bool BuildBatchPick(smt::Machine& m, smt::link::HeadsPickMove& mv) {
  mv = {};
  for (size_t s = 0; s < 8; ++s) {
    const auto& p = m.Part<smt::run::HeadRecords>().place[s];
    if (p.row == -1) break;
    RowState(m, p.row, 5, true);
    if (p.headTarget < 1 || p.headTarget > 8) {
      smt::platform::ShowMessage(kPickHeaderNoSelect);
      return false;
    }
    auto& slot = mv.slots[s];
    slot.head = p.headTarget;
    slot.feeder = p.pick.feederIndex;
    slot.feedTime = p.pick.feedTime;
    slot.x = PickX(m, p);
    slot.y = PickY(m, p);
    slot.depth = Trunc(p.pickHeight * m.steps.zPulsePerMm);
    slot.delay = p.pickDelay;
    mv.count = static_cast<int>(s) + 1;
  }
  const auto& h1 = m.Part<smt::run::HeadRecords>().place[0];
  mv.xSpeed = Speed(h1.pickSpeeds[kSpX]);
  mv.turns = HeadTurns(m);
  mv.turnSpeed = Speed(h1.pickSpeeds[kSpA1]);
  mv.zSpeed = Speed(h1.pickSpeeds[kSpZ1]);
  return true;
}

bool SendBatchPick(smt::Machine& m) {
  smt::link::HeadsPickMove mv;
  if (!BuildBatchPick(m, mv)) return false;
  if (!TheMachine(m).PickWithHeads(mv) || !m.runContinue) return false;
  // The heads end over the last loaded head's pick point.
  for (int s = 7; s >= 0; --s) {
    const auto& p = m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(s)];
    if (p.row == -1 || (s > 0 && m.Part<smt::run::HeadRecords>().place[static_cast<size_t>(s - 1)].row == -1)) continue;
    m.curX = PickX(m, p);
    m.curY = PickY(m, p);
    break;
  }
  return true;
}

BatchPlace& Batch(smt::Machine& m) {
  return m.Part<BatchPlace>();
}

bool EightHeadPlace(smt::Machine& m, HeadPlaceState& p, int slot, int32_t tx, int32_t ty, const SpeedPair& xPair) {
  const int32_t depth = Trunc(p.placeHeight * m.steps.zPulsePerMm);
  if (depth > 0) {
    smt::platform::ShowMessage(kPlaceHeightSetError);
    return false;
  }
  const int32_t lift = std::max<int32_t>(1, -Trunc(p.vacuumOffHeight * m.steps.zPulsePerMm));
  const int exhaust = smt::settings::SettingsStores::Of(m).machine.Basic()->m_Exhaust;
  auto& batch = Batch(m);
  if (batch.active && slot >= 1 && slot <= 8) {
    auto& mv = batch.move;
    auto& s = mv.slots[static_cast<size_t>(slot - 1)];
    s.used = true;
    s.head = p.headTarget;
    s.x = tx;
    s.y = ty;
    s.depth = depth;
    s.lift = lift;
    s.exhaust = exhaust;
    s.delay = p.placeDelay;
    s.vacuum = p.vacuum;
    mv.fromX = m.curX;
    mv.fromY = m.curY;
    mv.xSpeed = Speed(xPair);
    // The heads' turns are those the cycle's first place set.
    if (slot == 1) mv.turns = HeadTurns(m);
    mv.turnSpeed = Speed(p.placeSpeeds[kSpA1]);
    mv.zSpeed = Speed(p.placeSpeeds[kSpZ1]);
    batch.lastX = tx;
    batch.lastY = ty;
    return true;
  }
  smt::link::HeadPlaceMove mv;
  mv.x = tx;
  mv.y = ty;
  mv.xSpeed = Speed(xPair);
  mv.turns = HeadTurns(m);
  mv.turnSpeed = Speed(p.placeSpeeds[kSpA1]);
  mv.head = p.headTarget;
  mv.depth = depth;
  mv.zSpeed = Speed(p.placeSpeeds[kSpZ1]);
  mv.lift = lift;
  mv.exhaust = exhaust;
  mv.delay = p.placeDelay;
  mv.vacuum = p.vacuum;
  return TheMachine(m).PlaceWithHead(mv);
}

bool SendBatchPlace(smt::Machine& m) {
  auto& batch = Batch(m);
  m.link.vacuumCheckOk = true;
  if (!TheMachine(m).PlaceWithHeads(batch.move) || !m.runContinue) return false;
  m.curX = batch.lastX;
  m.curY = batch.lastY;
  return true;
}


}  // namespace smt::run
