#include "app/WindowPanelPorts.h"

#include <QComboBox>
#include <cstdlib>
#include <memory>

#include "app/GoToPlanner.h"
#include "app/MainFrame.h"
#include "app/SMTView.h"
#include "feeder/FeederServices.h"
#include "job/CDialogPartEditSmt.h"
#include "job/CDialogPartList.h"
#include "job/DropDownLists.h"
#include "library/PackLibrary.h"
#include "link/WindowPanels.h"
#include "platform/GuiDispatcher.h"
#include "run/FeederPickTest.h"
#include "settings/CDialogSetBasic.h"
#include "stations/DippingStation.h"
#include "vision/CDialogCameraList.h"
#include "vision/CDialogSetView.h"

namespace smt::app {

namespace {

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
    const int type = std::atoi(feature.substr(0, 2).c_str());
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
    smt::run::PickFromFeederTest(head, camera, feederNumber);
  }
  std::optional<smt::feeder::DippingStationPosition> DippingStation() override {
    const auto d = smt::stations::DippingStation::Instance().Settings();
    return smt::feeder::DippingStationPosition{d.m_DippingStation_X, d.m_DippingStation_Y, d.m_DippingStation_Z,
                                              d.m_WaterFilmThickness};
  }
  void DippingZMeasured(double z) override { smt::stations::DippingStation::Instance().OnMeasuredZ(z); }
  // The AutoZ measurement's height, from the feeder test worker, into the
  // open basic settings dialog (so its OK keeps it).
  void ShowMeasurementHeight(double mm) override {
    smt::platform::PostToGui([mm] {
      using smt::settings::CDialogSetBasic;
      if (CDialogSetBasic* open = CDialogSetBasic::OpenDialog()) open->ShowMeasurement(mm);
    });
  }
  void ShowFeederList() override { view_.OnShowFeedList(); }
  std::vector<std::string> PackRows() override { return view_.frame()->m_lists.packRows; }
  // The package library itself takes the rows, so its dialog shows them
  // and its OK keeps them.
  void SetPackRows(std::vector<std::string> rows) override {
    smt::library::ThePackLibrary().LoadTable(rows);
    view_.frame()->m_lists.packRows = std::move(rows);
  }
  std::vector<std::string> DropDownLists() override { return g_DropDownLists; }
  // Names of the cameras of the camera list (cell 0 of each row).
  std::vector<std::string> CameraNames() override {
    std::vector<std::string> names;
    for (const std::string& row : view_.frame()->m_lists.cameraRows) names.push_back(row.substr(0, row.find('\t')));
    return names;
  }

 private:
  CSMTView& view_;
};

}  // namespace

void ConnectWindowPanelPorts(CSMTView& view) {
  smt::link::CameraPanelPort().Own(std::make_shared<ShellCameraPanel>(view));
  smt::feeder::FeederPartListPort().Own(std::make_shared<ShellFeederPartList>(view));
  smt::feeder::FeederNeighboursPort().Own(std::make_shared<ShellFeederNeighbours>(view));
}

}  // namespace smt::app
