#pragma once
// The fields of the camera editor and their rules, apart from the dialog:
// the range checks at OK, the visual box check and the
// position capture.
#include <array>
#include <string>
#include <vector>

#include "vision/CameraTable.h"

namespace smt::vision {

// The editor works on a row's values.
using CameraEditValues = CameraValues;

// The range check in the editor's order; the label of the first failing
// field ("" when all fit) and its range text.
struct RangeFailure {
  std::string field;
  double min = 0, max = 0;
};
bool CheckEditRanges(const CameraEditValues& v, RangeFailure* failure = nullptr);

// trunc(scale x box) above the image height.
bool VisualBoxTooLarge(double visualZoom, double visualSize, int imageHeight);
// Whether the box check applies while typing: always in capture-camera mode
// (0); in industrial mode (1) unless the camera shown has its high-speed
// flag; never otherwise.
bool BoxCheckAppliesWhileTyping(int highSpeedCamera, int visionMode, bool markFlag, bool visual1Flag,
                                bool visual2Flag);
// At OK: mode 0, or mode 1 with a vision mode 0..2.
bool BoxCheckAppliesAtOk(int highSpeedCamera, int visionMode);

// The OK refusals before the range checks: 1 empty name, 2 name in use by
// another row than `selectedRow`, 3 box too large; 0 when OK may go on.
int CameraEditRefusal(const CameraEditValues& v, const std::vector<std::string>& rowNames, int selectedRow,
                      bool boxCheckApplies, int imageHeight);

// Button X / Y: position in steps / pulses per mm, nudged away from zero.
std::string CapturePositionText(int32_t steps, double pulsesPerMm);
// The disabled displays: precision / pulses, "%0.4f".
std::string PrecisionText(int precision, double pulses);

}  // namespace smt::vision
