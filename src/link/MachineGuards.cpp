#include "link/MachineGuards.h"

#include "core/MachineState.h"
#include "platform/MessageService.h"

namespace smt::link {

bool CheckMachineGuards(bool needHomed, bool needIdle) {
  const char* refusal = nullptr;
  if (!g_bConnected) refusal = kNotConnected;
  else if (needHomed && !g_bResetDone) refusal = kNotReset;
  else if (needIdle && g_bMachineBusy) refusal = kRunning;
  if (!refusal) return true;
  smt::platform::ShowMessage(refusal);
  return false;
}

}  // namespace smt::link
