#include <gtest/gtest.h>

#include <QCheckBox>

#include "core/LogFile.h"
#include "core/Machine.h"
#include "link/CDialogVersionNumber.h"
#include "link/LinkRuntime.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsSection.h"
#include "support/TempDir.h"

using smt::platform::GetProfileString;

TEST(VersionNumberDialog, OkStoresAndAppliesCancelLeavesEverything) {
  smt::test::TempDir dir;
  smt::link::FirmwareSwitches live;
  live.Load(dir.str());  // missing section: all off
  EXPECT_EQ(live.m_V2_04 + live.m_V2_05 + live.m_V2_06 + live.m_V2_07 + live.m_Write_Logfile, 0);
  const std::string config = smt::platform::ConfigPath(dir.str());
  {
    CDialogVersionNumber d(smt::CurrentMachine(), live, dir.str(), CDialogVersionNumber::LoadLanguage(dir.str(), "Chinese"));
    EXPECT_EQ(d.windowTitle().toStdString(), "CPU 版本号");
    d.Box(0)->setChecked(true);
    d.Box(4)->setChecked(true);
    d.reject();
  }
  EXPECT_EQ(live.m_V2_04, 0);
  EXPECT_EQ(GetProfileString(config, "CPUVersionNumberConfig", "m_V2_04", "<none>"), "<none>");

  CDialogVersionNumber d(smt::CurrentMachine(), live, dir.str(), CDialogVersionNumber::LoadLanguage(dir.str(), "Chinese"));
  d.Box(0)->setChecked(true);
  d.Box(4)->setChecked(true);
  d.accept();
  EXPECT_EQ(live.m_V2_04, 1);
  EXPECT_EQ(smt::link::RuntimeOf(smt::CurrentMachine()).v2_04, 1);
  EXPECT_TRUE(CLogFile::Instance().m_bEnable.load());  // logging starts without a restart
  EXPECT_EQ(GetProfileString(config, "CPUVersionNumberConfig", "m_V2_04", ""), "1");
  EXPECT_EQ(GetProfileString(config, "CPUVersionNumberConfig", "m_V2_06", ""), "0");
  EXPECT_EQ(GetProfileString(config, "CPUVersionNumberConfig", "m_Write_Logfile", ""), "1");
  CLogFile::Instance().m_bEnable = false;
  smt::link::FirmwareSwitches off;
  off.Apply(smt::CurrentMachine());
}
