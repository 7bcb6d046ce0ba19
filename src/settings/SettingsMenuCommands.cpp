#include "settings/SettingsMenuCommands.h"

#include "core/Machine.h"
#include "core/MachineState.h"
#include "core/ViewMessages.h"
#include "platform/MessageService.h"
#include "settings/CDialogSetPulse.h"
#include "settings/CDialogSpeedTemplate.h"
#include "settings/MachineSettingsStore.h"
#include "settings/PulseTable.h"
#include "settings/SpeedStore.h"
#include "platform/RefusalTexts.h"

namespace smt::settings {

SettingsMenuCommands::SettingsMenuCommands(QWidget* parent, smt::Machine& machine, MachineSettingsStore& store,
                                           SpeedStore& speed, std::string appDir)
    : parent_(parent), machine_(machine), store_(store), speed_(speed), appDir_(std::move(appDir)),
      message01_(smt::app::DefaultViewMessage(1)), message02_(smt::app::DefaultViewMessage(2)) {
  run_ = [](QDialog& d) { return d.exec(); };
}

void SettingsMenuCommands::SetBusyMessages(std::string message01, std::string message02) {
  message01_ = std::move(message01);
  message02_ = std::move(message02);
}

void SettingsMenuCommands::OnSetBasic() {
  CDialogSetBasic dlg(machine_, store_, appDir_, language_, parent_, basicHooks_);
  run_(dlg);
}

namespace {
struct PulseCommitHook {
  smt::platform::Hook<void()> hook{"Settings.pulseCommitted"};
};
}  // namespace

smt::platform::Hook<void()>& PulseCommitted(smt::Machine& machine) { return machine.Part<PulseCommitHook>().hook; }

void SettingsMenuCommands::OnSetPulse() {
  CDialogSetPulse dlg(machine_, store_, appDir_, language_, parent_, runner_);
  if (run_(dlg) == QDialog::Accepted) PulseCommitted(machine_)();
}

void SettingsMenuCommands::OpenSpeedTemplates(int page) {
  CDialogSpeedTemplate dlg(speed_, appDir_, language_, page, parent_);
  if (run_(dlg) == QDialog::Accepted && onActiveTier_) onActiveTier_(speed_.Get()->settings.m_SpeedMenuCheck);
}

bool SettingsMenuCommands::MayOpenFeedGroup() const {
  if (machine_.machineBusy) {
    platform::ShowMessage(message01_);
    return false;
  }
  return true;
}

bool SettingsMenuCommands::MayOpenWhileNotBusy() const {
  if (machine_.machineBusy) {
    platform::ShowMessage(message02_);
    return false;
  }
  return true;
}

bool SettingsMenuCommands::MayOpenAutoFeed() const {
  if (machine_.machineType == 8) return false;
  return MayOpenWhileNotBusy();
}

bool SettingsMenuCommands::MayOpenLampMachineSet() const {
  if (machine_.machineType != 4) {
    platform::ShowMessage(smt::platform::WindowText("SettingsMessagesConfig", "SettingsMessages.c_NoFunction", "此功能不可用 !"));
    return false;
  }
  return true;
}

bool SettingsMenuCommands::MayOpenFirmwareUpdate() const {
  if (!MayOpenWhileNotBusy()) return false;
  if (store_.Basic()->m_CommModel == 0) {
    platform::ShowMessage(smt::platform::WindowText("SettingsMessagesConfig", "SettingsMessages.c_NoFunction", "此功能不可用 !"));
    return false;
  }
  return true;
}

}  // namespace smt::settings
