#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include "core/Machine.h"
#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "app/MenuTexts.h"
#include "core/LogFile.h"
#include "core/NameTables.h"
#include "library/NozzleLibrary.h"
#include "stations/CDialogLampMachineList.h"
#include "stations/DippingStation.h"

using namespace smt::app;

TEST_F(ShellTest, StartsWithDefaultsWhenTheSettingsFileIsEmpty) {
  CMainFrame& f = Start();
  EXPECT_EQ(smt::CurrentMachine().machineType.load(), 0);
  EXPECT_EQ(f.m_strLanguage, "Chinese");
  EXPECT_EQ(f.windowTitle().toStdString(), kTitleChinese);
  EXPECT_EQ(f.TopMenu(0)->title().toStdString(), "文件");
  // The labeling-machine settings belong to type 10 only.
  EXPECT_FALSE(f.Action(cmd::kLabelingSet)->isEnabled());
  CSMTView& v = *f.view();
  EXPECT_DOUBLE_EQ(smt::library::TheNozzleLibrary(smt::CurrentMachine()).Settings().m_Distance, 100.0);
  EXPECT_EQ(CurrentLampCounters(smt::CurrentMachine()).m_CountSet, 1);
  EXPECT_FALSE(CLogFile::Instance().m_bEnable.load());
  EXPECT_EQ(v.m_strMessage[1], "设备正在自动工作，不能操作料架组 !");
  EXPECT_TRUE(messages.service.Texts().empty());
}

TEST_F(ShellTest, ReadsMachineTypeLanguageAndSections) {
  WriteConfig(
      "[MachineSetConfig]\nMachineSet=10\n[LanguageSetConfig]\nLanguageSet=English\n"
      "[NozzleListConfig]\nm_Distance=55.5\nm_Delay=30\n[LampMachineListConfig]\nm_CountSet=4\n"
      "[CPUVersionNumberConfig]\nm_V2_04=1\nm_Write_Logfile=1\n[DippingStationConfig]\nm_DippingStation_X=12.5\n");
  dir.Write("English.ini",
            "[MenuSetConfig]\nIDS_MENU_FILE=File\nID_SetBasic=Basic settings\nc_ID_ResetOrigin=Home\n"
            "[PartListConfig]\nPartList.c_AutoFeed=Auto feeder\n");
  CMainFrame& f = Start();
  EXPECT_EQ(smt::CurrentMachine().machineType.load(), 10);
  EXPECT_EQ(smt::CurrentMachine().languageSet.load(), 1);
  EXPECT_EQ(f.windowTitle().toStdString(), kTitleEnglish);
  EXPECT_EQ(f.TopMenu(0)->title(), "File");
  EXPECT_EQ(f.TopMenu(1)->title().toStdString(), "编辑");  // missing key: Chinese default
  EXPECT_EQ(f.Action(cmd::kSetBasic)->text(), "Basic settings");
  EXPECT_EQ(f.m_strMenuText[0], "Home");
  EXPECT_EQ(f.m_strMenuText[kGoToTextCount], "Basic settings");
  EXPECT_TRUE(f.Action(cmd::kLabelingSet)->isEnabled());
  EXPECT_EQ(smt::CurrentMachine().names.feedTypeNames[9 + 1], "Auto feeder");
  EXPECT_EQ(smt::CurrentMachine().names.feedTypeNames[1], "自动飞达");
  CSMTView& v = *f.view();
  EXPECT_DOUBLE_EQ(smt::library::TheNozzleLibrary(smt::CurrentMachine()).Settings().m_Distance, 55.5);
  EXPECT_EQ(smt::library::TheNozzleLibrary(smt::CurrentMachine()).Settings().m_Delay, 30);
  EXPECT_EQ(CurrentLampCounters(smt::CurrentMachine()).m_CountSet, 4);
  EXPECT_EQ(v.m_VersionNumber.m_V2_04, 1);
  EXPECT_DOUBLE_EQ(smt::stations::DippingStation::Of(smt::CurrentMachine()).Settings().m_DippingStation_X, 12.5);
  EXPECT_TRUE(CLogFile::Instance().m_bEnable.load());
  CLogFile::Instance().m_bEnable = false;
}

TEST_F(ShellTest, UnknownLanguageNameKeepsChineseIndexAndTitle) {
  WriteConfig("[LanguageSetConfig]\nLanguageSet=Klingon\n");
  CMainFrame& f = Start();
  EXPECT_EQ(f.m_strLanguage, "Klingon");
  EXPECT_EQ(smt::CurrentMachine().languageSet.load(), 0);
  EXPECT_EQ(f.windowTitle().toStdString(), kTitleChinese);
  EXPECT_EQ(f.TopMenu(5)->title().toStdString(), "帮助");
}

TEST_F(ShellTest, NozzleRowsReachTheNozzleLibrary) {
  smt::platform::ListFileContent c;
  c.rows = {"1\tN1\t1.0\t2.0\t3\t4\t5\t6\t7\t", "2\tshort\t"};
  smt::platform::WriteListFile(dir / "config_nozzle.fig", c);
  Start();
  const auto& rows = smt::library::TheNozzleLibrary(smt::CurrentMachine()).Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].cells[1], "N1");
  EXPECT_EQ(rows[1].cells[1], "short");
  EXPECT_EQ(rows[1].cells[2], "");
}

TEST_F(ShellTest, DamagedListFileIsReportedKeptAsideAndLoadsEmpty) {
  dir.Write("config_pack.fig", std::string("\x10\x27\x00\x00\x01", 5));  // count 10000, one byte
  std::filesystem::remove(dir / "config_mark.fig");
  CMainFrame& f = Start();
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  const std::string text = messages.service.Texts()[0];
  EXPECT_NE(text.find("config_pack.fig"), std::string::npos);
  EXPECT_NE(text.find("config_mark.fig"), std::string::npos);
  EXPECT_TRUE(f.Lists().packRows.empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "config_pack.fig"));
  bool keptAside = false;
  for (auto& e : std::filesystem::directory_iterator(dir.path()))
    keptAside |= e.path().filename().string().rfind("config_pack.fig.damaged-", 0) == 0;
  EXPECT_TRUE(keptAside);
}

TEST_F(ShellTest, ListFilesSaveMainAndIdenticalBackup) {
  smt::platform::ListFileContent speed;
  speed.leading = "lead\t";
  speed.rows = {"T1\t1 / 2\t"};
  smt::platform::WriteListFile(dir / "config_speed.fig", speed);
  CMainFrame& f = Start();
  EXPECT_EQ(f.Lists().speedUsageLine, "lead\t");
  f.Lists().packRows = {"0603\t", "中文封装\t"};
  f.SaveFigLists();
  f.SaveFigLists();  // twice: same bytes
  for (const auto& info : smt::library::ListFiles()) {
    EXPECT_EQ(dir.Read(info.name), dir.Read(std::string("ConfigBackup/") + info.name)) << info.name;
  }
  EXPECT_EQ(smt::platform::ReadListFile(dir / "config_speed.fig", true).rows, speed.rows);
  EXPECT_EQ(smt::platform::ReadListFile(dir / "config_pack.fig", false).rows, f.Lists().packRows);
}

TEST_F(ShellTest, FailedSaveLeavesThePreviousFilesWhole) {
  CMainFrame& f = Start();
  f.Lists().markRows = {"M1\t"};
  f.SaveFigLists();
  std::string before = dir.Read("config_mark.fig");
  // The backup folder turns into a file: the backup write fails.
  std::filesystem::remove_all(dir / "ConfigBackup");
  dir.Write("ConfigBackup", "not a folder");
  f.Lists().markRows = {"M2\t"};
  EXPECT_THROW(f.SaveFigLists(), smt::platform::FileError);
  // The first file's main copy was replaced whole; marks were not reached.
  EXPECT_EQ(dir.Read("config_mark.fig"), before);
}

TEST_F(ShellTest, WindowShowsMenuToolbarStatusBarAndFourPanels) {
  CMainFrame& f = Start();
  f.show();
  QApplication::processEvents();
  CSMTView& v = *f.view();
  ASSERT_NE(v.m_pSetView, nullptr);
  ASSERT_NE(v.m_pManualControl, nullptr);
  ASSERT_NE(v.m_pFeedList, nullptr);
  ASSERT_NE(v.m_pPartList, nullptr);
  EXPECT_TRUE(v.m_pPartList->isVisible());
  EXPECT_FALSE(v.m_pFeedList->isVisible());
  EXPECT_EQ(f.StatusPaneText(1), "File Path");
  // Camera panel above the jog panel, list panels to their right.
  QPoint cam = v.m_pSetView->mapTo(&v, QPoint(0, 0));
  QPoint jog = v.m_pManualControl->mapTo(&v, QPoint(0, 0));
  QPoint list = v.m_pPartList->mapTo(&v, QPoint(0, 0));
  EXPECT_LT(cam.y(), jog.y());
  EXPECT_EQ(cam.x(), jog.x());
  EXPECT_GT(list.x(), cam.x());
}
