#include "job/CDialogFind.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/SettingsSection.h"

namespace {
const std::vector<std::pair<std::string, std::string>>& FindTexts() {
  static const std::vector<std::pair<std::string, std::string>> t = {{"Find.c_Find", "查找"},
                                                                     {"Find.c_FindText", "要查找的字符"},
                                                                     {"Find.c_Next", "下一个"},
                                                                     {"Find.c_InRow", "存在行"},
                                                                     {"Find.c_InCol", "存在列"},
                                                                     // The dialog's own Cancel caption.
                                                                     {"Find.c_Cancel", "Cancel"}};
  return t;
}
}  // namespace

CDialogFind::CDialogFind(smt::job::PartListLogic& logic, QWidget* parent) : QDialog(parent), logic_(logic) {
  setObjectName("CDialogFind");
  for (const auto& [k, v] : FindTexts()) texts_[k] = v;
  auto* g = new QGridLayout(this);
  auto add = [&](const char* key, const char* id, int r) {
    auto* l = new QLabel(this);
    targets_[key] = l;
    auto* e = new QLineEdit(this);
    e->setObjectName(id);
    g->addWidget(l, r, 0);
    g->addWidget(e, r, 1);
    return e;
  };
  what_ = add("Find.c_FindText", "c_1005", 0);
  row_ = add("Find.c_InRow", "c_1006", 1);
  col_ = add("Find.c_InCol", "c_1007", 2);
  row_->setReadOnly(true);
  col_->setReadOnly(true);
  find_ = new QPushButton(this);
  find_->setObjectName("c_1210");
  targets_["Find.c_Find"] = find_;
  next_ = new QPushButton(this);
  next_->setObjectName("c_3");
  targets_["Find.c_Next"] = next_;
  auto* cancel = new QPushButton(this);
  cancel->setObjectName("c_2");
  targets_["Find.c_Cancel"] = cancel;
  g->addWidget(find_, 3, 0);
  g->addWidget(next_, 3, 1);
  g->addWidget(cancel, 3, 2);
  connect(find_, &QPushButton::clicked, this, [this] { OnFind(); });
  connect(next_, &QPushButton::clicked, this, [this] { OnFindNext(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  LoadLanguage("", "");
  next_->setEnabled(false);
}

std::string CDialogFind::Text(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

void CDialogFind::LoadLanguage(const std::string& appDir, const std::string& language) {
  if (!appDir.empty()) {
    smt::platform::LanguageSection s(appDir, language, "FindConfig");
    for (const auto& [k, v] : FindTexts()) texts_[k] = s.Text(k, v);
  }
  setWindowTitle(QString::fromStdString(Text("Find.c_Find")));
  for (const auto& [k, w] : targets_) {
    const QString t = QString::fromStdString(Text(k));
    if (auto* l = qobject_cast<QLabel*>(w)) l->setText(t);
    else if (auto* b = qobject_cast<QPushButton*>(w)) b->setText(t);
  }
}

void CDialogFind::showEvent(QShowEvent* e) {
  next_->setEnabled(false);
  QDialog::showEvent(e);
}

void CDialogFind::OnFind() {
  const std::string what = what_->text().toStdString();
  if (what.empty()) return;
  if (logic_.job.placementRows.empty()) {
    std::string r, c;
    logic_.Find(what, r, c);  // shows the empty-list message
    return;
  }
  next_->setEnabled(true);
  std::string r, c;
  if (logic_.Find(what, r, c)) {
    row_->setText(QString::fromStdString(r));
    col_->setText(QString::fromStdString(c));
  }
}

void CDialogFind::OnFindNext() {
  std::string r, c;
  if (logic_.FindNext(what_->text().toStdString(), r, c)) {
    row_->setText(QString::fromStdString(r));
    col_->setText(QString::fromStdString(c));
  }
}
