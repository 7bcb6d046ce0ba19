#pragma once
// Where the link hands work to the window's parts: the front-panel keys, the
// ends of homing, the flying-camera moves and the camera switch reach the
// window's panels through their interfaces (link/WindowPanels.h). A panel
// nobody connected is an error naming it (platform/Hooks.h), never a silent
// skip.
#include <chrono>

namespace smt {
class Machine;
}

namespace smt::link {

// Each route reaches the panel or window connected to `machine`; the forms
// without a machine reach the machine in use's.
void RoutePartListStart(smt::Machine& machine);
void RouteJog(smt::Machine& machine, int group, int direction);
void RouteResetCaptureDone(smt::Machine& machine);
bool RouteWaitCaptureDone(smt::Machine& machine, std::chrono::milliseconds timeout);
void RouteCameraToVisionOrigin(smt::Machine& machine);
void RouteShowConveyorWidth(smt::Machine& machine);
void RouteRunPausedShown(smt::Machine& machine, bool paused);
void RouteShowBoardCameraValues(smt::Machine& machine);
void RouteSwitchCamera(smt::Machine& machine, int channel, int triggerMode);


// The front-panel jog: (group, direction) as the jog panel's jog.

}  // namespace smt::link
