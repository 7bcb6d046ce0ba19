#pragma once
// The lamp machine's platform runs: dispensing the LED points of a board on
// platform Y1 or Y2 (red glue with head Z5, two silver dots with head Z6)
// after measuring each point's Mark with the glue gantry's camera.
namespace smt::run {

inline constexpr const char* kVisualError = "Visual error !";

// Returns true when the run must stop.
bool DispensePlatformPoint(int kind, int platform, int point);
bool AlignPlatformMarks(int platform, int point);
bool MeasureMarkPoint(int platform, int point);
// Empties platform 1 or 2 at the throw position; true when the run was stopped.
bool UnloadPlatform(int platform);

}  // namespace smt::run
