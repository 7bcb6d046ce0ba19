#pragma once
// The jog panel of the main window: the connect button, the information
// boxes and the jog. It works on the machine it is given: it connects by the
// machine's own links (the UDP link object and the serial link, parts of the
// machine), and uses its link state, link mutex, reply events and link
// runtime.
#include <QWidget>
#include <array>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "link/CMachineLink.h"
#include "link/CSerialLink.h"
#include "link/DiscoverMainBoard.h"
#include "link/JogPad.h"
#include "link/JogPanelTexts.h"
#include "link/LinkHooks.h"
#include "link/LinkRuntime.h"
#include "link/MachineLinks.h"
#include "platform/Hooks.h"
#include "link/LinkTexts.h"
#include "link/WindowPanels.h"
#include "link/ReplyEvent.h"
#include "platform/LinkMutex.h"
#include "settings/BasicSettings.h"

class QPushButton;
class QPlainTextEdit;
class QLabel;
class QLineEdit;
class QCheckBox;
class QMenu;
class QGroupBox;

class CDialogManualControl : public QWidget, public smt::link::LinkHooks, public smt::link::JogPanelActions {
  Q_OBJECT
 public:
  explicit CDialogManualControl(smt::Machine& machine, QWidget* parent = nullptr);
  ~CDialogManualControl() override;

  // Reads the panel's texts from "<appDir>/<language>.ini" (keys "ManualControl.c_..."),
  // Chinese defaults.
  void LoadLanguage(const std::string& appDir, const std::string& language);
  // Puts the loaded texts on the controls.
  void ApplyLanguageTexts();

  // Section ManualControlConfig of "<appDir>/config.ini": the gear, the five
  // jog steps, the feeder side, the first COM port and the information
  // switch; and the values of other dialogs' sections the commands read.
  void LoadConfig(const std::string& appDir);
  // Writes the information switch as the check box shows it.
  void SaveConfig(const std::string& appDir) const;
  // What the commands and the jog take of the machine settings and speed
  // stores (limits, scales, switches, homing and manual speeds, step
  // templates): when the stores are loaded and after every commit.
  void TakeMachineSettings();
  // The jog's settings again (limits, manual speeds, step templates).
  void ReloadJogSettings();

  // The link the rest of the program drives the machine through.
  smt::link::CMachineLink& MachineLink() { return m_links.udp; }
  smt::link::CSerialLink& SerialLink() { return m_links.serial; }
  smt::platform::LinkMutex& LinkMutex();
  std::array<smt::link::ReplyEvent*, 14> ReplyEvents() const;

  // Connect button: connects on a worker thread so the window stays live.
  void OnOnline();
  // The connect itself, on the calling thread (the worker, or a test): by
  // m_CommModel the serial port scan or discovery and the UDP link. True when
  // the board answered and the link is up.
  bool ConnectNow();
  // Serial scan from m_ComNumber up to COM99; `openCameras`: the cameras
  // are opened once the board answers (the machine settings' m_OpenCamera).
  bool OpenComPort(bool openCameras);
  // After-connect step.
  void OnLinkUp();

  std::string ButtonText() const;
  std::string InfoText() const;
  // Puts `text` into information box 1 or 2 (window thread); "" empties it.
  void SetInfoBoxText(int box, const std::string& text);
  std::string InfoText2() const;

  // --- jog panel -------------------------------------------------------
  // Places, shows and hides the controls for the machine's machineType (the first
  // argument is not read); the flag shows the second information box.
  void LayoutForMachineModel(int machineType, bool autoTransport);
  // For the view's layoutJogPanel hook: the layout for the current machine
  // type with the conveyor setting (m_AutoTransport).
  std::function<void()> LayoutHook();
  // The jog (see JogRunner::Jog); the front-panel keys come here too.
  bool Jog(int axis, bool positive, bool repeat = false, bool useSteps = false, int steps = 0) override;
  bool JogByKey(int key);
  int NextSpeedGear() override;
  // The jog panel as the editors, pendants and the conveyor dialog use it
  // (it connects itself to the machine's jog panel port while it lives).
  bool JogOnPlatform(int axis, bool positive, int platform) override;
  void ReleaseJog() override;
  int WidthJogSteps() override;
  void ShowConveyorTrace(bool shown) override;
  void ClearLiftOnce() override;
  smt::link::JogRunner& JogPad() { return m_Jog; }
  // What a left press and release on a control do (the mouse filter calls
  // these; so may tests).
  void PressControl(int id);
  void ReleaseControl(int id);
  // The right-click menus, built with the current texts and states.
  QMenu* BuildPanelMenu(QWidget* parent);
  QMenu* BuildResetMenu(QWidget* parent);
  // A command of either menu.
  void OnMenuCommand(int command);
  void OnHeadGroup();
  void OnShowInformation();
  // Pump button 1..8 clicked (its check mark already toggled).
  void OnPump(int pump);
  // Position boxes: pulses with the unit switch on, else mm and degrees.
  void ShowPositions(bool showX, int32_t x, bool showY, int32_t y, bool showZ, int32_t z, bool showA, int32_t a);
  // Text of the position box of X, Y, Z or A (0..3).
  std::string PositionText(int which) const;
  std::string StepDisplay() const;
  QWidget* Control(int id) const;
  bool PumpChecked(int pump) const;
  // Why a taken jog moved nothing (language file, Chinese default).
  std::string JogNothingToMoveText(bool zeroStep) const;
  const smt::link::JogPanelTexts& Texts() const { return m_PanelTexts; }
  // The "one-key zero" of the reset menu; the view installs it.
  std::function<void()> onSetAllZero;
  // The part list toolbar buttons that follow the jog enable ("Start" with
  // the full home, "Pcb Clamp"); the part list installs it.
  std::function<void(int toolbarButton, bool enable)> onEnableToolbarButton;
  bool Connecting() const { return m_bConnecting.load(); }
  // "联机后打开相机": the camera panel opens the cameras when a connect
  // succeeds (CameraPanel::OpenCamerasAfterConnect, any thread).

  // Jog panel settings (ManualControlConfig).
  int m_ComNumber = 0;
  std::atomic<int> m_bShowInformation{1};
  // Where discovery asks; tests point it elsewhere.
  smt::link::DiscoveryOptions m_Discovery;
  // UDP command port of the board (60000); tests change it.
  int m_CommandPort = 60000;
  std::chrono::milliseconds m_HelloTimeout{1000};

  // LinkHooks
  void AppendInfoLine(const std::string& text, bool lineEnd) override;
  void AppendInfoLine2(const std::string& text, bool lineEnd) override;
  void ShowNotice(const std::string& text) override { AppendNotice(text); }
  // A line for the operator (not the command trace): in the second
  // information box where the machine type shows it, else in the main one,
  // whatever the information switch says. Returns the box written to.
  QPlainTextEdit* AppendNotice(const std::string& text);
  void ShowVacuumValue() override;
  void OnSerialAck(int ackCount) override;
  void OnSerialHelloAck() override;
  void SetPumpButtonCheck(int which, bool checked) override;
  void EnableJogControls(bool enable) override;
  void EnableHomeButton() override;
  void OnLinkLost() override;
  bool InfoShown() const override { return m_bShowInformation != 0; }
  void OnPositionsChanged() override;
  void ShowZAtZero() override;
  void OnMoveCounted(int count) override;

  // The jog controls and the home button (the panel's controls for them
  // follow these flags).
  std::atomic<bool> m_bJogControlsEnabled{false};
  std::atomic<bool> m_bHomeButtonEnabled{false};

 signals:
  void PumpButtonChanged(int which, bool checked);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  void BuildControls();
  void BuildLayout();
  void FitButtonToTexts(QWidget* button, const std::vector<std::string>& texts);
  QPushButton* AddButton(int id, const QString& text, QWidget* parent = nullptr);
  void RefreshStepDisplay();
  void ApplyEnableStates(bool enable);
  void SetDirectionIcon();
  bool HandleKey(QKeyEvent* e, bool down);
  // A jog that was taken but moves nothing (step 0, no room to the limit) says why.
  void SayWhyNothingMoved();
  void SetButtonText(const std::string& text);
  void AppendTo(QPlainTextEdit* box, std::string& store, const std::string& text, bool lineEnd);
  // The machine settings as their loader reads them (ranges and load rules),
  // read once per connect.
  smt::settings::BasicSettings ReadBasic() const;
  void RunAxisInit();
  // The link runtime of the panel's machine.
  smt::link::LinkRuntime& Runtime() const;

  smt::Machine& machine_;
  // The machine's links: they outlive the panel, which closes them when it
  // goes (their threads call the panel's hooks).
  smt::link::MachineLinks& m_links = smt::link::LinksOf(machine_);
  std::string m_AppDir = ".";
  std::string m_Language = "Chinese";
  smt::link::LinkTexts m_Texts;
  mutable std::mutex m_TextMutex;
  std::string m_ButtonText;
  std::string m_Info;
  std::string m_Info2;
  std::atomic<bool> m_bConnecting{false};

  QPushButton* m_btnOnline = nullptr;
  QPlainTextEdit* m_editInfo = nullptr;
  QPlainTextEdit* m_editInfo2 = nullptr;
  QLabel* m_labelStatus = nullptr;

  smt::link::JogPanelTexts m_PanelTexts;
  smt::link::JogRunner m_Jog{machine_};
  // The machine's jog panel port this panel is connected to.
  smt::platform::Port<smt::link::JogPanelActions>& m_jogPort = smt::link::JogPanelPortOf(machine_);
  std::map<int, QWidget*> m_controls;
  std::array<QPushButton*, 8> m_pumps{};
  std::array<QLineEdit*, 4> m_posBoxes{};
  std::array<QLabel*, 4> m_posLabels{};
  QWidget* m_padArea = nullptr;
  QLabel* m_stepDisplay = nullptr;
  QCheckBox* m_checkInfo = nullptr;
  QGroupBox* m_groupCoordinates = nullptr;
  QLabel* m_coordinatesCaption = nullptr;
  QLineEdit* m_editSendCount = nullptr;
  QLineEdit* m_editAckCount = nullptr;
  bool m_bInitialised = false;
  bool m_bAutoTransport = false;
};
