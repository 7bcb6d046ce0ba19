#include "library/LibraryShellWiring.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "core/Machine.h"
#include "core/MachineState.h"
#include "core/NameTables.h"
#include "library/CDialogDoubleMarkTest.h"
#include "library/CDialogMarkList.h"
#include "library/CDialogNozzleList.h"
#include "library/CDialogOriginUpdate.h"
#include "library/CDialogPackList.h"
#include "library/DoubleMarkTest.h"
#include "library/MarkLibrary.h"
#include "library/NozzleLibrary.h"
#include "library/NozzleStrategy.h"
#include "link/MachineGuards.h"
#include "link/MachineHoming.h"
#include "platform/MessageService.h"
#include "settings/SettingsStores.h"

namespace smt::library {

namespace {

constexpr int kNozzleListCommand = 32853;
constexpr int kPackDataCommand = 33062;
constexpr int kMarkDataCommand = 33125;

// The wiring the shell installed on the machine. Read by the menu commands
// on the window thread and by the origin update's opener.
struct InstalledWiring {
  std::mutex mutex;
  std::shared_ptr<LibraryShellWiring> wiring;
};
InstalledWiring& Installed(smt::Machine& machine) { return machine.Part<InstalledWiring>(); }

std::shared_ptr<LibraryShellWiring> Wiring(smt::Machine& machine) {
  InstalledWiring& i = Installed(machine);
  std::lock_guard lk(i.mutex);
  return i.wiring;
}

std::string AppDir(smt::Machine& machine) {
  auto w = Wiring(machine);
  return w && w->appDir ? w->appDir() : LibraryAppDir(machine);
}
std::string Language(smt::Machine& machine) {
  auto w = Wiring(machine);
  return w && w->language ? w->language() : std::string("Chinese");
}

// The library dialogs are refused while the machine runs.
bool Idle(const smt::Machine& machine) {
  if (machine.runContinue || machine.machineBusy) {
    smt::platform::ShowMessage(smt::link::kRunning);
    return false;
  }
  return true;
}

void StartUp(smt::Machine& machine, const LibraryShellWiring& w, const std::string& appDir) {
  SetLibraryAppDir(machine, appDir);
  NozzleLibrary& nozzles = machine.Part<NozzleLibrary>();
  // Rows that cannot be read were named to the operator when the files were
  // read; they are kept in the tables as they are and used by nothing.
  if (w.nozzleRows) nozzles.LoadRows(*w.nozzleRows);
  nozzles.LoadConfig(appDir);
  if (w.packRows) machine.Part<PackLibrary>().LoadTable(*w.packRows);
  if (w.markRows) machine.Part<MarkLibrary>().LoadTable(*w.markRows);
  LoadOriginUpdateAtStartUp(machine, appDir);
  machine.Part<DoubleMarkTestFields>() = LoadDoubleMarkTest(appDir);
  nozzles.ComputeNozzlePositions(machine);
}

void OpenNozzleList(smt::Machine& machine, QWidget* parent) {
  auto w = Wiring(machine);
  if (!w || !Idle(machine)) return;
  CDialogNozzleList::Environment env;
  env.appDir = AppDir(machine);
  env.language = Language(machine);
  env.frameRows = w->nozzleRows;
  env.jog = w->jogRunner ? w->jogRunner() : nullptr;
  env.switchToMarkCamera = w->switchToMarkCamera;
  env.homeZ = [m = &machine] { smt::link::MachineHoming::Of(*m).StartHomeThread(3, 1); };
  env.homeAll = [m = &machine] { smt::link::MachineHoming::Of(*m).StartHomeThread(0, 1); };
  CDialogNozzleList dialog(machine.Part<NozzleLibrary>(), machine, env, parent);
  dialog.exec();
}

void OpenPackList(smt::Machine& machine, QWidget* parent) {
  auto w = Wiring(machine);
  if (!w || !Idle(machine)) return;
  CDialogPackList::Environment env;
  env.appDir = AppDir(machine);
  env.language = Language(machine);
  env.languageIndex = machine.languageSet.load();
  env.machineType = machine.machineType.load();
  env.frameRows = w->packRows;
  env.feedModeNames = machine.names.feedTypeNames;
  env.speedUseNames = machine.names.speedNames;
  env.updateFeeders = w->updateFeeders;
  auto& e = env.editor;
  e.appDir = env.appDir;
  e.language = env.language;
  e.languageIndex = env.languageIndex;
  e.machineType = env.machineType;
  const NozzleStrategy strategy = NozzleStrategyOf(machine);
  e.autoChangeNozzle = strategy.m_AutoChangeNozzle != 0;
  e.nineteenSeat = strategy.m_19NozzleLibrary != 0;
  if (w->cameraNames) e.cameraNames = w->cameraNames();
  if (w->speedTemplateNames) e.speedNames = w->speedTemplateNames();
  const int lang = std::clamp(env.languageIndex, 0, 2);
  for (int m = 0; m < 9; ++m) e.feedModeNames[m] = machine.names.feedTypeNames[lang * 9 + m];
  for (const auto& row : machine.Part<NozzleLibrary>().Rows()) e.nozzleNotes.push_back(row.Note());
  const auto pulse = smt::settings::SettingsStores::Of(machine).machine.Pulse();
  e.xPulse = pulse->m_X_Pulse;
  e.aPulse = pulse->m_A_Pulse;
  e.lightValues = w->cameraLight;
  CDialogPackList dialog(machine.Part<PackLibrary>(), env, parent);
  dialog.exec();
}

void OpenMarkList(smt::Machine& machine, QWidget* parent) {
  auto w = Wiring(machine);
  if (!w || !Idle(machine)) return;
  CDialogMarkList::Environment env;
  env.appDir = AppDir(machine);
  env.language = Language(machine);
  env.frameRows = w->markRows;
  CDialogMarkList dialog(machine.Part<MarkLibrary>(), machine, env, parent);
  dialog.exec();
}

}  // namespace

void InstallLibrarySubsystem(smt::Machine& machine, LibraryShellWiring wiring) {
  auto w = std::make_shared<LibraryShellWiring>(std::move(wiring));
  {
    InstalledWiring& i = Installed(machine);
    std::lock_guard lk(i.mutex);
    i.wiring = w;
  }
  if (w->initialUpdateSteps)
    w->initialUpdateSteps->push_back([&machine, w](const std::string& appDir) { StartUp(machine, *w, appDir); });
  if (w->registerDialog) {
    w->registerDialog(kNozzleListCommand, [&machine](QWidget* parent) { OpenNozzleList(machine, parent); });
    w->registerDialog(kPackDataCommand, [&machine](QWidget* parent) { OpenPackList(machine, parent); });
    w->registerDialog(kMarkDataCommand, [&machine](QWidget* parent) { OpenMarkList(machine, parent); });
  }
  // New axis scales or head heights: the seat records follow.
  smt::settings::SettingsStores::Of(machine).machine.AddGeometryListener(
      [&machine] { machine.Part<NozzleLibrary>().ComputeNozzlePositions(machine); });
}

void OpenOriginUpdate(smt::Machine& machine, QWidget* settingsDialog) {
  auto w = Wiring(machine);
  CDialogOriginUpdate::Environment env;
  env.appDir = AppDir(machine);
  env.language = Language(machine);
  env.machineType = machine.machineType.load();
  env.targets = LibraryOriginTargets(machine, w ? w->nozzleRows : nullptr, settingsDialog);
  if (w) {
    env.targets.shiftCurrentFeeders = w->shiftCurrentFeeders;
    env.targets.shiftPcbOrigin = w->shiftPcbOrigin;
    env.targets.shiftCameras = w->shiftCameras;
  }
  CDialogOriginUpdate dialog(machine.Part<OriginUpdateSettings>(), env, settingsDialog);
  dialog.exec();
}

void OpenDoubleMarkTest(smt::Machine& machine, QWidget* parent) {
  CDialogDoubleMarkTest dialog(machine.Part<DoubleMarkTestFields>(), AppDir(machine), Language(machine), parent);
  dialog.exec();
}

}  // namespace smt::library
