#include "link/MachineGuards.h"

#include "core/MachineState.h"
#include "platform/MessageService.h"

namespace smt::link {

bool CheckMachineGuards(bool needHomed, bool needIdle) {
  const char* refusal = nullptr;
  if (!smt::CurrentMachine().connected) refusal = kNotConnected;
  else if (needHomed && !smt::CurrentMachine().resetDone) refusal = kNotReset;
  else if (needIdle && smt::CurrentMachine().machineBusy) refusal = kRunning;
  if (!refusal) return true;
  smt::platform::ShowMessage(refusal);
  return false;
}

}  // namespace smt::link
