// Run modes 9 and 10 of the lamp machine through the real shell on the
// simulated board: Start on the part list, the Mark of every point measured
// with the Mark camera on the glue gantry, then the red dot and the two
// silver dots of every point; the board's record must show each dot where
// it belongs on the displaced board.
#include <gtest/gtest.h>

#include <cstdlib>

#include "LampShellFixture.h"

namespace lamptest {
namespace {

struct ModeCase {
  int mode;
  std::vector<int> platforms;  // the platform of board 1, 2
};

TEST_F(LampShell, DispensingModesPutEveryDotOnItsMeasuredTarget) {
  for (const ModeCase& c : {ModeCase{9, {1, 1}}, ModeCase{10, {1, 2}}}) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    if (!app) {
      StartConnected();
      LoadJob({{100, -100, 5, -3, {0.5, 0.2}, {1.0, -0.5}, {-1.0, 0.5}},
               {150, -120, 4, -2, {0.4, -0.1}, {0.8, 0.6}, {-0.8, -0.6}}});
      InstallMarkCamera();
    }
    SetLampMachineCountersForTest();
    sim->ClearReceived();
    SetRunMode(c.mode);
    ASSERT_TRUE(view->m_pPartList->Run().OnStart()) << (messages.service.Texts().empty() ? "" : messages.service.Texts().back());
    // The run ends by homing the machine (the home frame 0x52).
    ASSERT_TRUE(Pump([&] { return sim->LastReceived(0x52).has_value() && !smt::CurrentMachine().machineBusy.load() &&
                                 view->m_pPartList->Run().m_bSmtThreadBusy == 0; }))
        << Diagnose();
    const auto strokes = sim->Strokes();
    ASSERT_EQ(strokes.size(), 2u * 2u * 3u);
    size_t k = 0;
    for (int board = 0; board < 2; ++board) {
      const int platform = c.platforms[static_cast<size_t>(board)];
      const int yAxis = platform == 1 ? 1 : 12;
      for (size_t i = 0; i < points.size(); ++i)
        for (int group = 0; group < 3; ++group, ++k) {
          SCOPED_TRACE("board " + std::to_string(board) + " point " + std::to_string(i) + " dot " +
                       std::to_string(group));
          const auto& s = strokes[k];
          EXPECT_EQ(s.head, group == 0 ? 10 : 6);
          const auto want = DotTarget(points[i], group, disp[static_cast<size_t>(platform)]);
          const auto at = [&](int axis) { return s.axes.count(axis) ? s.axes.at(axis) : 0; };
          // The Mark is found to within a pulse or two of sub-pixel rounding.
          EXPECT_LE(std::llabs(at(9) - want.first), 2) << at(9) << " vs " << want.first;
          EXPECT_LE(std::llabs(at(yAxis) - want.second), 2) << at(yAxis) << " vs " << want.second;
        }
    }
    // The measured offsets are in the point table; the board count went round.
    const int row = c.platforms[1] == 1 ? 0 : 1;
    EXPECT_NEAR(std::atoi(smt::stations::LampPointTable::Of(smt::CurrentMachine()).Cell(row, 5).c_str()),
                disp[static_cast<size_t>(c.platforms[1])][0] * kPulse, 2);
    EXPECT_EQ(CurrentLampCounters(smt::CurrentMachine()).m_CountFinish, 0);
    EXPECT_EQ(CurrentLampCounters(smt::CurrentMachine()).m_CountUnfinish, 2);
    EXPECT_EQ(sim->BadFrames(), 0u);
    // The next mode starts where the board stands after the homing.
    ASSERT_TRUE(Pump([] { return smt::CurrentMachine().resetDone.load(); }));
    smt::CurrentMachine().curX = static_cast<int32_t>(sim->Position(0));
    smt::CurrentMachine().curY = static_cast<int32_t>(sim->Position(1));
    smt::CurrentMachine().motion.curPlatform[0] = static_cast<int32_t>(sim->Position(9));
    smt::CurrentMachine().motion.curPlatform[1] = static_cast<int32_t>(sim->Position(12));
  }
}

TEST_F(LampShell, PlacingModesPutEveryPartOnItsGluedPoint) {
  for (const ModeCase& c : {ModeCase{11, {1, 1}}, ModeCase{12, {1, 2}}}) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    if (!app) {
      StartConnected();
      LoadJob({{100, -100, 5, -3, {0.5, 0.2}, {1.0, -0.5}, {-1.0, 0.5}},
               {150, -120, 4, -2, {0.4, -0.1}, {0.8, 0.6}, {-0.8, -0.6}}});
      InstallMarkCamera();
    }
    SetLampMachineCountersForTest();
    sim->ClearReceived();
    SetRunMode(c.mode);
    ASSERT_TRUE(view->m_pPartList->Run().OnStart()) << Diagnose();
    ASSERT_TRUE(Pump([&] { return sim->LastReceived(0x52).has_value() && !smt::CurrentMachine().machineBusy.load() &&
                                 view->m_pPartList->Run().m_bSmtThreadBusy == 0; })) << Diagnose();
    std::vector<smt::sim::ProcessStroke> placed;
    size_t dots = 0;
    for (const auto& s : sim->Strokes()) {
      if (s.code == 0x68) placed.push_back(s);
      else ++dots;
    }
    EXPECT_EQ(dots, 2u * 2u * 3u);
    ASSERT_EQ(placed.size(), 2u * 2u);
    for (size_t k = 0; k < placed.size(); ++k) {
      SCOPED_TRACE("placement " + std::to_string(k));
      const int platform = c.platforms[k / 2];
      const auto& p = points[k % 2];
      const auto& d = disp[static_cast<size_t>(platform)];
      const auto at = [&](int axis) { return placed[k].axes.count(axis) ? placed[k].axes.at(axis) : 0; };
      const int64_t wantX = T(p.markX * kPulse) + T(p.ledX * kPulse) + T(d[0] * kPulse);
      const int64_t wantY = T(p.markY * kPulse) + T(p.ledY * kPulse) + T(d[1] * kPulse);
      EXPECT_LE(std::llabs(at(0) - wantX), 2) << at(0) << " vs " << wantX;
      EXPECT_LE(std::llabs(at(platform == 1 ? 1 : 12) - wantY), 2) << " vs " << wantY;
    }
    EXPECT_EQ(sim->BadFrames(), 0u);
    ASSERT_TRUE(Pump([] { return smt::CurrentMachine().resetDone.load(); }));
    smt::CurrentMachine().curX = static_cast<int32_t>(sim->Position(0));
    smt::CurrentMachine().curY = static_cast<int32_t>(sim->Position(1));
    smt::CurrentMachine().motion.curPlatform[0] = static_cast<int32_t>(sim->Position(9));
    smt::CurrentMachine().motion.curPlatform[1] = static_cast<int32_t>(sim->Position(12));
  }
}

}  // namespace
}  // namespace lamptest
