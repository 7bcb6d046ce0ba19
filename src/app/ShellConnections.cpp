#include "app/ShellConnections.h"

#include <QAbstractItemModel>
#include <QTableView>
#include <QTableWidget>
#include <mutex>

#include "app/MainFrame.h"
#include "app/SMTView.h"
#include "core/MachineState.h"
#include "feeder/AutoFeeders.h"
#include "feeder/CDialogFeedList.h"
#include "feeder/FeederServices.h"
#include "feeder/FeederTable.h"
#include "job/CDialogPCBEdit.h"
#include "job/CDialogPartList.h"
#include "job/PcbRecord.h"
#include "job/BoardGeometry.h"
#include "job/CSMTDoc.h"
#include "job/CoordinateTests.h"
#include "library/NozzleChange.h"
#include "library/NozzleSeats.h"
#include "link/CDialogManualControl.h"
#include "link/LinkRoutes.h"
#include "link/LinkRuntime.h"
#include "link/ManualMarkOffsets.h"
#include "link/MachineHoming.h"
#include "platform/GuiDispatcher.h"
#include "run/MachineSteps.h"
#include "run/RunServices.h"
#include "run/StrategySettings.h"
#include "settings/SettingsStores.h"
#include "stations/ConveyorStation.h"
#include "stations/CoverTapeSettings.h"
#include "stations/DippingStation.h"
#include "vision/CDialogCameraList.h"
#include "vision/CDialogSetView.h"
#include "vision/CameraEngine.h"
#include "vision/IndustrialCamera.h"
#include "vision/VisionGlobals.h"

// Connections between panels and subsystems that the subsystems' own
// installers leave to the shell: the jog panel and the part list's toolbar,
// the front-panel keys and the run buttons, the camera panel and the PCB
// editor, the feeder services of the nozzle library, strategy and part
// list, and the run's part list, cover-tape and dipping services.

namespace smt::app {

namespace {

// The camera panel's values with one of them changed.
void ShowCameraValues(CDialogSetView* panel, double zoom, double box, int contrast, int brightness) {
  if (!panel) return;
  panel->ShowVisualParameters(contrast, brightness, -1, zoom, box);
}

void ConnectRunServices(CSMTView& view) {
  CMainFrame* frame = view.frame();
  // The two vision cameras are the first two records of the camera table.
  smt::run::Services().cameraNames = [frame] {
    std::pair<std::string, std::string> names{"", ""};
    const auto& rows = frame->m_lists.cameraRows;
    if (!rows.empty()) names.first = rows[0].substr(0, rows[0].find('\t'));
    if (rows.size() > 1) names.second = rows[1].substr(0, rows[1].find('\t'));
    return names;
  };
}

}  // namespace

void ConnectShell(CSMTView& view) {
  ConnectRunServices(view);
  view.initialUpdateSteps.push_back([&view](const std::string&) { ConnectPanels(view); });
}

void ConnectPanels(CSMTView& view) {
  CDialogPartList* p = view.m_pPartList;
  CDialogManualControl* jog = view.m_pManualControl;
  CDialogSetView* camera = view.m_pSetView;
  if (!p) return;
  auto& run = p->Run();
  // Pcb Clamp: the conveyor's clamp task, or release when a board is clamped.
  run.boardClamped = [] { return smt::stations::ConveyorStation::Instance().Clamped(); };
  run.startTransport = [](int task) { smt::stations::ConveyorStation::Instance().StartTransport(task); };
  run.exhaustMs = [] { return smt::settings::SettingsStores::Instance().machine.Basic()->m_Exhaust; };
  run.networkLink = [] { return smt::settings::SettingsStores::Instance().machine.Basic()->m_CommModel != 0; };
  // The drill run's end lifts with the drill editor's lift speeds.
  run.drillLiftSpeeds = [p] {
    const auto& d = p->Logic().drillEdit;
    return std::make_pair(d.liftStart, d.liftRun);
  };
  // The busy texts go into the information boxes whatever the information
  // switch says; an empty text empties the box.
  run.jogInfo = [jog](int box, const std::string& text) {
    if (jog) jog->SetInfoBoxText(box, text);
  };

  auto& logic = p->Logic();
  logic.glueHeight = [] { return smt::settings::SettingsStores::Instance().machine.Basic()->m_Z_DropsGlueToPCBHeight; };
  p->CoordTests().autoChangeNozzle = [] { return smt::run::Strategy().m_AutoChangeNozzle; };

  // The PCB editor and the camera panel.
  CDialogPCBEdit& pcb = p->PcbEditor();
  pcb.platformSelect = [] { return smt::link::Runtime().headGroup.load(); };
  pcb.LiveImageHeight = [camera] { return camera ? camera->m_nImageHeight : 480; };
  pcb.OpenMarkCamera = [&view] {
    if (view.switchLiveCamera) view.switchLiveCamera(GoToCamera::Mark);
  };
  pcb.SetMarkCameraParams = [camera](double box, int contrast, int brightness) {
    if (camera) ShowCameraValues(camera, camera->m_dPixelPerMm, box, contrast, brightness);
  };
  pcb.setCameraZoom = [camera](double zoom) {
    if (camera) ShowCameraValues(camera, zoom, camera->m_VisualSize, camera->m_Light_Contrast, camera->m_Light_Brightness);
  };
  pcb.setCameraBox = [camera](double box) {
    if (camera) ShowCameraValues(camera, camera->m_dPixelPerMm, box, camera->m_Light_Contrast, camera->m_Light_Brightness);
  };
  pcb.setCameraContrast = [camera](int contrast) {
    if (camera) ShowCameraValues(camera, camera->m_dPixelPerMm, camera->m_VisualSize, contrast, camera->m_Light_Brightness);
  };
  pcb.setCameraBrightness = [camera](int brightness) {
    if (camera) ShowCameraValues(camera, camera->m_dPixelPerMm, camera->m_VisualSize, camera->m_Light_Contrast, brightness);
  };
  pcb.cameraLight = [camera] {
    return camera ? std::make_pair(camera->m_Light_Contrast, camera->m_Light_Brightness) : std::make_pair(0, 0);
  };
  // The editor's manual Mark setting reaches the board correction.
  pcb.ConvertPointToSteps = [](double d1x, double d1y, double d2x, double d2y) {
    smt::job::ConvertPointToSteps(d1x, d1y, d2x, d2y);
  };

  // Saving the job also saves the camera list and the automatic feeders.
  if (CSMTDoc* doc = view.document()) {
    doc->SaveCameraAndAutoFeed = [&view] {
      const std::string& appDir = view.frame()->m_strAppPath;
      if (view.m_pCameraList) view.m_pCameraList->SaveConfig(appDir);
      smt::feeder::AutoFeeders::Instance().SaveConfig(appDir);
    };
  }
}

}  // namespace smt::app
