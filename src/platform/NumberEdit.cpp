#include "platform/NumberEdit.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/SettingsSection.h"

namespace smt::platform {

NumberEdit::NumberEdit(QWidget* parent, double lo, double hi, int decimals)
    : QLineEdit(parent), lo_(lo), hi_(hi), decimals_(decimals) {
  // Wide enough for the numbers of the field (at most seven digits before
  // the point), so a value is never shown cut.
  const double widest = std::max(std::fabs(lo), std::fabs(hi));
  int digits = widest >= 1 ? static_cast<int>(std::floor(std::log10(widest))) + 1 : 1;
  digits = std::clamp(digits, 3, 7);
  QString sample = QString(lo < 0 ? "-" : "") + QString(digits, '0');
  if (decimals > 0) sample += "." + QString(decimals, '0');
  setMinimumWidth(fontMetrics().horizontalAdvance(sample) + 14);
}

void NumberEdit::setValue(double v) {
  setText(QString::fromStdString(integer() ? FormatInt(static_cast<long long>(std::llround(v)))
                                           : FormatDouble(v, decimals_)));
}

double NumberEdit::value() const {
  const std::string t = text().toStdString();
  if (integer()) {
    if (auto i = ParseOperatorInteger(t)) return static_cast<double>(*i);
    return std::numeric_limits<double>::quiet_NaN();
  }
  return ParseOperatorNumber(t).value_or(std::numeric_limits<double>::quiet_NaN());
}

std::optional<double> NumberEdit::Valid() const {
  return OperatorNumberInRange(text().toStdString(), lo_, hi_, integer());
}

std::optional<double> NumberEdit::Read() { return ReadOperatorNumber(this, lo_, hi_, integer()); }

}  // namespace smt::platform
