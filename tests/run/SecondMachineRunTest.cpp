// Two machine objects in one process, each connected to its own simulated
// board: a run started for the machine that is not the one in use places
// its parts on its own board, exactly as the same job places them on the
// machine in use, and the machine in use hears nothing of it. The same for
// the other runs: eight heads (one head at a time and a cycle in one
// command), the drill run and the dispensing step runs.
#include <functional>
#include <map>
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
  smt::run::SetStrategy(smt::CurrentMachine(), st);
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
  using RunSimTest::rows;
  using RunSimTest::runFinished;
  using RunSimTest::sim;
  using RunSimTest::State;
  using RunSimTest::WaitEnd;
};

// A test on the machine in use with a second machine beside it.
class SecondMachineTest : public RunSimTest {
 protected:
  // The bench of `second`, built with that machine current and `apply` run
  // on it then; afterwards the test's own machine is the one in use again.
  // The second board's replies are the second machine's.
  std::unique_ptr<SecondBench> BuildSecond(smt::Machine& second, const std::function<void(SecondBench&)>& apply) {
    std::unique_ptr<SecondBench> bench;
    {
      smt::MachineScope building(second);
      bench = std::make_unique<SecondBench>();
      bench->Build();
      apply(*bench);
    }
    SecondBench* b = bench.get();
    b->link.Channel().SetPacketHandler([&second, b](const smt::link::CmdPacket& p) {
      smt::ThreadMachineScope bound(second);
      b->link.OnPacket(p);
    });
    return bench;
  }
  // What the part list's Start does, on the second machine.
  static bool StartOn(smt::Machine& second, int mode) {
    if (!second.TryClaimBusy()) return false;
    second.runContinue = true;
    second.run.feedRun = true;
    second.run.conveyorRun = true;
    second.paused = false;
    second.run.pauseEvent.Set();
    return smt::run::StartRun(second, mode);
  }
  // What the machine in use had heard and where its gantry stood before the
  // second machine's run.
  struct InUseBefore {
    size_t heard = 0;
    int32_t x = 0, y = 0;
  };
  InUseBefore NoteInUse(const smt::Machine& inUse) const { return {sim->ReceivedCount(), inUse.curX, inUse.curY}; }
  // The machine in use: no command reached its board, its gantry and its
  // run state are as they were.
  void ExpectInUseUntouched(const smt::Machine& inUse, const InUseBefore& before) const {
    EXPECT_EQ(sim->ReceivedCount(), before.heard);
    EXPECT_EQ(inUse.curX, before.x);
    EXPECT_EQ(inUse.curY, before.y);
    EXPECT_FALSE(inUse.machineBusy);
    EXPECT_FALSE(inUse.runContinue);
  }
  void DismantleSecond(smt::Machine& second, std::unique_ptr<SecondBench>& bench) {
    {
      smt::MachineScope dismantling(second);
      bench->Dismantle();
      bench.reset();
    }
    // The bench's window-thread dispatcher went with it.
    smt::platform::GuiDispatcher::Install(&gui);
  }
};

class SecondMachineRun : public SecondMachineTest, public ::testing::WithParamInterface<SecondMachineCase> {};

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
  const InUseBefore heard = NoteInUse(inUse);

  smt::Machine second;
  std::unique_ptr<SecondBench> bench = BuildSecond(second, [&](SecondBench& b) { ApplyCase(c, b.board); });
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(&smt::CurrentMachine(), &inUse);

  ASSERT_TRUE(StartOn(second, 0));
  const bool ended = bench->WaitEnd();
  EXPECT_TRUE(ended);
  EXPECT_TRUE(bench->runFinished);

  // The second board got the same placements as the first did.
  EXPECT_EQ(PlaceStrokes(*bench->sim), reference);
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) EXPECT_EQ(bench->State(r), 6) << "row " << r;
  EXPECT_EQ(second.curX, 1000);
  EXPECT_EQ(second.curY, -1000);
  EXPECT_FALSE(second.machineBusy);
  ExpectInUseUntouched(inUse, heard);

  DismantleSecond(second, bench);
}

INSTANTIATE_TEST_SUITE_P(Machines, SecondMachineRun,
                         ::testing::Values(SecondMachineCase{"OneHead", 1, 0, 1, true, 50, -60},
                                           SecondMachineCase{"TwoHeads", 2, 1, 2, true, 50, -60},
                                           SecondMachineCase{"FourHeadsNoMarks", 3, 3, 4, false, 80, -30}),
                         [](const auto& info) { return std::string(info.param.name); });

// The runs besides the placement run of up to four heads.
struct OtherRunCase {
  const char* name;
  int machineType;
  int headMode;
  int heads;
  int runMode;         // the strategy's run mode, and the one Start is given
  bool batch;          // eight heads: a cycle's picks and places in one command each
  uint16_t keyCode;    // a command the run must send ...
  int keyCount;        // ... at least this often
};

smt::run::DrillRow Hole(double x, double y, double depth, double feed) {
  smt::run::DrillRow r;
  r.x = x;
  r.y = y;
  r.z = -20;
  r.depth = depth;
  r.feed = feed;
  r.lift = 1;
  r.feedStart = r.feedRun = r.liftStart = r.liftRun = 5;
  return r;
}

smt::run::DispenseRow Dot(double x, double y, bool on) {
  smt::run::DispenseRow r;
  r.x = x;
  r.y = y;
  r.z = -2;
  r.dispense = on;
  r.valveClose = 0;
  r.closeDelay = 20;
  return r;
}

// Sets the machine current while this runs to the case: type, heads,
// strategy, and the rows its run reads.
void ApplyOtherCase(const OtherRunCase& c, std::vector<smt::run::PlacementRow>& rows) {
  smt::Machine& m = smt::CurrentMachine();
  m.machineType = c.machineType;
  m.headCount = c.heads;
  smt::run::SmtStrategy st;
  st.m_HeaderSelect = c.headMode;
  st.m_RunSelect = c.runMode;
  st.m_TogetherCode = c.batch ? 1 : 0;
  smt::run::SetStrategy(m, st);
  if (c.batch) rows.erase(rows.begin() + 2);  // heads 1 and 2 in one cycle
  auto& s = smt::run::Services(m);
  if (c.machineType == 9) {
    m.steps.zPulsePerMm = 10;
    s.drillRows = [] { return std::vector<smt::run::DrillRow>{Hole(1, -1, 10, 4), Hole(2, -2, 8, 4)}; };
  }
  s.dispenseRows = [] {
    return std::vector<smt::run::DispenseRow>{Dot(1, -1, true), Dot(2, -2, false), Dot(3, -3, true)};
  };
}

// What a board heard from command `from` on, per command code in the order
// heard (the feeder thread's commands may fall between the run thread's
// differently from run to run; each thread's own order is fixed).
std::map<uint16_t, std::vector<std::vector<uint8_t>>> Heard(const smt::sim::SimBoard& sim, size_t from) {
  std::map<uint16_t, std::vector<std::vector<uint8_t>>> out;
  const auto all = sim.Received();
  for (size_t i = from; i < all.size(); ++i) out[all[i].code].push_back(all[i].payload);
  return out;
}

class SecondMachineOtherRun : public SecondMachineTest, public ::testing::WithParamInterface<OtherRunCase> {};

TEST_P(SecondMachineOtherRun, IsJudgedByItsOwnBoardWhileTheMachineInUseHearsNothing) {
  const OtherRunCase& c = GetParam();
  smt::Machine& inUse = smt::CurrentMachine();
  ApplyOtherCase(c, rows);

  // The run on the machine in use gives the record to match.
  const size_t startedAt = sim->ReceivedCount();
  ASSERT_TRUE(Start(c.runMode));
  ASSERT_TRUE(WaitEnd());
  ASSERT_TRUE(runFinished);
  const auto reference = Heard(*sim, startedAt);
  ASSERT_TRUE(reference.count(c.keyCode));
  ASSERT_GE(static_cast<int>(reference.at(c.keyCode).size()), c.keyCount);
  const InUseBefore heard = NoteInUse(inUse);

  smt::Machine second;
  std::unique_ptr<SecondBench> bench = BuildSecond(second, [&](SecondBench& b) { ApplyOtherCase(c, b.rows); });
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(&smt::CurrentMachine(), &inUse);

  const size_t secondStartedAt = bench->sim->ReceivedCount();
  ASSERT_TRUE(StartOn(second, c.runMode));
  EXPECT_TRUE(bench->WaitEnd());
  EXPECT_TRUE(bench->runFinished);

  // The second board heard the same run as the first did.
  EXPECT_EQ(Heard(*bench->sim, secondStartedAt), reference);
  // It ended where the run on the machine in use ended.
  EXPECT_EQ(second.curX.load(), heard.x);
  EXPECT_EQ(second.curY.load(), heard.y);
  EXPECT_FALSE(second.machineBusy);
  ExpectInUseUntouched(inUse, heard);

  DismantleSecond(second, bench);
}

INSTANTIATE_TEST_SUITE_P(
    Machines, SecondMachineOtherRun,
    ::testing::Values(OtherRunCase{"EightHeads", 7, 6, 8, 0, false, 0x77, 3},
                      OtherRunCase{"EightHeadsInOneCommand", 7, 6, 8, 0, true, 0x78, 1},
                      OtherRunCase{"Drill", 9, 0, 1, 0, false, 0x53, 3},
                      OtherRunCase{"Dispensing", 2, 1, 2, 1, false, 0x68, 2},
                      OtherRunCase{"DispensingThenPlacing", 2, 1, 2, 2, false, 0x68, 3}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace runtest
