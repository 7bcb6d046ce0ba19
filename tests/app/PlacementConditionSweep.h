#pragma once
// Placement under the conditions an operator meets, on the simulated
// machine whose cameras see it: machine types, the scales of X, Y and A, a
// board put down turned and shifted, row angles all round the circle, stop
// and look or fly vision. Judged by where the simulated machine let every
// part go. One table: a new condition is one line. The table is run in
// three programs side by side (PlacementConditionSweep*Test.cpp, a slice
// each; the last takes what is added at the end).
#include "VisionRunFixture.h"

#include <sstream>

using namespace std::chrono_literals;
using visionrun::Target;
using visionrun::VisionRunSim;

namespace {

struct Condition {
  const char* name;
  int machineType;          // 2 two heads, 3 four heads, 7 eight heads
  double stepsPerMmXY;      // X and Y
  double stepsPerDegA;
  double turn, offX, offY;  // the board's true place against the job's (degrees, mm)
  bool fly;                 // fly vision, else stop and look
  std::vector<double> angles;  // the rows' angles (one row each, both boards of the panel)
};

void PrintTo(const Condition& c, std::ostream* os) { *os << c.name; }

int HeadSelectOf(int machineType) { return machineType == 7 ? 6 : machineType == 3 ? 3 : 1; }

// A pairwise cover of types x A scales x XY scales x turns x vision, with
// every row angle met on several machines.
const Condition kConditions[] = {
    {"T2_A17_XY100_Turn0_Look", 2, 100, 17.7777, 0, 0, 0, false, {0.5, -0.5, 0, 10, 90}},
    {"T2_A8_XY80_TurnP05_Fly", 2, 80, 8.8889, 0.5, 0.6, -0.4, true, {179.5, -90, 270, 900, 0.5}},
    {"T2_A100_XY320_TurnM3_Look", 2, 320, 100, -3, -1, 1, false, {900, 179.5, -0.5, 270, 10}},
    {"T3_A17_XY80_TurnM05_Look", 3, 80, 17.7777, -0.5, 1, 0.3, false, {270, 0.5, 179.5, -90, 0}},
    {"T3_A8_XY320_Turn3_Look", 3, 320, 8.8889, 3, -0.7, -1, false, {-0.5, 10, 0.5, 900, 90}},
    {"T3_A100_XY100_TurnP05_Fly", 3, 100, 100, 0.5, -0.3, 0.8, true, {0.5, 90, -0.5, 179.5, 270}},
    {"T7_A17_XY320_Turn3_Fly", 7, 320, 17.7777, 3, 0.4, -0.9, true, {-90, 0.5, 10, 900, -0.5}},
    {"T7_A8_XY100_TurnM05_Look", 7, 100, 8.8889, -0.5, 0.9, 0.9, false, {90, 270, -90, 0.5, 179.5}},
    {"T7_A100_XY80_Turn0_Look", 7, 80, 100, 0, -1, -1, false, {10, 900, 0, -90, 0.5}},
    {"T2_A17_XY100_TurnM3_Fly", 2, 100, 17.7777, -3, 0.2, 0.5, true, {0, -0.5, 90, 10, 270}},
    {"T3_A17_XY100_TurnP3_Fly", 3, 100, 17.7777, 3, 1, -1, true, {-90, 179.5, 0, 0.5, 900}},
};

class PlacementConditions : public VisionRunSim, public ::testing::WithParamInterface<Condition> {};

TEST_P(PlacementConditions, EveryPartLandsWithin5HundredthsOfAMillimetreAndAFifthOfADegree) {
  const Condition& c = GetParam();
  stepsPerMm = c.stepsPerMmXY;
  stepsPerDeg = c.stepsPerDegA;
  // The cameras accept what is under a tenth of a degree and 0.02 mm (the
  // picture's half pixel is 0.006 mm).
  anglePrecisionSteps = static_cast<int>(0.1 * c.stepsPerDegA);
  xyPrecisionSteps = std::max(1, static_cast<int>(0.02 * c.stepsPerMmXY));
  // A board that may lie 3 degrees turned puts its second Mark (76 mm from
  // the first) 4 mm from where the job has it: the operator searches wider.
  markBoxMm = 10;
  StartProgram(c.machineType, HeadSelectOf(c.machineType));
  const double places[5][2] = {{5, -5}, {12, -8}, {20, -15}, {8, -20}, {26, -6}};
  for (size_t i = 0; i < c.angles.size() && i < 5; ++i) rows.push_back({places[i][0], places[i][1], c.angles[i]});
  LoadJob("Yes/Camera 1", c.fly, c.offX, c.offY, c.turn);
  Introduce();
  ASSERT_TRUE(View().m_pPartList->Run().OnStart()) << Shown();
  std::vector<std::string> shown;
  ASSERT_TRUE(WaitEnd(60s, &shown)) << Info();
  EXPECT_TRUE(shown.empty()) << [&] {
    std::string all;
    for (const auto& t : shown) all += "[" + t + "] ";
    return all;
  }() << Info();
  const auto placed = world->Placements();
  EXPECT_EQ(placed.size(), Targets().size()) << "every part placed once, none thrown away\n" << Info();
  EXPECT_EQ(world->Releases().size(), placed.size()) << "no part thrown away";
  const Miss m = Worst();
  EXPECT_EQ(m.unmatched, 0);
  EXPECT_LE(m.mm, 0.05) << Info();
  EXPECT_LE(m.deg, 0.2) << Info();
  std::ostringstream figure;
  figure << c.name << ": largest miss " << m.mm << " mm, " << m.deg << " degrees";
  RecordProperty("largest_miss", figure.str());
  std::printf("[ sweep    ] %s\n", figure.str().c_str());
}

// The conditions [first, last) of the table (last clipped to its end).
inline auto ConditionSlice(size_t first, size_t last) {
  const size_t n = std::size(kConditions);
  return ::testing::ValuesIn(kConditions + std::min(first, n), kConditions + std::min(last, n));
}

inline std::string ConditionName(const ::testing::TestParamInfo<Condition>& info) { return info.param.name; }

}  // namespace
