#include "feeder/FeederNozzles.h"

#include "core/Machine.h"
#include "library/NozzleChange.h"
#include "library/NozzleLibrary.h"
#include "library/NozzleSeats.h"
#include "library/NozzleStrategy.h"

namespace smt::feeder {

bool AutoChangeNozzle(smt::Machine& machine) { return smt::library::NozzleStrategyOf(machine).m_AutoChangeNozzle != 0; }

bool NozzleLibrary19(smt::Machine& machine) { return smt::library::NozzleStrategyOf(machine).m_19NozzleLibrary != 0; }

std::string NozzleNote(smt::Machine& machine, int index) {
  return smt::library::TheNozzleLibrary(machine).Note(index);
}

int HeadNozzle(smt::Machine& machine, int head) {
  if (head < 1 || head > smt::library::kHeadCount) return 0;
  return machine.Part<smt::library::NozzleState>().headNozzle[head - 1].load();
}

bool PickNozzleFromLibrary(smt::Machine& machine, int head, int nozzle) {
  return smt::library::PickNozzleFromLibrary(machine, head, nozzle, false, false);
}

bool ReturnNozzleToLibrary(smt::Machine& machine, int head) {
  return smt::library::ReturnNozzleToLibrary(machine, head, false, false);
}

}  // namespace smt::feeder
