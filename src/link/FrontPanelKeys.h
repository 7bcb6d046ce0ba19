#pragma once
// The keys of the machine's own front panel, reported by the board without
// being asked: UDP report 0x14 (key codes 1 to 11) and the serial status
// frame (characters '1' to '9'). They act through the same entry points as
// the window's buttons: the part list's Start (through the link window, link/WindowPanels.h), pause,
// resume and stop of a run, the speed gear, the axis selection, the jog and
// the whole-machine homing.
#include <cstdint>

namespace smt {
class Machine;
}

namespace smt::link {

// UDP report 0x14. Runs on the reply thread; anything that shows a box or
// touches the part list goes to the window thread.
void OnStatusReport(smt::Machine& machine, uint8_t key);
// Serial status frame with the key character.
void OnSerialStatusReport(smt::Machine& machine, uint8_t key);

// The jog speed gear 1, 2, 3, 4, 0, ... sent to the board as state 5.
// "Machine is not connection !" while offline.
void NextSpeedGear(smt::Machine& machine);

// Highest axis-selection index of key 6 on a machine type (-1: the index stays).
int AxisSelectionTop(int machineType);
// The jog (group, direction) of key 9 (second = false) or key 10 (true) for
// the machine type and selection; false when the key does nothing there.
bool SelectedAxisJog(int machineType, int selection, bool otherDirection, int& group, int& direction);

}  // namespace smt::link
