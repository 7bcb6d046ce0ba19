#include "feeder/CDialogFeedGroup.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "feeder/FeederListPanel.h"
#include "feeder/FeederServices.h"
#include "platform/MessageService.h"

using namespace smt::feeder;

namespace {
const std::vector<FeederTexts::Entry>& GroupEntries() {
  static const std::vector<FeederTexts::Entry> e = {
      {"FeedGroup.c_FeedGroup", "料架模组"}, {"FeedGroup.c_FeedGroupAdd", "添加料架组"},
      {"FeedGroup.c_FeedGroupCopy", "复制料架组"}, {"FeedGroup.c_FeedGroupEdit", "修改料架组"},
      {"FeedGroup.c_FeedGroupDelete", "删除料架组"}, {"FeedGroup.c_FeedGroupOpen", "打开料架组"},
      {"FeedGroup.c_IDOK", "确定"}, {"FeedGroup.c_IDCANCEL", "取消"}, {"FeedGroup.c_FeedGroupName", "料架组名称："},
      {"FeedGroup.c_FeedGroupContent", "内容介绍说明："}, {"FeedGroup.c_FeedGroupList_01", "料架组名称"},
      {"FeedGroup.c_FeedGroupList_02", "料架组介绍说明"}, {"FeedGroup.c_Message_02", "料架名称不能为空 !"},
      {"FeedGroup.c_Message_03", "料架名称不能相同 !"}, {"FeedGroup.c_Message_04", "请选择要修改的料架组 !"},
      {"FeedGroup.c_Message_05", "料架组名称不能为空 !"}, {"FeedGroup.c_Message_06", "料架组已经存在 !"},
      {"FeedGroup.c_Message_07", "请选择要删除的料架组 !"}, {"FeedGroup.c_Message_08", "请选择要打开的料架组 !"},
      {"FeedGroup.c_Message_09", "没有料架数组 !"}, {"FeedGroup.c_Message_10", "不能删除正在使用的料架组 !"}};
  return e;
}
const char* const kButtonKeys[7] = {"FeedGroup.c_FeedGroupAdd", "FeedGroup.c_FeedGroupCopy",
                                    "FeedGroup.c_FeedGroupEdit", "FeedGroup.c_FeedGroupDelete",
                                    "FeedGroup.c_FeedGroupOpen", "FeedGroup.c_IDOK", "FeedGroup.c_IDCANCEL"};
}  // namespace

CDialogFeedGroup::CDialogFeedGroup(FeederListPanel* panel, smt::Machine& machine, QWidget* parent)
    : QDialog(parent), panel_(panel), machine_(machine) {
  setObjectName("CDialogFeedGroup");
  texts_.Defaults(GroupEntries());
  auto* outer = new QVBoxLayout(this);
  list_ = new QTableWidget(0, 2, this);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setColumnWidth(0, 200);
  list_->setColumnWidth(1, 500);
  list_->setAlternatingRowColors(true);
  list_->setStyleSheet("QTableWidget { background-color: rgb(240, 250, 250); alternate-background-color: rgb(225, 250, 250); }");
  list_->verticalHeader()->hide();
  outer->addWidget(list_);
  auto* buttons = new QHBoxLayout;
  for (int i = 0; i < 7; ++i) {
    buttons_[i] = new QPushButton(this);
    buttons->addWidget(buttons_[i]);
  }
  outer->addLayout(buttons);
  lower_ = new QWidget(this);
  auto* g = new QGridLayout(lower_);
  name_ = new QLineEdit(lower_);
  description_ = new QLineEdit(lower_);
  g->addWidget(new QLabel(lower_), 0, 0);
  g->addWidget(name_, 0, 1);
  g->addWidget(new QLabel(lower_), 1, 0);
  g->addWidget(description_, 1, 1);
  outer->addWidget(lower_);
  connect(list_, &QTableWidget::cellClicked, this, [this](int r, int) { OnItemClicked(r); });
  connect(buttons_[0], &QPushButton::clicked, this, [this] { OnAdd(); });
  connect(buttons_[1], &QPushButton::clicked, this, [this] { OnCopy(); });
  connect(buttons_[2], &QPushButton::clicked, this, [this] { OnEdit(); });
  connect(buttons_[3], &QPushButton::clicked, this, [this] { OnDelete(); });
  connect(buttons_[4], &QPushButton::clicked, this, [this] { OnOpen(); });
  connect(buttons_[5], &QPushButton::clicked, this, [this] { accept(); });
  connect(buttons_[6], &QPushButton::clicked, this, [this] { reject(); });
  ApplyTexts();
  Compact();
}

void CDialogFeedGroup::LoadLanguage(const std::string& appDir, const std::string& language) {
  texts_.Load(appDir, language, "FeedGroupConfig", GroupEntries());
  ApplyTexts();
}

void CDialogFeedGroup::ApplyTexts() {
  setWindowTitle(texts_.Q("FeedGroup.c_FeedGroup"));
  for (int i = 0; i < 7; ++i) buttons_[i]->setText(texts_.Q(kButtonKeys[i]));
  list_->setHorizontalHeaderLabels({texts_.Q("FeedGroup.c_FeedGroupList_01"), texts_.Q("FeedGroup.c_FeedGroupList_02")});
  auto labels = lower_->findChildren<QLabel*>();
  if (labels.size() >= 2) {
    labels[0]->setText(texts_.Q("FeedGroup.c_FeedGroupName"));
    labels[1]->setText(texts_.Q("FeedGroup.c_FeedGroupContent"));
  }
}

void CDialogFeedGroup::Compact() {
  lower_->setVisible(false);
  expanded = false;
}
void CDialogFeedGroup::Expand() {
  lower_->setVisible(true);
  expanded = true;
}

void CDialogFeedGroup::Message(int n) {
  char key[40];
  std::snprintf(key, sizeof key, "FeedGroup.c_Message_%02d", n);
  smt::platform::ShowMessage(texts_.Get(key));
}

void CDialogFeedGroup::OnInitDialog() {
  list_->setRowCount(0);
  for (const FeederGroup& g : panel_->Table().Groups()) {
    if (g.name.empty()) continue;
    const int r = list_->rowCount();
    list_->insertRow(r);
    list_->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(g.name)));
    list_->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(g.description)));
  }
  selectedItem = -1;
  name_->clear();
  description_->clear();
  Compact();
  ApplyTexts();
}

void CDialogFeedGroup::OnItemClicked(int item) {
  selectedItem = item;
  name_->setText(list_->item(item, 0)->text());
  description_->setText(list_->item(item, 1)->text());
  if (!expanded) Expand();
}

namespace {
bool NameInList(QTableWidget* list, const QString& name, int except) {
  for (int r = 0; r < list->rowCount(); ++r)
    if (r != except && list->item(r, 0)->text() == name) return true;
  return false;
}
}  // namespace

void CDialogFeedGroup::OnAdd() {
  const QString name = name_->text();
  if (name.isEmpty()) {
    Message(2);
    name_->setFocus();
    return;
  }
  if (NameInList(list_, name, -1)) {
    Message(3);
    name_->setFocus();
    name_->selectAll();
    return;
  }
  const int r = list_->rowCount();
  list_->insertRow(r);
  list_->setItem(r, 0, new QTableWidgetItem(name));
  list_->setItem(r, 1, new QTableWidgetItem(description_->text()));
  panel_->Table().AddGroup(name.toStdString(), description_->text().toStdString());
  name_->clear();
  description_->clear();
  Compact();
}

void CDialogFeedGroup::OnCopy() {
  if (selectedItem < 0) {
    Message(4);
    return;
  }
  const std::string source = list_->item(selectedItem, 0)->text().toStdString();
  const QString name = name_->text();
  if (name.isEmpty()) {
    Message(5);
    name_->setFocus();
    return;
  }
  if (NameInList(list_, name, -1)) {
    Message(6);
    name_->setFocus();
    name_->selectAll();
    return;
  }
  if (!panel_->Table().CopyGroup(source, name.toStdString(), description_->text().toStdString())) return;
  const int r = list_->rowCount();
  list_->insertRow(r);
  list_->setItem(r, 0, new QTableWidgetItem(name));
  list_->setItem(r, 1, new QTableWidgetItem(description_->text()));
  name_->clear();
  description_->clear();
  Compact();
}

void CDialogFeedGroup::OnEdit() {
  if (selectedItem < 0) {
    Message(4);
    return;
  }
  const QString name = name_->text();
  if (name.isEmpty()) {
    Message(5);
    name_->setFocus();
    return;
  }
  if (NameInList(list_, name, selectedItem)) {
    Message(6);
    name_->setFocus();
    name_->selectAll();
    return;
  }
  const std::string old = list_->item(selectedItem, 0)->text().toStdString();
  const bool wasCurrent = old == panel_->Table().CurrentName();
  panel_->Table().EditGroup(old, name.toStdString(), description_->text().toStdString());
  if (wasCurrent) panel_->RefreshGroupFields();
  list_->item(selectedItem, 0)->setText(name);
  list_->item(selectedItem, 1)->setText(description_->text());
  selectedItem = -1;
  name_->clear();
  description_->clear();
  Compact();
}

void CDialogFeedGroup::OnDelete() {
  if (selectedItem < 0) {
    Message(7);
    return;
  }
  const std::string name = list_->item(selectedItem, 0)->text().toStdString();
  if (name == panel_->Table().CurrentName()) {
    Message(10);
    return;
  }
  panel_->Table().DeleteGroup(name);
  list_->removeRow(selectedItem);
  selectedItem = -1;
  name_->clear();
  description_->clear();
  Compact();
}

void CDialogFeedGroup::OnOpen() {
  if (selectedItem < 0) {
    Message(8);
    return;
  }
  panel_->Table().SetCurrentName(list_->item(selectedItem, 0)->text().toStdString());
  selectedItem = -1;
  accept();
  // The view shows the feeder list in the part list's place.
  FeederNeighboursPort(machine_)->ShowFeederList();
  panel_->ShowCurrentGroup();
}
