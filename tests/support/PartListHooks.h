#pragma once
// Unit tests of the part list without the shell: its hooks filled by hand
// with quiet stand-ins (the shell connects the real ones). A test overrides
// the ones it watches after calling these.
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "job/CDialogPCBEdit.h"
#include "job/CDialogPartList.h"
#include "job/MarkCameraPanel.h"
#include "job/PartListData.h"
#include "job/PartListLogic.h"
#include "job/PartListTexts.h"
#include "job/RunControl.h"
#include "link/LinkRuntime.h"
#include "settings/SettingsStores.h"

namespace smt::testing {

// A list view whose editors answer Cancel; a test that watches the editors
// or the camera sets the callbacks.
class QuietPartListView : public smt::job::PartListView {
 public:
  std::function<bool(smt::job::SmtEditFields&)> editSmt;
  std::function<bool(smt::job::DisEditFields&)> editDis;
  std::function<bool(smt::job::DrillEditFields&)> editDrill;
  std::function<void()> cameraTestForModify;
  void ShowRow(smt::job::RowKind, int) override {}
  bool EditSmt(smt::job::SmtEditFields& f) override { return editSmt && editSmt(f); }
  bool EditDis(smt::job::DisEditFields& f) override { return editDis && editDis(f); }
  bool EditDrill(smt::job::DrillEditFields& f) override { return editDrill && editDrill(f); }
  void CameraTestForModify() override {
    if (cameraTestForModify) cameraTestForModify();
  }
};

inline void FillPartListHooks(smt::job::PartListLogic& l) {
  using namespace smt::job;
  l.view.Connect(std::make_shared<QuietPartListView>());
  l.autoChangeNozzle = [] { return 0; };
  l.calcFeederPickTarget = [](const std::string&, int, int) { return 0; };
}

// A run control view that shows nothing; a test that watches the buttons or
// the information boxes sets the callbacks.
class QuietRunControlView : public smt::job::RunControlView {
 public:
  std::function<void(int button, bool enabled)> onButton;
  std::function<void(int box, const std::string& text)> onJogInfo;
  void EnableButton(int button, bool enabled) override {
    if (onButton) onButton(button, enabled);
  }
  void JogInfo(int box, const std::string& text) override {
    if (onJogInfo) onJogInfo(box, text);
  }
  void FocusList(smt::job::RowKind) override {}
  void RunTimer(bool) override {}
  void ShowClock(const std::string&) override {}
  void ShowCount(const std::string&) override {}
  void EnableWindows() override {}
};

// The toolbar's hooks; runMode reads the job's run mode.
inline void FillRunControlHooks(smt::job::RunControl& r, smt::job::PartListLogic& l) {
  using namespace smt::job;
  r.runMode = [&l] { return l.job.runSelect; };
  r.boardCount = [n = std::make_shared<int>(0)]() -> int& { return *n; };
  r.view.Connect(std::make_shared<QuietRunControlView>());
  r.autoTransport = [] { return false; };
  r.networkLink = [] { return !smt::link::RuntimeOf(smt::CurrentMachine()).UsesSerial(); };
}

// The camera panel of the PCB editor and the coordinate tests: a 480-line
// live image; it counts the Mark camera's openings and records the last box
// shown, and a test may set the light it reports.
class RecordingMarkCameraPanel : public smt::job::MarkCameraPanel {
 public:
  int opened = 0, feederLight = 0, imageHeight = 480;
  double lastBox = 0;
  std::pair<int, int> light{0, 0};
  void OpenMarkCamera() override { ++opened; }
  void FeederLightOnce() override { ++feederLight; }
  int LiveImageHeight() override { return imageHeight; }
  void ShowMarkValues(double box, int contrast, int brightness) override {
    lastBox = box;
    light = {contrast, brightness};
  }
  void ShowZoom(double) override {}
  void ShowBox(double box) override { lastBox = box; }
  void ShowContrast(int contrast) override { light.first = contrast; }
  void ShowBrightness(int brightness) override { light.second = brightness; }
  std::pair<int, int> Light() override { return light; }
};

// The PCB editor's dialog hooks; nothing answers.
inline void FillPcbEditorHooks(CDialogPCBEdit& e) {
  e.openImportDialog = [] {};
  e.openDoubleMarkTest = [] {};
}

// A part list panel built without the shell: the hooks the shell connects.
inline void FillPanelHooks(CDialogPartList& panel) {
  panel.Logic().autoChangeNozzle = [] { return 0; };
  panel.Logic().calcFeederPickTarget = [](const std::string&, int, int) { return 0; };
  smt::job::RunControl& r = panel.Run();
  smt::job::PartListLogic& l = panel.Logic();
  r.runMode = [&l] { return l.job.runSelect; };
  r.autoTransport = [] { return false; };
  r.networkLink = [] { return !smt::link::RuntimeOf(smt::CurrentMachine()).UsesSerial(); };
  FillPcbEditorHooks(panel.PcbEditor());
  smt::job::PartListOf(smt::CurrentMachine()).camera.Connect(std::make_shared<RecordingMarkCameraPanel>());
}

// The camera panel FillPanelHooks connected.
inline RecordingMarkCameraPanel& PanelCamera() {
  return static_cast<RecordingMarkCameraPanel&>(*smt::job::PartListOf(smt::CurrentMachine()).camera.Get());
}

}  // namespace smt::testing
