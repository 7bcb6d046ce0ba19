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
InstalledWiring& Installed() { return smt::CurrentMachine().Part<InstalledWiring>(); }

std::shared_ptr<LibraryShellWiring> Wiring() {
  InstalledWiring& i = Installed();
  std::lock_guard lk(i.mutex);
  return i.wiring;
}

std::string AppDir() {
  auto w = Wiring();
  return w && w->appDir ? w->appDir() : LibraryAppDir();
}
std::string Language() {
  auto w = Wiring();
  return w && w->language ? w->language() : std::string("Chinese");
}

// The library dialogs are refused while the machine runs.
bool Idle() {
  if (smt::CurrentMachine().runContinue || smt::CurrentMachine().machineBusy) {
    smt::platform::ShowMessage(smt::link::kRunning);
    return false;
  }
  return true;
}

void StartUp(const LibraryShellWiring& w, const std::string& appDir) {
  SetLibraryAppDir(appDir);
  NozzleLibrary& nozzles = TheNozzleLibrary();
  // Rows that cannot be read were named to the operator when the files were
  // read; they are kept in the tables as they are and used by nothing.
  if (w.nozzleRows) nozzles.LoadRows(*w.nozzleRows);
  nozzles.LoadConfig(appDir);
  if (w.packRows) ThePackLibrary().LoadTable(*w.packRows);
  if (w.markRows) TheMarkLibrary().LoadTable(*w.markRows);
  LoadOriginUpdateAtStartUp(appDir, smt::CurrentMachine().machineType.load());
  TheDoubleMarkTest() = LoadDoubleMarkTest(appDir);
  nozzles.ComputeNozzlePositions();
}

void OpenNozzleList(QWidget* parent) {
  auto w = Wiring();
  if (!w || !Idle()) return;
  CDialogNozzleList::Environment env;
  env.appDir = AppDir();
  env.language = Language();
  env.frameRows = w->nozzleRows;
  env.jog = w->jogRunner ? w->jogRunner() : nullptr;
  env.switchToMarkCamera = w->switchToMarkCamera;
  env.homeZ = [] { smt::link::MachineHoming::Instance().StartHomeThread(3, 1); };
  env.homeAll = [] { smt::link::MachineHoming::Instance().StartHomeThread(0, 1); };
  CDialogNozzleList dialog(TheNozzleLibrary(), env, parent);
  dialog.exec();
}

void OpenPackList(QWidget* parent) {
  auto w = Wiring();
  if (!w || !Idle()) return;
  CDialogPackList::Environment env;
  env.appDir = AppDir();
  env.language = Language();
  env.languageIndex = smt::CurrentMachine().languageSet.load();
  env.machineType = smt::CurrentMachine().machineType.load();
  env.frameRows = w->packRows;
  env.feedModeNames = smt::CurrentMachine().names.feedTypeNames;
  env.speedUseNames = smt::CurrentMachine().names.speedNames;
  env.updateFeeders = w->updateFeeders;
  auto& e = env.editor;
  e.appDir = env.appDir;
  e.language = env.language;
  e.languageIndex = env.languageIndex;
  e.machineType = env.machineType;
  const NozzleStrategy strategy = CurrentNozzleStrategy();
  e.autoChangeNozzle = strategy.m_AutoChangeNozzle != 0;
  e.nineteenSeat = strategy.m_19NozzleLibrary != 0;
  if (w->cameraNames) e.cameraNames = w->cameraNames();
  if (w->speedTemplateNames) e.speedNames = w->speedTemplateNames();
  const int lang = std::clamp(env.languageIndex, 0, 2);
  for (int m = 0; m < 9; ++m) e.feedModeNames[m] = smt::CurrentMachine().names.feedTypeNames[lang * 9 + m];
  for (const auto& row : TheNozzleLibrary().m_NozzleRows) e.nozzleNotes.push_back(row[8]);
  const auto pulse = smt::settings::SettingsStores::Instance().machine.Pulse();
  e.xPulse = pulse->m_X_Pulse;
  e.aPulse = pulse->m_A_Pulse;
  e.lightValues = w->cameraLight;
  CDialogPackList dialog(ThePackLibrary(), env, parent);
  dialog.exec();
}

void OpenMarkList(QWidget* parent) {
  auto w = Wiring();
  if (!w || !Idle()) return;
  CDialogMarkList::Environment env;
  env.appDir = AppDir();
  env.language = Language();
  env.frameRows = w->markRows;
  CDialogMarkList dialog(TheMarkLibrary(), env, parent);
  dialog.exec();
}

}  // namespace

void InstallLibrarySubsystem(LibraryShellWiring wiring) {
  auto w = std::make_shared<LibraryShellWiring>(std::move(wiring));
  {
    InstalledWiring& i = Installed();
    std::lock_guard lk(i.mutex);
    i.wiring = w;
  }
  if (w->initialUpdateSteps)
    w->initialUpdateSteps->push_back([w](const std::string& appDir) { StartUp(*w, appDir); });
  if (w->registerDialog) {
    w->registerDialog(kNozzleListCommand, OpenNozzleList);
    w->registerDialog(kPackDataCommand, OpenPackList);
    w->registerDialog(kMarkDataCommand, OpenMarkList);
  }
  // New axis scales or head heights: the seat records follow.
  smt::settings::SettingsStores::Instance().machine.AddGeometryListener(
      [] { TheNozzleLibrary().ComputeNozzlePositions(); });
}

void OpenOriginUpdate(QWidget* settingsDialog) {
  auto w = Wiring();
  CDialogOriginUpdate::Environment env;
  env.appDir = AppDir();
  env.language = Language();
  env.machineType = smt::CurrentMachine().machineType.load();
  env.targets = LibraryOriginTargets(w ? w->nozzleRows : nullptr, settingsDialog);
  if (w) {
    env.targets.shiftCurrentFeeders = w->shiftCurrentFeeders;
    env.targets.shiftPcbOrigin = w->shiftPcbOrigin;
    env.targets.shiftCameras = w->shiftCameras;
  }
  CDialogOriginUpdate dialog(TheOriginUpdate(), env, settingsDialog);
  dialog.exec();
}

void OpenDoubleMarkTest(QWidget* parent) {
  CDialogDoubleMarkTest dialog(TheDoubleMarkTest(), AppDir(), Language(), parent);
  dialog.exec();
}

}  // namespace smt::library
