#include "settings/SettingsStores.h"

namespace smt::settings {

SettingsStores& SettingsStores::Instance() {
  static SettingsStores stores;
  return stores;
}

}  // namespace smt::settings
