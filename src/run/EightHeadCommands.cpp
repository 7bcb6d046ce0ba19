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

int32_t PickX(const HeadPlaceState& p) { return Trunc(p.pickX * smt::CurrentMachine().steps.xPulsePerMm) - smt::job::NozzleOffsetX(p.headTarget); }
int32_t PickY(const HeadPlaceState& p) { return Trunc(p.pickY * smt::CurrentMachine().steps.yPulsePerMm) - smt::job::NozzleOffsetY(p.headTarget); }

}  // namespace

smt::link::HeadPickMove PickMoveOf(const HeadPickState& r, const HeadPlaceState& p) {
  smt::link::HeadPickMove m;
  m.feeder = r.feederIndex;
  m.feedKind = FeedKind(r.feedMode, r.feedSide);
  m.feedTime = r.feedTime;
  m.feedCount = r.feedCount;
  m.x = PickX(p);
  m.y = PickY(p);
  m.xSpeed = Speed(p.pickSpeeds[kSpX]);
  m.turns = HeadTurns();
  m.turnSpeed = Speed(p.pickSpeeds[kSpA1]);
  m.head = p.headTarget;
  m.depth = Trunc(p.pickHeight * smt::CurrentMachine().steps.zPulsePerMm);
  m.zSpeed = Speed(p.pickSpeeds[kSpZ1]);
  m.delay = p.pickDelay;
  m.vacuumDepth = std::abs(Trunc(p.vacuumHeight * smt::CurrentMachine().steps.zPulsePerMm));
  return m;
}

bool MoveHeadsToPick(HeadPickState& r, HeadPlaceState& p) {
  RowState(p.row, 5, true);
  if (p.headTarget < 1 || p.headTarget > 8) {
    smt::platform::ShowMessage(kPickHeaderNoSelect);
    return false;
  }
  return TheMachine().PickWithHead(PickMoveOf(r, p)) && smt::CurrentMachine().runContinue;
}

bool BuildBatchPick(smt::link::HeadsPickMove& m) {
  m = {};
  for (size_t s = 0; s < 8; ++s) {
    const auto& p = smt::CurrentMachine().Part<smt::run::HeadRecords>().place[s];
    if (p.row == -1) break;
    RowState(p.row, 5, true);
    if (p.headTarget < 1 || p.headTarget > 8) {
      smt::platform::ShowMessage(kPickHeaderNoSelect);
      return false;
    }
    auto& slot = m.slots[s];
    slot.head = p.headTarget;
    slot.feeder = p.pick.feederIndex;
    slot.feedTime = p.pick.feedTime;
    slot.x = PickX(p);
    slot.y = PickY(p);
    slot.depth = Trunc(p.pickHeight * smt::CurrentMachine().steps.zPulsePerMm);
    slot.delay = p.pickDelay;
    m.count = static_cast<int>(s) + 1;
  }
  const auto& h1 = smt::CurrentMachine().Part<smt::run::HeadRecords>().place[0];
  m.xSpeed = Speed(h1.pickSpeeds[kSpX]);
  m.turns = HeadTurns();
  m.turnSpeed = Speed(h1.pickSpeeds[kSpA1]);
  m.zSpeed = Speed(h1.pickSpeeds[kSpZ1]);
  return true;
}

bool SendBatchPick() {
  smt::link::HeadsPickMove m;
  if (!BuildBatchPick(m)) return false;
  if (!TheMachine().PickWithHeads(m) || !smt::CurrentMachine().runContinue) return false;
  // The heads end over the last loaded head's pick point.
  for (int s = 7; s >= 0; --s) {
    const auto& p = smt::CurrentMachine().Part<smt::run::HeadRecords>().place[static_cast<size_t>(s)];
    if (p.row == -1 || (s > 0 && smt::CurrentMachine().Part<smt::run::HeadRecords>().place[static_cast<size_t>(s - 1)].row == -1)) continue;
    smt::CurrentMachine().curX = PickX(p);
    smt::CurrentMachine().curY = PickY(p);
    break;
  }
  return true;
}

BatchPlace& Batch() {
  return smt::CurrentMachine().Part<BatchPlace>();
}

bool EightHeadPlace(HeadPlaceState& p, int slot, int32_t tx, int32_t ty, const SpeedPair& xPair) {
  const int32_t depth = Trunc(p.placeHeight * smt::CurrentMachine().steps.zPulsePerMm);
  if (depth > 0) {
    smt::platform::ShowMessage(kPlaceHeightSetError);
    return false;
  }
  const int32_t lift = std::max<int32_t>(1, -Trunc(p.vacuumOffHeight * smt::CurrentMachine().steps.zPulsePerMm));
  const int exhaust = smt::settings::SettingsStores::Instance().machine.Basic()->m_Exhaust;
  auto& batch = Batch();
  if (batch.active && slot >= 1 && slot <= 8) {
    auto& m = batch.move;
    auto& s = m.slots[static_cast<size_t>(slot - 1)];
    s.used = true;
    s.head = p.headTarget;
    s.x = tx;
    s.y = ty;
    s.depth = depth;
    s.lift = lift;
    s.exhaust = exhaust;
    s.delay = p.placeDelay;
    s.vacuum = p.vacuum;
    m.fromX = smt::CurrentMachine().curX;
    m.fromY = smt::CurrentMachine().curY;
    m.xSpeed = Speed(xPair);
    // The heads' turns are those the cycle's first place set.
    if (slot == 1) m.turns = HeadTurns();
    m.turnSpeed = Speed(p.placeSpeeds[kSpA1]);
    m.zSpeed = Speed(p.placeSpeeds[kSpZ1]);
    batch.lastX = tx;
    batch.lastY = ty;
    return true;
  }
  smt::link::HeadPlaceMove m;
  m.x = tx;
  m.y = ty;
  m.xSpeed = Speed(xPair);
  m.turns = HeadTurns();
  m.turnSpeed = Speed(p.placeSpeeds[kSpA1]);
  m.head = p.headTarget;
  m.depth = depth;
  m.zSpeed = Speed(p.placeSpeeds[kSpZ1]);
  m.lift = lift;
  m.exhaust = exhaust;
  m.delay = p.placeDelay;
  m.vacuum = p.vacuum;
  return TheMachine().PlaceWithHead(m);
}

bool SendBatchPlace() {
  auto& batch = Batch();
  smt::CurrentMachine().link.vacuumCheckOk = true;
  if (!TheMachine().PlaceWithHeads(batch.move) || !smt::CurrentMachine().runContinue) return false;
  smt::CurrentMachine().curX = batch.lastX;
  smt::CurrentMachine().curY = batch.lastY;
  return true;
}

}  // namespace smt::run
