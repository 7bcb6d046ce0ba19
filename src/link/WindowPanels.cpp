#include "link/WindowPanels.h"

#include "core/Machine.h"

namespace smt::link {

namespace {

// The machine's connections to the two panels.
struct WindowPanelPorts {
  smt::platform::Port<JogPanel> jog{"JogPanel"};
  smt::platform::Port<CameraPanel> camera{"CameraPanel"};
};

}  // namespace

smt::platform::Port<JogPanel>& JogPanelPort() { return smt::CurrentMachine().Part<WindowPanelPorts>().jog; }
smt::platform::Port<CameraPanel>& CameraPanelPort() { return smt::CurrentMachine().Part<WindowPanelPorts>().camera; }

}  // namespace smt::link
