#pragma once
// The motion commands: single-axis move 0x61, XY moves 0x64, 0x65 and the
// flying-camera pass 0x63, Z strokes 0x67 and 0x68, feeder axes 0x66/0x56
// and the conveyor zone step 0x62. Each checks what it must, sends once,
// waits (bounded) for its reply and books the positions only when the board
// reported the move done; a refused or failed move changes no position.
//
// The Build* functions make the command (both payload forms, and the refusal
// text when a value does not fit the serial form) without sending it.
#include <array>
#include <cstdint>
#include <string>

#include "link/MachineCommands.h"
#include "platform/SystemText.h"

namespace smt {
class Machine;
}

namespace smt::link {

// Guard texts of the motion commands.
inline constexpr smt::platform::SystemText kXPosError{"LinkMessagesConfig", "LinkMessages.c_XPosError", "X Pos Error !"};
inline constexpr smt::platform::SystemText kYPosError{"LinkMessagesConfig", "LinkMessages.c_YPosError", "Y Pos Error !"};
inline constexpr smt::platform::SystemText kZPosError{"LinkMessagesConfig", "LinkMessages.c_ZPosError", "Z Pos Error !"};
inline constexpr smt::platform::SystemText kErrorE3{"LinkMessagesConfig", "LinkMessages.c_ErrorE3", "Error E3 !"};

// --- 0x61 single-axis move --------------------------------------------------
// The limit refusal for the axis (empty when the move may go).
std::string CheckAxisMoveLimits(smt::Machine& machine, uint8_t axis, int32_t steps);
// Start and run speed after the speed rules of the single-axis move.
std::pair<int32_t, int32_t> AxisMoveSpeeds(smt::Machine& machine, uint8_t axis, int32_t steps, int32_t start, int32_t run);
MachineCommand BuildCmd61MoveAxis(smt::Machine& machine, uint8_t axis, int32_t steps, int32_t start, int32_t run);
bool SendCmd61MoveAxis(smt::Machine& machine, uint8_t axis, int32_t steps, int32_t start, int32_t run);

// --- 0x64 XY move with one nozzle turn --------------------------------------
struct XYSpeeds {
  int32_t xStart, xRun, yStart, yRun;
};
// Far-move reduction, start at least 1, each run speed capped on its own.
XYSpeeds ShapeXYSpeeds(smt::Machine& machine, int32_t xSteps, int32_t ySteps, XYSpeeds s);
MachineCommand BuildCmd64MoveXY(smt::Machine& machine, int32_t xSteps, int32_t xStart, int32_t xRun, int32_t ySteps, int32_t yStart,
                                int32_t yRun, int32_t aIndex, int32_t aSteps, int32_t aStart, int32_t aRun,
                                uint8_t flags);
bool SendCmd64MoveXY(smt::Machine& machine, int32_t xSteps, int32_t xStart, int32_t xRun, int32_t ySteps, int32_t yStart, int32_t yRun,
                     int aIndex, int32_t aSteps, int32_t aStart, int32_t aRun, uint8_t flags);

// --- 0x65 XY move turning all heads ------------------------------------------
MachineCommand BuildCmd65MoveXYHeads(smt::Machine& machine, int32_t xSteps, int32_t xStart, int32_t xRun, int32_t ySteps, int32_t yStart,
                                     int32_t yRun, const std::array<int32_t, 8>& deltas, int32_t aStart,
                                     int32_t aRun, uint8_t flag);
// With the head deltas of the machine's motion.headMoveArgs.
bool SendCmd65MoveXYHeads(smt::Machine& machine, int32_t xSteps, int32_t xStart, int32_t xRun, int32_t ySteps, int32_t yStart, int32_t yRun,
                          int32_t aStart, int32_t aRun, uint8_t flag);
bool SendCmd65MoveXYHeads(smt::Machine& machine, int32_t xSteps, int32_t xStart, int32_t xRun, int32_t ySteps, int32_t yStart, int32_t yRun,
                          const std::array<int32_t, 8>& deltas, int32_t aStart, int32_t aRun, uint8_t flag);

// --- 0x63 flying-camera pass ----------------------------------------------------
MachineCommand BuildCmd63FlyMove(smt::Machine& machine, uint8_t headCount, int32_t xSteps, int32_t start, int32_t run,
                                 const std::array<int32_t, 12>& offsets);
bool SendCmd63FlyMove(smt::Machine& machine, uint8_t headCount, int32_t xSteps, int32_t start, int32_t run,
                      const std::array<int32_t, 12>& offsets);

// --- 0x67 / 0x68 Z strokes -------------------------------------------------------
// The nozzle (1..8) of a stroke by head code and step sign; 0 for other codes.
int NozzleOfStroke(uint8_t head, int32_t steps);
MachineCommand BuildCmd67MoveZ(smt::Machine& machine, uint8_t head, int32_t steps, int32_t start, int32_t run, uint8_t option,
                               uint16_t time, uint8_t last);
CommandResult SendCmd67MoveZ(smt::Machine& machine, uint8_t head, int32_t steps, int32_t start, int32_t run, uint8_t option, uint16_t time,
                             uint8_t last);
// The vacuum value after the nozzle offset (0 when outside 0..100).
int32_t StrokeVacuumValue(smt::Machine& machine, uint8_t head, int32_t steps, int32_t vacuum);
MachineCommand BuildCmd68MoveZVacuum(smt::Machine& machine, uint8_t head, int32_t steps, int32_t start, int32_t run, int32_t fifth,
                                     uint16_t time, int32_t vacuum);
CommandResult SendCmd68MoveZVacuum(smt::Machine& machine, uint8_t head, int32_t steps, int32_t start, int32_t run, int32_t fifth,
                                   uint16_t time, int32_t vacuum);

// --- 0x66 / 0x56 feeder axes ------------------------------------------------------
// values[0] is value 3 .. values[9] is value 12.
using FeedValues = std::array<int32_t, 10>;
MachineCommand BuildCmd66MoveFeedAxis(smt::Machine& machine, uint8_t alternative, uint8_t axis, const FeedValues& values);
CommandResult SendCmd66MoveFeedAxis(smt::Machine& machine, uint8_t alternative, uint8_t axis, const FeedValues& values);

// --- 0x62 conveyor zone step ---------------------------------------------------------
MachineCommand BuildCmd62Zones(smt::Machine& machine, uint8_t zone, uint8_t option1, uint8_t option2, uint8_t option3, int32_t steps11,
                               int32_t steps12, int32_t steps13, int32_t start, int32_t run);
CommandResult SendCmd62Zones(smt::Machine& machine, uint8_t zone, uint8_t option1, uint8_t option2, uint8_t option3, int32_t steps11,
                             int32_t steps12, int32_t steps13, int32_t start, int32_t run);

// Adds one to the move counter and shows it.
void CountMove(smt::Machine& machine);

}  // namespace smt::link
