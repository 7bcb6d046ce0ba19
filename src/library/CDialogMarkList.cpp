#include "library/CDialogMarkList.h"
#include "platform/TableColumns.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "library/LibraryRows.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"

using smt::library::MarkListRow;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
struct TextKey {
  const char* key;
  const char* def;
};
const TextKey kTexts[] = {
    {"c_MarkList", "独立MARK点数据库"}, {"c_PartName", "元件名称"},        {"c_VisualSize", "视框尺寸"},
    {"c_MarkDiameter", "Mark点直径"},   {"c_DetectPrecision", "检测精度"}, {"c_LightContrast", "对比度"},
    {"c_LightBrightness", "光亮度"},    {"c_MarkCollectTime", "采像时间"}, {"c_VisualTimes", "对中次数"},
    {"c_ImageColorReversal", "图像颜色反转"}, {"c_PlatformOffset_1", "平台1补尝"},
    {"c_PlatformOffset_2", "平台2补尝"}, {"c_AllowOffset", "允许公差"},   {"c_MarkAdd", "添加"},
    {"c_MarkEdit", "修改"},             {"c_MarkDelete", "删除"},          {"c_IDOK", "确  定"},
    {"c_IDCANCEL", "取  消"},
};
const char* kColumnKeys[16] = {"c_PartName",        "",           "",
                               "",                  "",           "c_AllowOffset",
                               "c_VisualSize",      "c_MarkDiameter", "c_DetectPrecision",
                               "c_LightContrast",   "c_LightBrightness", "c_MarkCollectTime",
                               "c_VisualTimes",     "c_ImageColorReversal", "c_PlatformOffset_1",
                               "c_PlatformOffset_2"};
const char* kFixedTitles[5] = {"", "Mark1-X", "Mark1-Y", "Mark2-X", "Mark2-Y"};
const int kWidths[16] = {60, 60, 60, 60, 85, 75, 80, 85, 85, 75, 85, 80, 80, 80, 80, 80};
}  // namespace

CDialogMarkList::CDialogMarkList(smt::library::MarkLibrary& lib, smt::Machine& machine, Environment env, QWidget* parent)
    : QDialog(parent), lib_(lib), machine_(machine), env_(std::move(env)) {
  runEditor = [](CDialogMarkEdit& e) { return e.exec() == QDialog::Accepted; };
  const smt::platform::LanguageSection lang(env_.appDir, env_.language, "MarkListConfig");
  for (const auto& t : kTexts) texts_[t.key] = lang.Text(std::string("MarkList.") + t.key, t.def);
  Build();
  shown_ = lib_.m_MarkRows;
  ShowRows();
}

std::string CDialogMarkList::Text(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

void CDialogMarkList::Build() {
  setWindowTitle(Q(Text("c_MarkList")));
  resize(1000, 480);
  list_ = new QTableWidget(this);
  smt::platform::KeepColumnsWideEnough(list_);
  list_->setColumnCount(smt::library::kMarkCells);
  QStringList titles;
  for (int c = 0; c < 16; ++c) titles << ((c >= 1 && c <= 4) ? QString(kFixedTitles[c]) : Q(Text(kColumnKeys[c])));
  list_->setHorizontalHeaderLabels(titles);
  for (int c = 0; c < 16; ++c) list_->setColumnWidth(c, kWidths[c]);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setAlternatingRowColors(true);
  list_->setStyleSheet("QTableWidget { background: rgb(240,250,250); alternate-background-color: rgb(225,250,250); color: black; }");
  list_->verticalHeader()->hide();
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list_, &QTableWidget::cellClicked, this, [this](int r, int) { OnSelectRow(r); });
  connect(list_, &QTableWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { OnSelectRow(list_->rowAt(pos.y())); });
  connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int r, int) {
    OnSelectRow(r);
    OnModify();
  });
  connect(list_->horizontalHeader(), &QHeaderView::sectionClicked, this, &CDialogMarkList::OnColumnClick);
  auto* buttons = new QHBoxLayout;
  auto button = [&](const char* key, void (CDialogMarkList::*slot)()) {
    auto* b = new QPushButton(Q(Text(key)), this);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    buttons->addWidget(b);
  };
  button("c_MarkAdd", &CDialogMarkList::OnAdd);
  button("c_MarkEdit", &CDialogMarkList::OnModify);
  button("c_MarkDelete", &CDialogMarkList::OnDelete);
  buttons->addStretch();
  button("c_IDOK", &CDialogMarkList::accept);
  button("c_IDCANCEL", &CDialogMarkList::reject);
  auto* all = new QVBoxLayout(this);
  all->addWidget(list_);
  all->addLayout(buttons);
}

void CDialogMarkList::SetListRow(int row, MarkListRow mark) {
  if (row < 0 || row >= static_cast<int>(shown_.size())) return;
  for (int c = 0; c < smt::library::kMarkCells; ++c) list_->setItem(row, c, new QTableWidgetItem(Q(mark[c])));
  shown_[static_cast<size_t>(row)] = std::move(mark);
}

void CDialogMarkList::ShowRows() {
  list_->setRowCount(static_cast<int>(shown_.size()));
  for (int r = 0; r < static_cast<int>(shown_.size()); ++r)
    for (int c = 0; c < smt::library::kMarkCells; ++c)
      list_->setItem(r, c, new QTableWidgetItem(Q(shown_[static_cast<size_t>(r)][c])));
}

void CDialogMarkList::OnSelectRow(int row) { m_nSelectedRow = (row >= 0 && row < list_->rowCount()) ? row : -1; }

bool CDialogMarkList::RunEditor() {
  CDialogMarkEdit::Environment e;
  e.appDir = env_.appDir;
  e.language = env_.language;
  const int self = m_nSelectedRow;
  e.nameTaken = [this, self](const std::string& name) {
    for (int r = 0; r < static_cast<int>(shown_.size()); ++r)
      if (r != self && shown_[static_cast<size_t>(r)].Name() == name) return true;
    return false;
  };
  CDialogMarkEdit editor(lib_.editor, machine_, e, this);
  return runEditor(editor);
}

void CDialogMarkList::OnAdd() {
  m_nSelectedRow = -1;
  if (!RunEditor()) return;
  shown_.push_back(MarkListRow::Of(lib_.editor));
  ShowRows();
  lib_.m_MarkRows = shown_;
}

void CDialogMarkList::OnModify() {
  if (m_nSelectedRow < 0 || m_nSelectedRow >= static_cast<int>(shown_.size())) return;
  // A row whose numbers cannot be read is named (as the list's row) and not
  // opened; it stays in the list as the file held it.
  const MarkListRow& mark = shown_[static_cast<size_t>(m_nSelectedRow)];
  if (!mark.record) {
    const MarkListRow named(mark.cells, m_nSelectedRow + 1);
    smt::platform::ShowMessage(named.problem, smt::platform::MsgButtons::Ok, smt::platform::MsgIcon::Warning);
    return;
  }
  lib_.editor = *mark.record;
  if (!RunEditor()) return;
  SetListRow(m_nSelectedRow, MarkListRow::Of(lib_.editor));
  lib_.m_MarkRows = shown_;
}

void CDialogMarkList::OnDelete() {
  if (m_nSelectedRow < 0 || m_nSelectedRow >= static_cast<int>(shown_.size())) return;
  shown_.erase(shown_.begin() + m_nSelectedRow);
  list_->removeRow(m_nSelectedRow);
  lib_.m_MarkRows = shown_;
  if (m_nSelectedRow >= static_cast<int>(shown_.size())) m_nSelectedRow = -1;
}

void CDialogMarkList::OnColumnClick(int column) {
  smt::library::SortMarkRows(shown_, column);
  ShowRows();
  lib_.m_MarkRows = shown_;
}

bool CDialogMarkList::TryAccept() {
  lib_.m_MarkRows = shown_;
  // Rows not changed go back as the file held them.
  std::vector<std::string> strings = lib_.BuildRowStrings();
  if (env_.frameRows) strings = smt::library::KeepLinesAsRead<smt::library::kMarkCells>(std::move(strings), *env_.frameRows);
  if (env_.frameRows) *env_.frameRows = strings;
  try {
    smt::library::WriteLibraryFile(env_.appDir, smt::library::kMarkFileName, strings);
  } catch (const std::exception& e) {
    smt::platform::ShowMessage(e.what(), smt::platform::MsgButtons::Ok, smt::platform::MsgIcon::Error);
    return false;
  }
  QDialog::accept();
  return true;
}

void CDialogMarkList::accept() { TryAccept(); }
