#include "settings/SettingsStores.h"

#include "core/Machine.h"

namespace smt::settings {

SettingsStores& SettingsStores::Of(smt::Machine& machine) { return machine.Part<SettingsStores>(); }

}  // namespace smt::settings
