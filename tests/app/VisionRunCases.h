#pragma once
// The whole placement run of each machine type and vision kind, on the
// simulated machine whose cameras see what the machine does: one test body,
// instantiated by VisionRunSimTest.cpp (two heads) and VisionRunHeadsTest.cpp
// (four and eight heads), so that the two run side by side.
#include "VisionRunFixture.h"

namespace {

using namespace std::chrono_literals;
using visionrun::VisionRunSim;

struct RunCase {
  const char* name;
  int machineType, headSelect;
  const char* camera;  // feeders' vision cell
  bool fly;            // centred in flight
  bool centred;        // the parts land on target
};

class VisionRunCases : public VisionRunSim, public ::testing::WithParamInterface<RunCase> {};

TEST_P(VisionRunCases, EveryPartLandsOnTheTrueBoard) {
  const RunCase c = GetParam();
  StartProgram(c.machineType, c.headSelect);
  LoadJob(c.camera, c.fly, 0.4, -0.3, 0.6);
  Introduce();
  ASSERT_TRUE(View().m_pPartList->Run().OnStart()) << Shown();
  std::vector<std::string> shown;
  ASSERT_TRUE(WaitEnd(60s, &shown)) << "busy " << smt::CurrentMachine().machineBusy.load() << " run " << smt::CurrentMachine().runContinue.load() << " homed " << smt::CurrentMachine().resetDone.load() << "\n" << Info();
  EXPECT_TRUE(shown.empty()) << shown.front() << Info();
  // The closing home ends with the Mark camera at the vision origin.
  ASSERT_FALSE(world->GantryStops().empty());
  EXPECT_EQ(world->GantryStops().back(), (std::array<int64_t, 2>{6000, -3200}));
  EXPECT_EQ(world->Placements().size(), Targets().size());
  int highestHead = 0;
  for (const auto& r : world->Placements()) highestHead = std::max(highestHead, r.head);
  EXPECT_EQ(highestHead, std::min(smt::CurrentMachine().headCount.load(), static_cast<int>(rows.size())))
      << "every head of the machine type places (as many as a board has rows)";
  int flyPasses = 0;
  for (const auto& r : sim->Received()) flyPasses += r.code == 0x63 ? 1 : 0;
  if (c.fly) EXPECT_GT(flyPasses, 0) << "the heads crossed the fly camera";
  else EXPECT_EQ(flyPasses, 0);
  const Miss m = Worst();
  EXPECT_EQ(m.unmatched, 0);
  if (c.centred) {
    EXPECT_LE(m.mm, 0.05) << Info();
    EXPECT_LE(m.deg, 0.2);
  } else {
    EXPECT_GT(std::max(m.mm / 0.05, m.deg / 0.2), 2.0) << "without vision the pick errors stay";
  }
}

}  // namespace
