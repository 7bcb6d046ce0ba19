#include <QDialog>
#include <QTimer>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "run/RunServices.h"
#include "settings/SettingsStores.h"

using namespace smt::app;

namespace {

// Runs `command` on the view and reports the modal dialog it opened (its
// class name), closing it with Cancel.
std::string OpenedDialog(CSMTView& view, int command) {
  std::string opened;
  QTimer::singleShot(0, [&] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      opened = w->metaObject()->className();
      if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
    }
  });
  view.OnCommand(command);
  return opened;
}

}  // namespace

TEST_F(ShellTest, SettingsMenuCommandsOpenTheirDialogs) {
  CMainFrame& f = Start();
  f.show();
  for (int command : {cmd::kSetBasic, cmd::kSetPulse, cmd::kSpeedSet, cmd::kHighSpeedTemplate}) {
    EXPECT_FALSE(OpenedDialog(*f.view(), command).empty()) << command;
  }
  EXPECT_TRUE(messages.service.Texts().empty());
}

TEST_F(ShellTest, VersionAndFirmwareCommandsOpenTheirDialogs) {
  CMainFrame& f = Start();
  f.show();
  EXPECT_EQ(OpenedDialog(*f.view(), cmd::kCpuVersionNumber), "CDialogVersionNumber");
  EXPECT_EQ(OpenedDialog(*f.view(), cmd::kCameraList), "CDialogCameraList");
  EXPECT_EQ(OpenedDialog(*f.view(), cmd::kOftenData), "CDialogDropDownParameter");
  for (int command : {cmd::kNozzleList, cmd::kPackData, cmd::kMarkData, cmd::kFeedGroup, cmd::kAutoFeed,
                      cmd::kDippingStation, cmd::kAutoTransport, cmd::kLabelingSet})
    EXPECT_FALSE(OpenedDialog(*f.view(), command).empty()) << command;
  // The firmware update needs the network link.
  dir.Write("config.ini", "[SetBasicConfig]\nm_CommModel=1\n");
  smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.LoadAll(dir.str());
  EXPECT_EQ(OpenedDialog(*f.view(), cmd::kFirmwareUpdate), "CDialogFirmwareUpdate");
  smt::CurrentMachine().machineType = 4;
  EXPECT_FALSE(OpenedDialog(*f.view(), cmd::kLampMachineSet).empty());
  smt::CurrentMachine().machineType = 0;
  EXPECT_TRUE(messages.service.Texts().empty());
  dir.Write("config.ini", "");
  smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.LoadAll(dir.str());
}

TEST_F(ShellTest, RunMarkAlignmentFailsCleanlyWithoutBoardOrMachine) {
  CMainFrame& f = Start();
  auto& run = smt::run::Services(smt::CurrentMachine());
  ASSERT_TRUE(run.vision);
  EXPECT_FALSE(run.vision->AlignBoardMarks());  // no board shown
  auto& job = f.view()->m_pPartList->Job();
  job.pcbs.Add("Marked");
  job.shownPcbName = "Marked";
  smt::CurrentMachine().connected = false;
  EXPECT_FALSE(run.vision->AlignBoardMarks());  // the move to Mark 1 is refused
  EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
}
