// Which threads a run starts by run mode and machine type.
#include <gtest/gtest.h>

#include "run/RunDispatch.h"

namespace {

using smt::run::RunSelectors;
using smt::run::RunThread;
using T = RunThread;

struct PlanCase {
  const char* name;
  int mode, type;
  RunSelectors sel;
  bool transport;
  std::vector<RunThread> threads;
};

class RunPlan : public ::testing::TestWithParam<PlanCase> {};

TEST_P(RunPlan, StartsTheThreadsOfTheModeAndType) {
  const auto& c = GetParam();
  EXPECT_EQ(smt::run::PlanRun(c.mode, c.type, c.sel, c.transport), c.threads);
}

RunSelectors SelectedSmt() {
  RunSelectors s;
  s.selectedSmt = true;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunPlan,
    ::testing::Values(PlanCase{"PlacementTwoHeads", 0, 2, {}, false, {T::Smt, T::Feeder}},
                      PlanCase{"PlacementWithConveyor", 0, 3, {}, true, {T::Conveyor, T::Smt, T::Feeder}},
                      PlanCase{"EightHeads", 0, 7, {}, false, {T::EightHead}},
                      PlanCase{"Labeling", 0, 10, {}, false, {T::Label}},
                      PlanCase{"DrillingIgnoresTheConveyor", 0, 9, {}, true, {T::Drill}},
                      PlanCase{"Dispensing", 1, 2, {}, false, {T::StepRun}},
                      PlanCase{"DispensingWithPlacementSelector", 1, 2, SelectedSmt(), false, {T::Smt, T::Feeder}},
                      PlanCase{"DispenseThenPlaceEightHeadsSelector", 2, 8, SelectedSmt(), false, {T::EightHead}},
                      PlanCase{"CheckMode", 5, 0, {}, false, {T::StepRun}},
                      PlanCase{"PlatformDispense", 9, 4, {}, false, {T::PlatformDispense}},
                      PlanCase{"PlatformPlace", 12, 4, {}, true,
                               {T::Conveyor, T::PlatformDispense, T::PlatformPlace, T::Feeder}},
                      PlanCase{"UnknownModeSteps", 13, 2, {}, false, {T::StepRun}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
