#pragma once
// The camera panel's move worker: moves the head by the offset that a
// vision command measured (mode 1, picking speeds) or that a click on the
// live picture asked for (mode 0, manual speeds). The starter claims the
// busy state; the worker releases it.
#include <cstdint>

namespace smt {
class Machine;
}

struct PanelMoveRequest {
  smt::Machine* machine = nullptr;  // the machine moved (busy claimed on it)
  int mode = 0;         // 0 click, 1 vision result
  int visionMode = 0;   // camera shown: 0 Mark (down-looking), 1/2 head cameras
  int machineType = 0;
  int32_t moveX = 0, moveY = 0, moveZ = 0;  // steps (Z: nozzle turn)
  int platform = 1;     // lamp machine: the platform worked on
};

void PanelMoveThreadProc(const PanelMoveRequest& request);
