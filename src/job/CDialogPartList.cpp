#include "job/CDialogPartList.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "job/CDialogPCBEdit.h"
#include "job/DropDownLists.h"
#include "job/RowListModel.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"

using smt::job::BoardTransform;
using smt::job::RowKind;
using smt::platform::MsgAnswer;
using smt::platform::MsgButtons;
using smt::platform::MsgIcon;

namespace {

std::vector<std::pair<std::string, std::string>> PanelTexts() {
  std::vector<std::pair<std::string, std::string>> t = {
      {"PartList.c_Progress", "进度"},
      {"PartList.c_SMTTime", "贴装时间"},
      {"PartList.c_Left", "左"},
      {"PartList.c_Right", "右"},
      {"PartList.c_Top", "上"},
      {"PartList.c_Bottom", "下"},
      {"PartList.c_Message_36", "是否合成整板 ?"},
      {"PartList.c_Message_37", "是否复制新增 ?"},
  };
  const auto& place = smt::job::BuiltinTitles(RowKind::Placement);
  for (int i = 0; i < 15; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "PartList.c_PartList_%02d", i + 1);
    t.emplace_back(key, place[static_cast<size_t>(i)]);
  }
  const auto& dis = smt::job::BuiltinTitles(RowKind::Dispense);
  for (int i = 0; i < 11; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "PartList.c_DisList_%02d", i + 1);
    t.emplace_back(key, dis[static_cast<size_t>(i)]);
  }
  return t;
}

}  // namespace

CDialogPartList::CDialogPartList(QWidget* parent) : QWidget(parent) {
  setObjectName("CDialogPartList");
  for (const auto& [k, v] : PanelTexts()) texts_[k] = v;
  auto* lay = new QVBoxLayout(this);
  auto* labels = new QHBoxLayout;
  board_ = new QLabel(this);
  board_->setObjectName("c_1103");
  count_ = new QLabel(this);
  count_->setObjectName("c_1104");
  progress_ = new QLabel(this);
  progress_->setObjectName("c_1083");
  smtTime_ = new QLabel(this);
  smtTime_->setObjectName("c_1107");
  for (auto* l : {board_, count_, progress_, smtTime_}) labels->addWidget(l);
  labels->addStretch();
  lay->addLayout(labels);

  stack_ = new QStackedWidget(this);
  std::vector<smt::job::ListRow>* lists[3] = {&job_.placementRows, &job_.dispenseRows, &job_.drillRows};
  const char* ids[3] = {"c_1000", "c_1001", "c_1002"};
  for (int i = 0; i < 3; ++i) {
    const auto kind = static_cast<RowKind>(i);
    models_[i] = new RowListModel(lists[i], kind, this);
    auto* v = new QTableView(this);
    v->setObjectName(ids[i]);
    v->setModel(models_[i]);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setShowGrid(true);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setStyleSheet("QTableView { background-color: rgb(240, 250, 250); }");
    v->verticalHeader()->hide();
    // Fixed row heights: the view never measures thousands of rows.
    v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    v->verticalHeader()->setDefaultSectionSize(20);
    const auto& widths = smt::job::ColumnWidths(kind);
    for (int c = 0; c < static_cast<int>(widths.size()); ++c) v->setColumnWidth(c, widths[static_cast<size_t>(c)]);
    views_[i] = v;
    stack_->addWidget(v);
  }
  lay->addWidget(stack_, 1);

  // In-place choice boxes of the row editing (hidden until a cell is edited).
  names_ = new QComboBox(this);
  names_->setObjectName("c_1085");
  types_ = new QComboBox(this);
  types_->setObjectName("c_1020");
  angles_ = new QComboBox(this);
  angles_->setObjectName("c_1025");
  for (auto* c : {names_, types_, angles_}) c->hide();

  pcbEdit_ = std::make_unique<CDialogPCBEdit>(job_, this);
  job_.onRowsChanged = [this](RowKind k) { models_[static_cast<int>(k)]->Refresh(); };
  job_.onVisibleChanged = [this] { ShowVisibleList(); };
  ApplyLanguageTexts();
}

CDialogPartList::~CDialogPartList() {
  job_.onRowsChanged = nullptr;
  job_.onVisibleChanged = nullptr;
}

std::string CDialogPartList::Text(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

void CDialogPartList::LoadLanguage(const std::string& appDir, const std::string& language) {
  smt::platform::LanguageSection s(appDir, language, "PartListConfig");
  for (const auto& [k, v] : PanelTexts()) texts_[k] = s.Text(k, v);
  pcbEdit_->LoadLanguage(appDir, language);
  ApplyLanguageTexts();
}

void CDialogPartList::ApplyLanguageTexts() {
  board_->setText(boardText_);
  count_->setText(countText_);
  progress_->setText(QString::fromStdString(Text("PartList.c_Progress")));
  smtTime_->setText(QString::fromStdString(Text("PartList.c_SMTTime")));
  for (int i = 0; i < 15; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "PartList.c_PartList_%02d", i + 1);
    models_[0]->SetTitle(i, QString::fromStdString(Text(key)));
  }
  for (int i = 0; i < 11; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "PartList.c_DisList_%02d", i + 1);
    models_[1]->SetTitle(i, QString::fromStdString(Text(key)));
  }
  pcbEdit_->ApplyLanguageTexts();
}

void CDialogPartList::FillChoiceCombos() {
  const std::pair<size_t, QComboBox*> targets[] = {{0, names_}, {1, types_}, {3, angles_}};
  for (const auto& [index, box] : targets) {
    if (index >= g_DropDownLists.size()) continue;
    for (const auto& item : smt::job::DropDownItems(g_DropDownLists[index])) box->addItem(QString::fromStdString(item));
  }
}

QComboBox* CDialogPartList::ChoiceCombo(int id) const {
  switch (id) {
    case 1085: return names_;
    case 1020: return types_;
    case 1025: return angles_;
    default: return nullptr;
  }
}

void CDialogPartList::SetBoardLabels(const QString& board, const QString& count) {
  boardText_ = board;
  countText_ = count;
  board_->setText(board);
  count_->setText(count);
}

QTableView* CDialogPartList::VisibleView() const { return static_cast<QTableView*>(stack_->currentWidget()); }

void CDialogPartList::ShowVisibleList() { stack_->setCurrentIndex(static_cast<int>(job_.visible)); }

void CDialogPartList::OnPcbEdit() {
  pcbEdit_->exec();
}

void CDialogPartList::Transform(BoardTransform t, const char* firstKey, const char* secondKey) {
  MsgAnswer a = smt::platform::ShowMessage(Text("PartList.c_Message_37"), MsgButtons::YesNoCancel, MsgIcon::Question);
  if (a == MsgAnswer::Cancel) return;
  job_.TransformShownBoard(t, a == MsgAnswer::Yes, Text(firstKey), Text(secondKey));
}

void CDialogPartList::OnPcbRotateClockwise() {
  Transform(BoardTransform::RotateClockwise, "PartList.c_Left", "PartList.c_Right");
}
void CDialogPartList::OnPcbRotateCounterclockwise() {
  Transform(BoardTransform::RotateCounterclockwise, "PartList.c_Left", "PartList.c_Right");
}
void CDialogPartList::OnPcbMirrorLeftRight() {
  Transform(BoardTransform::MirrorLeftRight, "PartList.c_Left", "PartList.c_Right");
}
void CDialogPartList::OnPcbMirrorUpDown() {
  Transform(BoardTransform::MirrorUpDown, "PartList.c_Top", "PartList.c_Bottom");
}

void CDialogPartList::OnPcbMergePanels() {
  if (!job_.pcbs.HasTable() || job_.pcbs.FindPcbIndex(job_.shownPcbName) < 0) return;
  MsgAnswer a = smt::platform::ShowMessage(Text("PartList.c_Message_36"), MsgButtons::YesNoCancel, MsgIcon::Question);
  if (a != MsgAnswer::Yes) return;
  job_.MergeShownPanels();
}
