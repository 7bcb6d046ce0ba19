// The step geometry, the two-mark correction and the fly-camera pass layout.
#include <gtest/gtest.h>

#include <cmath>

#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "job/CurrentBoard.h"
#include "job/PcbRecord.h"
#include "platform/MessageService.h"
#include "settings/BasicSettings.h"
#include "settings/PulseSettings.h"

using namespace smt::job;

namespace {

class GeometryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    smt::CurrentMachine().steps.xPulsePerMm = smt::CurrentMachine().steps.yPulsePerMm = 100.0;
    smt::CurrentMachine().board.mark1X = smt::CurrentMachine().board.mark1Y = smt::CurrentMachine().board.mark2X = smt::CurrentMachine().board.mark2Y = 0;
    smt::CurrentMachine().board.mark1StepsX = smt::CurrentMachine().board.mark1StepsY = smt::CurrentMachine().board.mark2StepsX = smt::CurrentMachine().board.mark2StepsY = 0;
  }
  void Marks(double m1x, double m1y, double m2x, double m2y) {
    smt::CurrentMachine().board.mark1X = m1x;
    smt::CurrentMachine().board.mark1Y = m1y;
    smt::CurrentMachine().board.mark2X = m2x;
    smt::CurrentMachine().board.mark2Y = m2y;
    smt::CurrentMachine().board.mark1StepsX = static_cast<int32_t>(m1x * 100);
    smt::CurrentMachine().board.mark1StepsY = static_cast<int32_t>(m1y * 100);
    smt::CurrentMachine().board.mark2StepsX = static_cast<int32_t>(m2x * 100);
    smt::CurrentMachine().board.mark2StepsY = static_cast<int32_t>(m2y * 100);
  }
  smt::platform::ScopedRecordingMessages messages;
};

TEST_F(GeometryTest, LineAngleAndRotationFollowTheSignRule) {
  EXPECT_EQ(LineAngle(5, 0), 0.0);
  EXPECT_EQ(LineAngle(0, 0), 0.0);
  EXPECT_EQ(LineAngle(0, -3), 90.0);
  EXPECT_NEAR(LineAngle(1, 1), 45.0, 1e-12);
  // Same sign: difference; exactly one negative: sum (0 counts as not negative).
  struct Case { double a1dx, a1dy, a2dx, a2dy, expect; } cases[] = {
      {10, 0, 10, -std::tan(0.2 * M_PI / 180) * 10, -0.2},                       // 0 and -0.2: added
      {10, std::tan(0.1 * M_PI / 180) * 10, 10, -std::tan(0.1 * M_PI / 180) * 10, 0.0},  // 0.1 and -0.1: 0
      {0, 10, 10, -std::tan(89.9 * M_PI / 180) * 10, 0.1},                      // vertical, turned left
      {10, 1, 10, 1, 0.0},
  };
  for (const auto& c : cases) EXPECT_NEAR(BoardRotation(c.a1dx, c.a1dy, c.a2dx, c.a2dy), c.expect, 1e-6);
}

TEST_F(GeometryTest, BiasedStepsMoveAwayFromZeroBeforeTruncating) {
  EXPECT_EQ(BiasedSteps(0.5, 100), 50);
  EXPECT_EQ(BiasedSteps(-0.5, 100), -50);
  EXPECT_EQ(BiasedSteps(0.00004, 100), 0);
  EXPECT_EQ(BiasedSteps(0.0, 100), 0);
}

TEST_F(GeometryTest, ConvertPointToStepsWithoutMark2StoresOnlyTheShift) {
  Marks(5, 5, 0, 0);
  smt::CurrentMachine().correction.boardRotation = 7;
  ConvertPointToSteps(smt::CurrentMachine(), 0.5, -0.5, 0.2, 0.2);
  EXPECT_EQ(smt::CurrentMachine().correction.mark1DevStepsX, 50);
  EXPECT_EQ(smt::CurrentMachine().correction.mark1DevStepsY, -50);
  EXPECT_EQ(smt::CurrentMachine().correction.mark2DevStepsX, 20);
  EXPECT_EQ(smt::CurrentMachine().correction.boardRotation, 0.0);
  EXPECT_TRUE(messages.service.Texts().empty());
}

TEST_F(GeometryTest, ConvertPointToStepsRefusesMarksCloserThanFiveSteps) {
  Marks(1.0, 1.0, 1.03, 1.0);  // 3 steps apart
  ConvertPointToSteps(smt::CurrentMachine(), 0.1, 0.1, 0.3, 0.3);
  EXPECT_EQ(smt::CurrentMachine().correction.mark1DevStepsX, 10);
  EXPECT_EQ(smt::CurrentMachine().correction.boardRotation, 0.0);
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_EQ(messages.service.Texts()[0], kMarkTooClose);
}

TEST_F(GeometryTest, ConvertPointToStepsGivesTheRotationOfTheMeasuredMarks) {
  Marks(0, 0, 100, 0);
  ConvertPointToSteps(smt::CurrentMachine(), 0, 0, 0, 1.0);  // Mark 2 one millimetre up over 100 mm
  EXPECT_NEAR(smt::CurrentMachine().correction.boardRotation, std::atan(100.0 / 10000.0) * 180 / M_PI, 1e-6);
}

TEST_F(GeometryTest, CorrectionTurnsAboutMark1AndTheEditorTurnsBack) {
  // Zero deviations: the vector from Mark 1 unchanged.
  auto [x0, y0] = CorrectPointByTwoMarks(10, 10, 110, 10, 0, 0, 0, 0, 30, 50);
  EXPECT_DOUBLE_EQ(x0, 20);
  EXPECT_DOUBLE_EQ(y0, 40);
  // Mark 2 measured so that the board turned by +atan(0.1).
  auto [x1, y1] = CorrectPointByTwoMarks(0, 0, 100, 0, 0, 0, 0, 10, 50, 0);
  const double th = std::atan(0.1);
  EXPECT_NEAR(x1, 50 * std::cos(th), 1e-4);
  EXPECT_NEAR(y1, 50 * std::sin(th), 1e-4);
  auto [bx, by] = CorrectPointByTwoMarksForEditor(0, 0, 100, 0, 0, 0, 0, 10, x1, y1);
  EXPECT_NEAR(bx, 50, 1e-4);
  EXPECT_NEAR(by, 0, 1e-4);
}

TEST_F(GeometryTest, MarksTooCloseGiveTheUnturnedVectorAndAMessage) {
  auto [x, y] = CorrectPointByTwoMarks(0, 0, 4.9, 0, 0, 0, 1, 1, 10, 20);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);
  auto [ex, ey] = CorrectPointByTwoMarksForEditor(0, 0, 4.9, 0, 0, 0, 1, 1, 7, 8);
  EXPECT_EQ(ex, 7);
  EXPECT_EQ(ey, 8);
  EXPECT_EQ(messages.service.Texts().size(), 2u);
}

TEST_F(GeometryTest, LoadStepGeometryTruncatesEveryOffset) {
  smt::settings::BasicSettings b;
  smt::settings::PulseSettings p;
  p.m_X_Pulse = 80.5;
  p.m_Y_Pulse = 100;
  p.m_Z_Pulse = 10;
  p.m_A_Pulse = 17.7777;
  p.m_AutoWalk1_Pulse = 3;
  b.m_X_CameraToNozzle1 = 10.01;  // 805.805 -> 805
  b.m_Y_CameraToNozzle1 = -2.019;  // -201.9 -> -201
  b.m_X_Nozzle8ToNozzle1 = 1;
  b.m_Y_DropsGlueToNozzle1 = 0.5;
  LoadStepGeometry(smt::CurrentMachine(), b, p);
  EXPECT_EQ(smt::CurrentMachine().steps.xPulsePerMm, 80.5);
  EXPECT_EQ(smt::CurrentMachine().steps.cameraOffsetX, 805);
  EXPECT_EQ(smt::CurrentMachine().steps.cameraOffsetY, -201);
  EXPECT_EQ(NozzleOffsetX(smt::CurrentMachine(), 8), 80);
  EXPECT_EQ(NozzleOffsetX(smt::CurrentMachine(), 1), 0);
  EXPECT_EQ(smt::CurrentMachine().steps.dispenseHeadOffsetY, 50);
  EXPECT_EQ(smt::CurrentMachine().steps.feedAxisPulse[6], 3);
}

TEST_F(GeometryTest, HeadLayoutByMachineType) {
  smt::CurrentMachine().steps.nozzleOffsetX = {1000, 3000, 4500, 6000, 7500, 9000, 10500};
  FlyCameraInputs in;
  in.cameraX = 50000;
  in.cameraY = -20000;
  in.triggerPulse = {-5, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(SetupHeadLayout(smt::CurrentMachine(), 3, in));
  EXPECT_EQ(smt::CurrentMachine().fly.headCount, 4);
  // p2 > trigger 1: every trigger gets its correction.
  EXPECT_EQ(smt::CurrentMachine().fly.trigger[0], 1000 - 5);
  EXPECT_EQ(smt::CurrentMachine().fly.trigger[1], 2000 + 2);
  EXPECT_EQ(smt::CurrentMachine().fly.trigger[2], 3000 + 1000 + 3);
  EXPECT_EQ(smt::CurrentMachine().fly.trigger[3], 4500 + 1000 + 4);
  EXPECT_EQ(smt::CurrentMachine().fly.startX, 50000 - 4500 - 1000);
  EXPECT_EQ(smt::CurrentMachine().fly.endX, 51000);
  EXPECT_EQ(smt::CurrentMachine().fly.y, -20000);
  EXPECT_EQ(smt::CurrentMachine().fly.y2, -20000);

  const auto before = smt::CurrentMachine().fly.trigger;
  const int32_t start = smt::CurrentMachine().fly.startX;
  for (int type : {5, 9}) {
    EXPECT_TRUE(SetupHeadLayout(smt::CurrentMachine(), type, FlyCameraInputs{}));
    EXPECT_EQ(smt::CurrentMachine().fly.trigger, before);
    EXPECT_EQ(smt::CurrentMachine().fly.startX, start);
  }
  in.triggerPulse[0] = 1000;  // not strictly below p2: no corrections
  SetupHeadLayout(smt::CurrentMachine(), 0, in);
  EXPECT_EQ(smt::CurrentMachine().fly.headCount, 1);
  EXPECT_EQ(smt::CurrentMachine().fly.trigger[0], 1000);
}

TEST(CurrentBoardTest, LoadCopiesValuesStepsAndTheGridCellsBeforeTheSlash) {
  smt::CurrentMachine().steps.xPulsePerMm = 100;
  smt::CurrentMachine().steps.yPulsePerMm = 50;
  PcbRecord rec;
  rec.m_nRows = 2;
  rec.m_nCols = 3;
  rec.m_dOriginX = 12.345;
  rec.m_dOriginY = -7.5;
  rec.m_dMark1X = 1.019;
  rec.m_bEachMark = true;
  rec.m_PanelGrid = FullPanelGrid(2, 3);
  rec.m_PanelGrid[0][1] = "0/1";
  rec.m_PanelGrid[0][2] = "0/2";
  LoadCurrentBoardValues(smt::CurrentMachine(), rec);
  EXPECT_EQ(smt::CurrentMachine().board.originStepsX, 1234);
  EXPECT_EQ(smt::CurrentMachine().board.originStepsY, -375);
  EXPECT_EQ(smt::CurrentMachine().board.mark1StepsX, 101);
  EXPECT_TRUE(smt::CurrentMachine().board.marksPerPanel);
  ASSERT_EQ(smt::CurrentMachine().board.panelGrid.size(), 2u);
  EXPECT_EQ(smt::CurrentMachine().board.panelGrid[0], (std::vector<std::string>{"0", "0", "1"}));
  int r = -1, c = -1;
  ASSERT_TRUE(FirstBoardNotSkipped(smt::CurrentMachine().board, r, c));
  EXPECT_EQ(r, 0);
  EXPECT_EQ(c, 2);
  EXPECT_EQ(CountEnabledCells(smt::CurrentMachine()), 4);

  // A record whose grid is short reads the missing cells as skipped.
  rec.m_PanelGrid.resize(1);
  LoadCurrentBoardValues(smt::CurrentMachine(), rec);
  EXPECT_EQ(smt::CurrentMachine().board.panelGrid[1], (std::vector<std::string>{"0", "0", "0"}));
  for (auto& row : smt::CurrentMachine().board.panelGrid)
    for (auto& cell : row) cell = "0";
  EXPECT_FALSE(FirstBoardNotSkipped(smt::CurrentMachine().board, r, c));
  FirstEnabledCell(smt::CurrentMachine(), r, c);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(c, 0);
}

}  // namespace
