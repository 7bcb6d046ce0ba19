// Rounding to decimals as a number gives exactly the value the formatted
// text reads back as, across the values an operator and a machine meet.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "platform/DecimalRounding.h"

namespace {

using smt::platform::RoundDecimals;

double ThroughText(double v, int decimals) {
  char b[512];
  std::snprintf(b, sizeof b, "%0.*f", decimals, v);
  return std::strtod(b, nullptr);
}

// Same value and same sign (a tiny negative value reads back as -0).
void ExpectSame(double v, int decimals) {
  const double want = ThroughText(v, decimals), got = RoundDecimals(v, decimals);
  ASSERT_TRUE(want == got && std::signbit(want) == std::signbit(got))
      << "value " << std::hexfloat << v << std::defaultfloat << " (" << v << "), " << decimals << " decimals: text gives "
      << want << ", rounding gives " << got;
}

TEST(DecimalRounding, TableOfEdgesMatchesTheFormattedText) {
  const double cases[] = {0.0,     -0.0,     1.0,      -1.0,     0.5,       1.5,      2.5,      -2.5,
                          0.125,   0.375,    -0.625,   0.00005,  0.00015,   0.00025,  1.00005,  -1.00005,
                          0.99995, 0.999949, 1e-9,     -1e-9,    1234.56785, 99.99995, 0.1 + 0.2, 12.3456,
                          -0.00004, 2.675,   1.005,    1e12 + 0.5, 4503599627370495.5, 1e17, -1e300, 5e-324};
  for (double v : cases)
    for (int d : {0, 1, 2, 3, 4, 6, 9}) ExpectSame(v, d);
}

TEST(DecimalRounding, NumbersNearEveryHalfWayPointMatchTheFormattedText) {
  // k + 1/2 in units of the last decimal, and the doubles either side of it.
  for (int d : {2, 4}) {
    const double scale = std::pow(10.0, d);
    for (long long k = -200000; k <= 200000; k += 7) {
      const double mid = (static_cast<double>(k) + 0.5) / scale;
      ExpectSame(mid, d);
      ExpectSame(std::nextafter(mid, 1e9), d);
      ExpectSame(std::nextafter(mid, -1e9), d);
      ExpectSame(static_cast<double>(k) / scale, d);
    }
  }
}

TEST(DecimalRounding, RandomMachineValuesMatchTheFormattedText) {
  std::mt19937_64 gen(20261210);
  // Millimetres of a table, pulses over a scale, angles, tiny offsets.
  std::uniform_real_distribution<double> mm(-2000.0, 2000.0), small(-0.01, 0.01);
  std::uniform_int_distribution<int> pulses(-4000000, 4000000);
  std::uniform_real_distribution<double> scale(50.0, 3000.0);
  for (int i = 0; i < 50000; ++i) {
    ExpectSame(mm(gen), 4);
    ExpectSame(mm(gen), 2);
    ExpectSame(pulses(gen) / scale(gen), 4);
    ExpectSame(small(gen), 4);
  }
}

TEST(DecimalRounding, NotANumberAndInfinitiesComeBackUnchanged) {
  EXPECT_TRUE(std::isnan(RoundDecimals(std::nan(""), 4)));
  EXPECT_EQ(RoundDecimals(INFINITY, 4), INFINITY);
  EXPECT_EQ(RoundDecimals(-INFINITY, 2), -INFINITY);
}

}  // namespace
