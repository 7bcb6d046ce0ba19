// The go-to commands that look through a camera set the camera panel's zoom,
// box and lights and show them, on the program as it starts, connected to
// the simulated board; a damaged camera table still gives its good cameras
// as targets.
#include <QLineEdit>
#include <filesystem>

#include "ShellSimFixture.h"
#include "app/CommandIds.h"
#include "job/PcbRecord.h"
#include "link/MotionGlobals.h"
#include "platform/FileIo.h"
#include "settings/SettingsStores.h"

namespace {

std::string Shown(CDialogSetView& panel, const char* name) {
  auto* e = panel.findChild<QLineEdit*>(name);
  return e ? e->text().toStdString() : "<no box>";
}

}  // namespace

class GoToCameraPanelShellTest : public ShellSimTest {
 protected:
  void SetUp() override {
    ShellSimTest::SetUp();
    // The simulated board starts at 0: so does the program's idea of it.
    smt::CurrentMachine().curX = 0;
    smt::CurrentMachine().curY = 0;
  }
  void TearDown() override {
    smt::CurrentMachine().connected = false;
    smt::CurrentMachine().resetDone = false;
    ShellSimTest::TearDown();
  }

  // A shown board whose record carries Mark viewing values of its own.
  smt::job::PcbRecord& ShowBoard(CMainFrame& f, bool specialMark2) {
    auto& job = f.view()->m_pPartList->Job();
    job.pcbs.Add("Marked");
    job.shownPcbName = "Marked";
    smt::job::PcbRecord& r = *job.pcbs.Find("Marked");
    r.m_dOriginX = 100;
    r.m_dOriginY = -100;
    r.m_dMark1X = 5;
    r.m_dMark1Y = -5;
    r.m_dMark2X = 50;
    r.m_dMark2Y = -40;
    r.m_dVisualZoom = 25;
    r.m_dVisualBox = 3.5;
    r.m_nLightContrast = 120;
    r.m_nLightBrightness = 80;
    r.m_bSpecialMark2 = specialMark2;
    r.m_nMark2LightContrast = 61;
    r.m_nMark2LightBrightness = 42;
    return r;
  }

  void GoAndWait(CMainFrame& f, int command) {
    f.view()->OnCommand(command);
    EXPECT_TRUE(Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10)));
  }
};

TEST_F(GoToCameraPanelShellTest, GoToMarkShowsTheBoardsZoomBoxAndLightsInTheCameraPanel) {
  struct Case {
    int command;
    bool specialMark2;
    double zoom;
    std::string box, contrast, brightness;
  };
  // Mark 2 without its own lights leaves the panel as it was.
  const Case cases[] = {{smt::app::cmd::kGoCameraToMark1, false, 25, "3.50", "120", "80"},
                        {smt::app::cmd::kGoCameraToMark2, true, 25, "3.50", "61", "42"},
                        {smt::app::cmd::kGoCameraToMark2, false, 18.5, "1.25", "7", "9"}};
  CMainFrame& f = StartConnected();
  CDialogSetView& panel = *f.view()->m_pSetView;
  smt::job::PcbRecord& board = ShowBoard(f, false);
  for (const Case& c : cases) {
    board.m_bSpecialMark2 = c.specialMark2;
    panel.ShowVisualParameters(7, 9, -1, 18.5, 1.25);
    GoAndWait(f, c.command);
    EXPECT_DOUBLE_EQ(panel.m_dPixelPerMm, c.zoom) << c.command;
    EXPECT_EQ(Shown(panel, "visualSize"), c.box) << c.command;
    EXPECT_EQ(Shown(panel, "lightContrast"), c.contrast) << c.command;
    EXPECT_EQ(Shown(panel, "lightBrightness"), c.brightness) << c.command;
    EXPECT_EQ(panel.m_Light_Contrast, std::stoi(c.contrast));
  }
  // The last move went to Mark 2: (origin + mark) x 100 steps per mm.
  EXPECT_EQ(sim->Position(0), 15000);
  EXPECT_EQ(sim->Position(1), -14000);
}

TEST_F(GoToCameraPanelShellTest, SquareHeadsToCamera2ShowsNozzle3sOffsetAsTheBox) {
  CMainFrame& f = StartConnected();
  auto& machine = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine;
  auto basic = *machine.Basic();
  basic.m_X_Nozzle3ToNozzle1 = -12.25;
  basic.m_X_Nozzle4ToNozzle1 = 10;
  machine.SetBasic(basic);
  f.Lists().cameraRows =
      smt::vision::ReadCameraRows({"Camera 1\t100\t-50\t", "Camera 2\t200\t-60\t"}, "config_camera.fig");
  CDialogSetView& panel = *f.view()->m_pSetView;
  panel.ShowVisualParameters(33, 44, -1, 20, 2);
  GoAndWait(f, smt::app::cmd::kGoFourHeadsToVisionCamera2);
  EXPECT_DOUBLE_EQ(panel.m_VisualSize, 12.25);
  EXPECT_EQ(Shown(panel, "visualSize"), "12.25");
  EXPECT_EQ(Shown(panel, "lightContrast"), "33");
  // The point halfway between nozzles 1 and 3 stands over camera 2.
  EXPECT_EQ(sim->Position(0), 20000 + 612);
}

// A camera table whose first row cannot be read, on the program as it
// starts: the operator is told the file, the line and the field; the go-to
// to the good camera moves the head over it, the one to the damaged camera
// is refused with its message and nothing moves; a save writes the table
// back byte for byte and leaves the backup copy alone.
TEST_F(GoToCameraPanelShellTest, ADamagedCameraRowIsNamedKeptAndTheGoodCameraIsStillATarget) {
  auto row = [](const char* name, double x, double y, const char* contrast) {
    smt::vision::CameraValues v;
    v.name = name;
    v.x = x;
    v.y = y;
    v.visualZoom = 20;
    v.visualSize = 4;
    std::string text = smt::vision::CameraRow(v).Text();
    // Cell 22 (contrast) as the file holds it.
    size_t at = 0;
    for (int tab = 0; tab < 22; ++tab) at = text.find('\t', at) + 1;
    return text.substr(0, at) + contrast + text.substr(text.find('\t', at));
  };
  const std::vector<std::string> rows = {row("Camera 1", 120, -80, "nan"), row("Camera 2", 200.5, -60.25, "90")};
  smt::platform::WriteListFile(dir / "config_camera.fig", {std::nullopt, rows});
  std::filesystem::create_directories(dir / "ConfigBackup");
  const std::vector<std::string> backup = {row("Camera 2", 1, -1, "5")};
  smt::platform::WriteListFile(dir / "ConfigBackup" / "config_camera.fig", {std::nullopt, backup});
  const auto fileBytes = smt::platform::ReadWholeFile(dir / "config_camera.fig");
  const auto backupBytes = smt::platform::ReadWholeFile(dir / "ConfigBackup" / "config_camera.fig");

  CMainFrame& f = StartConnected();
  Pump([] { return false; }, std::chrono::milliseconds(50));
  bool told = false;
  for (const auto& t : messages.service.Texts())
    told = told || (t.find("config_camera.fig") != std::string::npos && t.find("line 1") != std::string::npos &&
                    t.find("Light_Contrast") != std::string::npos && t.find("nan") != std::string::npos);
  EXPECT_TRUE(told) << ::testing::PrintToString(messages.service.Texts());
  EXPECT_TRUE(f.Lists().FromDamagedFile(smt::library::ListFileId::Camera));
  ASSERT_EQ(f.Lists().cameraRows.size(), 2u);
  EXPECT_FALSE(f.Lists().cameraRows[0].Readable());
  EXPECT_TRUE(f.Lists().cameraRows[1].Readable());

  // The good camera is a target: 100 steps per mm.
  GoAndWait(f, smt::app::cmd::kGoNozzleToVisionCamera2[0]);
  EXPECT_EQ(sim->Position(0), 20050);
  EXPECT_EQ(sim->Position(1), -6025);
  // The damaged one is not: its message, and the head stays.
  const size_t shown = messages.service.Texts().size();
  GoAndWait(f, smt::app::cmd::kGoNozzleToVisionCamera1[0]);
  ASSERT_GT(messages.service.Texts().size(), shown);
  EXPECT_EQ(messages.service.Texts().back(), f.view()->m_strMessage[7]);
  EXPECT_EQ(sim->Position(0), 20050);
  EXPECT_EQ(sim->Position(1), -6025);

  ASSERT_TRUE(f.view()->OnFileSave());
  EXPECT_EQ(smt::platform::ReadWholeFile(dir / "config_camera.fig"), fileBytes);
  EXPECT_EQ(smt::platform::ReadWholeFile(dir / "ConfigBackup" / "config_camera.fig"), backupBytes);
}
