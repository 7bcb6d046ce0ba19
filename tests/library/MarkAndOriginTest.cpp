// The mark library and editor, the two-mark calculator and the origin update.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

#include "core/Machine.h"
#include "LibraryTestSupport.h"
#include "core/MachineState.h"
#include "library/LibraryRows.h"
#include "library/CDialogDoubleMarkTest.h"
#include "library/CDialogMarkList.h"
#include "library/CDialogOriginUpdate.h"
#include "library/DoubleMarkTest.h"
#include "library/MarkLibrary.h"
#include "library/NozzleLibrary.h"
#include "library/OriginUpdate.h"
#include "link/LinkRuntime.h"
#include "link/MotionGlobals.h"
#include "link/MotionSettings.h"
#include "platform/ListFile.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"

using namespace smt::library;

namespace {

MarkEditFields Mark(const std::string& name, double x) {
  MarkEditFields f;
  f.name = name;
  f.mark1X = x;
  f.allowedDeviation = 20;
  f.viewBox = 3;
  f.diameter = 1;
  f.precision = 50;
  f.contrast = 100;
  f.brightness = 90;
  f.captureTime = 100;
  f.repeats = 2;
  return f;
}

class MarkDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = librarytest::ScratchDir("mark");
    env.appDir = dir.string();
    env.frameRows = &frameRows;
    lib.m_MarkRows = {MakeMarkRow(Mark("M1", 10)), MakeMarkRow(Mark("M2", 2)), MakeMarkRow(Mark("m1", 3))};
    librarytest::UseScales(1000, 1000, 100);
  }
  std::filesystem::path dir;
  std::vector<std::string> frameRows;
  CDialogMarkList::Environment env;
  MarkLibrary lib;
  smt::platform::ScopedRecordingMessages messages;
};

}  // namespace

TEST(MarkRows, RowFormatsAndTheRunsLookUpByExactName) {
  MarkEditFields f = Mark("Fid", 1.5);
  f.colourReversal = true;
  const MarkRow row = MakeMarkRow(f);
  EXPECT_EQ(JoinRow(row), "Fid\t1.5000\t0.0000\t0.0000\t0.0000\t20\t3.0000\t1.0000\t50\t100\t90\t100\t2\tYes\t0.0000\t0.0000\t");
  MarkLibrary lib;
  lib.LoadTable({JoinRow(row), "fid\t9\t"});
  EXPECT_EQ(lib.m_MarkRows[1][1], "9");
  EXPECT_EQ(lib.Find("fid")->at(1), "9");  // letter case makes another mark
  EXPECT_EQ(lib.Find("Fid")->at(13), "Yes");
  EXPECT_FALSE(lib.Find("F").has_value());
  EXPECT_TRUE(ReadMarkRow(row).colourReversal);
}

TEST_F(MarkDialogs, ModifyKeepsItsOwnNameRefusesAnotherAndAddStartsFromTheLastValues) {
  CDialogMarkList d(lib, smt::CurrentMachine(), env);
  d.OnSelectRow(0);
  d.runEditor = [&](CDialogMarkEdit& e) {
    EXPECT_TRUE(e.TryAccept()) << "own name";
    return true;
  };
  d.OnModify();
  EXPECT_TRUE(messages.service.Texts().empty());
  d.OnSelectRow(1);
  d.runEditor = [&](CDialogMarkEdit& e) {
    e.Edit("name")->setText("M1");
    EXPECT_FALSE(e.TryAccept());
    e.Edit("name")->setText("m2");
    e.Edit("viewBox")->setText("49");
    EXPECT_FALSE(e.TryAccept());
    e.Edit("viewBox")->setText("4.5");
    return e.TryAccept();
  };
  d.OnModify();
  EXPECT_EQ(messages.service.Texts(),
            (std::vector<std::string>{"元件名称已存在，请修改 !", "“视框尺寸”：请输入一个介于 0 和 48 之间的数。"}));
  EXPECT_EQ(lib.m_MarkRows[1][0], "m2");
  EXPECT_EQ(lib.m_MarkRows[1][6], "4.5000");
  // Add opens with the modified row's values and appends.
  d.runEditor = [&](CDialogMarkEdit& e) {
    EXPECT_EQ(e.Edit("viewBox")->text().toStdString(), "4.5000");
    e.Edit("name")->setText("M3");
    return e.TryAccept();
  };
  d.OnAdd();
  ASSERT_EQ(lib.m_MarkRows.size(), 4u);
  EXPECT_EQ(d.m_nSelectedRow, -1);
  d.OnDelete();  // no selection: nothing
  EXPECT_EQ(lib.m_MarkRows.size(), 4u);
  // Sorting by Mark1-X is by text.
  d.OnColumnClick(1);
  EXPECT_EQ(lib.m_MarkRows[0][1], "10.0000");
  EXPECT_EQ(lib.m_MarkRows[1][1], "2.0000");
  ASSERT_TRUE(d.TryAccept());
  EXPECT_EQ(frameRows, lib.BuildRowStrings());
  EXPECT_EQ(smt::platform::ReadListFile(dir / kMarkFileName, false).rows, frameRows);
}

TEST_F(MarkDialogs, CapturesFromTheRelativeZeroAndTheAllowedDeviationInMillimetres) {
  auto& store = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine;
  store.m_ZeroPoint[0] = 5000;
  store.m_ZeroPoint[1] = -2000;
  store.m_ZeroPoint[2] = 100;
  store.m_ZeroPoint[3] = 200;
  smt::CurrentMachine().curX = 5000;
  smt::CurrentMachine().curY = -2001;
  smt::CurrentMachine().machineType = 2;
  MarkEditFields f = Mark("A", 0);
  CDialogMarkEdit e(f, smt::CurrentMachine(), {});
  e.OnCaptureX();
  e.OnCaptureY();
  EXPECT_EQ(e.Edit("mark1X")->text().toStdString(), "0.0000");
  EXPECT_EQ(e.Edit("mark1Y")->text().toStdString(), "-0.0011");
  EXPECT_EQ(e.AllowedMm()->text().toStdString(), "0.0200");
  e.Edit("allowed")->setText("55");
  EXPECT_EQ(e.AllowedMm()->text().toStdString(), "0.0550");
  // The dual-platform machine captures the platform the jog panel drives.
  smt::CurrentMachine().machineType = 4;
  smt::link::RuntimeOf(smt::CurrentMachine()).headGroup = 2;
  smt::CurrentMachine().motion.curPlatform[0] = 1100;
  smt::CurrentMachine().motion.curPlatform[1] = 1200;
  e.OnCaptureX();
  e.OnCaptureY();
  EXPECT_EQ(e.Edit("mark1X")->text().toStdString(), "1.0001");
  EXPECT_EQ(e.Edit("mark1Y")->text().toStdString(), "1.0001");
  smt::link::RuntimeOf(smt::CurrentMachine()).headGroup = 1;
  smt::CurrentMachine().machineType = 0;
  smt::CurrentMachine().curX = smt::CurrentMachine().curY = 0;
  smt::CurrentMachine().motion.curPlatform[0] = smt::CurrentMachine().motion.curPlatform[1] = 0;
  for (auto& z : store.m_ZeroPoint) z = 0;
}

TEST(DoubleMarkTest, CorrectionCases) {
  struct Case {
    const char* name;
    double m1x, m1y, m2x, m2y, px, py, o1x, o1y, o2x, o2y;
    double aOld, aNew, x, y;
  } cases[] = {
      {"small turn", 0, 0, 100, 0, 50, 0, 0, 0, 0, 1, 0, 0.5729, 49.9975, 0.5000},
      {"equal angles shift by Mark 1 only", 10, 10, 110, 10, 40, 30, 0.2, -0.1, 0.2, -0.1, 0, 0, 40.2, 29.9},
      {"part below Mark 1 turns as the point at -90", 0, 0, 100, 0, 0, -10, 0, 0, 0, 1, 0, 0.5729, 0.1000, -9.9995},
      {"part left of Mark 1", 0, 0, 100, 0, -10, 0, 0, 0, 0, 1, 0, 0.5729, -9.9995, -0.1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DoubleMarkTestFields f;
    f.m_Mark1_X = c.m1x;
    f.m_Mark1_Y = c.m1y;
    f.m_Mark2_X = c.m2x;
    f.m_Mark2_Y = c.m2y;
    f.m_Coordinate_X = c.px;
    f.m_Coordinate_Y = c.py;
    f.m_SetMark1Offset_X = c.o1x;
    f.m_SetMark1Offset_Y = c.o1y;
    f.m_SetMark2Offset_X = c.o2x;
    f.m_SetMark2Offset_Y = c.o2y;
    const auto r = RunDoubleMarkTest(f);
    ASSERT_TRUE(r.has_value());
    EXPECT_NEAR(r->angleOld, c.aOld, 5e-5);
    EXPECT_NEAR(r->angleNew, c.aNew, 5e-5);
    EXPECT_NEAR(r->partX, c.x, 5e-5);
    EXPECT_NEAR(r->partY, c.y, 5e-5);
  }
  EXPECT_DOUBLE_EQ(MarkPairAngle(0, -3), 90.0);
  EXPECT_DOUBLE_EQ(MarkPairAngle(0, 0), 0.0);
}

TEST(DoubleMarkTest, MarksFiveMillimetresApartRunAndCloserOnesAreRefused) {
  const auto dir = librarytest::ScratchDir("twomark");
  smt::platform::ScopedRecordingMessages messages;
  DoubleMarkTestFields f;
  f.m_Mark2_X = 5.0;
  f.m_Coordinate_X = 1;
  CDialogDoubleMarkTest d(f, dir.string(), "Chinese");
  EXPECT_TRUE(d.OnTest());
  d.Edit("m_Mark2_X")->setText("4.9999");
  d.Edit("m_GetCoordinate_X")->setText("7.0000");
  EXPECT_FALSE(d.OnTest());
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{kMarksTooClose});
  EXPECT_EQ(d.Edit("m_GetCoordinate_X")->text().toStdString(), "7.0000");
  d.Edit("m_Mark1_Y")->setText("abc");
  EXPECT_FALSE(d.TryAccept());
  d.Edit("m_Mark1_Y")->setText("2");
  ASSERT_TRUE(d.TryAccept());
  const DoubleMarkTestFields back = LoadDoubleMarkTest(dir.string());
  EXPECT_DOUBLE_EQ(back.m_Mark1_Y, 2.0);
  EXPECT_DOUBLE_EQ(back.m_GetCoordinate_X, 7.0);
}

TEST(OriginUpdate, HeadMaskByMachineType) {
  std::array<int, kAxisSwitchCount> axes{};
  axes[6] = 1;  // the switch labelled Z3 on the eight-head machine
  EXPECT_EQ(HeadMaskOfAxes(7, axes), 0x04);
  EXPECT_EQ(HeadMaskOfAxes(2, axes), 0x00);
  axes.fill(1);
  EXPECT_EQ(HeadMaskOfAxes(2, axes), 0x03);
  EXPECT_EQ(HeadMaskOfAxes(8, axes), 0xFF);
  EXPECT_EQ(HeadMaskOfAxes(9, axes), 0x00);
}

TEST(OriginUpdate, SettingsKeepAxisSwitchesOnWhenMissingOrEmptyAndStartUpAddsBits) {
  const auto dir = librarytest::ScratchDir("origin");
  const smt::platform::SettingsSection s(smt::platform::ConfigPath(dir.string()), "OriginUpdateConfig");
  s.WriteText("m_02_Z1", "");
  s.WriteText("m_03_Z2", "0");
  s.WriteText("m_OriginOffsetX", "0.25");
  const OriginUpdateSettings o = LoadOriginUpdate(dir.string());
  EXPECT_EQ(o.axes[2], 1);
  EXPECT_EQ(o.axes[3], 0);
  EXPECT_EQ(o.axes[15], 1);
  EXPECT_DOUBLE_EQ(o.m_OriginOffsetX, 0.25);
  smt::link::RuntimeOf(smt::CurrentMachine()).headMask = 0x80;
  smt::CurrentMachine().machineType = 2;
  LoadOriginUpdateAtStartUp(smt::CurrentMachine(), dir.string());
  EXPECT_EQ(smt::link::RuntimeOf(smt::CurrentMachine()).headMask.load(), 0x81) << "the start-up load adds bits";
}

TEST(OriginUpdate, OkShiftsOnlyTheTickedGroupsAndRebuildsTheMask) {
  const auto dir = librarytest::ScratchDir("originok");
  smt::platform::ScopedRecordingMessages messages;
  NozzleLibrary& lib = TheNozzleLibrary(smt::CurrentMachine());
  lib.ReadRows({{"1", "10", "-20", "-1", "11", "-21", "-3", "50", "x"}});
  std::vector<std::string> frameRows;
  std::vector<std::string> calls;
  OriginUpdateSettings settings;
  CDialogOriginUpdate::Environment env;
  env.appDir = dir.string();
  env.machineType = 2;
  env.targets = LibraryOriginTargets(smt::CurrentMachine(), &frameRows, nullptr);
  env.targets.shiftCurrentFeeders = [&](double, double) { calls.push_back("feed"); };
  env.targets.shiftPcbOrigin = [&](double, double) { calls.push_back("pcb"); };
  env.targets.shiftCameras = [&](double, double) { calls.push_back("camera"); };
  smt::link::RuntimeOf(smt::CurrentMachine()).headMask = 0xF0;
  {
    CDialogOriginUpdate d(settings, env);
    d.OffsetX()->setText("1.5");
    EXPECT_FALSE(d.TryAccept());
    EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"“复位原点坐标偏移量X”：请输入一个介于 -1 和 1 之间的数。"});
    EXPECT_EQ(smt::link::RuntimeOf(smt::CurrentMachine()).headMask.load(), 0xF0) << "nothing applied";
    d.OffsetX()->setText("0.1");
    d.OffsetY()->setText("-0.05");
    d.Update("m_UpdateNozzle")->setChecked(true);
    EXPECT_FALSE(d.Axis(3)->isEnabled());
    d.OnEnable();
    d.Axis(3)->setChecked(false);
    ASSERT_TRUE(d.TryAccept());
  }
  EXPECT_TRUE(calls.empty());
  const NozzleRow expected{"1", "10.1000", "-20.0500", "-1", "11.1000", "-21.0500", "-3", "50", "x"};
  EXPECT_EQ(lib.Row(0).cells, expected);
  EXPECT_EQ(frameRows, lib.BuildRowStrings());
  EXPECT_EQ(smt::link::RuntimeOf(smt::CurrentMachine()).headMask.load(), 0x01);
  EXPECT_FALSE(smt::link::GetMotionSettings(smt::CurrentMachine()).originUpdate[3]) << "homing follows the switches";
  EXPECT_TRUE(smt::link::GetMotionSettings(smt::CurrentMachine()).originUpdate[2]);
  const OriginUpdateSettings stored = LoadOriginUpdate(dir.string());
  EXPECT_EQ(stored.m_UpdateNozzle, 1);
  EXPECT_EQ(stored.axes[3], 0);
  // The throw position moves in the machine settings and in steps.
  librarytest::UseScales(100, 100, 100);
  librarytest::UseBasic([](smt::settings::BasicSettings& b) {
    b.m_X_ThrowPosition = 20;
    b.m_Y_ThrowPosition = -30;
  });
  settings.m_UpdateNozzle = 0;
  settings.m_UpdateThrow = 1;
  settings.m_UpdateCamera = 1;
  {
    CDialogOriginUpdate d(settings, env);
    ASSERT_TRUE(d.TryAccept());
  }
  auto& store = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine;
  EXPECT_NEAR(store.Basic()->m_X_ThrowPosition, 20.1, 1e-9);
  EXPECT_NEAR(store.Basic()->m_Y_ThrowPosition, -30.05, 1e-9);
  EXPECT_EQ(store.Geometry()->table.nThrowX, 2010);
  EXPECT_EQ(calls, std::vector<std::string>{"camera"});
  lib.ReadRows({});
  smt::link::RuntimeOf(smt::CurrentMachine()).headMask = 0x01;
  smt::link::SetMotionSettings(smt::CurrentMachine(), {});
}

// The list holds each mark as its record: the editor opens the record, not
// what the widget happens to show, and an OK writes the row's own cells.
TEST_F(MarkDialogs, EditorOpensTheHeldRecordNotTheShownText) {
  CDialogMarkList d(lib, smt::CurrentMachine(), env);
  d.List()->item(1, 1)->setText("abc");
  d.OnSelectRow(1);
  bool ran = false;
  d.runEditor = [&](CDialogMarkEdit&) {
    ran = true;
    return false;
  };
  d.OnModify();
  EXPECT_TRUE(ran) << ::testing::PrintToString(messages.service.Texts());
  EXPECT_EQ(lib.editor.name, "M2");
  EXPECT_DOUBLE_EQ(lib.editor.mark1X, 2.0);
  ASSERT_TRUE(d.TryAccept());
  ASSERT_EQ(frameRows.size(), 3u);
  EXPECT_EQ(frameRows[1].find("abc"), std::string::npos) << frameRows[1];
}
