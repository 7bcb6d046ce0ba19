#include "vision/CameraEditValues.h"

#include <cmath>

#include "platform/SettingsSection.h"
#include "vision/CameraListSettings.h"

namespace smt::vision {

using smt::platform::FormatDouble;
using smt::platform::FormatInt;

bool CheckEditRanges(const CameraEditValues& v, RangeFailure* failure) {
  struct Check {
    const char* field;
    double value, min, max;
  };
  // The order in which the dialog takes its values.
  const Check checks[] = {
      {"visualZoom", v.visualZoom, 1.0, 200.0},    {"visualSize", v.visualSize, 1.0, 640.0},
      {"contrast", double(v.contrast), 0, 255},     {"brightness", double(v.brightness), 0, 255},
      {"correctionTimes", double(v.correctionTimes), 0, 20}, {"precisionA", double(v.precisionA), 0, 30},
      {"precisionXY", double(v.precisionXY), 0, 10}, {"collectTime", double(v.collectTime), 20, 10000},
  };
  for (const auto& c : checks) {
    if (!(c.value >= c.min && c.value <= c.max)) {
      if (failure) *failure = {c.field, c.min, c.max};
      return false;
    }
  }
  return true;
}

bool VisualBoxTooLarge(double visualZoom, double visualSize, int imageHeight) {
  const double box = std::trunc(visualZoom * visualSize);
  if (!std::isfinite(box)) return true;
  return box > imageHeight;
}

bool BoxCheckAppliesWhileTyping(int highSpeedCamera, int visionMode, bool markFlag, bool visual1Flag,
                                bool visual2Flag) {
  if (highSpeedCamera == 0) return true;
  if (highSpeedCamera != 1) return false;
  switch (visionMode) {
    case 0: return !markFlag;
    case 1: return !visual1Flag;
    case 2: return !visual2Flag;
    default: return false;
  }
}

bool BoxCheckAppliesAtOk(int highSpeedCamera, int visionMode) {
  return highSpeedCamera == 0 || (highSpeedCamera == 1 && visionMode >= 0 && visionMode <= 2);
}

int CameraEditRefusal(const CameraEditValues& v, const std::vector<std::string>& rowNames, int selectedRow,
                      bool boxCheckApplies, int imageHeight) {
  if (v.name.empty()) return 1;
  for (int i = 0; i < static_cast<int>(rowNames.size()); ++i)
    if (i != selectedRow && rowNames[i] == v.name) return 2;
  if (boxCheckApplies && VisualBoxTooLarge(v.visualZoom, v.visualSize, imageHeight)) return 3;
  return 0;
}

std::string CapturePositionText(int32_t steps, double pulsesPerMm) {
  return NudgedMmText(pulsesPerMm != 0.0 ? steps / pulsesPerMm : 0.0);
}

std::string PrecisionText(int precision, double pulses) {
  return FormatDouble(pulses != 0.0 ? precision / pulses : 0.0, 4);
}

}  // namespace smt::vision
