#include "settings/SettingsStores.h"

#include "core/Machine.h"

namespace smt::settings {

SettingsStores& SettingsStores::Instance() {
  return smt::CurrentMachine().Part<SettingsStores>();
}

}  // namespace smt::settings
