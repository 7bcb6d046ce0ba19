#pragma once
// Where a go-to command sends the head: the target in motor steps for a
// nozzle over the discard position, the Mark camera over the PCB origin or a
// mark, a nozzle over the PCB origin or an up-looking camera, the square
// heads or the measuring head over a camera, the Mark camera over the vision
// origin or the stop position. Pure computation: the range checks refuse
// with the number of the view's message to show.
#include <cstdint>
#include <string>
#include <vector>

#include "settings/BasicSettings.h"
#include "settings/PulseSettings.h"
#include "settings/PulseTable.h"
#include "vision/CameraTable.h"

namespace smt::job {
struct PcbRecord;
}

namespace smt::app {

// Camera the live view switches to before the move.
enum class GoToCamera { None, Mark, Vision1, Vision2 };

struct GoToPlan {
  bool ok = false;
  int message = 0;             // view message (1..20) when refused
  int kind = 0;                // the go-to kind the move threads read
  bool platformThread = false; // lamp machine: the platform axes move
  GoToCamera camera = GoToCamera::None;
  int32_t targetX = 0, targetY = 0, targetX2 = 0, targetY2 = 0;
  bool setTargetX = false, setTargetY = false, setTargetX2 = false, setTargetY2 = false;
  int nozzleInView = 0;        // camera panel's nozzle in view (0: unchanged)
  // Marks: the camera panel takes these viewing values before the move.
  bool showMarkValues = false;
  double visualZoom = 0, visualBox = 0;
  int lightContrast = 0, lightBrightness = 0;
  // Four square heads: the camera panel's box becomes this.
  double squareHeadsBox = 0;
};

struct GoToContext {
  const settings::BasicSettings& basic;
  const settings::PulseSettings& pulse;
  const settings::PulseTable& table;
  int machineType = 0;
  int platform = 1;                                  // lamp machine: 1 or 2
  const job::PcbRecord* shownPcb = nullptr;          // record of the PCB shown in the part list
  const job::PcbRecord* currentBoard = nullptr;      // board as loaded for the run (falls back to shownPcb)
  const std::vector<vision::CameraRow>* cameraRows = nullptr;  // the camera table's rows
  std::string cameraName1 = "Camera 1";
  std::string cameraName2 = "Camera 2";
};

// Truncation toward zero to a 32-bit step count (saturating).
int32_t StepsOf(double value);

GoToPlan PlanNozzleToThrow(const GoToContext& c, int nozzle);              // nozzle 1..8
GoToPlan PlanCameraToPcb(const GoToContext& c, int which);                 // 0 origin, 1 Mark 1, 2 Mark 2
GoToPlan PlanNozzleToPcbOrigin(const GoToContext& c, int nozzle);
GoToPlan PlanNozzleToVisionCamera(const GoToContext& c, int camera, int nozzle);  // camera 1 or 2
GoToPlan PlanSquareHeadsToCamera2(const GoToContext& c);
GoToPlan PlanMeasuringHeadToCamera1(const GoToContext& c);
GoToPlan PlanCameraToVisionOrigin(const GoToContext& c);
GoToPlan PlanCameraToStopPosition(const GoToContext& c);

}  // namespace smt::app
