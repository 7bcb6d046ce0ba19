#pragma once
// The process-wide settings of this program: the machine settings and the
// speed templates that every subsystem reads.
#include "settings/MachineSettingsStore.h"
#include "settings/SpeedStore.h"

namespace smt::settings {

struct SettingsStores {
  MachineSettingsStore machine;
  SpeedStore speed;

  static SettingsStores& Instance();
};

}  // namespace smt::settings
