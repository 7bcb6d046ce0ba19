#include "settings/PulseSettings.h"

#include <cmath>
#include <cstdlib>

#include "platform/SettingsSection.h"
#include "settings/PulseMath.h"

namespace smt::settings {

const std::array<PulseField, 12>& PulseFields() {
  static const std::array<PulseField, 12> k = {{
      {"m_X_Pulse", &PulseSettings::m_X_Pulse},
      {"m_Y_Pulse", &PulseSettings::m_Y_Pulse},
      {"m_Z_Pulse", &PulseSettings::m_Z_Pulse},
      {"m_A_Pulse", &PulseSettings::m_A_Pulse},
      {"m_WestWalk_Pulse", &PulseSettings::m_WestWalk_Pulse},
      {"m_WestLift_Pulse", &PulseSettings::m_WestLift_Pulse},
      {"m_NorthWalk_Pulse", &PulseSettings::m_NorthWalk_Pulse},
      {"m_NorthLift_Pulse", &PulseSettings::m_NorthLift_Pulse},
      {"m_EastWalk_Pulse", &PulseSettings::m_EastWalk_Pulse},
      {"m_EastLift_Pulse", &PulseSettings::m_EastLift_Pulse},
      {"m_AutoWalk1_Pulse", &PulseSettings::m_AutoWalk1_Pulse},
      {"m_AutoWalk2_Pulse", &PulseSettings::m_AutoWalk2_Pulse},
  }};
  return k;
}

PulseSettings LoadPulseSettings(const std::string& appDir) {
  platform::SettingsSection sec(platform::ConfigPath(appDir), "SetPulseConfig");
  PulseSettings p;
  for (const auto& f : PulseFields()) {
    // 0 (or no key) means not set: the axis gets its default scale.
    const double def = (f.member == &PulseSettings::m_A_Pulse) ? 17.7777 : 1.0;
    p.*f.member = sec.ReadNumber(f.key, kPulseMin, kPulseMax, def, /*zeroIsUnset=*/true);
  }
  return p;
}

bool SavePulseSettings(const std::string& appDir, const PulseSettings& p) {
  platform::SettingsSection sec(platform::ConfigPath(appDir), "SetPulseConfig");
  bool ok = true;
  for (const auto& f : PulseFields()) ok = sec.WriteDouble(f.key, p.*f.member) && ok;
  return ok;
}

std::optional<std::string> FirstPulseOutOfRange(const PulseSettings& p) {
  for (const auto& f : PulseFields()) {
    const double v = p.*f.member;
    if (std::isnan(v) || v < kPulseMin || v > kPulseMax) return std::string(f.key);
  }
  return std::nullopt;
}

GenerateResult GeneratePulses(int driveMode, double stepAngle, int microsteps, double diameterOrPitch) {
  GenerateResult r;
  if (driveMode != 0 && driveMode != 1) {
    r.error = PulseCalcError::NoDriveMode;
    return r;
  }
  if (stepAngle == 0.0 || std::isnan(stepAngle)) {
    r.error = PulseCalcError::ZeroStepAngle;
    return r;
  }
  if (diameterOrPitch == 0.0 || std::isnan(diameterOrPitch)) {
    r.error = PulseCalcError::ZeroDiameter;
    return r;
  }
  const double stepsPerTurn = (360.0 / stepAngle) * microsteps;
  r.value.pulsesPerMm = driveMode == 0 ? stepsPerTurn / (diameterOrPitch * 3.1415926) : stepsPerTurn / diameterOrPitch;
  r.value.pulsesPerDegree = microsteps / stepAngle;
  return r;
}

CheckResult CheckPulseValue(double testDistance, double scale, double measuredDistance) {
  CheckResult r;
  if (measuredDistance == 0.0 || std::isnan(measuredDistance)) {
    r.error = PulseCalcError::ZeroMeasuredDistance;
    return r;
  }
  r.value = (testDistance * scale) / measuredDistance;
  return r;
}

std::vector<PulseMotor> RunAxisList(int machineType) {
  using M = PulseMotor;
  switch (machineType) {
    case 4:
      return {M::X, M::X2, M::Y, M::Y2, M::Z1, M::Z2, M::Z3, M::A1, M::A2, M::A3, M::A4};
    case 6:
      return {M::X, M::Y, M::Z1, M::Z2, M::Z3, M::A1, M::A2, M::A3, M::A4};
    case 7:
    case 8:
      return {M::X, M::Y};
    default:
      return {M::X,        M::Y,        M::Z1,        M::Z2,        M::A1,       M::A2,
              M::A3,       M::A4,       M::WestWalk,  M::WestLift,  M::NorthWalk, M::NorthLift,
              M::EastWalk, M::EastLift, M::AutoWalk1, M::AutoWalk2};
  }
}

double ScaleOfMotor(const PulseSettings& p, PulseMotor m) {
  using M = PulseMotor;
  switch (m) {
    case M::X: case M::X2: return p.m_X_Pulse;
    case M::Y: case M::Y2: return p.m_Y_Pulse;
    case M::Z1: case M::Z2: case M::Z3: return p.m_Z_Pulse;
    case M::A1: case M::A2: case M::A3: case M::A4: return p.m_A_Pulse;
    case M::WestWalk: return p.m_WestWalk_Pulse;
    case M::WestLift: return p.m_WestLift_Pulse;
    case M::NorthWalk: return p.m_NorthWalk_Pulse;
    case M::NorthLift: return p.m_NorthLift_Pulse;
    case M::EastWalk: return p.m_EastWalk_Pulse;
    case M::EastLift: return p.m_EastLift_Pulse;
    case M::AutoWalk1: return p.m_AutoWalk1_Pulse;
    case M::AutoWalk2: return p.m_AutoWalk2_Pulse;
  }
  return 0;
}

std::optional<double> CheckScaleAt(const PulseSettings& p, int machineType, int position) {
  const auto list = RunAxisList(machineType);
  if (position < 0 || position >= static_cast<int>(list.size())) return std::nullopt;
  return ScaleOfMotor(p, list[position]);
}

TestRunPlan PlanTestRun(int machineType, int position, double testDistance, const PulseSettings& p,
                        const BasicSettings& b, const TestRunPositions& pos) {
  TestRunPlan plan;
  const auto list = RunAxisList(machineType);
  if (position < 0 || position >= static_cast<int>(list.size())) return plan;
  const PulseMotor motor = list[position];
  const double scale = ScaleOfMotor(p, motor);
  plan.valid = true;
  plan.steps = TruncToSteps(testDistance, scale);
  plan.direction = plan.steps >= 0 ? 1 : 0;
  const int32_t s = plan.steps;
  auto within = [](int64_t target, int64_t lo, int64_t hi) { return target >= lo && target <= hi; };
  const int64_t xLimit = TruncToSteps(b.m_X_Limit, p.m_X_Pulse);
  const int64_t yLimit = TruncToSteps(b.m_Y_Limit, p.m_Y_Pulse);
  const int64_t zLimit = TruncToSteps(b.m_Z_Limit, p.m_Z_Pulse);
  auto zPair = [&](int odd, int even) {  // heads odd/even (0-based indexes)
    return s >= 0 ? (int64_t{pos.z[odd]} - s >= zLimit) : (int64_t{pos.z[even]} + s >= zLimit);
  };
  using M = PulseMotor;
  bool ok = true;
  switch (motor) {
    case M::X: plan.jogAxis = 0; ok = within(int64_t{pos.x} + s, 0, xLimit); break;
    case M::Y: plan.jogAxis = 1; ok = within(int64_t{pos.y} + s, yLimit, 0); break;
    case M::X2: plan.jogAxis = 9; ok = within(int64_t{pos.x2} + s, 0, xLimit); break;
    case M::Y2: plan.jogAxis = 12; ok = within(int64_t{pos.y2} + s, yLimit, 0); break;
    case M::Z1: plan.jogAxis = 2; ok = zPair(0, 1); break;
    case M::Z2: plan.jogAxis = 3; ok = zPair(2, 3); break;
    case M::Z3: plan.jogAxis = 10; ok = zPair(4, 5); break;
    case M::A1: plan.jogAxis = 4; break;
    case M::A2: plan.jogAxis = 5; break;
    case M::A3: plan.jogAxis = 6; break;
    case M::A4: plan.jogAxis = 7; break;
    case M::WestWalk:
      plan.jogAxis = 8;
      plan.outputOff = 5;
      ok = within(int64_t{pos.westWalk} + s, TruncToSteps(b.m_WestFeed_Limit, p.m_WestWalk_Pulse), 0);
      break;
    case M::WestLift: plan.jogAxis = 11; break;
    case M::NorthWalk:
      plan.jogAxis = 9;
      plan.outputOff = 6;
      ok = within(int64_t{pos.northWalk} + s, 0, TruncToSteps(b.m_NorthFeed_Limit, p.m_NorthWalk_Pulse));
      break;
    case M::NorthLift: plan.jogAxis = 12; break;
    case M::EastWalk:
      plan.jogAxis = 10;
      plan.outputOff = 7;
      ok = within(int64_t{pos.eastWalk} + s, TruncToSteps(b.m_EastFeed_Limit, p.m_EastWalk_Pulse), 0);
      break;
    case M::EastLift: plan.jogAxis = 13; break;
    case M::AutoWalk1: plan.jogAxis = 14; break;
    case M::AutoWalk2: plan.jogAxis = 15; break;
  }
  plan.refusedByLimit = !ok;
  return plan;
}

}  // namespace smt::settings
