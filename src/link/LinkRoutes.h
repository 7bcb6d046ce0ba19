#pragma once
// Where the link hands work to other parts of the program that it does not
// own: the part list's Start, the jog operation, the camera panel's capture
// and the view's vision-origin move. Each is a function the owning part
// installs; until then it does nothing and writes a log line.
#include <chrono>
#include <functional>

namespace smt::link {

struct LinkRoutes {
  // The part list's Start (front-panel key 1 with the master reset accepted).
  // Runs on the window thread.
  std::function<void()> partListStart;
  // The jog of the jog panel: (group, direction), the other arguments 0.
  std::function<void(int group, int direction)> jog;
  // The camera panel's capture-done event of the flying-camera moves.
  std::function<void()> resetCaptureDone;
  std::function<bool(std::chrono::milliseconds)> waitCaptureDone;
  // The view's camera move to the vision origin after a full home.
  std::function<void()> cameraToVisionOrigin;
  // The conveyor dialog's width display after the width axis was homed.
  std::function<void()> showConveyorWidth;
  // The jog panel's next speed gear (front-panel key 5).
  std::function<void()> nextSpeedGear;
  // The part list's toolbar after a front-panel pause (true) or resume key.
  std::function<void(bool paused)> runPausedShown;
  // The camera panel shows the shown board's Mark values (after a full home).
  std::function<void()> showBoardCameraValues;
  // The camera panel's camera of a camera channel (1 Mark, 2 and 3 the
  // vision cameras) with its trigger mode (-1 unchanged): SelectCamera.
  std::function<void(int channel, int triggerMode)> switchCamera;
};

// The installed routes (a copy; routes may be replaced while a link thread reads).
LinkRoutes GetLinkRoutes();
void SetLinkRoutes(const LinkRoutes& routes);

// Each owner installs its own route without touching the others.
void InstallPartListStart(std::function<void()> start);
void InstallJog(std::function<void(int group, int direction)> jog);
void InstallCaptureDone(std::function<void()> reset, std::function<bool(std::chrono::milliseconds)> wait);
void InstallCameraToVisionOrigin(std::function<void()> move);
void InstallShowConveyorWidth(std::function<void()> show);
void InstallNextSpeedGear(std::function<void()> next);
void InstallRunPausedShown(std::function<void(bool paused)> shown);
void InstallShowBoardCameraValues(std::function<void()> show);
void InstallCameraSwitch(std::function<void(int channel, int triggerMode)> sw);

// Calls into the routes; a missing route logs and does nothing (a missing
// capture wait counts as done).
void RoutePartListStart();
void RouteJog(int group, int direction);
void RouteResetCaptureDone();
bool RouteWaitCaptureDone(std::chrono::milliseconds timeout);
void RouteCameraToVisionOrigin();
void RouteShowConveyorWidth();
void RouteRunPausedShown(bool paused);
void RouteShowBoardCameraValues();
void RouteSwitchCamera(int channel, int triggerMode);

}  // namespace smt::link
