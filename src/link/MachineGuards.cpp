#include "link/MachineGuards.h"

#include "core/MachineState.h"
#include "platform/MessageService.h"

namespace smt::link {

bool CheckMachineGuards(smt::Machine& machine, bool needHomed, bool needIdle) {
  const smt::platform::SystemText* refusal = nullptr;
  if (!machine.connected) refusal = &kNotConnected;
  else if (needHomed && !machine.resetDone) refusal = &kNotReset;
  else if (needIdle && machine.machineBusy) refusal = &kRunning;
  if (!refusal) return true;
  smt::platform::ShowMessage(refusal->Text());
  return false;
}

// The forms for the machine in use.

}  // namespace smt::link
