#include <algorithm>
#include <atomic>
#include <chrono>
#include <vector>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "core/MachineState.h"
#include "link/LinkGlobals.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/ProcessCommands.h"
#include "link/RunMachine.h"
#include "link/SerialMove.h"
#include "platform/MessageService.h"
#include "core/Machine.h"

namespace smt::link {
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

uint32_t FeederBit(int n) { return n >= 1 && n <= 128 ? (1u << ((n - 1) % 32)) : 0u; }

// A whole cycle's command: refused (E3) while the heads' check was not passed.
bool SendCycle(smt::Machine& machine, uint8_t code, const std::array<uint8_t, 234>& b, ReplyEvent* reply,
               std::chrono::milliseconds timeout) {
  if (!machine.masterResetOk) {
    smt::platform::ShowMessage(kErrorE3);
    return false;
  }
  MachineCommand c;
  c.code = code;
  c.timeout = timeout;
  c.udpOnly = true;
  c.reply = reply;
  c.udpPayload.assign(b.begin(), b.end());
  return SendMachineCommand(machine, c) == CommandResult::Ok;
}

// A machine's own run machine (made on first use with the machine), and
// the one a test put in its place.
struct RunMachines {
  std::once_flag made;
  std::unique_ptr<LinkRunMachine> program;
  std::atomic<RunMachine*> inUse{nullptr};
};

int64_t LargestOf(const std::array<int32_t, 8>& turns) {
  int64_t most = 0;
  for (int32_t t : turns) most = std::max<int64_t>(most, std::llabs(static_cast<long long>(t)));
  return most;
}

// How long a whole cycle may take: the gantry from point to point, each
// head's stroke down and up with its wait at the bottom (and its feed), the
// heads' turn; one after the other.
template <typename Slots>
std::chrono::milliseconds CycleTimeout(int64_t x0, int64_t y0, const Slots& slots, int count, AxisSpeed xy,
                                       const std::array<int32_t, 8>& turns, AxisSpeed turn, AxisSpeed z) {
  std::vector<MoveLeg> legs;
  int64_t waits = 0;
  int64_t x = x0, y = y0;
  for (int k = 0; k < count && k < static_cast<int>(slots.size()); ++k) {
    const auto& s = slots[static_cast<size_t>(k)];
    legs.push_back({s.x - x, xy.run});
    legs.push_back({s.y - y, xy.run});
    legs.push_back({2 * static_cast<int64_t>(s.depth), z.run});
    waits += s.delay;
    if constexpr (requires { s.feedTime; }) waits += s.feedTime;
    x = s.x;
    y = s.y;
  }
  legs.push_back({LargestOf(turns), turn.run});
  return MoveTimeoutOfLegs(legs, std::chrono::milliseconds(waits));
}

}  // namespace

std::array<uint8_t, 99> EncodeHeadPickMove(smt::Machine& machine, const HeadPickMove& m) {
  std::array<uint8_t, 99> b{};
  Put8(b, 0, static_cast<uint32_t>(m.feeder));
  Put8(b, 1, static_cast<uint32_t>(m.feedKind));
  Put32(b, 2, FeederBit(m.feeder));
  Put16(b, 6, static_cast<uint32_t>(m.feedTime));
  Put32(b, 8, 0);
  Put16(b, 12, 0);
  Put8(b, 14, static_cast<uint32_t>(m.feedCount));
  Put32(b, 15, machine.curX);
  Put32(b, 19, m.x - machine.curX);
  Put32(b, 23, machine.curY);
  Put32(b, 27, m.y - machine.curY);
  Put32(b, 31, m.xSpeed.start);
  Put32(b, 35, m.xSpeed.run);
  Put8(b, 39, kTurnHeads);
  for (size_t h = 0; h < 8; ++h) Put32(b, 40 + 4 * h, m.turns[h]);
  Put32(b, 72, m.turnSpeed.start);
  Put32(b, 76, m.turnSpeed.run);
  Put8(b, 80, HeadCode(m.head));
  Put32(b, 81, m.depth);
  Put32(b, 85, m.zSpeed.start);
  Put32(b, 89, m.zSpeed.run);
  Put16(b, 93, static_cast<uint32_t>(m.delay));
  Put32(b, 95, m.vacuumDepth);
  return b;
}

std::array<uint8_t, 86> EncodeHeadPlaceMove(smt::Machine& machine, const HeadPlaceMove& m) {
  std::array<uint8_t, 86> b{};
  Put32(b, 0, machine.curX);
  Put32(b, 4, m.x - machine.curX);
  Put32(b, 8, machine.curY);
  Put32(b, 12, m.y - machine.curY);
  Put32(b, 16, m.xSpeed.start);
  Put32(b, 20, m.xSpeed.run);
  Put8(b, 24, kTurnHeads);
  for (size_t h = 0; h < 8; ++h) Put32(b, 25 + 4 * h, m.turns[h]);
  Put32(b, 57, m.turnSpeed.start);
  Put32(b, 61, m.turnSpeed.run);
  Put8(b, 65, HeadCode(m.head));
  Put32(b, 66, m.depth);
  Put32(b, 70, m.zSpeed.start);
  Put32(b, 74, m.zSpeed.run);
  Put32(b, 78, m.lift);
  Put8(b, 82, static_cast<uint32_t>(m.exhaust));
  Put16(b, 83, static_cast<uint32_t>(m.delay));
  Put8(b, 85, static_cast<uint32_t>(m.vacuum));
  return b;
}

std::array<uint8_t, 234> EncodeHeadsPickMove(smt::Machine& machine, const HeadsPickMove& m) {
  std::array<uint8_t, 234> b{};
  uint8_t mask = 0;
  Put32(b, 49, machine.curX);
  Put32(b, 53, machine.curY);
  for (size_t s = 0; s < static_cast<size_t>(m.count) && s < 8; ++s) {
    const auto& slot = m.slots[s];
    mask |= static_cast<uint8_t>(1u << (8 - slot.head));
    Put8(b, 1 + s, 10);
    Put8(b, 9 + s, static_cast<uint32_t>(slot.feeder));
    Put16(b, 17 + 2 * s, static_cast<uint32_t>(slot.feedTime));
    Put16(b, 33 + 2 * s, static_cast<uint32_t>(slot.feedTime));
    Put32(b, 57 + 4 * s, slot.x);
    Put32(b, 89 + 4 * s, slot.y);
    Put8(b, 170 + s, HeadCode(static_cast<int>(s) + 1));
    Put32(b, 178 + 4 * s, slot.depth);
    Put16(b, 218 + 2 * s, static_cast<uint32_t>(slot.delay));
  }
  b[0] = mask;
  Put32(b, 121, m.xSpeed.start);
  Put32(b, 125, m.xSpeed.run);
  Put8(b, 129, kTurnHeads);
  for (size_t h = 0; h < 8; ++h) Put32(b, 130 + 4 * h, m.turns[h]);
  Put32(b, 162, m.turnSpeed.start);
  Put32(b, 166, m.turnSpeed.run);
  Put32(b, 210, m.zSpeed.start);
  Put32(b, 214, m.zSpeed.run);
  return b;
}

std::array<uint8_t, 234> EncodeHeadsPlaceMove(smt::Machine& machine, const HeadsPlaceMove& m) {
  std::array<uint8_t, 234> b{};
  bool any = false;
  for (size_t s = 0; s < 8; ++s) {
    const auto& slot = m.slots[s];
    if (!slot.used) continue;
    any = true;
    b[0] |= static_cast<uint8_t>(1u << (7 - s));
    Put32(b, 9 + 4 * s, slot.x);
    Put32(b, 41 + 4 * s, slot.y);
    Put8(b, 122 + s, HeadCode(slot.head));
    Put32(b, 130 + 4 * s, slot.depth);
    Put32(b, 170 + 4 * s, slot.lift);
    Put8(b, 202 + s, static_cast<uint32_t>(slot.exhaust));
    Put16(b, 210 + 2 * s, static_cast<uint32_t>(slot.delay));
    Put8(b, 226 + s, static_cast<uint32_t>(slot.vacuum));
  }
  if (any) {
    Put32(b, 1, m.fromX);
    Put32(b, 5, m.fromY);
    Put32(b, 73, m.xSpeed.start);
    Put32(b, 77, m.xSpeed.run);
    Put8(b, 81, kTurnHeads);
    for (size_t h = 0; h < 8; ++h) Put32(b, 82 + 4 * h, m.turns[h]);
    Put32(b, 114, m.turnSpeed.start);
    Put32(b, 118, m.turnSpeed.run);
    Put32(b, 162, m.zSpeed.start);
    Put32(b, 166, m.zSpeed.run);
  }
  return b;
}

bool LinkRunMachine::MoveGantry(int32_t dx, AxisSpeed x, int32_t dy, AxisSpeed y, GantryMove how) {
  return SendCmd64MoveXY(machine_, dx, x.start, x.run, dy, y.start, y.run, 0, 0, 0, 0, static_cast<uint8_t>(how));
}

bool LinkRunMachine::MoveGantryTurningHeads(int32_t dx, AxisSpeed x, int32_t dy, AxisSpeed y,
                                            const std::array<int32_t, 8>& turns, AxisSpeed turn) {
  return SendCmd65MoveXYHeads(machine_, dx, x.start, x.run, dy, y.start, y.run, turns, turn.start, turn.run, kTurnHeads);
}

bool LinkRunMachine::MoveAxis(int axis, int32_t steps, AxisSpeed speed) {
  return SendCmd61MoveAxis(machine_, static_cast<uint8_t>(axis), steps, speed.start, speed.run);
}

bool LinkRunMachine::MoveAxisPair(int axis1, int32_t d1, AxisSpeed s1, int axis2, int32_t d2, AxisSpeed s2) {
  return SendCmd53DispenseMove(machine_, static_cast<uint8_t>(axis1), d1, s1.start, s1.run, static_cast<uint8_t>(axis2), d2,
                               s2.start, s2.run);
}

bool LinkRunMachine::MoveGantryPlatformHead(int32_t dx, AxisSpeed x, int platformAxis, int32_t dPlatform,
                                            AxisSpeed platform, int head, int32_t turn, AxisSpeed turnSpeed) {
  return MoveXYSerial(machine_, dx, x.start, x.run, static_cast<uint8_t>(platformAxis), dPlatform, platform.start, platform.run,
                      static_cast<uint8_t>(head), turn, turnSpeed.start, turnSpeed.run);
}

CommandResult LinkRunMachine::Stroke(uint8_t strokeAxis, int32_t steps, AxisSpeed speed, uint8_t option, int delayMs,
                                     uint8_t last) {
  return SendCmd67MoveZ(machine_, strokeAxis, steps, speed.start, speed.run, option, static_cast<uint16_t>(delayMs), last);
}

CommandResult LinkRunMachine::StrokeReleasing(uint8_t strokeAxis, int32_t steps, AxisSpeed speed, int32_t lift,
                                              int delayMs, int32_t vacuum) {
  return SendCmd68MoveZVacuum(machine_, strokeAxis, steps, speed.start, speed.run, lift, static_cast<uint16_t>(delayMs), vacuum);
}

CommandResult LinkRunMachine::GlueStroke(uint8_t valveAxis, int32_t steps, AxisSpeed speed, uint8_t mode, int32_t open,
                                         int32_t close, int closeDelayMs, int bottomDelayMs, int suckBack) {
  return SendCmd58GlueDispense(machine_, valveAxis, steps, speed.start, speed.run, mode, open, close,
                               static_cast<uint16_t>(closeDelayMs), static_cast<uint16_t>(bottomDelayMs),
                               static_cast<uint16_t>(suckBack));
}

bool LinkRunMachine::PickWithHead(const HeadPickMove& move) { return SendCmd74PickMove(machine_, EncodeHeadPickMove(machine_, move)); }

bool LinkRunMachine::PlaceWithHead(const HeadPlaceMove& move) { return SendCmd77PlaceMove(machine_, EncodeHeadPlaceMove(machine_, move)); }

bool LinkRunMachine::PickWithHeads(const HeadsPickMove& move) {
  const auto timeout =
      CycleTimeout(machine_.curX, machine_.curY, move.slots, move.count, move.xSpeed, move.turns, move.turnSpeed, move.zSpeed);
  return SendCycle(machine_, 0x75, EncodeHeadsPickMove(machine_, move), &machine_.Part<smt::link::ReplyEvents>().cmd67, timeout);
}

bool LinkRunMachine::PlaceWithHeads(const HeadsPlaceMove& move) {
  std::vector<HeadsPlaceMove::Slot> used;
  for (const auto& s : move.slots)
    if (s.used) used.push_back(s);
  const auto timeout = CycleTimeout(move.fromX, move.fromY, used, static_cast<int>(used.size()), move.xSpeed, move.turns,
                                    move.turnSpeed, move.zSpeed);
  return SendCycle(machine_, 0x78, EncodeHeadsPlaceMove(machine_, move), &machine_.Part<smt::link::ReplyEvents>().cmd68, timeout);
}

CommandResult LinkRunMachine::Feed(uint8_t alternative, uint8_t axis, const FeedValues& values) {
  return SendCmd66MoveFeedAxis(machine_, alternative, axis, values);
}

bool LinkRunMachine::SetOutput(int output, int state, int value) { return smt::link::SetOutput(machine_, output, state, value); }

CommandResult LinkRunMachine::ReadVacuum(int channel) { return SendCmd15ReadVacuum(machine_, channel); }

bool LinkRunMachine::TriggerCamera(int channel, int light) { return SelectCamera(machine_, channel, light, -1); }

bool LinkRunMachine::AnnounceRunStart() { return SendCmd60SetState(machine_, 1, 0); }

bool LinkRunMachine::MoveLabelSheet(int32_t north, int32_t west, AxisSpeed speed) {
  Cmd55Payload b{};
  b[0] = 9;  // the sheet on the north (9) and west (8) walk axes
  Put32(b, 2, north);
  Put32(b, 6, west);
  Put32(b, 10, speed.start);
  Put32(b, 14, speed.run);
  return SendCmd55LabelMove(machine_, b);
}

RunMachine& RunMachineOf(smt::Machine& machine) {
  RunMachines& machines = machine.Part<RunMachines>();
  if (RunMachine* m = machines.inUse.load()) return *m;
  std::call_once(machines.made, [&] { machines.program = std::make_unique<LinkRunMachine>(machine); });
  return *machines.program;
}

void UseRunMachine(smt::Machine& machine, RunMachine* runMachine) { machine.Part<RunMachines>().inUse.store(runMachine); }

// The forms on the machine in use, for the callers not yet handed a machine.

}  // namespace smt::link
