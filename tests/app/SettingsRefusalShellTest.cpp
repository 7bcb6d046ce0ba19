// The real shell started on a config.ini with one key that is no number in
// its range (a word, "nan", "inf", "1e400", trailing letters, a number out
// of range), in the sections of several subsystems: the operator is told once
// naming the file and the key, the key keeps its default while its
// neighbours keep the file's values, and config.ini is not rewritten.
#include <QApplication>
#include <functional>
#include <set>
#include <sstream>

#include "core/Machine.h"
#include "ShellFixture.h"
#include "feeder/AutoFeeders.h"
#include "platform/FileCell.h"
#include "platform/ReadRefusals.h"
#include "run/StrategySettings.h"
#include "settings/SettingsStores.h"
#include "vision/CDialogCameraList.h"

namespace {

struct BadKeyCase {
  const char* section;
  const char* key;
  const char* bad;
  // What the program holds for the key after start, and what it holds for a
  // neighbour key of the same section whose file value is `neighbourWanted`.
  std::function<double()> value;
  double wantedDefault;
  const char* neighbour;
  const char* neighbourText;
  std::function<double()> neighbourValue;
  double neighbourWanted;
};

smt::settings::BasicSettings Basic() { return *smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Basic(); }

class SettingsRefusalShell : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    ASSERT_EQ(PrepareAsScriptsRun(), "");
    smt::platform::ForgetReadRefusals();
  }
  void TearDown() override {
    ShellTest::TearDown();
    smt::platform::ForgetReadRefusals();
  }
};

}  // namespace

TEST_F(SettingsRefusalShell, ABadKeyIsNamedOnceKeepsItsDefaultAndLeavesTheOthersAndTheFile) {
  const auto& pulse = [] { return smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Pulse(); };
  const auto& speed = [] { return smt::settings::SettingsStores::Of(smt::CurrentMachine()).speed.Get()->settings; };
  const BadKeyCase cases[] = {
      {"SetBasicConfig", "m_X_Limit", "nan", [] { return Basic().m_X_Limit; }, 0.1, "m_Y_Limit", "-321.5000",
       [] { return Basic().m_Y_Limit; }, -321.5},
      {"SetBasicConfig", "m_ThrowDelay", "1e400", [] { return double(Basic().m_ThrowDelay); }, 100, "m_ChangeDelay",
       "2500", [] { return double(Basic().m_ChangeDelay); }, 2500},
      {"SetBasicConfig", "m_X_CameraToNozzle1", "12abc", [] { return Basic().m_X_CameraToNozzle1; }, 0,
       "m_Y_CameraToNozzle1", "-7.2500", [] { return Basic().m_Y_CameraToNozzle1; }, -7.25},
      {"SetPulseConfig", "m_Z_Pulse", "inf", [&] { return pulse()->m_Z_Pulse; }, 1.0, "m_A_Pulse", "33.5000",
       [&] { return pulse()->m_A_Pulse; }, 33.5},
      {"SetPulseConfig", "m_A_Pulse", "-4", [&] { return pulse()->m_A_Pulse; }, 17.7777, "m_Z_Pulse", "55.0000",
       [&] { return pulse()->m_Z_Pulse; }, 55},
      {"SpeedTemplateConfig", "m_AccelSpeed", "ten", [&] { return double(speed().m_AccelSpeed); }, 100,
       "m_MaxSpeedLimitValue", "64", [&] { return double(speed().m_MaxSpeedLimitValue); }, 64},
      {"SmtStrategyConfig", "m_SmtOrder", "2x", [] { return double(smt::run::Strategy(smt::CurrentMachine()).m_SmtOrder); }, 0,
       "m_Camera", "1", [] { return double(smt::run::Strategy(smt::CurrentMachine()).m_Camera); }, 1},
      // Numbers outside their key's range in the sections of the strategy
      // and the feeders.
      {"SmtStrategyConfig", "m_SpecialHead", "9", [] { return double(smt::run::Strategy(smt::CurrentMachine()).m_SpecialHead); }, 8,
       "m_DropsGluePoint", "3", [] { return double(smt::run::Strategy(smt::CurrentMachine()).m_DropsGluePoint); }, 3},
      {"AutoFeedConfig", "m_Feed_Times", "11",
       [] { return double(smt::feeder::AutoFeeders::Of(smt::CurrentMachine()).Config().m_Feed_Times); }, 1, "m_Feed_Delay", "300",
       [] { return double(smt::feeder::AutoFeeders::Of(smt::CurrentMachine()).Config().m_Feed_Delay); }, 300},
      {"MachineSetConfig", "MachineSet", "11", [] { return double(smt::CurrentMachine().machineType.load()); }, 0, nullptr, nullptr,
       nullptr, 0},
  };
  for (const BadKeyCase& c : cases) {
    SCOPED_TRACE(std::string("[") + c.section + "] " + c.key + "=" + c.bad);
    {
      smt::platform::SettingsSection sec(smt::platform::ConfigPath(dir.str()), c.section);
      sec.WriteText(c.key, c.bad);
      if (c.neighbour) sec.WriteText(c.neighbour, c.neighbourText);
    }
    if (std::string(c.section) != "MachineSetConfig")
      smt::platform::SettingsSection(smt::platform::ConfigPath(dir.str()), "MachineSetConfig").WriteInt("MachineSet", 2);
    smt::platform::ClearProfileCache();
    const std::string before = dir.Read("config.ini");
    messages.service.Clear();
    smt::platform::ForgetReadRefusals();
    CMainFrame& f = Start();
    QApplication::processEvents();
    // Told once, naming the file and the key.
    const std::string named = std::string("[") + c.section + "] " + c.key;
    int told = 0;
    for (const std::string& t : messages.service.Texts())
      for (size_t at = t.find(named); at != std::string::npos; at = t.find(named, at + 1)) ++told;
    EXPECT_EQ(told, 2) << "the Chinese and the English line name the key once each";
    bool namesFile = false;
    for (const std::string& t : messages.service.Texts()) namesFile = namesFile || t.find("config.ini") != std::string::npos;
    EXPECT_TRUE(namesFile);
    // The program keeps the key's default and the neighbour's value.
    EXPECT_DOUBLE_EQ(c.value(), c.wantedDefault);
    if (c.neighbour) {
      EXPECT_DOUBLE_EQ(c.neighbourValue(), c.neighbourWanted);
    }
    // The start wrote nothing over the file.
    EXPECT_EQ(dir.Read("config.ini"), before);
    (void)f;
    app->ExitInstance();
    app.reset();
    // Put the key back for the next case.
    smt::platform::ClearProfileCache();
    smt::platform::SettingsSection(smt::platform::ConfigPath(dir.str()), c.section).WriteText(c.key, "0");
    smt::platform::ClearProfileCache();
  }
}

// Every numeric key of the config.ini a working directory has after a start
// and a close, all replaced at once by what a damaged file holds: the shell
// starts, every key is named (each once), and the file is not rewritten.
TEST_F(SettingsRefusalShell, EveryNumericKeyOfTheProgramsSettingsFileIsRefusedWhenItHoldsNoNumber) {
  {
    Start();
    QApplication::processEvents();
    app->ExitInstance();
    app.reset();
  }
  smt::platform::ClearProfileCache();
  std::vector<std::string> lines;
  {
    std::istringstream in(dir.Read("config.ini"));
    for (std::string l; std::getline(in, l);) lines.push_back(l);
  }
  for (const char* bad : {"nan", "1e400", "12abc"}) {
    SCOPED_TRACE(bad);
    std::set<std::string> replaced;
    std::string text, section;
    for (const std::string& l : lines) {
      const auto eq = l.find('=');
      if (!l.empty() && l.front() == '[') section = l.substr(1, l.find(']') - 1);
      if (eq != std::string::npos && section != "MachineSetConfig" &&
          smt::platform::ParseCellNumber(l.substr(eq + 1), -1e300, 1e300)) {
        replaced.insert("[" + section + "] " + l.substr(0, eq));
        text += l.substr(0, eq + 1) + bad + "\n";
      } else {
        text += l + "\n";
      }
    }
    dir.Write("config.ini", text);
    smt::platform::ClearProfileCache();
    smt::platform::ForgetReadRefusals();
    messages.service.Clear();
    Start();
    QApplication::processEvents();
    std::set<std::string> refused;
    for (const auto& r : smt::platform::ReadRefusalsSoFar()) {
      EXPECT_TRUE(refused.insert(r.where).second) << r.where << " told twice";
      EXPECT_EQ(r.file, smt::platform::ConfigPath(dir.str()));
      EXPECT_EQ(r.text, bad);
    }
    std::string notRefused;
    for (const std::string& k : replaced)
      if (!refused.count(k)) notRefused += k + " ";
    EXPECT_EQ(notRefused, "") << "keys read past the reader";
    EXPECT_EQ(dir.Read("config.ini"), text) << "the start rewrote the file";
    std::printf("%s: %zu numeric keys replaced, %zu refused\n", bad, replaced.size(), refused.size());
    app->ExitInstance();
    app.reset();
  }
}
