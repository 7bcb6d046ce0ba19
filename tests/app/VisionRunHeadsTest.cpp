// Whole placement runs of the program as main() builds it, on a simulated
// machine whose cameras see what the machine does (VisionRunFixture.h): the
// four- and eight-head machine types.
#include "VisionRunCases.h"

using namespace std::chrono_literals;
using visionrun::kStepsPerMm;
using visionrun::Target;
using visionrun::VisionRunSim;

namespace {

INSTANTIATE_TEST_SUITE_P(Runs, VisionRunCases,
                         ::testing::Values(RunCase{"FourHeadsStopAndLook", 3, 3, "Yes/Camera 1", false, true},
                                           RunCase{"FourHeadsFly", 3, 3, "Yes/Camera 1", true, true},
                                           RunCase{"FourHeadsVisionOff", 3, 3, "No/Camera 1", false, false},
                                           RunCase{"EightHeadsStopAndLook", 7, 6, "Yes/Camera 1", false, true},
                                           RunCase{"EightHeadsFly", 7, 6, "Yes/Camera 1", true, true},
                                           RunCase{"EightHeadsVisionOff", 7, 6, "No/Camera 1", false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
