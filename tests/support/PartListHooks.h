#pragma once
// Unit tests of the part list without the shell: its hooks filled by hand
// with quiet stand-ins (the shell connects the real ones). A test overrides
// the ones it watches after calling these.
#include <memory>
#include <string>
#include <utility>

#include "job/CDialogPCBEdit.h"
#include "job/CDialogPartList.h"
#include "job/PartListLogic.h"
#include "job/PartListTexts.h"
#include "job/RunControl.h"
#include "link/LinkRuntime.h"
#include "settings/SettingsStores.h"

namespace smt::testing {

inline void FillPartListHooks(smt::job::PartListLogic& l) {
  using namespace smt::job;
  l.text = [](const std::string& key) { return PartListBuiltinText(key); };
  l.showRow = [](RowKind, int) {};
  l.autoChangeNozzle = [] { return 0; };
  l.glueHeight = [] { return smt::settings::SettingsStores::Instance().machine.Basic()->m_Z_DropsGlueToPCBHeight; };
  l.editSmt = [](SmtEditFields&) { return false; };
  l.editDis = [](DisEditFields&) { return false; };
  l.editDrill = [](DrillEditFields&) { return false; };
  l.cameraTrackModify = [] { return false; };
  l.cameraTestForModify = [] {};
  l.calcFeederPickTarget = [](const std::string&, int, int) { return 0; };
}

// The toolbar's hooks; runMode reads the job's run mode.
inline void FillRunControlHooks(smt::job::RunControl& r, smt::job::PartListLogic& l) {
  using namespace smt::job;
  r.runMode = [&l] { return l.job.runSelect; };
  r.boardCount = [n = std::make_shared<int>(0)]() -> int& { return *n; };
  r.enableButton = [](int, bool) {};
  r.jogInfo = [](int, const std::string&) {};
  r.focusList = [](RowKind) {};
  r.runTimer = [](bool) {};
  r.showClock = [](const std::string&) {};
  r.showCount = [](const std::string&) {};
  r.autoTransport = [] { return false; };
  r.enableWindows = [] {};
  r.exhaustMs = [] { return smt::settings::SettingsStores::Instance().machine.Basic()->m_Exhaust; };
  r.networkLink = [] { return !smt::link::Runtime().UsesSerial(); };
}

// The PCB editor's camera-panel and dialog hooks: a 480-line live image,
// platform 1, nothing else answers.
inline void FillPcbEditorHooks(CDialogPCBEdit& e) {
  e.LiveImageHeight = [] { return 480; };
  e.ConvertPointToSteps = [](double, double, double, double) {};
  e.SetMarkCameraParams = [](double, int, int) {};
  e.OpenMarkCamera = [] {};
  e.openImportDialog = [] {};
  e.openDoubleMarkTest = [] {};
  e.setCameraZoom = [](double) {};
  e.setCameraBox = [](double) {};
  e.setCameraContrast = [](int) {};
  e.setCameraBrightness = [](int) {};
  e.cameraLight = [] { return std::pair<int, int>{0, 0}; };
  e.platformSelect = [] { return 1; };
}

// A part list panel built without the shell: the hooks the shell connects.
inline void FillPanelHooks(CDialogPartList& panel) {
  panel.Logic().autoChangeNozzle = [] { return 0; };
  panel.Logic().glueHeight = [] { return smt::settings::SettingsStores::Instance().machine.Basic()->m_Z_DropsGlueToPCBHeight; };
  panel.Logic().calcFeederPickTarget = [](const std::string&, int, int) { return 0; };
  smt::job::RunControl& r = panel.Run();
  smt::job::PartListLogic& l = panel.Logic();
  r.runMode = [&l] { return l.job.runSelect; };
  r.autoTransport = [] { return false; };
  r.exhaustMs = [] { return smt::settings::SettingsStores::Instance().machine.Basic()->m_Exhaust; };
  r.networkLink = [] { return !smt::link::Runtime().UsesSerial(); };
  FillPcbEditorHooks(panel.PcbEditor());
}

}  // namespace smt::testing
