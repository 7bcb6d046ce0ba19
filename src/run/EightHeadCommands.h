#pragma once
// The move-and-pick and move-and-place steps of the eight-head board: one
// head at a time, or a whole cycle in one step (the places staged slot by
// slot as the run reaches them).
#include <array>
#include <cstdint>

#include "link/RunMachine.h"
#include "run/HeadRecords.h"
#include "platform/SystemText.h"

namespace smt::run {

inline constexpr smt::platform::SystemText kPickHeaderNoSelect{"RunMessagesConfig", "RunMessages.c_PickHeadNotChosen", "Pick header no select !"};
inline constexpr smt::platform::SystemText kPlaceHeightSetError{"RunMessagesConfig", "RunMessages.c_PlaceHeightSetError", "Place height set error !"};

// One head's move-and-pick of `place`'s part from `pick`'s feeder.
smt::link::HeadPickMove PickMoveOf(smt::Machine& m, const HeadPickState& pick, const HeadPlaceState& place);
// Single-head move-and-pick; false on a refused or failed command or a stop.
bool MoveHeadsToPick(smt::Machine& m, HeadPickState& pick, HeadPlaceState& place);
// The cycle's picks of the loaded heads (up to the first idle one). False
// (with the message) for a head outside 1..8.
bool BuildBatchPick(smt::Machine& m, smt::link::HeadsPickMove& out);
bool SendBatchPick(smt::Machine& m);

// The batch-place state of a cycle.
struct BatchPlace {
  bool active = false;  // PlacePart stages into the payload instead of sending
  smt::link::HeadsPlaceMove move{};
  int32_t lastX = 0, lastY = 0;
};
BatchPlace& Batch(smt::Machine& m);
// Stages (a cycle in one step) or sends the place of `p` at (tx, ty); false when
// the place depth is positive, the command failed or the run was stopped.
bool EightHeadPlace(smt::Machine& m, HeadPlaceState& p, int slot, int32_t tx, int32_t ty, const SpeedPair& xPair);
bool SendBatchPlace(smt::Machine& m);

}  // namespace smt::run
