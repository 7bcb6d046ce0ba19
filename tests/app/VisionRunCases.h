#pragma once
// The whole placement run of each machine type and vision kind, on the
// simulated machine whose cameras see what the machine does: one test body,
// instantiated by VisionRunSimTest.cpp (two heads) and VisionRunHeadsTest.cpp
// (four and eight heads), so that the two run side by side.
#include "VisionRunFixture.h"

#include <fstream>

#include "core/LogFile.h"

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
  const bool logWas = CLogFile::Instance().m_bEnable.exchange(true);
  std::error_code logGone;
  const auto logBefore = std::filesystem::file_size(CLogFile::Instance().FilePath(), logGone);
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
  // Each placement's log line names the vision path the part took.
  {
    std::ifstream in(CLogFile::Instance().FilePath(), std::ios::binary);
    std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    log.erase(0, logGone ? 0 : std::min<size_t>(logBefore, log.size()));  // this run's lines only
    const std::string path = std::string(c.camera).rfind("No/", 0) == 0 ? "vision path: no vision"
                             : c.fly                                     ? "vision path: fly"
                                                                         : "vision path: stop-and-look";
    // In flight the heads go together: a cycle left with fewer parts than
    // heads stops over the camera, and its line says so.
    size_t lines = 0, named = 0, stopped = 0;
    for (size_t at = log.find("placed: row "); at != std::string::npos; at = log.find("placed: row ", at + 1)) {
      ++lines;
      const std::string line = log.substr(at, log.find('\n', at) - at);
      named += line.find(path) != std::string::npos ? 1 : 0;
      stopped += line.find("vision path: stop-and-look") != std::string::npos ? 1 : 0;
    }
    EXPECT_GE(lines, world->Placements().size()) << "a log line for each placement";
    if (c.fly) {
      EXPECT_GE(named, lines / 2) << path;
      EXPECT_EQ(named + stopped, lines) << path;
    } else {
      EXPECT_EQ(named, lines) << path;
    }
  }
  CLogFile::Instance().m_bEnable = logWas;
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
