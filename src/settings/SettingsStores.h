#pragma once
// The process-wide settings of this program: the machine settings and the
// speed templates that every subsystem reads.
#include "settings/MachineSettingsStore.h"
#include "settings/SpeedStore.h"

namespace smt {
class Machine;
}

namespace smt::settings {

struct SettingsStores {
  MachineSettingsStore machine;
  SpeedStore speed;

  static SettingsStores& Instance();
  // The settings of `machine`.
  static SettingsStores& Of(smt::Machine& machine);
};

}  // namespace smt::settings
