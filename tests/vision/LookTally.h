#pragma once
// Judging looks of the part recognisers against known answers: right (within
// 0.1 mm and 1 degree), refused ("not found"), or found and wrong; and a
// table of the counts per kind of picture and type for the test's output.
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "vision/AngleNormalizers.h"
#include "vision/RecognitionTypes.h"

namespace visiontest {

inline constexpr double kRightMm = 0.1;
inline constexpr double kRightDeg = 1.0;

enum class LookOutcome { Right, Refused, Wrong };

// The turn after which a type's angle correction repeats (its normaliser):
// 90 degrees for the four-fold types, 180 for the two-fold, 360 for the
// one-fold (triode and the two one-fold special packages).
inline double SymmetryPeriod(int type, const std::string& name) {
  using namespace smt::vision;
  switch (type) {
    case kRecogResistance:
    case kRecogCapacitance:
    case kRecogDiode:
      return 180.0;
    case kRecogTriode:
      return 360.0;
    case kRecogSpecial:
      if (name == kSpecialG5nb || name == kSpecialC10x16) return 360.0;
      return 180.0;
    default:
      return 90.0;
  }
}

// Difference of two angles folded into (-period/2, period/2].
inline double FoldedDifference(double a, double b, double period) {
  double d = std::fmod(a - b, period);
  if (d > period / 2) d -= period;
  if (d <= -period / 2) d += period;
  return d;
}

struct LookError {
  double mm = 0, deg = 0;
};

// found: the recogniser said found; dX, dY (mm) and dA (degrees) as it
// wrote them; the truth: the part's centre offset from the camera axis (mm,
// x right, y down) and its turn (degrees, clockwise on the picture) against
// the references 0.
inline LookOutcome JudgeLook(bool found, double dX, double dY, double dA, double trueX, double trueY, double trueTurn,
                             double period, LookError* error = nullptr) {
  if (!found) return LookOutcome::Refused;
  const double mm = std::hypot(dX + trueX, dY + trueY);
  const double deg = std::fabs(FoldedDifference(dA, -trueTurn, period));
  if (error) *error = {mm, deg};
  return mm <= kRightMm && deg <= kRightDeg ? LookOutcome::Right : LookOutcome::Wrong;
}

struct Tally {
  int right = 0, refused = 0, wrong = 0;
  void Add(LookOutcome o) { (o == LookOutcome::Right ? right : o == LookOutcome::Refused ? refused : wrong)++; }
  int Looks() const { return right + refused + wrong; }
};

class LookTable {
 public:
  void Add(const std::string& row, LookOutcome o) { rows_[row].Add(o); }
  Tally Total() const {
    Tally t;
    for (const auto& [k, v] : rows_) {
      t.right += v.right;
      t.refused += v.refused;
      t.wrong += v.wrong;
    }
    return t;
  }
  void Print(const char* title) const {
    std::printf("%s\n%-44s %6s %8s %12s\n", title, "picture kind / type", "right", "refused", "found wrong");
    for (const auto& [k, v] : rows_) std::printf("%-44s %6d %8d %12d\n", k.c_str(), v.right, v.refused, v.wrong);
    const Tally t = Total();
    std::printf("%-44s %6d %8d %12d\n", "all", t.right, t.refused, t.wrong);
  }

 private:
  std::map<std::string, Tally> rows_;
};

}  // namespace visiontest
