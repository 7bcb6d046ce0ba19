#include "feeder/CDialogAutoFeed.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/MachineState.h"
#include "feeder/AutoFeeders.h"
#include "feeder/CDialogFeedList.h"
#include "feeder/FeederTestThread.h"
#include "link/MachineGuards.h"
#include "platform/NumberFieldReader.h"
#include "platform/RangeRefusal.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"

using namespace smt::feeder;

namespace {
constexpr int kIconRole = Qt::UserRole + 1;
const std::vector<FeederTexts::Entry>& AutoEntries() {
  static const std::vector<FeederTexts::Entry> e = {
      {"AutoFeed.c_WholeFeedSet", "集中飞达设置"}, {"AutoFeed.c_Feed_Times", "送料次数"},
      {"AutoFeed.c_Feed_Delay", "送料延时"}, {"AutoFeed.c_Open_Length", "松皮长度"},
      {"AutoFeed.c_Close_Length", "紧皮长度"}, {"AutoFeed.c_AutoFeedSet", "自动飞达设置"},
      {"AutoFeed.c_FeedBack_Delay", "飞达回退延时"}, {"AutoFeed.c_FeedTestSet", "料架自动测试设置"},
      {"AutoFeed.c_TestLoop", "测试循环数"}, {"AutoFeed.c_IDOK", "确定"}, {"AutoFeed.c_IDCANCEL", "取消"}};
  return e;
}
const std::vector<FeederTexts::Entry>& PartListEntries() {
  static const std::vector<FeederTexts::Entry> e = {{"PartList.c_IntegrationFeed", "集中飞达"},
                                                    {"PartList.c_AutoFeed", "自动飞达"},
                                                    {"PartList.c_VibrationFeed", "振动飞达"},
                                                    {"PartList.c_DragHand", "拖针"}};
  return e;
}
struct FieldDef {
  const char* key;
  const char* label;
  int min, max;
  int AutoFeedConfig::*member;
};
const FieldDef kFields[] = {{"m_Feed_Times", "AutoFeed.c_Feed_Times", 1, 10, &AutoFeedConfig::m_Feed_Times},
                            {"m_Feed_Delay", "AutoFeed.c_Feed_Delay", 0, 10000, &AutoFeedConfig::m_Feed_Delay},
                            {"m_Open_Length", "AutoFeed.c_Open_Length", 0, 1000, &AutoFeedConfig::m_Open_Length},
                            {"m_Close_Length", "AutoFeed.c_Close_Length", 0, 1000, &AutoFeedConfig::m_Close_Length},
                            {"m_FeedBack_Delay", "AutoFeed.c_FeedBack_Delay", 0, 65535, &AutoFeedConfig::m_FeedBack_Delay},
                            {"m_TestLoop", "AutoFeed.c_TestLoop", 1, 10000, &AutoFeedConfig::m_TestLoop}};
struct CheckDef {
  const char* key;
  const char* label;
  int AutoFeedConfig::*member;
};
const CheckDef kChecks[] = {{"m_bIntegrationFeed", "PartList.c_IntegrationFeed", &AutoFeedConfig::m_bIntegrationFeed},
                            {"m_bAutoFeed", "PartList.c_AutoFeed", &AutoFeedConfig::m_bAutoFeed},
                            {"m_bVibrationFeed", "PartList.c_VibrationFeed", &AutoFeedConfig::m_bVibrationFeed},
                            {"m_bDragHand", "PartList.c_DragHand", &AutoFeedConfig::m_bDragHand}};
// Built on first use, on the window thread (the dialog's cells).
QIcon OnIcon() {
  static const QIcon icon = [] {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setBrush(QColor(40, 160, 40));
    p.drawEllipse(6, 6, 20, 20);
    return QIcon(pm);
  }();
  return icon;
}
}  // namespace

CDialogAutoFeed::CDialogAutoFeed(smt::Machine& machine, QWidget* parent) : QDialog(parent), machine_(machine) {
  setObjectName("CDialogAutoFeed");
  texts_.Defaults(AutoEntries());
  texts_.Defaults(PartListEntries());
  auto* outer = new QVBoxLayout(this);
  grid_ = new QTableWidget(6, 17, this);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->verticalHeader()->hide();
  grid_->setIconSize(QSize(32, 32));
  QStringList titles{"||||||------"};
  for (int c = 1; c <= 16; ++c) titles << QString::number(c);
  grid_->setHorizontalHeaderLabels(titles);
  grid_->setColumnWidth(0, 60);
  for (int c = 1; c <= 16; ++c) grid_->setColumnWidth(c, 33);
  for (int r = 0; r < 6; ++r) {
    grid_->setItem(r, 0, new QTableWidgetItem(QString::number(r + 1)));
    for (int c = 1; c <= 16; ++c) {
      auto* it = new QTableWidgetItem(QString::number(16 * r + c));
      it->setTextAlignment(Qt::AlignCenter);
      grid_->setItem(r, c, it);
    }
  }
  outer->addWidget(grid_);
  auto* form = new QGridLayout;
  int row = 0;
  for (const FieldDef& f : kFields) {
    auto* l = new QLabel(this);
    l->setObjectName(f.label);
    auto* e = new QLineEdit(this);
    edits_[f.key] = e;
    form->addWidget(l, row / 3, (row % 3) * 2);
    form->addWidget(e, row / 3, (row % 3) * 2 + 1);
    ++row;
  }
  outer->addLayout(form);
  auto* checks = new QHBoxLayout;
  for (const CheckDef& c : kChecks) {
    auto* cb = new QCheckBox(this);
    cb->setObjectName(c.label);
    checks_[c.key] = cb;
    checks->addWidget(cb);
  }
  outer->addLayout(checks);
  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(this);
  ok->setObjectName("AutoFeed.c_IDOK");
  auto* cancel = new QPushButton(this);
  cancel->setObjectName("AutoFeed.c_IDCANCEL");
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  outer->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, [this] { accept(); });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
  connect(grid_, &QTableWidget::cellClicked, this, [this](int r, int c) { OnGridClick(r, c); });
}

QLineEdit* CDialogAutoFeed::Edit(const std::string& key) const {
  auto it = edits_.find(key);
  return it == edits_.end() ? nullptr : it->second;
}
QCheckBox* CDialogAutoFeed::Check(const std::string& key) const {
  auto it = checks_.find(key);
  return it == checks_.end() ? nullptr : it->second;
}

void CDialogAutoFeed::LoadLanguage(const std::string& appDir, const std::string& language) {
  texts_.Load(appDir, language, "AutoFeedConfig", AutoEntries());
  texts_.Load(appDir, language, "PartListConfig", PartListEntries());
}

bool CDialogAutoFeed::CellOn(int row, int column) const {
  const QTableWidgetItem* it = grid_->item(row, column);
  return it && it->data(kIconRole).toInt() == 1;
}

void CDialogAutoFeed::ShowMask() {
  const auto& af = AutoFeeders::Of(machine_);
  for (int r = 0; r < 6; ++r)
    for (int c = 1; c <= 16; ++c) {
      const bool on = af.IsFeederOn(16 * r + c);
      grid_->item(r, c)->setData(kIconRole, on ? 1 : 0);
      grid_->item(r, c)->setIcon(on ? OnIcon() : QIcon());
    }
}

void CDialogAutoFeed::OnInitDialog() {
  setWindowTitle(texts_.Q("PartList.c_AutoFeed"));
  for (QLabel* l : findChildren<QLabel*>()) l->setText(texts_.Q(l->objectName().toStdString()));
  for (QCheckBox* c : findChildren<QCheckBox*>()) c->setText(texts_.Q(c->objectName().toStdString()));
  for (QPushButton* b : findChildren<QPushButton*>()) b->setText(texts_.Q(b->objectName().toStdString()));
  const AutoFeedConfig cfg = AutoFeeders::Of(machine_).Config();
  for (const FieldDef& f : kFields) edits_[f.key]->setText(QString::number(cfg.*(f.member)));
  for (const CheckDef& c : kChecks) checks_[c.key]->setChecked(cfg.*(c.member) != 0);
  ShowMask();
}

void CDialogAutoFeed::OnGridClick(int row, int column) {
  if (!machine_.connected) {
    smt::platform::ShowMessage(smt::link::kNotConnected);
    return;
  }
  if (machine_.machineBusy) {
    smt::platform::ShowMessage(smt::link::kRunning);
    return;
  }
  if (row < 0 || row > 5 || column < 0 || column > 16) return;
  auto& af = AutoFeeders::Of(machine_);
  if (column >= 1) {
    const int n = 16 * row + column;  // the feeder the cell shows
    af.ToggleFeeder(n, machine_.machineType);
    af.SetCmd(af.CmdWord(), af.IsFeederOn(n) || machine_.machineType == 8 ? n : 0);
  } else {
    af.SetRow(row, !CellOn(row, 1));
  }
  ShowMask();
  FeederTestRequest r;
  r.mode = -4;
  StartFeederTestWorker(machine_, std::move(r), {});
}

bool CDialogAutoFeed::TryAccept() {
  AutoFeedConfig cfg = AutoFeeders::Of(machine_).Config();
  for (const FieldDef& f : kFields) {
    const auto v = smt::platform::ReadOperatorNumber(edits_[f.key], f.min, f.max, true);
    if (!v) return false;
    cfg.*(f.member) = static_cast<int>(*v);
  }
  for (const CheckDef& c : kChecks) cfg.*(c.member) = checks_[c.key]->isChecked() ? 1 : 0;
  AutoFeeders::Of(machine_).SetConfig(cfg);
  return true;
}

void CDialogAutoFeed::accept() {
  if (TryAccept()) QDialog::accept();
}

void OpenAutoFeedDialog(smt::Machine& machine, QWidget* parent, const std::string& appDir, const std::string& language) {
  CDialogAutoFeed d(machine, parent);
  d.LoadLanguage(appDir, language);
  d.OnInitDialog();
  d.exec();
}
