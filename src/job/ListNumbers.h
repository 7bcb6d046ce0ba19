#pragma once
// "重置序号": the placement, dispensing and drill lists numbered from 1 in
// their first column, in the order they stand.
namespace smt::job {

class JobModel;

void RenumberLists(JobModel& job);

}  // namespace smt::job
