#pragma once
// The PCB editor's remembered Mark and board values, section [PcbEditConfig]
// of config.ini, each read with its range (settings/ConfigKeyRanges.h); a
// missing or zero count, zoom, box, diameter or time reads as its smallest
// working value.
#include <string>

namespace smt::job {

struct PcbEditSettings {
  int m_PcbBoardCount = 1;
  double m_VisualZoom = 1.0;
  int m_DetectPrecision = 1;
  bool m_ImageColorReversal = false;
  double m_VisualBox = 0.2;
  double m_MarkDiameter = 0.1;
  int m_LightContrast = 0;
  int m_LightBrightness = 0;
  int m_VisualTimes = 1;
  int m_MarkCollectTime = 10;
  bool m_SpecialMark2 = false;
  int m_Mark2LightContrast = 0;
  int m_Mark2LightBrightness = 0;
};

PcbEditSettings LoadPcbEditSettings(const std::string& appDir);

}  // namespace smt::job
