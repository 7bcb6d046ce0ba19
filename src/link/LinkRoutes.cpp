#include "link/LinkRoutes.h"

#include "core/Machine.h"
#include "link/WindowPanels.h"

namespace smt::link {

void RoutePartListStart(smt::Machine& m) { LinkWindowPortOf(m)->StartFromFrontPanel(); }
void RouteJog(smt::Machine& m, int group, int direction) { JogPanelPortOf(m)->Jog(group, direction != 0, false, false, 0); }
void RouteResetCaptureDone(smt::Machine& m) { CameraPanelPortOf(m)->ResetCaptureDone(); }
bool RouteWaitCaptureDone(smt::Machine& m, std::chrono::milliseconds timeout) {
  return CameraPanelPortOf(m)->WaitCaptureDone(timeout);
}
void RouteCameraToVisionOrigin(smt::Machine& m) { LinkWindowPortOf(m)->CameraToVisionOrigin(); }
void RouteShowConveyorWidth(smt::Machine& m) { LinkWindowPortOf(m)->ShowConveyorWidth(); }
void RouteRunPausedShown(smt::Machine& m, bool paused) { LinkWindowPortOf(m)->ShowRunPaused(paused); }
void RouteShowBoardCameraValues(smt::Machine& m) { CameraPanelPortOf(m)->ShowBoardCameraValues(); }
void RouteSwitchCamera(smt::Machine& m, int channel, int triggerMode) {
  CameraPanelPortOf(m)->SwitchCamera(channel, triggerMode);
}


}  // namespace smt::link
