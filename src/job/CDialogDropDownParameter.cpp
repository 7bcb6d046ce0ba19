#include "job/CDialogDropDownParameter.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "job/DropDownLists.h"
#include "platform/SettingsSection.h"

CDialogDropDownParameter::CDialogDropDownParameter(smt::Machine& machine, QWidget* parent)
    : QDialog(parent), machine_(machine) {
  setObjectName("CDialogDropDownParameter");
  for (const auto& [k, v] : smt::job::DropDownEditor::TextTable()) texts_[k] = v;
  ed_.text = [this](const std::string& k) { return texts_[k]; };
  ed_.panelBox = [this](int tab, const std::string& rm, const std::string& add) {
    if (panelBox) panelBox(tab, rm, add);
  };
  auto* lay = new QVBoxLayout(this);
  edit_ = new QLineEdit(this);
  edit_->setObjectName("c_1137");
  lay->addWidget(edit_);
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("c_1136");
  for (int i = 0; i < 4; ++i) {
    lists_[i] = new QListWidget(this);
    lists_[i]->setObjectName("c_1000");
    tabs_->addTab(lists_[i], "");
    connect(lists_[i], &QListWidget::currentRowChanged, this, [this](int r) {
      if (!filling_) OnListSelChanged(r);
    });
  }
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int t) {
    if (!filling_) OnTabChanged(t);
  });
  lay->addWidget(tabs_);
  auto* row = new QHBoxLayout;
  struct B {
    const char* key;
    const char* id;
    void (CDialogDropDownParameter::*fn)();
  } buttons[] = {{"DropDownParameter.c_DataAdd", "c_1091", &CDialogDropDownParameter::OnAddItem},
                 {"DropDownParameter.c_DataEdit", "c_1090", &CDialogDropDownParameter::OnModifyItem},
                 {"DropDownParameter.c_DataDelete", "c_1089", &CDialogDropDownParameter::OnDeleteItem},
                 {"DropDownParameter.c_ImportData", "c_1092", &CDialogDropDownParameter::OnImportNames},
                 {"DropDownParameter.c_EmptyData", "c_1093", nullptr},
                 {"DropDownParameter.c_IDOK", "c_1", &CDialogDropDownParameter::OnOK},
                 {"DropDownParameter.c_IDCANCEL", "c_2", nullptr}};
  for (const auto& b : buttons) {
    auto* p = new QPushButton(this);
    p->setObjectName(b.id);
    targets_[b.key] = p;
    row->addWidget(p);
    if (b.fn) connect(p, &QPushButton::clicked, this, b.fn);
    if (std::string(b.id) == "c_2") connect(p, &QPushButton::clicked, this, &QDialog::reject);
  }
  lay->addLayout(row);
  auto* check = new QCheckBox(this);
  check->setObjectName("c_1036");
  targets_["DropDownParameter.c_CheckImportData"] = check;
  check->hide();
  lay->addWidget(check);
  LoadLanguage("", "");
}

void CDialogDropDownParameter::LoadLanguage(const std::string& appDir, const std::string& language) {
  if (!appDir.empty()) {
    smt::platform::LanguageSection s(appDir, language, "DropDownParameterConfig");
    for (const auto& [k, v] : smt::job::DropDownEditor::TextTable()) texts_[k] = s.Text(k, v);
  }
  setWindowTitle(QString::fromStdString(texts_["DropDownParameter.c_DropDownParameter"]));
  for (const auto& [k, w] : targets_)
    if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(QString::fromStdString(texts_[k]));
  for (int i = 0; i < 4; ++i)
    tabs_->setTabText(i, QString::fromStdString(texts_["DropDownParameter.c_TabList_0" + std::to_string(i + 1)]));
}

void CDialogDropDownParameter::ShowLists() {
  filling_ = true;
  for (int i = 0; i < 4; ++i) {
    lists_[i]->clear();
    for (const auto& item : ed_.lists[static_cast<size_t>(i)]) lists_[i]->addItem(QString::fromStdString(item));
    lists_[i]->setCurrentRow(i == ed_.tab ? ed_.selected : -1);
  }
  tabs_->setCurrentIndex(ed_.tab);
  filling_ = false;
}

void CDialogDropDownParameter::InitLists() {
  ed_.LoadListsFromArray(smt::job::DropDownLists(machine_));
  ed_.SetTab(0);
  edit_->clear();
  ShowLists();
}

void CDialogDropDownParameter::showEvent(QShowEvent* e) {
  InitLists();
  QDialog::showEvent(e);
}

void CDialogDropDownParameter::OnTabChanged(int tab) {
  ed_.SetTab(tab);
  edit_->clear();
  ShowLists();
}

void CDialogDropDownParameter::OnListSelChanged(int row) {
  ed_.selected = row;
  if (row >= 0) edit_->setText(QString::fromStdString(ed_.lists[static_cast<size_t>(ed_.tab)][static_cast<size_t>(row)]));
}

void CDialogDropDownParameter::OnAddItem() {
  if (!ed_.Add(edit_->text().toStdString())) {
    edit_->setFocus();
    edit_->selectAll();
  }
  ShowLists();
}

void CDialogDropDownParameter::OnModifyItem() {
  ed_.Modify(edit_->text().toStdString());
  ShowLists();
}

void CDialogDropDownParameter::OnDeleteItem() {
  ed_.Delete();
  ShowLists();
}

void CDialogDropDownParameter::OnImportNames() {
  const auto* rows = placementRows ? placementRows() : nullptr;
  if (rows) ed_.ImportNames(*rows);
  ShowLists();
}

void CDialogDropDownParameter::OnOK() {
  if (ed_.Store(machine_, appDir_)) accept();
}
