// Placement runs through the program as main() builds it, on the simulated
// board over the serial link: repairs of lost parts, the operator's answers,
// the counters of the run and a Start pressed right after a stop.
#include "RunShellFixture.h"

#include <QScrollBar>
#include <QTableView>
#include <algorithm>

#include "run/RunServices.h"

namespace {

using runtest::Part;
using runtest::TapeFeeder;
using namespace runshell;

const char* kTwoHeads = "[MachineSetConfig]\nMachineSet=2\n[SmtStrategyConfig]\nm_HeaderSelect=1\nm_RunSelect=0\n";
const char* kOneHead = "[MachineSetConfig]\nMachineSet=2\n[SmtStrategyConfig]\nm_HeaderSelect=0\nm_RunSelect=0\n";

// The operator's answers, with a look at the machine at the moment each
// question is shown.
class WatchedMessages : public smt::platform::RecordingMessageService {
 public:
  smt::platform::MsgAnswer Show(const smt::platform::MessageRequest& r) override {
    if (onShow) onShow(r);
    return RecordingMessageService::Show(r);
  }
  std::function<void(const smt::platform::MessageRequest&)> onShow;
};

class RunRepairShellTest : public RunShellTest {
 protected:
  void SetUp() override {
    RunShellTest::SetUp();
    g_NozzleSeats.FillAll();
    smt::platform::MessageService::Install(&watched);
  }
  void TearDown() override {
    RunShellTest::TearDown();
    smt::platform::MessageService::Install(&messages.service);
    g_NozzleSeats.FillAll();
  }
  bool RunEnded() {
    auto& r = view->m_pPartList->Run();
    return !g_bMachineBusy && r.m_bSmtThreadBusy == 0 && r.m_bFeedThreadBusy == 0;
  }
  WatchedMessages watched;
};

}  // namespace

// Every part set down with its vacuum check good counts once in the part
// list's placed counter, the repaired one too; the count shows in the run's
// counter text.
TEST_F(RunRepairShellTest, PlacedCounterCountsEveryPlacedPartTheRepairedOneToo) {
  StartConnected(kTwoHeads);
  PutJob({NoVision(TapeFeeder("W1", 10, -20, "")), NoVision(TapeFeeder("W2", 14, -20, ""))},
         {Part(1, 5, -5, "W1"), Part(2, 8, -5, "W2"), Part(3, 11, -5, "W1")});
  sim->FailPlaceVacuum(1);  // head 1's first part is lost, its repair places
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(Placements(*sim).size(), 4u);
  auto& run = view->m_pPartList->Run();
  EXPECT_EQ(run.m_nPlacedCount.load(), 3);
  EXPECT_NE(run.CountText().find("/3-"), std::string::npos) << run.CountText();
  EXPECT_TRUE(watched.Texts().empty()) << watched.Texts().front();
  EXPECT_TRUE(WaitHomedAgain());
}

// A Start pressed after a stop, while the stopped run's feeder thread still
// waits for its feed reply, tells the operator in the jog panel and starts
// the run as soon as that thread has left: the new run places every row.
TEST_F(RunRepairShellTest, StartRightAfterAStopRunsOnceTheStoppedRunsThreadsHaveLeft) {
  StartConnected(kTwoHeads);
  PutJob({NoVision(TapeFeeder("W1", 10, -20, "")), NoVision(TapeFeeder("W2", 14, -20, ""))},
         {Part(1, 5, -5, "W1"), Part(2, 8, -5, "W2"), Part(3, 11, -5, "W1")});
  auto& run = view->m_pPartList->Run();
  sim->DelayNextReplyTo(0x56, std::chrono::milliseconds(1500));
  view->m_pPartList->OnStart();
  ASSERT_TRUE(Pump([&] { return !Commands(0x56).empty(); }, std::chrono::seconds(5)));
  view->m_pPartList->OnStop();
  ASSERT_TRUE(Pump([] { return !g_bMachineBusy.load(); }, std::chrono::seconds(5)));
  ASSERT_NE(run.m_bFeedThreadBusy.load(), 0) << "the feeder thread still waits for its reply";
  EXPECT_TRUE(Placements(*sim).empty());

  view->m_pPartList->OnStart();
  EXPECT_TRUE(run.StartWaiting());
  // The run thread may still be in its end step, the feeder thread waits for its reply.
  const std::string info = view->m_pManualControl->InfoText();
  EXPECT_TRUE(info == smt::job::kSmtThreadBusy || info == smt::job::kFeedThreadBusy) << info;
  ASSERT_TRUE(Pump([] { return g_bMachineBusy.load(); }, std::chrono::seconds(5))) << "the run starts by itself";
  EXPECT_FALSE(run.StartWaiting());
  ASSERT_TRUE(Pump([&] { return RunEnded(); }, std::chrono::seconds(20)));
  EXPECT_EQ(Placements(*sim).size(), 3u);
  EXPECT_TRUE(watched.Texts().empty()) << watched.Texts().front();
  EXPECT_TRUE(WaitHomedAgain());
}

// Stop while such a Start waits: nothing starts.
TEST_F(RunRepairShellTest, StopWithdrawsAStartThatWaitsForTheStoppedRunsThreads) {
  StartConnected(kTwoHeads);
  PutJob({NoVision(TapeFeeder("W1", 10, -20, "")), NoVision(TapeFeeder("W2", 14, -20, ""))},
         {Part(1, 5, -5, "W1"), Part(2, 8, -5, "W2")});
  auto& run = view->m_pPartList->Run();
  sim->DelayNextReplyTo(0x56, std::chrono::milliseconds(800));
  view->m_pPartList->OnStart();
  ASSERT_TRUE(Pump([&] { return !Commands(0x56).empty(); }, std::chrono::seconds(5)));
  view->m_pPartList->OnStop();
  ASSERT_TRUE(Pump([] { return !g_bMachineBusy.load(); }, std::chrono::seconds(5)));
  ASSERT_NE(run.m_bFeedThreadBusy.load(), 0);
  view->m_pPartList->OnStart();
  ASSERT_TRUE(run.StartWaiting());
  view->m_pPartList->OnStop();
  EXPECT_FALSE(run.StartWaiting());
  ASSERT_TRUE(Pump([&] { return RunEnded(); }, std::chrono::seconds(5)));
  Pump([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_FALSE(g_bMachineBusy.load());
  EXPECT_TRUE(Placements(*sim).empty());
}
