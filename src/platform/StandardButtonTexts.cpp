#include "platform/StandardButtonTexts.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QPushButton>
#include <QSet>
#include <QTranslator>

#include "platform/RefusalTexts.h"
#include "platform/SettingsSection.h"

namespace smt::platform {
namespace {

// Marks a button whose text was set here, so a language switch renames it.
constexpr const char* kNamedHere = "smtStandardText";

struct ButtonWord {
  QDialogButtonBox::StandardButton button;
  const char* key;
  const char* chinese;
};

constexpr ButtonWord kWords[] = {
    {QDialogButtonBox::Ok, "Common.c_ButtonOk", "确定"},
    {QDialogButtonBox::Cancel, "Common.c_ButtonCancel", "取消"},
    {QDialogButtonBox::Yes, "Common.c_ButtonYes", "是"},
    {QDialogButtonBox::No, "Common.c_ButtonNo", "否"},
    {QDialogButtonBox::Retry, "Common.c_ButtonRetry", "重试"},
    {QDialogButtonBox::Apply, "Common.c_ButtonApply", "应用"},
    {QDialogButtonBox::Close, "Common.c_ButtonClose", "关闭"},
    {QDialogButtonBox::Save, "Common.c_ButtonSave", "保存"},
    {QDialogButtonBox::Open, "Common.c_ButtonOpen", "打开"},
    {QDialogButtonBox::Abort, "Common.c_ButtonAbort", "中止"},
    {QDialogButtonBox::Ignore, "Common.c_ButtonIgnore", "忽略"},
    {QDialogButtonBox::Discard, "Common.c_ButtonDiscard", "放弃"},
    {QDialogButtonBox::Help, "Common.c_ButtonHelp", "帮助"},
    {QDialogButtonBox::Reset, "Common.c_ButtonReset", "重置"},
};

// Qt's built-in English texts of the standard buttons (without their "&").
bool IsQtsOwnText(QString t) {
  static const QSet<QString> own = {"OK",     "Cancel", "Yes",     "No",      "Retry",  "Apply",
                                    "Close",  "Save",   "Open",    "Abort",   "Ignore", "Discard",
                                    "Help",   "Reset",  "Save All", "Yes to All", "No to All",
                                    "Restore Defaults", "Don't Save", "Close without Saving"};
  return own.contains(t.remove('&'));
}

class ShowWatch : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show && o->isWidgetType() && static_cast<QWidget*>(o)->isWindow())
      for (QDialogButtonBox* box : o->findChildren<QDialogButtonBox*>()) NameStandardButtons(box);
    return false;
  }
};

QTranslator* g_qtTranslator = nullptr;

}  // namespace

void NameStandardButtons(QDialogButtonBox* box) {
  if (!box) return;
  for (const ButtonWord& w : kWords) {
    QPushButton* b = box->button(w.button);
    if (!b || !(b->property(kNamedHere).toBool() || IsQtsOwnText(b->text()))) continue;
    b->setText(QString::fromStdString(CommonText(w.key, w.chinese)));
    b->setProperty(kNamedHere, true);
  }
}

void NameFileDialog(QFileDialog* d) {
  if (!d) return;
  d->setLabelText(QFileDialog::LookIn, QString::fromStdString(CommonText("Common.c_FileLookIn", "查找范围：")));
  d->setLabelText(QFileDialog::FileName, QString::fromStdString(CommonText("Common.c_FileNameLabel", "文件名：")));
  d->setLabelText(QFileDialog::FileType, QString::fromStdString(CommonText("Common.c_FileTypeLabel", "文件类型：")));
  d->setLabelText(QFileDialog::Accept,
                  QString::fromStdString(d->acceptMode() == QFileDialog::AcceptSave
                                             ? CommonText("Common.c_ButtonSave", "保存")
                                             : CommonText("Common.c_ButtonOpen", "打开")));
  d->setLabelText(QFileDialog::Reject, QString::fromStdString(CommonText("Common.c_ButtonCancel", "取消")));
}

void UseWindowLanguageForQt(const std::string& appDir, const std::string& language) {
  (void)appDir;  // the texts are read where the refusals are (SetRefusalLanguage)
  auto* app = QCoreApplication::instance();
  if (!app) return;
  static ShowWatch* watch = nullptr;
  if (!watch) {
    watch = new ShowWatch(app);
    app->installEventFilter(watch);
  }
  // Qt's own translations of its dialogs, where the system ships them.
  if (g_qtTranslator) {
    app->removeTranslator(g_qtTranslator);
    delete g_qtTranslator;
    g_qtTranslator = nullptr;
  }
  const QString locale = language == "German" ? "de" : language == "English" ? "" : "zh_CN";
  if (!locale.isEmpty()) {
    auto* t = new QTranslator(app);
    if (t->load("qtbase_" + locale, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      app->installTranslator(t);
      g_qtTranslator = t;
    } else {
      delete t;
    }
  }
}

}  // namespace smt::platform
