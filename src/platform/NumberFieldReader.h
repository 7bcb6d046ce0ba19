#pragma once
// Reading a number field of a dialog with the shared operator-number reader
// (OperatorNumber.h): a text that is no number in the field's range is
// refused with a message naming the field by its label and its range in the
// window's language; the field gets the focus with its text selected, and
// the caller writes nothing.
#include <optional>
#include <string>

#include "platform/OperatorNumber.h"

class QLineEdit;
class QWidget;

namespace smt::platform {

// The refusal of `field`'s text: its label (or `fallbackLabel` when it has
// none) and [lo, hi] (no range when either bound is kAnyNumber or beyond),
// in the window's language or in (appDir, language) when given.
void RefuseOperatorNumber(QWidget* field, double lo, double hi, const std::string& fallbackLabel = {},
                          const std::string& appDir = {}, const std::string& language = {});

// Reads an edit's text as a number in [lo, hi] (an integer when asked); else
// the refusal above and nullopt.
struct NumberField {
  double lo = -kAnyNumber, hi = kAnyNumber;
  bool integer = false;
  std::string fallbackLabel = {};
  std::string appDir = {}, language = {};
};
std::optional<double> ReadOperatorNumber(QLineEdit* edit, const NumberField& spec);
std::optional<double> ReadOperatorNumber(QLineEdit* edit, double lo, double hi, bool integer = false);

}  // namespace smt::platform
