// The AutoZ measurement of the basic settings dialog on the program as it
// starts, with the simulated board on the serial line: the measured height
// shows in the open dialog and is what its OK keeps.
#include "SettingsFlowFixture.h"
#include "ShellSimFixture.h"

namespace {

// `lines` at the start of `section` of `config` (the section added when missing).
std::string WithLines(std::string config, const std::string& section, const std::string& lines) {
  const std::string head = "[" + section + "]\n";
  const auto at = config.find(head);
  if (at == std::string::npos) return config + head + lines;
  return config.insert(at + head.size(), lines);
}

}  // namespace

class AutoZShellTest : public ShellSimTest {
 protected:
  void TearDown() override {
    smt::CurrentMachine().connected = false;
    smt::CurrentMachine().resetDone = false;
    ShellSimTest::TearDown();
  }
};

TEST_F(AutoZShellTest, TheMeasuredHeightShowsInTheOpenDialogAndSurvivesItsOk) {
  // Settings the dialog's OK accepts, on the simulated board's serial line.
  std::string config = settingsflow::kSettings;
  config = WithLines(config, "SetBasicConfig", "m_CommModel=0\nm_Z_Measurement=-1.5000\n");
  config = WithLines(config, "ManualControlConfig", "m_ComNumber=1\n");
  config = WithLines(config, "SerialPortConfig", "COM1=" + sim->SerialPath() + "\n");
  WriteConfig(config);
  settingsflow::WriteSpeedTemplates(dir);
  CMainFrame& f = Start();
  ASSERT_TRUE(f.view()->m_pManualControl->ConnectNow());
  // A connect may home the machine on a worker: the measurement is asked for
  // once that has let go of the machine (on a loaded machine it takes a while).
  ASSERT_TRUE(Pump([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(60)));
  smt::CurrentMachine().resetDone = true;
  smt::CurrentMachine().masterResetOk = true;

  std::string shownBefore, shownAfter;
  bool stillOpen = false;
  const bool found = settingsflow::ConfirmDialog<smt::settings::CDialogSetBasic>(
      *f.view(), smt::app::cmd::kSetBasic, [&](smt::settings::CDialogSetBasic& d) {
        shownBefore = d.Edit("m_Z_Measurement")->text().toStdString();
        d.OnAutoZ();
        // The measurement runs on a worker; its height comes back to the window.
        Pump([&] { return !smt::CurrentMachine().machineBusy.load() && d.Edit("m_Z_Measurement")->text().toStdString() != shownBefore; },
             std::chrono::seconds(10));
        shownAfter = d.Edit("m_Z_Measurement")->text().toStdString();
        // A refused OK would leave the dialog open: closed here so that the test never waits.
        QTimer::singleShot(0, &d, [&stillOpen, &d] {
          if (d.isVisible()) {
            stillOpen = true;
            d.reject();
          }
        });
      });
  ASSERT_TRUE(found);
  EXPECT_EQ(shownBefore, "-1.5");
  EXPECT_GT(Count(0x71), 0) << "the probe was asked; "
                            << (messages.service.Texts().empty() ? "" : messages.service.Texts().back());
  const double measured = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Basic()->m_Z_Measurement;
  EXPECT_NE(measured, -1.5);
  EXPECT_NE(measured, 0.0);
  EXPECT_EQ(shownAfter, smt::platform::FormatDouble(measured, 4));
  EXPECT_FALSE(stillOpen) << (messages.service.Texts().empty() ? "" : messages.service.Texts().back());
  // The OK kept the measured height in the store and in the settings file.
  EXPECT_EQ(smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Basic()->m_Z_Measurement, measured);
  EXPECT_EQ(Config("SetBasicConfig", "m_Z_Measurement"), smt::platform::FormatDouble(measured, 4));
}
