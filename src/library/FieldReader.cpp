#include "library/FieldReader.h"

#include <QString>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/MessageService.h"
#include "platform/NumberFieldReader.h"
#include "platform/RangeRefusal.h"

namespace smt::library {

std::optional<long long> ParseIntField(const std::string& text) { return smt::platform::ParseOperatorInteger(text); }

std::optional<double> ParseDoubleField(const std::string& text) { return smt::platform::ParseOperatorNumber(text); }

std::string CellText(const QLineEdit* edit) {
  std::string s = edit->text().toStdString();
  for (char& c : s)
    if (c == '\t') c = ' ';
  return s;
}

void FocusAndSelect(QLineEdit* edit) {
  if (!edit) return;
  edit->setFocus();
  edit->selectAll();
}

void FieldReader::Fail(QLineEdit* edit, double lo, double hi) {
  ok_ = false;
  smt::platform::RefuseOperatorNumber(edit, lo, hi, {}, appDir_, language_);
}

int FieldReader::Int(QLineEdit* edit, long long lo, long long hi) {
  if (!ok_) return 0;
  const auto v = ParseIntField(edit->text().toStdString());
  if (!v || *v < lo || *v > hi) {
    Fail(edit, static_cast<double>(lo), static_cast<double>(hi));
    return 0;
  }
  return static_cast<int>(*v);
}

int FieldReader::Int(QLineEdit* edit) { return Int(edit, INT_MIN, INT_MAX); }

double FieldReader::Double(QLineEdit* edit, double lo, double hi) {
  if (!ok_) return 0;
  const auto v = ParseDoubleField(edit->text().toStdString());
  if (!v || *v < lo || *v > hi) {
    Fail(edit, lo, hi);
    return 0;
  }
  return *v;
}

std::string FieldReader::Text(QLineEdit* edit) const { return edit->text().toStdString(); }

}  // namespace smt::library
