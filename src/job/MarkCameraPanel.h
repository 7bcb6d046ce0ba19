#pragma once
// The camera panel as the PCB editor and the coordinate tests use it: the
// live view switched to the Mark camera (with the feeder brightness for one
// opening), the height of the live image, and the board's Mark camera values
// shown on the panel. The shell connects the camera panel; tests their own.
// Window thread.
#include <utility>

#include "platform/HookInterface.h"

namespace smt::job {

class MarkCameraPanel {
 public:
  virtual ~MarkCameraPanel() = default;
  virtual void OpenMarkCamera() = 0;
  // The next opening of the Mark camera takes the feeder brightness.
  virtual void FeederLightOnce() = 0;
  // Pixels of the live image.
  virtual int LiveImageHeight() = 0;
  // The board's Mark box (mm), contrast and brightness at the panel's zoom.
  virtual void ShowMarkValues(double box, int contrast, int brightness) = 0;
  // One value changed in the PCB editor; the panel keeps the others.
  virtual void ShowZoom(double zoom) = 0;
  virtual void ShowBox(double box) = 0;
  virtual void ShowContrast(int contrast) = 0;
  virtual void ShowBrightness(int brightness) = 0;
  // The panel's contrast and brightness now.
  virtual std::pair<int, int> Light() = 0;
};

using MarkCameraPanelSlot = smt::platform::HookInterface<MarkCameraPanel>;

}  // namespace smt::job
