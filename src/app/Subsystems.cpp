#include "app/Subsystems.h"

#include "app/JogPanelPulseTestRunner.h"
#include "app/MainFrame.h"
#include "app/SMTView.h"
#include "app/CommandIds.h"
#include "app/core/NameTables.h"
#include "link/CDialogManualControl.h"
#include "link/CDialogFirmwareUpdate.h"
#include "link/CDialogVersionNumber.h"
#include "platform/GuiDispatcher.h"
#include "platform/SettingsSection.h"
#include "link/LinkRoutes.h"
#include "settings/SettingsShellWiring.h"
#include "settings/SettingsStores.h"
#include "vision/CameraCalib.h"
#include "vision/VisionGlobals.h"

namespace {

void InstallSettings(CSMTView& view) {
  CMainFrame* frame = view.frame();
  smt::settings::SettingsShellWiring w;
  w.registerDialog = [&view](int id, std::function<void(QWidget*)> open) { view.RegisterDialog(id, std::move(open)); };
  w.initialUpdateSteps = &view.initialUpdateSteps;
  w.languageLoaders = &view.languageLoaders;
  w.speedUseLine = [frame] { return frame->m_lists.speedUsageLine; };
  w.speedRows = [frame] { return frame->m_lists.speedRows; };
  w.speedCommitted = [frame, &view](const std::string& useLine, const std::vector<std::string>& rows) {
    frame->m_lists.speedUsageLine = useLine;
    frame->m_lists.speedRows = rows;
    // The jog speeds come from the manual-control speed use.
    if (view.m_pManualControl) view.m_pManualControl->ReloadJogSettings();
  };
  w.tickActiveTier = [frame](int) { frame->UpdateMenuState(); };
  w.speedNames = [] {
    smt::settings::SpeedNameTable t;
    for (size_t l = 0; l < 3; ++l)
      for (size_t k = 0; k < 8; ++k) t[l][k] = g_strSpeedNames[l * 8 + k];
    return t;
  };
  w.viewMessage = [&view](int k) { return view.m_strMessage[k]; };
  view.pulseTestRunner = std::make_unique<JogPanelPulseTestRunner>(view);
  w.pulseTestRunner = view.pulseTestRunner.get();
  // The lens file named by the lens setting, from the program directory.
  smt::settings::SettingsStores::Instance().machine.SetLensCalibrationLoader([frame](const std::string& fileName) {
    return g_CameraCalib().Load(frame->m_strAppPath + "/" + fileName);
  });
  smt::settings::InstallSettingsSubsystem(std::move(w));
  frame->speedMenuCheck = [] { return smt::settings::SettingsStores::Instance().speed.Get()->settings.m_SpeedMenuCheck; };
  view.linkMode = [] { return smt::settings::SettingsStores::Instance().machine.Basic()->m_CommModel; };
}

void InstallLink(CSMTView& view) {
  view.RegisterDialog(smt::app::cmd::kFirmwareUpdate, [&view](QWidget* parent) {
    CDialogManualControl* panel = view.m_pManualControl;
    if (!panel) return;
    const std::string& app = view.frame()->m_strAppPath;
    FirmwareDialogEnvironment env;
    env.link = &panel->MachineLink();
    env.appDir = app;
    env.language = view.frame()->m_strLanguage;
    env.commModel = smt::platform::SettingsSection(smt::platform::ConfigPath(app), "SetBasicConfig").ReadInt("m_CommModel");
    env.discovery = panel->m_Discovery;
    // While the main board restarts, the jog panel is off; it comes back
    // when the board answers again.
    env.linkDropped = [panel] { smt::platform::PostToGui([panel] { panel->EnableJogControls(false); }); };
    env.linkRestored = [panel] { smt::platform::PostToGui([panel] { panel->ApplyLanguageTexts(); }); };
    OpenFirmwareUpdateDialog(parent, env);
  });
  // The last step of homing moves the Mark camera to the vision origin.
  smt::link::InstallCameraToVisionOrigin([&view] { view.OnCameraToVisionOrigin(); });
  view.RegisterDialog(smt::app::cmd::kCpuVersionNumber, [&view](QWidget* parent) {
    const std::string& app = view.frame()->m_strAppPath;
    CDialogVersionNumber dialog(view.m_VersionNumber, app,
                                CDialogVersionNumber::LoadLanguage(app, view.frame()->m_strLanguage), parent);
    dialog.exec();
  });
}

}  // namespace

void InstallSubsystems(CSMTView& view) {
  InstallSettings(view);
  InstallLink(view);
}
