#pragma once
// Manual Mark offsets taken from the jog panel: with the Mark camera jogged
// over a fiducial, the difference between where the camera is and where the
// mark should be becomes that mark's manual offset (at most 3 mm each way).
// The offsets and their "in use" flag belong to the part list; the board
// geometry turns them into the board correction; the run engine uses them
// for one run. What this needs of those owners comes in as routes.
#include <functional>
#include <string>

#include "platform/Hooks.h"

namespace smt::link {

// The current board in millimetres; marks relative to the origin.
struct MarkBoard {
  double originX = 0, originY = 0;
  double mark1X = 0, mark1Y = 0, mark2X = 0, mark2Y = 0;
};

struct MarkOffsetValues {
  double m_dMark1OffsetX = 0, m_dMark1OffsetY = 0, m_dMark2OffsetX = 0, m_dMark2OffsetY = 0;
  int m_bManualMarkOffset = 0;
};

// Scales and the camera offset of the calculation.
struct MarkCameraGeometry {
  double xPulse = 1, yPulse = 1;                  // pulses per millimetre
  double xCameraToNozzle1 = 0, yCameraToNozzle1 = 0;  // millimetres
};

// One instance (ManualMarks()), connected by the shell; a missing route is
// an error naming it.
struct ManualMarkRoutes {
  template <class Sig>
  using Hook = smt::platform::Hook<Sig>;
  // The current board; false when there is none.
  Hook<bool(MarkBoard&)> currentBoard{"ManualMarkRoutes.currentBoard"};
  Hook<MarkOffsetValues()> offsets{"ManualMarkRoutes.offsets"};
  Hook<void(const MarkOffsetValues&)> storeOffsets{"ManualMarkRoutes.storeOffsets"};
  // The board geometry's correction from the four offsets (mm).
  Hook<void(double, double, double, double)> convertPointToSteps{"ManualMarkRoutes.convertPointToSteps"};
  // The part list's row count and its text for an empty list.
  Hook<int()> partRowCount{"ManualMarkRoutes.partRowCount"};
  std::string emptyListText = "请先导入贴片文件 !";
  // Busy flags of the run, feeder and conveyor threads.
  Hook<bool()> smtThreadBusy{"ManualMarkRoutes.smtThreadBusy"};
  Hook<bool()> feedThreadBusy{"ManualMarkRoutes.feedThreadBusy"};
  Hook<bool()> conveyorThreadBusy{"ManualMarkRoutes.conveyorThreadBusy"};
  // Window thread: the live view to the Mark camera.
  Hook<void()> openMarkCamera{"ManualMarkRoutes.openMarkCamera"};
  // Worker thread: the alignment's board base, then the two-mark recognition
  // (outside a run: it also keeps the result as the manual offsets).
  Hook<void(const MarkBoard&)> setAlignmentBase{"ManualMarkRoutes.setAlignmentBase"};
  Hook<void()> alignBoardMarks{"ManualMarkRoutes.alignBoardMarks"};
};

// The routes, set once by the shell before the window takes commands.
ManualMarkRoutes& ManualMarks();

// Camera position relative to the board origin in millimetres, from the
// machine position in steps.
double CameraPositionMm(double pulse, double cameraToNozzle1, double origin, int32_t current);
// "%0.4f" and read back.
double RoundTo4(double v);
inline bool OffsetInRange(double d) { return d <= 3.0 && d >= -3.0; }

MarkCameraGeometry CurrentMarkCameraGeometry();

// The menu commands. `refusal` is the panel's text for an offset outside
// ±3 mm. True when an offset pair was taken.
bool TakeMarkOffset(int mark, const std::string& refusal, const MarkCameraGeometry& g);
void ResetMarkOffsets();
// "识别Mark1到Mark2": checks on the calling (window) thread, then the
// recognition on a worker that holds the busy state. `setInfo(box, text)`
// puts a busy text into information box 1 or 2. True when started.
bool StartMarkToMark(const std::function<void(int box, const std::string&)>& setInfo);

}  // namespace smt::link
