#pragma once
// The machine steps of a run: the nozzle change, the moves of a head to its
// pick point, the pick and place strokes, the feeder advance and its
// completion, the discard at the throw position, the camera moves of the
// check modes, the vision centring of a picked part and the repair of a
// failed part. Each returns false when a command failed or the run was
// stopped; the run loop then ends the run.
#include <cstdint>
#include <vector>

#include "run/BoardFrame.h"
#include "run/HeadRecords.h"
#include "run/RunServices.h"
#include "platform/SystemText.h"

namespace smt::run {

inline constexpr smt::platform::SystemText kPlaceHeaderNoSelect{"RunMessagesConfig", "RunMessages.c_PlaceHeadNotChosen", "Place header no select !"};
inline constexpr smt::platform::SystemText kFeedIsNoFind{"RunMessagesConfig", "RunMessages.c_FeedNotFound", "feed is no find !"};
inline constexpr smt::platform::SystemText kHeaderError{"RunMessagesConfig", "RunMessages.c_HeadError", "Header error !"};

// The Z stroke of head `head`: axis and sign, and whether it uses the Z2 pair.
struct StrokeAxis {
  bool valid = false;
  uint8_t axis = 0;
  int sign = 1;
  bool z2 = false;
};
StrokeAxis PickStrokeAxis(int machineType, int head);

bool ChangeNozzle(smt::Machine& m, int head, int nozzle);
bool MoveHeadToPick(smt::Machine& m, HeadPlaceState& p);
bool PickPart(smt::Machine& m, HeadPlaceState& p);
bool FeedAdvance(smt::Machine& m, HeadPickState& r, bool second);
void FeedDone(smt::Machine& m, HeadPickState& r);
bool DragFeed(smt::Machine& m, HeadPickState& r);
bool MoveCameraToFeeder(smt::Machine& m, HeadPlaceState& p);
// The camera over the part's board position (check run modes).
bool MoveCameraToPart(smt::Machine& m, HeadPlaceState& p, bool raw, double cellX, double cellY);
// The dispensing head over a dispensing row: command 53 (dispensing move),
// 64 (plain move) or anything else (no move); then the pause gate.
bool DispensePoint(smt::Machine& m, int command, int row, bool raw, double cellX, double cellY);

// The place point in steps of a placement row for head `head` (mm of the row
// plus the cell offset, the board frame and the head's correction/offset).
std::pair<int32_t, int32_t> PlacePoint(smt::Machine& m, double x, double y, int head);
bool PlacePart(smt::Machine& m, HeadPlaceState& p, int slot, bool checkOwnMark, bool raw, double cellX, double cellY);
void PlaceStroke(smt::Machine& m, HeadPlaceState& p, double baseHeight);
// The log line of a placed part (head 1..8), naming the vision path it took.
void LogPlacement(const HeadPlaceState& p, int head);
bool DiscardPart(smt::Machine& m, HeadPlaceState& p);
// After a Stop (or a run that ended early): every nozzle whose vacuum is on
// may hold a part. Each is carried to the throw position and let go there;
// when the machine cannot move (position unknown, link lost) the parts stay
// held and the operator is asked to take them off by hand before the vacuum
// goes off. Never lets a part drop where the head stands. Tells the operator
// how many parts were thrown; returns that count.
int ThrowHeldPartsAfterStop(smt::Machine& m);
// The X / Y offset a head places with (head 2 of head mode 2 carries the
// dispensing valve and uses the dispensing head's offset).
int32_t PlaceOffsetX(smt::Machine& m, int head);
int32_t PlaceOffsetY(smt::Machine& m, int head);

// The repair questions of the part list (PartList.c_Message_45 and _46).
inline constexpr const char* kRepairVacuumQuestion = "真空失败，是否忽略 ?\r\n是-忽略继续    否-退出    取消-补料";
inline constexpr const char* kRepairVisionQuestion = "视觉失败，是否忽略 ?\r\n是-忽略继续    否-退出    取消-补料";

// The run's cover-tape settings and working counters (copied from the
// cover-tape page at the run's start; the run thread only).
CoverSettings& RunCover(smt::Machine& m);
// One more part in the tape when the cover tape is on: both counters + 1,
// saved and shown.
void CountCoverPart(smt::Machine& m);

bool VisionCentreHead(smt::Machine& m, HeadPlaceState& p, bool again);
bool FillReplenishRecord(smt::Machine& m, int head);
bool ReplenishHead(smt::Machine& m, HeadPlaceState& p, int head, double cellX, double cellY);
bool MoveToSafePosition(smt::Machine& m);
// A via row's safe point, stored by PlacePart.
struct SafePoint {
  bool via = false;
  int32_t x = 0, y = 0;
};
SafePoint& Safe(smt::Machine& m);

// The row cells the steps read (snapshot taken at the run's start).
std::vector<PlacementRow>& RunRows(smt::Machine& m);
std::vector<DispenseRow>& RunDispenseRows(smt::Machine& m);

}  // namespace smt::run
