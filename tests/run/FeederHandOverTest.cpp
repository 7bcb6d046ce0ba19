// The run thread and the feeder thread over many cycles of four heads with
// automatic feeders: every part is advanced once, picked and then released
// for its own feeder, while the run thread already fills the next cycle's
// records. Built to make the hand-over races likely (run it under
// ThreadSanitizer too: scripts/test-sanitizers).
#include "core/Machine.h"
#include "RunSimFixture.h"
#include "feeder/AutoFeeders.h"

namespace runtest {
namespace {

class FeederHandOver : public RunSimTest {
 protected:
  void SetUp() override {
    RunSimTest::SetUp();
    smt::CurrentMachine().machineType = 3;
    smt::CurrentMachine().headCount = 4;
    smt::run::SmtStrategy st;
    st.m_HeaderSelect = 3;  // four heads, same nozzle
    smt::run::SetStrategy(smt::CurrentMachine(), st);
    board.marksOn = false;
    std::vector<FeederRow> f;
    for (int i = 1; i <= 4; ++i) {
      FeederCells r = TapeFeeder("W" + std::to_string(i), 10 + 4 * i, -20, "No/Camera 1");
      r[smt::feeder::kCellFeedMode] = "自动飞达";
      r[smt::feeder::kCellFeedTime] = "0";
      f.push_back(r);
    }
    feeders.ReplaceCurrentRows(f, std::vector<smt::feeder::TrayRecord>(4, smt::feeder::TrayRecord::Default()));
    rows.clear();
    // 40 parts, the feeders mixed so heads share a feeder in some cycles.
    const char* order[] = {"W1", "W2", "W3", "W4", "W1", "W1", "W2", "W3", "W4", "W4"};
    for (int i = 0; i < kParts; ++i) rows.push_back(Part(i + 1, 5 + i, -5, order[i % 10]));
    smt::feeder::AutoFeeders::Of(smt::CurrentMachine()).Reset();
  }
  static constexpr int kParts = 40;
};

TEST_F(FeederHandOver, EveryPartIsFedPickedAndItsFeederReleased) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitEnd(std::chrono::seconds(60)));
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(Count(0x68), kParts);
  // One advance and one release per part, and no feeder left switched on.
  EXPECT_EQ(Count(0x66), 2 * kParts);
  EXPECT_EQ(smt::feeder::AutoFeeders::Of(smt::CurrentMachine()).Mask(), (std::array<uint32_t, 3>{0, 0, 0}));
  for (int r = 0; r < kParts; ++r) EXPECT_EQ(State(r), 6) << r;
}

}  // namespace
}  // namespace runtest

namespace runtest {
namespace {

// The feeder thread's busy byte is claimed by the dispatcher before the
// thread exists: a Start right after cannot find the feeder idle.
TEST_F(RunSimTest, FeederBusyIsClaimedBeforeTheFeederThreadRuns) {
  sim->SetReplyDelay(std::chrono::milliseconds(30));
  smt::run::SetRunThreadProc(smt::CurrentMachine(), smt::run::RunThread::Feeder, [](smt::Machine& m) {
    // A thread slow to get going: the byte must be set all the same.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(smt::run::FeedBusy(m).load(), 1);
    smt::run::FeederThreadProc(m);
  });
  ASSERT_TRUE(Start());
  EXPECT_EQ(smt::run::FeedBusy(smt::CurrentMachine()).load(), 1);
  ASSERT_TRUE(WaitEnd());
  smt::run::SetRunThreadProc(smt::CurrentMachine(), smt::run::RunThread::Feeder, smt::run::FeederThreadProc);
  EXPECT_TRUE(Pump([] { return smt::run::FeedBusy(smt::CurrentMachine()) == 0; }));
}

}  // namespace
}  // namespace runtest
