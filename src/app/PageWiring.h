#pragma once
// The camera table's neighbours: the head layout follows a rebuild of the
// camera records (with the fly-camera inputs read from the table), the pulse
// settings' OK re-computes the camera positions in steps, and the feeder
// list's vision icons follow the camera names; the part list's coordinate
// tests reach the camera panel.
class CSMTView;

namespace smt::app {

void InstallPageWiring(CSMTView& view);

}  // namespace smt::app
