#pragma once
// The shell's connections between panels and subsystems (ShellConnections.cpp).
class CSMTView;

namespace smt::app {

// Connects the services at construction and the panels at the first initial update.
void ConnectShell(CSMTView& view);
void ConnectPanels(CSMTView& view);

}  // namespace smt::app
