#include "platform/QtFileChooser.h"

#include <QFileDialog>
#include <QFileInfo>

#include "platform/MessageService.h"
#include "platform/RefusalTexts.h"
#include "platform/StandardButtonTexts.h"

namespace smt::platform {

std::vector<std::string> QtFileChooser::Choose(QWidget* parent, const FileRequest& r) {
  // Qt's own dialog, not the desktop's, so that it speaks the window's
  // language whatever the desktop speaks.
  QFileDialog d(parent, QString::fromStdString(r.caption), QString::fromStdString(r.folder),
                QString::fromStdString(r.filter));
  d.setOption(QFileDialog::DontUseNativeDialog, true);
  switch (r.kind) {
    case FileChoice::Open: d.setFileMode(QFileDialog::ExistingFile); break;
    case FileChoice::OpenMany: d.setFileMode(QFileDialog::ExistingFiles); break;
    case FileChoice::Save:
      d.setAcceptMode(QFileDialog::AcceptSave);
      d.setFileMode(QFileDialog::AnyFile);
      // The question before a file is replaced is asked by the message
      // service, in the window's language (Qt's own may have no translation).
      d.setOption(QFileDialog::DontConfirmOverwrite, true);
      break;
  }
  NameFileDialog(&d);
  std::vector<std::string> out;
  for (;;) {
    if (d.exec() != QDialog::Accepted) return out;
    if (r.kind != FileChoice::Save || d.selectedFiles().isEmpty() || !QFileInfo::exists(d.selectedFiles().front())) break;
    const std::string question =
        FillText(CommonText("Common.c_OverwriteQuestion", "“%1” 已存在。\r\n要替换它吗？"),
                 {QFileInfo(d.selectedFiles().front()).fileName().toStdString()});
    if (ShowMessage(question, MsgButtons::YesNo, MsgIcon::Question) == MsgAnswer::Yes) break;
    // No: the dialog again, where the operator left it.
    d.selectFile(d.selectedFiles().front());
  }
  for (const QString& p : d.selectedFiles()) {
    out.push_back(p.toStdString());
    if (r.kind != FileChoice::OpenMany) break;
  }
  return out;
}

}  // namespace smt::platform
