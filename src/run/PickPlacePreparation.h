#pragma once
// Turning a head's pick record into its part job: pick point after the
// feeder's pocket shifts and tray stepping, heights, vacuum, vision choice,
// speeds and tolerances; the common speeds of heads that move together;
// and the rotation of every loaded head before placing.
#include <vector>

#include "run/HeadRecords.h"
#include "run/RunServices.h"
#include "platform/SystemText.h"

namespace smt::run {

inline constexpr smt::platform::SystemText kGridNoFind{"RunMessagesConfig", "RunMessages.c_GridNotFound", "Grid No Find Row & Col"};
inline constexpr smt::platform::SystemText kNoSpeedTemplate{"RunMessagesConfig", "RunMessages.c_NoSpeedTemplate", "no find speed template !"};

// slot 1..8 (HeadRecords::pick), 9 (replenish record), 10 (single-step record).
// False when the feeder's own speed template is unknown or the park move
// before a tray refill fails.
bool PreparePickPlace(smt::Machine& m, int groupIndex, HeadPlaceState& place, int slot);
// A new run reads the board's thickness again (at its first placement).
void ForgetTakenBoard(smt::Machine& m);
void AlignHeadSpeeds(HeadPlaceState& a, HeadPlaceState& b);
// Rotation of every loaded head into the machine's motion.headMoveArgs, one log line each.
void LogRotationAngles(smt::Machine& m, const std::vector<PlacementRow>* rows = nullptr);
void LogReplenishRotation(smt::Machine& m, HeadPlaceState& record, const std::vector<PlacementRow>* rows = nullptr);
// -180..180 by one step of 360.
double NormalizeRotation(double deg);

}  // namespace smt::run
