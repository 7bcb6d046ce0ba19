#include "library/CDialogPackList.h"
#include "platform/TableColumns.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QTableWidget>

#include "library/LibraryRows.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"

using smt::library::PackListRow;
using smt::library::PackRow;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

struct TextKey {
  const char* key;
  const char* def;
};
// Column titles 0..25 in cell order.
const TextKey kColumns[26] = {
    {"c_PartPack", "元件封装"},        {"c_PackLength", "元度长度"},        {"c_PackWidth", "元件宽度"},
    {"c_PackThick", "元件厚度"},       {"c_VisualContrast", "视觉对比度"},  {"c_VisualBright", "视觉亮度"},
    {"c_PickDelay", "取料延时"},       {"c_SmtDelay", "贴装延时"},          {"c_Camera", "相机"},
    {"c_VisualAlign", "视觉对中"},     {"c_RunAlign", "飞行对中"},          {"c_NozzleType", "吸嘴型号"},
    {"c_SpecialSpeed", "独立速度"},    {"c_SpeedName", "速度名称"},         {"c_ImageFeature", "图像特征"},
    {"c_SelectFeedMode", "选择送料方式"}, {"c_FeedTimes", "送料次数"},      {"c_FeedTime", "送料时间"},
    {"c_OpenLength", "松皮长度"},      {"c_CloseLength", "紧皮长度"},       {"c_Precision_XY", "X Y 校正精度"},
    {"c_Precision_A", "角度校正精度"}, {"c_CollectPictureTime", "采像时间"}, {"c_NozzleHeight", "吸嘴取料高度"},
    {"c_VacuumTestValue", "真空检测值"}, {"c_smtBeforeCloseVacuum", "提前关闭真空"},
};
const TextKey kOthers[] = {
    {"c_PackList", "元件数据库"},   {"c_PickBeforeOpenValve", "取料提前打开阀"},
    {"c_PackAdd", "添加元件"},      {"c_PackEdit", "修改元件"},
    {"c_PackCopyToPaste", "复制->粘贴"}, {"c_PackDelete", "删除元件"},
    {"c_IDOK", "确定"},             {"c_IDCANCEL", "取消"},
};

}  // namespace

CDialogPackList::CDialogPackList(smt::library::PackLibrary& lib, Environment env, QWidget* parent)
    : QDialog(parent), lib_(lib), env_(std::move(env)) {
  runEditor = [](CDialogPackEdit& e) { return e.exec() == QDialog::Accepted; };
  Build();
  LoadLanguage();
  FillList();
  ApplyLanguageTexts();
}

void CDialogPackList::LoadLanguage() {
  const smt::platform::LanguageSection lang(env_.appDir, env_.language, "PackListConfig");
  for (const auto& t : kColumns) texts_[t.key] = lang.Text(std::string("PackList.") + t.key, t.def);
  for (const auto& t : kOthers) texts_[t.key] = lang.Text(std::string("PackList.") + t.key, t.def);
}

std::string CDialogPackList::Text(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

void CDialogPackList::Build() {
  resize(1000, 560);
  list_ = new QTableWidget(this);
  smt::platform::KeepColumnsWideEnough(list_);
  list_->setColumnCount(smt::library::kPackCells);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setAlternatingRowColors(true);
  list_->setStyleSheet("QTableWidget { background: rgb(240,250,250); alternate-background-color: rgb(225,250,250); color: black; }");
  list_->verticalHeader()->hide();
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list_, &QTableWidget::cellClicked, this, [this](int r, int) { OnListClick(r); });
  connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int r, int) {
    OnListClick(r);
    OnPackEdit();
  });
  connect(list_, &QTableWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    const int r = list_->rowAt(pos.y());
    if (r >= 0) list_->selectRow(r);
    OnListClick(r);
    if (r >= 0) ShowContextMenu(list_->viewport()->mapToGlobal(pos));
  });
  connect(list_->horizontalHeader(), &QHeaderView::sectionClicked, this, &CDialogPackList::OnColumnClick);
  // The list above a row of evenly spread buttons that grow with their texts.
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 10);
  outer->addWidget(list_, 1);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  for (auto& b : buttons_) {
    b = new QPushButton(this);
    b->setAutoDefault(false);
    row->addWidget(b, 1);
    row->addStretch(1);
  }
  outer->addLayout(row);
  connect(buttons_[0], &QPushButton::clicked, this, &CDialogPackList::OnPackAdd);
  connect(buttons_[1], &QPushButton::clicked, this, &CDialogPackList::OnPackEdit);
  connect(buttons_[2], &QPushButton::clicked, this, &CDialogPackList::OnPackCopyToPaste);
  connect(buttons_[3], &QPushButton::clicked, this, &CDialogPackList::OnPackDelete);
  connect(buttons_[4], &QPushButton::clicked, this, &CDialogPackList::accept);
  connect(buttons_[5], &QPushButton::clicked, this, &CDialogPackList::reject);
}

void CDialogPackList::ApplyLanguageTexts() {
  setWindowTitle(Q(Text("c_PackList")));
  QStringList titles;
  for (int c = 0; c < 26; ++c) {
    const char* key = (c == 24 && env_.machineType == 8) ? "c_PickBeforeOpenValve" : kColumns[c].key;
    titles << Q(Text(key));
  }
  titles << "---" << "---";
  list_->setHorizontalHeaderLabels(titles);
  list_->resizeColumnsToContents();
  const char* keys[6] = {"c_PackAdd", "c_PackEdit", "c_PackCopyToPaste", "c_PackDelete", "c_IDOK", "c_IDCANCEL"};
  for (int i = 0; i < 6; ++i) buttons_[i]->setText(Q(Text(keys[i])));
}

void CDialogPackList::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
}

void CDialogPackList::SetListRow(int row, PackListRow pack) {
  if (row < 0 || row >= static_cast<int>(shown_.size())) return;
  for (int c = 0; c < smt::library::kPackCells; ++c) list_->setItem(row, c, new QTableWidgetItem(Q(pack[c])));
  shown_[static_cast<size_t>(row)] = std::move(pack);
}

void CDialogPackList::ShowRows() {
  list_->setRowCount(static_cast<int>(shown_.size()));
  for (int r = 0; r < static_cast<int>(shown_.size()); ++r)
    for (int c = 0; c < smt::library::kPackCells; ++c)
      list_->setItem(r, c, new QTableWidgetItem(Q(shown_[static_cast<size_t>(r)][c])));
}

void CDialogPackList::FillList() {
  list_->setRowCount(0);
  for (auto& row : lib_.m_PackRows)
    smt::library::TranslatePackRow(row, env_.feedModeNames, env_.speedUseNames, env_.languageIndex);
  shown_ = lib_.m_PackRows;
  ShowRows();
}

int CDialogPackList::CurrentRow() const {
  const int r = lib_.m_nSelectedRow;
  return (r >= 0 && r < static_cast<int>(shown_.size())) ? r : -1;
}

void CDialogPackList::OnListClick(int row) { lib_.m_nSelectedRow = row; }

bool CDialogPackList::RunEditor() {
  CDialogPackEdit::Environment e = env_.editor;
  const int self = CurrentRow();
  e.nameTaken = [this, self](const std::string& name) {
    for (int r = 0; r < static_cast<int>(shown_.size()); ++r)
      if (r != self && shown_[static_cast<size_t>(r)].Name() == name) return true;
    return false;
  };
  CDialogPackEdit editor(lib_.editor, e, this);
  const bool ok = runEditor(editor);
  if (ok) lastSwitches_ = editor.Switches();
  return ok;
}

void CDialogPackList::OnPackAdd() {
  lib_.m_nSelectedRow = -1;
  if (!RunEditor()) return;
  PackRow row;
  smt::library::WritePackFields(row, lib_.editor);
  shown_.emplace_back(row);
  ShowRows();
  RebuildTable();
}

void CDialogPackList::OnPackEdit() {
  const int r = CurrentRow();
  if (r < 0) return;
  const PackListRow& pack = shown_[static_cast<size_t>(r)];
  // A row whose numbers cannot be read is named (as the list's row) and not
  // opened; it stays in the list as the file held it.
  if (!pack.record) {
    const PackListRow named(pack.cells, r + 1);
    smt::platform::ShowMessage(named.problem, smt::platform::MsgButtons::Ok, smt::platform::MsgIcon::Warning);
    return;
  }
  lib_.editor = smt::library::PackFieldsOf(*pack.record, env_.machineType);
  if (!RunEditor()) return;
  PackRow row = shown_[static_cast<size_t>(r)].cells;
  smt::library::WritePackFields(row, lib_.editor);
  SetListRow(r, PackListRow(row, shown_[static_cast<size_t>(r)].line));
  RebuildTable();
  if (lastSwitches_.m_SynchronousModify && env_.updateFeeders)
    env_.updateFeeders(smt::library::PackFeederUpdate{lib_.editor, lastSwitches_});
}

void CDialogPackList::OnPackCopyToPaste() {
  const int r = CurrentRow();
  if (r < 0) return;
  const PackListRow copy = shown_[static_cast<size_t>(r)];
  shown_.push_back(copy);
  ShowRows();
  RebuildTable();
}

void CDialogPackList::OnPackDelete() {
  const int r = CurrentRow();
  if (r < 0) return;
  shown_.erase(shown_.begin() + r);
  list_->removeRow(r);
  RebuildTable();
}

void CDialogPackList::OnColumnClick(int column) {
  smt::library::SortPackRows(shown_, column);
  ShowRows();
  RebuildTable();
  lib_.sortColumn = column;
}

void CDialogPackList::ShowContextMenu(const QPoint& globalPos) {
  QMenu menu(this);
  connect(menu.addAction(Q(Text("c_PackAdd"))), &QAction::triggered, this, &CDialogPackList::OnPackAdd);
  connect(menu.addAction(Q(Text("c_PackEdit"))), &QAction::triggered, this, &CDialogPackList::OnPackEdit);
  connect(menu.addAction(Q(Text("c_PackCopyToPaste"))), &QAction::triggered, this,
          &CDialogPackList::OnPackCopyToPaste);
  connect(menu.addAction(Q(Text("c_PackDelete"))), &QAction::triggered, this, &CDialogPackList::OnPackDelete);
  menu.exec(globalPos);
}

bool CDialogPackList::TryAccept() {
  RebuildTable();
  // Rows not changed go back as the file held them.
  std::vector<std::string> strings = smt::library::PackListStrings(lib_.m_PackRows);
  if (env_.frameRows) strings = smt::library::KeepPackLinesAsRead(std::move(strings), *env_.frameRows);
  if (env_.frameRows) *env_.frameRows = strings;
  try {
    smt::library::WriteLibraryFile(env_.appDir, smt::library::kPackFileName, strings);
  } catch (const std::exception& e) {
    smt::platform::ShowMessage(e.what(), smt::platform::MsgButtons::Ok, smt::platform::MsgIcon::Error);
    return false;
  }
  QDialog::accept();
  return true;
}

void CDialogPackList::accept() { TryAccept(); }
