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
  // Front-panel pause and resume keys switch the toolbar as the buttons do.
  smt::link::InstallRunPausedShown([p](bool paused) {
    smt::platform::PostToGui([p, paused] {
      p->Run().enableButton(smt::job::kBtnPause, !paused);
      p->Run().enableButton(smt::job::kBtnRegain, paused);
    });
  });
  // After a full home the camera panel shows the shown board's Mark values.
  smt::link::InstallShowBoardCameraValues([p, camera] {
    smt::platform::PostToGui([p, camera] {
      const smt::job::PcbRecord* rec = p->Job().ShownRecord();
      if (rec && rec->m_dVisualZoom > 0) {
        ShowCameraValues(camera, rec->m_dVisualZoom, rec->m_dVisualBox, rec->m_nLightContrast, rec->m_nLightBrightness);
        return;
      }
      const auto& f = p->PcbEditor().Fields();  // no board shown: the editor's stored settings
      ShowCameraValues(camera, f.m_VisualZoom, f.m_VisualBox, f.m_LightContrast, f.m_LightBrightness);
    });
  });

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

  if (camera) {
    // The package cell of the feeder list's selected row.
    camera->hooks.selectedFeederPackage = [&view]() -> std::string {
      CDialogFeedList* feeders = view.m_pFeedList;
      if (!feeders || !feeders->List()) return {};
      const int row = feeders->m_nSelectedRow;
      if (row < 0 || row >= feeders->List()->rowCount()) return {};
      return feeders->ListRow(row).text[smt::feeder::kCellPackage];
    };
  }

  if (camera) {
    // The vision steps invert the visual cameras' picture as the camera list says.
    camera->hooks.visualColourReversal = [&view] {
      return view.m_pCameraList && view.m_pCameraList->m_Settings.m_VisualImageColorReversal != 0;
    };
    // Folding and unfolding: the camera panel takes the new height and the
    // jog panel below it the rest of the column.
    camera->hooks.heightChanged = [camera](int height) { camera->setFixedHeight(height); };
  }

  // Saving the job also saves the camera list and the automatic feeders.
  if (CSMTDoc* doc = view.document()) {
    doc->SaveCameraAndAutoFeed = [&view] {
      const std::string& appDir = view.frame()->m_strAppPath;
      if (view.m_pCameraList) view.m_pCameraList->SaveConfig(appDir);
      smt::feeder::AutoFeeders::Instance().SaveConfig(appDir);
    };
  }

  // "联机后打开相机": after a connect on either link the camera panel opens
  // the capture camera (camera kind 0), or the industrial cameras when one of
  // them is not playing yet (kind 1).
  if (jog) {
    jog->openCamerasAfterConnect = [camera] {
      if (!camera) return;
      smt::platform::PostToGui([camera] {
        const int kind = smt::CurrentMachine().camera.highSpeedCamera.load();
        if (kind == 0) {
          camera->OpenOrCloseCamera(false);
        } else if (kind == 1) {
          auto& e = camera->Engine();
          if (!e.HasRole(smt::vision::kRoleMarkCamera) || !e.HasRole(smt::vision::kRoleVisualCamera1) ||
              !e.HasRole(smt::vision::kRoleVisualCamera2))
            camera->OpenOrCloseCamera(true);
        }
      });
    };
  }

  // Manual Mark offsets from the jog panel.
  smt::link::ManualMarkRoutes& marks = smt::link::ManualMarks();
  marks.currentBoard = [p](smt::link::MarkBoard& b) {
    bool found = false;
    // The shown board's stored values, not the PCB editor's unapplied fields.
    smt::platform::RunOnGui([&] {
      const smt::job::PcbRecord* rec = p->Job().ShownRecord();
      if (!rec) return;
      b.originX = rec->m_dOriginX;
      b.originY = rec->m_dOriginY;
      b.mark1X = rec->m_dMark1X;
      b.mark1Y = rec->m_dMark1Y;
      b.mark2X = rec->m_dMark2X;
      b.mark2Y = rec->m_dMark2Y;
      found = true;
    });
    return found;
  };
  // The part list keeps the offsets as its measured marks: the run takes
  // them once instead of recognising the marks.
  marks.offsets = [p] {
    const auto& m = p->CoordTests().marks;
    smt::link::MarkOffsetValues v;
    v.m_dMark1OffsetX = m.m_dMark1DevX;
    v.m_dMark1OffsetY = m.m_dMark1DevY;
    v.m_dMark2OffsetX = m.m_dMark2DevX;
    v.m_dMark2OffsetY = m.m_dMark2DevY;
    v.m_bManualMarkOffset = m.m_bMarkMeasured;
    return v;
  };
  marks.storeOffsets = [p](const smt::link::MarkOffsetValues& v) {
    auto& m = p->CoordTests().marks;
    m.m_dMark1DevX = v.m_dMark1OffsetX;
    m.m_dMark1DevY = v.m_dMark1OffsetY;
    m.m_dMark2DevX = v.m_dMark2OffsetX;
    m.m_dMark2DevY = v.m_dMark2OffsetY;
    m.m_bMarkMeasured = v.m_bManualMarkOffset;
  };
  marks.convertPointToSteps = [](double a, double b, double c, double d) { smt::job::ConvertPointToSteps(a, b, c, d); };
  marks.partRowCount = [p] { return static_cast<int>(p->Job().placementRows.size()); };
  marks.emptyListText = p->Text("PartList.c_Message_01");
  marks.smtThreadBusy = [p] { return p->Run().m_bSmtThreadBusy != 0; };
  marks.feedThreadBusy = [p] { return p->Run().m_bFeedThreadBusy != 0; };
  marks.conveyorThreadBusy = [p] { return p->Run().m_bConveyorThreadBusy != 0; };
  marks.openMarkCamera = [&view] {
    if (view.switchLiveCamera) view.switchLiveCamera(GoToCamera::Mark);
  };
  // The alignment's board base: origin and Mark 1 in steps.
  marks.setAlignmentBase = [](const smt::link::MarkBoard& b) {
    const auto pulse = smt::settings::SettingsStores::Instance().machine.Pulse();
    auto& frame = smt::run::Frame();
    frame.originX = static_cast<int32_t>(b.originX * pulse->m_X_Pulse);
    frame.originY = static_cast<int32_t>(b.originY * pulse->m_Y_Pulse);
    frame.mark1X = static_cast<int32_t>((b.mark1X + b.originX) * pulse->m_X_Pulse);
    frame.mark1Y = static_cast<int32_t>((b.mark1Y + b.originY) * pulse->m_Y_Pulse);
  };
  // alignBoardMarks: the vision wiring's alignment outside a run.
}

}  // namespace smt::app
