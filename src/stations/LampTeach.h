#pragma once
// The lamp point editor's machine work: the dot test (the glue gantry over a
// taught point, optionally one glue dot) and the full test (the point's Mark
// measured, then its three dots), each on a worker with the machine busy.
// The editor's jog and camera buttons reach the jog and camera panels
// (link/WindowPanels.h).
#include <cstdint>
#include <string>

#include "stations/LampPointTable.h"
#include "platform/SystemText.h"

namespace smt::stations {

inline constexpr smt::platform::SystemText kResetGlueHeadsFirst{"StationMessagesConfig", "StationMessages.c_ResetGlueHeadsFirst", "请先复位点胶头"};

// Glue X of the gantry and the Z5 / Z6 positions of `machine` (pulses).
int32_t GlueX(smt::Machine& machine);
int32_t Z5(smt::Machine& machine);
int32_t Z6(smt::Machine& machine);
int32_t PlatformY(smt::Machine& machine, int platform);

// One dot test: 531 move on platform 1, 532 on platform 2, else no move;
// dispense 1 red (head Z5), 2 silver (head Z6), 0 none.
struct LampDotTest {
  int moveSelector = 0;
  int32_t glueX = 0, targetY = 0;
  int dispense = 0;
  LampDispense params;
};
void RunLampDotTest(smt::Machine& machine, const LampDotTest& t);
// The full test of the point `point` (0..9) on `platform`: `values` are the
// editor's fields.
void RunLampFullTest(smt::Machine& machine, const LampPointValues& values, int platform, int point);
// Starts either on a worker acting on `machine`; false when a worker could
// not be started.
bool StartLampDotTest(smt::Machine& machine, const LampDotTest& t);
bool StartLampFullTest(smt::Machine& machine, const LampPointValues& values, int platform, int point);

// The dispense-test checks of one group in pulses: the index of the first
// failing field (0 speeds, 1 height, 2 valve open, 3 valve close, 4 delays,
// 5 valve open below the height, 6 valve close above -height) or -1.
int CheckDispenseTest(const LampDispense& d);
// Dispense parameters of dot group 0..2 from the editor's values.
LampDispense DispenseOf(const LampPointValues& v, int group, const LampScales& s);

}  // namespace smt::stations
