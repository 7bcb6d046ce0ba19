#include "job/ListNumbers.h"

#include <string>
#include <vector>

#include "job/JobModel.h"

namespace smt::job {

// Every list's first cell is its serial number.
static_assert(kSmtSerial == 0 && kDisSerial == 0 && kDrillSerial == 0);

void RenumberLists(JobModel& job) {
  auto renumber = [&job](std::vector<ListRow>& rows, RowKind kind) {
    for (size_t i = 0; i < rows.size(); ++i)
      if (!rows[i].cells.empty()) rows[i].cells[kSmtSerial] = std::to_string(i + 1);
    job.NotifyRows(kind);
  };
  renumber(job.placementRows, RowKind::Placement);
  renumber(job.dispenseRows, RowKind::Dispense);
  renumber(job.drillRows, RowKind::Drill);
}

}  // namespace smt::job
