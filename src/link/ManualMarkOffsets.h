#pragma once
// Manual Mark offsets taken from the jog panel: with the Mark camera jogged
// over a fiducial, the difference between where the camera is and where the
// mark should be becomes that mark's manual offset (at most 3 mm each way).
// The offsets and their "in use" flag belong to the part list; the board
// geometry turns them into the board correction; the run engine uses them
// for one run. What this needs of those owners comes in through one
// interface.
#include <functional>
#include <string>

#include "platform/Port.h"

namespace smt {
class Machine;
}

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

// What the offsets need of their owners above the link: the part list (its
// board, offsets and rows), the run's thread flags, the board geometry, the
// camera panel and the alignment. One interface the shell connects
// (ManualMarkPort()); using it unconnected is an error naming it.
class ManualMarkOwners {
 public:
  virtual ~ManualMarkOwners() = default;
  // The current board; false when there is none.
  virtual bool CurrentBoard(MarkBoard& board) = 0;
  virtual MarkOffsetValues Offsets() = 0;
  virtual void StoreOffsets(const MarkOffsetValues& values) = 0;
  // The board geometry's correction from the four offsets (mm).
  virtual void ConvertPointToSteps(double mark1X, double mark1Y, double mark2X, double mark2Y) = 0;
  // The part list's row count and its text for an empty list.
  virtual int PartRowCount() = 0;
  virtual std::string EmptyListText() = 0;
  // Busy flags of the run, feeder and conveyor threads.
  virtual bool SmtThreadBusy() = 0;
  virtual bool FeedThreadBusy() = 0;
  virtual bool ConveyorThreadBusy() = 0;
  // Window thread: the live view to the Mark camera (done when it returns).
  virtual void OpenMarkCamera() = 0;
  // Worker thread: the alignment's board base, then the two-mark recognition
  // (outside a run: it also keeps the result as the manual offsets).
  virtual void SetAlignmentBase(const MarkBoard& board) = 0;
  virtual void AlignBoardMarks() = 0;
};

// The port of a machine, and of the machine in use.
smt::platform::Port<ManualMarkOwners>& ManualMarkPortOf(smt::Machine& machine);

// Camera position relative to the board origin in millimetres, from the
// machine position in steps.
double CameraPositionMm(double pulse, double cameraToNozzle1, double origin, int32_t current);
// Rounded to four decimals (the value "%0.4f" shows).
double RoundTo4(double v);
inline bool OffsetInRange(double d) { return d <= 3.0 && d >= -3.0; }

MarkCameraGeometry CurrentMarkCameraGeometry(smt::Machine& machine);

// The menu commands. `refusal` is the panel's text for an offset outside
// ±3 mm. True when an offset pair was taken.
bool TakeMarkOffset(smt::Machine& machine, int mark, const std::string& refusal, const MarkCameraGeometry& g);
void ResetMarkOffsets(smt::Machine& machine);
// "识别Mark1到Mark2": checks on the calling (window) thread, then the
// recognition on a worker that holds the busy state. `setInfo(box, text)`
// puts a busy text into information box 1 or 2. True when started.
bool StartMarkToMark(smt::Machine& machine, const std::function<void(int box, const std::string&)>& setInfo);

}  // namespace smt::link
