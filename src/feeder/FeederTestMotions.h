#pragma once
// The machine motions of the feeder tests for one feeder row: the detour
// around the two south corners, the height measurement, the moves of a
// nozzle, the Mark camera or a towbar to a feeder, the pick of a part to a
// vision camera and its put-back, and the feeds by feed mode (single feed
// test and the automatic test over the whole list). They run on the feeder
// test worker; every command waits (bounded) for its reply, and a failed
// command ends the routine.
//
// Rows are the texts the feeder list shows: the flag cells 12, 13 and 23
// hold their value only.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "feeder/FeederNames.h"
#include "feeder/FeederTable.h"
#include "platform/SystemText.h"

namespace smt {
class Machine;
}

namespace smt::feeder {

inline constexpr smt::platform::SystemText kFeedDirectionNoFind{"FeederMessagesConfig", "FeederMessages.c_FeedDirectionNotFound", "FeedDirection No Find"};
inline constexpr smt::platform::SystemText kHeaderNoNozzle{"FeederMessagesConfig", "FeederMessages.c_HeadHasNoNozzle", "Header has no nozzle or error !"};
inline constexpr smt::platform::SystemText kHeaderToFeedPosError{"FeederMessagesConfig", "FeederMessages.c_HeadToFeedPosError", "Header To Feed Pos Error !"};

// Towbar side data of W, N and E; nullopt for other letters.
struct TowbarSide {
  char letter;
  int output;       // 5, 6, 7
  int walkAxis;     // 8, 9, 10
  int liftAxis;     // 11, 12, 13
  int sideCode;     // 1, 2, 3
  double walkPulse, liftPulse;
  double minFeed, maxFeed;  // accepted feed coordinate range (mm)
  int walkSpeed;    // index of the walk pair in a speed record
  int liftSpeed;
  int32_t walkPosition;
};
std::optional<TowbarSide> TowbarSideOf(smt::Machine& machine, char letter);

// Z stroke of a head at pick height `mm` (axis code and steps) by machine type.
struct ZStroke {
  int axis = 2;
  int32_t steps = 0;
};
ZStroke ZStrokeFor(int head, int machineType, double mm, double zPulse);
// Heads the pick test may try on a machine type.
int PickHeadCount(int machineType);
// Mode 0 head limit: above the type's head count falls back to head 1.
int MeasureHeadFor(int value, int machineType);

// Measures with `machine`'s probe at its current position. The value of heads 2..8
// carries their Z-to-feeder correction. nullopt when the probe command failed.
std::optional<double> MeasureHeight(smt::Machine& machine, int head);

class FeederTestMotions {
 public:
  // Moves `machine`, translating feed-mode names with its name tables (or `names`).
  explicit FeederTestMotions(smt::Machine& machine, std::stop_token stop = {});
  FeederTestMotions(smt::Machine& machine, std::stop_token stop, const FeederNameTables& names);

  // Detour decision on the current position and the machine's motion.targetX/Y.
  bool CheckDetourZones();
  bool DetourMove(int32_t xStart, int32_t xNormal, int32_t yStart, int32_t yNormal);
  bool startInZone = false;
  bool targetInZone = false;

  // Modes -3, -2, 0..8. `pullHole` (mode 2 of the towbar test on a drag-pin
  // row) sends nozzle 2 to cells 20, 21 instead of the row position.
  bool NozzleToFeedTest(int mode, const FeederRow* row, bool pullHole = false);
  void CameraToFeedTest(int mode, const FeederRow& row);
  void TowbarToHoleTest(const FeederRow& row);
  void NozzlePickToCamera(int head, int camera, const FeederRow& row);
  void PutBackTest(const FeederRow& row);
  // One feed of the row by its feed mode; `singleStep` feeds once. False
  // when the test must end (message shown or a command failed).
  bool FeedTest(const FeederRow& row, bool singleStep);
  // The automatic test: `rows` in list order, `loops` passes, features by the
  // automatic-feeder enables. `running` cleared by the window stops it before
  // the next row; `select(row, on)` shows the row being tested.
  void FeedTestAll(const std::vector<FeederRow>& rows, std::atomic<bool>& running,
                   const std::function<void(int row, bool on)>& select);

  // The panel message "料架送料坐标数据越限 !" (loaded from the language file).
  std::string feedLimitMessage = "料架送料坐标数据越限 !";

 private:
  bool PositionMove(int32_t targetX, int32_t targetY);
  bool SwitchOff(int output);
  bool AutoFeederAdvanceBeforePick(const FeederRow& row);
  bool TowbarFeed(const FeederRow& row, bool is0402, int count);
  bool AutoFeederFeed(const FeederRow& row, int count);
  bool VibrationFeed(const FeederRow& row, int count);
  bool TrayFeed(const FeederRow& row);
  bool DragPinFeed(const FeederRow& row);
  bool Pause(int ms);

  smt::Machine& machine_;
  std::stop_token stop_;
  FeederNameTables names_;
};

}  // namespace smt::feeder
