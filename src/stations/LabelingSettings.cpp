#include "stations/LabelingSettings.h"

#include <iterator>

#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"

namespace smt::stations {

using smt::platform::ConfigPath;
using smt::platform::SettingsSection;

namespace {
constexpr const char* kSection = "LabelingSetConfig";
}

LabelingSettings LabelingSettings::Load(const std::string& appDir) {
  SettingsSection s(ConfigPath(appDir), kSection);
  LabelingSettings l;
  l.m_StartX = smt::settings::ReadConfigNumber(s, "m_StartX");
  l.m_StartY = smt::settings::ReadConfigNumber(s, "m_StartY");
  l.m_EndX = smt::settings::ReadConfigNumber(s, "m_EndX");
  l.m_EndY = smt::settings::ReadConfigNumber(s, "m_EndY");
  l.m_DistanceX = smt::settings::ReadConfigNumber(s, "m_DistanceX");
  l.m_DistanceY = smt::settings::ReadConfigNumber(s, "m_DistanceY");
  if (l.m_DistanceX < 1.0) l.m_DistanceX = 1.0;
  if (l.m_DistanceY < 1.0) l.m_DistanceY = 1.0;
  l.m_SerialX = smt::settings::ReadConfigInt(s, "m_SerialX");
  l.m_SerialY = smt::settings::ReadConfigInt(s, "m_SerialY");
  l.m_ThimbleX = smt::settings::ReadConfigNumber(s, "m_ThimbleX");
  l.m_ThimbleY = smt::settings::ReadConfigNumber(s, "m_ThimbleY");
  l.m_NozzlePickHeight = smt::settings::ReadConfigNumber(s, "m_NozzlePickHeight");
  l.m_ThimblePickHeight = smt::settings::ReadConfigNumber(s, "m_ThimblePickHeight");
  l.m_LiftAwayDistance = smt::settings::ReadConfigNumber(s, "m_LiftAwayDistance");
  l.m_ComponentLenght = smt::settings::ReadConfigNumber(s, "m_ComponentLenght");
  l.m_ComponentWidth = smt::settings::ReadConfigNumber(s, "m_ComponentWidth");
  l.m_AllowableError = smt::settings::ReadConfigInt(s, "m_AllowableError");
  l.m_CheckTimes = smt::settings::ReadConfigInt(s, "m_CheckTimes");
  l.m_VisualBoxSize = smt::settings::ReadConfigNumber(s, "m_VisualBoxSize");
  l.m_Brightness = smt::settings::ReadConfigInt(s, "m_Brightness");
  l.m_Threshold = smt::settings::ReadConfigInt(s, "m_Threshold");
  l.m_GlassSheets = smt::settings::ReadConfigInt(s, "m_GlassSheets");
  if (l.m_GlassSheets < 0) l.m_GlassSheets = 0;
  l.m_Pause = smt::settings::ReadConfigInt(s, "m_Pause");
  return l;
}

bool LabelingSettings::Save(const std::string& appDir) const {
  SettingsSection s(ConfigPath(appDir), kSection);
  bool ok = true;
  auto d2 = [&](const char* k, double v) { ok &= s.WriteDouble(k, v, 2); };
  auto i = [&](const char* k, int v) { ok &= s.WriteInt(k, v); };
  d2("m_StartX", m_StartX);
  d2("m_StartY", m_StartY);
  d2("m_EndX", m_EndX);
  d2("m_EndY", m_EndY);
  d2("m_DistanceX", m_DistanceX);
  d2("m_DistanceY", m_DistanceY);
  i("m_SerialX", m_SerialX);
  i("m_SerialY", m_SerialY);
  d2("m_ThimbleX", m_ThimbleX);
  d2("m_ThimbleY", m_ThimbleY);
  d2("m_NozzlePickHeight", m_NozzlePickHeight);
  d2("m_ThimblePickHeight", m_ThimblePickHeight);
  d2("m_LiftAwayDistance", m_LiftAwayDistance);
  d2("m_ComponentLenght", m_ComponentLenght);
  d2("m_ComponentWidth", m_ComponentWidth);
  i("m_AllowableError", m_AllowableError);
  i("m_CheckTimes", m_CheckTimes);
  d2("m_VisualBoxSize", m_VisualBoxSize);
  i("m_Brightness", m_Brightness);
  i("m_Threshold", m_Threshold);
  i("m_GlassSheets", m_GlassSheets);
  i("m_Pause", m_Pause);
  return ok;
}

namespace {
struct Range {
  const char* key;
  double lo, hi;
};
const Range kRanges[] = {{"m_StartX", 0, 1000},          {"m_StartY", -1000, 0},       {"m_EndX", 0, 1000},
                         {"m_EndY", -1000, 0},           {"m_DistanceX", 1, 100},      {"m_DistanceY", 1, 100},
                         {"m_SerialX", 0, 100},          {"m_SerialY", 0, 100},        {"m_ThimbleX", 0, 1000},
                         {"m_ThimbleY", -1000, 0},       {"m_NozzlePickHeight", -100, 0},
                         {"m_ThimblePickHeight", 0, 100}, {"m_LiftAwayDistance", 0, 100},
                         {"m_ComponentLenght", 0, 20},   {"m_ComponentWidth", 0, 20},  {"m_AllowableError", 0, 100},
                         {"m_CheckTimes", 0, 10000},     {"m_VisualBoxSize", 0, 50},   {"m_Brightness", 0, 255},
                         {"m_Threshold", 0, 255}};
}  // namespace

std::string LabelingSettings::CheckRanges() const {
  const double values[] = {m_StartX,
                           m_StartY,
                           m_EndX,
                           m_EndY,
                           m_DistanceX,
                           m_DistanceY,
                           double(m_SerialX),
                           double(m_SerialY),
                           m_ThimbleX,
                           m_ThimbleY,
                           m_NozzlePickHeight,
                           m_ThimblePickHeight,
                           m_LiftAwayDistance,
                           m_ComponentLenght,
                           m_ComponentWidth,
                           double(m_AllowableError),
                           double(m_CheckTimes),
                           m_VisualBoxSize,
                           double(m_Brightness),
                           double(m_Threshold)};
  static_assert(std::size(values) == std::size(kRanges));
  for (size_t i = 0; i < std::size(kRanges); ++i)
    if (!(values[i] >= kRanges[i].lo && values[i] <= kRanges[i].hi)) return kRanges[i].key;
  return {};
}

bool LabelingSettings::RangeOf(const std::string& key, double& lo, double& hi) {
  for (const Range& r : kRanges)
    if (key == r.key) {
      lo = r.lo;
      hi = r.hi;
      return true;
    }
  return false;
}

}  // namespace smt::stations
