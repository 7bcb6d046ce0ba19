#include "app/Subsystems.h"

#include <QComboBox>

#include "app/HookTable.h"
#include "app/PageWiring.h"
#include "app/JogPanelPulseTestRunner.h"
#include "app/ShellConnections.h"
#include "app/MainFrame.h"
#include "app/SettingsFlowWiring.h"
#include "app/RunStepsWiring.h"
#include "app/SMTView.h"
#include "app/StationRunWiring.h"
#include "app/VisionRunWiring.h"
#include "app/WindowPanelPorts.h"
#include "app/CommandIds.h"
#include "app/OperatorConnections.h"
#include "core/NameTables.h"
#include "link/CDialogManualControl.h"
#include "link/CDialogFirmwareUpdate.h"
#include "link/CDialogVersionNumber.h"
#include "platform/GuiDispatcher.h"
#include "platform/SettingsSection.h"
#include "link/LinkRoutes.h"
#include "link/MotionGlobals.h"
#include "link/LinkRuntime.h"
#include "feeder/CDialogFeedList.h"
#include "feeder/FeederServices.h"
#include "feeder/FeederShellWiring.h"
#include "app/FeederSourceWiring.h"
#include "app/JogToolbarWiring.h"
#include "app/PackageFeederWiring.h"
#include "feeder/FeederTestThread.h"
#include "job/BoardGeometry.h"
#include "job/PcbRecord.h"
#include "library/LibraryShellWiring.h"
#include "library/PackLibrary.h"
#include "job/CDialogDropDownParameter.h"
#include "job/CDialogImportFile.h"
#include "job/CDialogPCBEdit.h"
#include "job/CDialogPartList.h"
#include "job/CSMTDoc.h"
#include "job/DropDownLists.h"
#include "job/EdaPartConversion.h"
#include "job/FeederView.h"
#include "job/ImportFileSettings.h"
#include "link/MachineHoming.h"
#include "run/FeederPickTest.h"
#include "run/MachineSteps.h"
#include "run/RunServices.h"
#include "run/RunShellWiring.h"
#include "run/RunState.h"
#include "settings/SettingsShellWiring.h"
#include "stations/ConveyorStation.h"
#include "stations/DippingStation.h"
#include "stations/StationsShell.h"
#include "settings/SettingsStores.h"
#include "vision/CDialogCameraList.h"
#include "vision/CameraEngine.h"
#include "vision/MarkAlign.h"
#include "vision/CDialogSetView.h"
#include "vision/CameraCalib.h"
#include "vision/VisionGlobals.h"
#include "vision/CameraTable.h"

namespace {

// Names of the cameras of the camera table.
std::vector<std::string> CameraNames(CMainFrame& frame) {
  return smt::vision::CameraNamesOf(frame.Lists().cameraRows);
}

void InstallSettings(CSMTView& view) {
  CMainFrame* frame = view.frame();
  smt::Machine& machine = view.machine();
  smt::settings::SettingsShellWiring w;
  w.registerDialog = [&view](int id, std::function<void(QWidget*)> open) { view.RegisterDialog(id, std::move(open)); };
  w.initialUpdateSteps = &view.initialUpdateSteps;
  w.languageLoaders = &view.languageLoaders;
  w.speedUseLine = [frame] { return frame->Lists().speedUsageLine; };
  w.speedRows = [frame] { return frame->Lists().speedRows; };
  w.speedRowsRefused = [frame] { frame->Lists().MarkDamaged(smt::library::ListFileId::Speed); };
  w.speedCommitted = [frame](const std::string& useLine, const std::vector<std::string>& rows) {
    frame->Lists().speedUsageLine = useLine;
    frame->Lists().speedRows = rows;
  };
  w.tickActiveTier = [frame](int) { frame->UpdateMenuState(); };
  w.speedNames = [&machine] {
    smt::settings::SpeedNameTable t;
    for (size_t l = 0; l < 3; ++l)
      for (size_t k = 0; k < 8; ++k) t[l][k] = machine.names.speedNames[l * 8 + k];
    return t;
  };
  w.viewMessage = [&view](int k) { return view.m_strMessage[k]; };
  w.basicHooks.showOriginUpdate = [&machine](QWidget* d) { smt::library::OpenOriginUpdate(machine, d); };
  w.basicHooks.startAutoZ = [&machine] { smt::feeder::StartAutoZMeasurement(machine); };
  w.basicHooks.selectedPlatform = [&machine] { return smt::link::RuntimeOf(machine).headGroup.load(); };
  w.basicHooks.platformPositions = [&machine] { return std::make_pair(machine.motion.curPlatform[0].load(), machine.motion.curPlatform[1].load()); };
  view.pulseTestRunner = std::make_unique<JogPanelPulseTestRunner>(view);
  w.pulseTestRunner = view.pulseTestRunner.get();
  // The lens file named by the lens setting, from the program directory.
  smt::settings::SettingsStores::Of(machine).machine.SetLensCalibrationLoader([frame, &machine](const std::string& fileName) {
    return machine.Part<CCameraCalib>().Load(frame->m_strAppPath + "/" + fileName);
  });
  smt::settings::InstallSettingsSubsystem(machine, std::move(w));
  frame->speedMenuCheck = [&machine] { return smt::settings::SettingsStores::Of(machine).speed.Get()->settings.m_SpeedMenuCheck; };
  view.linkMode = [&machine] { return smt::settings::SettingsStores::Of(machine).machine.Basic()->m_CommModel; };
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
    // The link mode as the machine settings hold it (loaded with its range).
    env.commModel = smt::settings::SettingsStores::Of(view.machine()).machine.Basic()->m_CommModel;
    env.discovery = panel->m_Discovery;
    // While the main board restarts, the jog panel is off; it comes back
    // when the board answers again.
    env.linkDropped = [panel] { smt::platform::PostToGui([panel] { panel->EnableJogControls(false); }); };
    env.linkRestored = [panel] { smt::platform::PostToGui([panel] { panel->ApplyLanguageTexts(); }); };
    OpenFirmwareUpdateDialog(parent, view.machine(), env);
  });
  view.RegisterDialog(smt::app::cmd::kCpuVersionNumber, [&view](QWidget* parent) {
    const std::string& app = view.frame()->m_strAppPath;
    CDialogVersionNumber dialog(view.machine(), view.m_VersionNumber, app,
                                CDialogVersionNumber::LoadLanguage(app, view.frame()->m_strLanguage), parent);
    dialog.exec();
  });
}

void InstallCameras(CSMTView& view) {
  CMainFrame* frame = view.frame();
  view.switchLiveCamera = [&view](smt::app::GoToCamera camera) {
    CDialogSetView* panel = view.m_pSetView;
    if (!panel) return;
    switch (camera) {
      case smt::app::GoToCamera::Mark: panel->OnBnClickedOpenMarkCamera(); break;
      case smt::app::GoToCamera::Vision1: panel->OnBnClickedOpenVisualCamera1(); break;
      case smt::app::GoToCamera::Vision2: panel->OnBnClickedOpenVisualCamera2(); break;
      case smt::app::GoToCamera::None: break;
    }
  };
  view.closeCameras = [&view] {
    if (view.m_pSetView) view.m_pSetView->CloseCameras();
  };
  view.m_pCameraList = std::make_unique<CDialogCameraList>(view.machine(), &view);
  CDialogCameraList* list = view.m_pCameraList.get();
  view.initialUpdateSteps.push_back([&view, frame, list](const std::string& appDir) {
    list->m_pSetView = view.m_pSetView;
    list->m_strAppPath = appDir;
    list->m_strLanguage = frame->m_strLanguage;
    // A table with refused cells is saved back as it came, but never over
    // the backup copy.
    if (list->LoadTable(frame->Lists().cameraRows) > 0) frame->Lists().MarkDamaged(smt::library::ListFileId::Camera);
    list->LoadConfig(appDir);
  });
  view.languageLoaders.push_back([list](const std::string& appDir, const std::string& language) {
    list->m_strLanguage = language;
    list->LoadLanguage(appDir, language);
  });
  view.RegisterDialog(smt::app::cmd::kCameraList, [list](QWidget*) {
    list->OnInitDialog();
    list->exec();
  });
}

void InstallJob(CSMTView& view) {
  CMainFrame* frame = view.frame();
  // Step geometry of the run and the head layout follow the machine settings.
  smt::Machine& machine = view.machine();
  auto geometry = [&machine] {
    smt::job::LoadStepGeometry(machine);
    smt::job::SetupHeadLayout(machine);
  };
  smt::settings::SettingsStores::Of(machine).machine.AddGeometryListener(geometry);
  view.initialUpdateSteps.push_back([&view, &machine, frame, geometry](const std::string& appDir) {
    geometry();
    CDialogPartList* p = view.m_pPartList;
    if (!p) return;
    p->packageRows = [frame] { return frame->Lists().packRows; };
    p->markRows = [frame] { return frame->Lists().markRows; };
    p->statusText = [frame](const std::string& text) { frame->SetStatusHint(text); };
    p->language = [frame] { return frame->m_strLanguage; };
    // The import dialog is made the first time it is opened, with the options
    // read now, and keeps its format and options between openings.
    auto import = std::make_shared<std::unique_ptr<CDialogImportFile>>();
    p->PcbEditor().openImportDialog = [import, p, frame, &machine, options = smt::job::LoadImportFitOptions(appDir)] {
      if (!*import) {
        *import = std::make_unique<CDialogImportFile>(p->Job());
        (*import)->SetOptions(options);
        // Imported parts are matched with the feeders of the feeder list.
        (*import)->FeederRows = [&machine] {
          std::vector<smt::job::ImportFeederRow> rows;
          for (const smt::job::FeederRowView& f : smt::job::FeederListRows(machine))
            rows.push_back({f.Number(), f.Package(), f.Value(), f.Head(), f.flyImage == 2});
          return rows;
        };
      }
      (*import)->Open(frame->m_strAppPath, frame->m_strLanguage);
    };
    // An import asks about the job's changes not saved first, as New and Open do.
    p->PcbEditor().askBeforeImport = [&view] { return !view.document() || view.document()->AskToSaveChanges(); };
    p->PcbEditor().openDoubleMarkTest = [p, &machine] { smt::library::OpenDoubleMarkTest(machine, &p->PcbEditor()); };
  });
  view.RegisterDialog(smt::app::cmd::kOftenData, [&view, frame](QWidget* parent) {
    CDialogDropDownParameter dialog(view.machine(), parent);
    dialog.SetAppDir(frame->m_strAppPath);
    dialog.LoadLanguage(frame->m_strAppPath, frame->m_strLanguage);
    CDialogPartList* p = view.m_pPartList;
    if (p) {
      dialog.placementRows = [p] { return &p->Job().placementRows; };
      dialog.panelBox = [p](int tab, const std::string& remove, const std::string& add) {
        static const int kBoxes[4] = {1085, 1020, 1040, 1025};
        if (tab < 0 || tab > 3) return;
        QComboBox* box = p->ChoiceCombo(kBoxes[tab]);
        if (!box) return;
        if (!remove.empty()) {
          int i = box->findText(QString::fromStdString(remove));
          if (i >= 0) box->removeItem(i);
        }
        if (!add.empty()) box->addItem(QString::fromStdString(add));
      };
    }
    dialog.InitLists();
    dialog.exec();
    // The drop-down lists are saved with the library files.
    frame->Lists().dropDownLists = smt::job::DropDownLists(frame->machine());
  });
}

void InstallLibraries(CSMTView& view) {
  CMainFrame* frame = view.frame();
  smt::library::LibraryShellWiring w;
  w.registerDialog = [&view](int id, std::function<void(QWidget*)> open) { view.RegisterDialog(id, std::move(open)); };
  w.initialUpdateSteps = &view.initialUpdateSteps;
  w.appDir = [frame] { return frame->m_strAppPath; };
  w.language = [frame] { return frame->m_strLanguage; };
  w.nozzleRows = &frame->Lists().nozzleRows;
  w.packRows = &frame->Lists().packRows;
  w.markRows = &frame->Lists().markRows;
  w.cameraNames = [frame] { return CameraNames(*frame); };
  w.speedTemplateNames = [&machine = view.machine()] {
    std::vector<std::string> names;
    for (const auto& row : smt::settings::SettingsStores::Of(machine).speed.Get()->tiers.high) names.push_back(row.Name());
    return names;
  };
  w.cameraLight = [&view] {
    return view.m_pSetView ? std::make_pair(view.m_pSetView->m_Light_Contrast, view.m_pSetView->m_Light_Brightness)
                           : std::make_pair(0, 0);
  };
  w.switchToMarkCamera = [&view] {
    if (view.switchLiveCamera) view.switchLiveCamera(smt::app::GoToCamera::Mark);
  };
  w.jogRunner = [&view]() -> smt::link::JogRunner* {
    return view.m_pManualControl ? &view.m_pManualControl->JogPad() : nullptr;
  };
  w.shiftCurrentFeeders = [&view](double dx, double dy) {
    if (view.m_pFeedList) view.m_pFeedList->ShiftFeederPositions(dx, dy);
  };
  w.shiftCameras = [&view](double dx, double dy) {
    if (view.m_pCameraList) view.m_pCameraList->ShiftCameraPositions(dx, dy);
  };
  // The PCB origin moves with the machine's origin: the editor's fields and
  // the board of that name in the table.
  w.shiftPcbOrigin = [&view](double dx, double dy) {
    if (!view.m_pPartList) return;
    auto& edit = view.m_pPartList->PcbEditor();
    auto& fields = edit.Fields();
    fields.originX += dx;
    fields.originY += dy;
    if (auto* rec = view.m_pPartList->Job().pcbs.Find(fields.name)) {
      rec->m_dOriginX += dx;
      rec->m_dOriginY += dy;
    }
    edit.WriteFieldsToControls();
  };
  w.updateFeeders = smt::app::PackageToFeeders(view);
  smt::library::InstallLibrarySubsystem(view.machine(), std::move(w));
}

void InstallFeeders(CSMTView& view) {
  CMainFrame* frame = view.frame();
  smt::feeder::FeederShellWiring w;
  w.registerDialog = [&view](int id, std::function<void(QWidget*)> open) { view.RegisterDialog(id, std::move(open)); };
  w.initialUpdateSteps = &view.initialUpdateSteps;
  w.panel = [&view] { return view.m_pFeedList; };
  w.feedLines = [frame] { return frame->Lists().feedLines; };
  w.feedLinesDamaged = [frame] { frame->Lists().MarkDamaged(smt::library::ListFileId::Feed); };
  w.language = [frame] { return frame->m_strLanguage; };
  smt::feeder::InstallFeederSubsystem(view.machine(), std::move(w));
  smt::app::InstallFeederSource(view.machine(), [&view] { return view.m_pFeedList; });
}

void InstallStations(CSMTView& view) {
  CMainFrame* frame = view.frame();
  smt::Machine& machine = view.machine();
  view.initialUpdateSteps.push_back([&view, &machine](const std::string& appDir) {
    smt::stations::LoadStationSettings(machine, appDir);
    if (CDialogPartList* p = view.m_pPartList) {
      // The lamp machine's point table travels with the job.
      p->Job().getLampRows = [&machine] { return smt::stations::LampRowsForJob(machine); };
      p->Job().setLampRows = [&machine](const std::vector<std::string>& rows) { smt::stations::SetLampRowsFromJob(machine, rows); };
      p->Logic().lampRowAdded = [&machine] { smt::stations::LampRowAdded(machine); };
      p->Logic().lampRowDeleted = [&machine](int point) { smt::stations::LampRowDeleted(machine, point); };
    }
  });
  view.languageLoaders.push_back([&machine](const std::string& appDir, const std::string& language) {
    smt::stations::LoadStationLanguages(machine, appDir, language);
  });
  view.RegisterDialog(smt::app::cmd::kDippingStation, [frame, &machine](QWidget* parent) {
    smt::stations::OpenDippingStation(machine, parent, frame->m_strAppPath, frame->m_strLanguage);
  });
  view.RegisterDialog(smt::app::cmd::kAutoTransport,
                      [frame, &machine](QWidget* parent) { smt::stations::OpenConveyor(machine, parent, frame->m_strAppPath); });
  view.RegisterDialog(smt::app::cmd::kLabelingSet,
                      [frame, &machine](QWidget* parent) { smt::stations::OpenLabelingSettings(machine, parent, frame->m_strAppPath); });
  view.RegisterDialog(smt::app::cmd::kLampMachineSet,
                      [frame, &machine](QWidget* parent) { smt::stations::OpenLampMachineTable(machine, parent, frame->m_strAppPath); });
}

void InstallRunEngine(CSMTView& view) {
  CMainFrame* frame = view.frame();
  smt::Machine& machine = view.machine();
  view.initialUpdateSteps.push_back([&view, &machine, frame](const std::string& appDir) {
    smt::run::CreateRunEvents(machine);
    smt::run::LoadStrategyAtStart(machine, appDir);
    CDialogPartList* p = view.m_pPartList;
    if (!p) return;
    p->Run().autoTransport = [&machine] { return smt::stations::ConveyorStation::Of(machine).Fitted(); };
    smt::run::WireRunEngine(machine, *p);
    smt::run::WireStrategyPage(machine, *p, &view, appDir, [frame] { return frame->m_strLanguage; });
  });

  auto& run = smt::run::Services(machine);
  run.moveBetweenSetPoints = [&view] { return view.MoveBetweenSetPoints(); };
  run.autoTransport = [&machine] { return smt::stations::ConveyorStation::Of(machine).Fitted(); };
  run.runZones = [&machine](int code) { return smt::stations::ConveyorStation::Of(machine).RunZones(code, false); };
  run.startHome = [&machine] { smt::link::MachineHoming::Of(machine).StartHomeThread(0, 0); };
  run.speedLevel = [&machine] { return smt::settings::SettingsStores::Of(machine).speed.Get()->settings.m_SpeedMenuCheck; };
  run.lightValue = [&view] { return view.m_pSetView ? view.m_pSetView->m_Light_Brightness : 0; };

}

}  // namespace

void InstallSubsystems(CSMTView& view) {
  InstallSettingsFlow(view);
  InstallFeeders(view);
  InstallStations(view);
  InstallRunEngine(view);
  InstallStationRuns(view);
  InstallRunSteps(view);
  InstallLibraries(view);
  InstallJob(view);
  InstallCameras(view);
  InstallSettings(view);
  InstallLink(view);
  InstallOperatorConnections(view);
  smt::app::InstallJogToolbarWiring(view);
  smt::app::ConnectShell(view);
  smt::app::InstallVisionRun(view);
  smt::app::InstallPageWiring(view);
  smt::app::ConnectWindowPanelPorts(view);
  smt::app::DeclareShellHooks(view);
}
