#include "platform/NumberFieldReader.h"

#include <QLineEdit>

#include "platform/MessageService.h"
#include "platform/RangeRefusal.h"

namespace smt::platform {

namespace {
bool AnyRange(double lo, double hi) { return lo <= -1e9 && hi >= 1e9; }
}  // namespace

void RefuseOperatorNumber(QWidget* field, double lo, double hi, const std::string& fallbackLabel,
                          const std::string& appDir, const std::string& language) {
  std::string label = FieldLabelOf(field);
  if (label.empty()) label = fallbackLabel;
  std::string message;
  if (language.empty())
    message = AnyRange(lo, hi) ? NumberRefusalText(label) : RangeRefusalText(label, lo, hi);
  else
    message = AnyRange(lo, hi) ? NumberRefusalText(appDir, language, label)
                               : RangeRefusalText(appDir, language, label, lo, hi);
  ShowMessage(message, MsgButtons::Ok, MsgIcon::Warning);
  if (auto* edit = qobject_cast<QLineEdit*>(field)) {
    edit->setFocus();
    edit->selectAll();
  } else if (field) {
    field->setFocus();
  }
}

std::optional<double> ReadOperatorNumber(QLineEdit* edit, const NumberField& spec) {
  if (!edit) return std::nullopt;
  if (auto v = OperatorNumberInRange(edit->text().toStdString(), spec.lo, spec.hi, spec.integer)) return v;
  RefuseOperatorNumber(edit, spec.lo, spec.hi, spec.fallbackLabel, spec.appDir, spec.language);
  return std::nullopt;
}

std::optional<double> ReadOperatorNumber(QLineEdit* edit, double lo, double hi, bool integer) {
  NumberField spec;
  spec.lo = lo;
  spec.hi = hi;
  spec.integer = integer;
  return ReadOperatorNumber(edit, spec);
}

}  // namespace smt::platform
