#include "settings/DialogSupport.h"

#include <cmath>

#include "core/MachineState.h"
#include "platform/MessageService.h"
#include "platform/RangeRefusal.h"

namespace smt::settings {

QString NumberText(double v) { return QString::number(v, 'g', 15); }

std::optional<double> TakeNumber(QLineEdit* edit, double min, double max, bool integer) {
  bool ok = false;
  const QString text = edit->text().trimmed();
  double v = integer ? static_cast<double>(text.toInt(&ok)) : text.toDouble(&ok);
  if (ok && std::isfinite(v) && (min > max || (v >= min && v <= max))) return v;
  // The refusal names the field and, when it has one, its range, in the window's language.
  const std::string field = platform::FieldLabelOf(edit);
  platform::ShowMessage(min > max ? platform::NumberRefusalText(field) : platform::RangeRefusalText(field, min, max));
  edit->setFocus();
  edit->selectAll();
  return std::nullopt;
}

bool CheckMachineReady() {
  if (!g_bConnected) {
    platform::ShowMessage("Machine is not connection !");
    return false;
  }
  if (!g_bResetDone) {
    platform::ShowMessage("Machine is not reset !");
    return false;
  }
  if (g_bMachineBusy) {
    platform::ShowMessage("Machine is runnig !");
    return false;
  }
  return true;
}

}  // namespace smt::settings
