#pragma once
// Fold a found part angle (degrees) and a reference angle into the angle
// correction that suits the part's symmetry.
namespace smt::vision {

// Four-fold parts: the correction lies in [-45, 45] (45 itself possible).
double NormalizeAngle45(double foundAngle, double reference);
// Two-fold parts: the correction lies in [-90, 90].
double NormalizeAngle90(double foundAngle, double reference);
// Polarised parts: only the upper fold above 180.
double NormalizeAngle180(double foundAngle, double reference);

}  // namespace smt::vision
