#include "feeder/FeederNozzles.h"

#include "core/Machine.h"
#include "library/NozzleChange.h"
#include "library/NozzleLibrary.h"
#include "library/NozzleSeats.h"
#include "library/NozzleStrategy.h"

namespace smt::feeder {

bool AutoChangeNozzle() { return smt::library::CurrentNozzleStrategy().m_AutoChangeNozzle != 0; }

bool NozzleLibrary19() { return smt::library::CurrentNozzleStrategy().m_19NozzleLibrary != 0; }

std::string NozzleNote(int index) {
  return smt::library::TheNozzleLibrary().Note(index);
}

int HeadNozzle(int head) {
  if (head < 1 || head > smt::library::kHeadCount) return 0;
  return smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[head - 1].load();
}

bool PickNozzleFromLibrary(int head, int nozzle) { return smt::library::PickNozzleFromLibrary(head, nozzle, false, false); }

bool ReturnNozzleToLibrary(int head) { return smt::library::ReturnNozzleToLibrary(head, false, false); }

}  // namespace smt::feeder
