// Go-to moves against the simulated machine over the UDP link.
#include <gtest/gtest.h>

#include "core/MachineState.h"
#include "platform/WorkerThreads.h"
#include "app/CommandIds.h"
#include "app/GoToMoves.h"
#include "link/MotionFixture.h"
#include "settings/SettingsStores.h"

using namespace smt::app;

namespace {

class GoToSim : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    UseUdp();
    auto& machine = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine;
    saved = *machine.Basic();
    auto b = saved;
    b.m_bStopPosition = 1;
    machine.SetBasic(b);
    smt::platform::WorkerThreads::Instance().ResetForTests();
  }
  void TearDown() override {
    smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetBasic(saved);
    MotionSimTest::TearDown();
  }
  smt::settings::BasicSettings saved;
};

}  // namespace

TEST_F(GoToSim, VisionOriginThenStopPositionReleasesBusyAndMarksHomedWhenHandedOver) {
  smt::CurrentMachine().resetDone = false;
  GoToPlan stop;
  stop.ok = true;
  stop.targetX = 1500;
  stop.targetY = -700;
  GoToMoveRequest r;
  r.stopAfter = true;
  r.stopPlan = stop;
  std::atomic<bool> pending{true};
  r.takeResetToOriginPending = [&] { return pending.exchange(false); };
  smt::CurrentMachine().motion.targetX = 4000;
  smt::CurrentMachine().motion.targetY = -2500;
  ASSERT_TRUE(smt::TryClaimMachineBusy(smt::CurrentMachine()));
  EXPECT_TRUE(MoveToTarget(smt::CurrentMachine(), r));
  EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
  EXPECT_TRUE(smt::CurrentMachine().resetDone.load());
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 1500);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -700);
  EXPECT_EQ(sim->Position(0), 1500);
  EXPECT_EQ(sim->Position(1), -700);
}

TEST_F(GoToSim, ARefusedStopPositionEndsWithItsMessageAndBusyReleased) {
  GoToPlan stop;
  stop.message = 18;
  GoToMoveRequest r;
  r.stopAfter = true;
  r.stopPlan = stop;
  int shown = 0;
  r.showMessage = [&](int k) { shown = k; };
  smt::CurrentMachine().motion.targetX = 100;
  smt::CurrentMachine().motion.targetY = -100;
  ASSERT_TRUE(smt::TryClaimMachineBusy(smt::CurrentMachine()));
  EXPECT_FALSE(MoveToTarget(smt::CurrentMachine(), r));
  EXPECT_EQ(shown, 18);
  EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 100);  // the vision origin itself was reached
}

TEST_F(GoToSim, ThrowMoveReleasesTheNozzleVacuumOnArrival) {
  GoToMoveRequest r;
  r.kind = 2;
  r.machineType = 0;
  smt::CurrentMachine().motion.targetX = 300;
  smt::CurrentMachine().motion.targetY = -400;
  ASSERT_TRUE(smt::TryClaimMachineBusy(smt::CurrentMachine()));
  EXPECT_TRUE(MoveToTarget(smt::CurrentMachine(), r));
  ASSERT_TRUE(linktest::WaitFor([&] { return sim->LastReceived(0x03).has_value(); }));
  auto out = sim->LastReceived(0x03);
  ASSERT_GE(out->payload.size(), 2u);
  EXPECT_EQ(out->payload[0], 2);  // output of nozzle 2
  EXPECT_EQ(out->payload[1], 0);  // off
}
