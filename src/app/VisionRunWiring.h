#pragma once
// The run's vision steps connected to the camera panel and the camera list:
// the vision cameras' positions, head part centring (stop and look), the
// fly pass and its triggered frames, the part's own mark, the board's marks
// through the Mark camera (industrial or capture camera), and the camera
// switch of SelectCamera.
#include <functional>
#include <optional>
#include <string>

#include "job/PcbRecord.h"
#include "vision/MarkAlign.h"

class CDialogSetView;
class CDialogCameraList;
class CSMTView;
namespace smt {
class Machine;
}

namespace smt::app {

struct VisionRunParts {
  // The view whose live camera the runs switch to the Mark camera.
  CSMTView* view = nullptr;
  CDialogSetView* panel = nullptr;
  CDialogCameraList* cameras = nullptr;
  // The board shown in the part list (its Mark camera values).
  std::function<std::optional<smt::job::PcbRecord>()> shownBoard;
  // The program folder (its Template folder holds the parts' template
  // images of the labeling machine's own marks).
  std::string appDir;
  // After the jog panel's "识别Mark1到Mark2" (outside a run): the PCB editor
  // keeps the measured offsets as its manual Mark offsets.
  std::function<void(const smt::vision::ManualMarkOffsetsMm&)> storeManualOffsets;
};

// Connects the run's vision services, the panel's fly-frame hook and the
// Mark camera of the mark alignment. The parts must outlive the program's
// runs. Returns the jog panel's "识别Mark1到Mark2": the same alignment
// outside a run (its worker calls it).
std::function<void()> WireVisionRun(smt::Machine& machine, const VisionRunParts& parts);

// The shell's part: wires the view's panel and camera list at the first
// initial update.
void InstallVisionRun(CSMTView& view);

}  // namespace smt::app
