#pragma once
// The move-and-pick and move-and-place commands of the eight-head board:
// one head at a time (0x74 pick, 0x77 place) or a whole cycle in one
// command (0x75 pick, 0x78 place, staged slot by slot).
#include <array>
#include <cstdint>

#include "run/HeadRecords.h"

namespace smt::run {

inline constexpr const char* kPickHeaderNoSelect = "Pick header no select !";
inline constexpr const char* kPlaceHeightSetError = "Place height set error !";

using BatchPickPayload = std::array<uint8_t, 234>;
using BatchPlacePayload = std::array<uint8_t, 234>;

// Builds the 0x74 payload of one head's pick.
std::array<uint8_t, 99> BuildPickPayload(const HeadPickState& pick, const HeadPlaceState& place);
// Single-head move-and-pick; false on a refused or failed command or a stop.
bool MoveHeadsToPick(HeadPickState& pick, HeadPlaceState& place);
// Builds the 0x75 payload from the loaded heads (up to the first idle one).
// False (with the message) for a head outside 1..8.
bool BuildBatchPick(BatchPickPayload& out);
bool SendBatchPick();

// The batch-place state of a cycle.
struct BatchPlace {
  bool active = false;  // PlacePart stages into the payload instead of sending
  BatchPlacePayload payload{};
  int32_t lastX = 0, lastY = 0;
};
BatchPlace& Batch();
// Stages (batch) or sends (0x77) the place of `p` at (tx, ty); false when
// the place depth is positive, the command failed or the run was stopped.
bool EightHeadPlace(HeadPlaceState& p, int slot, int32_t tx, int32_t ty, const SpeedPair& xPair);
bool SendBatchPlace();

}  // namespace smt::run
