// Whole placement runs of the program as main() builds it, on a simulated
// machine whose cameras see what the machine does (VisionRunFixture.h): the
// two-head machine types.
#include "VisionRunCases.h"

using namespace std::chrono_literals;
using visionrun::kStepsPerMm;
using visionrun::Target;
using visionrun::VisionRunSim;

namespace {

INSTANTIATE_TEST_SUITE_P(Runs, VisionRunCases,
                         ::testing::Values(RunCase{"TwoHeadsStopAndLook", 2, 1, "Yes/Camera 1", false, true},
                                           RunCase{"TwoHeadsFly", 2, 1, "Yes/Camera 1", true, true},
                                           RunCase{"TwoHeadsVisionOff", 2, 1, "No/Camera 1", false, false},
                                           RunCase{"TwoHeadsCamera2", 2, 1, "Yes/Camera 2", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
