#include "link/CDialogVersionNumber.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "platform/RefusalTexts.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

CDialogVersionNumber::Texts CDialogVersionNumber::LoadLanguage(const std::string& appDir, const std::string& language) {
  smt::platform::LanguageSection lang(appDir, language, "CPUVersionNumberConfig");
  Texts d;
  Texts t;
  t.title = lang.Text("VersionNumber.c_VersionNumber", d.title);
  t.v2_04 = lang.Text("VersionNumber.c_V2_04", d.v2_04);
  t.v2_05 = lang.Text("VersionNumber.c_V2_05", d.v2_05);
  t.v2_06 = lang.Text("VersionNumber.c_V2_06", d.v2_06);
  t.v2_07 = lang.Text("VersionNumber.c_V2_07", d.v2_07);
  t.writeLogfile = lang.Text("VersionNumber.c_Write_Logfile", d.writeLogfile);
  return t;
}

CDialogVersionNumber::CDialogVersionNumber(smt::Machine& machine, smt::link::FirmwareSwitches& switches, std::string appDir,
                                           const Texts& texts, QWidget* parent)
    : QDialog(parent), machine_(machine), switches_(switches), appDir_(std::move(appDir)) {
  setObjectName("CDialogVersionNumber");
  setWindowTitle(Q(texts.title));
  auto* layout = new QVBoxLayout(this);
  const std::string* labels[5] = {&texts.v2_04, &texts.v2_05, &texts.v2_06, &texts.v2_07, &texts.writeLogfile};
  const int values[5] = {switches.m_V2_04, switches.m_V2_05, switches.m_V2_06, switches.m_V2_07,
                         switches.m_Write_Logfile};
  for (size_t i = 0; i < boxes_.size(); ++i) {
    boxes_[i] = new QCheckBox(Q(*labels[i]), this);
    boxes_[i]->setChecked(values[i] != 0);
    layout->addWidget(boxes_[i]);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

void CDialogVersionNumber::accept() {
  smt::link::FirmwareSwitches next = switches_;
  next.m_V2_04 = boxes_[0]->isChecked() ? 1 : 0;
  next.m_V2_05 = boxes_[1]->isChecked() ? 1 : 0;
  next.m_V2_06 = boxes_[2]->isChecked() ? 1 : 0;
  next.m_V2_07 = boxes_[3]->isChecked() ? 1 : 0;
  next.m_Write_Logfile = boxes_[4]->isChecked() ? 1 : 0;
  if (!next.Save(appDir_)) {
    // Nothing changes when the settings file cannot take the switches.
    smt::platform::ShowMessage(smt::platform::FillText(smt::platform::WindowText("LinkMessagesConfig", "LinkMessages.c_ConfigNotWritten", "配置文件写入失败：%1"), {smt::platform::ConfigPath(appDir_)}),
                               smt::platform::MsgButtons::Ok, smt::platform::MsgIcon::Error);
    return;
  }
  switches_ = next;
  switches_.Apply(machine_);
  QDialog::accept();
}
