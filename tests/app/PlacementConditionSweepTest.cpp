// The placement condition sweep (PlacementConditionSweep.h): conditions 1 to 4 of the table.
#include "PlacementConditionSweep.h"

namespace {

INSTANTIATE_TEST_SUITE_P(Sweep, PlacementConditions, ConditionSlice(0, 4), ConditionName);

}  // namespace
