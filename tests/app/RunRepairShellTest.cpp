// Placement runs through the program as main() builds it, on the simulated
// board over the serial link: repairs of lost parts, the operator's answers,
// the counters of the run and a Start pressed right after a stop.
#include "RunShellFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <algorithm>

#include "link/CMachineLink.h"
#include "link/LinkRuntime.h"
#include "run/CDialogSMTStrategy.h"
#include "vision/CDialogCameraList.h"
#include "run/RunServices.h"
#include "stations/CDialogSetCover.h"

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
    smt::CurrentMachine().Part<smt::library::NozzleState>().seats.FillAll();
    smt::platform::MessageService::Install(&watched);
  }
  void TearDown() override {
    RunShellTest::TearDown();
    smt::platform::MessageService::Install(&messages.service);
    smt::CurrentMachine().Part<smt::library::NozzleState>().seats.FillAll();
  }
  bool RunEnded() {
    auto& r = view->m_pPartList->Run();
    return !smt::CurrentMachine().machineBusy && r.m_bSmtThreadBusy == 0 && r.m_bFeedThreadBusy == 0;
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
  ASSERT_TRUE(Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(5)));
  ASSERT_NE(run.m_bFeedThreadBusy.load(), 0) << "the feeder thread still waits for its reply";
  EXPECT_TRUE(Placements(*sim).empty());

  view->m_pPartList->OnStart();
  EXPECT_TRUE(run.StartWaiting());
  // The run thread may still be in its end step, the feeder thread waits for its reply.
  const std::string info = view->m_pManualControl->InfoText();
  EXPECT_TRUE(info == smt::job::kSmtThreadBusy || info == smt::job::kFeedThreadBusy) << info;
  ASSERT_TRUE(Pump([] { return smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(5))) << "the run starts by itself";
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
  ASSERT_TRUE(Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(5)));
  ASSERT_NE(run.m_bFeedThreadBusy.load(), 0);
  view->m_pPartList->OnStart();
  ASSERT_TRUE(run.StartWaiting());
  view->m_pPartList->OnStop();
  EXPECT_FALSE(run.StartWaiting());
  ASSERT_TRUE(Pump([&] { return RunEnded(); }, std::chrono::seconds(5)));
  Pump([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
  EXPECT_TRUE(Placements(*sim).empty());
}

namespace {
const char* kCoverOn =
    "m_Cover=1\n[SetCoverConfig]\nm_StepPulse=37\nm_CoverTotal=100\nm_CoverOnceTotal=5\nm_BlankTotal=1\n"
    "m_CoverDelay=1\nm_CoverTotalCount=10\nm_CoverCount=0\n";
}  // namespace

// A part placed by its repair takes its pocket on the cover tape like any
// other: three parts, one of them repaired, count three.
TEST_F(RunRepairShellTest, ARepairedPartCountsOnTheCoverTape) {
  StartConnected(std::string(kOneHead) + kCoverOn);
  PutJob({NoVision(TapeFeeder("W1", 10, -20, "")), NoVision(TapeFeeder("W2", 14, -20, ""))},
         {Part(1, 5, -5, "W1"), Part(2, 8, -5, "W2"), Part(3, 11, -5, "W1")});
  sim->FailPlaceVacuum(1);
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(Placements(*sim).size(), 4u);
  EXPECT_EQ(Config("SetCoverConfig", "m_CoverTotalCount"), "13");
  EXPECT_EQ(Config("SetCoverConfig", "m_CoverCount"), "3");
  EXPECT_EQ(sim->Position(14), 3 * 37);
  EXPECT_TRUE(watched.Texts().empty()) << watched.Texts().front();
  EXPECT_TRUE(WaitHomedAgain());
}

// The walk axis of the failing part's bank is at its park point when the
// operator is asked, not afterwards.
TEST_F(RunRepairShellTest, TheWalkAxisIsParkedWhenTheOperatorIsAsked) {
  StartConnected(kTwoHeads);
  PutJob({NoVision(TapeFeeder("W1", 10, -20, "")), NoVision(TapeFeeder("W2", 14, -20, ""))},
         {Part(1, 5, -5, "W1"), Part(2, 8, -5, "W2"), Part(3, 11, -5, "W1")});
  sim->FailPlaceVacuum(3);
  std::vector<int64_t> walkAtQuestion;
  watched.onShow = [&](const smt::platform::MessageRequest&) { walkAtQuestion.push_back(sim->Position(8)); };
  watched.QueueAnswer(smt::platform::MsgAnswer::Yes);
  ASSERT_TRUE(RunToEnd());
  // The west feeders' walk axis stood at their feed coordinate (5 mm).
  EXPECT_EQ(walkAtQuestion, (std::vector<int64_t>{-100}));
  EXPECT_TRUE(WaitHomedAgain());
}

// Cancel is "try again": every later pass feeds the feeder again before it
// picks, so the retry takes a fresh part (the first repair took the part the
// feeder thread had presented for the next row of the same feeder).
TEST_F(RunRepairShellTest, CancelFeedsAgainBeforeEachRetry) {
  StartConnected(kOneHead);
  PutJob({NoVision(TapeFeeder("W1", 10, -20, ""))}, {Part(1, 5, -5, "W1"), Part(2, 8, -5, "W1")});
  sim->FailPlaceVacuum(3);  // the part, its repair and the first retry
  std::vector<size_t> askedAt;
  watched.onShow = [&](const smt::platform::MessageRequest&) { askedAt.push_back(sim->Received().size()); };
  watched.QueueAnswer(smt::platform::MsgAnswer::Cancel);
  watched.QueueAnswer(smt::platform::MsgAnswer::Cancel);
  ASSERT_TRUE(RunToEnd());
  ASSERT_EQ(askedAt.size(), 2u);
  const auto all = sim->Received();
  for (size_t q = 0; q < askedAt.size(); ++q) {
    SCOPED_TRACE("retry " + std::to_string(q + 1));
    const std::vector<smt::sim::ReceivedCommand> after(all.begin() + static_cast<long>(askedAt[q]), all.end());
    const auto seq = Sequence(after, {0x56, 0x67});
    const int feed = IndexOf(seq, {0x56, 1});  // west bank
    const int pick = IndexOf(seq, {0x67, 2});
    ASSERT_GE(feed, 0);
    EXPECT_LT(feed, pick);
    // The fed feeder is the failing part's (W1).
    size_t seen = 0;
    for (const auto& c : after)
      if (c.code == 0x56 && seen++ == 0) {
        EXPECT_EQ(c.payload.at(16), 1);
      }
  }
  // The part, its repair, two retries, then row 2.
  EXPECT_EQ(Placements(*sim).size(), 5u);
  EXPECT_TRUE(WaitHomedAgain());
}

// "0402" tape gives two parts per pocket: the feeder advances every second
// part. A part repaired between two others takes the second half of the
// pocket its neighbour opened, so four parts need two advances.
TEST_F(RunRepairShellTest, The0402PocketCountIsReadAgainSoARepairedPartUsesItsHalfPocket) {
  StartConnected(kTwoHeads);
  auto tape = NoVision(TapeFeeder("W1", 10, -20, ""));
  tape[smt::feeder::kCellFeedMode] = "0402";
  tape[smt::feeder::kCellFeedCount] = "1";
  PutJob({tape}, {Part(1, 5, -5, "W1"), Part(2, 8, -5, "W1"), Part(3, 11, -5, "W1")});
  sim->FailPlaceVacuum(1);
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(Placements(*sim).size(), 4u);
  EXPECT_EQ(Commands(0x56).size(), 2u);
  EXPECT_TRUE(watched.Texts().empty()) << watched.Texts().front();
  EXPECT_TRUE(WaitHomedAgain());
}

namespace {
// One nozzle seat in the library, as its list file holds it.
void WriteNozzleLibrary(const smt::test::TempDir& dir) {
  smt::platform::ListFileContent c;
  c.rows = {"1\t100\t-50\t-1\t100\t-60\t-5\t40\tA"};
  smt::platform::WriteListFile(dir / "config_nozzle.fig", c);
}
// Index in the trail of the first command at or after `from` that `match` accepts.
int Find(const std::vector<smt::sim::AxesAfter>& trail, size_t from,
         const std::function<bool(const smt::sim::AxesAfter&)>& match) {
  for (size_t i = from; i < trail.size(); ++i)
    if (match(trail[i])) return static_cast<int>(i);
  return -1;
}
int64_t At(const smt::sim::AxesAfter& a, int axis) { return a.axes.count(axis) ? a.axes.at(axis) : 0; }
}  // namespace

// "No" with automatic nozzle change: the run ends, but first the nozzles go
// back into the library, the head parks at (1 mm, -1 mm), the walk axes go
// to their park points and the machine is homed.
TEST_F(RunRepairShellTest, NoWithAutomaticNozzleChangeReturnsTheNozzleParksAndHomes) {
  WriteNozzleLibrary(dir);
  StartConnected(std::string(kOneHead) + "m_AutoChangeNozzle=1\nm_19NozzleLibrary=0\nm_ChangeNozzleSelect=0\n");
  auto north = NoVision(TapeFeeder("N1", 30, -40, ""));
  PutJob({NoVision(TapeFeeder("W1", 10, -20, "")), north}, {Part(1, 5, -5, "W1"), Part(2, 8, -5, "N1")});
  sim->FailPlaceVacuum(2);  // the part and its repair
  // Written by the run thread (the question is asked there), read here.
  std::atomic<size_t> askedAt{0};
  watched.onShow = [&](const smt::platform::MessageRequest&) {
    if (askedAt.load() == 0) askedAt.store(sim->AxisTrail().size());
  };
  sim->KeepAxisTrail(true);
  watched.QueueAnswer(smt::platform::MsgAnswer::No);
  view->m_pPartList->OnStart();
  ASSERT_TRUE(Pump([&] { return askedAt != 0; }));
  ASSERT_TRUE(Pump([&] { return RunEnded() && smt::CurrentMachine().resetDone.load(); }));
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[0].load(), 0);
  EXPECT_TRUE(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.HasNozzle(0));
  const auto trail = sim->AxisTrail();
  // The head goes down into the seat and up again, leaving the nozzle.
  const int seatDown = Find(trail, askedAt, [](const auto& a) { return a.code == 0x61 && At(a, 2) != 0; });
  const int seatUp = Find(trail, static_cast<size_t>(std::max(seatDown, 0)) + 1,
                          [](const auto& a) { return a.code == 0x61 && At(a, 2) == 0; });
  const int park = Find(trail, askedAt, [](const auto& a) { return a.code == 0x64 && At(a, 0) == 100 && At(a, 1) == -100; });
  const int north9 = Find(trail, askedAt, [](const auto& a) { return a.code == 0x61 && At(a, 9) == 100; });
  const int home = Find(trail, askedAt, [](const auto& a) { return a.code == 0x02; });
  ASSERT_GE(seatDown, 0);
  EXPECT_LT(seatDown, seatUp);
  EXPECT_LT(seatUp, park);
  EXPECT_LT(park, north9);
  EXPECT_LT(north9, home);
  EXPECT_EQ(At(trail[static_cast<size_t>(north9)], 8), -100);
  // Row 2 was never placed: the run ended, with the question its only message.
  EXPECT_EQ(Placements(*sim).size(), 2u);
  EXPECT_EQ(watched.Texts(), (std::vector<std::string>{"真空失败，是否忽略 ?\r\n是-忽略继续    否-退出    取消-补料"}));
}

// With the clamp library the nozzle goes back at the run's end with the
// clamp open, the head down, the clamp closed on the nozzle, and only then
// the head up.
TEST_F(RunRepairShellTest, ClampLibraryClosesOnTheNozzleBeforeTheHeadLiftsAtTheRunsEnd) {
  WriteNozzleLibrary(dir);
  StartConnected(std::string(kOneHead) + "m_AutoChangeNozzle=1\nm_19NozzleLibrary=1\n");
  PutJob({NoVision(TapeFeeder("W1", 10, -20, ""))}, {Part(1, 5, -5, "W1")});
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[0].load(), 0);
  EXPECT_TRUE(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.HasNozzle(0));
  // After the place stroke: (code, first byte, second byte) of outputs and Z moves.
  const auto all = sim->Received();
  size_t from = 0;
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i].code == 0x68) from = i;
  std::vector<std::tuple<int, int, int>> got;
  for (size_t i = from; i < all.size(); ++i) {
    const auto& c = all[i];
    if ((c.code == 0x03 && c.payload.at(0) == 7) || (c.code == 0x61 && c.payload.at(0) == 2))
      got.emplace_back(c.code, c.payload.at(0), c.code == 0x03 ? c.payload.at(1) : 0);
  }
  const std::vector<std::tuple<int, int, int>> want{{0x03, 7, 1}, {0x61, 2, 0}, {0x03, 7, 0}, {0x61, 2, 0}};
  ASSERT_GE(got.size(), want.size());
  const std::vector<std::tuple<int, int, int>> firstFour(got.begin(), got.begin() + 4);
  EXPECT_EQ(firstFour, want);
  EXPECT_TRUE(WaitHomedAgain());
}

// The placement list scrolls with the run: the rows being placed come into
// view, down to the last ones.
TEST_F(RunRepairShellTest, ThePlacementListScrollsWithTheRun) {
  StartConnected(kTwoHeads);
  app->frame()->show();
  std::vector<smt::run::PlacementRow> rows;
  for (int i = 0; i < 40; ++i) rows.push_back(Part(i + 1, 5 + i, -5, i % 2 ? "W2" : "W1"));
  PutJob({NoVision(TapeFeeder("W1", 10, -20, "")), NoVision(TapeFeeder("W2", 14, -20, ""))}, rows);
  QTableView* list = view->m_pPartList->PlacementView();
  Pump([] { return false; }, std::chrono::milliseconds(100));
  QScrollBar* bar = list->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0) << "the list shows only some of its rows";
  ASSERT_EQ(bar->value(), 0);
  std::vector<int> values;
  QObject::connect(bar, &QScrollBar::valueChanged, [&](int v) {
    if (smt::CurrentMachine().machineBusy) values.push_back(v);
  });
  ASSERT_TRUE(RunToEnd(std::chrono::seconds(60)));
  ASSERT_GE(values.size(), 2u) << "the list moved with the run";
  EXPECT_LT(values[0], values[1]) << "downwards";
  EXPECT_EQ(*std::max_element(values.begin(), values.end()), bar->maximum()) << "down to the last rows";
  EXPECT_EQ(Placements(*sim).size(), 40u);
}

// The strategy page's cover-tape "设置" opens the cover-tape page.
TEST_F(RunRepairShellTest, TheStrategyPagesCoverButtonOpensTheCoverTapePage) {
  WriteMachine(std::string(kOneHead) + "m_Cover=1\n");
  CMainFrame& f = Start();
  view = f.view();
  ASSERT_NE(view, nullptr);
  bool strategyShown = false, coverShown = false;
  QTimer::singleShot(0, [&] {
    auto* page = qobject_cast<CDialogSMTStrategy*>(QApplication::activeModalWidget());
    if (!page) return;
    strategyShown = true;
    QTimer::singleShot(0, [&] {
      auto* cover = qobject_cast<CDialogSetCover*>(QApplication::activeModalWidget());
      coverShown = cover != nullptr;
      if (cover) cover->reject();
    });
    ASSERT_TRUE(page->Button(1459)->isEnabled());
    page->Button(1459)->click();
    page->reject();
  });
  view->m_pPartList->OnStrategy();
  EXPECT_TRUE(strategyShown);
  EXPECT_TRUE(coverShown);
  EXPECT_TRUE(watched.Texts().empty()) << watched.Texts().front();
}

// The labeling machine's tray feeder moves its tape before the pick: the
// feed command carries the tray's slack and tension in tape steps and the
// tape speeds, with no walk, no time and no count.
TEST_F(RunRepairShellTest, LabelingMachinesTrayFeederMovesItsTapeBeforeThePick) {
  StartConnected("[MachineSetConfig]\nMachineSet=10\n[SmtStrategyConfig]\nm_HeaderSelect=0\nm_RunSelect=0\n"
                 "[LabelingSetConfig]\nm_GlassSheets=1\n"
                 "[RunFeedConfig]\nm_LabelTape_Pulse=20\nm_LabelTapeStart=3\nm_LabelTapeNormal=9\n");
  auto tray = NoVision(TapeFeeder("S1", 10, -20, ""));
  tray[smt::feeder::kCellFeedMode] = "托盘";
  tray[smt::feeder::kCellSlack] = "2";
  tray[smt::feeder::kCellTension] = "3";
  PutJob({tray}, {Part(1, 5, -5, "S1")});
  ASSERT_TRUE(RunToEnd());
  const auto feeds = Commands(0x56);
  ASSERT_EQ(feeds.size(), 1u);
  const auto& p = feeds[0].payload;
  ASSERT_EQ(p.size(), 17u);
  EXPECT_EQ(p[0], 4);                                  // the south bank's tray
  EXPECT_EQ(std::vector<uint8_t>(p.begin() + 1, p.begin() + 7), (std::vector<uint8_t>(6, 0)));  // no walk
  EXPECT_EQ((p[7] << 8) | p[8], 40);                   // 2 mm slack
  EXPECT_EQ((p[9] << 8) | p[10], 60);                  // 3 mm tension
  EXPECT_EQ(p[11], 3);
  EXPECT_EQ(p[12], 9);
  EXPECT_EQ((p[13] << 8) | p[14], 0);                  // no feed time
  EXPECT_EQ(p[15], 0);                                 // no count
  EXPECT_EQ(p[16], 1);                                 // feeder 1
  const auto seq = Sequence(*sim, {0x56, 0x67});
  EXPECT_LT(IndexOf(seq, {0x56, 4}), IndexOf(seq, {0x67, 2}));
  EXPECT_EQ(Placements(*sim).size(), 1u);
}

// The insertion machine's pick test of the feeder list picks at the feeder
// and brings the part over vision camera 1 (its position in the camera
// list), not to the origin.
namespace {
class NetworkRunShellTest : public RunRepairShellTest {
 protected:
  NetworkRunShellTest() { withNetworkLink = true; }
};
}  // namespace

TEST_F(NetworkRunShellTest, InsertionMachinesPickTestGoesToTheFeederAndOnToVisionCamera1) {
  // The eight-head boards work on the network link: the program connects,
  // then its link is the board's network link, which homes the machine.
  WriteMachine("[MachineSetConfig]\nMachineSet=8\n[SmtStrategyConfig]\nm_HeaderSelect=0\nm_RunSelect=0\n");
  view = Start().view();
  ASSERT_NE(view, nullptr);
  std::atomic<bool> up{false}, done{false};  // written by the connecting thread
  std::thread t([&] {
    up = view->m_pManualControl->ConnectNow();
    done = true;
  });
  Pump([&] { return done.load(); }, std::chrono::seconds(20));
  t.join();
  ASSERT_TRUE(up.load());
  smt::link::CMachineLink udp{smt::CurrentMachine()};
  udp.SetLocalPort(0);
  ASSERT_TRUE(udp.Open("127.0.0.1", static_cast<uint32_t>(sim->UdpPort())));
  udp.StartReplyLoop();
  smt::link::RuntimeOf(smt::CurrentMachine()).udp = &udp;
  smt::link::RuntimeOf(smt::CurrentMachine()).commModel = 1;
  sim->SetHeadMask(smt::link::RuntimeOf(smt::CurrentMachine()).headMask.load());
  const bool homed = smt::link::MachineHoming::Of(smt::CurrentMachine()).StartHomeThread(0, 0) &&
                     Pump([] { return smt::CurrentMachine().resetDone.load() && !smt::CurrentMachine().machineBusy.load(); });
  view->m_pCameraList->m_Camera_first.CameraPulse_X = 6000;
  view->m_pCameraList->m_Camera_first.CameraPulse_Y = -4000;
  PutJob({NoVision(TapeFeeder("W1", 10, -20, "")), NoVision(TapeFeeder("W2", 14, -20, ""))}, {Part(1, 5, -5, "W1")});
  view->m_pFeedList->m_nSelectedRow = 1;
  sim->ClearReceived();
  const bool started = homed && view->m_pFeedList->StartTest(13);  // head 1, camera 1
  const bool idle = started && Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10));
  smt::link::RuntimeOf(smt::CurrentMachine()).udp = nullptr;
  smt::link::RuntimeOf(smt::CurrentMachine()).commModel = 0;
  udp.Close();
  ASSERT_TRUE(homed);
  ASSERT_TRUE(started);
  ASSERT_TRUE(idle);
  const auto pick = sim->LastReceived(0x74);
  ASSERT_TRUE(pick.has_value());
  EXPECT_EQ(pick->payload.at(0), 2);     // feeder W2
  EXPECT_EQ(pick->payload.at(80), 0x20);  // head 1
  EXPECT_EQ(sim->Position(0), 6000);
  EXPECT_EQ(sim->Position(1), -4000);
  EXPECT_TRUE(watched.Texts().empty()) << watched.Texts().front();
}
