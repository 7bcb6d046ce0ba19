// The camera table, its settings section and the editor's rules.
#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "platform/SettingsSection.h"
#include "vision/CameraEditValues.h"
#include "vision/CameraListSettings.h"
#include "vision/CameraTable.h"
#include "vision/VisionGlobals.h"

using namespace smt::vision;

namespace {
std::string Text(const std::vector<std::string>& cells) {
  std::string s;
  for (const auto& c : cells) s += c + "\t";
  return s;
}
CameraRow Row(const std::string& name, double x, double y) {
  CameraEditValues v;
  v.name = name;
  v.x = x;
  v.y = y;
  v.visualZoom = 10;
  v.visualSize = 4;
  v.contrast = 100;
  v.brightness = 120;
  v.correctionTimes = 3;
  v.precisionXY = 2;
  v.precisionA = 5;
  v.collectTime = 50;
  return CameraRow(v);
}
}  // namespace

TEST(CameraTable, OlderLayoutsMoveTheirCellsIntoPlace) {
  struct Case {
    int heads;
  };
  for (int heads : {1, 4}) {
    std::vector<std::string> cells{"Camera 1", "10", "-20"};
    for (int k = 0; k < heads; ++k) {
      cells.push_back("0.1" + std::to_string(k));
      cells.push_back("0.2" + std::to_string(k));
    }
    for (const char* c : {"1.5", "12.5", "3.0", "4.0", "90", "91", "5", "6", "7", "40"}) cells.push_back(c);
    CameraTable t;
    t.LoadTable({Text(cells)});
    ASSERT_EQ(t.Count(), 1) << heads;
    const CameraCells& r = t.Rows()[0].Cells();
    EXPECT_EQ(r[0], "Camera 1");
    EXPECT_EQ(r[3], "0.10");
    EXPECT_EQ(r[2 + 2 * heads], "0.2" + std::to_string(heads - 1));
    if (heads == 1) {
      EXPECT_EQ(r[5], "");  // head 2 empty
    }
    EXPECT_EQ(r[19], "1.5");
    EXPECT_EQ(r[20], "12.5");
    EXPECT_EQ(r[21], "4.0") << "the later box cell replaces the earlier one";
    EXPECT_EQ(r[22], "90");
    EXPECT_EQ(r[27], "40");
  }
}

TEST(CameraTable, CurrentLayoutKeepsTwentyEightCellsAndRoundTrips) {
  std::vector<std::string> cells;
  for (int i = 0; i < 30; ++i) cells.push_back(std::to_string(i));
  CameraTable t;
  t.LoadTable({Text(cells) + "tail"});
  EXPECT_EQ(t.Rows()[0].Cells()[27], "27");
  CameraTable u;
  u.LoadTable(t.SaveTable());
  EXPECT_EQ(u.Rows(), t.Rows());
}

TEST(CameraTable, NewNamesAndRecordsFollowTheRows) {
  CameraTable t;
  EXPECT_EQ(t.NewCameraName(), "Camera 1");
  t.AppendRow(Row("Camera 2", 12.3456, -12.3456));
  EXPECT_EQ(t.NewCameraName(), "Camera 1");
  t.RebuildRecords(1000, 1000);
  EXPECT_EQ(t.m_Camera_first.CameraNumber, 0);
  EXPECT_EQ(t.m_Camera_second.CameraNumber, 2);
  EXPECT_EQ(t.m_Camera_second.CameraPulse_X, 12345);
  EXPECT_EQ(t.m_Camera_second.CameraPulse_Y, -12345) << "truncated toward zero";
  EXPECT_EQ(t.m_Camera_second.Light_Contrast, 100);
  EXPECT_EQ(t.m_Camera_second.CollectTime, 50);
  CameraValues renamed = t.Row(0).Values();
  renamed.name = "Camera 1";
  ASSERT_TRUE(t.ModifyRow(0, renamed, 1000, 1000));
  EXPECT_EQ(t.NewCameraName(), "Camera 2");
  t.RebuildRecords(1000, 1000);
  EXPECT_EQ(t.m_Camera_first.CameraNumber, 1);
  EXPECT_EQ(t.m_Camera_second, CameraRecord{});
  t.AppendRow(Row("Camera 2", 1, 1));
  EXPECT_EQ(t.NewCameraName(), "");
  // Modify of row 1 changes the second record at once.
  ASSERT_TRUE(t.ModifyRow(1, Row("Camera 2", 2.5, -1).Values(), 100, 100));
  EXPECT_EQ(t.m_Camera_second.CameraPulse_X, 250);
  EXPECT_EQ(t.m_Camera_second.CameraNumber, 2);
}

TEST(CameraTable, DeleteAtARememberedIndexAndShift) {
  CameraTable t;
  t.AppendRow(Row("Camera 1", 1.5, -2));
  t.AppendRow(Row("Camera 2", 3, -4));
  EXPECT_TRUE(t.DeleteRow(0));
  EXPECT_EQ(t.Rows()[0].Name(), "Camera 2");
  EXPECT_TRUE(t.DeleteRow(0));
  EXPECT_FALSE(t.DeleteRow(0));
  CameraCells cells = Row("Camera 1", 1.5, -2).Cells();
  cells[1] = "1.5";
  t.AppendRow(CameraRow(cells, "config_camera.fig", 1));
  t.m_Camera_first.Light_Contrast = 77;
  t.ShiftPositions(0, 0, 1000, 1000);
  EXPECT_EQ(t.Rows()[0].Cells()[1], "1.5") << "a position that stays keeps its spelling";
  EXPECT_EQ(t.m_Camera_first.CameraPulse_X, 1500);
  EXPECT_EQ(t.m_Camera_first.Light_Contrast, 77) << "only the camera steps are recomputed";
  t.ShiftPositions(1, 0, 1000, 1000);
  EXPECT_EQ(t.Rows()[0].Cells()[1], "2.5000");
  EXPECT_EQ(t.Rows()[0].Cells()[2], Row("Camera 1", 1.5, -2).Cells()[2]);
  EXPECT_EQ(t.m_Camera_first.CameraPulse_X, 2500);
}

TEST(CameraTable, FeederIconsByCameraCount) {
  const std::vector<std::string> feeders{"Camera 1", "Camera 2", ""};
  EXPECT_EQ(FeedersWithoutVisionCamera({}, feeders), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(FeedersWithoutVisionCamera({"Camera 1"}, feeders), (std::vector<int>{1, 2}));
  EXPECT_TRUE(FeedersWithoutVisionCamera({"Camera 1", "Camera 2"}, feeders).empty());
}

TEST(CameraListSettingsTest, FixUpsLegacyTriggerAndSave) {
  smt::test::TempDir dir;
  dir.Write("config.ini",
            "[CameraListConfig]\r\nm_BaseDiameter=3\r\nm_iTriggerInAdvance=50\r\nm_iTriggerPulse6=9\r\n"
            "m_iFlyStartSpeed=0\r\nm_VisualCamera2=1\r\nm_Camera_first.CameraPulse_X=123\r\n");
  CameraListSettings s;
  CameraRecord a, b;
  LoadCameraListConfig(dir.str(), s, a, b);
  EXPECT_DOUBLE_EQ(s.m_BaseDiameter, 5.0);
  EXPECT_EQ(s.m_iFlyStartSpeed, 1);
  EXPECT_EQ(s.m_iFlyNormalSpeed, 1);
  EXPECT_EQ(s.m_iTriggerPulse, (std::array<int, 8>{50, 50, 50, 50, 0, 0, 0, 0}));
  EXPECT_EQ(a.CameraPulse_X, 123);
  smt::CurrentMachine().camera.highSpeedCamera = 0;
  smt::CurrentMachine().camera.highSpeedVisualCamera2 = false;
  s.m_HighSpeedCamera = 1;
  ASSERT_TRUE(SaveCameraListConfig(smt::CurrentMachine(), dir.str(), s, a, b));
  EXPECT_TRUE(smt::CurrentMachine().camera.highSpeedVisualCamera2.load());
  EXPECT_EQ(smt::CurrentMachine().camera.highSpeedCamera.load(), 0) << "the mode changes only at the next start";
  smt::platform::SettingsSection sec(smt::platform::ConfigPath(dir.str()), "CameraListConfig");
  EXPECT_EQ(sec.ReadText("m_iTriggerPulse8"), "0");
  EXPECT_EQ(sec.ReadText("m_iTriggerInAdvance"), "50");
  CameraListSettings again;
  LoadCameraListConfig(dir.str(), again, a, b);
  EXPECT_EQ(again, s);
}

TEST(CameraListSettingsTest, CaptureButtonsAndActivation) {
  EXPECT_EQ(CaptureBaseX(100000, 12.5, 1000), "112.5001");
  EXPECT_EQ(CaptureBaseZ(0, 800), "0.0000");
  EXPECT_EQ(CaptureBaseY(-5000, -1.0, 1000), "-6.0001");
  EXPECT_EQ(CaptureBaseX(1000, 0, 0), "0.0000") << "no scale: no division by zero";
  EXPECT_EQ(FlyEditHeadsForMachineType(3), 4);
  EXPECT_EQ(FlyEditHeadsForMachineType(10), 2);
  EXPECT_EQ(FlyEditHeadsForMachineType(7), 8);
  EXPECT_EQ(FlyEditHeadsForMachineType(0), 0);
}

TEST(CameraEditRules, BoxChecksRefusalsAndCapture) {
  EXPECT_FALSE(VisualBoxTooLarge(10, 48, 480));
  EXPECT_TRUE(VisualBoxTooLarge(10, 48.1, 480));
  EXPECT_TRUE(BoxCheckAppliesWhileTyping(0, 5, true, true, true));
  EXPECT_FALSE(BoxCheckAppliesWhileTyping(1, 1, false, true, false));
  EXPECT_TRUE(BoxCheckAppliesWhileTyping(1, 1, true, false, true));
  EXPECT_TRUE(BoxCheckAppliesAtOk(1, 1));
  CameraEditValues v;
  v.name = "Camera 2";
  v.visualZoom = 10;
  v.visualSize = 48.1;
  EXPECT_EQ(CameraEditRefusal(v, {"Camera 1", "Camera 2"}, 1, true, 480), 3);
  EXPECT_EQ(CameraEditRefusal(v, {"Camera 1", "Camera 2"}, -1, true, 480), 2);
  v.name.clear();
  EXPECT_EQ(CameraEditRefusal(v, {}, -1, true, 480), 1);
  EXPECT_EQ(CapturePositionText(-12345, 1000), "-12.3451");
  EXPECT_EQ(PrecisionText(5, 200), "0.0250");
  RangeFailure f;
  v.visualZoom = 10;
  v.visualSize = 4;
  v.collectTime = 10;
  EXPECT_FALSE(CheckEditRanges(v, &f));
  EXPECT_EQ(f.field, "collectTime");
}
