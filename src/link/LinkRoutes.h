#pragma once
// Where the link hands work to other parts of the program that it does not
// own: the part list's Start, the jog operation, the camera panel's capture
// and the view's vision-origin move. Each is a loud hook the owning part
// installs.
#include <chrono>
#include <functional>

#include "platform/Hooks.h"

namespace smt::link {

// One instance (Routes()), connected by the shell; a route nobody connected
// is an error naming it (platform/Hooks.h), never a silent skip.
struct LinkRoutes {
  template <class Sig>
  using Hook = smt::platform::Hook<Sig>;
  // The part list's Start (front-panel key 1 with the master reset accepted).
  // Runs on the window thread.
  Hook<void()> partListStart{"LinkRoutes.partListStart"};
  // The jog of the jog panel: (group, direction), the other arguments 0.
  Hook<void(int group, int direction)> jog{"LinkRoutes.jog"};
  // The camera panel's capture-done event of the flying-camera moves.
  Hook<void()> resetCaptureDone{"LinkRoutes.resetCaptureDone"};
  Hook<bool(std::chrono::milliseconds)> waitCaptureDone{"LinkRoutes.waitCaptureDone"};
  // The view's camera move to the vision origin after a full home.
  Hook<void()> cameraToVisionOrigin{"LinkRoutes.cameraToVisionOrigin"};
  // The conveyor dialog's width display after the width axis was homed.
  Hook<void()> showConveyorWidth{"LinkRoutes.showConveyorWidth"};
  // The jog panel's next speed gear (front-panel key 5); without it the
  // link steps its own gear.
  Hook<void()> nextSpeedGear{"LinkRoutes.nextSpeedGear"};
  // The part list's toolbar after a front-panel pause (true) or resume key.
  Hook<void(bool paused)> runPausedShown{"LinkRoutes.runPausedShown"};
  // The camera panel shows the shown board's Mark values (after a full home).
  Hook<void()> showBoardCameraValues{"LinkRoutes.showBoardCameraValues"};
  // The camera panel's camera of a camera channel (1 Mark, 2 and 3 the
  // vision cameras) with its trigger mode (-1 unchanged): SelectCamera.
  Hook<void(int channel, int triggerMode)> switchCamera{"LinkRoutes.switchCamera"};
};

// The one instance. Owners connect their routes with the Install functions
// below (under the routes' lock); tests may reset it with `Routes() = {}`
// while no link thread runs.
LinkRoutes& Routes();
// Reads the routes under their lock (the hook table's probes).
bool ReadRoutes(const std::function<bool(const LinkRoutes&)>& read);

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

// Calls into the routes; a missing route is logged with its name and ends
// the current action (UnwiredHook).
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
