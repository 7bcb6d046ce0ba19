#include "settings/DialogSupport.h"

#include <cmath>

#include "core/MachineState.h"
#include "platform/MessageService.h"
#include "platform/NumberFieldReader.h"
#include "platform/RangeRefusal.h"
#include "platform/RefusalTexts.h"

namespace smt::settings {

QString NumberText(double v) { return QString::number(v, 'g', 15); }

std::optional<double> TakeNumber(QLineEdit* edit, double min, double max, bool integer) {
  // min > max: any number.
  if (min > max) return platform::ReadOperatorNumber(edit, -platform::kAnyNumber, platform::kAnyNumber, integer);
  return platform::ReadOperatorNumber(edit, min, max, integer);
}

bool CheckMachineReady(const smt::Machine& machine) {
  if (!machine.connected) {
    platform::ShowMessage(smt::platform::WindowText("SettingsMessagesConfig", "SettingsMessages.c_NotConnected", "机器没有联机 !"));
    return false;
  }
  if (!machine.resetDone) {
    platform::ShowMessage(smt::platform::WindowText("SettingsMessagesConfig", "SettingsMessages.c_NotReset", "机器没有复位 !"));
    return false;
  }
  if (machine.machineBusy) {
    platform::ShowMessage(smt::platform::WindowText("SettingsMessagesConfig", "SettingsMessages.c_Running", "机器正在运行 !"));
    return false;
  }
  return true;
}

}  // namespace smt::settings
