#pragma once
// The one way a number typed by the operator is read: the whole text (blanks
// around it allowed) must be a finite decimal number — no trailing letters,
// no hexadecimal, no "inf" or "nan", nothing cut — and, for a field with a
// range, lie inside it. A text that fails is refused with a message naming
// the field by its label and its range in the window's language; the field
// gets the focus with its text selected, and the caller writes nothing.
#include <optional>
#include <string>
#include <string_view>

class QLineEdit;
class QWidget;

namespace smt::platform {

// Bounds of a field that takes any number: the refusal then names no range.
inline constexpr double kAnyNumber = 1e300;

// Strict parses (nullopt for anything but a whole finite number).
std::optional<double> ParseOperatorNumber(std::string_view text);
// Digits with an optional sign; nullopt past the 32-bit range.
std::optional<long long> ParseOperatorInteger(std::string_view text);

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

// The same check without a message: the value when the text is a number in range.
std::optional<double> OperatorNumberInRange(std::string_view text, double lo, double hi, bool integer);

}  // namespace smt::platform
