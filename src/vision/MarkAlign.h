#pragma once
// Board mark alignment through the Mark camera: centre the camera on each
// of the board's two fiducial marks in a few correction passes, sum the
// corrections as the marks' offsets from their nominal positions and work
// out the board's rotation. Also the centring on a mark of the caller's
// choice (a part's own mark, a calibration piece).
//
// The machine, the camera and the window are reached through MarkVisionIo,
// so the steps run the same on the run thread, on a jog worker and in tests
// against a simulated camera.
#include <atomic>
#include <cstdint>
#include <functional>

#include "core/Machine.h"
#include "platform/Hooks.h"
#include <string>

#include <opencv2/core.hpp>
#include "platform/SystemText.h"

namespace smt::vision {

// Mark parameters of the board in work (the PCB editor's values).
struct MarkAlignParams {
  double visualZoom = 18.0;   // pixels per mm
  double visualBox = 2.0;     // mm
  double markDiameter = 1.0;  // mm
  int detectPrecision = 20;   // percent
  bool invert = false;
  int contrast = 190, brightness = 100;
  int passes = 3;
  int collectTimeMs = 200;
  bool specialMark2 = false;
  int mark2Contrast = 150, mark2Brightness = 100;
};

struct MarkMoveSpeeds {
  int32_t xStart = 1, xRun = 1, yStart = 1, yRun = 1;
};

// Where the marks are: nominal positions in pulses, Mark 2 also in mm (a
// Mark 2 at exactly 0.0/0.0 mm means a single-mark board), the origin of the
// board or panel cell in work and the Mark camera's offset.
struct MarkAlignBoard {
  int32_t mark1X = 0, mark1Y = 0, mark2X = 0, mark2Y = 0;
  double mark2XMm = 0, mark2YMm = 0;
  int32_t cellOriginX = 0, cellOriginY = 0;
  int32_t cameraOffsetX = 0, cameraOffsetY = 0;
};

// The offsets written after a manual alignment (mm, four decimals).
struct ManualMarkOffsetsMm {
  double mark1X = 0, mark1Y = 0, mark2X = 0, mark2Y = 0;
};

// The seams of the alignment. Every member has a working default (see
// DefaultMarkVisionIo) except grabFrame and cameraReady, which the camera
// panel provides.
struct MarkVisionIo {
  // A usable Mark camera is there.
  std::function<bool()> cameraReady;
  // One colour frame of the Mark camera; false when none came in time.
  std::function<bool(cv::Mat& frame)> grabFrame;
  // Relative XY move; false when refused or not done.
  std::function<bool(int32_t dx, int32_t dy, const MarkMoveSpeeds& speeds)> moveRelative;
  // The camera panel's zoom, visual size, contrast and brightness fields.
  std::function<void(double zoom, double box, int contrast, int brightness)> showCameraFields;
  // A line for the jog panel's information box and the log.
  std::function<void(const std::string& line)> info;
  // The pause gate of a run; false when the run was stopped.
  std::function<bool()> waitPauseGate;
  // Light-settle delay before the first frame after a light change.
  std::function<void()> lightSettle;
  // Sleep between passes (collect time).
  std::function<void(int ms)> sleepMs;
  // Operator texts by key with the built-in Chinese default.
  std::function<std::string(const std::string& key, const std::string& def)> text;
  // After a manual alignment: the PCB editor's manual offsets (needed by
  // every alignment outside a run; loud when not connected).
  smt::platform::Hook<void(const ManualMarkOffsetsMm&)> storeManualOffsets{"MarkVisionIo.storeManualOffsets"};
  // Pulses per mm of X and Y.
  double pulsesPerMmX = 1.0, pulsesPerMmY = 1.0;
};

// Moves `machine` with SendCmd64MoveXY, its run's pause gate, the log,
// sleeps and the built-in texts; the Mark camera installed on the machine.
// The io keeps a reference to the machine.
MarkVisionIo DefaultMarkVisionIo(smt::Machine& machine);

// The camera panel installs its Mark-camera frame step and camera check on
// its machine once; DefaultMarkVisionIo picks them up.
void SetMarkCamera(smt::Machine& machine, std::function<bool()> cameraReady, std::function<bool(cv::Mat&)> grabFrame);

// 1 while Mark 1 is measured, 2 while Mark 2 is measured.

// The next frame of the Mark camera through `io`; false when none came (the
// grab failed or gave an empty picture), told in the log and to the operator
// as a picture that did not come: the camera, not the mark, failed.
bool GrabMarkFrame(const MarkVisionIo& io, cv::Mat& frame);

// The angle of a vector in degrees as the alignment reckons it: 0 for dx 0
// and dy 0, 90 for dx 0, 0 for dy 0, else atan(dy/dx).
double MarkVectorAngle(double dx, double dy);
// The board rotation from the nominal and measured angles.
double BoardAngleFromMarks(double nominalAngle, double measuredAngle);

// Message texts.
inline constexpr const char* kNoCameraKey = "PartList.c_Message_29";
inline constexpr const char* kNoCameraText = "没有相机 !";
inline constexpr const char* kMarkSizeKey = "PartList.c_Message_30";
inline constexpr const char* kMarkSizeText = "Mark大小识别失败 !  是-重新识别，否-退出，取消-退出";
inline constexpr const char* kNoFrameKey = "PartList.c_Message_47";
inline constexpr const char* kNoFrameText = "Mark相机没有送来图像 ! 请检查相机是否掉线 !";
inline constexpr const char* kMarkFailedKey = "PartList.c_Message_38";
inline constexpr const char* kMarkFailedText = "Mark识别失败 !";
inline constexpr const char* kMarkToleranceKey = "PartList.c_Message_39";
inline constexpr const char* kMarkToleranceText = "Mark位置超过允许公差 !   是-继续，否-终止，取消-继续";
inline constexpr smt::platform::SystemText kMarksTooClose{"VisionMessagesConfig", "VisionMessages.c_MarksTooClose", "Mark2 to Mark1 length is too short!!"};

// A mark of the caller's choice (RecognizeMark).
struct SpecifiedMark {
  int kind = 1;  // 1 round mark; 2 any other shape
  int precisionPercent = 20;
  int contrast = 190, brightness = 100;
  int collectTimeMs = 200;
  int passes = 3;
  bool invert = false;
  int maxCorrectionPulses = 1000;
  double boxMm = 2.0;
  double diameterMm = 1.0;
  double zoom = 18.0;  // pixels per mm (the PCB editor's)
};

class MarkAligner {
 public:
  // Aligns on `machine`: its position, mark offsets and board rotation.
  MarkAligner(smt::Machine& machine, MarkVisionIo io, MarkAlignParams params, MarkMoveSpeeds toMark,
              MarkMoveSpeeds correction);

  // The whole two-mark alignment of the board or panel cell. Clears and
  // writes the mark offsets (the machine's correction.mark1DevSteps*, mark2DevSteps*) and the
  // board rotation (the machine's correction.boardRotation). In a run the pause gate is waited
  // after every move; outside a run the manual offsets are stored.
  bool AlignBoardMarks(const MarkAlignBoard& board, bool inRun);
  // Centres on the mark selected by the machine's camera.currentMark and adds the corrections
  // to that mark's offsets.
  bool MeasureMark(bool inRun);
  // Centres on a mark of the caller's choice; the corrections are added to
  // the caller's counters (never cleared).
  bool RecognizeMark(const SpecifiedMark& mark, int& counterX, int& counterY);

 private:
  bool Move(int32_t dx, int32_t dy, const MarkMoveSpeeds& s);
  bool Gate();
  void Info(const std::string& line);
  bool CheckCamera();
  // The next frame of the Mark camera; false, told, when none came.
  bool Grab(cv::Mat& frame);
  std::string Text(const char* key, const char* def) const;

  smt::Machine& machine_;
  MarkVisionIo io_;
  MarkAlignParams p_;
  MarkMoveSpeeds toMark_, correction_;
};

}  // namespace smt::vision
