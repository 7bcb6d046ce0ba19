#pragma once
// The jog panel of the main window. It owns the machine link: the UDP link
// object, the serial link, the connect button and the information boxes; the
// link mutex and the 13 reply events are process-wide (link/LinkGlobals.h)
// and reachable from here.
#include <QWidget>
#include <array>
#include <atomic>
#include <mutex>
#include <string>

#include "link/CMachineLink.h"
#include "link/CSerialLink.h"
#include "link/DiscoverMainBoard.h"
#include "link/LinkHooks.h"
#include "link/LinkTexts.h"
#include "link/ReplyEvent.h"
#include "platform/LinkMutex.h"

class QPushButton;
class QPlainTextEdit;
class QLabel;

class CDialogManualControl : public QWidget, public smt::link::LinkHooks {
  Q_OBJECT
 public:
  explicit CDialogManualControl(QWidget* parent = nullptr);
  ~CDialogManualControl() override;

  // Reads the panel's texts from "<appDir>/<language>.ini" (keys "ManualControl.c_..."),
  // Chinese defaults.
  void LoadLanguage(const std::string& appDir, const std::string& language);
  // Puts the loaded texts on the controls.
  void ApplyLanguageTexts();

  // Section ManualControlConfig of "<appDir>/config.ini".
  void LoadConfig(const std::string& appDir);
  void SaveConfig(const std::string& appDir) const;

  // The link the rest of the program drives the machine through.
  smt::link::CMachineLink& MachineLink() { return m_MachineLink; }
  smt::link::CSerialLink& SerialLink() { return m_SerialLink; }
  static smt::platform::LinkMutex& LinkMutex();
  static std::array<smt::link::ReplyEvent*, 13> ReplyEvents();

  // Connect button: connects on a worker thread so the window stays live.
  void OnOnline();
  // The connect itself, on the calling thread (the worker, or a test): by
  // m_CommModel the serial port scan or discovery and the UDP link. True when
  // the board answered and the link is up.
  bool ConnectNow();
  // Serial scan from m_ComNumber up to COM99.
  bool OpenComPort();
  // After-connect step.
  void OnLinkUp();

  std::string ButtonText() const;
  std::string InfoText() const;
  bool Connecting() const { return m_bConnecting.load(); }

  // Jog panel settings (ManualControlConfig).
  int m_ComNumber = 0;
  int m_bShowInformation = 1;
  // Where discovery asks; tests point it elsewhere.
  smt::link::DiscoveryOptions m_Discovery;
  // UDP command port of the board (60000); tests change it.
  int m_CommandPort = 60000;
  std::chrono::milliseconds m_HelloTimeout{1000};

  // LinkHooks
  void AppendInfoLine(const std::string& text, bool lineEnd) override;
  void AppendInfoLine2(const std::string& text, bool lineEnd) override;
  void ShowVacuumValue() override;
  void OnSerialAck(int ackCount) override;
  void OnSerialHelloAck() override;
  void SetPumpButtonCheck(int which, bool checked) override;
  void EnableJogControls(bool enable) override;
  void EnableHomeButton() override;

  // The jog controls and the home button (the panel's controls for them
  // follow these flags).
  std::atomic<bool> m_bJogControlsEnabled{false};
  std::atomic<bool> m_bHomeButtonEnabled{false};

 signals:
  void PumpButtonChanged(int which, bool checked);

 private:
  void SetButtonText(const std::string& text);
  void AppendTo(QPlainTextEdit* box, std::string& store, const std::string& text, bool lineEnd);
  int ReadBasic(const char* key) const;
  bool ConfirmBoardAnswers();
  void RunAxisInit();

  smt::link::CMachineLink m_MachineLink;
  smt::link::CSerialLink m_SerialLink;
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
};
