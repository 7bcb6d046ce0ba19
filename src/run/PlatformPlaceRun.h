#pragma once
// The lamp machine's place run (run modes 11 and 12): heads 1..4 place a
// part on every LED point of each board the dispensing run has glued, on
// platform 1 only or on both platforms in turn, with the parts presented by
// the feeder thread. The head gantry moves X only; a platform brings the
// point under it in Y. All moves go through the serial three-axis move.
//
// Each step returns true when the run must end: Stop pressed while the
// step waited, or a move the board refused or did not finish (a part is
// never put down, nor a board unloaded, where the head did not arrive).
#include "run/HeadRecords.h"

namespace smt {
class Machine;
}

namespace smt::run {

// Head N over its pick point along X; the platform axis does not move.
bool MoveHeadToPlatformPick(smt::Machine& m, HeadPlaceState& p, int platform);
// Head N over its point of the board on platform 1 or 2, with the head's
// offset and the part's vision correction.
bool MoveToPlatformPoint(smt::Machine& m, HeadPlaceState& p, int platform);
// The platform to the throw position, its clamp opened and closed.
bool PlatformDiscardMove(smt::Machine& m, int platform);
// Head N over the throw X, its part blown off.
bool PlatformDiscardPart(smt::Machine& m, HeadPlaceState& p);
// A head whose part failed: pick again and place, or ask the operator.
bool RecoverPlatformHead(smt::Machine& m, HeadPlaceState& p, int group, int platform);

}  // namespace smt::run
