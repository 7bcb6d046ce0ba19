// Placement runs through the program as main() builds it, on the simulated
// board over the serial link: the board's record of strokes, moves and
// outputs is compared with the job.
#include "RunShellFixture.h"

#include <cstring>

#include "platform/ProfileFile.h"
#include "run/RunDispatch.h"
#include "run/RunServices.h"

namespace {

using runtest::Part;
using runtest::TapeFeeder;


struct Placed {
  int64_t x, y;
};
// The board's record of place strokes (0x68): where the gantry stood.
std::vector<Placed> Placements(const smt::sim::SimBoard& sim) {
  std::vector<Placed> out;
  for (const auto& s : sim.Strokes())
    if (s.code == 0x68) out.push_back({s.axes.count(0) ? s.axes.at(0) : 0, s.axes.count(1) ? s.axes.at(1) : 0});
  return out;
}

smt::feeder::FeederRow NoVision(smt::feeder::FeederRow r) {
  r[smt::feeder::kCellCamera] = "No/Camera 1";
  return r;
}

}  // namespace

// The whole list is placed, each part at its own point, and the run ends
// with the end-of-run state and the machine homed again.
TEST_F(RunShellTest, AWholeRunPlacesEveryRowAtItsPoint) {
  StartConnected("[MachineSetConfig]\nMachineSet=2\n[SmtStrategyConfig]\nm_HeaderSelect=1\nm_RunSelect=0\n");
  PutJob({NoVision(TapeFeeder("W1", 10, -20, "")), NoVision(TapeFeeder("W2", 14, -20, ""))},
         {Part(1, 5, -5, "W1"), Part(2, 8, -5, "W2"), Part(3, 11, -5, "W1")});
  ASSERT_TRUE(RunToEnd());
  const auto placed = Placements(*sim);
  ASSERT_EQ(placed.size(), 3u);
  EXPECT_EQ(placed[0].x, 500);
  EXPECT_EQ(placed[1].x, 800);
  EXPECT_EQ(placed[2].x, 1100);
  for (const auto& p : placed) EXPECT_EQ(p.y, -500);
  EXPECT_EQ(sim->LastState(), 4);
  EXPECT_TRUE(WaitHomedAgain());
  EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().front();
}

// With the cover tape on, every row is placed, the tape advances one pocket
// per part (single head) and the counters are read at the start and saved.
TEST_F(RunShellTest, CoverTapeRunPlacesEveryRowAndAdvancesThePocketsOfTheParts) {
  StartConnected("[MachineSetConfig]\nMachineSet=2\n[SmtStrategyConfig]\nm_HeaderSelect=0\nm_RunSelect=0\nm_Cover=1\n"
                 "[SetCoverConfig]\nm_StepPulse=37\nm_CoverTotal=100\nm_CoverOnceTotal=2\nm_BlankTotal=1\n"
                 "m_CoverDelay=1\nm_CoverTotalCount=10\nm_CoverCount=0\n");
  PutJob({NoVision(TapeFeeder("W1", 10, -20, "")), NoVision(TapeFeeder("W2", 14, -20, ""))},
         {Part(1, 5, -5, "W1"), Part(2, 8, -5, "W2"), Part(3, 11, -5, "W1")});
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(Placements(*sim).size(), 3u);
  EXPECT_EQ(sim->Position(14), 3 * 37);
  EXPECT_EQ(Config("SetCoverConfig", "m_CoverTotalCount"), "13");
  EXPECT_EQ(Config("SetCoverConfig", "m_CoverCount"), "1");
  // One sealing stroke after the second pocket: output 8 on, then off.
  std::vector<std::pair<int, int>> seal;
  for (const auto& c : Commands(0x03))
    if (c.payload.size() >= 2 && c.payload[0] == 8) seal.push_back({c.payload[0], c.payload[1]});
  EXPECT_EQ(seal, (std::vector<std::pair<int, int>>{{8, 1}, {8, 0}}));
  EXPECT_EQ(sim->LastState(), 4);
  EXPECT_TRUE(WaitHomedAgain());
  EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().front();
}
