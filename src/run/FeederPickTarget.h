#pragma once
// Turning a placement row's feeder number into a filled pick record: which
// head picks, which nozzle it needs, which camera centres the part, how the
// feeder feeds and whether the pick point lies inside the travel limits.
#include <string>

#include "run/HeadRecords.h"

namespace smt::run {

inline constexpr const char* kFeedIndexNoFind = "Feed Index No Find";
inline constexpr const char* kFeedDirectionNoFind = "FeedDirection No Find";
inline constexpr const char* kFeedPosError = "Feed Pos Error !";
inline constexpr const char* kWhichFeedNoFind = "Which Feed No Find";
inline constexpr const char* kFeedModeNoFind = "FeedMode No Find";

// Side code of a feeder number's letter (W 1, N 2, E 3, S 4, G 13), 0 for others.
int FeedSideOfNumber(const std::string& feederNumber);

// Fills the pick record of `slot` (1..8 heads, 9 replenish, 10 single step):
// 0 refused or failed, 1 ready, 2 filled but outside the travel limits.
int CalcFeederPickTarget(smt::Machine& m, int slot, int requestedHead, const std::string& feederNumber);
// The pick point of the record in steps lies inside the travel limits.
bool CheckFeederPosition(smt::Machine& m, const HeadPickState& record, int slot);
// The platform runs' pick record (HeadRecords::pickExtra2) from the feeder row of that
// group: side, number and pick height. False with "FeedDirection No Find"
// when the number's letter names no side, with "Feed Index No Find" when no
// row of the group has the number.
bool LookupFeedDirection(smt::Machine& m, int groupIndex, const std::string& feederNumber);
// Nozzle library position that head `head` uses for `nozzle` (0 none).
int FindLibraryNozzleSlot(smt::Machine& m, int head, int nozzle);

}  // namespace smt::run
