// The placement condition sweep (PlacementConditionSweep.h): conditions 9 to the end of the table.
#include "PlacementConditionSweep.h"

#include <cstdint>

namespace {

INSTANTIATE_TEST_SUITE_P(Sweep, PlacementConditions, ConditionSlice(8, SIZE_MAX), ConditionName);

}  // namespace
