#pragma once
// Turning a placement row's feeder number into a filled pick record: which
// head picks, which nozzle it needs, which camera centres the part, how the
// feeder feeds and whether the pick point lies inside the travel limits.
#include <string>

#include "run/HeadRecords.h"
#include "platform/SystemText.h"

namespace smt::run {

inline constexpr smt::platform::SystemText kFeedIndexNoFind{"RunMessagesConfig", "RunMessages.c_FeedIndexNotFound", "Feed Index No Find"};
inline constexpr smt::platform::SystemText kFeedDirectionNoFind{"RunMessagesConfig", "RunMessages.c_FeedDirectionNotFound", "FeedDirection No Find"};
inline constexpr smt::platform::SystemText kFeedPosError{"RunMessagesConfig", "RunMessages.c_FeedPosError", "Feed Pos Error !"};
inline constexpr smt::platform::SystemText kWhichFeedNoFind{"RunMessagesConfig", "RunMessages.c_WhichFeedNotFound", "Which Feed No Find"};
inline constexpr smt::platform::SystemText kFeedModeNoFind{"RunMessagesConfig", "RunMessages.c_FeedModeNotFound", "FeedMode No Find"};

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
