#include "settings/SettingsShellWiring.h"

#include <memory>

#include "core/MachineState.h"
#include "platform/MessageService.h"
#include "settings/SettingsMenuCommands.h"
#include "settings/SettingsStores.h"

namespace smt::settings {

namespace {
struct WiringState {
  explicit WiringState(smt::Machine& m) : machine(m) {}
  smt::Machine& machine;
  SettingsShellWiring wiring;
  std::string appDir = ".";
  std::string language = "Chinese";
  bool loaded = false;

  SpeedNameTable Names() const { return wiring.speedNames ? wiring.speedNames() : DefaultSpeedNames(); }

  void BuildTemplates() {
    auto& speed = SettingsStores::Of(machine).speed;
    const std::string line = wiring.speedUseLine ? wiring.speedUseLine() : speed.StoredUseLine();
    const auto rows = wiring.speedRows ? wiring.speedRows() : speed.StoredRows();
    int refused = 0;
    const std::string warning =
        speed.BuildTemplateArrays(line, rows, Names(), machine.languageSet.load(), &refused);
    if (!warning.empty() && !loaded) platform::ShowMessage(warning);
    if (refused > 0 && wiring.speedRowsRefused) wiring.speedRowsRefused();
  }

  void Open(QWidget* parent, const std::function<void(SettingsMenuCommands&)>& command) {
    auto& stores = SettingsStores::Of(machine);
    SettingsMenuCommands menu(parent, machine, stores.machine, stores.speed, appDir);
    menu.SetLanguage(language);
    menu.SetBasicHooks(wiring.basicHooks);
    menu.SetPulseTestRunner(wiring.pulseTestRunner);
    if (wiring.viewMessage) menu.SetBusyMessages(wiring.viewMessage(1), wiring.viewMessage(2));
    menu.SetActiveTierListener([this](int tier) {
      auto& speed = SettingsStores::Of(machine).speed;
      if (wiring.speedCommitted) wiring.speedCommitted(speed.StoredUseLine(), speed.StoredRows());
      if (wiring.tickActiveTier) wiring.tickActiveTier(tier);
    });
    command(menu);
  }
};
}  // namespace

void InstallSettingsSubsystem(smt::Machine& machine, SettingsShellWiring wiring) {
  auto state = std::make_shared<WiringState>(machine);
  state->wiring = std::move(wiring);
  auto& w = state->wiring;
  if (w.initialUpdateSteps) {
    // The settings come first: every later step and every listener of the
    // stores works with the loaded values, never with the construction ones.
    w.initialUpdateSteps->insert(w.initialUpdateSteps->begin(), [state](const std::string& appDir) {
      state->appDir = appDir;
      auto& stores = SettingsStores::Of(state->machine);
      stores.machine.LoadAll(appDir);
      state->BuildTemplates();
      stores.speed.LoadConfig(appDir);
      stores.speed.LoadAllUsageSpeeds(appDir);
      state->loaded = true;
      if (state->wiring.tickActiveTier) state->wiring.tickActiveTier(stores.speed.Get()->settings.m_SpeedMenuCheck);
    });
  }
  if (w.languageLoaders) {
    w.languageLoaders->push_back([state](const std::string& appDir, const std::string& language) {
      state->appDir = appDir;
      state->language = language;
      if (state->loaded) state->BuildTemplates();  // template names follow the language
    });
  }
  if (w.registerDialog) {
    using Cmd = std::function<void(SettingsMenuCommands&)>;
    const std::pair<int, Cmd> commands[] = {
        {32841, [](SettingsMenuCommands& m) { m.OnSetBasic(); }},
        {32843, [](SettingsMenuCommands& m) { m.OnSetPulse(); }},
        {32921, [](SettingsMenuCommands& m) { m.OnSpeedSet(); }},
        {32864, [](SettingsMenuCommands& m) { m.OnHighSpeedTemplate(); }},
        {32862, [](SettingsMenuCommands& m) { m.OnMediumSpeedTemplate(); }},
        {32863, [](SettingsMenuCommands& m) { m.OnLowSpeedTemplate(); }},
    };
    for (const auto& [id, cmd] : commands)
      w.registerDialog(id, [state, cmd](QWidget* parent) { state->Open(parent, cmd); });
  }
}

}  // namespace smt::settings
