// The pick and place strokes of a head that no Z axis carries on the
// machine type: nothing moves, and the step says it failed (the pick ends
// with the header message, the place leaves the part not placed) instead
// of reporting a pick or a placement that never happened.
#include "RunSimFixture.h"
#include "run/MachineSteps.h"
#include "run/RunState.h"

using namespace runtest;

namespace {

struct StrokeCase {
  const char* name;
  int machineType, head;
  bool hasAxis;
};
void PrintTo(const StrokeCase& c, std::ostream* os) { *os << c.name; }

class StrokeAxis : public RunSimTest, public ::testing::WithParamInterface<StrokeCase> {
 protected:
  int Count(uint16_t code) {
    int n = 0;
    for (const auto& c : sim->Received()) n += c.code == code ? 1 : 0;
    return n;
  }
};

TEST_P(StrokeAxis, AHeadWithoutAStrokeAxisNeitherPicksNorPlaces) {
  const StrokeCase c = GetParam();
  UseUdp();
  smt::CurrentMachine().machineType = c.machineType;
  smt::CurrentMachine().runContinue = true;
  smt::CurrentMachine().run.pauseEvent.Set();
  smt::run::HeadPlaceState p;
  p.headTarget = c.head;
  p.row = -1;
  p.pickHeight = -5;
  p.placeHeight = -8;
  const int picksBefore = Count(0x67), placesBefore = Count(0x68);
  EXPECT_EQ(smt::run::PickPart(smt::CurrentMachine(), p), c.hasAxis);
  smt::CurrentMachine().link.vacuumCheckOk = true;
  smt::run::PlaceStroke(smt::CurrentMachine(), p, 0.0);
  EXPECT_EQ(smt::CurrentMachine().link.vacuumCheckOk.load(), c.hasAxis) << "a stroke that was not made never counts as placed";
  EXPECT_EQ(Count(0x67) - picksBefore, c.hasAxis ? 1 : 0);
  EXPECT_EQ(Count(0x68) - placesBefore, c.hasAxis ? 1 : 0);
  if (c.hasAxis) EXPECT_TRUE(messages.service.Texts().empty());
  else EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{smt::run::kHeaderError});
  smt::CurrentMachine().runContinue = false;
}

INSTANTIATE_TEST_SUITE_P(Heads, StrokeAxis,
                         ::testing::Values(StrokeCase{"TwoHeadsHead1", 2, 1, true},
                                           StrokeCase{"FourHeadsHead4", 3, 4, true},
                                           StrokeCase{"EightHeadsHead8", 7, 8, true},
                                           StrokeCase{"FourHeadsHead5", 3, 5, false},
                                           StrokeCase{"TwoHeadsNoHead", 2, 0, false},
                                           StrokeCase{"DrillingMachine", 9, 1, false},
                                           StrokeCase{"EightHeadsHead9", 7, 9, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
