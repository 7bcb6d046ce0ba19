#include "settings/PulseTable.h"

#include <cstdio>
#include <cstdlib>

#include "platform/SettingsSection.h"
#include "settings/PulseMath.h"

namespace smt::settings {

PulseLimits ComputePulseLimits(const BasicSettings& b, const PulseSettings& p) {
  PulseLimits l;
  l.m_nXLimitPulse = TruncToSteps(b.m_X_Limit, p.m_X_Pulse);
  l.m_nYLimitPulse = TruncToSteps(b.m_Y_Limit, p.m_Y_Pulse);
  l.m_nXLimitPulseAbs = l.m_nXLimitPulse < 0 ? -static_cast<int64_t>(l.m_nXLimitPulse) > INT32_MAX ? INT32_MAX : -l.m_nXLimitPulse
                                             : l.m_nXLimitPulse;
  l.m_nYLimitPulseAbs = l.m_nYLimitPulse < 0 ? -static_cast<int64_t>(l.m_nYLimitPulse) > INT32_MAX ? INT32_MAX : -l.m_nYLimitPulse
                                             : l.m_nYLimitPulse;
  l.m_nZLimitPulse = TruncToSteps(b.m_Z_Limit, p.m_Z_Pulse);
  return l;
}

PulseTable ComputePulseTable(const BasicSettings& b, const PulseSettings& p) {
  PulseTable t;
  t.dXPulse = p.m_X_Pulse;
  t.dYPulse = p.m_Y_Pulse;
  t.dZPulse = p.m_Z_Pulse;
  t.dAPulse = p.m_A_Pulse;
  t.dWestWalkPulse = p.m_WestWalk_Pulse;
  t.dWestLiftPulse = p.m_WestLift_Pulse;
  t.dNorthWalkPulse = p.m_NorthWalk_Pulse;
  t.dNorthLiftPulse = p.m_NorthLift_Pulse;
  t.dEastWalkPulse = p.m_EastWalk_Pulse;
  t.dEastLiftPulse = p.m_EastLift_Pulse;
  t.dAutoWalk1Pulse = p.m_AutoWalk1_Pulse;
  const double sx = p.m_X_Pulse, sy = p.m_Y_Pulse;
  t.nCameraToNozzle1X = TruncToSteps(b.m_X_CameraToNozzle1, sx);
  t.nCameraToNozzle1Y = TruncToSteps(b.m_Y_CameraToNozzle1, sy);
  for (int n = 1; n <= 8; ++n) t.nCorrectionX[n] = TruncToSteps(b.CorrectionX(n), sx);
  for (int n = 1; n <= 8; ++n) t.nCorrectionY[n] = TruncToSteps(b.CorrectionY(n), sy);
  for (int n = 2; n <= 8; ++n) {
    t.nNozzleToNozzle1X[n] = TruncToSteps(b.XNozzleToNozzle1(n), sx);
    t.nNozzleToNozzle1Y[n] = TruncToSteps(b.YNozzleToNozzle1(n), sy);
  }
  t.nDropsGlueToNozzle1X = TruncToSteps(b.m_X_DropsGlueToNozzle1, sx);
  t.nDropsGlueToNozzle1Y = TruncToSteps(b.m_Y_DropsGlueToNozzle1, sy);
  t.nY2ToY1X = TruncToSteps(b.m_X_Y2ToY1, sx);
  t.nY2ToY1Y = TruncToSteps(b.m_Y_Y2ToY1, sy);
  t.nThrowX = TruncToSteps(b.m_X_ThrowPosition, sx);
  t.nThrowY = TruncToSteps(b.m_Y_ThrowPosition, sy);
  return t;
}

PulseLimits LoadAxisConfig(const std::string& appDir) {
  const std::string path = platform::ConfigPath(appDir);
  platform::SettingsSection basic(path, "SetBasicConfig"), pulse(path, "SetPulseConfig");
  BasicSettings b;
  PulseSettings p;
  // The values as stored (0 when not set), each within its range.
  auto limit = [&](const char* key) {
    const BasicField* f = FindBasicField(key);
    return basic.ReadNumber(key, f->min, f->max, 0, /*zeroIsUnset=*/true);
  };
  auto scale = [&](const char* key) { return pulse.ReadNumber(key, kPulseMin, kPulseMax, 0, /*zeroIsUnset=*/true); };
  b.m_X_Limit = limit("m_X_Limit");
  b.m_Y_Limit = limit("m_Y_Limit");
  b.m_Z_Limit = limit("m_Z_Limit");
  p.m_X_Pulse = scale("m_X_Pulse");
  p.m_Y_Pulse = scale("m_Y_Pulse");
  p.m_Z_Pulse = scale("m_Z_Pulse");
  return ComputePulseLimits(b, p);
}


}  // namespace smt::settings
