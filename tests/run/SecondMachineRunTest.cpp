// Two machine objects in one process, each connected to its own simulated
// board: a run started for the machine that is not the one in use places
// its parts on its own board, exactly as the same job places them on the
// machine in use, and the machine in use hears nothing of it.
#include <memory>

#include "RunSimFixture.h"
#include "core/ThreadMachine.h"
#include "link/CmdPacket.h"

namespace runtest {
namespace {

struct SecondMachineCase {
  const char* name;
  int machineType;
  int headMode;  // the strategy's head mode
  int heads;
  bool marks;
  double originX, originY;
};

// Sets a bench's machine (the one current while this runs) to the case.
void ApplyCase(const SecondMachineCase& c, smt::run::RunBoard& board) {
  smt::CurrentMachine().machineType = c.machineType;
  smt::CurrentMachine().headCount = c.heads;
  smt::run::SmtStrategy st;
  st.m_HeaderSelect = c.headMode;
  st.m_RunSelect = 0;
  smt::run::SetStrategy(st);
  board.marksOn = c.marks;
  board.originX = c.originX;
  board.originY = c.originY;
}

// The placing strokes of a board's record: head and where the axes stood.
std::vector<std::pair<int, std::map<int, int64_t>>> PlaceStrokes(const smt::sim::SimBoard& sim) {
  std::vector<std::pair<int, std::map<int, int64_t>>> out;
  for (const auto& s : sim.Strokes())
    if (s.code == 0x68) out.emplace_back(s.head, s.axes);
  return out;
}

// The whole bench of the run tests (machine settings, simulated board,
// links, services, feeder table, job) for a second machine. Built and torn
// down with that machine current; in between the test's own machine is the
// one in use again.
class SecondBench : public RunSimTest {
 public:
  void TestBody() override {}
  void Build() { SetUp(); }
  void Dismantle() { TearDown(); }
  using RunSimTest::board;
  using RunSimTest::link;
  using RunSimTest::runFinished;
  using RunSimTest::sim;
  using RunSimTest::State;
  using RunSimTest::WaitEnd;
};

class SecondMachineRun : public RunSimTest, public ::testing::WithParamInterface<SecondMachineCase> {};

TEST_P(SecondMachineRun, PlacesOnItsOwnBoardWhileTheMachineInUseSeesNoMove) {
  const SecondMachineCase& c = GetParam();
  smt::Machine& inUse = smt::CurrentMachine();
  ApplyCase(c, board);

  // The job on the machine in use gives the record to match.
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd());
  ASSERT_TRUE(runFinished);
  const auto reference = PlaceStrokes(*sim);
  ASSERT_EQ(reference.size(), rows.size());
  const size_t heardBefore = sim->ReceivedCount();
  const int32_t xBefore = inUse.curX, yBefore = inUse.curY;

  smt::Machine second;
  std::unique_ptr<SecondBench> bench;
  {
    smt::MachineScope building(second);
    bench = std::make_unique<SecondBench>();
    bench->Build();
    ASSERT_FALSE(HasFatalFailure());
    ApplyCase(c, bench->board);
  }
  // The second board's replies are the second machine's.
  bench->link.Channel().SetPacketHandler([&](const smt::link::CmdPacket& p) {
    smt::ThreadMachineScope bound(second);
    bench->link.OnPacket(p);
  });
  ASSERT_EQ(&smt::CurrentMachine(), &inUse);

  // What the part list's Start does, on the second machine.
  ASSERT_TRUE(second.TryClaimBusy());
  second.runContinue = true;
  second.run.feedRun = true;
  second.run.conveyorRun = true;
  second.paused = false;
  second.run.pauseEvent.Set();
  ASSERT_TRUE(smt::run::StartRun(second, 0));
  const bool ended = bench->WaitEnd();
  EXPECT_TRUE(ended);
  EXPECT_TRUE(bench->runFinished);

  // The second board got the same placements as the first did.
  EXPECT_EQ(PlaceStrokes(*bench->sim), reference);
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) EXPECT_EQ(bench->State(r), 6) << "row " << r;
  EXPECT_EQ(second.curX, 1000);
  EXPECT_EQ(second.curY, -1000);
  EXPECT_FALSE(second.machineBusy);
  // The machine in use: no command reached its board, its gantry and its
  // run state are as they were.
  EXPECT_EQ(sim->ReceivedCount(), heardBefore);
  EXPECT_EQ(inUse.curX, xBefore);
  EXPECT_EQ(inUse.curY, yBefore);
  EXPECT_FALSE(inUse.machineBusy);
  EXPECT_FALSE(inUse.runContinue);

  {
    smt::MachineScope dismantling(second);
    bench->Dismantle();
    bench.reset();
  }
  // The bench's window-thread dispatcher went with it.
  smt::platform::GuiDispatcher::Install(&gui);
}

INSTANTIATE_TEST_SUITE_P(Machines, SecondMachineRun,
                         ::testing::Values(SecondMachineCase{"OneHead", 1, 0, 1, true, 50, -60},
                                           SecondMachineCase{"TwoHeads", 2, 1, 2, true, 50, -60},
                                           SecondMachineCase{"FourHeadsNoMarks", 3, 3, 4, false, 80, -30}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace runtest
