#include "settings/DialogSupport.h"

#include <cmath>

#include "app/core/MachineState.h"
#include "platform/MessageService.h"

namespace smt::settings {

QString NumberText(double v) { return QString::number(v, 'g', 15); }

std::optional<double> TakeNumber(QLineEdit* edit, double min, double max, bool integer) {
  bool ok = false;
  const QString text = edit->text().trimmed();
  double v = integer ? static_cast<double>(text.toInt(&ok)) : text.toDouble(&ok);
  if (ok && std::isfinite(v) && (min > max || (v >= min && v <= max))) return v;
  std::string msg;
  if (!ok) {
    msg = integer ? "请输入一个整数。\r\nPlease enter an integer." : "请输入一个数字。\r\nPlease enter a number.";
  } else {
    const std::string lo = NumberText(min).toStdString(), hi = NumberText(max).toStdString();
    msg = "请输入一个介于 " + lo + " 和 " + hi + " 之间的数。\r\nPlease enter a number between " + lo + " and " + hi + ".";
  }
  platform::ShowMessage(msg);
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
