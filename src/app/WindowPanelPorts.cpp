#include "app/WindowPanelPorts.h"

#include <QComboBox>
#include <QTableWidget>
#include <memory>

#include "app/GoToPlanner.h"
#include "app/MainFrame.h"
#include "app/OperatorConnections.h"
#include "app/SMTView.h"
#include "feeder/CDialogFeedList.h"
#include "feeder/FeederServices.h"
#include "job/CDialogPCBEdit.h"
#include "job/CDialogPartEditSmt.h"
#include "job/CDialogPartList.h"
#include "job/BoardGeometry.h"
#include "job/CoordinateTests.h"
#include "job/DropDownLists.h"
#include "job/JobRows.h"
#include "job/PcbRecord.h"
#include "library/PackLibrary.h"
#include "link/MachineHoming.h"
#include "link/ManualMarkOffsets.h"
#include "link/WindowPanels.h"
#include "platform/GuiDispatcher.h"
#include "run/FeederPickTest.h"
#include "run/BoardFrame.h"
#include "settings/SettingsStores.h"
#include "settings/CDialogSetBasic.h"
#include "stations/CDialogAutoTransport.h"
#include "stations/ConveyorStation.h"
#include "stations/DippingStation.h"
#include "vision/CDialogCameraList.h"
#include "vision/CDialogSetView.h"
#include "vision/CameraEngine.h"
#include "vision/IndustrialCamera.h"
#include "vision/RecognitionTypes.h"
#include "vision/CameraTable.h"

namespace smt::app {

namespace {

// Feeder list column of the vision camera's name, and the panel's
// "no vision" icon.
constexpr int kFeederCameraColumn = 12;
constexpr int kNoVisionIcon = 4;

// What the Mark camera shows: the values of the board the part list shows,
// or, while the view looks at the vision origin, the origin's box, lights
// and image reversal (with the board's zoom).
BoardMarkView MarkCameraView(CSMTView& view) {
  BoardMarkView b;
  if (view.m_pPartList) {
    const auto& job = view.m_pPartList->Job();
    if (const auto* rec = job.pcbs.Find(job.shownPcbName)) {
      if (rec->m_dVisualZoom > 0) b.visualZoom = rec->m_dVisualZoom;
      if (rec->m_dVisualBox > 0) b.visualBox = rec->m_dVisualBox;
      b.contrast = rec->m_nLightContrast;
      b.brightness = rec->m_nLightBrightness;
      b.invert = rec->m_bImageColorReversal;
    }
  }
  if (view.m_bOriginView.load()) {
    const auto basic = smt::settings::SettingsStores::Of(view.machine()).machine.Basic();
    b.visualBox = basic->m_VisualOriginBox;
    b.contrast = basic->m_OriginLightContrast;
    b.brightness = basic->m_OriginLightBrightness;
    b.invert = basic->m_OriginImageColorReversal != 0;
    b.usePanelLight = false;
    b.secondMarkActive = false;
  }
  return b;
}

// What the camera panel reads of its neighbours.
class ShellCameraPanelNeighbours : public CDialogSetView::Neighbours {
 public:
  explicit ShellCameraPanelNeighbours(CSMTView& view) : view_(view) {}

  smt::vision::CameraRecord CameraRecordOf(int camera) override {
    CDialogCameraList* list = view_.m_pCameraList.get();
    if (!list) return {};
    return camera == 1 ? list->m_Camera_first : list->m_Camera_second;
  }
  BoardMarkView BoardMark() override { return MarkCameraView(view_); }
  // The package cell of the feeder list's selected row.
  std::string SelectedFeederPackage() override {
    CDialogFeedList* feeders = view_.m_pFeedList;
    if (!feeders || !feeders->List()) return {};
    const int row = feeders->m_nSelectedRow;
    if (row < 0 || row >= feeders->List()->rowCount()) return {};
    return feeders->ListRow(row).text[smt::feeder::kCellPackage];
  }
  bool LensCorrection() override {
    return smt::settings::SettingsStores::Of(view_.machine()).machine.Basic()->m_Calibrator2 != 0;
  }
  // The vision steps invert the visual cameras' picture as the camera list says.
  bool VisualColourReversal() override {
    return view_.m_pCameraList && view_.m_pCameraList->m_Settings.m_VisualImageColorReversal != 0;
  }
  // While the homing hands over to the vision-origin move.
  bool HomingWaiver() override { return smt::link::MachineHoming::Of(view_.machine()).m_bResetToOriginPending.load(); }
  // Folding and unfolding: the camera panel takes the new height and the
  // jog panel below it the rest of the column.
  void HeightChanged(int height) override {
    if (CDialogSetView* camera = view_.m_pSetView) camera->setFixedHeight(height);
  }

 private:
  CSMTView& view_;
};

// What the camera list reaches of the frame, the feeder list, the part list
// and the head layout.
class ShellCameraListNeighbours : public CDialogCameraList::Neighbours {
 public:
  explicit ShellCameraListNeighbours(CSMTView& view) : view_(view) {}

  void RowsCommitted(const std::vector<smt::vision::CameraRow>& rows) override {
    view_.frame()->Lists().cameraRows = rows;
  }
  std::vector<std::string> FeederCameraColumn() override {
    std::vector<std::string> column;
    CDialogFeedList* feeders = view_.m_pFeedList;
    if (!feeders) return column;
    for (int r = 0; r < feeders->RowCount(); ++r) column.push_back(feeders->ListRow(r).text[kFeederCameraColumn]);
    return column;
  }
  // Only the list item's icon changes; the feeder panel decides what it
  // means for its stored row.
  void MarkFeedersWithoutVision(const std::vector<int>& rows) override {
    CDialogFeedList* feeders = view_.m_pFeedList;
    if (!feeders) return;
    for (int r : rows) {
      if (r < 0 || r >= feeders->RowCount()) continue;
      smt::feeder::FeederListRow lr = feeders->ListRow(r);
      lr.icon[kFeederCameraColumn] = kNoVisionIcon;
      feeders->SetListRow(r, lr);
    }
  }
  // The calibration tasks measure the standard piece with the shown board's
  // Mark values.
  BoardMarkView BoardMark() override { return ShownBoardMark(view_); }
  void LayoutHeads() override { smt::job::SetupHeadLayout(view_.machine()); }

 private:
  CSMTView& view_;
};

// The camera panel (window thread) as the jog pendants, the station pages
// and the feeders use it: workers' calls are posted and never wait.
class ShellCameraPanel : public smt::link::CameraPanel {
 public:
  explicit ShellCameraPanel(CSMTView& view) : view_(view) {}

  void OpenMarkCamera() override {
    CSMTView* v = &view_;
    smt::platform::PostToGui([v] {
      if (v->switchLiveCamera) v->switchLiveCamera(GoToCamera::Mark);
    });
  }
  void OpenMarkCameraWithFeederLight() override {
    CSMTView* v = &view_;
    smt::platform::PostToGui([v] {
      if (v->m_pSetView) v->m_pSetView->m_bFeederLight = true;
      if (v->switchLiveCamera) v->switchLiveCamera(GoToCamera::Mark);
    });
  }
  void ShowVisualParameters(int contrast, int brightness, int feature, double viewSize, double viewBox) override {
    CSMTView* v = &view_;
    smt::platform::PostToGui([v, contrast, brightness, feature, viewSize, viewBox] {
      if (v->m_pSetView) v->m_pSetView->ShowVisualParameters(contrast, brightness, feature, viewSize, viewBox);
    });
  }
  void SetImageFeature(const std::string& feature) override {
    CDialogSetView* camera = view_.m_pSetView;
    if (!camera) return;
    // "NN:name": a cell that names no recognition type leaves the panel's
    // type as it is (-1).
    const int type = smt::vision::RecognitionTypeFromName(feature);
    camera->ShowVisualParameters(camera->m_Light_Contrast, camera->m_Light_Brightness, type, camera->m_dPixelPerMm,
                                 camera->m_VisualSize);
  }
  void TemplateCommand(int mode, const std::string& name) override {
    CDialogSetView* camera = view_.m_pSetView;
    if (!camera) return;
    camera->m_strTemplateName = name;
    camera->TemplateCommand(mode == 3 ? smt::vision::kJobGetTemplate : smt::vision::kJobFindTemplate, name);
  }
  std::pair<int, int> ContrastBrightness() override {
    CDialogSetView* camera = view_.m_pSetView;
    return camera ? std::make_pair(camera->m_Light_Contrast, camera->m_Light_Brightness) : std::make_pair(0, 0);
  }
  // The shown board's Mark values; with no board shown, the PCB editor's
  // stored settings.
  void ShowBoardCameraValues() override {
    CSMTView* v = &view_;
    smt::platform::PostToGui([v] {
      CDialogPartList* p = v->m_pPartList;
      CDialogSetView* camera = v->m_pSetView;
      if (!p || !camera) return;
      if (const smt::job::PcbRecord* rec = p->Job().ShownRecord(); rec && rec->m_dVisualZoom > 0) {
        camera->ShowVisualParameters(rec->m_nLightContrast, rec->m_nLightBrightness, -1, rec->m_dVisualZoom,
                                     rec->m_dVisualBox);
        return;
      }
      const auto& f = p->PcbEditor().Fields();
      camera->ShowVisualParameters(f.m_LightContrast, f.m_LightBrightness, -1, f.m_VisualZoom, f.m_VisualBox);
    });
  }
  // "联机后打开相机": the capture camera (camera kind 0), or the industrial
  // cameras when one of them is not playing yet (kind 1).
  void OpenCamerasAfterConnect() override {
    CSMTView* v = &view_;
    smt::platform::PostToGui([v] {
      CDialogSetView* camera = v->m_pSetView;
      if (!camera) return;
      const int kind = v->machine().camera.highSpeedCamera.load();
      if (kind == 0) {
        camera->OpenOrCloseCamera(false);
      } else if (kind == 1) {
        auto& e = camera->Engine();
        if (!e.HasRole(smt::vision::kRoleMarkCamera) || !e.HasRole(smt::vision::kRoleVisualCamera1) ||
            !e.HasRole(smt::vision::kRoleVisualCamera2))
          camera->OpenOrCloseCamera(true);
      }
    });
  }
  // The industrial cameras in high-speed mode only (not on the lamp machine).
  void SwitchCamera(int channel, int triggerMode) override {
    CDialogSetView* camera = view_.m_pSetView;
    if (!camera || view_.machine().camera.highSpeedCamera.load() != 1 ||
        view_.machine().machineType.load() == 4)
      return;
    if (channel >= 1 && channel <= 3) camera->SwitchCamera(channel - 1, triggerMode);
  }
  void ResetCaptureDone() override {
    if (CDialogSetView* camera = view_.m_pSetView) camera->Engine().m_hFlyDoneEvent.Reset();
  }
  bool WaitCaptureDone(std::chrono::milliseconds timeout) override {
    CDialogSetView* camera = view_.m_pSetView;
    return camera && camera->Engine().m_hFlyDoneEvent.Wait(timeout);
  }

 private:
  CSMTView& view_;
};

// The window's steps the link hands over.
class ShellLinkWindow : public smt::link::LinkWindow {
 public:
  explicit ShellLinkWindow(CSMTView& view) : view_(view) {}

  // The machine's start key starts the run as the toolbar's Start does.
  void StartFromFrontPanel() override {
    if (CDialogPartList* p = view_.m_pPartList) p->OnStart();
  }
  // Front-panel pause and resume keys switch the toolbar as the buttons do.
  void ShowRunPaused(bool paused) override {
    CSMTView* v = &view_;
    smt::platform::PostToGui([v, paused] {
      CDialogPartList* p = v->m_pPartList;
      if (!p) return;
      p->Run().view->EnableButton(smt::job::kBtnPause, !paused);
      p->Run().view->EnableButton(smt::job::kBtnRegain, paused);
    });
  }
  // The last step of homing moves the Mark camera to the vision origin.
  void CameraToVisionOrigin() override { view_.OnCameraToVisionOrigin(); }
  // The end of a conveyor reset (homing mode 9, or its width-axis fault):
  // the width is the reset width at once; the open dialog shows it and
  // offers the reset again.
  void ShowConveyorWidth() override {
    smt::stations::ConveyorStation::Of(view_.machine()).OnConveyorWidthReset();
    smt::platform::PostToGui([] {
      if (CDialogAutoTransport* open = CDialogAutoTransport::Open()) open->ShowConveyorWidth();
    });
  }

 private:
  CSMTView& view_;
};

// The part list's rows and its placement row editor.
class ShellFeederPartList : public smt::feeder::FeederPartList {
 public:
  explicit ShellFeederPartList(CSMTView& view) : view_(view) {}

  void UpdateRowsForFeeder(const std::string& oldNumber, const std::string& newNumber, int visionMode,
                           const std::string& value, const std::string& head) override {
    if (view_.m_pPartList)
      view_.m_pPartList->Logic().UpdateRowsForFeeder(oldNumber, newNumber, visionMode != 0, value, head);
  }
  void AssignNewFeeder(const std::string& number, int visionMode, const std::string& value,
                       const std::string& head) override {
    if (view_.m_pPartList) view_.m_pPartList->Logic().AssignNewFeeder(number, visionMode != 0, value, head);
  }
  std::vector<std::string> PlacementFeederNumbers() override {
    std::vector<std::string> numbers;
    if (view_.m_pPartList)
      for (const auto& row : view_.m_pPartList->Job().placementRows) numbers.push_back(row.Cell(smt::job::kSmtFeeder));
    return numbers;
  }
  void ReplacePartEditorFeeder(const std::string& newNumber) override {
    if (!view_.m_pPartList) return;
    CDialogPartEditSmt& editor = view_.m_pPartList->SmtEditor();
    if (!editor.isVisible()) return;
    QComboBox* feeders = editor.Combo(1023);
    const int selected = feeders->currentIndex();
    if (selected >= 0) feeders->removeItem(selected);
    feeders->insertItem(0, QString::fromStdString(newNumber));
    feeders->setCurrentIndex(0);
  }

 private:
  CSMTView& view_;
};

// The camera table, the run engine's pick test, the dipping station, the
// settings dialog, the view and the frame's library lists.
class ShellFeederNeighbours : public smt::feeder::FeederNeighbours {
 public:
  explicit ShellFeederNeighbours(CSMTView& view) : view_(view) {}

  std::optional<smt::feeder::VisionCameraInfo> VisionCamera(int camera) override {
    if (!view_.m_pCameraList || (camera != 1 && camera != 2)) return std::nullopt;
    const smt::vision::CameraRecord& r =
        camera == 1 ? view_.m_pCameraList->m_Camera_first : view_.m_pCameraList->m_Camera_second;
    smt::feeder::VisionCameraInfo info;
    info.x = r.CameraPulse_X;
    info.y = r.CameraPulse_Y;
    info.light = r.Light_Brightness;
    info.viewSize = r.VisualZoom;
    return info;
  }
  void PickFromFeederTest(int head, int camera, const std::string& feederNumber) override {
    smt::run::PickFromFeederTest(view_.machine(), head, camera, feederNumber);
  }
  std::optional<smt::feeder::DippingStationPosition> DippingStation() override {
    const auto d = smt::stations::DippingStation::Of(view_.machine()).Settings();
    return smt::feeder::DippingStationPosition{d.m_DippingStation_X, d.m_DippingStation_Y, d.m_DippingStation_Z,
                                              d.m_WaterFilmThickness};
  }
  void DippingZMeasured(double z) override { smt::stations::DippingStation::Of(view_.machine()).OnMeasuredZ(z); }
  // The AutoZ measurement's height, from the feeder test worker, into the
  // open basic settings dialog (so its OK keeps it).
  void ShowMeasurementHeight(double mm) override {
    smt::platform::PostToGui([mm] {
      using smt::settings::CDialogSetBasic;
      if (CDialogSetBasic* open = CDialogSetBasic::OpenDialog()) open->ShowMeasurement(mm);
    });
  }
  void ShowFeederList() override { view_.OnShowFeedList(); }
  std::vector<std::string> PackRows() override { return view_.frame()->Lists().packRows; }
  // The package library itself takes the rows, so its dialog shows them
  // and its OK keeps them.
  void SetPackRows(std::vector<std::string> rows) override {
    smt::library::ThePackLibrary(view_.machine()).LoadTable(rows);
    view_.frame()->Lists().packRows = std::move(rows);
  }
  std::vector<std::string> DropDownLists() override { return smt::job::DropDownLists(view_.machine()); }
  std::vector<std::string> DropDownAngleChoices() override { return smt::job::DropDownChoices(view_.machine(), smt::job::kDropDownAngles); }
  // Names of the cameras of the camera table.
  std::vector<std::string> CameraNames() override {
    return smt::vision::CameraNamesOf(view_.frame()->Lists().cameraRows);
  }

 private:
  CSMTView& view_;
};

// The manual Mark offsets' owners.
class ShellManualMarks : public smt::link::ManualMarkOwners {
 public:
  ShellManualMarks(CSMTView& view, std::function<void()> align) : view_(view), align_(std::move(align)) {}

  bool CurrentBoard(smt::link::MarkBoard& b) override {
    bool found = false;
    // The shown board's stored values, not the PCB editor's unapplied fields.
    CSMTView* v = &view_;
    smt::platform::RunOnGui([&] {
      CDialogPartList* p = v->m_pPartList;
      const smt::job::PcbRecord* rec = p ? p->Job().ShownRecord() : nullptr;
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
  }
  // The part list keeps the offsets as its measured marks: the run takes
  // them once instead of recognising the marks.
  smt::link::MarkOffsetValues Offsets() override {
    smt::link::MarkOffsetValues v;
    CDialogPartList* p = view_.m_pPartList;
    if (!p) return v;
    const auto& m = p->CoordTests().marks;
    v.m_dMark1OffsetX = m.m_dMark1DevX;
    v.m_dMark1OffsetY = m.m_dMark1DevY;
    v.m_dMark2OffsetX = m.m_dMark2DevX;
    v.m_dMark2OffsetY = m.m_dMark2DevY;
    v.m_bManualMarkOffset = m.m_bMarkMeasured;
    return v;
  }
  void StoreOffsets(const smt::link::MarkOffsetValues& v) override {
    CDialogPartList* p = view_.m_pPartList;
    if (!p) return;
    auto& m = p->CoordTests().marks;
    m.m_dMark1DevX = v.m_dMark1OffsetX;
    m.m_dMark1DevY = v.m_dMark1OffsetY;
    m.m_dMark2DevX = v.m_dMark2OffsetX;
    m.m_dMark2DevY = v.m_dMark2OffsetY;
    m.m_bMarkMeasured = v.m_bManualMarkOffset;
  }
  void ConvertPointToSteps(double a, double b, double c, double d) override { smt::job::ConvertPointToSteps(view_.machine(), a, b, c, d); }
  int PartRowCount() override {
    return view_.m_pPartList ? static_cast<int>(view_.m_pPartList->Job().placementRows.size()) : 0;
  }
  std::string EmptyListText() override {
    return view_.m_pPartList ? view_.m_pPartList->Text("PartList.c_Message_01") : std::string("请先导入贴片文件 !");
  }
  bool SmtThreadBusy() override { return view_.m_pPartList && view_.m_pPartList->Run().m_bSmtThreadBusy != 0; }
  bool FeedThreadBusy() override { return view_.m_pPartList && view_.m_pPartList->Run().m_bFeedThreadBusy != 0; }
  bool ConveyorThreadBusy() override {
    return view_.m_pPartList && view_.m_pPartList->Run().m_bConveyorThreadBusy != 0;
  }
  void OpenMarkCamera() override {
    if (view_.switchLiveCamera) view_.switchLiveCamera(GoToCamera::Mark);
  }
  // The alignment's board base: origin and Mark 1 in steps.
  void SetAlignmentBase(const smt::link::MarkBoard& b) override {
    const auto pulse = smt::settings::SettingsStores::Of(view_.machine()).machine.Pulse();
    auto& frame = smt::run::Frame(view_.machine());
    frame.originX = static_cast<int32_t>(b.originX * pulse->m_X_Pulse);
    frame.originY = static_cast<int32_t>(b.originY * pulse->m_Y_Pulse);
    frame.mark1X = static_cast<int32_t>((b.mark1X + b.originX) * pulse->m_X_Pulse);
    frame.mark1Y = static_cast<int32_t>((b.mark1Y + b.originY) * pulse->m_Y_Pulse);
  }
  void AlignBoardMarks() override { align_(); }

 private:
  CSMTView& view_;
  std::function<void()> align_;
};

}  // namespace

// Connects `impl` to `port` for the life of the view.
template <class I>
void ConnectForView(CSMTView& view, smt::platform::Port<I>& port, std::shared_ptr<I> impl) {
  I* raw = impl.get();
  port.Own(std::move(impl));
  // When the view goes, nothing reaches its implementation any more.
  QObject::connect(&view, &QObject::destroyed, [&port, raw] { port.Disconnect(raw); });
}

void ConnectWindowPanelPorts(CSMTView& view) {
  ConnectForView<smt::link::CameraPanel>(view, smt::link::CameraPanelPortOf(view.machine()), std::make_shared<ShellCameraPanel>(view));
  ConnectForView<smt::link::LinkWindow>(view, smt::link::LinkWindowPortOf(view.machine()), std::make_shared<ShellLinkWindow>(view));
  ConnectForView<smt::feeder::FeederPartList>(view, smt::feeder::FeederPartListPort(view.machine()),
                                              std::make_shared<ShellFeederPartList>(view));
  ConnectForView<smt::feeder::FeederNeighbours>(view, smt::feeder::FeederNeighboursPort(view.machine()),
                                                std::make_shared<ShellFeederNeighbours>(view));
  if (CDialogCameraList* list = view.m_pCameraList.get())
    list->neighbours.Own(std::make_shared<ShellCameraListNeighbours>(view));
  // The camera panel exists from the window's first update on: its
  // neighbours before any other step of that update.
  view.initialUpdateSteps.insert(view.initialUpdateSteps.begin(), [&view](const std::string&) {
    if (view.m_pSetView) view.m_pSetView->neighbours.Own(std::make_shared<ShellCameraPanelNeighbours>(view));
  });
}

void ConnectManualMarks(CSMTView& view, std::function<void()> align) {
  ConnectForView<smt::link::ManualMarkOwners>(view, smt::link::ManualMarkPortOf(view.machine()),
                                              std::make_shared<ShellManualMarks>(view, std::move(align)));
}

}  // namespace smt::app
