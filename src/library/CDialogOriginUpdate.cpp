#include "library/CDialogOriginUpdate.h"
#include "core/Machine.h"

#include "platform/OperatorNumber.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "library/FieldReader.h"
#include "link/LinkRuntime.h"
#include "link/MotionSettings.h"
#include "platform/SettingsSection.h"
#include "settings/CDialogSetBasic.h"
#include "settings/SettingsStores.h"

using smt::library::OriginUpdateSettings;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
struct TextKey {
  const char* key;
  const char* def;
};
const TextKey kTexts[] = {
    {"c_OriginUpdate", "原点坐标更新"},        {"c_OriginOffsetX", "复位原点坐标偏移量X"},
    {"c_OriginOffsetY", "复位原点坐标偏移量Y"}, {"c_UpdateCurrentFeed", "更新当前料架坐标"},
    {"c_UpdatePcbOrigin", "更新PCB原点坐标"},  {"c_UpdateCamera", "更新相机坐标"},
    {"c_UpdateNozzle", "更新吸嘴库坐标"},      {"c_UpdateThrow", "更新抛料坐标"},
    {"c_Enable", "使能"},                       {"c_IDOK", "确  定"},
    {"c_IDCANCEL", "取  消"},
};
struct UpdateKey {
  const char* key;
  int OriginUpdateSettings::*member;
};
const UpdateKey kUpdates[] = {
    {"m_UpdateCurrentFeed", &OriginUpdateSettings::m_UpdateCurrentFeed},
    {"m_UpdatePcbOrigin", &OriginUpdateSettings::m_UpdatePcbOrigin},
    {"m_UpdateCamera", &OriginUpdateSettings::m_UpdateCamera},
    {"m_UpdateNozzle", &OriginUpdateSettings::m_UpdateNozzle},
    {"m_UpdateThrow", &OriginUpdateSettings::m_UpdateThrow},
};
}  // namespace

CDialogOriginUpdate::CDialogOriginUpdate(OriginUpdateSettings& settings, Environment env, QWidget* parent)
    : QDialog(parent), settings_(settings), env_(std::move(env)) {
  const smt::platform::LanguageSection lang(env_.appDir, env_.language, "OriginUpdateConfig");
  for (const auto& t : kTexts) texts_[t.key] = lang.Text(std::string("OriginUpdate.") + t.key, t.def);
  Build();
}

std::string CDialogOriginUpdate::Text(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

void CDialogOriginUpdate::Build() {
  setWindowTitle(Q(Text("c_OriginUpdate")));
  auto* form = new QGridLayout;
  offsetX_ = new QLineEdit(Q(smt::platform::FormatDouble(settings_.m_OriginOffsetX)), this);
  offsetY_ = new QLineEdit(Q(smt::platform::FormatDouble(settings_.m_OriginOffsetY)), this);
  offsetX_->setObjectName("m_OriginOffsetX");
  offsetY_->setObjectName("m_OriginOffsetY");
  form->addWidget(new QLabel(Q(Text("c_OriginOffsetX")), this), 0, 0);
  form->addWidget(offsetX_, 0, 1);
  form->addWidget(new QLabel(Q(Text("c_OriginOffsetY")), this), 1, 0);
  form->addWidget(offsetY_, 1, 1);
  int r = 2;
  for (const auto& u : kUpdates) {
    const std::string textKey = std::string("c_") + (u.key + 2);
    auto* c = new QCheckBox(Q(Text(textKey)), this);
    c->setChecked(settings_.*u.member != 0);
    updates_[u.key] = c;
    form->addWidget(c, r++, 0, 1, 2);
  }
  // Axis switches: four rows of four, labelled by machine type.
  auto* box = new QGroupBox(this);
  auto* grid = new QGridLayout(box);
  const bool eight = env_.machineType == 7 || env_.machineType == 8;
  static const char* kLabels[16] = {"X", "Y", "Z1", "Z2", "A1", "A2", "A3", "A4",
                                    "W1", "W2", "W3", "L1", "L2", "L3", "D1", "D2"};
  for (int i = 0; i < smt::library::kAxisSwitchCount; ++i) {
    std::string label = kLabels[i];
    bool shown;
    if (eight) {
      if (i >= 4 && i <= 11) label = "Z" + std::to_string(i - 3);
      shown = i <= 1 || (i >= 4 && i <= 11);
    } else {
      shown = i <= 3 || (i >= 8 && i <= 10);
    }
    axes_[i] = new QCheckBox(Q(label), box);
    axes_[i]->setChecked(settings_.axes[i] != 0);
    axes_[i]->setEnabled(false);
    axes_[i]->setVisible(shown);
    grid->addWidget(axes_[i], i / 4, i % 4);
  }
  auto* enable = new QPushButton(Q(Text("c_Enable")), this);
  enable->setAutoDefault(false);
  connect(enable, &QPushButton::clicked, this, &CDialogOriginUpdate::OnEnable);
  auto* ok = new QPushButton(Q(Text("c_IDOK")), this);
  auto* cancel = new QPushButton(Q(Text("c_IDCANCEL")), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &CDialogOriginUpdate::accept);
  connect(cancel, &QPushButton::clicked, this, &CDialogOriginUpdate::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(enable);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* all = new QVBoxLayout(this);
  all->addLayout(form);
  all->addWidget(box);
  all->addLayout(buttons);
}

void CDialogOriginUpdate::OnEnable() {
  for (auto* a : axes_) a->setEnabled(true);
}

bool CDialogOriginUpdate::TryAccept() {
  smt::library::FieldReader reader(env_.appDir, env_.language);
  const double dx = reader.Double(offsetX_, -1.0, 1.0);
  const double dy = reader.Double(offsetY_, -1.0, 1.0);
  if (!reader.ok()) return false;
  OriginUpdateSettings s = settings_;
  s.m_OriginOffsetX = dx;
  s.m_OriginOffsetY = dy;
  for (const auto& u : kUpdates) s.*u.member = updates_[u.key]->isChecked() ? 1 : 0;
  for (int i = 0; i < smt::library::kAxisSwitchCount; ++i) s.axes[i] = axes_[i]->isChecked() ? 1 : 0;
  settings_ = s;
  smt::library::SaveOriginUpdate(env_.appDir, s);
  smt::library::ApplyOriginUpdate(s, env_.machineType, env_.targets);
  QDialog::accept();
  return true;
}

void CDialogOriginUpdate::accept() { TryAccept(); }

smt::library::OriginUpdateTargets LibraryOriginTargets(std::vector<std::string>* frameNozzleRows,
                                                       QWidget* settingsDialog) {
  smt::library::OriginUpdateTargets t;
  t.shiftNozzles = [frameNozzleRows](double dx, double dy) { smt::library::ShiftNozzleRows(dx, dy, frameNozzleRows); };
  QPointer<QWidget> parent(settingsDialog);
  t.shiftThrow = [parent](double dx, double dy) {
    smt::library::ShiftThrowPosition(dx, dy);
    auto* basic = qobject_cast<smt::settings::CDialogSetBasic*>(parent.data());
    if (!basic) return;
    // The open settings dialog shows (and at its OK keeps) the shifted position.
    // An edit that holds no number keeps its text: the dialog's OK refuses it by name.
    auto shift = [](QLineEdit* e, double delta) {
      if (!e) return;
      if (const auto v = smt::platform::ParseOperatorNumber(e->text().toStdString()))
        e->setText(Q(smt::platform::FormatDouble(*v + delta)));
    };
    shift(basic->Edit("m_X_ThrowPosition"), dx);
    shift(basic->Edit("m_Y_ThrowPosition"), dy);
  };
  t.setHeadMask = [](uint8_t mask) { smt::link::RuntimeOf(smt::CurrentMachine()).headMask = mask; };
  t.axisSwitchesChanged = [](const std::array<int, smt::library::kAxisSwitchCount>& axes) {
    smt::link::MotionSettings m = smt::link::GetMotionSettings(smt::CurrentMachine());
    for (int i = 0; i < smt::library::kAxisSwitchCount; ++i) m.originUpdate[i] = axes[i] != 0;
    smt::link::SetMotionSettings(smt::CurrentMachine(), m);
  };
  return t;
}
