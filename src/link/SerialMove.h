#pragma once
// The jog panel's serial-only three-axis move, command 0x54: X and a second
// axis (platform 1 Y, platform 2 Y) in one relative move, with a small third
// block (a head's A turn) riding along. The lamp machine's place run and its
// platform vision move through it.
#include <cstdint>
#include <vector>

#include "link/MachineCommands.h"
#include "platform/SystemText.h"

namespace smt {
class Machine;
}

namespace smt::link {

inline constexpr smt::platform::SystemText kCommNotDone{"LinkMessagesConfig", "LinkMessages.c_CommNotDone", "通讯未完成 ！"};

struct SerialMoveArgs {
  int32_t dX = 0, startX = 0, runX = 0;
  uint8_t axis2 = 1;
  int32_t d2 = 0, start2 = 0, run2 = 0;
  uint8_t axis3 = 0;
  int32_t d3 = 0, start3 = 0, run3 = 0;
};

// The speeds after the far-move reduction, the start-at-least-1 rule and the
// common run-speed cap (both run speeds go to the cap when either is above).
SerialMoveArgs ShapeSerialMoveSpeeds(smt::Machine& machine, SerialMoveArgs a);
// The 20-byte payload (frame offsets 4 to 23); the refusal text is set when
// a value does not fit its field.
MachineCommand BuildCmd54SerialMove(smt::Machine& machine, const SerialMoveArgs& a);

// Checks the master reset and the X / Y travel, sends the frame on the
// serial link and waits (bounded) for the board's move-done reply; books X
// and the second axis (1: the machine's curY, 12: platform 2 Y) only after it. False
// when refused, not sent, failed or timed out; on the network link
// "通讯未完成 ！" and nothing moves.
bool MoveXYSerial(smt::Machine& machine, int32_t dX, int32_t startX, int32_t runX, uint8_t axis2, int32_t d2, int32_t start2, int32_t run2,
                  uint8_t axis3, int32_t d3, int32_t start3, int32_t run3);

}  // namespace smt::link
