#include "library/DoubleMarkTest.h"

#include <cmath>

#include "platform/SettingsSection.h"
#include "core/Machine.h"
#include "settings/ConfigKeyRanges.h"

namespace smt::library {

namespace {

constexpr double kPi = 3.141592653589793;

// Length in single precision, as the correction computes it.
float FloatLength(double dx, double dy) {
  const float fx = static_cast<float>(dx), fy = static_cast<float>(dy);
  const float sum = fx * fx + fy * fy;
  return static_cast<float>(std::sqrt(sum));
}

struct Key {
  const char* key;
  double DoubleMarkTestFields::*member;
};
const Key kKeys[] = {
    {"m_Origin_X", &DoubleMarkTestFields::m_Origin_X},
    {"m_Origin_Y", &DoubleMarkTestFields::m_Origin_Y},
    {"m_Mark1_X", &DoubleMarkTestFields::m_Mark1_X},
    {"m_Mark1_Y", &DoubleMarkTestFields::m_Mark1_Y},
    {"m_Mark2_X", &DoubleMarkTestFields::m_Mark2_X},
    {"m_Mark2_Y", &DoubleMarkTestFields::m_Mark2_Y},
    {"m_Coordinate_X", &DoubleMarkTestFields::m_Coordinate_X},
    {"m_Coordinate_Y", &DoubleMarkTestFields::m_Coordinate_Y},
    {"m_Mark2_Mark1_A_Old", &DoubleMarkTestFields::m_Mark2_Mark1_A_Old},
    {"m_SetMark1Offset_X", &DoubleMarkTestFields::m_SetMark1Offset_X},
    {"m_SetMark1Offset_Y", &DoubleMarkTestFields::m_SetMark1Offset_Y},
    {"m_SetMark2Offset_X", &DoubleMarkTestFields::m_SetMark2Offset_X},
    {"m_SetMark2Offset_Y", &DoubleMarkTestFields::m_SetMark2Offset_Y},
    {"m_Mark2_Mark1_A_New", &DoubleMarkTestFields::m_Mark2_Mark1_A_New},
    {"m_GetCoordinate_X", &DoubleMarkTestFields::m_GetCoordinate_X},
    {"m_GetCoordinate_Y", &DoubleMarkTestFields::m_GetCoordinate_Y},
};

}  // namespace

double MarkPairAngle(double u, double v) {
  if (u == 0) return v != 0 ? 90.0 : 0.0;
  if (v == 0) return 0.0;
  return std::atan(v / u) * 180.0 / kPi;
}

std::optional<DoubleMarkResult> RunDoubleMarkTest(const DoubleMarkTestFields& f) {
  const double dxp = f.m_Coordinate_X - f.m_Mark1_X, dyp = f.m_Coordinate_Y - f.m_Mark1_Y;
  const double r = FloatLength(dxp, dyp);
  const double ap = MarkPairAngle(dxp, dyp);
  const double dxm = f.m_Mark2_X - f.m_Mark1_X, dym = f.m_Mark2_Y - f.m_Mark1_Y;
  if (FloatLength(dxm, dym) < 5.0f) return std::nullopt;
  DoubleMarkResult out;
  out.angleOld = MarkPairAngle(dxm, dym);
  const double ex = (f.m_Mark2_X + f.m_SetMark2Offset_X) - (f.m_Mark1_X + f.m_SetMark1Offset_X);
  const double ey = (f.m_Mark2_Y + f.m_SetMark2Offset_Y) - (f.m_Mark1_Y + f.m_SetMark1Offset_Y);
  out.angleNew = MarkPairAngle(ex, ey);
  const double d = out.angleNew - out.angleOld;
  double x = f.m_SetMark1Offset_X, y = f.m_SetMark1Offset_Y;
  if (d == 0) {
    x += dxp;
    y += dyp;
  } else {
    const double t = (d + ap) * kPi / 180.0;
    const double c = std::cos(t) * r, s = std::sin(t) * r;
    if (dxp > 0 || (dxp == 0 && dyp > 0)) {
      x += c;
      y += s;
    } else if (dxp < 0 || (dxp == 0 && dyp < 0)) {
      x -= c;
      y -= s;
    }
  }
  out.partX = f.m_Mark1_X + x;
  out.partY = f.m_Mark1_Y + y;
  return out;
}

DoubleMarkTestFields LoadDoubleMarkTest(const std::string& appDir) {
  const smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "DoubleMarkTestConfig");
  DoubleMarkTestFields f;
  for (const auto& k : kKeys) f.*k.member = smt::settings::ReadConfigNumber(s, k.key);
  return f;
}

void SaveDoubleMarkTest(const std::string& appDir, const DoubleMarkTestFields& f) {
  const smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "DoubleMarkTestConfig");
  for (const auto& k : kKeys) s.WriteDouble(k.key, f.*k.member);
}

DoubleMarkTestFields& TheDoubleMarkTest(smt::Machine& machine) {
  return machine.Part<DoubleMarkTestFields>();
}

}  // namespace smt::library
