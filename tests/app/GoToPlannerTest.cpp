#include <gtest/gtest.h>

#include "app/GoToPlanner.h"
#include "job/PcbRecord.h"

using namespace smt::app;

namespace {

struct PlannerTest : ::testing::Test {
  smt::settings::BasicSettings basic;
  smt::settings::PulseSettings pulse;
  smt::settings::PulseTable table;
  std::vector<smt::vision::CameraRow> cameras;
  smt::job::PcbRecord pcb;

  void SetUp() override {
    basic.m_X_Limit = 400;
    basic.m_Y_Limit = -300;
    pulse.m_X_Pulse = 100.5;
    pulse.m_Y_Pulse = 80.25;
    table.dXPulse = pulse.m_X_Pulse;
    table.dYPulse = pulse.m_Y_Pulse;
    basic.m_X_CameraToNozzle1 = 30;
    basic.m_Y_CameraToNozzle1 = -10;
    basic.m_X_Nozzle2ToNozzle1 = 20.3;
    basic.m_Y_Nozzle2ToNozzle1 = 0.7;
    basic.m_X_Nozzle3ToNozzle1 = 40;
    basic.m_Y_Nozzle3ToNozzle1 = 2;
    basic.m_X_Nozzle4ToNozzle1 = 60;
    basic.m_Y_Nozzle4ToNozzle1 = 4;
    Cameras({"Camera 1\t100.5\t-200.25\t", "Camera 2\t250\t-120\t"});
    pcb.m_strName = "B";
    pcb.m_dOriginX = 150;
    pcb.m_dOriginY = -100;
    pcb.m_dMark1X = 5.5;
    pcb.m_dMark1Y = -3.25;
  }
  // The camera table as read from a file holding `texts`.
  void Cameras(const std::vector<std::string>& texts) {
    cameras = smt::vision::ReadCameraRows(texts, "config_camera.fig");
  }
  GoToContext Ctx(int type = 0) {
    GoToContext c{basic, pulse, table};
    c.machineType = type;
    c.shownPcb = &pcb;
    c.cameraRows = &cameras;
    return c;
  }
};

}  // namespace

TEST(GoToSteps, TruncateTowardZeroTermByTerm) {
  EXPECT_EQ(StepsOf(2.9), 2);
  EXPECT_EQ(StepsOf(-2.9), -2);
  EXPECT_EQ(StepsOf(1e12), INT32_MAX);
  EXPECT_EQ(StepsOf(-1e12), INT32_MIN);
}

TEST_F(PlannerTest, ThrowPositionRangeAndTargets) {
  basic.m_X_ThrowPosition = 100;
  struct Case {
    double throwY;
    bool ok;
  } cases[] = {{0.0, true}, {-300.0, true}, {0.001, false}, {-300.001, false}};
  for (const auto& k : cases) {
    basic.m_Y_ThrowPosition = k.throwY;
    GoToPlan p = PlanNozzleToThrow(Ctx(), 1);
    EXPECT_EQ(p.ok, k.ok) << k.throwY;
    if (!k.ok) {
      EXPECT_EQ(p.message, 20);
    }
  }
  basic.m_Y_ThrowPosition = -50;
  GoToPlan p = PlanNozzleToThrow(Ctx(), 2);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.kind, 2);
  EXPECT_EQ(p.camera, GoToCamera::Mark);
  // Each term truncated by itself: T(100.5*100) - T(100.5*20.3) = 10050 - 2040.
  EXPECT_EQ(p.targetX, 10050 - 2040);
  EXPECT_EQ(p.targetY, StepsOf(80.25 * -50) - StepsOf(80.25 * 0.7));
}

TEST_F(PlannerTest, LampMachineThrowMovesXOnlyWithoutTheCamera) {
  basic.m_X_ThrowPosition = 100;
  basic.m_Y_ThrowPosition = 5;  // would be refused on other types
  GoToPlan p = PlanNozzleToThrow(Ctx(4), 1);
  ASSERT_TRUE(p.ok);
  EXPECT_TRUE(p.platformThread);
  EXPECT_EQ(p.camera, GoToCamera::None);
  EXPECT_TRUE(p.setTargetX);
  EXPECT_FALSE(p.setTargetY);
}

TEST_F(PlannerTest, MarkTargetsAddTheOriginAndTheFirstEnabledPanelBoard) {
  pcb.m_bEachMark = true;
  pcb.m_dColSpace = 12;
  pcb.m_dRowSpace = 20;
  pcb.m_PanelGrid = {{"1", "0/1", "0/2"}, {"2", "1/3", "1/4"}};  // first row skipped
  GoToPlan p = PlanCameraToPcb(Ctx(), 1);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.kind, 2);
  EXPECT_EQ(p.targetX, StepsOf(100.5 * 5.5) - StepsOf(100.5 * 30) + StepsOf(100.5 * 150));
  EXPECT_EQ(p.targetY, StepsOf(80.25 * -3.25) - StepsOf(80.25 * -10) + StepsOf(80.25 * (-100 + 20)));
  pcb.m_PanelGrid = {{"1", "0/1"}, {"2", "0/2"}};
  EXPECT_EQ(PlanCameraToPcb(Ctx(), 0).message, 3);  // every board skipped
  GoToContext none = Ctx();
  none.shownPcb = nullptr;
  EXPECT_EQ(PlanCameraToPcb(none, 0).message, 3);
}

TEST_F(PlannerTest, PcbOriginOutsideTheTableIsRefused) {
  pcb.m_dOriginX = 20;  // 20 - camera offset 30 < 0
  EXPECT_EQ(PlanCameraToPcb(Ctx(), 0).message, 4);
  pcb.m_dOriginX = 150;
  pcb.m_dOriginY = 5;  // 5 - (-10) > 0
  EXPECT_EQ(PlanCameraToPcb(Ctx(), 0).message, 5);
}

TEST_F(PlannerTest, VisionCamerasFoundByNameAndChecked) {
  GoToPlan p = PlanNozzleToVisionCamera(Ctx(), 1, 2);
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.kind, 4);
  EXPECT_EQ(p.nozzleInView, 2);
  EXPECT_EQ(p.targetX, StepsOf(100.5 * 100.5) - StepsOf(100.5 * 20.3));
  // Vision camera 2 moves X and Y even on the lamp machine.
  GoToPlan lamp = PlanNozzleToVisionCamera(Ctx(4), 2, 1);
  ASSERT_TRUE(lamp.ok);
  EXPECT_FALSE(lamp.platformThread);
  EXPECT_TRUE(lamp.setTargetY);
  Cameras({"Other\t1\t-1\t"});
  EXPECT_EQ(PlanNozzleToVisionCamera(Ctx(), 1, 1).message, 7);
  EXPECT_EQ(PlanNozzleToVisionCamera(Ctx(), 2, 1).message, 8);
  cameras.clear();
  EXPECT_EQ(PlanNozzleToVisionCamera(Ctx(), 1, 1).message, 6);
}

// A camera whose X or Y the camera table refuses is no target: every go-to
// to it says the camera is not there, as for a camera the table lacks.
TEST_F(PlannerTest, ACameraPositionTheTableRefusesIsNoTarget) {
  for (const char* bad : {"nan", "inf", "-inf", "1e400", "ten", "12abc", "0x10", "1,5"}) {
    for (int cell : {1, 2}) {
      SCOPED_TRACE(std::string("cell ") + std::to_string(cell) + " \"" + bad + "\"");
      Cameras({cell == 1 ? std::string("Camera 1\t") + bad + "\t-200.25\t" : std::string("Camera 1\t100.5\t") + bad + "\t",
               cell == 1 ? std::string("Camera 2\t") + bad + "\t-120\t" : std::string("Camera 2\t250\t") + bad + "\t"});
      for (int nozzle : {1, 2}) {
        EXPECT_EQ(PlanNozzleToVisionCamera(Ctx(), 1, nozzle).message, 7);
        EXPECT_FALSE(PlanNozzleToVisionCamera(Ctx(), 1, nozzle).ok);
        EXPECT_EQ(PlanNozzleToVisionCamera(Ctx(), 2, nozzle).message, 8);
      }
      EXPECT_EQ(PlanSquareHeadsToCamera2(Ctx()).message, 8);
      EXPECT_FALSE(PlanMeasuringHeadToCamera1(Ctx()).ok);
    }
  }
  // The same rows with numbers are targets again.
  Cameras({"Camera 1\t100.5\t-200.25\t", "Camera 2\t250\t-120\t"});
  EXPECT_TRUE(PlanNozzleToVisionCamera(Ctx(), 1, 1).ok);
  EXPECT_TRUE(PlanNozzleToVisionCamera(Ctx(), 2, 1).ok);
}

// A table with a row that could not be read (any cell, not only the
// position) still plans with its good rows; the damaged row's camera is no
// target.
TEST_F(PlannerTest, ADamagedRowLeavesTheGoodRowsTargets) {
  auto row = [](const char* name, double x, double y) {
    smt::vision::CameraValues v;
    v.name = name;
    v.x = x;
    v.y = y;
    v.visualZoom = 20;
    v.contrast = 100;
    return smt::vision::CameraRow(v).Text();
  };
  // Cuts a row at its TABs, puts `text` into `cell` and joins it again.
  auto damage = [](const std::string& text, int cell, const char* bad) {
    std::string out;
    size_t start = 0;
    for (int i = 0;; ++i) {
      const size_t tab = text.find('\t', start);
      if (tab == std::string::npos) break;
      out += (i == cell ? std::string(bad) : text.substr(start, tab - start)) + "\t";
      start = tab + 1;
    }
    return out;
  };
  const std::string good1 = row("Camera 1", 100.5, -200.25), good2 = row("Camera 2", 250, -120);
  const std::string other = row("Camera 3", 10, -10);
  struct Case {
    const char* what;
    std::vector<std::string> texts;
    bool camera1, camera2;
  };
  const Case cases[] = {
      {"a third row damaged", {good1, good2, damage(other, 1, "nan")}, true, true},
      {"camera 1's contrast damaged", {damage(good1, 22, "300"), good2}, false, true},
      {"camera 2's scale damaged", {good1, damage(good2, 20, "ten")}, true, false},
      {"camera 1's angle damaged, camera 2 first", {good2, damage(good1, 19, "1e400")}, false, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Cameras(k.texts);
    const GoToPlan p1 = PlanNozzleToVisionCamera(Ctx(), 1, 1), p2 = PlanNozzleToVisionCamera(Ctx(), 2, 1);
    EXPECT_EQ(p1.ok, k.camera1);
    EXPECT_EQ(p2.ok, k.camera2);
    if (k.camera1) {
      EXPECT_EQ(p1.targetX, StepsOf(100.5 * 100.5));
      EXPECT_EQ(p1.targetY, StepsOf(80.25 * -200.25));
    } else {
      EXPECT_EQ(p1.message, 7);
    }
    if (k.camera2) {
      EXPECT_EQ(p2.targetX, StepsOf(100.5 * 250));
    } else {
      EXPECT_EQ(p2.message, 8);
    }
    EXPECT_EQ(PlanMeasuringHeadToCamera1(Ctx()).ok, k.camera1);
    // The table writes every row back as it came.
    EXPECT_EQ(smt::vision::CameraRowTexts(cameras), k.texts);
  }
}

TEST_F(PlannerTest, SquareHeadsCheckNozzleFourButCentreBetweenOneAndThree) {
  GoToPlan p = PlanSquareHeadsToCamera2(Ctx(3));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.targetX, StepsOf(100.5 * 250) - StepsOf(0.5 * 40 * 100.5));
  EXPECT_DOUBLE_EQ(p.squareHeadsBox, 40);
  basic.m_X_Nozzle4ToNozzle1 = 260;  // camera X - 260 < 0
  EXPECT_EQ(PlanSquareHeadsToCamera2(Ctx(3)).message, 11);
}

TEST_F(PlannerTest, MeasuringHeadHasNoRangeCheck) {
  basic.m_X_Measurement = 500;  // far outside
  GoToPlan p = PlanMeasuringHeadToCamera1(Ctx());
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.kind, 6);
  EXPECT_EQ(p.targetX, StepsOf(100.5 * 100.5) - StepsOf(100.5 * 500));
}

TEST_F(PlannerTest, VisionOriginAndStopPositionShareTheirMessages) {
  basic.m_X_VisualOrigin = 100;
  basic.m_Y_VisualOrigin = -50;
  EXPECT_TRUE(PlanCameraToVisionOrigin(Ctx()).ok);
  basic.m_X_StopPosition = 100;
  basic.m_Y_StopPosition = -10;  // -10 - (-10) = 0: accepted
  EXPECT_TRUE(PlanCameraToStopPosition(Ctx()).ok);
  basic.m_Y_StopPosition = -9.999;
  EXPECT_EQ(PlanCameraToStopPosition(Ctx()).message, 18);
  basic.m_X_StopPosition = 10;
  EXPECT_EQ(PlanCameraToStopPosition(Ctx()).message, 17);
}
