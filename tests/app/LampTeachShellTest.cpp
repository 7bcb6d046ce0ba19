// The lamp point editor's teach pendant in the real shell on the simulated
// board: every button pressed as the operator presses it.
#include <gtest/gtest.h>

#include <QPushButton>
#include <cstdlib>

#include "LampShellFixture.h"

namespace lamptest {
namespace {

class LampTeach : public LampShell {
 protected:
  void SetUp() override {
    LampShell::SetUp();
    StartConnected();
    LoadJob({{100, -100, 5, -3, {0.5, 0.2}, {1.0, -0.5}, {-1.0, 0.5}}});
    InstallMarkCamera();
    editor = std::make_unique<CDialogLampMachineEdit>(smt::CurrentMachine(), view);
    editor->SetValues(ValuesOf(points[0]), 1, 1);
  }
  void TearDown() override {
    editor.reset();
    LampShell::TearDown();
  }
  // Press and release the button as the mouse does; wait for the machine.
  bool Click(int id) {
    QPushButton* b = editor->Button(id);
    EXPECT_NE(b, nullptr) << id;
    if (!b) return false;
    const size_t before = sim->ReceivedCount();
    b->pressed();
    b->released();
    Pump([&] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10));
    return sim->ReceivedCount() != before;
  }
  std::string Text(int cell) { return QString::number(editor->Field(cell), 'f', 4).toStdString(); }
  int64_t Pos(int axis) { return sim->Position(axis); }
  std::unique_ptr<CDialogLampMachineEdit> editor;
};

TEST_F(LampTeach, GuardsComeFirstAndGlueHeadsMustBeUpForMoves) {
  smt::CurrentMachine().machineBusy = true;
  EXPECT_FALSE(editor->Press(1003));
  EXPECT_EQ(messages.service.Texts().back(), "Machine is runnig !");
  smt::CurrentMachine().machineBusy = false;
  smt::CurrentMachine().curZ[5] = -500;
  for (int id : {1139, 1027, 1028, 1004, 1040, 1259, 1256}) {
    SCOPED_TRACE(id);
    messages.service.Clear();
    EXPECT_FALSE(Click(id));
    ASSERT_FALSE(messages.service.Texts().empty());
    EXPECT_EQ(messages.service.Texts().back(), "请先复位点胶头");
  }
  smt::CurrentMachine().curZ[5] = 0;
  smt::CurrentMachine().resetDone = false;
  messages.service.Clear();
  EXPECT_FALSE(Click(1004));
  EXPECT_EQ(messages.service.Texts().back(), "Machine is not reset !");
  smt::CurrentMachine().resetDone = true;
}

TEST_F(LampTeach, ClampTestTogglesThePlatformsClamp) {
  Click(1051);
  EXPECT_TRUE(Pump([&] { return sim->Output(7); }));
  Click(1051);
  EXPECT_TRUE(Pump([&] { return !sim->Output(7); }));
  editor->SetValues(ValuesOf(points[0]), 1, 2);
  Click(1051);
  EXPECT_TRUE(Pump([&] { return sim->Output(8); }));
}

TEST_F(LampTeach, CaptureButtonsTakeTheMachinePositionIntoTheFields) {
  smt::CurrentMachine().motion.curPlatform[0] = 20000;  // glue X
  smt::CurrentMachine().curY = -9500;
  smt::CurrentMachine().curZ[4] = -250;
  smt::CurrentMachine().curZ[5] = -123;
  Click(1003);
  EXPECT_EQ(Text(3), "220.0001");  // (20 mm camera + 200 mm) with the bias
  EXPECT_EQ(Text(4), "-100.0001");
  Click(1002);
  EXPECT_EQ(Text(7), "0.0000");
  Click(1031);
  EXPECT_EQ(Text(16), "-2.5001");
  Click(1034);
  EXPECT_EQ(Text(23), "-1.2301");
  Click(1037);
  EXPECT_EQ(Text(30), "-1.2301");
  smt::CurrentMachine().motion.curPlatform[0] = 0;
  smt::CurrentMachine().curY = 0;
  smt::CurrentMachine().curZ[4] = smt::CurrentMachine().curZ[5] = 0;
}

TEST_F(LampTeach, SpeedStepShowsTheNextGear) {
  const QString before = editor->Button(1255)->text();
  Click(1255);
  EXPECT_NE(editor->Button(1255)->text(), before);
  const QStringList names = {"快速", "中速", "慢速", "精细"};
  EXPECT_TRUE(names.contains(editor->Button(1255)->text()));
}

struct JogCase {
  int id;
  int axis;  // the board's axis that moves
  int sign;
};

TEST_F(LampTeach, JogButtonsMoveTheirAxisWhileHeld) {
  // Each "+" / "-" pair goes out and back; the glue heads go down last.
  for (const JogCase& c : {JogCase{1139, 9, +1}, JogCase{1138, 9, -1}, JogCase{1029, 1, -1}, JogCase{1027, 1, +1},
                           JogCase{1030, 12, -1}, JogCase{1028, 12, +1}, JogCase{1161, 10, -1},
                           JogCase{1036, 10, -1}, JogCase{1039, 10, -1}}) {
    SCOPED_TRACE(c.id);
    const int64_t before = Pos(c.axis);
    editor->Button(c.id)->pressed();
    EXPECT_TRUE(Pump([&] { return (Pos(c.axis) - before) * c.sign > 0; }, std::chrono::seconds(5))) << Diagnose();
    editor->Button(c.id)->released();
    EXPECT_TRUE(Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(5)));
    // A jog up on the glue heads' own axis brings them back for the next case.
    smt::CurrentMachine().curZ[4] = smt::CurrentMachine().curZ[5] = 0;
  }
  EXPECT_EQ(editor->m_nMoveSelector, 62);
}

TEST_F(LampTeach, ArriveButtonsBringCameraOrGlueHeadOverTheTaughtPoint) {
  const auto& p = points[0];
  Click(1004);
  EXPECT_EQ(Pos(9), T(p.markX * kPulse) - T(kCamX * kPulse));
  EXPECT_EQ(Pos(1), T(p.markY * kPulse) - T(kCamY * kPulse));
  Click(1040);
  EXPECT_EQ(Pos(9), T((p.markX + p.ledX) * kPulse) - T(kCamX * kPulse));
  EXPECT_EQ(Pos(1), T((p.markY + p.ledY) * kPulse) - T(kCamY * kPulse));
  for (int g = 0; g < 3; ++g) {
    SCOPED_TRACE(g);
    Click(1259 + g);
    const auto want = DotTarget(p, g, {0, 0});
    EXPECT_LE(std::llabs(Pos(9) - want.first), 1);
    EXPECT_LE(std::llabs(Pos(1) - want.second), 1);
  }
  EXPECT_TRUE(sim->Strokes().empty());  // moves only
}

TEST_F(LampTeach, DotTestsLayOneDotEachAndRefuseBadDispenseValues) {
  for (int g = 0; g < 3; ++g) Click(1256 + g);
  const auto strokes = sim->Strokes();
  ASSERT_EQ(strokes.size(), 3u);
  for (int g = 0; g < 3; ++g) {
    SCOPED_TRACE(g);
    const auto want = DotTarget(points[0], g, {0, 0});
    EXPECT_EQ(strokes[static_cast<size_t>(g)].head, g == 0 ? 10 : 6);
    EXPECT_LE(std::llabs(strokes[static_cast<size_t>(g)].axes.at(9) - want.first), 1);
  }
  // Valve opening below the dispense height: the valve field, nothing sent.
  auto v = ValuesOf(points[0]);
  v.dots[0].valveOpen = -3.0;
  editor->SetValues(v, 1, 1);
  EXPECT_FALSE(Click(1256));
  EXPECT_EQ(editor->m_nFocusCell, 17);
  EXPECT_EQ(sim->Strokes().size(), 3u);
}

TEST_F(LampTeach, FullTestMeasuresTheMarkThenLaysTheThreeDotsOnTheBoard) {
  Click(1531);
  ASSERT_TRUE(Pump([&] { return sim->Strokes().size() == 3u && !smt::CurrentMachine().machineBusy.load(); }));
  const auto strokes = sim->Strokes();
  for (int g = 0; g < 3; ++g) {
    SCOPED_TRACE(g);
    const auto want = DotTarget(points[0], g, disp[1]);
    EXPECT_LE(std::llabs(strokes[static_cast<size_t>(g)].axes.at(9) - want.first), 2);
    EXPECT_LE(std::llabs(strokes[static_cast<size_t>(g)].axes.at(1) - want.second), 2);
  }
  EXPECT_FALSE(smt::CurrentMachine().runContinue.load());
}

TEST_F(LampTeach, FullTestWithAMarkNeverFoundEndsAtTheOperatorsNo) {
  smt::vision::SetMarkCamera(smt::CurrentMachine(), [] { return true; },
                             [](cv::Mat& f) {
                               f = cv::Mat::zeros(480, 640, CV_8UC3);
                               return true;
                             });
  Click(1531);
  ASSERT_TRUE(Pump([&] { return !smt::CurrentMachine().machineBusy.load() && !messages.service.Texts().empty(); }));
  EXPECT_EQ(messages.service.Texts().back(), "Mark大小识别失败 !  是-重新识别，否-退出，取消-退出");
  EXPECT_FALSE(smt::CurrentMachine().runContinue.load());
  EXPECT_TRUE(sim->Strokes().empty());
}

TEST_F(LampTeach, ZResetHomesTheGlueHeadsAndOkWaitsForAValidValveHeight) {
  Click(1045);
  EXPECT_TRUE(Pump([&] { return sim->LastReceived(0x52).has_value() || sim->LastReceived(0x02).has_value(); }));
  Pump([] { return !smt::CurrentMachine().machineBusy.load(); });
  auto v = ValuesOf(points[0]);
  v.dots[1].height = -0.5;
  v.dots[1].valveOpen = -1.0;
  editor->SetValues(v, 1, 1);
  editor->accept();
  EXPECT_EQ(editor->result(), 0);
  EXPECT_EQ(editor->m_nFocusCell, 24);
}

}  // namespace
}  // namespace lamptest
