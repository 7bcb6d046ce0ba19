#include <gtest/gtest.h>

#include "settings/DetourSettings.h"
#include "settings/PulseMath.h"
#include "settings/PulseSettings.h"
#include "settings/PulseTable.h"
#include "settings/TeachPosition.h"
#include "support/TempDir.h"

using namespace smt::settings;
using smt::test::TempDir;

TEST(PulseSettingsLoad, MissingSectionGivesOneAndADefaultForA) {
  TempDir dir;
  const PulseSettings p = LoadPulseSettings(dir.str());
  for (const auto& f : PulseFields()) {
    if (f.member == &PulseSettings::m_A_Pulse)
      EXPECT_DOUBLE_EQ(p.*f.member, 17.7777);
    else
      EXPECT_DOUBLE_EQ(p.*f.member, 1.0) << f.key;
  }
  PulseSettings q = p;
  q.m_Z_Pulse = 0;
  EXPECT_EQ(FirstPulseOutOfRange(q), "m_Z_Pulse");
  q.m_Z_Pulse = 10000.5;
  EXPECT_EQ(FirstPulseOutOfRange(q), "m_Z_Pulse");
}

TEST(PulseCalculator, GeneratorExamplesAndRefusals) {
  auto pulley = GeneratePulses(0, 1.8, 16, 12);
  ASSERT_EQ(pulley.error, PulseCalcError::None);
  EXPECT_NEAR(pulley.value.pulsesPerMm, 84.8826, 1e-4);
  EXPECT_NEAR(pulley.value.pulsesPerDegree, 8.8888, 1e-4);
  auto screw = GeneratePulses(1, 1.8, 16, 5);
  EXPECT_DOUBLE_EQ(screw.value.pulsesPerMm, 640.0);
  EXPECT_EQ(GeneratePulses(-1, 1.8, 16, 5).error, PulseCalcError::NoDriveMode);
  EXPECT_EQ(GeneratePulses(0, 0.0, 16, 5).error, PulseCalcError::ZeroStepAngle);
  EXPECT_EQ(GeneratePulses(1, 1.8, 16, 0.0).error, PulseCalcError::ZeroDiameter);
}

TEST(PulseCalculator, CheckExampleAndZeroMeasuredDistance) {
  auto c = CheckPulseValue(100, 1000, 99.5);
  ASSERT_EQ(c.error, PulseCalcError::None);
  EXPECT_NEAR(c.value, 1005.0251, 1e-4);
  EXPECT_EQ(CheckPulseValue(100, 1000, 0).error, PulseCalcError::ZeroMeasuredDistance);
}

TEST(PulseCalculator, RunAxisListsAndCheckScales) {
  EXPECT_EQ(RunAxisList(7).size(), 2u);
  EXPECT_EQ(RunAxisList(8)[1], PulseMotor::Y);
  EXPECT_EQ(RunAxisList(4).size(), 11u);
  EXPECT_EQ(RunAxisList(6).size(), 9u);
  EXPECT_EQ(RunAxisList(0).size(), 16u);
  PulseSettings p;
  p.m_X_Pulse = 1;
  p.m_Y_Pulse = 2;
  p.m_Z_Pulse = 3;
  p.m_A_Pulse = 4;
  p.m_AutoWalk2_Pulse = 12;
  EXPECT_EQ(CheckScaleAt(p, 4, 1), 1.0);   // X2
  EXPECT_EQ(CheckScaleAt(p, 4, 3), 2.0);   // Y2
  EXPECT_EQ(CheckScaleAt(p, 6, 4), 3.0);   // Z3
  EXPECT_EQ(CheckScaleAt(p, 6, 5), 4.0);   // A1
  EXPECT_EQ(CheckScaleAt(p, 0, 15), 12.0);  // auto feed 2
  EXPECT_FALSE(CheckScaleAt(p, 7, 2).has_value());
}

TEST(PulseTestRun, LimitsDecideTheMove) {
  PulseSettings p;
  p.m_X_Pulse = 1000;
  p.m_WestWalk_Pulse = 100;
  p.m_Z_Pulse = 100;
  BasicSettings b;
  b.m_X_Limit = 300;
  b.m_WestFeed_Limit = -10;
  b.m_Z_Limit = -20;
  TestRunPositions pos;
  pos.x = 5000;
  auto plan = PlanTestRun(0, 0, 10, p, b, pos);
  EXPECT_TRUE(plan.valid);
  EXPECT_FALSE(plan.refusedByLimit);
  EXPECT_EQ(plan.steps, 10000);
  EXPECT_EQ(plan.jogAxis, 0);
  EXPECT_EQ(plan.direction, 1);
  pos.x = 295000;
  EXPECT_TRUE(PlanTestRun(0, 0, 10, p, b, pos).refusedByLimit);

  // West walk: output 5 off even though the limit refuses the move.
  pos.westWalk = -900;
  auto west = PlanTestRun(0, 8, -2, p, b, pos);
  EXPECT_EQ(west.outputOff, 5);
  EXPECT_EQ(west.jogAxis, 8);
  EXPECT_EQ(west.direction, 0);
  EXPECT_TRUE(west.refusedByLimit);

  // Z1 motor: a negative count lowers head 2.
  pos.z[1] = -1900;
  EXPECT_FALSE(PlanTestRun(0, 2, -1, p, b, pos).refusedByLimit);  // -2000 >= -2000
  EXPECT_TRUE(PlanTestRun(0, 2, -1.01, p, b, pos).refusedByLimit);
  EXPECT_FALSE(PlanTestRun(7, 5, 1, p, b, pos).valid);
}

TEST(PulseTable, TruncationExamples) {
  EXPECT_EQ(TruncToSteps(2.9, 1), 2);
  EXPECT_EQ(TruncToSteps(-2.9, 1), -2);
  EXPECT_EQ(TruncToSteps(0.00001, 100), 0);
  EXPECT_EQ(TruncToSteps(-0.015, 100), -1);
  EXPECT_EQ(TruncToSteps(1e12, 100), INT32_MAX);

  BasicSettings b;
  PulseSettings p;
  b.m_X_Limit = 500;
  b.m_Y_Limit = -400;
  b.m_Z_Limit = -20;
  p.m_X_Pulse = 100;
  p.m_Y_Pulse = 80;
  p.m_Z_Pulse = 50;
  const PulseLimits l = ComputePulseLimits(b, p);
  EXPECT_EQ(l.m_nXLimitPulse, 50000);
  EXPECT_EQ(l.m_nYLimitPulse, -32000);
  EXPECT_EQ(l.m_nYLimitPulseAbs, 32000);
  EXPECT_EQ(l.m_nZLimitPulse, -1000);

  b.m_Correction_X3 = -0.015;
  b.m_Correction_Y8 = 0.029;
  b.m_X_Nozzle2ToNozzle1 = 10.019;
  b.m_Y_ThrowPosition = -12.34;
  const PulseTable t = ComputePulseTable(b, p);
  EXPECT_EQ(t.nCorrectionX[3], -1);
  EXPECT_EQ(t.nCorrectionY[8], 2);
  EXPECT_EQ(t.nNozzleToNozzle1X[2], 1001);
  EXPECT_EQ(t.nThrowY, -987);
  EXPECT_DOUBLE_EQ(t.dYPulse, 80);
}

TEST(PulseTable, AxisConfigFromFileAndMissingKeys) {
  TempDir dir;
  EXPECT_EQ(LoadAxisConfig(dir.str()), PulseLimits{});
  dir.Write("config.ini",
            "[SetBasicConfig]\nm_X_Limit=500.0000\nm_Y_Limit=-400.0000\nm_Z_Limit=-20\n"
            "[SetPulseConfig]\nm_X_Pulse=100\nm_Y_Pulse=80\nm_Z_Pulse=50\n");
  const PulseLimits l = LoadAxisConfig(dir.str());
  EXPECT_EQ(l.m_nXLimitPulse, 50000);
  EXPECT_EQ(l.m_nYLimitPulseAbs, 32000);
  EXPECT_EQ(l.m_nZLimitPulse, -1000);
}

TEST(TeachPosition, ConversionExamples) {
  EXPECT_EQ(TeachPositionText(12345, 1000), "12.3451");
  EXPECT_EQ(TeachPositionText(-500, 400), "-1.2501");
  EXPECT_EQ(TeachPositionText(0, 400), "0.0000");
  EXPECT_EQ(TeachPositionText(4, 100000), "0.0000");   // 0.00004 mm
  EXPECT_EQ(TeachPositionText(12, 100000), "0.0002");   // 0.00012 mm
  EXPECT_FALSE(TeachPositionText(100, 0).has_value());
  EXPECT_EQ(VisualOriginOffsetText(12.5, 12.5), "0.0000");
  EXPECT_EQ(VisualOriginOffsetText(13, 12.5), "0.5000");
}

TEST(TeachPosition, ButtonsByMachineTypeAndPlatform) {
  TeachInputs in;
  in.xPulse = in.yPulse = in.zPulse = 100;
  in.x = 1000;
  in.y = -2000;
  in.y2 = -3000;
  in.x2 = 500;
  in.z[1] = -150;
  in.z[3] = -250;
  // Before the first zero the zero point is 0: the negated position.
  EXPECT_EQ(TeachButtonText(TeachButton::Nozzle2X, in), "-10.0001");
  in.machineType = 0;
  EXPECT_EQ(TeachButtonText(TeachButton::ZDropsGlue, in), "0.0000");
  in.machineType = 2;
  EXPECT_EQ(TeachButtonText(TeachButton::ZDropsGlue, in), "-1.5001");
  in.machineType = 4;
  in.platform = 2;
  EXPECT_EQ(TeachButtonText(TeachButton::ZDropsGlue, in), "-2.5001");
  EXPECT_EQ(TeachButtonText(TeachButton::CameraY, in), "30.0001");  // zero Y - Y2
  EXPECT_EQ(TeachButtonText(TeachButton::ThrowY, in), "-30.0001");
  EXPECT_EQ(TeachButtonText(TeachButton::CameraX, in), "-5.0001");  // zero X - X2
  in.platform = 3;
  EXPECT_EQ(TeachButtonText(TeachButton::Nozzle5Y, in), "0.0000");
  // Visual origin: position plus the stored camera offset in whole steps.
  in.machineType = 0;
  in.cameraToNozzle1X = 1.239;  // 123 steps
  EXPECT_EQ(TeachButtonText(TeachButton::VisualOriginX, in), "11.2301");
  EXPECT_STREQ(TeachButtonKey(TeachButton::VisualOriginX), "m_X_VisualOrigin");
}

TEST(DetourZones, ZoneTable) {
  PulseSettings p;
  p.m_X_Pulse = 10;
  p.m_Y_Pulse = 10;
  DetourSettings d;
  d.m_W_S_LessPosition_dX = 100;  // x < 1000
  d.m_W_S_LessPosition_dY = -200; // y < -2000
  d.m_E_S_LessPosition_dX = 50;   // x > 500
  d.m_E_S_LessPosition_dY = -300; // y < -3000
  d.m_W_S_Detour_dY = -1.5;
  d.m_E_S_Detour_dY = -2.5;
  struct Row {
    int ws, es;
    int32_t x, y;
    DetourZone zone;
  } rows[] = {
      {0, 0, 0, -9000, DetourZone::None},
      {1, 0, 999, -2001, DetourZone::SouthWest},
      {1, 0, 1000, -2001, DetourZone::None},   // on the bound: outside
      {1, 0, 999, -2000, DetourZone::None},
      {0, 1, 501, -3001, DetourZone::SouthEast},
      {0, 1, 500, -3001, DetourZone::None},
      {1, 1, 700, -3500, DetourZone::SouthWest},  // in both: south-west first
  };
  for (const auto& r : rows) {
    d.m_W_S_PositionLimitPositionDetour = r.ws;
    d.m_E_S_PositionLimitPositionDetour = r.es;
    auto hit = FindDetourZone(d, p, r.x, r.y);
    EXPECT_EQ(hit.zone, r.zone) << r.x << "," << r.y;
    if (hit.zone == DetourZone::SouthWest) {
      EXPECT_EQ(hit.detourY, -15);
    }
    if (hit.zone == DetourZone::SouthEast) {
      EXPECT_EQ(hit.detourY, -25);
    }
  }
  d.m_W_S_PositionLimitPositionDetour = 1;
  auto path = PlanDetourPath(d, p, {0, -5000}, {3000, -100});
  ASSERT_TRUE(path.yFirst.has_value());
  EXPECT_EQ(path.yFirst->x, 0);
  EXPECT_EQ(path.yFirst->y, -100);
  EXPECT_FALSE(PlanDetourPath(d, p, {3000, -100}, {0, -5000}).yFirst.has_value());
}

TEST(DetourZones, SaveAndLoadRoundTrip) {
  TempDir dir;
  EXPECT_EQ(LoadDetourSettings(dir.str()), DetourSettings{});
  DetourSettings d;
  d.m_W_S_PositionLimitPositionDetour = 1;
  d.m_E_N_LessPosition_dY = 12.34567;
  ASSERT_TRUE(SaveDetourSettings(dir.str(), d));
  const auto back = LoadDetourSettings(dir.str());
  EXPECT_EQ(back.m_W_S_PositionLimitPositionDetour, 1);
  EXPECT_DOUBLE_EQ(back.m_E_N_LessPosition_dY, 12.3457);
}
