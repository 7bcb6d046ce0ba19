#pragma once
// Reads the number fields of a library editor the way its OK needs them: a
// text that is no number, or a value outside the field's range, is told to
// the operator with the range message, the field gets the focus and the
// reading stops at that field.
#include <QLineEdit>
#include <optional>
#include <string>

namespace smt::library {

// "Enter an integer between 0 and 100." / "Enter a number between 0.1 and 50."
std::string IntRangeMessage(long long lo, long long hi);
std::string DoubleRangeMessage(double lo, double hi);

// Strict parses of a field text (leading and trailing blanks allowed).
std::optional<long long> ParseIntField(const std::string& text);
std::optional<double> ParseDoubleField(const std::string& text);

class FieldReader {
 public:
  // False once a field failed; later reads do nothing.
  bool ok() const { return ok_; }
  int Int(QLineEdit* edit, long long lo, long long hi);
  int Int(QLineEdit* edit);  // any integer
  double Double(QLineEdit* edit, double lo, double hi);
  std::string Text(QLineEdit* edit) const;

 private:
  void Fail(QLineEdit* edit, const std::string& message);
  bool ok_ = true;
};

// A text for a row cell: a TAB (the cell separator) becomes a blank, so a
// pasted TAB cannot split the row when it is read back.
std::string CellText(const QLineEdit* edit);

// Focus a field with all its text selected.
void FocusAndSelect(QLineEdit* edit);

}  // namespace smt::library
