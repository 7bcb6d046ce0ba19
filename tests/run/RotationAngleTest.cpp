// The placement rotation: the part's angle, the board's rotation and the
// vision camera's correction angle.
#include <gtest/gtest.h>

#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "run/HeadRecords.h"
#include "run/PickPlacePreparation.h"
#include "run/RunServices.h"
#include "run/RunState.h"
#include "run/StrategySettings.h"
#include "support/TestRunVision.h"

namespace {

using namespace smt::run;

class RotationAngle : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto& p : smt::CurrentMachine().Part<smt::run::HeadRecords>().place) p = {};
    for (auto& p : smt::CurrentMachine().Part<smt::run::HeadRecords>().place) p.row = -1;
    rows = {PlacementRow{}, PlacementRow{}};
    rows[0].angle = 10;
    rows[1].angle = 10;
    auto vision = std::make_shared<testsupport::TestRunVision>();
    vision->cameraAngles = {1.5, -0.5};
    vision->sharedViewAngle = 0.75;
    Services(smt::CurrentMachine()).vision.Connect(vision);
    smt::CurrentMachine().correction.boardRotation = 0.0;
  }
  void TearDown() override {
    Services(smt::CurrentMachine()) = {};
    for (auto& p : smt::CurrentMachine().Part<smt::run::HeadRecords>().place) p = {};
    smt::CurrentMachine().machineType = 0;
    SetStrategy(smt::CurrentMachine(), {});
  }
  HeadPlaceState& Head(int k, int camera, int mode) {
    HeadPlaceState& p = smt::CurrentMachine().Part<smt::run::HeadRecords>().place[static_cast<size_t>(k - 1)];
    p.row = k - 1;
    p.headTarget = k;
    p.visionCamera = camera;
    p.visionMode = mode;
    return p;
  }
  std::vector<PlacementRow> rows;
};

TEST_F(RotationAngle, TheVisionCamerasCorrectionAngleIsAdded) {
  HeadPlaceState& p = Head(1, 1, 1);
  LogRotationAngles(smt::CurrentMachine(), &rows);
  EXPECT_DOUBLE_EQ(p.targetAngle, 11.5);
  EXPECT_DOUBLE_EQ(p.rotation, -11.5);
  // Without vision the camera's angle does not apply.
  p.visionMode = 0;
  LogRotationAngles(smt::CurrentMachine(), &rows);
  EXPECT_DOUBLE_EQ(p.rotation, -10.0);
}

TEST_F(RotationAngle, TwoHeadsFlyingOverCameraOneTakeTheSecondOffsetForHeadTwoOnTypeFive) {
  smt::CurrentMachine().machineType = 5;
  SmtStrategy s;
  s.m_HeaderSelect = 1;
  SetStrategy(smt::CurrentMachine(), s);
  Head(1, 1, 2);
  HeadPlaceState& h2 = Head(2, 1, 2);
  LogRotationAngles(smt::CurrentMachine(), &rows);
  EXPECT_DOUBLE_EQ(smt::CurrentMachine().Part<smt::run::HeadRecords>().place[0].targetAngle, 11.5);
  EXPECT_DOUBLE_EQ(h2.targetAngle, 10.75);
  // Another machine type keeps camera 1's own angle for head 2.
  smt::CurrentMachine().machineType = 2;
  LogRotationAngles(smt::CurrentMachine(), &rows);
  EXPECT_DOUBLE_EQ(h2.targetAngle, 11.5);
}

}  // namespace
