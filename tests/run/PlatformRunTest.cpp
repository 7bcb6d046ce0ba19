// The lamp machine's platform dispensing run and Mark measurement on the
// simulated machine, with a point table stand-in.
#include <cstring>

#include "RunSimFixture.h"
#include "run/PlatformRuns.h"

namespace runtest {
namespace {

using namespace smt::run;

class PlatformRun : public RunSimTest {
 protected:
  void SetUp() override {
    RunSimTest::SetUp();
    g_nMachineType = 4;
    auto st = Strategy();
    st.m_RunSelect = 9;
    SetStrategy(st);
    counts.set = 2;
    counts.finish = 0;
    counts.unfinish = 2;
    auto& s = Services();
    s.lampTarget = [](int kind, int platform, int point) {
      return std::pair<int32_t, int32_t>{1000 * (point + 1) + 10 * kind, -500 * platform};
    };
    s.lampDot = [](int group, int, int) {
      LampDot d;
      d.height = 100 + group;
      d.startSpeed = d.runSpeed = 5;
      return d;
    };
    s.lampCell = [](int, int col) { return std::string(col == 4 ? "-1.0" : "1.0"); };
    s.setLampCell = [this](int row, int col, const std::string& t) {
      std::lock_guard lk(m);
      cells[{row, col}] = t;
    };
    s.lampCounts = [this] { return counts; };
    s.setLampCounts = [this](const LampCounts& c) { counts = c; };
    s.markCameraReady = [] { return true; };
    s.platformMarkParams = [] {
      PlatformMarkParams p;
      p.zoom = 10;
      p.box = 4;
      p.diameter = 1.0;
      p.tolerance = 10;
      p.times = 1;
      return p;
    };
    s.sightMark = [this](const PlatformMarkParams&) {
      ++sightings;
      MarkSighting m;
      m.found = true;
      m.ox = 0.1;
      m.radius = sightRadius;
      return std::optional<MarkSighting>(m);
    };
  }
  LampCounts counts;
  std::map<std::pair<int, int>, std::string> cells;
  std::atomic<int> sightings{0};
  double sightRadius = 5.0;  // 1.0 mm across at 10 pixels per mm
};

TEST_F(PlatformRun, TwoBoardsOnPlatformOneGetNineDotsEachThenTheMachineHomes) {
  ASSERT_TRUE(Start(9));
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(Count(0x58), 2 * 9);
  EXPECT_EQ(sightings, 2 * 3);  // every point's Mark on every board
  EXPECT_EQ(counts.finish, 0);
  EXPECT_EQ(counts.unfinish, 2);
  EXPECT_EQ(homeCount, 1);
  // 0.1 mm at 100 pulses per mm: the gantry stepped by -10 in X.
  EXPECT_EQ(cells[std::make_pair(0, 5)], "-10");
  EXPECT_EQ(cells[std::make_pair(0, 6)], "0");
}

TEST_F(PlatformRun, MarkOfTheWrongSizeAsksAndStopsOnNo) {
  sightRadius = 5.6;  // 1.12 mm: more than 10 % too large
  messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::No);
  ASSERT_TRUE(Start(9));
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(Count(0x58), 0);
  const auto texts = messages.service.Texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), "Mark大小识别失败 !  是-重新识别，否-退出，取消-退出");
  // The platform's clamp stays open for the operator (an output command has
  // no reply: give the board its moment to take it).
  EXPECT_TRUE(linktest::WaitFor([&] { return sim->Output(7); }));
}

TEST_F(PlatformRun, PlacingModesNeedThePlaceRunToStart) {
  // Modes 11 and 12 start the place run beside the dispensing; without it
  // nothing starts and the machine is not left busy.
  EXPECT_FALSE(Start(12));
  EXPECT_FALSE(g_bMachineBusy);
}

}  // namespace
}  // namespace runtest

namespace runtest {
namespace {

TEST_F(PlatformRun, MarkOutsideTheTravelEndsTheRunBeforeAnyGlue) {
  smt::run::Services().lampCell = [](int, int) { return std::string("1.0"); };  // Y above 0
  ASSERT_TRUE(Start(9));
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(Count(0x58), 0);
  EXPECT_EQ(sightings, 0);
}

}  // namespace
}  // namespace runtest
