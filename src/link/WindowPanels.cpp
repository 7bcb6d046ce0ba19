#include "link/WindowPanels.h"

#include "core/Machine.h"

namespace smt::link {

namespace {

// The machine's connections to the two panels.
struct WindowPanelPorts {
  smt::platform::Port<JogPanelActions> jog{"JogPanel"};
  smt::platform::Port<CameraPanel> camera{"CameraPanel"};
  smt::platform::Port<LinkWindow> window{"LinkWindow"};
};

}  // namespace

smt::platform::Port<JogPanelActions>& JogPanelPortOf(smt::Machine& machine) { return machine.Part<WindowPanelPorts>().jog; }
smt::platform::Port<CameraPanel>& CameraPanelPortOf(smt::Machine& machine) {
  return machine.Part<WindowPanelPorts>().camera;
}
smt::platform::Port<LinkWindow>& LinkWindowPortOf(smt::Machine& machine) { return machine.Part<WindowPanelPorts>().window; }

}  // namespace smt::link
