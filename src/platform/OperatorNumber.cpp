#include "platform/OperatorNumber.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>


namespace smt::platform {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Sign, digits, an optional point with digits, an optional exponent: the
// shapes a person types for a number. strtod alone would also take "inf",
// "nan" and hexadecimal.
bool LooksDecimal(std::string_view t) {
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  size_t digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t exp = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++exp;
    if (exp == 0) return false;
  }
  return i == t.size();
}

}  // namespace

std::optional<double> ParseOperatorNumber(std::string_view text) {
  const std::string t(Trim(text));
  if (!LooksDecimal(t)) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || errno == ERANGE || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<long long> ParseOperatorInteger(std::string_view text) {
  const std::string t(Trim(text));
  size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
  if (i == t.size()) return std::nullopt;
  for (size_t k = i; k < t.size(); ++k)
    if (t[k] < '0' || t[k] > '9') return std::nullopt;
  errno = 0;
  const long long v = std::strtoll(t.c_str(), nullptr, 10);
  if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return std::nullopt;
  return v;
}

std::optional<double> OperatorNumberInRange(std::string_view text, double lo, double hi, bool integer) {
  std::optional<double> v;
  if (integer) {
    if (auto i = ParseOperatorInteger(text)) v = static_cast<double>(*i);
  } else {
    v = ParseOperatorNumber(text);
  }
  if (!v || *v < lo || *v > hi) return std::nullopt;
  return v;
}

}  // namespace smt::platform
