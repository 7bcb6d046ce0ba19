#pragma once
// A line edit for one number field. It keeps every keystroke (unlike a spin
// box, which drops a character that would leave its range or is not a digit)
// and leaves the judging to Read(), the shared operator-number reader: the
// whole text a number in the field's range, else the refusal naming the
// field and its range.
#include <QLineEdit>
#include <optional>

#include "platform/NumberFieldReader.h"

namespace smt::platform {

class NumberEdit : public QLineEdit {
 public:
  // decimals < 0: whole numbers only.
  NumberEdit(QWidget* parent, double lo, double hi, int decimals);

  double minimum() const { return lo_; }
  double maximum() const { return hi_; }
  bool integer() const { return decimals_ < 0; }

  // Shows v with the field's decimals (emits textChanged).
  void setValue(double v);
  // The number the text holds now, in range or not; NaN when it holds none.
  double value() const;
  // The value when the text is a number in range; no message.
  std::optional<double> Valid() const;
  // The value, or the refusal (field label and range in the window's
  // language; focus on the field) and nullopt.
  std::optional<double> Read();

 private:
  double lo_, hi_;
  int decimals_;
};

}  // namespace smt::platform
