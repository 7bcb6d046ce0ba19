#pragma once
// The jog panel's enabling reaches the part list's run toolbar: after a full
// home Start comes alive (and Pcb Clamp on the conveyor machines), and both
// go off again with the jog controls.
class CSMTView;

namespace smt::app {

void InstallJogToolbarWiring(CSMTView& view);

}  // namespace smt::app
