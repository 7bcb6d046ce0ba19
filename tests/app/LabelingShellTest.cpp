// The labeling machine's settings page in the real shell on the simulated
// board: the jogs, resets, speed step, Mark camera, the recognition loop
// over the sheet with the Mark camera's frames, and the vacuum valve. The
// sheet moves need the network link: the board is reached over UDP once
// the shell is connected.
#include <gtest/gtest.h>

#include <QDoubleSpinBox>
#include <QPushButton>

#include "LampShellFixture.h"
#include "link/CMachineLink.h"
#include "link/LinkGlobals.h"
#include "link/MachineCommands.h"
#include "stations/CDialogLabelingSet.h"
#include "stations/LabelingMachine.h"

namespace lamptest {
namespace {

class LabelingShell : public LampShell {
 protected:
  void SetUp() override {
    LampShell::SetUp();
    WriteConfig(
        "[MachineSetConfig]\nMachineSet=10\n"
        "[SetBasicConfig]\nm_CommModel=0\nm_X_Limit=500\nm_Y_Limit=-400\nm_Z_Limit=-50\n"
        "m_NorthFeed_Limit=300\nm_WestFeed_Limit=-300\n"
        "[SetPulseConfig]\nm_X_Pulse=100\nm_Y_Pulse=100\nm_Z_Pulse=100\nm_NorthWalk_Pulse=100\nm_WestWalk_Pulse=100\n"
        "[ManualControlConfig]\nm_ComNumber=1\nm_XY_RunSteps=100\nm_Z_RunSteps=50\nm_A_RunSteps=10\n"
        "m_Feed_RunSteps=100\nm_S_RunSteps=100\n"
        "[SerialPortConfig]\nCOM1=" + sim->SerialPath() + "\n"
        "[LabelingSetConfig]\nm_StartX=10\nm_StartY=-10\nm_EndX=30\nm_EndY=-30\nm_DistanceX=10\nm_DistanceY=10\n"
        "m_ComponentLenght=2\nm_ComponentWidth=1\nm_AllowableError=20\nm_VisualBoxSize=6\nm_Threshold=128\n"
        "m_Brightness=100\nm_CheckTimes=1\nm_GlassSheets=0\nm_ThimbleX=50\nm_ThimbleY=-40\n"
        "m_NozzlePickHeight=-2\nm_ThimblePickHeight=1.5\nm_LiftAwayDistance=0.5\n");
    StartConnected();
    udp.SetLocalPort(0);
    ASSERT_TRUE(udp.Open("127.0.0.1", static_cast<uint32_t>(sim->UdpPort())));
    udp.StartReplyLoop();
    smt::link::RuntimeOf(smt::CurrentMachine()).udp = &udp;
    smt::link::RuntimeOf(smt::CurrentMachine()).commModel = 1;
    // The board's heads are the ones the program expects of this machine.
    sim->SetHeadMask(smt::link::RuntimeOf(smt::CurrentMachine()).headMask.load());
    smt::link::SendCmd60SetState(smt::CurrentMachine(), 0, 0);
    auto& job = view->m_pPartList->Job();
    job.pcbs.Add("Sheet");
    job.pcbs.Find("Sheet")->m_dVisualZoom = 20;
    job.shownPcbName = "Sheet";
    // The Mark camera sees one piece, dark on the light sheet, 0.5 mm right
    // and 0.3 mm below its axis.
    smt::vision::SetMarkCamera(smt::CurrentMachine(), [] { return true; },
                               [](cv::Mat& frame) {
                                 smt::vision::SimulatedScene scene(640, 480, 20.0);
                                 scene.SetBackground(255);
                                 scene.AddRect({0.5, 0.3}, {2.0, 1.0}, 0.0, 0);
                                 frame = scene.Render();
                                 return true;
                               });
    page = std::make_unique<CDialogLabelingSet>(smt::CurrentMachine(), dir.str(), view);
    Pump([&] { return sim->LastReceived(0x60).has_value(); });
  }
  void TearDown() override {
    smt::stations::LabelingMachine::Of(smt::CurrentMachine()).loop = false;
    Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10));
    page.reset();
    smt::link::RuntimeOf(smt::CurrentMachine()).udp = nullptr;
    LampShell::TearDown();
    udp.Close();
  }
  void Click(int id) {
    QPushButton* b = page->Button(id);
    ASSERT_NE(b, nullptr) << id;
    b->pressed();
    b->released();
    Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10));
  }
  std::vector<smt::sim::ReceivedCommand> Sent(uint16_t code) {
    std::vector<smt::sim::ReceivedCommand> v;
    for (const auto& c : sim->Received())
      if (c.code == code) v.push_back(c);
    return v;
  }
  int Count(uint16_t code) {
    return static_cast<int>(Sent(code).size());
  }
  static int32_t LE32(const std::vector<uint8_t>& p, size_t at) {
    return static_cast<int32_t>(p[at] | (p[at + 1] << 8) | (p[at + 2] << 16) | (uint32_t(p[at + 3]) << 24));
  }
  smt::link::CMachineLink udp{smt::CurrentMachine()};
  std::unique_ptr<CDialogLabelingSet> page;
};

struct JogCase {
  int id, axis, sign;  // sign 0: moved either way
};

TEST_F(LabelingShell, SheetZAndTapeJogsMoveTheirAxisWhileHeld) {
  for (const JogCase& c : {JogCase{1002, 9, +1}, JogCase{1592, 9, -1}, JogCase{1593, 8, -1}, JogCase{1004, 8, +1},
                           JogCase{1006, 3, 0}, JogCase{1007, 3, 0}, JogCase{1054, 14, +1}, JogCase{1053, 14, -1}}) {
    SCOPED_TRACE(c.id);
    const int64_t before = sim->Position(c.axis);
    page->Button(c.id)->pressed();
    EXPECT_TRUE(Pump([&] {
      const int64_t d = sim->Position(c.axis) - before;
      return c.sign == 0 ? d != 0 : d * c.sign > 0;
    }, std::chrono::seconds(5))) << Diagnose();
    page->Button(c.id)->released();
    EXPECT_TRUE(Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(5)));
  }
}

TEST_F(LabelingShell, ResetButtonsHomeAndSetStepsTheSpeed) {
  for (int id : {1005, 1013, 1014, 1015}) {
    SCOPED_TRACE(id);
    sim->ClearReceived();
    Click(id);
    EXPECT_TRUE(Pump([&] { return smt::CurrentMachine().resetDone.load() && !smt::CurrentMachine().machineBusy.load() && !sim->Received().empty(); },
                     std::chrono::seconds(10)));  // the home command went to the board
  }
  const int gear = smt::link::RuntimeOf(smt::CurrentMachine()).speedGear.load();
  Click(1255);
  EXPECT_NE(smt::link::RuntimeOf(smt::CurrentMachine()).speedGear.load(), gear);
}

TEST_F(LabelingShell, MarkCameraTaskSwitchesTheLiveViewToTheMarkCamera) {
  std::atomic<int> marks{0};
  auto original = view->switchLiveCamera;
  view->switchLiveCamera = [&marks, original](smt::app::GoToCamera c) {
    if (c == smt::app::GoToCamera::Mark) ++marks;
    if (original) original(c);
  };
  Click(1041);
  EXPECT_TRUE(Pump([&] { return marks.load() == 1; }, std::chrono::seconds(5)));
  view->switchLiveCamera = original;
}

TEST_F(LabelingShell, CurrentRecognitionCentresThePieceTheMarkCameraSees) {
  page->OnTask(13);
  ASSERT_TRUE(Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10)));
  const auto moves = Sent(0x55);
  ASSERT_EQ(moves.size(), 1u) << Diagnose();
  // 0.5 mm right on the picture: the sheet goes 0.5 mm back in X; 0.3 mm
  // below: 0.3 mm on in Y (the board's 20 pixels per mm, not a default).
  EXPECT_NEAR(LE32(moves[0].payload, 2), -50, 2);
  EXPECT_NEAR(LE32(moves[0].payload, 6), 30, 2);
  EXPECT_EQ(smt::CurrentMachine().camera.channelVisionMode.load(), 3);
}

TEST_F(LabelingShell, RecognitionLoopVisitsEveryCellAndCentresEachPiece) {
  Click(1039);
  ASSERT_TRUE(Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(20)));
  // Two columns by two rows: a move to each cell and one centring move each.
  std::string moves;
  for (const auto& m : Sent(0x55))
    moves += " (" + std::to_string(LE32(m.payload, 2)) + "," + std::to_string(LE32(m.payload, 6)) + ")";
  EXPECT_EQ(Sent(0x55).size(), 8u) << moves << "\n" << Diagnose();
  const auto s = smt::stations::LabelingMachine::Of(smt::CurrentMachine()).Settings();
  EXPECT_EQ(s.m_SerialX, 0);
  EXPECT_EQ(s.m_SerialY, 0);
}

TEST_F(LabelingShell, VacuumValveTogglesTheSelectedHeadsOutput) {
  Click(1045);
  EXPECT_TRUE(Pump([&] { return sim->Output(1); }, std::chrono::seconds(3)));
  Click(1045);
  EXPECT_TRUE(Pump([&] { return !sim->Output(1); }, std::chrono::seconds(3)));
  page->ToggleHead();
  Click(1045);
  EXPECT_TRUE(Pump([&] { return sim->Output(2); }, std::chrono::seconds(3)));
}

TEST_F(LabelingShell, TeachButtonsTakeTheSheetAndCameraPositions) {
  smt::CurrentMachine().motion.curAxis9 = 1234;
  smt::CurrentMachine().motion.curAxis8 = -567;
  smt::CurrentMachine().curX = 3000;
  smt::CurrentMachine().curY = -2000;
  page->OnTeach("m_StartX");
  page->OnTeach("m_EndY");
  page->OnTeach("m_ThimbleX");
  page->OnTeach("m_ThimbleY");
  EXPECT_NEAR(page->m_fields["m_StartX"]->value(), 12.34, 1e-6);
  EXPECT_NEAR(page->m_fields["m_EndY"]->value(), -5.67, 1e-6);
  EXPECT_NEAR(page->m_fields["m_ThimbleX"]->value(), 30.0, 1e-6);  // no camera offset set
  EXPECT_NEAR(page->m_fields["m_ThimbleY"]->value(), -20.0, 1e-6);
  smt::CurrentMachine().motion.curAxis9 = smt::CurrentMachine().motion.curAxis8 = 0;
  smt::CurrentMachine().curX = smt::CurrentMachine().curY = 0;
}

struct PointCase {
  int which;
  int32_t x, y;  // the sheet's target, pulses
};

TEST_F(LabelingShell, TestPointsMoveTheSheetAndRefuseAPointPastTheFeedLimit) {
  for (const PointCase& c : {PointCase{1, 1000, -1000}, PointCase{2, 3000, -1000}, PointCase{3, 1000, -3000},
                             PointCase{4, 3000, -3000}, PointCase{0, 1000, -1000}}) {
    SCOPED_TRACE(c.which);
    page->OnTestPoint(c.which);
    ASSERT_TRUE(Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(5)));
    EXPECT_EQ(sim->Position(9), c.x);
    EXPECT_EQ(sim->Position(8), c.y);
  }
  page->m_fields["m_EndX"]->setValue(400);
  messages.service.Clear();
  const size_t before = sim->ReceivedCount();
  page->OnTestPoint(4);
  EXPECT_EQ(messages.service.Texts().back(), "X 超出限位 !");
  EXPECT_EQ(sim->ReceivedCount(), before);
}

struct TaskCase {
  int task;
  uint16_t code;  // a command the task sends
  int count;
};

TEST_F(LabelingShell, PickAndCameraTasksDriveTheMachine) {
  for (const TaskCase& c : {TaskCase{7, 0x64, 1}, TaskCase{8, 0x64, 1}, TaskCase{9, 0x55, 1}, TaskCase{10, 0x55, 1},
                            TaskCase{11, 0x55, 3}, TaskCase{12, 0x55, 4}}) {
    SCOPED_TRACE(c.task);
    sim->ClearReceived();
    page->OnTask(c.task);
    ASSERT_TRUE(Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10)));
    EXPECT_EQ(Count(c.code), c.count) << Diagnose();
  }
  // Camera to the ejector pin: the thimble's 50 / -40 mm.
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 5000);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -4000);
  smt::CurrentMachine().camera.channelVisionMode = 0;
  page->OnTask(6);
  ASSERT_TRUE(Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(5)));
  EXPECT_EQ(smt::CurrentMachine().camera.channelVisionMode.load(), 3);
}

}  // namespace
}  // namespace lamptest
