#pragma once
// Taking a position into the basic settings: the current machine position
// in steps becomes millimetres for the edit beside the take button.
#include <cstdint>
#include <optional>
#include <string>

namespace smt::settings {

// steps / pulsesPerMm, rounded to four decimals and moved one step of the
// last decimal away from zero ("%0.4f"). nullopt when the scale is 0 (the
// field is then left as it is).
std::optional<std::string> TeachPositionText(int64_t steps, double pulsesPerMm);

// The visual-origin offset: the edited origin (as its field read it) minus
// the confirmed origin, "%0.4f".
std::string VisualOriginOffsetText(double editedOrigin, double storedOrigin);

// Inputs of the take buttons: positions and the zero point in steps.
struct TeachInputs {
  int machineType = 0;
  int platform = 1;  // jog panel's platform selection (machine type 4)
  int32_t x = 0, y = 0, x2 = 0, y2 = 0;
  int32_t z[8] = {};
  int32_t zeroX = 0, zeroY = 0, zeroX2 = 0, zeroY2 = 0;
  double xPulse = 0, yPulse = 0, zPulse = 0;
  double cameraToNozzle1X = 0, cameraToNozzle1Y = 0;  // stored offsets (mm)
};

enum class TeachButton {
  ZNozzleFeed1, ZNozzleFeed2, ZNozzleFeed3, ZNozzleFeed4, ZNozzleFeed5, ZNozzleFeed6, ZNozzleFeed7, ZNozzleFeed8,
  ZNozzle1Pcb, ZDropsGlue,
  MeasurementX, MeasurementY,
  CameraX, CameraY,
  Nozzle2X, Nozzle2Y, Nozzle3X, Nozzle3Y, Nozzle4X, Nozzle4Y, Nozzle5X, Nozzle5Y,
  Nozzle6X, Nozzle6Y, Nozzle7X, Nozzle7Y, Nozzle8X, Nozzle8Y,
  Y2ToY1X, Y2ToY1Y, DropsGlueX, DropsGlueY,
  VisualOriginX, VisualOriginY, StopPositionX, StopPositionY,
  ThrowX, ThrowY,
};

// The settings key the button fills.
const char* TeachButtonKey(TeachButton b);
// Text for the button's edit; "0.0000" where the machine type has no such
// axis; nullopt when the scale is 0.
std::optional<std::string> TeachButtonText(TeachButton b, const TeachInputs& in);

}  // namespace smt::settings
