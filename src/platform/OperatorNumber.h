#pragma once
// The one way a number typed by the operator is read: the whole text (blanks
// around it allowed) must be a finite decimal number — no trailing letters,
// no hexadecimal, no "inf" or "nan", nothing cut — and, for a field with a
// range, lie inside it. The refusal of a field that fails is in
// NumberFieldReader.h.
#include <optional>
#include <string>
#include <string_view>

namespace smt::platform {

// Bounds of a field that takes any number: the refusal then names no range.
inline constexpr double kAnyNumber = 1e300;

// Strict parses (nullopt for anything but a whole finite number).
std::optional<double> ParseOperatorNumber(std::string_view text);
// Digits with an optional sign; nullopt past the 32-bit range.
std::optional<long long> ParseOperatorInteger(std::string_view text);

// The same check without a message: the value when the text is a number in range.
std::optional<double> OperatorNumberInRange(std::string_view text, double lo, double hi, bool integer);

}  // namespace smt::platform
