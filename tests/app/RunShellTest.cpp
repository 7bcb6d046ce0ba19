// Placement runs through the program as main() builds it, on the simulated
// board over the serial link: the board's record of strokes, moves and
// outputs is compared with the job.
#include "RunShellFixture.h"

#include <QProgressBar>
#include <QTableView>
#include <algorithm>
#include <cstring>

#include "job/CurrentBoard.h"
#include "platform/ProfileFile.h"
#include "run/RunDispatch.h"
#include "run/RunServices.h"

namespace {

using runtest::Part;
using runtest::TapeFeeder;
using namespace runshell;

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
  // One sealing stroke after the second pocket: output 8 on, then off
  // (the run's end step, after state 4, switches the outputs off again).
  std::vector<std::pair<int, int>> seal;
  bool running = false;
  for (const auto& c : sim->Received()) {
    if (c.code == 0x60 && !c.payload.empty()) {
      if (c.payload[0] == 1) running = true;
      if (c.payload[0] == 4 && running) break;
    }
    if (running && c.code == 0x03 && c.payload.size() >= 2 && c.payload[0] == 8)
      seal.push_back({c.payload[0], c.payload[1]});
  }
  EXPECT_EQ(seal, (std::vector<std::pair<int, int>>{{8, 1}, {8, 0}}));
  EXPECT_EQ(sim->LastState(), 4);
  EXPECT_TRUE(WaitHomedAgain());
  EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().front();
}

namespace {
const char* kTwoHeads = "[MachineSetConfig]\nMachineSet=2\n[SmtStrategyConfig]\nm_HeaderSelect=1\nm_RunSelect=0\n";
}  // namespace

// At the start the placement list and the camera panel are disabled and the
// camera zoom goes back to 1; the progress bar follows the rows; all comes
// back at the end.
TEST_F(RunShellTest, RunStartDisablesTheListAndCameraPanelAndTheProgressFollowsTheRows) {
  StartConnected(kTwoHeads);
  PutJob({NoVision(TapeFeeder("W1", 10, -20, "")), NoVision(TapeFeeder("W2", 14, -20, ""))},
         {Part(1, 5, -5, "W1"), Part(2, 8, -5, "W2"), Part(3, 11, -5, "W1")});
  view->m_pSetView->m_dDisplayZoom = 2.5;
  QProgressBar* bar = view->m_pPartList->RunProgressBar();
  int highest = 0, range = 0;
  QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) {
    highest = std::max(highest, v);
    range = bar->maximum();
  });
  sim->SetReplyDelay(std::chrono::milliseconds(5));
  view->m_pPartList->OnStart();
  ASSERT_TRUE(Pump([&] { return !view->m_pPartList->PlacementView()->isEnabled(); }, std::chrono::seconds(5)));
  EXPECT_FALSE(view->m_pSetView->isEnabled());
  EXPECT_EQ(view->m_pSetView->m_dDisplayZoom, 1.0);
  ASSERT_TRUE(Pump([&] {
    auto& r = view->m_pPartList->Run();
    return !smt::CurrentMachine().machineBusy && r.m_bSmtThreadBusy == 0 && r.m_bFeedThreadBusy == 0;
  }));
  ASSERT_TRUE(WaitHomedAgain());
  Pump([&] { return view->m_pPartList->PlacementView()->isEnabled() && view->m_pSetView->isEnabled(); });
  EXPECT_TRUE(view->m_pPartList->PlacementView()->isEnabled());
  EXPECT_TRUE(view->m_pSetView->isEnabled());
  // The bar follows the rows placed (not head 1's row of the cycle) and
  // stays full at the end of a run that placed every row.
  EXPECT_EQ(range, 3);
  EXPECT_EQ(highest, 3);
  Pump([&] { return bar->value() == 3; }, std::chrono::seconds(2));
  EXPECT_EQ(bar->value(), 3);
  EXPECT_EQ(Placements(*sim).size(), 3u);
}

// A mark measurement made before the run stands for the first board: the run
// does not align again, places the board and clears the flag.
TEST_F(RunShellTest, MarksMeasuredBeforeTheRunAreNotMeasuredAgain) {
  StartConnected(kTwoHeads);
  PutJob({NoVision(TapeFeeder("W1", 10, -20, "")), NoVision(TapeFeeder("W2", 14, -20, ""))},
         {Part(1, 5, -5, "W1"), Part(2, 8, -5, "W2"), Part(3, 11, -5, "W1")});
  smt::CurrentMachine().board.useMarks = true;
  smt::CurrentMachine().board.marksPerPanel = false;
  view->m_pPartList->CoordTests().marks.m_bMarkMeasured = 1;
  const bool ran = RunToEnd();
  smt::CurrentMachine().board.useMarks = false;
  ASSERT_TRUE(ran);
  EXPECT_EQ(Placements(*sim).size(), 3u);
  EXPECT_EQ(view->m_pPartList->CoordTests().marks.m_bMarkMeasured, 0);
  EXPECT_TRUE(WaitHomedAgain());
}

// Head mode 2: head 2 carries the dispensing valve and places with the
// dispensing head's offset, not with its nozzle offset.
TEST_F(RunShellTest, HeadModeTwoPlacesHeadTwoWithTheDispensingOffset) {
  StartConnected("[MachineSetConfig]\nMachineSet=2\n[SmtStrategyConfig]\nm_HeaderSelect=2\nm_RunSelect=0\n"
                 "[SetBasicConfig]\nm_X_Nozzle2ToNozzle1=30\nm_X_DropsGlueToNozzle1=7\n");
  auto w2 = NoVision(TapeFeeder("W2", 54, -20, ""));
  w2[smt::feeder::kCellHead] = "2";
  PutJob({NoVision(TapeFeeder("W1", 10, -20, "")), w2}, {Part(1, 5, -5, "W1"), Part(2, 8, -5, "W2")});
  ASSERT_TRUE(RunToEnd());
  const auto placed = Placements(*sim);
  ASSERT_EQ(placed.size(), 2u);
  EXPECT_EQ(placed[0].x, 500);
  EXPECT_EQ(placed[1].x, 800 - 700);
  EXPECT_TRUE(WaitHomedAgain());
}

// A dip component is dipped at the station between the pick and the place.
TEST_F(RunShellTest, DipComponentIsDippedAtTheStationBeforeItIsPlaced) {
  StartConnected("[MachineSetConfig]\nMachineSet=0\n[SmtStrategyConfig]\nm_HeaderSelect=0\nm_RunSelect=0\n"
                 "[DippingStationConfig]\nm_DippingStation=1\nm_DippingStation_X=40\nm_DippingStation_Y=-30\n"
                 "m_DippingStation_Z=-2\nm_DippingStation_RunTime=1\nm_DippingStation_StopDelay=1\n"
                 "m_DippingStation_Delay=1\n");
  auto dip = NoVision(TapeFeeder("W1", 10, -20, ""));
  dip[smt::feeder::kCellFeedMode] = "CL_浸渍站";
  PutJob({dip}, {Part(1, 5, -5, "W1")});
  ASSERT_TRUE(RunToEnd());
  const auto seq = Sequence(*sim, {0x03, 0x67, 0x61, 0x68});
  const int on = IndexOf(seq, {0x03, 10});
  const int pick = IndexOf(seq, {0x67, 2});
  const int off = IndexOf(seq, {0x03, 10}, static_cast<size_t>(on + 1));
  const int dipDown = IndexOf(seq, {0x61, 2}, static_cast<size_t>(std::max(off, 0)));
  const int place = IndexOf(seq, {0x68, 2});
  ASSERT_GE(on, 0);
  EXPECT_LT(on, pick);
  EXPECT_LT(pick, off);
  EXPECT_LT(off, dipDown);
  EXPECT_LT(dipDown, place);
  ASSERT_EQ(Placements(*sim).size(), 1u);
  EXPECT_TRUE(WaitHomedAgain());
}

// Drag-pin feeding: head 2 down on the tape, the bank's pin in, the drag,
// back, up, the pin out, all before the pick stroke; head 2's extra length
// comes off the tape height.
TEST_F(RunShellTest, DragPinFeederEngagesThePinBeforeTheDragAndReleasesItAfter) {
  StartConnected("[MachineSetConfig]\nMachineSet=0\n[SmtStrategyConfig]\nm_HeaderSelect=0\nm_RunSelect=0\n"
                 "[SetBasicConfig]\nm_Nozzle2MoreNozzle1=1.5\nm_FeedOverBack=0.5\n");
  auto drag = NoVision(TapeFeeder("W1", 10, -20, ""));
  drag[smt::feeder::kCellFeedMode] = "拖针";
  drag[smt::feeder::kCellSlack] = "30";
  drag[smt::feeder::kCellTension] = "-25";
  drag[smt::feeder::kCellFeedCoord] = "-4";
  PutJob({drag}, {Part(1, 5, -5, "W1")});
  ASSERT_TRUE(RunToEnd());
  const auto seq = Sequence(*sim, {0x61, 0x64, 0x67});
  const std::vector<std::pair<int, int>> want{{0x61, 2}, {0x61, 11}, {0x61, 2}, {0x61, 11}, {0x67, 2}};
  std::vector<std::pair<int, int>> got;
  for (const auto& e : seq)
    if (e.first != 0x64 && (e.first == 0x67 || e.second == 2 || e.second == 11)) got.push_back(e);
  ASSERT_GE(got.size(), want.size());
  const std::vector<std::pair<int, int>> firstFive(got.begin(), got.begin() + 5);
  EXPECT_EQ(firstFive, want);
  // The pin went in and came out by the same stroke (words 4 and 4).
  EXPECT_EQ(sim->Position(11), 0);
  ASSERT_EQ(Placements(*sim).size(), 1u);
  EXPECT_TRUE(WaitHomedAgain());
}

// A part lost at the place stroke: the walk axis parks, the operator is asked
// with the part list's own vacuum question; "Yes" skips the part and the run
// goes on with the others.
TEST_F(RunShellTest, LostPartAsksTheVacuumQuestionAfterParkingAndYesSkipsIt) {
  StartConnected(kTwoHeads);
  PutJob({NoVision(TapeFeeder("W1", 10, -20, "")), NoVision(TapeFeeder("W2", 14, -20, ""))},
         {Part(1, 5, -5, "W1"), Part(2, 8, -5, "W2"), Part(3, 11, -5, "W1")});
  sim->FailPlaceVacuum(3);  // both places of the first cycle and head 1's repair
  messages.service.QueueAnswer(smt::platform::MsgAnswer::Yes);
  ASSERT_TRUE(RunToEnd());
  const auto texts = messages.service.Texts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0], "真空失败，是否忽略 ?\r\n是-忽略继续    否-退出    取消-补料");
  // Five place strokes: the two lost ones, head 1's failed repair (skipped
  // by the answer), head 2's good repair, then row 3.
  EXPECT_EQ(Placements(*sim).size(), 5u);
  // The west walk axis was parked at -100 before the question.
  const auto seq = Sequence(*sim, {0x61});
  EXPECT_NE(IndexOf(seq, {0x61, 8}), -1);
  EXPECT_TRUE(WaitHomedAgain());
}

// A run mode whose run the machine does not have says so with the part
// list's own text.
TEST_F(RunShellTest, ARunModeWithoutItsRunSaysSoWithThePartListText) {
  StartConnected("[MachineSetConfig]\nMachineSet=2\n[SmtStrategyConfig]\nm_HeaderSelect=1\nm_RunSelect=3\n");
  PutJob({NoVision(TapeFeeder("W1", 10, -20, ""))}, {Part(1, 5, -5, "W1")});
  smt::run::SetRunThreadProc(smt::CurrentMachine(), smt::run::RunThread::StepRun, nullptr);
  view->m_pPartList->OnStart();
  Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(2));
  smt::run::SetRunThreadProc(smt::CurrentMachine(), smt::run::RunThread::StepRun, smt::run::StepRunThreadProc);
  EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{"暂无此功能 !"}));
  EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
  EXPECT_TRUE(Placements(*sim).empty());
}
