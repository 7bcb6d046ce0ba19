#include "link/PumpButtons.h"

#include "core/MachineState.h"
#include "link/MotionCommands.h"
#include "link/MotionSettings.h"

namespace smt::link {

std::vector<PumpOutput> PumpOutputs(int pump, int type, int runSelect, int exhaust) {
  if (pump < 1 || pump > 8) return {};
  const bool follow = runSelect == 1 || runSelect == 2;
  if (type == 7 || type == 8) {
    if (pump == 8 && follow) return {{47, exhaust}};
    return {{31 + pump, exhaust}};
  }
  if (pump > 6) return {};
  if ((pump == 2 || pump == 4) && follow) return {{8, 5}, {pump, 5}};
  return {{pump, 5}};
}

bool SwitchPump(smt::Machine& machine, int pump, bool on) {
  if (!machine.connected) return false;
  const MotionSettings m = GetMotionSettings(machine);
  const auto outputs = PumpOutputs(pump, machine.machineType, m.runSelect, m.exhaust);
  bool sent = false;
  for (const PumpOutput& o : outputs) sent = SendOutputDirect(machine, o.output, on ? 1 : 0, o.value) || sent;
  return sent;
}

// The forms for the machine in use.

}  // namespace smt::link
