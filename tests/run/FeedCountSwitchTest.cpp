// The feed command carries the feeder's feed count only with the V2.07
// firmware switch on; off, that argument is 0.
#include "RunSimFixture.h"
#include "link/LinkRuntime.h"
#include "run/MachineSteps.h"
#include "run/RunState.h"

using namespace runtest;

namespace {

class FeedCountSwitchTest : public RunSimTest {
 protected:
  void TearDown() override {
    smt::link::RuntimeOf(smt::CurrentMachine()).v2_07 = 0;
    RunSimTest::TearDown();
  }
  // The count byte of the last feed command.
  int LastCount() {
    int count = -1;
    for (const auto& c : sim->Received())
      if (c.code == 0x66 && c.payload.size() > 36) count = c.payload[36];
    return count;
  }
};

}  // namespace

TEST_F(FeedCountSwitchTest, FeedAdvanceSendsTheCountOnlyWithTheSwitchOn) {
  UseUdp();
  smt::CurrentMachine().runContinue = true;
  smt::CurrentMachine().run.pauseEvent.Set();
  for (const auto& [switchOn, expected] : {std::pair{0, 0}, std::pair{1, 3}}) {
    smt::link::RuntimeOf(smt::CurrentMachine()).v2_07 = switchOn;
    smt::run::HeadPickState r;
    r.feedMode = 2;  // vibration feeder: one feed command
    r.feedCount = 3;
    r.feedTime = 0;
    r.groupIndex = -1;
    ASSERT_TRUE(smt::run::FeedAdvance(smt::CurrentMachine(), r, false));
    EXPECT_EQ(LastCount(), expected) << switchOn;
  }
  smt::CurrentMachine().runContinue = false;
}
