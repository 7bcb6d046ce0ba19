#pragma once
// The calibration tasks of the camera list's row menu: with a standard
// piece (a round target of known diameter at a taught base position) they
// calibrate the camera scale, the camera positions, the Mark camera to
// nozzle 1 offset, the offsets of nozzles 2..8 and the fly triggers. Each
// task runs on one worker thread; the starter claims the busy state.
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <opencv2/core.hpp>
#include <string>

#include "core/Machine.h"
#include "vision/CameraListSettings.h"
#include "vision/CameraTable.h"

class CDialogSetView;
struct BoardMarkView;

namespace smt::vision {

// The fly pass geometry in steps (the head layout's fly part).
struct FlyLayout {
  int headCount = 1;
  int32_t startX = 0, startY = 0, endX = 0;
  std::array<int32_t, 8> trigger{};
  std::array<int32_t, 4> further{};
};
// A fly layout from the camera 1 record, the head X offsets (steps, index
// 2..8) and the trigger settings, for the head count of the machine type.
FlyLayout ComputeFlyLayout(int machineType, const CameraRecord& camera1, const std::array<int32_t, 9>& headOffsetX,
                           const std::array<int, 8>& triggerPulse);
int HeadCountForMachineType(int machineType);

// Z axis code of a head and whether its stroke is negated; rotation axis.
struct HeadAxis {
  uint8_t z = 2;
  bool negate = false;
  uint8_t rotation = 4;
};
HeadAxis HeadAxesFor(int head, int machineType);

// Centre of four measurements where 0 takes part as a fifth value.
double HeadOffsetCentre(const std::array<double, 4>& values);

// One round of the scale calibration: accepted when the measured diameter
// lies within 1 % of the piece; else the next scale.
struct ScaleStep {
  bool accepted = false;
  double scale = 0;
};
ScaleStep NextScale(double baseDiameter, double measuredDiameter, double scale);

// The trigger window of a head: true when t fits; `base` receives the part
// of t that is not the setting.
bool FlyTriggerInWindow(int head, int32_t t, int32_t pitch, int32_t offsetK, int32_t* base);

// Everything a task reads and writes; shared between the window and the
// worker (the settings the worker changes are under `m`).
struct CalibrationJob {
  std::mutex m;
  smt::Machine* machine = nullptr;       // the machine the task works on (set by the starter)
  CameraTable* table = nullptr;          // rows and records (position, scale and the records)
  CameraListSettings* settings = nullptr;
  std::atomic<bool>* calibrationRunning = nullptr;
  CDialogSetView* panel = nullptr;       // camera panel (may be null in tests)
  int task = 0;
  int selectedRow = 0;
  std::string appDir;
  std::function<BoardMarkView()> boardMark;
  FlyLayout fly;
  // Shows a row that a task changed in the open list (its shown texts;
  // called on the task's thread).
  std::function<void(int row, const std::vector<std::string>& texts)> showRow;
  // Shows a trigger setting in its edit (window thread).
  std::function<void(int head, int value)> showTrigger;
  // Frame of a camera role for measurements (default: the panel's).
  std::function<bool(int role, cv::Mat& frame)> grabFrame;
};

// Runs the task of `job` (0..9) to its end; releases the busy state.
void CameraCalibrationThreadProc(const std::shared_ptr<CalibrationJob>& job);
// Claims the busy state and starts the task's worker; false when busy.
bool StartCameraCalibration(const std::shared_ptr<CalibrationJob>& job);

// Steps (exposed for tests and the fly test).
bool MoveCameraToStandardPiece(CalibrationJob& job);
bool BringStandardPieceToCamera(CalibrationJob& job, int head, int camera, int32_t dx, int32_t dy);
bool ReturnStandardPiece(CalibrationJob& job, int head);
bool PrepareCalibrationCamera(CalibrationJob& job, int camera, double& boxMm, int& threshold, double& pixelsPerMm);
void CalibrateByCentring(CalibrationJob& job, int threshold, double pixelsPerMm, double boxMm);
void CalibrateHeadOffset(CalibrationJob& job, int head, int camera, int threshold, double boxMm, double pixelsPerMm);
bool CalibrateFlyTrigger(CalibrationJob& job, int camera, int head);
// The Mark camera's measurement of the piece: offset in steps.
bool MeasurePieceUnderMarkCamera(CalibrationJob& job, int32_t& dx, int32_t& dy);

}  // namespace smt::vision
