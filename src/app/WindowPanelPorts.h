#pragma once
// The shell's side of the window's panel interfaces: the camera panel as the
// subsystems below it use it, and the feeders' part list and neighbours.
// The jog panel connects itself.
class CSMTView;

namespace smt::app {

void ConnectWindowPanelPorts(CSMTView& view);

}  // namespace smt::app
