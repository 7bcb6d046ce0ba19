#include "platform/QtFileChooser.h"

#include <QFileDialog>

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
      break;
  }
  NameFileDialog(&d);
  std::vector<std::string> out;
  if (d.exec() != QDialog::Accepted) return out;
  for (const QString& p : d.selectedFiles()) {
    out.push_back(p.toStdString());
    if (r.kind != FileChoice::OpenMany) break;
  }
  return out;
}

}  // namespace smt::platform
