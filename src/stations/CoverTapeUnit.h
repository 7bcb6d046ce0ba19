#pragma once
// The cover-tape unit's machine tests: step the carrier (axis 14), wind the
// take-up (axis 15), run out blank pockets, seal (output 8), run out and
// seal, and the locating device (output 9).
#include <functional>

#include "stations/CoverTapeSettings.h"

namespace smt {
class Machine;
}

namespace smt::stations {

enum CoverTest : int { kCoverStep = 1, kCoverTakeUp, kCoverBlank, kCoverSeal, kCoverBlankSeal, kCoverLocate };

struct CoverTapeIo {
  std::function<void(int ms)> sleepMs;
  // The dialog is disabled while a test runs (any thread).
  std::function<void(bool enabled)> enableDialog;
  // Speed pair of the tape axes 14 and 15.
  int stepStart = 1, stepRun = 1;
};
// The sleeps and the tape axes' speeds of `machine`.
CoverTapeIo DefaultCoverTapeIo(smt::Machine& machine);

// Runs test 1..6 on `machine` with the given values; the caller holds its
// busy state.
// False when a command of the test failed (the rest of it is skipped).
bool RunCoverTest(smt::Machine& machine, int test, const CoverTapeSettings& s, const CoverTapeIo& io);

// Guards (connected, homed, not busy), claims the busy state of `machine` and
// runs the test on a worker thread that releases it.
bool StartCoverTest(smt::Machine& machine, int test, const CoverTapeSettings& s, CoverTapeIo io);

}  // namespace smt::stations
