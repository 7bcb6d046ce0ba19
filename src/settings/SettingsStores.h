#pragma once
// A machine's settings: the machine settings and the speed templates that
// every subsystem reads.
#include "settings/MachineSettingsStore.h"
#include "settings/SpeedStore.h"

namespace smt {
class Machine;
}

namespace smt::settings {

struct SettingsStores {
  MachineSettingsStore machine;
  SpeedStore speed;

  // The stores of `machine`.
  static SettingsStores& Of(smt::Machine& machine);
};

}  // namespace smt::settings
