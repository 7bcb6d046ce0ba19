#include "link/LinkRoutes.h"

#include "link/WindowPanels.h"

namespace smt::link {

void RoutePartListStart() { LinkWindowPort()->StartFromFrontPanel(); }
void RouteJog(int group, int direction) { JogPanelPort()->Jog(group, direction != 0, false, false, 0); }
void RouteResetCaptureDone() { CameraPanelPort()->ResetCaptureDone(); }
bool RouteWaitCaptureDone(std::chrono::milliseconds timeout) { return CameraPanelPort()->WaitCaptureDone(timeout); }
void RouteCameraToVisionOrigin() { LinkWindowPort()->CameraToVisionOrigin(); }
void RouteShowConveyorWidth() { LinkWindowPort()->ShowConveyorWidth(); }
void RouteRunPausedShown(bool paused) { LinkWindowPort()->ShowRunPaused(paused); }
void RouteShowBoardCameraValues() { CameraPanelPort()->ShowBoardCameraValues(); }
void RouteSwitchCamera(int channel, int triggerMode) { CameraPanelPort()->SwitchCamera(channel, triggerMode); }

}  // namespace smt::link
