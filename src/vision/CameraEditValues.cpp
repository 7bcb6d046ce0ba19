#include "vision/CameraEditValues.h"

#include <cmath>

#include "platform/SettingsSection.h"
#include "vision/CameraListSettings.h"

namespace smt::vision {

using smt::platform::FormatDouble;
using smt::platform::FormatInt;

CameraRow RowFromEditValues(const CameraEditValues& v) {
  CameraRow r;
  r[0] = v.name;
  r[1] = FormatDouble(v.x, 4);
  r[2] = FormatDouble(v.y, 4);
  for (int i = 0; i < 16; ++i) r[3 + i] = FormatDouble(v.corrections[i], 4);
  r[19] = FormatDouble(v.angle, 4);
  r[20] = FormatDouble(v.visualZoom, 2);
  r[21] = FormatDouble(v.visualSize, 2);
  r[22] = FormatInt(v.contrast);
  r[23] = FormatInt(v.brightness);
  r[24] = FormatInt(v.correctionTimes);
  r[25] = FormatInt(v.precisionXY);
  r[26] = FormatInt(v.precisionA);
  r[27] = FormatInt(v.collectTime);
  return r;
}

CameraEditValues EditValuesFromRow(const CameraRow& r) {
  CameraEditValues v;
  v.name = r[0];
  v.x = CellDouble(r[1]);
  v.y = CellDouble(r[2]);
  for (int i = 0; i < 16; ++i) v.corrections[i] = CellDouble(r[3 + i]);
  v.angle = CellDouble(r[19]);
  v.visualZoom = CellDouble(r[20]);
  v.visualSize = CellDouble(r[21]);
  v.contrast = CellInt(r[22]);
  v.brightness = CellInt(r[23]);
  v.correctionTimes = CellInt(r[24]);
  v.precisionXY = CellInt(r[25]);
  v.precisionA = CellInt(r[26]);
  v.collectTime = CellInt(r[27]);
  return v;
}

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
