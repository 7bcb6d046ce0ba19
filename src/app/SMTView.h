#pragma once
// The main view: hosts the four panels (camera panel top left, jog panel
// below it, feeder list or part list on the right), owns the data of the
// settings dialogs for the life of the window, runs the one-time loading at
// start-up and the settings menu commands.
#include <QWidget>
#include <array>
#include <filesystem>
#include <optional>
#include <functional>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/GoToPlanner.h"
#include "link/FirmwareSwitches.h"
#include "settings/PulseSettings.h"
#include "core/ViewMessages.h"

// The job file for a name typed in Save As: ".smt" added unless the name
// ends with it in any case; nullopt (told) when the name is no file name.
std::optional<std::filesystem::path> JobPathFromTypedName(const std::string& chosen);

class CMainFrame;
namespace smt {
class Machine;
}
namespace smt::app {
class ViewFrame;
}
class CDialogSetView;
class CDialogManualControl;
class CDialogFeedList;
class CDialogPartList;
class QVBoxLayout;
class CSMTDoc;
class CDialogCameraList;

class CSMTView : public QWidget {
  Q_OBJECT
 public:
  // `installSubsystems` joins the subsystems to the view at the end of its
  // construction (empty: a bare view).
  explicit CSMTView(smt::app::ViewFrame& frame, std::function<void(CSMTView&)> installSubsystems = {});
  ~CSMTView() override;

  // Creation: language, machine type, menu texts, camera and jog panels.
  int OnCreate();
  // The new document's step: the feeder list (hidden) and part list (shown).
  void CreateListPanels();
  // First initial update: library tables and every settings section.
  void OnInitialUpdate();

  // Places a panel in the right-hand area (1 feeder list, 2 part list).
  void FitPanel(QWidget* panel, int kind);
  void OnShowFeedList();
  void OnShowPartList();

  // Menu and drop-down commands.
  void OnCommand(int commandId);
  // A subsystem registers how its dialog opens (modal, parent = the view).
  void RegisterDialog(int commandId, std::function<void(QWidget*)> open);
  // The commands that open a registered dialog, in number order.
  std::vector<int> RegisteredDialogCommands() const;

  // Language switch: every panel and dialog reloads its texts.
  void ReloadLanguage(const std::string& language);
  // Machine-type change: the jog panel lays itself out again.
  void LayoutJogPanelForMachineType();
  // Machine types 0..8: placement strategy back to one head, no nozzle change.
  void ResetStrategyHeadMode();
  // Close sequence: panel settings written; cameras closed.
  void SaveOnClose();
  void CloseCameras();

  CMainFrame* frame() const;
  // The machine the view's window drives.
  smt::Machine& machine() const;
  // The job document (exists once the list panels do).
  CSMTDoc* document() const { return m_pDocument.get(); }

  // File commands.
  void OnFileNew();
  void OnFileOpen();
  bool OnFileSave();
  bool OnFileSaveAs();
  // File menu: recent job 0..3.
  void OnOpenRecentFile(int index);

  // Panels.
  CDialogSetView* m_pSetView = nullptr;
  CDialogManualControl* m_pManualControl = nullptr;
  CDialogFeedList* m_pFeedList = nullptr;
  CDialogPartList* m_pPartList = nullptr;
  std::unique_ptr<CSMTDoc> m_pDocument;
  // The camera manager (its table lives as long as the view).
  std::unique_ptr<CDialogCameraList> m_pCameraList;

  // Go-to commands of the toolbar's drop-down (and the home command).
  void OnGoTo(int commandId);
  static bool IsGoToCommand(int commandId);
  void OnResetOrigin();
  // Also the last step of homing, on the homing thread.
  void OnCameraToVisionOrigin();
  // The same, told whether the go-to drop-down started it (the jog controls
  // and the homed flag are then left alone).
  void CameraToVisionOrigin(bool fromMenu);
  // The Mark camera to the stop position, on the caller's thread.
  bool MoveBetweenSetPoints();
  // After a placed board (a run thread): the Mark camera to the vision origin
  // and m_CottectionTimeSmt correction passes there. False: the move failed.
  bool VisionOriginAfterPlacement();
  // The Mark camera zoom stored with the shown board, or `fallback` (window thread).
  double ShownBoardZoom(double fallback) const;
  // What the go-to planner needs, read now.
  struct GoToInputs;
  std::unique_ptr<GoToInputs> ReadGoToInputs() const;

  // Go-to state.
  std::atomic<int> m_nGoToKind{0};
  std::atomic<bool> m_bOriginView{false};
  std::atomic<bool> m_bGoToFromMenu{false};
  std::atomic<bool> m_bGoToStopAfter{false};
  // The camera panel's nozzle in view (vision camera commands).
  int m_nNozzleInView = 0;
  // Switches the live view (camera panel) before a go-to move.
  std::function<void(smt::app::GoToCamera)> switchLiveCamera;
  // Lamp machine: the platform the operator works on (jog panel).
  std::function<int()> headGroup;

  smt::app::ViewMessages m_strMessage;
  smt::link::FirmwareSwitches m_VersionNumber;

  // Steps other subsystems add to start-up, language switch and close, in
  // the order they are registered.
  std::vector<std::function<void(const std::string& appDir)>> initialUpdateSteps;
  std::vector<std::function<void(const std::string& appDir, const std::string& language)>> languageLoaders;
  std::vector<std::function<void(const std::string& appDir)>> closeSteps;
  std::function<void()> layoutJogPanel;
  std::function<void()> closeCameras;

  // Commands that need the link mode (0 serial, 1 network) ask this.
  std::function<int()> linkMode;

  // The pulse settings' test run moves the machine through the jog panel.
  std::unique_ptr<smt::settings::PulseTestRunner> pulseTestRunner;

  // How often the feeder list was shown by its button.
  int feedListShownCount = 0;

 private:
  smt::app::ViewFrame& frame_;
  QWidget* leftColumn_ = nullptr;
  QWidget* rightArea_ = nullptr;
  QVBoxLayout* rightLayout_ = nullptr;
  std::map<int, std::function<void(QWidget*)>> dialogs_;
  bool firstInitialUpdate_ = true;
};
