// The placement condition sweep (PlacementConditionSweep.h): conditions 5 to 8 of the table.
#include "PlacementConditionSweep.h"

namespace {

INSTANTIATE_TEST_SUITE_P(Sweep, PlacementConditions, ConditionSlice(4, 8), ConditionName);

}  // namespace
