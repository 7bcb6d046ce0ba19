#include "job/PcbEditSettings.h"

#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"

namespace smt::job {

PcbEditSettings LoadPcbEditSettings(const std::string& appDir) {
  const smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "PcbEditConfig");
  using smt::settings::ReadConfigInt;
  using smt::settings::ReadConfigNumber;
  PcbEditSettings p;
  p.m_PcbBoardCount = ReadConfigInt(s, "m_PcbBoardCount");
  p.m_VisualZoom = ReadConfigNumber(s, "m_VisualZoom");
  p.m_DetectPrecision = ReadConfigInt(s, "m_DetectPrecision");
  p.m_ImageColorReversal = ReadConfigInt(s, "m_ImageColorReversal") != 0;
  p.m_VisualBox = ReadConfigNumber(s, "m_VisualBox");
  p.m_MarkDiameter = ReadConfigNumber(s, "m_MarkDiameter");
  p.m_LightContrast = ReadConfigInt(s, "m_LightContrast");
  p.m_LightBrightness = ReadConfigInt(s, "m_LightBrightness");
  p.m_VisualTimes = ReadConfigInt(s, "m_VisualTimes");
  p.m_MarkCollectTime = ReadConfigInt(s, "m_MarkCollectTime");
  p.m_SpecialMark2 = ReadConfigInt(s, "m_SpecialMark2") != 0;
  p.m_Mark2LightContrast = ReadConfigInt(s, "m_Mark2LightContrast");
  p.m_Mark2LightBrightness = ReadConfigInt(s, "m_Mark2LightBrightness");
  return p;
}

}  // namespace smt::job
