#include "platform/RefusalTexts.h"
#include "link/CDialogManualControl.h"

#include <QRegularExpression>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <thread>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "link/FirmwareSwitches.h"
#include "link/JogPanelConfig.h"
#include "link/JogPanelLayout.h"
#include "link/LinkRoutes.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MachineHoming.h"
#include "link/MotionSettings.h"
#include "settings/PulseSettings.h"
#include "settings/SettingsStores.h"
#include "link/OperatorNotice.h"
#include "platform/QueuedCall.h"
#include "platform/SettingsSection.h"
#include "platform/SystemServices.h"
#include "platform/WorkerThreads.h"

CDialogManualControl::CDialogManualControl(smt::Machine& machine, QWidget* parent) : QWidget(parent), machine_(machine) {
  setObjectName("CDialogManualControl");
  setFocusPolicy(Qt::StrongFocus);
  BuildControls();
  m_ButtonText = m_Texts.online;
  m_btnOnline->setText(QString::fromStdString(m_ButtonText));
  connect(m_btnOnline, &QPushButton::clicked, this, [this] { OnOnline(); });
  m_Jog.onStepsChanged = [this] {
    smt::platform::PostTo(this, [this] { RefreshStepDisplay(); });
  };
  Runtime().hooks = this;
  Runtime().udp = &m_links.udp;
  // The machine's front-panel jog and gear keys, the editors and the
  // pendants jog through this panel.
  m_jogPort.Connect(this);
  m_bInitialised = true;
  LayoutForMachineModel(machine_.machineType, false);
}

CDialogManualControl::~CDialogManualControl() {
  // Nothing may reach the panel once it is going: detach, then stop and join
  // the link threads (they may be in a call to the panel's hooks) before the
  // members are freed. The links stay the machine's, closed.
  auto& rt = Runtime();
  smt::link::LinkHooks* self = this;
  rt.hooks.compare_exchange_strong(self, nullptr);
  if (m_jogPort.get() == this) m_jogPort.Disconnect();
  machine_.comStop = true;
  m_links.Close();
  smt::link::Link* s = &m_links.serial;
  rt.serial.compare_exchange_strong(s, nullptr);
  smt::link::Link* u = &m_links.udp;
  rt.udp.compare_exchange_strong(u, nullptr);
}

smt::platform::LinkMutex& CDialogManualControl::LinkMutex() { return machine_.linkMutex; }

smt::link::LinkRuntime& CDialogManualControl::Runtime() const { return smt::link::RuntimeOf(machine_); }

std::array<smt::link::ReplyEvent*, 14> CDialogManualControl::ReplyEvents() const { return smt::link::AllReplyEvents(machine_); }

void CDialogManualControl::LoadLanguage(const std::string& appDir, const std::string& language) {
  m_AppDir = appDir;
  m_Language = language;
  m_Texts.Load(appDir, language);
  smt::link::SetLinkTexts(machine_, m_Texts);
  m_PanelTexts.Load(appDir, language);
}

void CDialogManualControl::ApplyLanguageTexts() {
  // The connect button says the link's state in the new language.
  if (machine_.connected)
    SetButtonText(m_Texts.onlineSuccessful);
  else if (m_bConnecting)
    SetButtonText(m_Texts.onlining);
  else
    SetButtonText(m_Texts.online);
  // The home button: the Chinese face is "复位"; other languages take the
  // go-to menu's text for the same command.
  if (QWidget* reset = m_controls[smt::link::jogid::kReset]) {
    const std::string text = m_Language == "Chinese"
                                 ? std::string("复位")
                                 : smt::platform::LanguageSection(m_AppDir, m_Language, "MenuSetConfig")
                                       .Text("c_ID_ResetOrigin", "复位");
    static_cast<QPushButton*>(reset)->setText(QString::fromStdString(text));
  }
  SetDirectionIcon();
  // The caption names two columns with a run of spaces between them; in the
  // narrow column beside the pad each stands on its own line.
  QString caption = QString::fromStdString(m_PanelTexts["c_CoordinatesShow"]).trimmed();
  caption.replace(QRegularExpression("\\s{2,}"), "\n");
  m_coordinatesCaption->setText(caption);
  for (int i = 0; i < 8; ++i)
    m_pumps[i]->setText(QString::fromStdString(m_PanelTexts["c_SolenoidSalve" + std::to_string(i + 1)]));
  // Texts that change with the link's state or the feeder side: the button
  // keeps the room of the longest.
  FitButtonToTexts(m_btnOnline, {m_Texts.online, m_Texts.onlining, m_Texts.onlineError, m_Texts.onlineSuccessful});
  FitButtonToTexts(m_controls[smt::link::jogid::kFeedDirection],
                   {m_PanelTexts["c_ID_Feed_East"], m_PanelTexts["c_ID_Feed_South"], m_PanelTexts["c_ID_Feed_West"],
                    m_PanelTexts["c_ID_Feed_North"],
                    m_Language == "Chinese" ? std::string("方位") : m_PanelTexts["c_F_PosSwitch"]});
}

void CDialogManualControl::LoadConfig(const std::string& appDir) {
  m_AppDir = appDir;
  const smt::link::JogPanelConfig config = smt::link::LoadJogPanelConfig(appDir);
  const smt::link::JogSteps steps = config.steps;
  m_Jog.m_Feed_Direction = config.feedDirection;
  m_ComNumber = config.comNumber;
  m_bShowInformation = config.showInformation;
  m_checkInfo->setChecked(m_bShowInformation != 0);
  smt::link::FirmwareSwitches sw;
  sw.Load(appDir);
  sw.Apply(machine_);
  // The values of other dialogs' sections that the commands read; the
  // machine settings and speeds come with TakeMachineSettings once the
  // stores are loaded, and again after every commit.
  smt::link::UpdateMotionSettings(machine_,
                                  [&appDir](smt::link::MotionSettings& m) { smt::link::ApplyFileValues(m, appDir); });
  m_Jog.SetSteps(steps);
  Runtime().speedGear = steps.m_SpeedGears;
  SetDirectionIcon();
  RefreshStepDisplay();
}

void CDialogManualControl::TakeMachineSettings() {
  auto& stores = smt::settings::SettingsStores::Of(machine_);
  smt::link::UpdateMotionSettings(machine_,
                                  [&stores](smt::link::MotionSettings& m) { smt::link::ApplyStoreValuesFrom(m, stores); });
  ReloadJogSettings();
}

void CDialogManualControl::ReloadJogSettings() { m_Jog.SetContext(smt::link::LoadJogContext(machine_, m_AppDir)); }

void CDialogManualControl::SaveConfig(const std::string& appDir) const {
  smt::platform::SettingsSection s(smt::platform::ConfigPath(appDir), "ManualControlConfig");
  const smt::link::JogSteps steps = m_Jog.Steps();
  const int showInformation = m_checkInfo->isChecked() ? 1 : 0;
  s.WriteInt("m_SpeedGears", steps.m_SpeedGears);
  s.WriteInt("m_XY_RunSteps", steps.m_XY_RunSteps);
  s.WriteInt("m_Z_RunSteps", steps.m_Z_RunSteps);
  s.WriteInt("m_A_RunSteps", steps.m_A_RunSteps);
  s.WriteInt("m_Feed_RunSteps", steps.m_Feed_RunSteps);
  s.WriteInt("m_S_RunSteps", steps.m_S_RunSteps);
  s.WriteInt("m_Feed_Direction", m_Jog.m_Feed_Direction.load());
  s.WriteInt("m_ComNumber", m_ComNumber);
  s.WriteInt("m_bShowInformation", showInformation);
}

smt::settings::BasicSettings CDialogManualControl::ReadBasic() const {
  return smt::settings::LoadBasicSettings(m_AppDir);
}

std::string CDialogManualControl::ButtonText() const {
  std::lock_guard lk(m_TextMutex);
  return m_ButtonText;
}

std::string CDialogManualControl::InfoText() const {
  std::lock_guard lk(m_TextMutex);
  return m_Info;
}

std::string CDialogManualControl::InfoText2() const {
  std::lock_guard lk(m_TextMutex);
  return m_Info2;
}

void CDialogManualControl::SetButtonText(const std::string& text) {
  {
    std::lock_guard lk(m_TextMutex);
    m_ButtonText = text;
  }
  // Widgets change on the window thread only.
  smt::platform::PostTo(this, [this, text] { m_btnOnline->setText(QString::fromStdString(text)); });
}

void CDialogManualControl::AppendTo(QPlainTextEdit* box, std::string& store, const std::string& text, bool lineEnd) {
  const std::string piece = text + (lineEnd ? "\r\n" : "");
  {
    std::lock_guard lk(m_TextMutex);
    store += piece;
    if (store.size() > 64 * 1024) store.erase(0, store.size() - 32 * 1024);
  }
  smt::platform::PostTo(this, [box, piece] {
    box->moveCursor(QTextCursor::End);
    box->insertPlainText(QString::fromStdString(piece).remove('\r'));
    box->ensureCursorVisible();
  });
}

void CDialogManualControl::AppendInfoLine(const std::string& text, bool lineEnd) {
  if (m_bShowInformation) AppendTo(m_editInfo, m_Info, text, lineEnd);
}

void CDialogManualControl::AppendInfoLine2(const std::string& text, bool lineEnd) {
  AppendTo(m_editInfo2, m_Info2, text, lineEnd);
}

QPlainTextEdit* CDialogManualControl::AppendNotice(const std::string& text) {
  QPlainTextEdit* box = m_editInfo2->isHidden() ? m_editInfo : m_editInfo2;
  AppendTo(box, box == m_editInfo ? m_Info : m_Info2, text, true);
  return box;
}

void CDialogManualControl::ShowVacuumValue() {
  char b[32];
  std::snprintf(b, sizeof b, "%dkPa", machine_.link.vacuumKpa.load());
  AppendInfoLine(m_Texts.vacuumTest + b, true);
}

void CDialogManualControl::OnSerialAck(int ackCount) {
  smt::platform::PostTo(this, [this, ackCount] {
    m_editSendCount->setText(QString::number(Runtime().serialSendCount.load()));
    m_editAckCount->setText(QString::number(ackCount));
  });
}

void CDialogManualControl::OnMoveCounted(int count) {
  smt::platform::PostTo(this, [this, count] { m_editSendCount->setText(QString::number(count)); });
}

void CDialogManualControl::OnPositionsChanged() {
  const int32_t x = machine_.curX, y = machine_.curY, z = machine_.curZ[0], a = machine_.curA[0];
  smt::platform::PostTo(this, [this, x, y, z, a] { ShowPositions(true, x, true, y, true, z, true, a); });
}

void CDialogManualControl::ShowZAtZero() {
  smt::platform::PostTo(this, [this] { ShowPositions(false, 0, false, 0, true, 0, false, 0); });
}

void CDialogManualControl::OnSerialHelloAck() {
  // Firmware with calibrated limits wants every axis driven over its travel once.
  if (Runtime().v2_06.load() != 0)
    smt::platform::WorkerThreads::Instance().Start("AxisInit", [this](std::stop_token) { RunAxisInit(); });
}

void CDialogManualControl::RunAxisInit() {
  // The hello's answer starts this thread while the connect that sent the
  // hello is still finishing: the start-up goes once that connect counts the
  // link as up (a lost link would refuse its moves without a word), and not
  // at all when it does not come up.
  const auto upBy = std::chrono::steady_clock::now() + m_HelloTimeout + std::chrono::seconds(2);
  while (!machine_.connected.load()) {
    if (std::chrono::steady_clock::now() >= upBy || smt::platform::WorkerThreads::Instance().ShuttingDown()) {
      CLogFile::Instance().Write(true, "Axis start-up not sent: the connect did not complete");
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const smt::settings::BasicSettings basic = smt::settings::LoadBasicSettings(m_AppDir);
  const smt::settings::PulseSettings pulse = smt::settings::LoadPulseSettings(m_AppDir);
  using P = smt::settings::PulseSettings;
  struct Axis { uint8_t code; const char* limit; double P::*pulse; };
  static constexpr Axis kAxes[] = {{0, "m_X_Limit", &P::m_X_Pulse},
                                   {1, "m_Y_Limit", &P::m_Y_Pulse},
                                   {2, "m_Z_Limit", &P::m_Z_Pulse},
                                   {8, "m_WestFeed_Limit", &P::m_WestWalk_Pulse},
                                   {9, "m_NorthFeed_Limit", &P::m_NorthWalk_Pulse},
                                   {10, "m_EastFeed_Limit", &P::m_EastWalk_Pulse}};
  for (const Axis& a : kAxes) {
    const double limit = smt::settings::FindBasicField(a.limit)->Get(basic);
    const auto steps = static_cast<int32_t>(std::trunc(limit * pulse.*a.pulse));
    // A move that is refused (positions uncertain) waits for nothing.
    if (!(machine_.link.positionLost && !machine_.resetDone)) machine_.Part<smt::link::ReplyEvents>().serialAxis.SettleBeforeSend();
    machine_.Part<smt::link::ReplyEvents>().serialAxis.Arm();
    if (!smt::link::SendCmd01MoveAxisSerial(machine_, a.code, steps)) {
      machine_.Part<smt::link::ReplyEvents>().serialAxis.Disarm();
      return;
    }
    const smt::link::ReplyWait w = machine_.Part<smt::link::ReplyEvents>().serialAxis.Wait(machine_, machine_.Part<smt::link::ReplyEvents>().serialAxis.timeout());
    if (w != smt::link::ReplyWait::Done) {
      // Where the axis stopped is unknown: nothing moves until homing.
      if (w != smt::link::ReplyWait::Failed) {
        machine_.Part<smt::link::ReplyEvents>().serialAxis.MarkTimedOut(machine_.Part<smt::link::ReplyEvents>().serialAxis.LateGuard());
        smt::link::OnMotionOutcomeUnknown(machine_, 0x01);
      }
      if (w == smt::link::ReplyWait::TimedOut)
        smt::link::ReportLinkLost(machine_, m_Texts.replyTimeout + "\r\n" + smt::platform::FillText(m_Texts.replyTimeoutCode, {"01"}));
      else if (w == smt::link::ReplyWait::Failed)
        smt::link::NotifyOperator(m_Texts.replyTimeout);
      return;
    }
  }
}

void CDialogManualControl::OnOnline() {
  if (machine_.connected || machine_.machineBusy) return;
  bool expected = false;
  if (!m_bConnecting.compare_exchange_strong(expected, true)) return;
  SetButtonText(m_Texts.onlining);
  // No jogging while the connect runs.
  EnableJogControls(false);
  const bool started = smt::platform::WorkerThreads::Instance().Start("Online", [this](std::stop_token) {
    ConnectNow();
    m_bConnecting = false;
  });
  if (!started) m_bConnecting = false;
}

bool CDialogManualControl::ConnectNow() {
  if (machine_.connected || machine_.machineBusy) return false;
  SetButtonText(m_Texts.onlining);
  const smt::settings::BasicSettings basic = ReadBasic();
  const bool openCameras = basic.m_OpenCamera != 0;
  Runtime().commModel = basic.m_CommModel;
  if (basic.m_CommModel == 0) return OpenComPort(openCameras);

  std::string address, refusal;
  if (!smt::link::DiscoverMainBoard(address, m_Discovery, &refusal)) {
    smt::link::NotifyOperator(refusal.empty() ? std::string("Ethernet is no Find !") : refusal);
    SetButtonText(m_Texts.onlineError);
    return false;
  }
  std::string movedFrom;
  if (!m_links.udp.IsOpen()) {
    if (!m_links.udp.Open(address, static_cast<uint32_t>(m_CommandPort))) {
      smt::link::NotifyOperator(m_links.udp.LastError());
      SetButtonText(m_Texts.onlineError);
      return false;
    }
    m_links.udp.StartReplyLoop();
  } else if (m_links.udp.Channel().PeerAddress() != address) {
    // The board answered from another address this time: talk to that one,
    // and say so.
    movedFrom = m_links.udp.Channel().PeerAddress();
    m_links.udp.Channel().SetPeer(address);
    CLogFile::Instance().Write(true, "The main board answered from %s (it was %s): the link now goes to %s",
                               address.c_str(), movedFrom.c_str(), address.c_str());
  }
  Runtime().udp = &m_links.udp;
  // The board's discovery answer is its answer: the link is up. (State 0x60
  // has no reply in the protocol, so nothing is awaited here.)
  if (openCameras && !machine_.connected) smt::link::CameraPanelPortOf(machine_)->OpenCamerasAfterConnect();
  smt::platform::KeepSystemAwake(true);
  smt::link::OnLinkRestored(machine_);
  machine_.connected = true;
  OnLinkUp();
  if (!movedFrom.empty()) {
    const std::string note = m_Texts.onlineSuccessful + " (" + address + ", was " + movedFrom + ")";
    SetButtonText(note);
    AppendInfoLine(note, true);
  }
  machine_.link.firstOnline = false;
  return true;
}

bool CDialogManualControl::OpenComPort(bool openCameras) {
  m_links.serial.Close();
  Runtime().serial = &m_links.serial;
  int n = m_ComNumber;
  bool found = false;
  for (; n < 100; ++n) {
    machine_.comStop = false;
    if (!m_links.serial.Open(smt::link::ComPortPath(m_AppDir, n))) continue;
    // A clean start: a late reply owed from before the link was lost must
    // not swallow the hello's answer.
    machine_.Part<smt::link::ReplyEvents>().axisMove.ForgetLateReply();
    machine_.Part<smt::link::ReplyEvents>().axisMove.Arm();
    // The link still counts as lost until the hello is answered: the wait
    // is for the answer or its time-out only.
    if (smt::link::SendCmd00Hello(machine_) &&
        machine_.Part<smt::link::ReplyEvents>().axisMove.Wait(machine_, m_HelloTimeout, smt::link::WaitWatch::ConnectProbe) ==
            smt::link::ReplyWait::Done) {
      found = true;
      break;
    }
    // No answer on this port: its reader is stopped and joined before the next.
    m_links.serial.Close();
  }
  if (!found) {
    SetButtonText(m_Texts.onlineError);
    m_ComNumber = 1;
    return false;
  }
  m_ComNumber = n;
  if (openCameras && !machine_.connected) smt::link::CameraPanelPortOf(machine_)->OpenCamerasAfterConnect();
  smt::link::OnLinkRestored(machine_);
  machine_.connected = true;
  OnLinkUp();
  return true;
}

void CDialogManualControl::OnLinkUp() {
  SetButtonText(m_Texts.onlineSuccessful);
  OnSerialAck(0);
  AppendInfoLine(m_Texts.onlineSuccessful, true);
  // Counters, the wait for the link flag, then homing or the home button.
  smt::link::MachineHoming::Of(machine_).OnLinkUpSteps();
}

void CDialogManualControl::SetPumpButtonCheck(int which, bool checked) {
  smt::platform::PostTo(this, [this, which, checked] {
    if (which < 0 || which > 8) return;
    for (int i = 0; i < 8; ++i)
      if (which == 0 || which == i + 1) m_pumps[i]->setChecked(checked);
    emit PumpButtonChanged(which, checked);
  });
}

void CDialogManualControl::EnableJogControls(bool enable) {
  // Nothing that needs the machine comes back on while the link is lost:
  // only a connect brings the controls back.
  if (enable && machine_.link.knownLost.load() && !machine_.connected) enable = false;
  m_bJogControlsEnabled = enable;
  if (enable) m_bHomeButtonEnabled = true;
  smt::platform::PostTo(this, [this, enable] { ApplyEnableStates(enable); });
}

void CDialogManualControl::OnLinkLost() {
  // The button shows the link's real state and takes the next press as a reconnect.
  SetButtonText(m_Texts.online);
  EnableJogControls(false);
}

void CDialogManualControl::EnableHomeButton() {
  if (machine_.link.knownLost.load() && !machine_.connected) return;  // back with the connect only
  m_bHomeButtonEnabled = true;
  smt::platform::PostTo(this, [this] { m_controls[smt::link::jogid::kReset]->setEnabled(true); });
}
