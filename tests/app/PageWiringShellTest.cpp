// Pages and panels reached through the shell as main() builds it: the
// strategy page's renumbering, dispensing view and head count, the camera
// table's head layout, pulse shift and feeder vision icons.
#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "SettingsFlowFixture.h"
#include "ShellFixture.h"
#include "ShellSimFixture.h"
#include "app/CommandIds.h"
#include "feeder/FeederTable.h"
#include "job/BoardGeometry.h"
#include "settings/CDialogSetPulse.h"
#include "vision/CDialogCameraList.h"
#include "job/CDialogPCBEdit.h"
#include "job/JobRows.h"
#include "job/PcbRecord.h"
#include "vision/CDialogSetView.h"
#include "vision/CameraDS.h"
#include "vision/VisionGlobals.h"
#include "run/CDialogSMTStrategy.h"
#include "run/StrategySettings.h"

namespace {

smt::job::ListRow Row(smt::job::RowKind kind, const std::string& number) {
  smt::job::ListRow r(smt::job::CellCount(kind));
  r.cells[0] = number;
  return r;
}

std::vector<std::string> Numbers(const std::vector<smt::job::ListRow>& rows) {
  std::vector<std::string> n;
  for (const auto& r : rows) n.push_back(r.Cell(0));
  return n;
}

// Opens the strategy page from the part list's toolbar, lets `act` work on
// it and presses OK. False when the page did not open.
bool OnStrategyPage(CDialogPartList& list, const std::function<void(CDialogSMTStrategy&)>& act) {
  bool shown = false;
  QTimer::singleShot(0, [&] {
    if (auto* d = qobject_cast<CDialogSMTStrategy*>(QApplication::activeModalWidget())) {
      shown = true;
      act(*d);
      d->accept();
    }
  });
  list.OnStrategy();
  return shown;
}

}  // namespace

class PageWiringShellTest : public ShellTest {};

TEST_F(PageWiringShellTest, StrategyPageRenumbersTheListsAndItsOkSwitchesTheDispensingViewAndHeadCount) {
  WriteConfig("[MachineSetConfig]\nMachineSet=2\n");
  CMainFrame& f = Start();
  ASSERT_EQ(smt::CurrentMachine().machineType.load(), 2);
  CDialogPartList& list = *f.view()->m_pPartList;
  auto& job = list.Job();
  using smt::job::RowKind;
  job.placementRows = {Row(RowKind::Placement, "7"), Row(RowKind::Placement, "3"), Row(RowKind::Placement, "")};
  job.dispenseRows = {Row(RowKind::Dispense, "9"), Row(RowKind::Dispense, "9")};
  job.drillRows = {Row(RowKind::Drill, "5")};
  for (auto k : {RowKind::Placement, RowKind::Dispense, RowKind::Drill}) job.NotifyRows(k);

  struct Case {
    int runMode;
    int headMode;
    bool disMode2;
    smt::job::VisibleList view;
    int heads;
  };
  const Case cases[] = {
      {1, 2, true, smt::job::VisibleList::Dispense, 2},    // "点胶"
      {5, 0, false, smt::job::VisibleList::Placement, 1},  // "相机模拟料架->元件"
      {2, 1, false, smt::job::VisibleList::Dispense, 2},   // "点胶->贴装"
      {6, 0, true, smt::job::VisibleList::Placement, 1},   // "送料运行->相机检查"
  };
  bool renumbered = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.runMode);
    smt::CurrentMachine().headCount = 8;
    ASSERT_TRUE(OnStrategyPage(list, [&](CDialogSMTStrategy& d) {
      // The page carries the second dispensing mode.
      QAbstractButton* mode2 = d.Button(1460);
      ASSERT_NE(mode2, nullptr);
      EXPECT_EQ(mode2->text().toStdString(), "点胶方式2");
      mode2->setChecked(c.disMode2);
      if (!renumbered) {
        d.Button(1141)->click();  // "重置序号"
        renumbered = true;
        EXPECT_EQ(Numbers(job.placementRows), (std::vector<std::string>{"1", "2", "3"}));
        EXPECT_EQ(Numbers(job.dispenseRows), (std::vector<std::string>{"1", "2"}));
        EXPECT_EQ(Numbers(job.drillRows), (std::vector<std::string>{"1"}));
      }
      d.Button(smt::run::RunModeIds()[static_cast<size_t>(c.runMode)])->setChecked(true);
      d.Button(smt::run::HeadModeIds()[static_cast<size_t>(c.headMode)])->setChecked(true);
    }));
    EXPECT_EQ(smt::run::Strategy(smt::CurrentMachine()).m_RunSelect, c.runMode);
    EXPECT_EQ(smt::run::Strategy(smt::CurrentMachine()).m_bDisMode2, c.disMode2 ? 1 : 0);
    EXPECT_EQ(smt::run::LoadStrategy(dir.str()).m_bDisMode2, c.disMode2 ? 1 : 0);
    EXPECT_EQ(job.visible, c.view);
    EXPECT_EQ(list.VisibleView(), c.view == smt::job::VisibleList::Dispense ? list.DispenseView() : list.PlacementView());
    EXPECT_EQ(smt::CurrentMachine().headCount.load(), c.heads);
  }
  // The renumbered list shows the new numbers.
  EXPECT_EQ(list.PlacementView()->model()->index(1, 0).data().toString().toStdString(), "2");
}

namespace {

std::string CameraRow(const std::string& name, double x, double y) {
  std::string row = name + "\t" + std::to_string(x) + "\t" + std::to_string(y) + "\t";
  for (int k = 0; k < 16; ++k) row += "0\t";
  return row + "0\t10\t5\t100\t100\t0\t0\t0\t100\t";
}

// Opens the camera table from the menu and presses its OK.
bool OkOnCameraTable(CSMTView& view) {
  bool shown = false;
  QTimer::singleShot(0, [&] {
    if (auto* d = qobject_cast<CDialogCameraList*>(QApplication::activeModalWidget())) {
      shown = true;
      d->OnOK();
      if (d->isVisible()) d->reject();
    }
  });
  view.OnCommand(smt::app::cmd::kCameraList);
  return shown;
}

smt::feeder::FeederListRow FeederWithCamera(const std::string& number, const std::string& camera) {
  smt::feeder::FeederListRow r;
  r.text[0] = number;
  r.text[12] = camera;
  r.icon[12] = 1;
  return r;
}

}  // namespace

TEST_F(PageWiringShellTest, CameraTableOkLaysOutTheHeadsAndMarksFeedersWithoutAVisionCamera) {
  WriteConfig("[SetPulseConfig]\nm_X_Pulse=100\nm_Y_Pulse=100\nm_Z_Pulse=100\nm_A_Pulse=10\n");
  smt::platform::WriteListFile(dir / "config_camera.fig", {std::nullopt, {CameraRow("Camera 1", 100, -50)}});
  CMainFrame& f = Start();
  CSMTView& v = *f.view();
  CDialogFeedList& feeders = *v.m_pFeedList;
  while (feeders.RowCount() > 0) feeders.List()->removeRow(0);
  feeders.InsertListRow(0, FeederWithCamera("1", "Camera 1"));
  feeders.InsertListRow(1, FeederWithCamera("2", "Camera 2"));
  feeders.InsertListRow(2, FeederWithCamera("3", ""));
  // At start-up the records are as last saved (none): the fly pass is at 0.
  EXPECT_EQ(smt::CurrentMachine().fly.y, 0);

  ASSERT_TRUE(OkOnCameraTable(v));
  EXPECT_EQ(v.m_pCameraList->m_Camera_first.CameraPulse_X, 10000);
  EXPECT_EQ(v.m_pCameraList->m_Camera_first.CameraPulse_Y, -5000);
  // The head layout followed the rebuilt record: the pass runs on the camera's line.
  EXPECT_EQ(smt::CurrentMachine().fly.y, -5000);
  EXPECT_EQ(smt::CurrentMachine().fly.endX, 10000 + smt::job::NozzleOffsetX(smt::CurrentMachine(), 2));
  // One camera row: feeders whose camera is another get the no-vision icon.
  EXPECT_EQ(feeders.ListRow(0).icon[12], 1);
  EXPECT_EQ(feeders.ListRow(1).icon[12], 4);
  EXPECT_EQ(feeders.ListRow(2).icon[12], 4);
}

TEST_F(PageWiringShellTest, PulseSettingsOkWorksTheCameraPositionsOutAgainInSteps) {
  WriteConfig("[SetPulseConfig]\nm_X_Pulse=100\nm_Y_Pulse=100\nm_Z_Pulse=100\nm_A_Pulse=10\n");
  smt::platform::WriteListFile(dir / "config_camera.fig",
                               {std::nullopt, {CameraRow("Camera 1", 100, -50), CameraRow("Camera 2", 1.5, 20)}});
  CMainFrame& f = Start();
  CSMTView& v = *f.view();
  ASSERT_TRUE(OkOnCameraTable(v));
  ASSERT_EQ(v.m_pCameraList->m_Camera_second.CameraPulse_X, 150);

  ASSERT_TRUE(settingsflow::ConfirmDialog<smt::settings::CDialogSetPulse>(v, smt::app::cmd::kSetPulse, [](auto& d) {
    d.Edit("m_X_Pulse")->setText("250");
    d.Edit("m_Y_Pulse")->setText("200");
  }));
  EXPECT_EQ(v.m_pCameraList->m_Camera_first.CameraPulse_X, 25000);
  EXPECT_EQ(v.m_pCameraList->m_Camera_first.CameraPulse_Y, -10000);
  EXPECT_EQ(v.m_pCameraList->m_Camera_second.CameraPulse_X, 375);
  EXPECT_EQ(v.m_pCameraList->m_Camera_second.CameraPulse_Y, 4000);
  // The positions in millimetres did not change: the frame's rows keep
  // their spelling; the records are saved with the settings.
  ASSERT_EQ(f.Lists().cameraRows.size(), 2u);
  EXPECT_EQ(f.Lists().cameraRows[1].Text(), CameraRow("Camera 2", 1.5, 20));
  EXPECT_EQ(Config("CameraListConfig", "m_Camera_first.CameraPulse_X"), "25000");
}

class CoordinateTestShellSim : public ShellSimTest {
 protected:
  void TearDown() override {
    smt::CurrentMachine().camera.highSpeedCamera = 0;
    ShellSimTest::TearDown();
  }
};

// "相机到元件坐标测试" from the placement list's menu: the Mark camera is
// switched on with the feeder brightness for that one opening, and the
// simulated board carries the camera over the part.
TEST_F(CoordinateTestShellSim, CameraTestSwitchesToTheMarkCameraWithTheFeederLightAndMovesOverThePart) {
  CMainFrame& f = StartConnected();
  CSMTView& v = *f.view();
  CDialogPartList& p = *v.m_pPartList;
  CDialogSetView& camera = *v.m_pSetView;
  smt::CurrentMachine().camera.highSpeedCamera = 1;  // live view without a capture device
  auto& job = p.Job();
  smt::job::PcbRecord rec;
  rec.m_strName = "B";
  rec.m_nRows = 1;
  rec.m_nCols = 1;
  rec.m_dOriginX = 20;
  rec.m_dOriginY = -100;
  rec.m_PanelGrid = smt::job::FullPanelGrid(1, 1);
  rec.m_nLightBrightness = 40;  // the board's Mark brightness
  job.pcbs.m_Records.push_back(rec);
  job.ShowRecord(0);
  smt::job::ListRow part(smt::job::CellCount(smt::job::RowKind::Placement));
  part.cells[0] = "1";
  part.cells[1] = "10";
  part.cells[2] = "5";
  job.placementRows = {part};
  job.NotifyRows(smt::job::RowKind::Placement);
  camera.m_FeedBrightness = 77;
  camera.m_Light_Brightness = 5;
  smt::CurrentMachine().camera.visionMode = 1;
  p.Logic().State(smt::job::RowKind::Placement).testRow = 0;
  smt::CurrentMachine().curX = 0;  // the counters start where the simulated board does
  smt::CurrentMachine().curY = 0;

  p.OnMenuCommand(32783);  // "相机到元件坐标测试"
  EXPECT_EQ(smt::CurrentMachine().camera.visionMode.load(), 0) << "the live view is the Mark camera";
  EXPECT_EQ(camera.m_Light_Brightness, 77) << "the feeder brightness for this opening";
  EXPECT_FALSE(camera.m_bFeederLight);
  ASSERT_TRUE(Pump([&] { return !smt::CurrentMachine().machineBusy.load() && sim->Position(0) == 3000; }, std::chrono::seconds(10)));
  EXPECT_EQ(sim->Position(1), -9500);

  // The next Mark opening takes the board's brightness again.
  camera.OnBnClickedOpenMarkCamera();
  EXPECT_EQ(camera.m_Light_Brightness, 40);
}

class DrillEndShellSim : public ShellSimTest {};

// The drilling machine's run end lifts the drill (axis code 4, 10000 steps)
// with the drill editor's lift start and lift run speeds, on the wire.
TEST_F(DrillEndShellSim, RunEndLiftsTheDrillWithTheEditorsTwoSpeeds) {
  CMainFrame& f = StartConnected("[MachineSetConfig]\nMachineSet=9\n");
  ASSERT_EQ(smt::CurrentMachine().machineType.load(), 9);
  CDialogPartList& p = *f.view()->m_pPartList;
  p.Logic().drillEdit.liftStart = 7;
  p.Logic().drillEdit.liftRun = 9;
  sim->ClearReceived();
  p.OnRunEnd(true);
  ASSERT_TRUE(Pump([&] { return sim->LastReceived(0x61).has_value(); }, std::chrono::seconds(5)));
  const auto lift = *sim->LastReceived(0x61);
  ASSERT_EQ(lift.payload.size(), 7u);  // axis, steps (sign and magnitude), start, run
  EXPECT_EQ(lift.payload[0], 4);
  EXPECT_EQ(lift.payload[5], 7);
  EXPECT_EQ(lift.payload[6], 9);
  EXPECT_EQ(sim->Position(40), 10000);  // A1's motor turned by 10000 steps
}

class FeederCameraCommandsShellSim : public ShellSimTest {
 protected:
  void TearDown() override {
    if (app && app->frame() && app->frame()->view()->m_pSetView)
      for (auto& c : app->frame()->view()->m_pSetView->m_pDirectShowCamera) c.reset();
    ShellSimTest::TearDown();
  }
};

namespace {

// A picture with a pattern `shift` pixels right of the middle.
cv::Mat PatternFrame(int shift) {
  cv::Mat m(480, 640, CV_8UC3, cv::Scalar(30, 30, 30));
  const cv::Point c(320 + shift, 240);
  cv::rectangle(m, cv::Rect(c.x - 30, c.y - 12, 36, 20), cv::Scalar(230, 230, 230), cv::FILLED);
  cv::circle(m, cv::Point(c.x + 22, c.y + 18), 9, cv::Scalar(160, 160, 160), cv::FILLED);
  cv::line(m, cv::Point(c.x - 40, c.y + 35), cv::Point(c.x + 5, c.y + 30), cv::Scalar(200, 200, 200), 3);
  return m;
}

}  // namespace

// The feeder list's "获取模板" keeps the Mark camera's picture under the
// selected feeder's number; "查找模板" finds it again in a picture where it
// moved and sends the machine after it. The camera panel's vision test
// names the selected feeder's package.
TEST_F(FeederCameraCommandsShellSim, GetAndFindTemplateUnderTheSelectedFeedersNumberAndTheVisionTestsPackage) {
  CMainFrame& f = StartConnected();
  CSMTView& v = *f.view();
  CDialogSetView& camera = *v.m_pSetView;
  CDialogFeedList& feeders = *v.m_pFeedList;
  smt::CurrentMachine().camera.highSpeedCamera = 0;
  std::atomic<int> shift{0};
  camera.m_pDirectShowCamera[0] = std::make_unique<CCameraDS>([&shift] { return PatternFrame(shift.load()); });
  // The shown board's Mark values: 10 pixels per mm, a 10 mm box.
  auto& job = v.m_pPartList->Job();
  smt::job::PcbRecord rec;
  rec.m_strName = "B";
  rec.m_dVisualZoom = 10;
  rec.m_dVisualBox = 10;
  job.pcbs.m_Records.push_back(rec);
  job.shownPcbName = "B";
  camera.OnBnClickedOpenMarkCamera();
  ASSERT_EQ(smt::CurrentMachine().camera.visionMode.load(), 0);

  while (feeders.RowCount() > 0) feeders.List()->removeRow(0);
  smt::feeder::FeederListRow row;
  row.text[0] = "F7";
  row.text[smt::feeder::kCellPackage] = "C0805";
  feeders.InsertListRow(0, row);
  feeders.m_nSelectedRow = 0;
  EXPECT_EQ(camera.neighbours->SelectedFeederPackage(), "C0805");

  feeders.OnTemplate(3);  // "获取模板"
  const auto file = dir.path() / "Template" / "F7.png";
  ASSERT_TRUE(Pump([&] { return std::filesystem::exists(file); }, std::chrono::seconds(5)));
  EXPECT_EQ(cv::imread(file.string()).rows, 100);

  // The part moved 3 mm to the right; the search box is 20 mm.
  shift = 30;
  job.pcbs.m_Records[0].m_dVisualBox = 20;
  camera.OnBnClickedOpenMarkCamera();
  const int64_t x0 = sim->Position(0);
  feeders.OnTemplate(4);  // "查找模板"
  EXPECT_EQ(std::abs(camera.m_nMoveX.load()), 300);
  EXPECT_EQ(camera.m_nMoveY.load(), 0);
  ASSERT_TRUE(Pump([&] { return !smt::CurrentMachine().machineBusy.load() && sim->Position(0) != x0; }, std::chrono::seconds(5)));
  EXPECT_EQ(std::abs(sim->Position(0) - x0), 300);
}

class VisionOriginShellSim : public FeederCameraCommandsShellSim {};

// "相机到视觉原点" (not from the drop-down) with correction passes set: after
// the move the vision-origin calibration looks at the origin mark and
// centres the camera on it; the counters keep the nominal position.
TEST_F(VisionOriginShellSim, CameraToVisionOriginRunsTheCalibrationAfterTheMove) {
  CMainFrame& f = StartConnected();
  auto& machine = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine;
  auto basic = *machine.Basic();
  basic.m_X_VisualOrigin = 50;
  basic.m_Y_VisualOrigin = -50;
  basic.m_CottectionTimeReset = 1;
  basic.m_VisualOriginBox = 4;
  basic.m_VisualOriginSize = 1;
  basic.m_OriginLightContrast = 100;
  basic.m_bStopPosition = 0;
  machine.SetBasic(basic);
  CSMTView& v = *f.view();
  CDialogSetView& camera = *v.m_pSetView;
  smt::CurrentMachine().camera.highSpeedCamera = 0;
  // The origin mark, 1 mm across, seen 1 mm right of the picture's middle
  // (the shown board's stored zoom of 20 pixels per mm).
  smt::job::PcbRecord board;
  board.m_strName = "PCB->1";
  board.m_dVisualZoom = 20;
  v.m_pPartList->Job().pcbs.m_Records.push_back(board);
  v.m_pPartList->Job().ShowRecord(v.m_pPartList->Job().pcbs.Count() - 1);
  camera.m_pDirectShowCamera[0] = std::make_unique<CCameraDS>([] {
    cv::Mat m(480, 640, CV_8UC3, cv::Scalar(20, 20, 20));
    cv::circle(m, cv::Point(340, 240), 10, cv::Scalar(240, 240, 240), cv::FILLED);
    return m;
  });
  smt::CurrentMachine().curX = 0;  // the counters start where the simulated board does
  smt::CurrentMachine().curY = 0;
  sim->ClearReceived();
  v.OnGoTo(smt::app::cmd::kGoCameraToVisionOrigin);
  ASSERT_TRUE(Pump([&] { return !smt::CurrentMachine().machineBusy.load() && Count(0x64) >= 2; }, std::chrono::seconds(10)))
      << Count(0x64) << " " << (messages.service.Texts().empty() ? "" : messages.service.Texts().back());
  Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(5));
  EXPECT_EQ(Count(0x64), 2) << "the move, then one correction pass";
  EXPECT_EQ(std::abs(sim->Position(0) - 5000), 100) << sim->Position(0);
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 5000);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -5000);
  EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().front();
}

class ManualMarkShellSim : public FeederCameraCommandsShellSim {};

// The jog panel's "识别Mark1到Mark2" aligns the board outside a run; the PCB
// editor keeps what it measured as its manual Mark offsets ("使用手工Mark点设置").
TEST_F(ManualMarkShellSim, MarkToMarkOutsideARunKeepsTheOffsetsInThePcbEditor) {
  CMainFrame& f = StartConnected();
  CSMTView& v = *f.view();
  CDialogPartList& p = *v.m_pPartList;
  smt::CurrentMachine().camera.highSpeedCamera = 0;
  // Both marks 1 mm across, each seen 1 mm right of the picture's middle.
  v.m_pSetView->m_pDirectShowCamera[0] = std::make_unique<CCameraDS>([] {
    cv::Mat m(480, 640, CV_8UC3, cv::Scalar(20, 20, 20));
    cv::circle(m, cv::Point(340, 240), 10, cv::Scalar(240, 240, 240), cv::FILLED);
    return m;
  });
  auto& job = p.Job();
  smt::job::PcbRecord rec;
  rec.m_strName = "B";
  rec.m_nRows = 1;
  rec.m_nCols = 1;
  rec.m_PanelGrid = smt::job::FullPanelGrid(1, 1);
  rec.m_dOriginX = 10;
  rec.m_dOriginY = -10;
  rec.m_dMark1X = 5;
  rec.m_dMark1Y = -5;
  rec.m_dMark2X = 40;
  rec.m_dMark2Y = -30;
  rec.m_dVisualZoom = 20;
  rec.m_dVisualBox = 4;
  rec.m_dMarkDiameter = 1;
  rec.m_nLightContrast = 100;
  rec.m_nVisualTimes = 1;
  job.pcbs.m_Records.push_back(rec);
  job.ShowRecord(0);
  smt::job::ListRow part(smt::job::CellCount(smt::job::RowKind::Placement));
  part.cells[0] = "1";
  job.placementRows = {part};
  auto& fields = p.PcbEditor().Fields();
  fields.name = "B";
  fields.originX = 10;
  fields.originY = -10;
  fields.mark1X = 5;
  fields.mark1Y = -5;
  fields.mark2X = 40;
  fields.mark2Y = -30;
  fields.manualMark = false;
  fields.manualMark1X = 2.5;
  smt::CurrentMachine().curX = 0;
  smt::CurrentMachine().curY = 0;

  v.m_pManualControl->OnMenuCommand(33329);  // "识别Mark1到Mark2"
  ASSERT_TRUE(Pump([&] { return !smt::CurrentMachine().machineBusy.load() && fields.manualMark; }, std::chrono::seconds(10)))
      << (messages.service.Texts().empty() ? "" : messages.service.Texts().back());
  EXPECT_DOUBLE_EQ(std::abs(fields.manualMark1X), 1.0);
  EXPECT_DOUBLE_EQ(fields.manualMark1Y, 0.0);
  EXPECT_DOUBLE_EQ(std::abs(fields.manualMark2X), 1.0);
  EXPECT_DOUBLE_EQ(fields.manualMark2Y, 0.0);
}
