#pragma once
// Reads the number fields of a library editor the way its OK needs them: a
// text that is no number, or a value outside the field's range, is refused
// with a message that names the field by its label and gives the range, in
// the dialog's language; the field gets the focus and the reading stops at
// that field.
#include <QLineEdit>
#include <optional>
#include <string>

namespace smt::library {

// Strict parses of a field text (leading and trailing blanks allowed).
std::optional<long long> ParseIntField(const std::string& text);
std::optional<double> ParseDoubleField(const std::string& text);

class FieldReader {
 public:
  // Refusals in the window's language.
  FieldReader() = default;
  // Refusals in the language the dialog was built in.
  FieldReader(std::string appDir, std::string language) : appDir_(std::move(appDir)), language_(std::move(language)) {}
  // False once a field failed; later reads do nothing.
  bool ok() const { return ok_; }
  int Int(QLineEdit* edit, long long lo, long long hi);
  int Int(QLineEdit* edit);  // any integer
  double Double(QLineEdit* edit, double lo, double hi);
  std::string Text(QLineEdit* edit) const;

 private:
  // The refusal naming the field and its range ([lo, hi] wider than
  // +-1e9 is "any number").
  void Fail(QLineEdit* edit, double lo, double hi);
  bool ok_ = true;
  std::string appDir_, language_;
};

// A text for a row cell: a TAB (the cell separator) becomes a blank, so a
// pasted TAB cannot split the row when it is read back.
std::string CellText(const QLineEdit* edit);

// Focus a field with all its text selected.
void FocusAndSelect(QLineEdit* edit);

}  // namespace smt::library
