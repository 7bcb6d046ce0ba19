#pragma once
// Taking a nozzle from its seat in the magazine and putting it back: the
// motions shared by the run's automatic nozzle change and the nozzle
// library's seat menu. Called on a worker thread; every command is bounded
// by the link's time-outs and a failed move ends the change with false.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "settings/SpeedTemplates.h"
#include "platform/SystemText.h"

namespace smt {
class Machine;
}

namespace smt::library {

inline constexpr smt::platform::SystemText kHeaderOrNozzleError{"LibraryMessagesConfig", "LibraryMessages.c_HeadOrNozzleError", "Header or nozzle error !"};
inline constexpr smt::platform::SystemText kLibraryHasNoNozzle{"LibraryMessagesConfig", "LibraryMessages.c_LibraryHasNoNozzle", "Library has no nozzle !"};
inline constexpr smt::platform::SystemText kLibraryHasNozzle{"LibraryMessagesConfig", "LibraryMessages.c_LibraryHasNozzle", "Library has nozzle !"};
inline constexpr smt::platform::SystemText kHeaderError{"LibraryMessagesConfig", "LibraryMessages.c_HeadError", "Header error !"};
inline constexpr smt::platform::SystemText kSmtHeaderError{"LibraryMessagesConfig", "LibraryMessages.c_SmtHeadError", "SMT header error !"};

// Heads fitted on a machine type (0 for the drilling machine).
int HeadsOfMachineType(int machineType);

// The Z move that brings head `head` (1..8) from `currentZ` to `targetZ`
// (steps, heads' own length differences included). Heads of machine types
// 0-6 and 10 share a motor in pairs turning opposite ways (axis 2: A1/A2,
// axis 3: A3/A4); types 7 and 8 drive each Z on its own axis 32..39.
struct ZMove {
  uint8_t axis = 0;
  int32_t steps = 0;
  bool useZ2Speed = false;  // the Z2 speed pair (axis 3), else Z1
};
std::optional<ZMove> ZMoveToHeight(int machineType, int head, int32_t targetZ, int32_t currentZ);

// Moves the head's Z to `targetZ` with the speeds of `speeds`. True when
// there was nothing to move.
bool MoveHeadZ(smt::Machine& machine, int machineType, int head, int32_t targetZ, const smt::settings::SpeedRecord& speeds);
// Absolute XY move (state command first on the serial link) with the X and Y pairs of `speeds`.
bool MoveXYTo(smt::Machine& machine, int32_t x, int32_t y, const smt::settings::SpeedRecord& speeds, uint8_t mode = 128);

// Output 7, the cover of the 19-seat magazine: 1 open, 0 closed. Ethernet:
// command 0x03 under the link mutex; serial: the raw output frame.
bool SetMagazineCover(smt::Machine& machine, int state);
// The serial output frame EE 00 04 03 n s c FF FC FF FF.
std::array<uint8_t, 11> OutputFrame(uint8_t output, uint8_t state);

// Waits at the run's pause gate; false when the run was stopped.
bool PassPauseGate(smt::Machine& machine);

// Takes nozzle `nozzle` (1..19) with head `head` (1..8).
bool PickNozzleFromLibrary(smt::Machine& machine, int head, int nozzle, bool waitPauseGate, bool showState);
// Puts the head's nozzle back into its seat.
bool ReturnNozzleToLibrary(smt::Machine& machine, int head, bool waitPauseGate, bool showState);

// Told (on the worker's thread) when a head took (true) or returned a nozzle.
using NozzleStateListener = std::function<void(int head, int seat, bool taken)>;
// The listener of `machine`.
void SetNozzleStateListener(smt::Machine& machine, NozzleStateListener listener);

}  // namespace smt::library
