#pragma once
// The twelve axis scales of section [SetPulseConfig] (pulses per millimetre,
// pulses per degree for A) and the pulse calculator: the generator from
// motor and drive data, the check from a measured test run, and the plan of
// a test run of one motor.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "settings/BasicSettings.h"

namespace smt::settings {

struct PulseSettings {
  double m_X_Pulse = 0, m_Y_Pulse = 0, m_Z_Pulse = 0, m_A_Pulse = 0;
  double m_WestWalk_Pulse = 0, m_WestLift_Pulse = 0, m_NorthWalk_Pulse = 0, m_NorthLift_Pulse = 0;
  double m_EastWalk_Pulse = 0, m_EastLift_Pulse = 0, m_AutoWalk1_Pulse = 0, m_AutoWalk2_Pulse = 0;

  bool operator==(const PulseSettings&) const = default;
};

struct PulseField {
  const char* key;
  double PulseSettings::*member;
};
// The twelve keys in file order.
const std::array<PulseField, 12>& PulseFields();
inline constexpr double kPulseMin = 1.0, kPulseMax = 10000.0;

// Reads [SetPulseConfig]; a value of exactly 0 becomes 1.0 (m_A_Pulse 17.7777).
PulseSettings LoadPulseSettings(const std::string& appDir);
bool SavePulseSettings(const std::string& appDir, const PulseSettings& p);
// First scale outside 1..10000, if any.
std::optional<std::string> FirstPulseOutOfRange(const PulseSettings& p);

// Generator: drive mode 0 timing pulley, 1 lead screw, -1 none chosen.
struct GeneratedPulses {
  double pulsesPerMm = 0;
  double pulsesPerDegree = 0;
};
enum class PulseCalcError { None, NoDriveMode, ZeroStepAngle, ZeroDiameter, ZeroMeasuredDistance };
struct GenerateResult {
  PulseCalcError error = PulseCalcError::None;
  GeneratedPulses value;
};
GenerateResult GeneratePulses(int driveMode, double stepAngle, int microsteps, double diameterOrPitch);

// Check value = test distance x scale / measured distance.
struct CheckResult {
  PulseCalcError error = PulseCalcError::None;
  double value = 0;
};
CheckResult CheckPulseValue(double testDistance, double scale, double measuredDistance);

// Motors a test run can move, by index of the motor-name table.
enum class PulseMotor {
  X = 0, X2, Y, Y2, Z1, Z2, Z3, A1, A2, A3, A4,
  WestWalk, WestLift, NorthWalk, NorthLift, EastWalk, EastLift, AutoWalk1, AutoWalk2
};
inline constexpr int kPulseMotorCount = 19;
// The run-axis list of a machine type (motor-name indexes in list order).
std::vector<PulseMotor> RunAxisList(int machineType);
// The scale that belongs to a motor.
double ScaleOfMotor(const PulseSettings& p, PulseMotor motor);
// The scale the check uses for list position `position` (nullopt: outside the list).
std::optional<double> CheckScaleAt(const PulseSettings& p, int machineType, int position);

// Current positions the test run checks its target against (pulses).
struct TestRunPositions {
  int32_t x = 0, y = 0, x2 = 0, y2 = 0;
  std::array<int32_t, 8> z{};
  int32_t westWalk = 0, northWalk = 0, eastWalk = 0;
};

struct TestRunPlan {
  bool valid = false;          // a motor was selected
  bool refusedByLimit = false; // target beyond the axis limit: no move
  int jogAxis = -1;            // axis code for the jog
  int32_t steps = 0;           // signed step count
  int direction = 1;           // 1 for steps >= 0, 0 for negative
  int outputOff = 0;           // output switched off before the move (5, 6, 7) or 0
};
// Plans the test run of list position `position` by `testDistance` mm.
TestRunPlan PlanTestRun(int machineType, int position, double testDistance, const PulseSettings& p,
                        const BasicSettings& basic, const TestRunPositions& pos);

// The motion side of the test run (the jog panel provides it).
class PulseTestRunner {
 public:
  virtual ~PulseTestRunner() = default;
  virtual void SwitchOutputOff(int output) = 0;
  virtual void Jog(int axisCode, int direction, int32_t steps) = 0;
  virtual TestRunPositions CurrentPositions() = 0;
};

}  // namespace smt::settings
