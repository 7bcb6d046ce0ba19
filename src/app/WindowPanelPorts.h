#pragma once
// The shell's side of the window's panel interfaces: the camera panel as the
// subsystems below it use it, and the feeders' part list and neighbours.
// The jog panel connects itself.
#include <functional>

class CSMTView;

namespace smt::app {

void ConnectWindowPanelPorts(CSMTView& view);

// Connects the manual Mark offsets' owners: the part list, the run's thread
// flags, the camera panel and `align`, the two-mark alignment outside a run.
void ConnectManualMarks(CSMTView& view, std::function<void()> align);

}  // namespace smt::app
