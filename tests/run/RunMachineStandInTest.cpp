// The eight-head steps against a stand-in run machine: what the run asks of
// the machine, in the run's own terms, with no board and no command bytes in
// between. A cycle's places are staged head by head and reach the machine as
// one cycle with the staged heads only; a place below the board is refused
// before the machine hears of it.
#include <gtest/gtest.h>

#include <vector>

#include "core/MachineState.h"
#include "job/StepGeometry.h"
#include "link/MotionGlobals.h"
#include "link/RunMachine.h"
#include "platform/MessageService.h"
#include "run/EightHeadCommands.h"
#include "run/HeadRecords.h"

namespace {

using smt::link::AxisSpeed;
using smt::link::CommandResult;

// Records the pick and place steps; every other step succeeds silently.
struct RecordingMachine : smt::link::RunMachine {
  std::vector<smt::link::HeadPlaceMove> places;
  std::vector<smt::link::HeadsPlaceMove> cyclePlaces;
  std::vector<smt::link::HeadPickMove> picks;
  int other = 0;
  bool MoveGantry(int32_t, AxisSpeed, int32_t, AxisSpeed, smt::link::GantryMove) override { return ++other; }
  bool MoveGantryTurningHeads(int32_t, AxisSpeed, int32_t, AxisSpeed, const std::array<int32_t, 8>&, AxisSpeed) override {
    return ++other;
  }
  bool MoveAxis(int, int32_t, AxisSpeed) override { return ++other; }
  bool MoveAxisPair(int, int32_t, AxisSpeed, int, int32_t, AxisSpeed) override { return ++other; }
  bool MoveGantryPlatformHead(int32_t, AxisSpeed, int, int32_t, AxisSpeed, int, int32_t, AxisSpeed) override {
    return ++other;
  }
  CommandResult Stroke(uint8_t, int32_t, AxisSpeed, uint8_t, int, uint8_t) override { return ++other, CommandResult::Ok; }
  CommandResult StrokeReleasing(uint8_t, int32_t, AxisSpeed, int32_t, int, int32_t) override {
    return ++other, CommandResult::Ok;
  }
  CommandResult GlueStroke(uint8_t, int32_t, AxisSpeed, uint8_t, int32_t, int32_t, int, int, int) override {
    return ++other, CommandResult::Ok;
  }
  bool PickWithHead(const smt::link::HeadPickMove& m) override {
    picks.push_back(m);
    return true;
  }
  bool PlaceWithHead(const smt::link::HeadPlaceMove& m) override {
    places.push_back(m);
    return true;
  }
  bool PickWithHeads(const smt::link::HeadsPickMove&) override { return ++other; }
  bool PlaceWithHeads(const smt::link::HeadsPlaceMove& m) override {
    cyclePlaces.push_back(m);
    return true;
  }
  CommandResult Feed(uint8_t, uint8_t, const smt::link::FeedValues&) override { return ++other, CommandResult::Ok; }
  bool SetOutput(int, int, int) override { return ++other; }
  CommandResult ReadVacuum(int) override { return ++other, CommandResult::Ok; }
  bool TriggerCamera(int, int) override { return ++other; }
  bool AnnounceRunStart() override { return ++other; }
  bool MoveLabelSheet(int32_t, int32_t, AxisSpeed) override { return ++other; }
};

class EightHeadStepsOnAStandIn : public ::testing::Test {
 protected:
  void SetUp() override {
    smt::link::UseRunMachine(smt::CurrentMachine(), &machine);
    smt::CurrentMachine().runContinue = true;
    smt::CurrentMachine().steps.zPulsePerMm = 100;
    smt::CurrentMachine().curX = 1000;
    smt::CurrentMachine().curY = -2000;
    for (auto& t : smt::CurrentMachine().motion.headMoveArgs) t = 0;
    smt::run::Batch(smt::CurrentMachine()) = {};
  }
  void TearDown() override {
    smt::link::UseRunMachine(smt::CurrentMachine(), nullptr);
    smt::run::Batch(smt::CurrentMachine()) = {};
    smt::CurrentMachine().runContinue = false;
    smt::CurrentMachine().steps.zPulsePerMm = 1;
    smt::CurrentMachine().curX = 0;
    smt::CurrentMachine().curY = 0;
    for (auto& t : smt::CurrentMachine().motion.headMoveArgs) t = 0;
  }
  static smt::run::HeadPlaceState Head(int head, double placeHeight) {
    smt::run::HeadPlaceState p;
    p.headTarget = head;
    p.placeHeight = placeHeight;
    p.vacuumOffHeight = -0.5;
    p.placeDelay = 10 + head;
    p.vacuum = 40 + head;
    p.placeSpeeds[smt::run::kSpZ1] = {3, 30};
    p.placeSpeeds[smt::run::kSpA1] = {4, 40};
    return p;
  }
  RecordingMachine machine;
  smt::platform::ScopedRecordingMessages messages;
};

}  // namespace

// Heads in the cycle's slots 1 and 3 staged, then the cycle sent: the machine
// hears one cycle with exactly those slots, their heads and depths, the turns
// of the first place and the position of the last staging.
TEST_F(EightHeadStepsOnAStandIn, ACyclesPlacesReachTheMachineAsOneCycle) {
  smt::run::Batch(smt::CurrentMachine()).active = true;
  smt::CurrentMachine().motion.headMoveArgs[0] = 7;
  auto h2 = Head(2, -1.5);
  auto h5 = Head(5, -2.0);
  ASSERT_TRUE(smt::run::EightHeadPlace(smt::CurrentMachine(), h2, 1, 5000, 6000, {2, 20}));
  smt::CurrentMachine().motion.headMoveArgs[0] = 99;  // a later turn does not change the cycle's
  smt::CurrentMachine().curX = 1100;
  ASSERT_TRUE(smt::run::EightHeadPlace(smt::CurrentMachine(), h5, 3, 5100, 6100, {2, 20}));
  EXPECT_TRUE(machine.places.empty());
  EXPECT_TRUE(machine.cyclePlaces.empty());
  ASSERT_TRUE(smt::run::SendBatchPlace(smt::CurrentMachine()));
  ASSERT_EQ(machine.cyclePlaces.size(), 1u);
  const auto& c = machine.cyclePlaces[0];
  std::vector<int> used;
  for (int s = 0; s < 8; ++s)
    if (c.slots[s].used) used.push_back(s + 1);
  EXPECT_EQ(used, (std::vector<int>{1, 3}));
  EXPECT_EQ(c.slots[0].head, 2);
  EXPECT_EQ(c.slots[0].depth, -150);
  EXPECT_EQ(c.slots[2].head, 5);
  EXPECT_EQ(c.slots[2].depth, -200);
  EXPECT_EQ(c.slots[2].lift, 50);
  EXPECT_EQ(c.turns[0], 7);
  EXPECT_EQ(c.fromX, 1100);
  // The gantry ends over the last place.
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 5100);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), 6100);
}

// One head at a time: each place goes to the machine at once; a place above
// the board's surface (positive depth) is refused with its message and the
// machine hears nothing.
TEST_F(EightHeadStepsOnAStandIn, SingleHeadPlacesGoAtOnceAndAPlaceAboveTheBoardNever) {
  struct Case {
    const char* what;
    double placeHeight;
    bool placed;
  };
  const Case cases[] = {{"below the surface", -1.0, true}, {"at the surface", 0.0, true}, {"above it", 0.5, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    machine.places.clear();
    messages.service.Clear();
    auto h = Head(4, c.placeHeight);
    EXPECT_EQ(smt::run::EightHeadPlace(smt::CurrentMachine(), h, 1, 300, 400, {2, 20}), c.placed);
    ASSERT_EQ(machine.places.size(), c.placed ? 1u : 0u);
    if (c.placed) {
      EXPECT_EQ(machine.places[0].head, 4);
      EXPECT_EQ(machine.places[0].x, 300);
      EXPECT_EQ(machine.places[0].depth, static_cast<int32_t>(c.placeHeight * 100));
    } else {
      EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{smt::run::kPlaceHeightSetError}));
    }
  }
}
