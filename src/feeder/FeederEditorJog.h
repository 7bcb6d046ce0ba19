#pragma once
// The jog pad of the feeder editor: which jog a pressed button (or a Ctrl +
// arrow key) makes, by machine type, the chosen Z axis and the feeder side.
#include <cstdint>
#include <string>

namespace smt::feeder {

struct EditorJog {
  enum class Kind { None, Continuous, Steps, SpeedGear, HomeZ };
  Kind kind = Kind::None;
  int axis = 0;
  bool positive = true;
  int32_t steps = 0;
  int outputOff = 0;       // feeder output switched off first (5, 6, 7), 0 none
  bool clearLiftFlags = false;
};

struct EditorJogInput {
  int machineType = 0;
  int platform = 1;        // lamp machine's platform choice
  int zIndex = 0;          // Z1..Z8 as 0..7
  char side = 0;           // 'E', 'S', 'W', 'N', 'G'
  double pickHeightMm = 0;
  double zPulse = 0;
  int32_t currentZ = 0;    // position of the chosen Z
  int openLength = 0, closeLength = 0;  // mm
  double liftPulse = 0;    // the side's lift pulses per mm
};

// `button`: "X-", "X+", "Y+", "Y-", "Set", "Z+", "Z-", "Home", "ToZ", "Lx-", "Lx+", "Ly+", "Ly-".
EditorJog PlanEditorJog(const std::string& button, const EditorJogInput& in);

}  // namespace smt::feeder
