#pragma once
// What the feeder editor and the feeder tests read of the nozzle library and
// the placement strategy, and the nozzle changes they ask for.
#include <string>

namespace smt {
class Machine;
}

namespace smt::feeder {

// Of `machine`: the strategy's automatic nozzle change and its 19-seat library.
bool AutoChangeNozzle(smt::Machine& machine);
bool NozzleLibrary19(smt::Machine& machine);
// The note of nozzle library row `index` ("" outside the library).
std::string NozzleNote(smt::Machine& machine, int index);
// The nozzle head 1..8 holds; 0 none (or no such head).
int HeadNozzle(smt::Machine& machine, int head);
// Nozzle changes outside a run (no pause gate, no state shown).
bool PickNozzleFromLibrary(smt::Machine& machine, int head, int nozzle);
bool ReturnNozzleToLibrary(smt::Machine& machine, int head);

}  // namespace smt::feeder
