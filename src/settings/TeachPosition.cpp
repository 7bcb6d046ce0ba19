#include "settings/TeachPosition.h"

#include <cmath>

#include "platform/DecimalRounding.h"
#include "platform/SettingsSection.h"
#include "settings/PulseMath.h"

namespace smt::settings {

std::optional<std::string> TeachPositionText(int64_t steps, double pulsesPerMm) {
  if (pulsesPerMm == 0.0 || std::isnan(pulsesPerMm)) return std::nullopt;
  const double raw = static_cast<double>(steps) / pulsesPerMm;
  double v = platform::RoundDecimals(raw, 4);
  if (v > 0) v += 0.0001;
  else if (v != 0) v -= 0.0001;
  return platform::FormatDouble(v, 4);
}

std::string VisualOriginOffsetText(double editedOrigin, double storedOrigin) {
  return platform::FormatDouble(editedOrigin - storedOrigin, 4);
}

const char* TeachButtonKey(TeachButton b) {
  static const char* const k[] = {
      "m_Z_Nozzle1ToFeed", "m_Z_Nozzle2ToFeed", "m_Z_Nozzle3ToFeed", "m_Z_Nozzle4ToFeed",
      "m_Z_Nozzle5ToFeed", "m_Z_Nozzle6ToFeed", "m_Z_Nozzle7ToFeed", "m_Z_Nozzle8ToFeed",
      "m_Z_Nozzle1ToPCBHeight", "m_Z_DropsGlueToPCBHeight",
      "m_X_Measurement", "m_Y_Measurement",
      "m_X_CameraToNozzle1", "m_Y_CameraToNozzle1",
      "m_X_Nozzle2ToNozzle1", "m_Y_Nozzle2ToNozzle1", "m_X_Nozzle3ToNozzle1", "m_Y_Nozzle3ToNozzle1",
      "m_X_Nozzle4ToNozzle1", "m_Y_Nozzle4ToNozzle1", "m_X_Nozzle5ToNozzle1", "m_Y_Nozzle5ToNozzle1",
      "m_X_Nozzle6ToNozzle1", "m_Y_Nozzle6ToNozzle1", "m_X_Nozzle7ToNozzle1", "m_Y_Nozzle7ToNozzle1",
      "m_X_Nozzle8ToNozzle1", "m_Y_Nozzle8ToNozzle1",
      "m_X_Y2ToY1", "m_Y_Y2ToY1", "m_X_DropsGlueToNozzle1", "m_Y_DropsGlueToNozzle1",
      "m_X_VisualOrigin", "m_Y_VisualOrigin", "m_X_StopPosition", "m_Y_StopPosition",
      "m_X_ThrowPosition", "m_Y_ThrowPosition",
  };
  return k[static_cast<int>(b)];
}

std::optional<std::string> TeachButtonText(TeachButton b, const TeachInputs& in) {
  using B = TeachButton;
  const std::string zero = "0.0000";
  const bool type4 = in.machineType == 4;
  auto xOnPlatform = [&]() -> int64_t { return int64_t{in.zeroX} - (type4 ? in.x2 : in.x); };
  // nullopt from this lambda means "no axis: 0.0000".
  auto yOnPlatform = [&]() -> std::optional<int64_t> {
    if (!type4 || in.platform == 1) return int64_t{in.zeroY} - in.y;
    if (in.platform == 2) return int64_t{in.zeroY} - in.y2;
    return std::nullopt;
  };
  const int bi = static_cast<int>(b);
  if (bi <= static_cast<int>(B::ZNozzleFeed8)) return TeachPositionText(in.z[bi], in.zPulse);
  switch (b) {
    case B::ZNozzle1Pcb: return TeachPositionText(in.z[0], in.zPulse);
    case B::ZDropsGlue: {
      int head = 0;
      switch (in.machineType) {
        case 1: case 2: case 5: case 10: head = 2; break;
        case 3: case 4: case 6: head = 4; break;
        case 7: case 8: head = 8; break;
        default: return zero;
      }
      return TeachPositionText(in.z[head - 1], in.zPulse);
    }
    case B::MeasurementX: case B::Nozzle2X: case B::Nozzle3X: case B::Nozzle4X: case B::Nozzle7X:
    case B::Nozzle8X: case B::DropsGlueX:
      return TeachPositionText(int64_t{in.zeroX} - in.x, in.xPulse);
    case B::MeasurementY: case B::Nozzle2Y: case B::Nozzle3Y: case B::Nozzle4Y: case B::Nozzle7Y:
    case B::Nozzle8Y: case B::DropsGlueY:
      return TeachPositionText(int64_t{in.zeroY} - in.y, in.yPulse);
    case B::CameraX: case B::Nozzle5X: case B::Nozzle6X:
      return TeachPositionText(xOnPlatform(), in.xPulse);
    case B::CameraY: case B::Nozzle5Y: case B::Nozzle6Y: {
      auto v = yOnPlatform();
      if (!v) return zero;
      return TeachPositionText(*v, in.yPulse);
    }
    case B::Y2ToY1X: return TeachPositionText(int64_t{in.x2} - in.zeroX2, in.xPulse);
    case B::Y2ToY1Y: return TeachPositionText(int64_t{in.y2} - in.zeroY, in.yPulse);
    case B::VisualOriginX: case B::StopPositionX:
      return TeachPositionText(int64_t{in.x} + TruncToSteps(in.cameraToNozzle1X, in.xPulse), in.xPulse);
    case B::VisualOriginY: case B::StopPositionY:
      return TeachPositionText(int64_t{in.y} + TruncToSteps(in.cameraToNozzle1Y, in.yPulse), in.yPulse);
    case B::ThrowX: return TeachPositionText(in.x, in.xPulse);
    case B::ThrowY:
      if (!type4 || in.platform == 1) return TeachPositionText(in.y, in.yPulse);
      if (in.platform == 2) return TeachPositionText(in.y2, in.yPulse);
      return zero;
    default: return std::nullopt;
  }
}

}  // namespace smt::settings
