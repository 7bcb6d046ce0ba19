#pragma once
// The two-mark correction calculator: from the taught Mark 1, Mark 2 and a
// part, and the deviations measured at the two marks, the angle of the mark
// pair before and after and where the part lands after the correction.
// Its fields persist in [DoubleMarkTestConfig].
#include <optional>
#include <string>
#include "platform/SystemText.h"

namespace smt {
class Machine;
}

namespace smt::library {

struct DoubleMarkTestFields {
  double m_Origin_X = 0, m_Origin_Y = 0;
  double m_Mark1_X = 0, m_Mark1_Y = 0, m_Mark2_X = 0, m_Mark2_Y = 0;
  double m_Coordinate_X = 0, m_Coordinate_Y = 0;
  double m_Mark2_Mark1_A_Old = 0;
  double m_SetMark1Offset_X = 0, m_SetMark1Offset_Y = 0;
  double m_SetMark2Offset_X = 0, m_SetMark2Offset_Y = 0;
  double m_Mark2_Mark1_A_New = 0;
  double m_GetCoordinate_X = 0, m_GetCoordinate_Y = 0;
};

inline constexpr smt::platform::SystemText kMarksTooClose{"LibraryMessagesConfig", "LibraryMessages.c_MarksTooClose", "Mark2 to Mark1 length is too short!!"};

// The angle in degrees of (u, v) in (-90, 90]: 90 for u = 0 and v not 0.
double MarkPairAngle(double u, double v);

struct DoubleMarkResult {
  double angleOld = 0, angleNew = 0;
  double partX = 0, partY = 0;
};
// nullopt when the marks are less than 5 mm apart.
std::optional<DoubleMarkResult> RunDoubleMarkTest(const DoubleMarkTestFields& f);

DoubleMarkTestFields LoadDoubleMarkTest(const std::string& appDir);
void SaveDoubleMarkTest(const std::string& appDir, const DoubleMarkTestFields& f);

// The fields the view reads at start-up and the dialog shows.
DoubleMarkTestFields& TheDoubleMarkTest(smt::Machine& machine);

}  // namespace smt::library
