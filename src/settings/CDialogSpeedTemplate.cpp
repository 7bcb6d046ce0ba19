#include "settings/CDialogSpeedTemplate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/MachineState.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "settings/DialogSupport.h"
#include "settings/SpeedStore.h"
#include "platform/RefusalTexts.h"

namespace smt::settings {

namespace {

const char* kAxisLabels[kSpeedAxisCount][2] = {
    {"Motor_X", "X 轴电机"},           {"Motor_Y", "Y 轴电机"},          {"Motor_Z1", "Z1 轴电机"},
    {"Motor_Z2", "Z2 轴电机"},         {"Motor_A1", "A1 轴电机"},        {"Motor_A2", "A2 轴电机"},
    {"Motor_A3", "A3 轴电机"},         {"Motor_A4", "A4 轴电机"},        {"Motor_WestWalk", "西面走位"},
    {"Motor_WestLift", "西面拉皮"},     {"Motor_NorthWalk", "北面走位"},  {"Motor_NorthLift", "北面拉皮"},
    {"Motor_EastWalk", "东面走位"},     {"Motor_EastLift", "东面拉皮"},   {"Motor_AutoWalk1", "自动进料1"},
    {"Motor_AutoWalk2", "自动进料2"}};

const char* kColumnTitles[kTemplateCells] = {"速度名称", "X 轴电机", "Y 轴电机", "Z1 轴电机", "Z2 轴电机",
                                             "A1 轴电机", "A2 轴电机", "A3 轴电机", "A4 轴电机", "西面走位",
                                             "西面拉皮", "北面走位", "北面拉皮", "东面走位", "东面拉皮",
                                             "南面走位", "南面拉皮"};

const char* kUseRows[kSpeedUseCount] = {"复位速度XYZF有效", "手控速度全部有效", "取料速度XYZF有效",
                                        "贴装速度XYZA有效", "视觉对中速度XYA有效", "视觉贴装速度XYZ有效",
                                        "自动换吸嘴速度XYZ有效"};

const char* kStepLabels[20] = {"XY快速定位", "XY中速定位", "XY慢速定位", "XY精细定位", "Z 快速定位",
                               "Z 中速定位", "Z 慢速定位", "Z 精细定位", "A 快速定位", "A 中速定位",
                               "A 慢速定位", "A 精细定位", "飞达快速定位", "飞达中速定位", "飞达慢速定位",
                               "飞达精细定位", "S快速定位", "S中速定位", "S慢速定位", "S精细定位"};

struct MessageText {
  const char* key;
  const char* def;
};
const MessageText kMessages[] = {
    {"SpeedTemplate.c_Message_01", "请选择速度模板 !"},
    {"SpeedTemplate.c_Message_02", "请选择要删除的速度 !"},
    {"SpeedTemplate.c_Message_03", "要删除的速度在速度设置里已经被使用，\r\n请先改变速度设置后再删除此速度 !"},
    {"SpeedTemplate.c_Message_04", "速度模板没有内容，请先添加 !"},
    {"SpeedTemplate.c_Message_05", "速度名称不能为空 !"},
    {"SpeedTemplate.c_Message_06", "速度名称不能相同 !"},
    {"SpeedTemplate.c_Message_07", "没有发现对应的速度名称 !"},
};

}  // namespace

QString CDialogSpeedTemplate::Text(const char* name, const char* def) const {
  platform::LanguageSection lang(appDir_, language_, "SpeedTemplateConfig");
  return QString::fromStdString(lang.Text(std::string("SpeedTemplate.c_") + name, def));
}

CDialogSpeedTemplate::CDialogSpeedTemplate(SpeedStore& store, std::string appDir, std::string language, int page,
                                           QWidget* parent)
    : QDialog(parent), store_(store), appDir_(std::move(appDir)), language_(std::move(language)) {
  setObjectName("CDialogSpeedTemplate");
  setWindowTitle(Text("SpeedTemplate", "速度模板管理"));
  const auto state = store_.Get();
  editor_ = std::make_unique<SpeedTemplateEditor>(state->tiers, state->uses);
  settings_ = state->settings;

  auto* outer = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  tabs_ = new QTabWidget(this);
  // Speed-use page.
  platform::LanguageSection setLang(appDir_, language_, "SpeedSetConfig");
  useTable_ = new QTableWidget(kSpeedUseCount, 2, tabs_);
  useTable_->setHorizontalHeaderLabels(
      {QString::fromStdString(setLang.Text("SpeedSet.c_SpeedSetList_01", "速度类型")),
       QString::fromStdString(setLang.Text("SpeedSet.c_SpeedSetList_02", "速度设置"))});
  useTable_->setColumnWidth(0, 208);
  useTable_->setColumnWidth(1, 338);
  for (int u = 0; u < kSpeedUseCount; ++u) {
    char key[40];
    std::snprintf(key, sizeof key, "SpeedSet.c_SpeedSetList_%02d", u + 3);
    auto* item = new QTableWidgetItem(QString::fromStdString(setLang.Text(key, kUseRows[u])));
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    useTable_->setItem(u, 0, item);
    auto* combo = new QComboBox(useTable_);
    useChoices_[u] = combo;
    useTable_->setCellWidget(u, 1, combo);
    connect(combo, &QComboBox::currentTextChanged, this, [this, u](const QString& t) {
      if (!refreshing_) editor_->SetUse(u, t.toStdString());
    });
  }
  tabs_->addTab(useTable_, Text("SpeedSet", "速度设置"));
  // Tier pages.
  platform::LanguageSection listLang(appDir_, language_, "SpeedListConfig");
  const char* tierTabs[3][2] = {{"SpeedHigh", "高速模板"}, {"SpeedMedium", "中速模板"}, {"SpeedLow", "低速模板"}};
  for (int t = 0; t < 3; ++t) {
    auto* table = new QTableWidget(0, kTemplateCells, tabs_);
    QStringList titles;
    for (int c = 0; c < kTemplateCells; ++c) {
      char key[40];
      std::snprintf(key, sizeof key, "SpeedList.c_SpeedList_%02d", c + 1);
      titles << QString::fromStdString(listLang.Text(key, kColumnTitles[c]));
    }
    table->setHorizontalHeaderLabels(titles);
    table->setColumnWidth(0, 150);
    for (int c = 1; c < kTemplateCells; ++c) table->setColumnWidth(c, 80);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setStyleSheet("QTableWidget { background: rgb(240, 250, 250); alternate-background-color: white; }");
    table->setAlternatingRowColors(true);
    const Tier tier = static_cast<Tier>(t + 1);
    connect(table, &QTableWidget::cellClicked, this, [this, tier](int row, int) { OnRowClicked(tier, row); });
    tierTables_[t] = table;
    tabs_->addTab(table, Text(tierTabs[t][0], tierTabs[t][1]));
  }
  left->addWidget(tabs_);

  // One-key derivation and options.
  auto* fast = new QGroupBox(Text("FastModifySpeed", "一键修改速度"), this);
  auto* fg = new QGridLayout(fast);
  auto addSetting = [&](QGridLayout* g, const char* key, const QString& label, int row, int col) {
    auto* e = new QLineEdit(fast);
    e->setObjectName(key);
    settingEdits_[key] = e;
    g->addWidget(new QLabel(label), row, col);
    g->addWidget(e, row, col + 1);
    return e;
  };
  auto addCheck = [&](QGridLayout* g, const char* key, const QString& label, int row) {
    auto* c = new QCheckBox(label, fast);
    c->setObjectName(key);
    settingChecks_[key] = c;
    g->addWidget(c, row, 0, 1, 3);
    return c;
  };
  addSetting(fg, "m_MediumSpeedZoom", Text("MediumSpeedZoom", "中速比例") + " %", 0, 0);
  auto* mediumButton = new QPushButton(Text("MediumSpeedModify", "一键修改"), fast);
  fg->addWidget(mediumButton, 0, 2);
  addSetting(fg, "m_LowSpeedZoom", Text("LowSpeedZoom", "低速比例") + " %", 1, 0);
  auto* lowButton = new QPushButton(Text("LowSpeedModify", "一键修改"), fast);
  fg->addWidget(lowButton, 1, 2);
  connect(mediumButton, &QPushButton::clicked, this, [this] { OnDerive(Tier::Medium); });
  connect(lowButton, &QPushButton::clicked, this, [this] { OnDerive(Tier::Low); });
  auto* modifyReset = addCheck(fg, "m_bModifyResetSpeed", Text("ModifyResetSpeed", "使能修改复位速度"), 2);
  auto* changeReset =
      addCheck(fg, "m_ChangeResetSpeed", Text("ChangeResetSpeed", "一键修改时不改变复位速度，适用于伺服"), 3);
  connect(modifyReset, &QCheckBox::toggled, changeReset, &QCheckBox::setEnabled);
  addCheck(fg, "m_bOptimizeFarSpeed", Text("OptimizeFarSpeed", "优化较远距离XY加速度"), 4);
  addSetting(fg, "m_AccelSpeed", Text("SpeedValve", "远近速度调和阀") + " %", 5, 0);
  addCheck(fg, "m_bMaxSpeedLimit", Text("MaxSpeedLimit", "限制最高速度"), 6);
  addSetting(fg, "m_MaxSpeedLimitValue", "10< ... <100", 7, 0);
  left->addWidget(fast);

  // Edit pane.
  auto* right = new QVBoxLayout;
  auto* pane = new QGroupBox(Text("CustomSpeedEdit", "速度自定义编辑框"), this);
  auto* pg = new QGridLayout(pane);
  name_ = new QLineEdit(pane);
  name_->setMaxLength(static_cast<int>(kTemplateNameMax));
  pg->addWidget(new QLabel(Text("SpeedName", "速度名称 ：")), 0, 0);
  pg->addWidget(name_, 0, 1, 1, 6);
  const char* tierTitles[3][2] = {{"HighSpeedTemplate", "高速模板"}, {"MediumSpeedTemplate", "中速模板"},
                                  {"LowSpeedTemplate", "低速模板"}};
  for (int t = 0; t < 3; ++t) {
    pg->addWidget(new QLabel(Text(tierTitles[t][0], tierTitles[t][1])), 1, 1 + 2 * t, 1, 2);
    pg->addWidget(new QLabel(Text("Start", "启动")), 2, 1 + 2 * t);
    pg->addWidget(new QLabel(Text("Normal", "运行")), 2, 2 + 2 * t);
  }
  for (int a = 0; a < kSpeedAxisCount; ++a) {
    pg->addWidget(new QLabel(Text(kAxisLabels[a][0], kAxisLabels[a][1])), 3 + a, 0);
    for (int t = 0; t < 3; ++t)
      for (int k = 0; k < 2; ++k) {
        auto* e = new QLineEdit("1", pane);
        e->setMaximumWidth(60);
        grid_[t][a][k] = e;
        pg->addWidget(e, 3 + a, 1 + 2 * t + k);
      }
  }
  auto* note = new QLabel(Text("Note", "启动速度要小于正常速度，并调试设定好合理的值，不能使步进电机失步。"), pane);
  note->setWordWrap(true);
  note->setMinimumHeight(3 * note->fontMetrics().lineSpacing());
  pg->addWidget(note, 3 + kSpeedAxisCount, 0, 1, 7);
  auto* editButtons = new QHBoxLayout;
  auto* add = new QPushButton(Text("AddSpeed", "添加速度"), pane);
  auto* change = new QPushButton(Text("EditSpeed", "修改速度"), pane);
  auto* del = new QPushButton(Text("DeleteSpeed", "删除速度"), pane);
  connect(add, &QPushButton::clicked, this, &CDialogSpeedTemplate::OnAdd);
  connect(change, &QPushButton::clicked, this, &CDialogSpeedTemplate::OnChange);
  connect(del, &QPushButton::clicked, this, &CDialogSpeedTemplate::OnDelete);
  editButtons->addWidget(add);
  editButtons->addWidget(change);
  editButtons->addWidget(del);
  pg->addLayout(editButtons, 4 + kSpeedAxisCount, 0, 1, 7);
  right->addWidget(pane);

  auto* steps = new QGroupBox(Text("ManualSetting", "手控定位设置"), this);
  auto* sg = new QGridLayout(steps);
  for (int i = 0; i < 20; ++i) {
    const auto& f = SpeedSettingFields()[9 + i];
    auto* e = new QLineEdit(steps);
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance("00000") + 12);
    e->setObjectName(f.key);
    settingEdits_[f.key] = e;
    const std::string labelKey = std::string(f.key).substr(2);
    sg->addWidget(new QLabel(Text(labelKey.c_str(), kStepLabels[i])), i % 5, (i / 5) * 2);
    sg->addWidget(e, i % 5, (i / 5) * 2 + 1);
  }
  // Below the templates, so that the dialog fits a short screen.
  left->addWidget(steps);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(Text("IDOK", "确定"), QDialogButtonBox::AcceptRole);
  buttons->addButton(Text("IDCANCEL", "取消"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &CDialogSpeedTemplate::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CDialogSpeedTemplate::reject);
  right->addWidget(buttons);
  outer->addLayout(left, 3);
  outer->addLayout(right, 2);

  // Fields from the copy.
  for (auto& [key, edit] : settingEdits_) {
    for (const auto& f : SpeedSettingFields())
      if (key == f.key) edit->setText(QString::number(settings_.*f.member));
  }
  for (auto& [key, check] : settingChecks_) {
    for (const auto& f : SpeedSettingFields())
      if (key == f.key) check->setChecked(settings_.*f.member != 0);
  }
  changeReset->setEnabled(settings_.m_bModifyResetSpeed != 0);
  EnableTier(-1);
  Refresh();
  tabs_->setCurrentIndex(page >= 0 && page <= 3 ? page : 0);
  resize(1500, 800);
}

CDialogSpeedTemplate::~CDialogSpeedTemplate() = default;

QLineEdit* CDialogSpeedTemplate::SpeedEdit(Tier t, int axis, bool normal) const {
  return grid_[static_cast<int>(t) - 1][axis][normal ? 1 : 0];
}

void CDialogSpeedTemplate::Refresh() {
  refreshing_ = true;
  const auto& tiers = editor_->Tiers();
  for (int t = 0; t < 3; ++t) {
    const auto& rows = tiers.Of(static_cast<Tier>(t + 1));
    auto* table = tierTables_[t];
    table->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
      const auto shown = rows[r].ShownCells();
      for (int c = 0; c < kTemplateCells; ++c)
        table->setItem(r, c, new QTableWidgetItem(QString::fromStdString(shown[static_cast<size_t>(c)])));
    }
  }
  for (int u = 0; u < kSpeedUseCount; ++u) {
    auto* combo = useChoices_[u];
    combo->clear();
    for (const auto& n : editor_->ChoiceNames()) combo->addItem(QString::fromStdString(n));
    const QString current = QString::fromStdString(editor_->Uses()[u]);
    int index = combo->findText(current, Qt::MatchFixedString);
    if (index < 0 && !current.isEmpty()) {
      combo->addItem(current);  // a name the tiers do not hold stays visible
      index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
  }
  refreshing_ = false;
}

void CDialogSpeedTemplate::ShowGrid(const SpeedGrid& grid) {
  for (int t = 0; t < 3; ++t)
    for (int a = 0; a < kSpeedAxisCount; ++a) {
      grid_[t][a][0]->setText(QString::number(grid[t][a].start));
      grid_[t][a][1]->setText(QString::number(grid[t][a].normal));
    }
}

void CDialogSpeedTemplate::EnableTier(int tierIndex) {
  for (int t = 0; t < 3; ++t)
    for (auto& axis : grid_[t])
      for (auto* e : axis) e->setEnabled(tierIndex < 0 || t == tierIndex);
}

bool CDialogSpeedTemplate::TakeFields(SpeedSettings& s, SpeedGrid& grid, std::string& name) {
  name = name_->text().toStdString();
  for (int t = 0; t < 3; ++t)
    for (int a = 0; a < kSpeedAxisCount; ++a) {
      auto start = TakeNumber(grid_[t][a][0], kSpeedMin, kSpeedMax, true);
      if (!start) return false;
      auto normal = TakeNumber(grid_[t][a][1], kSpeedMin, kSpeedMax, true);
      if (!normal) return false;
      grid[t][a] = {static_cast<int>(*start), static_cast<int>(*normal)};
    }
  for (const auto& f : SpeedSettingFields()) {
    if (auto it = settingEdits_.find(f.key); it != settingEdits_.end()) {
      auto v = TakeNumber(it->second, f.min, f.max, true);
      if (!v) return false;
      s.*f.member = static_cast<int>(*v);
    }
    if (auto it = settingChecks_.find(f.key); it != settingChecks_.end()) s.*f.member = it->second->isChecked() ? 1 : 0;
  }
  return true;
}

void CDialogSpeedTemplate::Report(EditResult r) {
  const std::string key = EditResultMessageKey(r);
  if (key.empty()) return;
  for (const auto& m : kMessages) {
    if (key == m.key) {
      platform::LanguageSection lang(appDir_, language_, "SpeedTemplateConfig");
      platform::ShowMessage(lang.Text(m.key, m.def));
    }
  }
}

void CDialogSpeedTemplate::OnRowClicked(Tier t, int row) {
  SpeedGrid grid{};
  SpeedSettings s = settings_;
  std::string name;
  if (!TakeFields(s, grid, name)) grid = DefaultSpeedGrid();
  const bool modifyReset = settingChecks_.at("m_bModifyResetSpeed")->isChecked();
  if (editor_->SelectRow(t, row, modifyReset, grid, name) != EditResult::Done) return;
  name_->setText(QString::fromStdString(name));
  ShowGrid(grid);
  EnableTier(static_cast<int>(t) - 1);
}

void CDialogSpeedTemplate::OnAdd() {
  SpeedGrid grid{};
  std::string name;
  SpeedSettings s = settings_;
  if (!TakeFields(s, grid, name)) return;
  Report(editor_->Add(name, grid));
  Refresh();
}

void CDialogSpeedTemplate::OnChange() {
  if (editor_->SelectedRow() < 0) return;
  SpeedGrid grid{};
  std::string name;
  SpeedSettings s = settings_;
  if (!TakeFields(s, grid, name)) return;
  Report(editor_->Change(name, tabs_->currentIndex(), grid));
  Refresh();
  EnableTier(-1);
}

void CDialogSpeedTemplate::OnDelete() {
  Report(editor_->Delete());
  Refresh();
  EnableTier(-1);
}

void CDialogSpeedTemplate::OnDerive(Tier t) {
  SpeedGrid grid{};
  std::string name;
  SpeedSettings s = settings_;
  if (!TakeFields(s, grid, name)) return;
  const int zoom = t == Tier::Medium ? s.m_MediumSpeedZoom : s.m_LowSpeedZoom;
  Report(editor_->Derive(t, zoom, s.m_ChangeResetSpeed != 0));
  Refresh();
}

bool CDialogSpeedTemplate::TryAccept() {
  SpeedGrid grid{};
  std::string name;
  SpeedSettings s = settings_;
  if (!TakeFields(s, grid, name)) return false;
  const auto result = store_.CommitOk(appDir_, tabs_->currentIndex(), editor_->Tiers(), editor_->Uses(), s);
  platform::LanguageSection lang(appDir_, language_, "SpeedTemplateConfig");
  for (const auto& key : result.messageKeys) {
    for (const auto& m : kMessages)
      if (key == m.key) platform::ShowMessage(lang.Text(m.key, m.def));
  }
  if (!result.error.empty()) {
    platform::ShowMessage(smt::platform::FillText(smt::platform::WindowText("SettingsMessagesConfig", "SettingsMessages.c_SpeedFileError", "速度文件 config_speed.fig：%1"), {result.error}));
    return false;
  }
  return result.closed;
}

void CDialogSpeedTemplate::accept() {
  if (TryAccept()) QDialog::accept();
}

}  // namespace smt::settings
