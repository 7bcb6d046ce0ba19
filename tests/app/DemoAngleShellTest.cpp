// The demo machine (A axis at 17.7777 steps per degree, its cameras' own
// precisions) placing its job at the small turns an operator meets: a row
// angle of half a degree either way, and a board put down half a degree
// turned with Mark alignment on. Judged by where the simulated machine let
// every part go.
#include <gtest/gtest.h>

#include <cmath>

#include "DemoMachineFixture.h"

namespace {

struct SmallTurn {
  const char* name;
  const char* rowAngle;  // every row's angle cell
  double boardTurn;      // the board's true turn on the machine (degrees)
};

void PrintTo(const SmallTurn& t, std::ostream* os) { *os << t.name; }

class DemoSmallTurns : public DemoMachine, public ::testing::WithParamInterface<SmallTurn> {};

double AngleGap(double a, double b) {
  double d = std::fmod(a - b, 360.0);
  if (d > 180) d -= 360;
  if (d < -180) d += 360;
  return std::fabs(d);
}

TEST_P(DemoSmallTurns, EveryPartPassesHeadVisionAndLandsOnTarget) {
  const SmallTurn& c = GetParam();
  CMainFrame& f = Start();
  f.show();
  ConnectAndHome();
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  auto& pl = *f.view()->m_pPartList;
  auto& job = pl.Job();
  ASSERT_EQ(job.pcbs.Count(), 1);
  auto& rec = job.pcbs.m_Records[0];
  for (auto& p : rec.m_Parts) smt::job::SetStoredPlacementCell(p, smt::job::kSmtAngle, c.rowAngle);
  if (c.boardTurn != 0) {
    rec.m_bMarkEnable = true;
    smt::sim::WorldBoard b;
    b.originX = rec.m_dOriginX;
    b.originY = rec.m_dOriginY;
    b.rotationDeg = c.boardTurn;
    b.marks = {{rec.m_dMark1X, rec.m_dMark1Y}, {rec.m_dMark2X, rec.m_dMark2Y}};
    b.markDiameter = rec.m_dMarkDiameter;
    world->SetBoard(b);
  }
  job.ShowRecord(0);
  struct Target {
    double x, y;
  };
  std::vector<Target> targets;
  for (const auto& r : job.placementRows) targets.push_back({std::atof(r.cells[1].c_str()), std::atof(r.cells[2].c_str())});
  ASSERT_FALSE(targets.empty());
  const double want = std::atof(c.rowAngle);
  size_t logAt = Log().size();
  ASSERT_TRUE(PumpUntil([&] { return pl.ToolBar().Button(106)->isEnabled(); }));
  ClickToolbar(106);
  ASSERT_TRUE(PumpUntil([&] { return Log().find("smt run end", logAt) != std::string::npos; }, 60s)) << Messages();
  ASSERT_TRUE(PumpUntil([&] {
    return pl.Run().m_bSmtThreadBusy == 0 && pl.Run().m_bFeedThreadBusy == 0 && !g_bMachineBusy.load();
  }, 10s));
  EXPECT_EQ(Log().find("Visual times out set !", logAt), std::string::npos) << "head vision converged";
  EXPECT_TRUE(messages.service.Texts().empty()) << Messages();
  const auto placed = world->Placements();
  EXPECT_EQ(placed.size(), targets.size());
  EXPECT_EQ(world->Picks(), static_cast<int>(targets.size())) << "no part replenished";
  double worstMm = 0, worstDeg = 0;
  for (const auto& t : targets) {
    const smt::sim::Release* best = nullptr;
    double d = 1e9;
    for (const auto& p : placed)
      if (std::hypot(p.boardX - t.x, p.boardY - t.y) < d) {
        d = std::hypot(p.boardX - t.x, p.boardY - t.y);
        best = &p;
      }
    ASSERT_NE(best, nullptr);
    worstMm = std::max(worstMm, d);
    worstDeg = std::max(worstDeg, AngleGap(best->boardAngleDeg, want));
  }
  EXPECT_LE(worstMm, 0.05);
  EXPECT_LE(worstDeg, 0.2);
  std::printf("[ demo     ] %s: largest miss %.4f mm, %.4f degrees\n", c.name, worstMm, worstDeg);
}

INSTANTIATE_TEST_SUITE_P(Demo, DemoSmallTurns,
                         ::testing::Values(SmallTurn{"RowHalfDegree", "0.5", 0}, SmallTurn{"RowMinusHalfDegree", "-0.5", 0},
                                           SmallTurn{"BoardTurnedHalfDegree", "0", 0.5},
                                           SmallTurn{"RowTenDegrees", "10", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
