#pragma once
// The panels of the main window that the link and the subsystems below the
// shell drive: the jog panel, the camera panel, and the window's own steps
// the link hands over (front-panel keys, homing ends). Each is one interface; the
// program's panels implement them (the jog panel itself, the shell for the
// camera panel) and tests put their own in. Using a panel nobody connected
// fails loudly with the port's name (platform/Hooks.h), and the shell reports
// an unconnected one at start-up.
#include <chrono>
#include <string>
#include <utility>

#include "platform/Port.h"

namespace smt {
class Machine;
}

namespace smt::link {

// The jog panel: the jogs of editors and pendants go through it, so the panel
// shows the axis, gear and platform the machine moves with. Window thread.
class JogPanelActions {
 public:
  virtual ~JogPanelActions() = default;
  // A jog of `axis`: held (until Release) or, with `bySteps`, one move of
  // `steps`; otherwise one jog step. False when the jog was refused.
  virtual bool Jog(int axis, bool positive, bool held, bool bySteps, int steps) = 0;
  // A held jog on the lamp machine's platform 1 or 2: the panel switches to
  // the platform first, so it shows it and the jog books the right axis.
  virtual bool JogOnPlatform(int axis, bool positive, int platform) = 0;
  // Ends a held jog.
  virtual void ReleaseJog() = 0;
  // The next speed gear; returns the new gear (0 fast .. 3 fine).
  virtual int NextSpeedGear() = 0;
  // The conveyor width axis' jog steps (the conveyor dialog's width buttons).
  virtual int WidthJogSteps() = 0;
  // Shows or hides the second information box (the conveyor trace).
  virtual void ShowConveyorTrace(bool shown) = 0;
  // Ends the one Z lift of a feeder editor's jog.
  virtual void ClearLiftOnce() = 0;
};

// The camera panel, as the subsystems below the shell use it. Any thread:
// the implementation posts to the window thread and never makes the caller
// wait, unless a method says otherwise.
class CameraPanel {
 public:
  virtual ~CameraPanel() = default;
  // The live view switches to the Mark camera.
  virtual void OpenMarkCamera() = 0;
  // The same, with the feeder light once.
  virtual void OpenMarkCameraWithFeederLight() = 0;
  // Contrast, brightness, image feature, view size (mm) and box.
  virtual void ShowVisualParameters(int contrast, int brightness, int feature, double viewSize, double viewBox) = 0;
  // Window thread: a feeder's recognition type ("01:...") becomes the
  // panel's image feature; its other values stay.
  virtual void SetImageFeature(const std::string& feature) = 0;
  // Window thread: template capture (3) or find (4) under `name`.
  virtual void TemplateCommand(int mode, const std::string& name) = 0;
  // Window thread: the panel's contrast and brightness.
  virtual std::pair<int, int> ContrastBrightness() = 0;
  // After a full home: the shown board's Mark camera values.
  virtual void ShowBoardCameraValues() = 0;
  // After a connect on either link: the cameras open as the camera kind says.
  virtual void OpenCamerasAfterConnect() = 0;
  // The camera of a camera channel (1 Mark, 2 and 3 the vision cameras) with
  // its trigger mode (-1 unchanged).
  virtual void SwitchCamera(int channel, int triggerMode) = 0;
  // The capture-done event of the flying-camera moves: reset before the
  // move, waited for (at most `timeout`, on the calling thread) after it.
  virtual void ResetCaptureDone() = 0;
  virtual bool WaitCaptureDone(std::chrono::milliseconds timeout) = 0;
};

// What the link hands to the window: the front-panel Start and pause keys,
// and the ends of homing. Any thread; the implementation posts.
class LinkWindow {
 public:
  virtual ~LinkWindow() = default;
  // The part list's Start (front-panel key 1 with the master reset accepted).
  virtual void StartFromFrontPanel() = 0;
  // The part list's toolbar after a front-panel pause (true) or resume key.
  virtual void ShowRunPaused(bool paused) = 0;
  // The camera's move to the vision origin after a full home.
  virtual void CameraToVisionOrigin() = 0;
  // After the conveyor's width axis was homed: the width is the reset width,
  // and an open conveyor dialog shows it.
  virtual void ShowConveyorWidth() = 0;
};

// The ports of a machine, and of the machine in use.
smt::platform::Port<JogPanelActions>& JogPanelPortOf(smt::Machine& machine);
smt::platform::Port<CameraPanel>& CameraPanelPortOf(smt::Machine& machine);
smt::platform::Port<LinkWindow>& LinkWindowPortOf(smt::Machine& machine);

}  // namespace smt::link
