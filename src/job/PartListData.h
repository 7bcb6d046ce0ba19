#pragma once
// The part list's data and its work: the open job with its three lists and
// PCB table, the work on the lists, the run control with its busy flags and
// counters, the coordinate tests, and the PCB editor's board values. It is a
// part of the machine object (one machine, one part list): the part list
// panel shows it and is handed it through its constructor, and the run reads
// and writes it directly.
#include "core/Machine.h"
#include "job/CoordinateTests.h"
#include "job/JobModel.h"
#include "job/MarkCameraPanel.h"
#include "job/PartListLogic.h"
#include "job/RunControl.h"

namespace smt::job {

struct PartListData {
  // Made by the machine as its part (Machine::Part), handed the machine.
  explicit PartListData(smt::Machine& machine) : run{machine, logic}, coord{machine, logic, camera} {}

  JobModel job;
  PartListLogic logic{job};
  RunControl run;
  // The camera panel the PCB editor and the coordinate tests use.
  MarkCameraPanelSlot camera{"MarkCameraPanel"};
  CoordinateTests coord;
};

// The part list of `machine`.
inline PartListData& PartListOf(smt::Machine& machine) { return machine.Part<PartListData>(); }

}  // namespace smt::job
