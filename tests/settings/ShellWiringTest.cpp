#include <gtest/gtest.h>

#include <QDialog>
#include <map>

#include "core/MachineState.h"
#include "platform/MessageService.h"
#include "settings/SettingsShellWiring.h"
#include "settings/SettingsStores.h"
#include "support/TempDir.h"

using namespace smt::settings;

TEST(SettingsShellWiring, StartUpLoadsStoresAndRegistersTheSixCommands) {
  smt::test::TempDir dir;
  dir.Write("config.ini", "[SetBasicConfig]\nm_X_Limit=321\n[SetPulseConfig]\nm_X_Pulse=100\n"
                          "[SpeedTemplateConfig]\nm_SpeedMenuCheck=2\n");
  smt::platform::ScopedRecordingMessages messages;
  std::map<int, std::function<void(QWidget*)>> dialogs;
  std::vector<std::function<void(const std::string&)>> steps;
  std::vector<std::function<void(const std::string&, const std::string&)>> loaders;
  int ticked = -1;
  std::string speeds;
  for (int a = 0; a < 16; ++a) speeds += "10 / 20\t";
  std::vector<std::string> rows = {"Reset speed\t" + speeds, "Reset speed\t" + speeds, "Reset speed\t" + speeds,
                                   "stray\t"};
  SettingsShellWiring w;
  w.registerDialog = [&](int id, std::function<void(QWidget*)> open) { dialogs[id] = std::move(open); };
  w.initialUpdateSteps = &steps;
  w.languageLoaders = &loaders;
  w.speedUseLine = [] { return std::string("Reset speed\t"); };
  w.speedRows = [&] { return rows; };
  w.tickActiveTier = [&](int t) { ticked = t; };
  InstallSettingsSubsystem(smt::CurrentMachine(), w);
  EXPECT_EQ(dialogs.size(), 6u);
  for (int id : {32841, 32843, 32921, 32864, 32862, 32863}) EXPECT_TRUE(dialogs.count(id)) << id;
  ASSERT_EQ(steps.size(), 1u);
  ASSERT_EQ(loaders.size(), 1u);
  smt::CurrentMachine().languageSet = 0;
  loaders[0](dir.str(), "Chinese");
  steps[0](dir.str());
  auto& stores = SettingsStores::Of(smt::CurrentMachine());
  EXPECT_DOUBLE_EQ(stores.machine.Basic()->m_X_Limit, 321);
  EXPECT_EQ(stores.machine.Geometry()->limits.m_nXLimitPulse, 32100);
  EXPECT_EQ(stores.speed.Get()->tiers.Count(), 1);
  EXPECT_EQ(stores.speed.Get()->tiers.high[0].Name(), "复位速度");
  EXPECT_EQ(stores.speed.Get()->uses[0], "复位速度");
  EXPECT_EQ(stores.speed.StoredRows().back(), "stray\t");  // kept for the next save
  EXPECT_EQ(ticked, 2);
  ASSERT_EQ(messages.service.Texts().size(), 1u);  // the row count was reported
  // A language switch renames built-in template names.
  smt::CurrentMachine().languageSet = 1;
  loaders[0](dir.str(), "English");
  EXPECT_EQ(stores.speed.Get()->tiers.high[0].Name(), "Reset speed");
  smt::CurrentMachine().languageSet = 0;
}
