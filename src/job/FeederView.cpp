#include "job/FeederView.h"

#include "core/Machine.h"

namespace smt::job {

FeederSource& FeederSourceOf(smt::Machine& machine) { return machine.Part<FeederSource>(); }

std::vector<FeederRowView> FeederListRows(smt::Machine& machine) {
  const FeederSource& s = FeederSourceOf(machine);
  return s.listRows ? s.listRows() : std::vector<FeederRowView>{};
}

std::vector<FeederRowView> FeederGroupRows(smt::Machine& machine) {
  const FeederSource& s = FeederSourceOf(machine);
  return s.groupRows ? s.groupRows() : std::vector<FeederRowView>{};
}

std::vector<FeederRowView> FeederListRows() { return FeederListRows(smt::CurrentMachine()); }
std::vector<FeederRowView> FeederGroupRows() { return FeederGroupRows(smt::CurrentMachine()); }

}  // namespace smt::job
