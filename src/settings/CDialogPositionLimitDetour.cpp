#include "settings/CDialogPositionLimitDetour.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"
#include "settings/DialogSupport.h"
#include "settings/MachineSettingsStore.h"

namespace smt::settings {

CDialogPositionLimitDetour::CDialogPositionLimitDetour(MachineSettingsStore& store, std::string appDir,
                                                       std::string language, QWidget* parent)
    : QDialog(parent), store_(store), appDir_(std::move(appDir)) {
  setObjectName("CDialogPositionLimitDetour");
  platform::LanguageSection lang(appDir_, language, "PositionLimitDetourConfig");
  auto tr = [&](const char* key, const char* def) {
    return QString::fromStdString(lang.Text(std::string("PositionLimitDetour.c_") + key, def));
  };
  setWindowTitle(tr("PositionLimitDetour", "位置受限绕行"));
  const auto d = store_.Detour();
  auto* outer = new QVBoxLayout(this);
  struct Zone {
    const char* titleKey;
    const char* titleDefault;
    const char* enable;
    const char* boundX;
    const char* boundXLabel;
    const char* boundY;
    const char* boundYLabel;
    const char* detourX;
    const char* detourY;
  };
  const Zone zones[] = {
      {"W_S_PositionLimitDetour", "西南位置受限绕行", "m_W_S_PositionLimitPositionDetour", "m_W_S_LessPosition_dX",
       "X  < ", "m_W_S_LessPosition_dY", "Y  < ", "m_W_S_Detour_dX", "m_W_S_Detour_dY"},
      {"E_S_PositionLimitDetour", "东南位置受限绕行", "m_E_S_PositionLimitPositionDetour", "m_E_S_LessPosition_dX",
       "X  > ", "m_E_S_LessPosition_dY", "Y  < ", "m_E_S_Detour_dX", "m_E_S_Detour_dY"},
      {"E_N_PositionLimitDetour", "东北位置受限绕行", nullptr, "m_E_N_LessPosition_dX", "X  > ",
       "m_E_N_LessPosition_dY", "Y  > ", nullptr, nullptr},
  };
  auto value = [&](const std::string& key) -> double {
    const DetourSettings& s = *d;
    static const std::map<std::string, double DetourSettings::*> m = {
        {"m_W_S_Detour_dX", &DetourSettings::m_W_S_Detour_dX},
        {"m_W_S_Detour_dY", &DetourSettings::m_W_S_Detour_dY},
        {"m_E_S_Detour_dX", &DetourSettings::m_E_S_Detour_dX},
        {"m_E_S_Detour_dY", &DetourSettings::m_E_S_Detour_dY},
        {"m_W_S_LessPosition_dX", &DetourSettings::m_W_S_LessPosition_dX},
        {"m_W_S_LessPosition_dY", &DetourSettings::m_W_S_LessPosition_dY},
        {"m_E_S_LessPosition_dX", &DetourSettings::m_E_S_LessPosition_dX},
        {"m_E_S_LessPosition_dY", &DetourSettings::m_E_S_LessPosition_dY},
        {"m_E_N_LessPosition_dX", &DetourSettings::m_E_N_LessPosition_dX},
        {"m_E_N_LessPosition_dY", &DetourSettings::m_E_N_LessPosition_dY}};
    return s.*m.at(key);
  };
  for (const auto& z : zones) {
    auto* box = new QGroupBox(tr(z.titleKey, z.titleDefault), this);
    auto* grid = new QGridLayout(box);
    auto* cb = new QCheckBox(tr(z.titleKey, z.titleDefault), box);
    grid->addWidget(cb, 0, 0, 1, 4);
    if (z.enable) {
      checks_[z.enable] = cb;
      cb->setChecked((std::string(z.enable)[2] == 'W' ? d->m_W_S_PositionLimitPositionDetour
                                                      : d->m_E_S_PositionLimitPositionDetour) != 0);
    }
    auto addEdit = [&](const char* key, const QString& label, int row, int col) {
      // A zone without a detour has no detour boxes (a box nothing reads
      // would take the operator's typing without a word).
      if (!key) return;
      auto* e = new QLineEdit(box);
      e->setObjectName(key);
      e->setText(NumberText(value(key)));
      edits_[key] = e;
      grid->addWidget(new QLabel(label, box), row, col);
      grid->addWidget(e, row, col + 1);
    };
    addEdit(z.boundX, z.boundXLabel, 1, 0);
    addEdit(z.boundY, z.boundYLabel, 1, 2);
    addEdit(z.detourX, tr("DetourPosition_X", "绕行坐标X"), 2, 0);
    addEdit(z.detourY, tr("DetourPosition_Y", "绕行坐标Y"), 2, 2);
    outer->addWidget(box);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CDialogPositionLimitDetour::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CDialogPositionLimitDetour::reject);
  buttons->button(QDialogButtonBox::Cancel)->setText(tr("IDCANCEL", "Cancel"));
  outer->addWidget(buttons);
}

bool CDialogPositionLimitDetour::TryAccept() {
  DetourSettings d = *store_.Detour();
  const std::pair<const char*, double DetourSettings::*> doubles[] = {
      {"m_W_S_Detour_dX", &DetourSettings::m_W_S_Detour_dX},
      {"m_W_S_Detour_dY", &DetourSettings::m_W_S_Detour_dY},
      {"m_E_S_Detour_dX", &DetourSettings::m_E_S_Detour_dX},
      {"m_E_S_Detour_dY", &DetourSettings::m_E_S_Detour_dY},
      {"m_W_S_LessPosition_dX", &DetourSettings::m_W_S_LessPosition_dX},
      {"m_W_S_LessPosition_dY", &DetourSettings::m_W_S_LessPosition_dY},
      {"m_E_S_LessPosition_dX", &DetourSettings::m_E_S_LessPosition_dX},
      {"m_E_S_LessPosition_dY", &DetourSettings::m_E_S_LessPosition_dY},
      {"m_E_N_LessPosition_dX", &DetourSettings::m_E_N_LessPosition_dX},
      {"m_E_N_LessPosition_dY", &DetourSettings::m_E_N_LessPosition_dY}};
  d.m_W_S_PositionLimitPositionDetour = checks_.at("m_W_S_PositionLimitPositionDetour")->isChecked() ? 1 : 0;
  d.m_E_S_PositionLimitPositionDetour = checks_.at("m_E_S_PositionLimitPositionDetour")->isChecked() ? 1 : 0;
  // Each bound and point takes the range its reader at start-up takes: the
  // machine's configured travel along its axis.
  const std::string config = platform::ConfigPath(appDir_);
  for (const auto& [key, member] : doubles) {
    const ConfigKeyRange* range = FindConfigKeyRange("PositionLimitDetourConfig", key);
    const auto [lo, hi] = range ? ConfigKeyBounds(*range, config) : std::pair{1.0, 0.0};
    auto v = TakeNumber(edits_.at(key), lo, hi, false);
    if (!v) return false;
    d.*member = *v;
  }
  store_.CommitDetour(appDir_, d);
  return true;
}

void CDialogPositionLimitDetour::accept() {
  if (TryAccept()) QDialog::accept();
}

}  // namespace smt::settings
