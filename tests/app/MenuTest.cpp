#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "app/MenuTexts.h"
#include "core/NameTables.h"

using namespace smt::app;

namespace {
int CheckedCount(CMainFrame& f, std::initializer_list<int> ids) {
  int n = 0;
  for (int id : ids) n += f.Action(id)->isChecked() ? 1 : 0;
  return n;
}
}  // namespace

TEST_F(ShellTest, LanguageSwitchChangesTextsButIsStoredOnlyAtClose) {
  dir.Write("German.ini", "[MenuSetConfig]\nIDS_MENU_FILE=Datei\nID_SetBasic=Grundeinstellungen\n");
  CMainFrame& f = Start();
  f.OnLanguage(2);
  EXPECT_EQ(smt::CurrentMachine().languageSet.load(), 2);
  EXPECT_EQ(f.TopMenu(0)->title(), "Datei");
  EXPECT_EQ(f.Action(cmd::kSetBasic)->text(), "Grundeinstellungen");
  EXPECT_EQ(f.windowTitle().toStdString(), kTitleEnglish);
  EXPECT_EQ(smt::CurrentMachine().names.speedNames[16], "Reset speed");
  EXPECT_EQ(CheckedCount(f, {cmd::kLanguageChinese, cmd::kLanguageEnglish, cmd::kLanguageGerman}), 1);
  EXPECT_TRUE(f.Action(cmd::kLanguageGerman)->isChecked());
  // Killed now: the next start still has the old language.
  EXPECT_EQ(Config("LanguageSetConfig", "LanguageSet"), "<none>");
  EXPECT_TRUE(f.OnClose());
  EXPECT_EQ(Config("LanguageSetConfig", "LanguageSet"), "German");
}

TEST_F(ShellTest, LanguageAndMachineTypeAreRefusedWhileBusy) {
  CMainFrame& f = Start();
  smt::CurrentMachine().machineBusy = true;
  f.Action(cmd::kLanguageEnglish)->trigger();
  f.Action(cmd::kMachineTypeCommands[3])->trigger();
  smt::CurrentMachine().machineBusy = false;
  EXPECT_EQ(smt::CurrentMachine().languageSet.load(), 0);
  EXPECT_EQ(smt::CurrentMachine().machineType.load(), 0);
  EXPECT_TRUE(f.Action(cmd::kLanguageChinese)->isChecked());
  EXPECT_TRUE(f.Action(cmd::kMachineTypeCommands[0])->isChecked());
  EXPECT_TRUE(messages.service.Texts().empty());
}

TEST_F(ShellTest, MachineTypeChoiceIsExclusiveStoredAndResetsTheStrategy) {
  WriteConfig("[SmtStrategyConfig]\nm_HeaderSelect=3\nm_ChangeNozzleSelect=1\n");
  CMainFrame& f = Start();
  smt::CurrentMachine().headCount = 4;
  f.Action(cmd::kMachineTypeCommands[9])->trigger();  // drilling machine
  EXPECT_EQ(smt::CurrentMachine().machineType.load(), 9);
  EXPECT_EQ(smt::CurrentMachine().headCount.load(), 1);
  EXPECT_EQ(Config("MachineSetConfig", "MachineSet"), "9");
  EXPECT_EQ(Config("SmtStrategyConfig", "m_HeaderSelect"), "3");  // types 9 and 10 leave the strategy

  f.Action(cmd::kMachineTypeCommands[7])->trigger();
  EXPECT_EQ(Config("MachineSetConfig", "MachineSet"), "7");
  EXPECT_EQ(Config("SmtStrategyConfig", "m_HeaderSelect"), "0");
  EXPECT_EQ(Config("SmtStrategyConfig", "m_ChangeNozzleSelect"), "0");
  int checked = 0;
  for (int id : cmd::kMachineTypeCommands) checked += f.Action(id)->isChecked() ? 1 : 0;
  EXPECT_EQ(checked, 1);
  EXPECT_TRUE(f.Action(cmd::kMachineTypeCommands[7])->isChecked());
}

TEST_F(ShellTest, SpeedTierChecksFollowTheActiveTier) {
  CMainFrame& f = Start();
  int tier = 0;
  f.speedMenuCheck = [&] { return tier; };
  f.UpdateMenuState();
  EXPECT_EQ(CheckedCount(f, {cmd::kHighSpeedTemplate, cmd::kMediumSpeedTemplate, cmd::kLowSpeedTemplate}), 0);
  tier = 2;
  f.UpdateMenuState();
  EXPECT_TRUE(f.Action(cmd::kMediumSpeedTemplate)->isChecked());
  tier = 3;
  f.UpdateMenuState();
  EXPECT_EQ(CheckedCount(f, {cmd::kHighSpeedTemplate, cmd::kMediumSpeedTemplate, cmd::kLowSpeedTemplate}), 1);
  EXPECT_TRUE(f.Action(cmd::kLowSpeedTemplate)->isChecked());
}

TEST(GoToMenu, ItemsEnabledByMachineType) {
  struct Case {
    int command, type;
    std::optional<bool> enabled;
  } cases[] = {
      {cmd::kGoHome, 4, false},
      {cmd::kGoCameraToVisionOrigin, 4, false},
      {cmd::kGoNozzleToThrow[2], 4, true},
      {cmd::kGoNozzleToThrow[3], 4, true},
      {cmd::kGoHome, 0, true},
      {cmd::kGoNozzleToPcbOrigin[1], 0, false},
      {cmd::kGoNozzleToVisionCamera2[1], 4, false},
      {cmd::kGoNozzleToVisionCamera2[2], 6, true},
      {cmd::kGoFourHeadsToVisionCamera2, 6, false},
      {cmd::kGoFourHeadsToVisionCamera2, 8, true},
      {cmd::kGoNozzleToThrow[7], 7, true},
      {cmd::kGoNozzleToVisionCamera1[4], 3, false},
      {cmd::kGoHome, 9, std::nullopt},
      {cmd::kGoNozzleToThrow[7], 9, std::nullopt},
      {cmd::kGoCameraToMark1, 4, std::nullopt},
      {cmd::kGoMeasuringHeadToVisionCamera1, 0, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(GoToItemEnabled(c.command, c.type), c.enabled) << c.command << " type " << c.type;
}

TEST_F(ShellTest, DropDownsCarryTheStoredTextsAndTheGoToFlag) {
  dir.Write("English.ini", "[MenuSetConfig]\nc_ID_ResetOrigin=Home\nID_SetPulse=Pulses\n");
  WriteConfig("[LanguageSetConfig]\nLanguageSet=English\n[MachineSetConfig]\nMachineSet=4\n");
  CMainFrame& f = Start();
  f.OnToolbarDropDown(cmd::kToolSettings);
  EXPECT_FALSE(f.view()->m_bGoToFromMenu);
  QMenu* settings = f.BuildSettingsDropDown();
  bool pulses = false;
  for (QAction* a : settings->actions()) pulses |= a->text() == "Pulses";
  EXPECT_TRUE(pulses);

  f.OnToolbarDropDown(cmd::kToolGoTo);
  EXPECT_TRUE(f.view()->m_bGoToFromMenu);
  QMenu* go = f.BuildGoToDropDown();
  QAction* home = go->actions().value(0);
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(home->text(), "Home");
  EXPECT_FALSE(home->isEnabled());  // machine type 4 has no home item
}
