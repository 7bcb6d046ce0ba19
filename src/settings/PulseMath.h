#pragma once
// Millimetres (or degrees) to motor steps: scale x length, truncated toward
// zero to a signed 32-bit count (2.9 gives 2, -2.9 gives -2). Values beyond
// the 32-bit range saturate instead of wrapping.
#include <cmath>
#include <cstdint>
#include <limits>

namespace smt::settings {

inline int32_t TruncToSteps(double millimetres, double pulsesPerUnit) {
  const double v = millimetres * pulsesPerUnit;
  if (std::isnan(v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (v <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);  // conversion truncates toward zero
}

}  // namespace smt::settings
