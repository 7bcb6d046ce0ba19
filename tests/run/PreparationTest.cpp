// Turning pick records into part jobs, the pick target of a feeder number
// and the place point arithmetic, on a feeder table without the machine.
#include <gtest/gtest.h>

#include "core/MachineState.h"
#include "feeder/FeederNames.h"
#include "job/BoardGeometry.h"
#include "link/MotionSettings.h"
#include "platform/MessageService.h"
#include "run/FeederPickTarget.h"
#include "run/MachineSteps.h"
#include "run/PickPlacePreparation.h"
#include "run/RunState.h"
#include "run/StrategySettings.h"

namespace {

using smt::feeder::FeederCells;
using smt::feeder::FeederRow;
using namespace smt::run;

FeederCells Row(const std::string& number, const std::string& mode = "集中飞达") {
  FeederCells r;
  r[smt::feeder::kCellNumber] = number;
  r[smt::feeder::kCellPackage] = "0402";
  r[smt::feeder::kCellX] = "10";
  r[smt::feeder::kCellY] = "-20";
  r[smt::feeder::kCellHead] = "1";
  r[smt::feeder::kCellCamera] = "Yes/Camera 2";
  r[smt::feeder::kCellFly] = "Yes/60/85";
  r[smt::feeder::kCellFeedMode] = mode;
  r[smt::feeder::kCellFeedCount] = "0";
  r[smt::feeder::kCellAngle] = "90.7";
  return r;
}

class Preparation : public ::testing::Test {
 protected:
  void SetUp() override {
    table.AddGroup("A", "");
    table.SetCurrentName("A");
    table.ShowGroupInList("A", smt::feeder::BuiltInNameTables(0));
    Services(smt::CurrentMachine()) = {};
    smt::CurrentMachine().steps.xPulsePerMm = smt::CurrentMachine().steps.yPulsePerMm = 100;
    auto m = smt::link::GetMotionSettings(smt::CurrentMachine());
    m.xLimit = 100000;
    m.yLimit = -100000;
    smt::link::SetMotionSettings(smt::CurrentMachine(), m);
    for (auto& p : smt::CurrentMachine().Part<smt::run::HeadRecords>().pick) p = {};
    for (auto& p : smt::CurrentMachine().Part<smt::run::HeadRecords>().place) p = {};
    SmtStrategy st;
    st.m_HeaderSelect = 0;
    SetStrategy(smt::CurrentMachine(), st);
    smt::CurrentMachine().machineType = 0;
    smt::CurrentMachine().headCount = 1;
    smt::CurrentMachine().run.autoChangeNozzle = false;
  }
  void TearDown() override {
    Services(smt::CurrentMachine()) = {};
    SetStrategy(smt::CurrentMachine(), {});
    smt::link::SetMotionSettings(smt::CurrentMachine(), {});
    smt::CurrentMachine().steps.xPulsePerMm = smt::CurrentMachine().steps.yPulsePerMm = 1;
    smt::CurrentMachine().machineType = 0;
    smt::CurrentMachine().headCount = 1;
  }
  void Rows(std::vector<FeederRow> rows, std::vector<smt::feeder::TrayRecord> trays = {}) {
    if (trays.empty()) trays.assign(rows.size(), smt::feeder::TrayRecord::Default());
    table.ReplaceCurrentRows(std::move(rows), std::move(trays));
  }
  // Fills head 1's pick record for `number` and prepares its part job.
  HeadPlaceState Prepare(const std::string& number) {
    EXPECT_EQ(CalcFeederPickTarget(smt::CurrentMachine(), 1, 0, number), 1);
    HeadPlaceState p;
    EXPECT_TRUE(PreparePickPlace(smt::CurrentMachine(), table.CurrentIndex(), p, 1));
    return p;
  }
  std::string Cell(int row, int cell) { return table.CurrentRow(row)->Cell(static_cast<size_t>(cell)); }

  smt::platform::ScopedRecordingMessages messages;
  smt::feeder::FeederTable& table = smt::run::Feeders(smt::CurrentMachine());  // the test machine's
};

TEST_F(Preparation, FillsVisionLightAndFeederValues) {
  Rows({Row("W1")});
  const auto p = Prepare("W1");
  EXPECT_EQ(p.visionMode, 2);  // fly centring wins over plain centring
  EXPECT_EQ(p.visionCamera, 2);
  EXPECT_EQ(p.lightContrast, 60);
  EXPECT_EQ(p.lightBrightness, 85);
  EXPECT_EQ(p.feederAngle, 90.0);  // fraction dropped
  EXPECT_EQ(p.packageName, "0402");
  EXPECT_EQ(p.xyTolerance, -1);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::run::HeadRecords>().pick[0].feedSide, 1);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::run::HeadRecords>().pick[0].headTarget, 1);
}

TEST_F(Preparation, TapeOf0402AlternatesItsTwoPockets) {
  Rows({Row("W1", "0402")});
  const auto first = Prepare("W1");
  EXPECT_DOUBLE_EQ(first.pickX, 8.0);  // west bank: X - 2.0
  EXPECT_EQ(Cell(0, smt::feeder::kCellFeedCount), "1");
  const auto second = Prepare("W1");
  EXPECT_DOUBLE_EQ(second.pickX, 10.0);
  EXPECT_EQ(Cell(0, smt::feeder::kCellFeedCount), "0");
}

TEST_F(Preparation, TrayStepsToTheNextCellAndMarksTheLastUsedUp) {
  smt::feeder::TrayRecord t = smt::feeder::TrayRecord::Default();
  t.rows = 2;
  t.cols = 3;
  t.rowSerial = 1;
  t.colSerial = 2;
  t.rowSpace = 5;
  t.colSpace = 4;
  Rows({Row("G1", "托盘")}, {t});
  const auto p = Prepare("G1");
  EXPECT_DOUBLE_EQ(p.pickX, 10 + 2 * 4.0);
  EXPECT_DOUBLE_EQ(p.pickY, -20 + 1 * 5.0);
  EXPECT_EQ(table.CurrentTray(0)->rowSerial, -1);
}

struct CellCase {
  int cell;
  std::string text;
  int recognitionType;
  double vacuumOffHeight;
};

class PreparationCells : public Preparation, public ::testing::WithParamInterface<CellCase> {};

TEST_P(PreparationCells, ReadsRecognitionTypeAndVacuumOffHeight) {
  const auto c = GetParam();
  auto r = Row("W1");
  r[static_cast<size_t>(c.cell)] = c.text;
  Rows({r});
  const auto p = Prepare("W1");
  EXPECT_EQ(p.recognitionType, c.recognitionType);
  EXPECT_DOUBLE_EQ(p.vacuumOffHeight - p.placeHeight, c.vacuumOffHeight);
}

INSTANTIATE_TEST_SUITE_P(Cells, PreparationCells,
                         ::testing::Values(CellCase{smt::feeder::kCellFeature, "07:IC", 7, 0.0},
                                           CellCase{smt::feeder::kCellFeature, "13:special", 13, 0.0},
                                           CellCase{smt::feeder::kCellFeature, "14:unknown", 0, 0.0},
                                           CellCase{smt::feeder::kCellEarlyVacuum, "0.5", 0, 0.5}));

TEST_F(Preparation, FeederNumberFaultsAreRefusedWithTheirMessages) {
  Rows({Row("W1"), Row("X2"), Row("W3", "不知道")});
  EXPECT_EQ(CalcFeederPickTarget(smt::CurrentMachine(), 1, 0, "W9"), 0);
  EXPECT_EQ(CalcFeederPickTarget(smt::CurrentMachine(), 1, 0, "X2"), 0);
  EXPECT_EQ(CalcFeederPickTarget(smt::CurrentMachine(), 1, 0, "W3"), 0);
  EXPECT_EQ(CalcFeederPickTarget(smt::CurrentMachine(), 11, 0, "W1"), 0);
  EXPECT_EQ(messages.service.Texts(),
            (std::vector<std::string>{kFeedIndexNoFind, kFeedDirectionNoFind, kFeedModeNoFind, kWhichFeedNoFind}));
}

TEST_F(Preparation, PickPointOutsideTheTravelReportsTwo) {
  auto r = Row("W1");
  r[smt::feeder::kCellX] = "2000";  // 200000 steps, beyond X 100000
  Rows({r});
  EXPECT_EQ(CalcFeederPickTarget(smt::CurrentMachine(), 1, 0, "W1"), 2);
  EXPECT_EQ(CalcFeederPickTarget(smt::CurrentMachine(), 10, 0, "W1"), 1);  // the single-step record is not checked
}

TEST_F(Preparation, TwoHeadsDifferentNozzlesRouteByTheFeedersHead) {
  smt::CurrentMachine().machineType = 2;
  smt::CurrentMachine().headCount = 2;
  SmtStrategy st;
  st.m_HeaderSelect = 0;
  SetStrategy(smt::CurrentMachine(), st);
  auto r = Row("W1");
  r[smt::feeder::kCellHead] = "2";
  Rows({r});
  EXPECT_EQ(CalcFeederPickTarget(smt::CurrentMachine(), 1, 0, "W1"), 1);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::run::HeadRecords>().pick[0].headTarget, 2);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::run::HeadRecords>().pick[0].nozzleTarget, 2);
}

TEST_F(Preparation, FourHeadsRefuseANozzleAlreadyTakenThisCycle) {
  smt::CurrentMachine().machineType = 3;
  smt::CurrentMachine().headCount = 4;
  SmtStrategy st;
  st.m_HeaderSelect = 4;
  SetStrategy(smt::CurrentMachine(), st);
  auto a = Row("W1"), b = Row("W2");
  a[smt::feeder::kCellHead] = "3";
  b[smt::feeder::kCellHead] = "3";
  Rows({a, b});
  EXPECT_EQ(CalcFeederPickTarget(smt::CurrentMachine(), 1, 0, "W1"), 1);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::run::HeadRecords>().pick[0].headTarget, 3);
  EXPECT_EQ(CalcFeederPickTarget(smt::CurrentMachine(), 2, 0, "W2"), 0);
}

TEST_F(Preparation, CamerasToldApartRefuseAMixedCycle) {
  smt::CurrentMachine().machineType = 2;
  SmtStrategy st;
  st.m_HeaderSelect = 1;
  st.m_Camera = 1;
  SetStrategy(smt::CurrentMachine(), st);
  auto a = Row("W1"), b = Row("W2");
  b[smt::feeder::kCellCamera] = "Yes/Camera 1";
  Rows({a, b});
  EXPECT_EQ(CalcFeederPickTarget(smt::CurrentMachine(), 1, 0, "W1"), 1);
  EXPECT_EQ(CalcFeederPickTarget(smt::CurrentMachine(), 2, 0, "W2"), 0);
}

TEST(Rotation, StaysWithinAHalfTurn) {
  EXPECT_DOUBLE_EQ(NormalizeRotation(190), -170);
  EXPECT_DOUBLE_EQ(NormalizeRotation(540), 180);
  EXPECT_DOUBLE_EQ(NormalizeRotation(-190), 170);
  // Every whole turn comes off, not just one.
  EXPECT_DOUBLE_EQ(NormalizeRotation(900), 180);
  EXPECT_DOUBLE_EQ(NormalizeRotation(-900), -180);
  EXPECT_DOUBLE_EQ(NormalizeRotation(730), 10);
  EXPECT_DOUBLE_EQ(NormalizeRotation(180), 180);
}

class PlacePointTest : public ::testing::Test {
 protected:
  void SetUp() override {
    smt::CurrentMachine().steps.xPulsePerMm = smt::CurrentMachine().steps.yPulsePerMm = 100;
    auto& f = Frame(smt::CurrentMachine());
    f = {};
    f.originX = 5000;
    f.originY = -6000;
    f.mark1mmX = 1;
    f.mark1mmY = -1;
    f.mark1X = 5100;
    f.mark1Y = -6100;
    smt::CurrentMachine().correction.mark1DevStepsX = 30;
    smt::CurrentMachine().correction.mark1DevStepsY = -20;
    smt::CurrentMachine().correction.boardRotation = 0.0;
  }
  void TearDown() override {
    Frame(smt::CurrentMachine()) = {};
    smt::CurrentMachine().steps.xPulsePerMm = smt::CurrentMachine().steps.yPulsePerMm = 1;
    smt::CurrentMachine().correction.mark1DevStepsX = smt::CurrentMachine().correction.mark1DevStepsY = 0;
    smt::CurrentMachine().correction.boardRotation = 0.0;
  }
};

TEST_F(PlacePointTest, MarksOffSingleMarkAndTwoMarks) {
  EXPECT_EQ(PlacePoint(smt::CurrentMachine(), 2, -3, 1), (std::pair<int32_t, int32_t>{5200, -6300}));
  Frame(smt::CurrentMachine()).marksOn = true;  // Mark 2 at 0/0: one mark
  EXPECT_EQ(PlacePoint(smt::CurrentMachine(), 2, -3, 1), (std::pair<int32_t, int32_t>{5230, -6320}));
  Frame(smt::CurrentMachine()).mark2mmX = 30;
  Frame(smt::CurrentMachine()).mark2mmY = -20;
  EXPECT_EQ(PlacePoint(smt::CurrentMachine(), 2, -3, 1), (std::pair<int32_t, int32_t>{5230, -6320}));
  // A quarter turn of the board turns the vector from Mark 1 (1, -2) to (2, 1).
  smt::CurrentMachine().correction.boardRotation = 90.0;
  const auto p = PlacePoint(smt::CurrentMachine(), 2, -3, 1);
  EXPECT_NEAR(p.first, 5100 + 30 + 200, 1);
  EXPECT_NEAR(p.second, -6100 - 20 + 100, 1);
}

}  // namespace
