#include "vision/AngleNormalizers.h"

#include <cmath>

namespace smt::vision {

double NormalizeAngle45(double foundAngle, double reference) {
  const double a = -foundAngle;
  const double t = a + reference;
  const double u = a >= 0.0 ? t - 90.0 : t + 90.0;
  double c = std::fabs(u) <= std::fabs(t) ? u : t;
  if (c > 45.0)
    c -= 90.0;
  else if (c < -45.0)
    c += 90.0;
  return c;
}

double NormalizeAngle90(double foundAngle, double reference) {
  double c = std::fmod(-foundAngle + reference, 180.0);
  if (c > 90.0) c -= 180.0;
  if (c < -90.0) c += 180.0;
  return c;
}

double NormalizeAngle180(double foundAngle, double reference) {
  // The reference may carry whole turns (a row of 900 degrees).
  double c = std::fmod(-foundAngle + reference, 360.0);
  if (c > 180.0) c -= 360.0;
  return c;
}

}  // namespace smt::vision
