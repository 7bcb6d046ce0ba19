#pragma once
// The lamp machine's platform runs: dispensing the LED points of a board on
// platform Y1 or Y2 (red glue with head Z5, two silver dots with head Z6)
// after measuring each point's Mark with the glue gantry's camera.
namespace smt {
class Machine;
}

namespace smt::run {

inline constexpr const char* kVisualError = "Visual error !";

// Returns true when the run must stop.
bool DispensePlatformPoint(smt::Machine& m, int kind, int platform, int point);
bool AlignPlatformMarks(smt::Machine& m, int platform, int point);
bool MeasureMarkPoint(smt::Machine& m, int platform, int point);
// Empties platform 1 or 2 at the throw position; true when the run was stopped.
bool UnloadPlatform(smt::Machine& m, int platform);

}  // namespace smt::run
