#include "job/FeederView.h"

#include "core/Machine.h"

namespace smt::job {

FeederSource& FeederSourceOf(smt::Machine& machine) { return machine.Part<FeederSource>(); }
FeederSource& TheFeederSource() { return FeederSourceOf(smt::CurrentMachine()); }

std::vector<FeederRowView> FeederListRows() {
  const FeederSource& s = TheFeederSource();
  return s.listRows ? s.listRows() : std::vector<FeederRowView>{};
}

std::vector<FeederRowView> FeederGroupRows() {
  const FeederSource& s = TheFeederSource();
  return s.groupRows ? s.groupRows() : std::vector<FeederRowView>{};
}

}  // namespace smt::job
