#pragma once
// Process and motion commands of the higher code range: the two-axis move
// 0x53, the labeling stroke 0x55, glue dispensing 0x58, the Z1 probe 0x71
// and the combined head moves 0x73 (flying camera), 0x74 (move and pick),
// 0x77 (move and place). 0x55, 0x73, 0x74 and 0x77 exist only on the UDP
// link; on a serial link they are refused with a message.
#include <array>
#include <cstdint>

#include "link/MachineCommands.h"

namespace smt {
class Machine;
}

namespace smt::link {

// Start/run speeds of the two axes of 0x53 after the speed shaping: far-move
// reduction, a start below 1 makes start and run 1, each run capped on its own.
struct DispenseSpeeds {
  int32_t start1, run1, start2, run2;
};
DispenseSpeeds ShapeDispenseSpeeds(smt::Machine& machine, int32_t d1, int32_t d2, DispenseSpeeds s);

MachineCommand BuildCmd53DispenseMove(smt::Machine& machine, uint8_t axis1, int32_t d1, int32_t start1, int32_t run1, uint8_t axis2,
                                      int32_t d2, int32_t start2, int32_t run2);
bool SendCmd53DispenseMove(smt::Machine& machine, uint8_t axis1, int32_t d1, int32_t start1, int32_t run1, uint8_t axis2, int32_t d2,
                           int32_t start2, int32_t run2);

// Caller-staged payloads (the fields the command reads are named in the .cpp).
using Cmd55Payload = std::array<uint8_t, 18>;
using Cmd73Payload = std::array<uint8_t, 130>;
using Cmd74Payload = std::array<uint8_t, 99>;
using Cmd77Payload = std::array<uint8_t, 86>;

bool SendCmd55LabelMove(smt::Machine& machine, const Cmd55Payload& payload);

MachineCommand BuildCmd58GlueDispense(smt::Machine& machine, uint8_t channel, int32_t steps, int32_t start, int32_t run, uint8_t mode,
                                      int32_t magnitudeA, int32_t magnitudeB, uint16_t valueA, uint16_t valueB,
                                      uint16_t valueC);
CommandResult SendCmd58GlueDispense(smt::Machine& machine, uint8_t channel, int32_t steps, int32_t start, int32_t run, uint8_t mode,
                                    int32_t magnitudeA, int32_t magnitudeB, uint16_t valueA, uint16_t valueB,
                                    uint16_t valueC);

MachineCommand BuildCmd71ProbeZ1(smt::Machine& machine, int32_t steps, int32_t start, int32_t run);
// The measured value is in the machine's link.probeValue afterwards.
CommandResult SendCmd71ProbeZ1(smt::Machine& machine, int32_t steps, int32_t start, int32_t run);

bool SendCmd73VisionMove(smt::Machine& machine, const Cmd73Payload& payload);
bool SendCmd74PickMove(smt::Machine& machine, const Cmd74Payload& payload);
bool SendCmd77PlaceMove(smt::Machine& machine, const Cmd77Payload& payload);

// Little-endian field access of the staged payloads.
template <size_t N>
void PutLE32(std::array<uint8_t, N>& p, size_t at, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[at + i] = static_cast<uint8_t>(u >> (8 * i));
}

}  // namespace smt::link
