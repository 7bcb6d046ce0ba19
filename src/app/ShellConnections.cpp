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
#include "vision/CameraTable.h"

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
  smt::run::Services(view.machine()).cameraNames = [frame] {
    std::pair<std::string, std::string> names{"", ""};
    const auto rows = smt::vision::CameraNamesOf(frame->Lists().cameraRows);
    if (!rows.empty()) names.first = rows[0];
    if (rows.size() > 1) names.second = rows[1];
    return names;
  };
}

}  // namespace

void ConnectShell(CSMTView& view) {
  ConnectRunServices(view);
  view.initialUpdateSteps.push_back([&view](const std::string&) { ConnectPanels(view); });
}

namespace {

// The part list's run control view, with the busy texts in the jog panel's
// information boxes.
class JogBoxesRunView : public smt::job::RunControlView {
 public:
  JogBoxesRunView(std::shared_ptr<smt::job::RunControlView> panel, CDialogManualControl* jog)
      : panel_(std::move(panel)), jog_(jog) {}
  void EnableButton(int button, bool enabled) override { panel_->EnableButton(button, enabled); }
  void JogInfo(int box, const std::string& text) override {
    if (jog_) jog_->SetInfoBoxText(box, text);
  }
  void FocusList(smt::job::RowKind list) override { panel_->FocusList(list); }
  void RunTimer(bool on) override { panel_->RunTimer(on); }
  void ShowClock(const std::string& text) override { panel_->ShowClock(text); }
  void ShowCount(const std::string& text) override { panel_->ShowCount(text); }
  void EnableWindows() override { panel_->EnableWindows(); }

 private:
  std::shared_ptr<smt::job::RunControlView> panel_;
  CDialogManualControl* jog_;
};

// The camera panel as the PCB editor and the coordinate tests use it.
class ShellMarkCameraPanel : public smt::job::MarkCameraPanel {
 public:
  explicit ShellMarkCameraPanel(CSMTView& view) : view_(view) {}
  void OpenMarkCamera() override {
    if (view_.switchLiveCamera) view_.switchLiveCamera(GoToCamera::Mark);
  }
  void FeederLightOnce() override {
    if (view_.m_pSetView) view_.m_pSetView->m_bFeederLight = true;
  }
  int LiveImageHeight() override { return view_.m_pSetView ? view_.m_pSetView->m_nImageHeight : 480; }
  void ShowMarkValues(double box, int contrast, int brightness) override {
    if (CDialogSetView* c = view_.m_pSetView) ShowCameraValues(c, c->m_dPixelPerMm, box, contrast, brightness);
  }
  void ShowZoom(double zoom) override {
    if (CDialogSetView* c = view_.m_pSetView)
      ShowCameraValues(c, zoom, c->m_VisualSize, c->m_Light_Contrast, c->m_Light_Brightness);
  }
  void ShowBox(double box) override {
    if (CDialogSetView* c = view_.m_pSetView)
      ShowCameraValues(c, c->m_dPixelPerMm, box, c->m_Light_Contrast, c->m_Light_Brightness);
  }
  void ShowContrast(int contrast) override {
    if (CDialogSetView* c = view_.m_pSetView)
      ShowCameraValues(c, c->m_dPixelPerMm, c->m_VisualSize, contrast, c->m_Light_Brightness);
  }
  void ShowBrightness(int brightness) override {
    if (CDialogSetView* c = view_.m_pSetView)
      ShowCameraValues(c, c->m_dPixelPerMm, c->m_VisualSize, c->m_Light_Contrast, brightness);
  }
  std::pair<int, int> Light() override {
    const CDialogSetView* c = view_.m_pSetView;
    return c ? std::make_pair(c->m_Light_Contrast, c->m_Light_Brightness) : std::make_pair(0, 0);
  }

 private:
  CSMTView& view_;
};

}  // namespace

void ConnectPanels(CSMTView& view) {
  CDialogPartList* p = view.m_pPartList;
  CDialogManualControl* jog = view.m_pManualControl;
  if (!p) return;
  auto& run = p->Run();
  // Pcb Clamp: the conveyor's clamp task, or release when a board is clamped.
  smt::Machine& machine = view.machine();
  run.boardClamped = [&machine] { return smt::stations::ConveyorStation::Of(machine).Clamped(); };
  run.startTransport = [&machine](int task) { smt::stations::ConveyorStation::Of(machine).StartTransport(task); };
  run.networkLink = [&machine] { return smt::settings::SettingsStores::Of(machine).machine.Basic()->m_CommModel != 0; };
  // The busy texts go into the information boxes whatever the information
  // switch says; an empty text empties the box.
  run.view.Connect(std::make_shared<JogBoxesRunView>(run.view.Get(), jog));

  p->CoordTests().autoChangeNozzle = [&machine] { return smt::run::Strategy(machine).m_AutoChangeNozzle; };

  // The PCB editor and the coordinate tests show through the camera panel.
  smt::job::PartListOf(smt::CurrentMachine()).camera.Connect(std::make_shared<ShellMarkCameraPanel>(view));

  // Saving the job also saves the camera list and the automatic feeders.
  if (CSMTDoc* doc = view.document()) {
    doc->SaveCameraAndAutoFeed = [&view, &machine] {
      const std::string& appDir = view.frame()->m_strAppPath;
      if (view.m_pCameraList) view.m_pCameraList->SaveConfig(appDir);
      smt::feeder::AutoFeeders::Of(machine).SaveConfig(appDir);
    };
  }
}

}  // namespace smt::app
