#include "stations/CDialogLampMachineList.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <mutex>

#include "platform/MessageService.h"

using namespace smt::stations;

namespace {
std::mutex g_countersMutex;
LampCounters g_counters;

// Integer cells of a row; the others of 3..34 are reals.
bool IntegerCell(int c) {
  return c == 2 || c == 5 || c == 6 || c == 12 || c == 13 || c == 18 || c == 20 || c == 25 || c == 27 || c == 32 ||
         c == 34;
}
}  // namespace

const std::vector<std::string>& CDialogLampMachineList::ColumnTitles() {
  static const std::vector<std::string> t = [] {
    std::vector<std::string> v = {"点号", "平台号", "启用检查", "Mark点X", "Y", "偏移量X", "Y", "坐标点X", "Y",
                                  "坐标偏移X", "Y", "Z", "点胶启动速度", "点胶运行速度", "红胶偏移X", "Y",
                                  "点胶高度", "阀门打开", "底部延时", "阀门关闭", "关闭延时", "1点银偏移X", "Y",
                                  "点胶高度", "阀门打开", "底部延时", "阀门关闭", "关闭延时", "2点银偏移X", "Y",
                                  "点胶高度", "阀门打开", "底部延时", "阀门关闭", "关闭延时"};
    while (v.size() < kLampCols) v.push_back("---");
    return v;
  }();
  return t;
}

CDialogLampMachineEdit::CDialogLampMachineEdit(QWidget* parent) : QDialog(parent) {
  auto* form = new QFormLayout;
  m_point = new QLabel;
  m_platform = new QLabel;
  form->addRow("点号", m_point);
  form->addRow("平台号", m_platform);
  const auto& titles = CDialogLampMachineList::ColumnTitles();
  for (int c = 2; c <= 34; ++c) {
    QWidget* w;
    if (c == 2) {
      w = new QCheckBox;
    } else if (IntegerCell(c)) {
      auto* b = new QSpinBox;
      b->setRange(-2000000000, 2000000000);
      w = b;
    } else {
      auto* b = new QDoubleSpinBox;
      b->setDecimals(4);
      b->setRange(-1e6, 1e6);
      w = b;
    }
    m_fields.push_back(w);
    form->addRow(QString::fromStdString(std::to_string(c) + " " + titles[c]), w);
  }
  auto* inner = new QWidget;
  inner->setLayout(form);
  auto* scroll = new QScrollArea;
  scroll->setWidget(inner);
  auto* ok = new QPushButton("OK");
  auto* cancel = new QPushButton("Cancel");
  connect(ok, &QPushButton::clicked, this, &CDialogLampMachineEdit::accept);
  connect(cancel, &QPushButton::clicked, this, &CDialogLampMachineEdit::reject);
  auto* v = new QVBoxLayout(this);
  v->addWidget(scroll);
  v->addWidget(ok);
  v->addWidget(cancel);
  SetValues(LampPointValues{}, "", "");
}

void CDialogLampMachineEdit::SetValues(const LampPointValues& v, const std::string& point,
                                       const std::string& platform) {
  std::array<std::string, kLampCols> cells{};
  v.WriteCells(cells);
  m_point->setText(QString::fromStdString(point));
  m_platform->setText(QString::fromStdString(platform));
  for (int c = 2; c <= 34; ++c) {
    QWidget* w = m_fields[c - 2];
    if (auto* cb = qobject_cast<QCheckBox*>(w)) cb->setChecked(cells[c] == "1");
    else if (auto* sb = qobject_cast<QSpinBox*>(w)) sb->setValue(QString::fromStdString(cells[c]).toInt());
    else if (auto* db = qobject_cast<QDoubleSpinBox*>(w)) db->setValue(QString::fromStdString(cells[c]).toDouble());
  }
}

LampPointValues CDialogLampMachineEdit::Values() const {
  std::array<std::string, kLampCols> cells{};
  for (int c = 2; c <= 34; ++c) {
    QWidget* w = m_fields[c - 2];
    if (auto* cb = qobject_cast<QCheckBox*>(w)) cells[c].assign(1, cb->isChecked() ? '1' : '0');
    else if (auto* sb = qobject_cast<QSpinBox*>(w)) cells[c] = std::to_string(sb->value());
    else if (auto* db = qobject_cast<QDoubleSpinBox*>(w)) cells[c] = QString::number(db->value(), 'f', 4).toStdString();
  }
  return LampPointValues::FromCells(cells);
}

void CDialogLampMachineEdit::accept() {
  const LampPointValues v = Values();
  const std::string bad = v.CheckRanges();
  if (!bad.empty()) {
    smt::platform::ShowMessage("Value out of range: " + bad);
    return;
  }
  for (const auto& d : v.dots) {
    if (d.valveOpen < d.height) {
      smt::platform::ShowMessage("Value out of range: valve open");
      return;
    }
  }
  QDialog::accept();
}

CDialogLampMachineList::CDialogLampMachineList(std::string appDir, QWidget* parent)
    : QDialog(parent), appDir_(std::move(appDir)) {
  setWindowTitle("点灯机参数表");
  m_list = new QTableWidget(kLampRows, kLampCols);
  QStringList headers;
  for (const auto& t : ColumnTitles()) headers << QString::fromStdString(t);
  m_list->setHorizontalHeaderLabels(headers);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  for (int c = 0; c < kLampCols; ++c) {
    int w = 60;
    if (c == 0) w = 40;
    if (c == 9 || c == 14 || c == 15) w = 70;
    if (c == 12 || c == 13) w = 80;
    if (c == 21 || c == 22 || c == 28 || c == 29) w = 75;
    m_list->setColumnWidth(c, w);
  }
  connect(m_list, &QTableWidget::cellDoubleClicked, this, [this] { OnModify(); });
  auto mk = [](int lo, int hi) {
    auto* b = new QSpinBox;
    b->setRange(lo, hi);
    return b;
  };
  m_editSet = mk(-2000000000, 2000000000);
  m_editFinish = mk(-2000000000, 2000000000);
  m_editUnfinish = mk(-2000000000, 2000000000);
  m_editChange = mk(-2000000000, 2000000000);
  m_editFinish->setEnabled(false);
  m_editUnfinish->setEnabled(false);
  auto* counts = new QFormLayout;
  counts->addRow("设定数量", m_editSet);
  counts->addRow("完成数量", m_editFinish);
  counts->addRow("未完数量", m_editUnfinish);
  counts->addRow("增减数量", m_editChange);
  auto* add = new QPushButton("添加");
  auto* modify = new QPushButton("修改");
  auto* del = new QPushButton("删除");
  auto* confirm = new QPushButton("确定修改");
  auto* ok = new QPushButton("OK");
  connect(add, &QPushButton::clicked, this, &CDialogLampMachineList::OnAdd);
  connect(modify, &QPushButton::clicked, this, &CDialogLampMachineList::OnModify);
  connect(del, &QPushButton::clicked, this, &CDialogLampMachineList::OnDelete);
  connect(confirm, &QPushButton::clicked, this, &CDialogLampMachineList::OnConfirmCounts);
  connect(ok, &QPushButton::clicked, this, &CDialogLampMachineList::accept);
  auto* buttons = new QHBoxLayout;
  for (auto* b : {add, modify, del, confirm, ok}) buttons->addWidget(b);
  auto* v = new QVBoxLayout(this);
  v->addWidget(m_list);
  v->addLayout(counts);
  v->addLayout(buttons);
  counters_ = CurrentLampCounters();
  m_editSet->setValue(counters_.m_CountSet);
  m_editFinish->setValue(counters_.m_CountFinish);
  m_editUnfinish->setValue(counters_.m_CountUnfinish);
  m_editChange->setValue(0);
  Refresh();
}

void CDialogLampMachineList::Refresh() {
  auto& t = LampPointTable::Instance();
  for (int r = 0; r < kLampRows; ++r) {
    const auto row = t.Row(r);
    for (int c = 0; c < kLampCols; ++c) {
      std::string text = row[c];
      if (c == 0) text = row[1].empty() ? "" : std::to_string(r / 2 + 1);
      m_list->setItem(r, c, new QTableWidgetItem(QString::fromStdString(text)));
    }
  }
}

int CDialogLampMachineList::SelectedRow() const {
  const auto sel = m_list->selectionModel()->selectedRows();
  return sel.isEmpty() ? -1 : sel.front().row();
}

bool CDialogLampMachineList::RunEditor(CDialogLampMachineEdit& e) {
  return runEditor ? runEditor(e) : e.exec() == QDialog::Accepted;
}

void CDialogLampMachineList::OnAdd() {
  auto& t = LampPointTable::Instance();
  if (t.PointCount() >= kLampMaxPoints) return;
  CDialogLampMachineEdit e(this);
  if (!RunEditor(e)) return;
  t.AddPoint(e.Values());
  Refresh();
}

void CDialogLampMachineList::OnModify() {
  const int r = SelectedRow();
  auto& t = LampPointTable::Instance();
  if (r < 0 || !t.RowUsed(r)) return;
  CDialogLampMachineEdit e(this);
  const auto row = t.Row(r);
  e.SetValues(LampPointValues::FromCells(row), row[0], row[1]);
  if (!RunEditor(e)) return;
  t.ModifyRow(r, e.Values());
  Refresh();
}

void CDialogLampMachineList::OnDelete() {
  const int r = SelectedRow();
  if (r < 0) return;
  if (LampPointTable::Instance().DeleteRowPoint(r)) Refresh();
}

void CDialogLampMachineList::OnConfirmCounts() {
  const int result = counters_.Confirm(m_editSet->value(), m_editChange->value());
  if (result == 1) {
    m_editSet->setValue(counters_.m_CountSet);
    m_editSet->setFocus();
    return;
  }
  m_editSet->setValue(counters_.m_CountSet);
  m_editUnfinish->setValue(counters_.m_CountUnfinish);
  if (result == 2) {
    m_editChange->setValue(0);
    m_editChange->setFocus();
  }
}

void CDialogLampMachineList::accept() {
  if (m_editSet->value() < 1 || m_editSet->value() > 1000000) {
    smt::platform::ShowMessage("Please enter an integer between 1 and 1000000.");
    m_editSet->setFocus();
    return;
  }
  counters_.m_CountSet = m_editSet->value();
  {
    std::lock_guard lk(g_countersMutex);
    g_counters = counters_;
  }
  if (!counters_.Save(appDir_)) smt::platform::ShowMessage("Failed to save the lamp machine counters !");
  QDialog::accept();
}

void LoadLampMachineCounters(const std::string& appDir) {
  std::lock_guard lk(g_countersMutex);
  g_counters = LampCounters::Load(appDir);
}

LampCounters CurrentLampCounters() {
  std::lock_guard lk(g_countersMutex);
  return g_counters;
}

void SetCurrentLampCounters(const LampCounters& counters) {
  std::lock_guard lk(g_countersMutex);
  g_counters = counters;
}

void OpenLampMachineListDialog(QWidget* parent, const std::string& appDir) {
  CDialogLampMachineList dlg(appDir, parent);
  dlg.exec();
}
