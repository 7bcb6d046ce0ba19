#include "stations/CDialogDippingStation.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/MachineState.h"
#include "platform/NumberEdit.h"
#include "platform/GuiDispatcher.h"
#include "platform/DecimalRounding.h"
#include "platform/MessageService.h"
#include "platform/RangeRefusal.h"
#include "platform/SettingsSection.h"
#include "settings/SettingsStores.h"
#include "platform/RefusalTexts.h"

using namespace smt::stations;

namespace {
// Number boxes keep what is typed; the ranges are checked on taking the values.
smt::platform::NumberEdit* MakeDouble(double lo, double hi) { return new smt::platform::NumberEdit(nullptr, lo, hi, 4); }
smt::platform::NumberEdit* MakeInt(int lo, int hi) { return new smt::platform::NumberEdit(nullptr, lo, hi, -1); }
}  // namespace

CDialogDippingStation::CDialogDippingStation(smt::Machine& machine, std::string appDir, QWidget* parent)
    : QDialog(parent), machine_(machine), appDir_(std::move(appDir)), texts_(DippingStationTextTable()) {
  m_checkStation = new QCheckBox;
  m_editX = MakeDouble(0, 1000);
  m_editY = MakeDouble(-1000, 0);
  m_editZ = MakeDouble(-100, 0);
  m_editFilm = MakeDouble(0, 3);
  m_editRunTime = MakeInt(0, 10000);
  m_editStopDelay = MakeInt(0, 10000);
  m_editDelay = MakeInt(0, 10000);
  auto* grid = new QGridLayout;
  QWidget* edits[7] = {m_editX, m_editY, m_editZ, m_editFilm, m_editRunTime, m_editStopDelay, m_editDelay};
  const char* names[7] = {"m_DippingStation_X",       "m_DippingStation_Y",         "m_DippingStation_Z",
                          "m_WaterFilmThickness",     "m_DippingStation_RunTime",   "m_DippingStation_StopDelay",
                          "m_DippingStation_Delay"};
  for (int i = 0; i < 7; ++i) {
    edits[i]->setObjectName(names[i]);
    m_labels[i] = new QLabel;
    grid->addWidget(m_labels[i], i, 0);
    grid->addWidget(edits[i], i, 1);
  }
  const char* teach[3] = {"X", "Y", "Z"};
  for (int i = 0; i < 3; ++i) {
    m_buttons[i] = new QPushButton(teach[i]);
    grid->addWidget(m_buttons[i], i, 2);
    connect(m_buttons[i], &QPushButton::clicked, this, [this, i] { OnTeach(i); });
  }
  m_buttons[3] = new QPushButton;  // operate
  m_buttons[4] = new QPushButton;  // head 1 to the station
  m_buttons[5] = new QPushButton("TZ");
  connect(m_buttons[3], &QPushButton::clicked, this, [this] { OnOperate(); });
  connect(m_buttons[4], &QPushButton::clicked, this, [this] { OnHead1ToStation(); });
  connect(m_buttons[5], &QPushButton::clicked, this, [this] { OnMeasure(); });
  m_ok = new QPushButton;
  m_cancel = new QPushButton;
  connect(m_ok, &QPushButton::clicked, this, &CDialogDippingStation::accept);
  connect(m_cancel, &QPushButton::clicked, this, &CDialogDippingStation::reject);
  auto* row = new QHBoxLayout;
  row->addWidget(m_buttons[3]);
  row->addWidget(m_buttons[4]);
  row->addWidget(m_buttons[5]);
  auto* okRow = new QHBoxLayout;
  okRow->addStretch();
  okRow->addWidget(m_ok);
  okRow->addWidget(m_cancel);
  auto* v = new QVBoxLayout(this);
  v->addWidget(m_checkStation);
  v->addLayout(grid);
  v->addLayout(row);
  v->addLayout(okRow);

  const DippingStationSettings s = DippingStation::Of(machine_).Settings();
  m_checkStation->setChecked(s.m_DippingStation != 0);
  m_editX->setValue(s.m_DippingStation_X);
  m_editY->setValue(s.m_DippingStation_Y);
  m_editZ->setValue(s.m_DippingStation_Z);
  m_editFilm->setValue(s.m_WaterFilmThickness);
  m_editRunTime->setValue(s.m_DippingStation_RunTime);
  m_editStopDelay->setValue(s.m_DippingStation_StopDelay);
  m_editDelay->setValue(s.m_DippingStation_Delay);
  ApplyTexts();
  DippingStation::Of(machine_).SetMeasuredZView([this](double z) {
    QPointer<CDialogDippingStation> self(this);
    smt::platform::PostToGui([self, z] {
      if (self) self->ShowMeasuredZ(z);
    });
  });
  DippingStation::Of(machine_).SetDialogOpen(true);
}

CDialogDippingStation::~CDialogDippingStation() {
  DippingStation::Of(machine_).SetDialogOpen(false);
  DippingStation::Of(machine_).SetMeasuredZView(nullptr);
}

void CDialogDippingStation::LoadLanguage(const std::string& appDir, const std::string& language) {
  texts_.Load(appDir, language, "DippingStationConfig", DippingStationTextTable());
  ApplyTexts();
}

void CDialogDippingStation::ApplyTexts() {
  auto t = [this](const char* k) { return QString::fromStdString(texts_.Text(k)); };
  setWindowTitle(t("DippingStation.c_DippingStationSet"));
  m_checkStation->setText(t("DippingStation.c_DippingStation"));
  const char* labels[7] = {"DippingStation.c_DippingStation_X",        "DippingStation.c_DippingStation_Y",
                           "DippingStation.c_DippingStation_Z",        "DippingStation.c_WaterFilmThickness",
                           "DippingStation.c_DippingStation_RunTime",  "DippingStation.c_DippingStation_StopDelay",
                           "DippingStation.c_DippingStation_Delay"};
  for (int i = 0; i < 7; ++i) m_labels[i]->setText(t(labels[i]));
  m_buttons[3]->setText(t("DippingStation.c_DippingStationControl"));
  m_buttons[4]->setText(t("DippingStation.c_Head1ToDippingStation"));
  m_ok->setText(t("DippingStation.c_IDOK"));
  m_cancel->setText(t("DippingStation.c_IDCANCEL"));
}

bool CDialogDippingStation::TakeValues(DippingStationSettings& s) {
  // Each box whole and in its range, or the refusal naming it; nothing taken before all pass.
  smt::platform::NumberEdit* boxes[7] = {m_editX, m_editY, m_editZ, m_editFilm, m_editRunTime, m_editStopDelay, m_editDelay};
  for (auto* b : boxes)
    if (!b->Read()) return false;
  s.m_DippingStation = m_checkStation->isChecked() ? 1 : 0;
  s.m_DippingStation_X = m_editX->value();
  s.m_DippingStation_Y = m_editY->value();
  s.m_DippingStation_Z = m_editZ->value();
  s.m_WaterFilmThickness = m_editFilm->value();
  s.m_DippingStation_RunTime = m_editRunTime->value();
  s.m_DippingStation_StopDelay = m_editStopDelay->value();
  s.m_DippingStation_Delay = m_editDelay->value();
  return true;
}

void CDialogDippingStation::OnOperate() { DippingStation::Of(machine_).Operate(); }

void CDialogDippingStation::OnTeach(int axis) {
  const auto p = smt::settings::SettingsStores::Of(machine_).machine.Pulse();
  const double sx = p ? p->m_X_Pulse : 1.0, sy = p ? p->m_Y_Pulse : 1.0, sz = p ? p->m_Z_Pulse : 1.0;
  smt::platform::NumberEdit* box = axis == 0 ? m_editX : axis == 1 ? m_editY : m_editZ;
  const int32_t pulses = axis == 0 ? machine_.curX.load() : axis == 1 ? machine_.curY.load() : machine_.curZ[0].load();
  box->setValue(TeachValue(pulses, axis == 0 ? sx : axis == 1 ? sy : sz));
}

void CDialogDippingStation::OnHead1ToStation() {
  DippingStationSettings s;
  if (!TakeValues(s)) return;
  DippingStation::Of(machine_).SetSettings(s);
  DippingStation::Of(machine_).StartTask(-3);
}

void CDialogDippingStation::OnMeasure() {
  DippingStationSettings s;
  if (!TakeValues(s)) return;
  DippingStation::Of(machine_).SetSettings(s);
  DippingStation::Of(machine_).StartTask(-2);
}

void CDialogDippingStation::ShowMeasuredZ(double z) {
  m_editZ->setValue(smt::platform::RoundDecimals(z, 4));
}

void CDialogDippingStation::accept() {
  DippingStationSettings s;
  if (!TakeValues(s)) return;
  DippingStation::Of(machine_).SetSettings(s);
  if (!s.Save(appDir_)) smt::platform::ShowMessage(smt::platform::WindowText("StationMessagesConfig", "StationMessages.c_DippingNotSaved", "浸渍站设置无法保存 !"));
  QDialog::accept();
}

void CDialogDippingStation::reject() { QDialog::reject(); }

void OpenDippingStationDialog(smt::Machine& machine, QWidget* parent, const std::string& appDir, const std::string& language) {
  CDialogDippingStation dlg(machine, appDir, parent);
  dlg.LoadLanguage(appDir, language);
  dlg.exec();
}
