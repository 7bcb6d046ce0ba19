#include "run/EightHeadCommands.h"

#include <cstring>

#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "link/LinkGlobals.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/ProcessCommands.h"
#include "platform/MessageService.h"
#include "run/RunServices.h"
#include "run/RunState.h"
#include "settings/SettingsStores.h"

namespace smt::run {

namespace {

template <size_t N>
void Put8(std::array<uint8_t, N>& p, size_t at, uint32_t v) {
  p[at] = static_cast<uint8_t>(v);
}
template <size_t N>
void Put16(std::array<uint8_t, N>& p, size_t at, uint32_t v) {
  p[at] = static_cast<uint8_t>(v);
  p[at + 1] = static_cast<uint8_t>(v >> 8);
}
template <size_t N>
void Put32(std::array<uint8_t, N>& p, size_t at, int64_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (size_t i = 0; i < 4; ++i) p[at + i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t Trunc(double v) { return static_cast<int32_t>(v); }

uint8_t FeedKind(int mode, int side) {
  if (mode == 0) return static_cast<uint8_t>(side);
  if (mode == 1 || mode == 7) return 10;
  if (mode == 2) return 11;
  return 13;
}

uint32_t FeederBit(int n) { return n >= 1 && n <= 128 ? (1u << ((n - 1) % 32)) : 0u; }

int32_t PickX(const HeadPlaceState& p) { return Trunc(p.pickX * smt::CurrentMachine().steps.xPulsePerMm) - smt::job::NozzleOffsetX(p.headTarget); }
int32_t PickY(const HeadPlaceState& p) { return Trunc(p.pickY * smt::CurrentMachine().steps.yPulsePerMm) - smt::job::NozzleOffsetY(p.headTarget); }

}  // namespace

std::array<uint8_t, 99> BuildPickPayload(const HeadPickState& r, const HeadPlaceState& p) {
  std::array<uint8_t, 99> b{};
  Put8(b, 0, static_cast<uint32_t>(r.feederIndex));
  Put8(b, 1, FeedKind(r.feedMode, r.feedSide));
  Put32(b, 2, FeederBit(r.feederIndex));
  Put16(b, 6, static_cast<uint32_t>(r.feedTime));
  Put32(b, 8, 0);
  Put16(b, 12, 0);
  Put8(b, 14, static_cast<uint32_t>(r.feedCount));
  Put32(b, 15, smt::CurrentMachine().curX);
  Put32(b, 19, PickX(p) - smt::CurrentMachine().curX);
  Put32(b, 23, smt::CurrentMachine().curY);
  Put32(b, 27, PickY(p) - smt::CurrentMachine().curY);
  Put32(b, 31, p.pickSpeeds[kSpX].start);
  Put32(b, 35, p.pickSpeeds[kSpX].normal);
  Put8(b, 39, 1);
  for (size_t h = 0; h < 8; ++h) Put32(b, 40 + 4 * h, smt::CurrentMachine().motion.headMoveArgs[h]);
  Put32(b, 72, p.pickSpeeds[kSpA1].start);
  Put32(b, 76, p.pickSpeeds[kSpA1].normal);
  Put8(b, 80, static_cast<uint32_t>(0x20 + p.headTarget - 1));
  Put32(b, 81, Trunc(p.pickHeight * smt::CurrentMachine().steps.zPulsePerMm));
  Put32(b, 85, p.pickSpeeds[kSpZ1].start);
  Put32(b, 89, p.pickSpeeds[kSpZ1].normal);
  Put16(b, 93, static_cast<uint32_t>(p.pickDelay));
  Put32(b, 95, std::abs(Trunc(p.vacuumHeight * smt::CurrentMachine().steps.zPulsePerMm)));
  return b;
}

bool MoveHeadsToPick(HeadPickState& r, HeadPlaceState& p) {
  RowState(p.row, 5, true);
  if (p.headTarget < 1 || p.headTarget > 8) {
    smt::platform::ShowMessage(kPickHeaderNoSelect);
    return false;
  }
  return smt::link::SendCmd74PickMove(BuildPickPayload(r, p)) && smt::CurrentMachine().runContinue;
}

bool BuildBatchPick(BatchPickPayload& b) {
  b.fill(0);
  uint8_t mask = 0;
  Put32(b, 49, smt::CurrentMachine().curX);
  Put32(b, 53, smt::CurrentMachine().curY);
  for (size_t s = 0; s < 8; ++s) {
    const auto& p = smt::CurrentMachine().Part<smt::run::HeadRecords>().place[s];
    if (p.row == -1) break;
    RowState(p.row, 5, true);
    if (p.headTarget < 1 || p.headTarget > 8) {
      smt::platform::ShowMessage(kPickHeaderNoSelect);
      return false;
    }
    mask |= static_cast<uint8_t>(1u << (8 - p.headTarget));
    Put8(b, 1 + s, 10);
    Put8(b, 9 + s, static_cast<uint32_t>(p.pick.feederIndex));
    Put16(b, 17 + 2 * s, static_cast<uint32_t>(p.pick.feedTime));
    Put16(b, 33 + 2 * s, static_cast<uint32_t>(p.pick.feedTime));
    Put32(b, 57 + 4 * s, PickX(p));
    Put32(b, 89 + 4 * s, PickY(p));
    Put8(b, 170 + s, static_cast<uint32_t>(0x20 + s));
    Put32(b, 178 + 4 * s, Trunc(p.pickHeight * smt::CurrentMachine().steps.zPulsePerMm));
    Put16(b, 218 + 2 * s, static_cast<uint32_t>(p.pickDelay));
  }
  b[0] = mask;
  const auto& h1 = smt::CurrentMachine().Part<smt::run::HeadRecords>().place[0];
  Put32(b, 121, h1.pickSpeeds[kSpX].start);
  Put32(b, 125, h1.pickSpeeds[kSpX].normal);
  Put8(b, 129, 1);
  for (size_t h = 0; h < 8; ++h) Put32(b, 130 + 4 * h, smt::CurrentMachine().motion.headMoveArgs[h]);
  Put32(b, 162, h1.pickSpeeds[kSpA1].start);
  Put32(b, 166, h1.pickSpeeds[kSpA1].normal);
  Put32(b, 210, h1.pickSpeeds[kSpZ1].start);
  Put32(b, 214, h1.pickSpeeds[kSpZ1].normal);
  return true;
}

namespace {
bool SendBatch(uint8_t code, const BatchPickPayload& b, smt::link::ReplyEvent* reply) {
  if (!smt::CurrentMachine().masterResetOk) {
    smt::platform::ShowMessage(smt::link::kErrorE3);
    return false;
  }
  smt::link::MachineCommand c;
  c.code = code;
  c.udpOnly = true;
  c.reply = reply;
  c.udpPayload.assign(b.begin(), b.end());
  return smt::link::SendMachineCommand(c) == smt::link::CommandResult::Ok && smt::CurrentMachine().runContinue;
}
}  // namespace

bool SendBatchPick() {
  BatchPickPayload b;
  if (!BuildBatchPick(b)) return false;
  if (!SendBatch(0x75, b, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd67)) return false;
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
  static BatchPlace b;
  return b;
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
    auto& b = batch.payload;
    const size_t s = static_cast<size_t>(slot - 1);
    b[0] |= static_cast<uint8_t>(1u << (8 - slot));
    Put32(b, 1, smt::CurrentMachine().curX);
    Put32(b, 5, smt::CurrentMachine().curY);
    Put32(b, 9 + 4 * s, tx);
    Put32(b, 41 + 4 * s, ty);
    Put32(b, 73, xPair.start);
    Put32(b, 77, xPair.normal);
    Put8(b, 81, 1);
    if (slot == 1)
      for (size_t h = 0; h < 8; ++h) Put32(b, 82 + 4 * h, smt::CurrentMachine().motion.headMoveArgs[h]);
    Put32(b, 114, p.placeSpeeds[kSpA1].start);
    Put32(b, 118, p.placeSpeeds[kSpA1].normal);
    Put8(b, 122 + s, static_cast<uint32_t>(0x20 + p.headTarget - 1));
    Put32(b, 130 + 4 * s, depth);
    Put32(b, 162, p.placeSpeeds[kSpZ1].start);
    Put32(b, 166, p.placeSpeeds[kSpZ1].normal);
    Put32(b, 170 + 4 * s, lift);
    Put8(b, 202 + s, static_cast<uint32_t>(exhaust));
    Put16(b, 210 + 2 * s, static_cast<uint32_t>(p.placeDelay));
    Put8(b, 226 + s, static_cast<uint32_t>(p.vacuum));
    batch.lastX = tx;
    batch.lastY = ty;
    return true;
  }
  std::array<uint8_t, 86> b{};
  Put32(b, 0, smt::CurrentMachine().curX);
  Put32(b, 4, tx - smt::CurrentMachine().curX);
  Put32(b, 8, smt::CurrentMachine().curY);
  Put32(b, 12, ty - smt::CurrentMachine().curY);
  Put32(b, 16, xPair.start);
  Put32(b, 20, xPair.normal);
  Put8(b, 24, 1);
  for (size_t h = 0; h < 8; ++h) Put32(b, 25 + 4 * h, smt::CurrentMachine().motion.headMoveArgs[h]);
  Put32(b, 57, p.placeSpeeds[kSpA1].start);
  Put32(b, 61, p.placeSpeeds[kSpA1].normal);
  Put8(b, 65, static_cast<uint32_t>(0x20 + p.headTarget - 1));
  Put32(b, 66, depth);
  Put32(b, 70, p.placeSpeeds[kSpZ1].start);
  Put32(b, 74, p.placeSpeeds[kSpZ1].normal);
  Put32(b, 78, lift);
  Put8(b, 82, static_cast<uint32_t>(exhaust));
  Put16(b, 83, static_cast<uint32_t>(p.placeDelay));
  Put8(b, 85, static_cast<uint32_t>(p.vacuum));
  return smt::link::SendCmd77PlaceMove(b);
}

bool SendBatchPlace() {
  auto& batch = Batch();
  smt::CurrentMachine().link.vacuumCheckOk = true;
  if (!SendBatch(0x78, batch.payload, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd68)) return false;
  smt::CurrentMachine().curX = batch.lastX;
  smt::CurrentMachine().curY = batch.lastY;
  return true;
}

}  // namespace smt::run
