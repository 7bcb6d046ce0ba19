#pragma once
// The feeder list's pick test on the eight-head and insertion machines: one
// move-and-pick of a feeder's part with the chosen head, then the part over
// a vision camera.
#include <string>

namespace smt {
class Machine;
}

namespace smt::run {

// head 1..8, camera 1 or 2. Runs on the feeder list's machine-task thread.
void PickFromFeederTest(smt::Machine& m, int head, int camera, const std::string& feederNumber);

}  // namespace smt::run
