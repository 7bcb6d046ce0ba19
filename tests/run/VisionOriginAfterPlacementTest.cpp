// The correction at the vision origin after a placed board: asked for by the
// machine settings, once per board, and a failed move there ends the run.
#include "RunSimFixture.h"

namespace runtest {
namespace {

class VisionOriginAfterPlacement : public RunSimTest {
 protected:
  void Ask(int after, int passes) {
    auto basic = *smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Basic();
    basic.m_SmtFinishToVisualOrigin = after;
    basic.m_CottectionTimeSmt = passes;
    smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetBasic(basic);
  }
};

TEST_F(VisionOriginAfterPlacement, RunsOncePerBoardWhenTheSettingsAskForIt) {
  struct Case {
    int after, passes, expected;
  };
  for (const Case c : {Case{1, 2, 1}, Case{1, 0, 0}, Case{0, 3, 0}}) {
    Ask(c.after, c.passes);
    std::atomic<int> calls{0};
    std::atomic<int> placedBefore{-1};
    smt::run::Services(smt::CurrentMachine()).visionOriginAfterPlacement = [&] {
      placedBefore = Count(0x68);
      ++calls;
      return true;
    };
    ended = false;
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitEnd());
    EXPECT_TRUE(runFinished) << c.after << "/" << c.passes;
    EXPECT_EQ(calls.load(), c.expected) << c.after << "/" << c.passes;
    if (c.expected) {
      EXPECT_EQ(placedBefore.load(), Count(0x68));  // after the board's last place stroke
    }
    sim->ClearReceived();
  }
}

TEST_F(VisionOriginAfterPlacement, AFailedMoveToTheOriginEndsTheRun) {
  Ask(1, 1);
  smt::run::Services(smt::CurrentMachine()).visionOriginAfterPlacement = [] { return false; };
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_FALSE(smt::CurrentMachine().machineBusy);
}

}  // namespace
}  // namespace runtest
