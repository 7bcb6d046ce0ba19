#include "stations/CDialogAutoTransport.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/MachineState.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/FrontPanelKeys.h"
#include "link/MachineHoming.h"
#include "link/WindowPanels.h"
#include "link/MotionGlobals.h"
#include "platform/NumberEdit.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "platform/RangeRefusal.h"
#include "stations/ConveyorStation.h"
#include "stations/ConveyorTexts.h"
#include "platform/RefusalTexts.h"

using namespace smt::stations;

namespace {
constexpr int kTestControls[] = {1004, 1524, 1514, 1003, 1002, 1525, 1515, 1530,
                                 1037, 1039, 1040, 1041, 1042, 1520, 1521};
// The first opening of the dialog on a machine takes the set width as the
// conveyor's width.
struct ConveyorDialogOpened {
  bool once = false;
};
QPointer<CDialogAutoTransport> g_open;
// The jog panel's width-axis jog steps for the width up/down buttons.
int WidthJogSteps(smt::Machine& machine) { return smt::link::JogPanelPortOf(machine)->WidthJogSteps(); }

// Number boxes keep what is typed; the ranges are checked on taking the values.
smt::platform::NumberEdit* Int(int lo, int hi) { return new smt::platform::NumberEdit(nullptr, lo, hi, -1); }
smt::platform::NumberEdit* Dbl(double lo, double hi, int decimals) {
  return new smt::platform::NumberEdit(nullptr, lo, hi, decimals);
}
}  // namespace

void CDialogAutoTransport::LoadConfig(smt::Machine& machine, const std::string& appDir) {
  ConveyorStation::Of(machine).SetAppDir(appDir);
  ConveyorStation::Of(machine).SetSettings(ConveyorSettings::Load(appDir));
}

void CDialogAutoTransport::LoadLanguage(smt::Machine& machine, const std::string& appDir, const std::string& language) {
  ConveyorTexts::SetCurrent(machine, ConveyorTexts::Load(appDir, language));
}

CDialogAutoTransport::CDialogAutoTransport(smt::Machine& machine, std::string appDir, QWidget* parent)
    : QDialog(parent), machine_(machine), appDir_(std::move(appDir)) {
  const ConveyorSettings s = ConveyorStation::Of(machine_).Settings();
  auto* grid = new QGridLayout;
  int row = 0;
  auto addRow = [&](int labelId, QWidget* w) {
    m_labels[labelId] = new QLabel;
    grid->addWidget(m_labels[labelId], row, 0);
    grid->addWidget(w, row, 1);
    ++row;
  };
  m_editStartSpeed = Int(1, 255);
  m_editNormalSpeed = Int(1, 255);
  m_editStep = Int(1, 100000);
  m_editClampTime = Int(0, 10000);
  m_editWaitTimeOut = Int(0, 10000);
  m_editStartSpeed->setObjectName("m_ConveyorStartSpeed");
  addRow(1554, m_editStartSpeed);
  addRow(1555, m_editNormalSpeed);
  addRow(1526, m_editStep);
  addRow(1523, m_editClampTime);
  addRow(1527, m_editWaitTimeOut);
  for (int i = 0; i < 6; ++i) {
    m_editTravel[i] = Dbl(0, 10000, 4);
    m_labels[1005 + i] = new QLabel;
    grid->addWidget(m_labels[1005 + i], row, 0);
    grid->addWidget(m_editTravel[i], row, 1);
    ++row;
  }
  m_editResetWidth = Dbl(0, 10000, 4);
  m_editSetWidth = Dbl(-1000, 1000, 2);
  m_editMinRange = Int(-2000000000, 2000000000);
  m_editMaxRange = Int(-2000000000, 2000000000);
  addRow(1518, m_editResetWidth);
  addRow(1519, m_editSetWidth);
  addRow(1522, m_editMinRange);
  grid->addWidget(m_editMaxRange, row - 1, 2);
  m_editResetWidth->setEnabled(false);
  m_editMinRange->setEnabled(false);
  m_editMaxRange->setEnabled(false);

  // The values on the left, the switches and the conveyor's buttons beside
  // them: the window fits a 768-line screen.
  auto* side = new QVBoxLayout;
  for (int id : {1036, 1038, 1037, 1039, 1040, 1041, 1042, 1043}) {
    m_checks[id] = new QCheckBox;
    side->addWidget(m_checks[id]);
  }
  auto* pad = new QGridLayout;
  int at = 0;
  for (int id : {1004, 1517, 1524, 1514, 1003, 1002, 1525, 1515, 1530, 1520, 1521, 1255, 1528, 1529}) {
    m_buttons[id] = new QPushButton;
    pad->addWidget(m_buttons[id], at / 2, at % 2);
    ++at;
  }
  side->addLayout(pad);
  side->addStretch(1);
  auto* columns = new QHBoxLayout;
  columns->addLayout(grid);
  columns->addLayout(side);
  m_buttons[1255]->setText("Set");
  m_buttons[1528]->setText("+");
  m_buttons[1529]->setText("-");
  for (auto& [id, b] : m_buttons) connect(b, &QPushButton::pressed, this, [this, id = id] { OnPress(id); });
  // A check box is acted on from its state before the click.
  for (auto& [id, c] : m_checks)
    connect(c, &QCheckBox::clicked, this, [this, id = id] { OnPress(id); });
  m_progress = new QLabel;
  auto* v = new QVBoxLayout(this);
  v->addWidget(m_progress);
  v->addLayout(columns);
  auto* ok = new QPushButton;
  auto* cancel = new QPushButton;
  m_buttons[1] = ok;
  m_buttons[2] = cancel;
  connect(ok, &QPushButton::clicked, this, &CDialogAutoTransport::accept);
  connect(cancel, &QPushButton::clicked, this, &CDialogAutoTransport::reject);
  v->addWidget(ok);
  v->addWidget(cancel);

  m_editStartSpeed->setValue(s.m_ConveyorStartSpeed);
  m_editNormalSpeed->setValue(s.m_ConveyorNormalSpeed);
  m_editStep->setValue(s.m_StepValue);
  m_editClampTime->setValue(s.m_ClampTime);
  m_editWaitTimeOut->setValue(s.m_WaitTimeOut);
  const double travels[6] = {s.m_AutoTransport_1_1, s.m_AutoTransport_1_2, s.m_AutoTransport_2_1,
                             s.m_AutoTransport_2_2, s.m_AutoTransport_3_1, s.m_AutoTransport_3_2};
  for (int i = 0; i < 6; ++i) m_editTravel[i]->setValue(travels[i]);
  m_editResetWidth->setValue(s.m_ResetWidth);
  m_editSetWidth->setValue(s.m_SetWidth);
  m_editMinRange->setValue(s.m_MinRange);
  m_editMaxRange->setValue(s.m_MaxRange);
  m_checks[1036]->setChecked(s.m_AutoTransport != 0);
  m_checks[1043]->setChecked(s.m_Reset != 0);
  m_checks[1040]->setChecked(ConveyorStation::Of(machine_).Clamped());
  m_checks[1038]->setChecked(ConveyorStation::Of(machine_).PassThrough());

  const int type = machine_.machineType.load();
  m_checks[1038]->setEnabled(type == 7 || type == 8);
  if (bool& opened = machine_.Part<ConveyorDialogOpened>().once; !opened) {
    opened = true;
    machine_.motion.curConveyorWidth = ToPulses(s.m_SetWidth, ConveyorStation::Of(machine_).Pulses().width);
  }
  ApplyLanguageTexts();
  EnableTestControls(s.m_AutoTransport != 0 && !machine_.machineBusy.load());

  QPointer<CDialogAutoTransport> self(this);
  ConveyorView view;
  view.progress = [self](int step) {
    smt::platform::PostToGui([self, step] {
      if (self) self->ShowTestProgress(step);
    });
  };
  view.label = [self](const std::string& text, int x) {
    smt::platform::PostToGui([self, text, x] {
      if (!self) return;
      self->m_progress->setText(QString::fromStdString(text));
      if (x >= 0) self->m_progress->setGeometry(x, 90, 200, 16);
    });
  };
  view.checkBox = [self](int control, bool checked) {
    smt::platform::PostToGui([self, control, checked] {
      if (self && self->m_checks.count(control)) self->m_checks[control]->setChecked(checked);
    });
  };
  ConveyorStation::Of(machine_).SetView(view);
  // The reset width and the width range open for editing on a double-click of their labels.
  m_labels[1518]->installEventFilter(this);
  m_labels[1522]->installEventFilter(this);
  g_open = this;
}

CDialogAutoTransport::~CDialogAutoTransport() {
  ConveyorStation::Of(machine_).SetView({});
  if (g_open == this) g_open = nullptr;
}

CDialogAutoTransport* CDialogAutoTransport::Open() { return g_open.data(); }

bool CDialogAutoTransport::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    for (int id : {1518, 1522})
      if (watched == m_labels[id]) OnDoubleClick(id);
  }
  return QDialog::eventFilter(watched, event);
}

void CDialogAutoTransport::OnDoubleClick(int control) {
  if (control == 1518) {
    m_editResetWidth->setEnabled(true);
  } else if (control == 1522) {
    m_editMinRange->setEnabled(true);
    m_editMaxRange->setEnabled(true);
  }
}

void CDialogAutoTransport::ApplyLanguageTexts() {
  const ConveyorTexts t = ConveyorTexts::Current(machine_);
  auto q = [&](const char* k) { return QString::fromStdString(t.Text(k)); };
  setWindowTitle(q("AutoTransport.c_AutoTransportControl"));
  if (m_progress->text() == m_progressFirst) {
    m_progressFirst = q("AutoTransport.c_Information");
    m_progress->setText(m_progressFirst);
  }
  const std::map<int, const char*> buttons = {
      {1004, "AutoTransport.c_AutoTransport"},      {1517, "AutoTransport.c_ClearWait"},
      {1524, "AutoTransport.c_StepTransport_1"},    {1514, "AutoTransport.c_AutoTransport_1"},
      {1003, "AutoTransport.c_StepTransport_2"},    {1002, "AutoTransport.c_AutoTransport_2"},
      {1525, "AutoTransport.c_StepTransport_3"},    {1515, "AutoTransport.c_AutoTransport_3"},
      {1530, "AutoTransport.c_OutTransport"},       {1520, "AutoTransport.c_ResetPcbTransport"},
      {1521, "AutoTransport.c_ArriveSetWidth"},     {1, "AutoTransport.c_IDOK"},
      {2, "AutoTransport.c_IDCANCEL"}};
  for (const auto& [id, k] : buttons) m_buttons[id]->setText(q(k));
  const std::map<int, const char*> checks = {
      {1038, "AutoTransport.c_AsConveyor"}, {1036, "AutoTransport.c_EnableAutoTransport"},
      {1037, "AutoTransport.c_ImportSignal"}, {1039, "AutoTransport.c_BlockTest"},
      {1040, "AutoTransport.c_ClampTest"},    {1041, "AutoTransport.c_HoldTest"},
      {1042, "AutoTransport.c_ExportSignal"}, {1043, "AutoTransport.c_Reset"}};
  for (const auto& [id, k] : checks) m_checks[id]->setText(q(k));
  const std::map<int, const char*> labels = {
      {1554, "AutoTransport.c_ConveyorStartSpeed"}, {1555, "AutoTransport.c_ConveyorNormalSpeed"},
      {1526, "AutoTransport.c_StepValue"},          {1523, "AutoTransport.c_ClampTime"},
      {1527, "AutoTransport.c_WaitTimeOut"},        {1518, "AutoTransport.c_ResetWidth"},
      {1519, "AutoTransport.c_SetWidth"},           {1522, "AutoTransport.c_SetWidthRange"}};
  for (const auto& [id, k] : labels) m_labels[id]->setText(q(k));
  // Belt N travels in two zone steps: the six travel boxes are belt 1..3, step 1..2.
  for (int i = 0; i < 6; ++i)
    m_labels[1005 + i]->setText(
        q("AutoTransport.c_BeltTravel").replace("%1", QString::number(i / 2 + 1)).replace("%2", QString::number(i % 2 + 1)));
}

void CDialogAutoTransport::EnableTestControls(bool on) {
  for (int id : kTestControls) {
    QWidget* w = m_buttons.count(id) ? static_cast<QWidget*>(m_buttons[id]) : m_checks.count(id) ? m_checks[id] : nullptr;
    if (w) w->setEnabled(on);
  }
  if (on) m_buttons[1520]->setEnabled(m_checks[1043]->isChecked());
}

bool CDialogAutoTransport::TakeValues(ConveyorSettings& s) {
  s = ConveyorStation::Of(machine_).Settings();
  // Each box whole and in its range, or the refusal naming it; nothing taken before all pass.
  smt::platform::NumberEdit* boxes[] = {m_editStartSpeed, m_editNormalSpeed, m_editStep,      m_editClampTime,
                                        m_editWaitTimeOut, m_editTravel[0],  m_editTravel[1], m_editTravel[2],
                                        m_editTravel[3],   m_editTravel[4],  m_editTravel[5], m_editResetWidth,
                                        m_editSetWidth,    m_editMinRange,   m_editMaxRange};
  for (auto* b : boxes)
    if (!b->Read()) return false;
  s.m_ConveyorStartSpeed = m_editStartSpeed->value();
  s.m_ConveyorNormalSpeed = m_editNormalSpeed->value();
  s.m_StepValue = m_editStep->value();
  s.m_ClampTime = m_editClampTime->value();
  s.m_WaitTimeOut = m_editWaitTimeOut->value();
  s.m_AutoTransport_1_1 = m_editTravel[0]->value();
  s.m_AutoTransport_1_2 = m_editTravel[1]->value();
  s.m_AutoTransport_2_1 = m_editTravel[2]->value();
  s.m_AutoTransport_2_2 = m_editTravel[3]->value();
  s.m_AutoTransport_3_1 = m_editTravel[4]->value();
  s.m_AutoTransport_3_2 = m_editTravel[5]->value();
  s.m_AutoTransport = m_checks[1036]->isChecked() ? 1 : 0;
  s.m_Reset = m_checks[1043]->isChecked() ? 1 : 0;
  s.m_ResetWidth = m_editResetWidth->value();
  s.m_SetWidth = m_editSetWidth->value();
  s.m_MinRange = m_editMinRange->value();
  s.m_MaxRange = m_editMaxRange->value();
  return true;
}

bool CDialogAutoTransport::StageAndStart(int task) {
  ConveyorSettings s;
  if (!TakeValues(s)) return false;
  auto& st = ConveyorStation::Of(machine_);
  st.SetSettings(s);
  const auto steps = st.StepsForTask(task, st.Pulses());
  st.StageBeltSteps(steps[0], steps[1], steps[2]);
  return st.StartTransport(task);
}

void CDialogAutoTransport::OnPress(int id) {
  auto& st = ConveyorStation::Of(machine_);
  // Check boxes: the state before this click.
  const bool was = m_checks.count(id) ? !m_checks[id]->isChecked() : false;
  const int type = machine_.machineType.load();
  switch (id) {
    case 1004: StageAndStart(kTaskWholeBoard); break;
    case 1517:
      smt::link::SendCmd60SetState(machine_, 15, smt::link::RuntimeOf(machine_).UsesSerial() ? 0 : 1);
      break;
    case 1038:
      if (type != 7 && type != 8) return;
      st.SetPassThrough(!was);
      m_checks[1036]->setEnabled(was);
      EnableTestControls(was);
      st.StartTransport(kTaskPassThrough);
      break;
    case 1036:
      // The jog panel's conveyor trace shows while the conveyor is in use.
      smt::link::JogPanelPortOf(machine_)->ShowConveyorTrace(!was);
      EnableTestControls(!was);
      break;
    case 1524: StageAndStart(kTaskBelt1Jog); break;
    case 1514: StageAndStart(kTaskBelt1Test); break;
    case 1003: StageAndStart(kTaskTransferJog); break;
    case 1002: StageAndStart(kTaskTransferTest); break;
    case 1525: StageAndStart(kTaskOutJog); break;
    case 1515: StageAndStart(kTaskOutTest); break;
    case 1530: StageAndStart(kTaskRunBoardOut); break;
    case 1037: StageAndStart(kTaskBoardInSignal); break;
    case 1039:
      st.SetValveBoxesBeforeClick(was, m_checks[1041]->isChecked());
      StageAndStart(kTaskStopperValve);
      break;
    case 1040: StageAndStart(kTaskClampValve); break;
    case 1041:
      st.SetValveBoxesBeforeClick(m_checks[1039]->isChecked(), was);
      StageAndStart(kTaskLiftValve);
      break;
    case 1042: StageAndStart(kTaskBoardOutSignal); break;
    case 1043: m_buttons[1520]->setEnabled(!was); break;
    case 1520: {
      m_buttons[1520]->setEnabled(false);
      smt::link::MachineHoming::Of(machine_).StartHomeThread(9, 1);
      break;
    }
    case 1521: {
      ConveyorSettings s;
      if (!TakeValues(s)) return;
      st.SetSettings(s);
      if (s.m_Reset && !st.WidthResetDone()) {
        smt::platform::ShowMessage(smt::platform::WindowText("StationMessagesConfig", "StationMessages.c_ResetConveyor", "请先复位传送带 !"));
      } else if (s.WidthInRange(s.m_SetWidth)) {
        st.StartTransport(kTaskWidth);
      } else {
        smt::platform::ShowMessage(smt::platform::WindowText("StationMessagesConfig", "StationMessages.c_OutOfRange", "超出范围 !"));
      }
      break;
    }
    case 1255: smt::link::NextSpeedGear(machine_); break;
    case 1528:
    case 1529: {
      ConveyorSettings s;
      if (!TakeValues(s)) return;
      if (s.m_Reset && !st.WidthResetDone()) {
        smt::platform::ShowMessage(smt::platform::WindowText("StationMessagesConfig", "StationMessages.c_ResetConveyor", "请先复位传送带 !"));
        return;
      }
      const double step = WidthJogSteps(machine_) / std::max(1e-9, st.Pulses().width);
      const double w = s.m_SetWidth + (id == 1528 ? step : -step);
      if (!s.WidthInRange(w)) return;
      s.m_SetWidth = w;
      m_editSetWidth->setValue(w);
      st.SetSettings(s);
      st.StartTransport(kTaskWidth);
      break;
    }
    default: break;
  }
}

void CDialogAutoTransport::ShowTestProgress(int step) {
  if (step < 1 || step > 6) return;
  const ConveyorTexts t = ConveyorTexts::Current(machine_);
  const std::string names[3] = {t.in, t.transfer, t.out};
  const int xs[3] = {30, 225, 420};
  const int zone = (step - 1) / 2;
  const bool running = step % 2 == 1;
  m_progress->setText(QString::fromStdString(names[zone] + (running ? t.walk : t.finish)));
  if (running) m_progress->setGeometry(xs[zone], 90, 200, 16);
}

void CDialogAutoTransport::ShowConveyorWidth() {
  auto& st = ConveyorStation::Of(machine_);
  st.OnConveyorWidthReset();
  m_editSetWidth->setValue(st.Settings().m_SetWidth);
  m_buttons[1520]->setEnabled(true);
}

void CDialogAutoTransport::accept() {
  ConveyorSettings s;
  // A refused value stays on screen with its field focused, and nothing is written.
  if (!TakeValues(s)) return;
  ConveyorStation::Of(machine_).SetSettings(s);
  ConveyorStation::Of(machine_).Settings().Save(appDir_);
  if (!MayClose()) return;
  QDialog::accept();
}

void CDialogAutoTransport::reject() {
  if (!MayClose()) return;
  QDialog::reject();
}

bool CDialogAutoTransport::MayClose() {
  if (!machine_.machineBusy.load()) return true;
  // The dialog's own conveyor task is given up: its wait ends at once and
  // the busy state is released as its thread ends.
  if (auto& st = ConveyorStation::Of(machine_); st.TaskRunning()) {
    st.CancelTask();
    return true;
  }
  // Busy with something else (a run, a homing): the dialog stays.
  smt::platform::ShowMessage(ConveyorTexts::Current(machine_).noClose);
  return false;
}

void OpenConveyorDialog(smt::Machine& machine, QWidget* parent, const std::string& appDir) {
  CDialogAutoTransport dlg(machine, appDir, parent);
  dlg.exec();
}
