#pragma once
// What the feeder editor and the feeder tests read of the nozzle library and
// the placement strategy, and the nozzle changes they ask for.
#include <string>

namespace smt::feeder {

// The strategy's automatic nozzle change and its 19-seat library.
bool AutoChangeNozzle();
bool NozzleLibrary19();
// The note of nozzle library row `index` ("" outside the library).
std::string NozzleNote(int index);
// The nozzle head 1..8 holds; 0 none (or no such head).
int HeadNozzle(int head);
// Nozzle changes outside a run (no pause gate, no state shown).
bool PickNozzleFromLibrary(int head, int nozzle);
bool ReturnNozzleToLibrary(int head);

}  // namespace smt::feeder
