#include "platform/DecimalRounding.h"

#include <cmath>

namespace smt::platform {

double RoundDecimals(double value, int decimals) {
  static constexpr double kScale[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  if (!std::isfinite(value) || decimals < 0 || decimals > 9) return value;
  const double scale = kScale[decimals];
  const double a = std::fabs(value);
  // The product and its rounding error give |value| * scale exactly.
  const double p = a * scale;
  // Past 2^52 the double already has no digit below the last decimal kept
  // that the rounding could change.
  if (p >= 4503599627370496.0) return value;
  const double err = std::fma(a, scale, -p);
  const double f = std::floor(p);
  const double frac = p - f;  // exact
  double k = f;
  if (frac > 0.5) k = f + 1;
  else if (frac == 0.5) {
    // The exact product is f + 0.5 + err.
    if (err > 0) k = f + 1;
    else if (err == 0) k = std::fmod(f, 2.0) == 0 ? f : f + 1;
  }
  // k and scale are exact, so the quotient is the double nearest to k / scale.
  const double r = k / scale;
  return std::signbit(value) ? -r : r;
}

}  // namespace smt::platform
