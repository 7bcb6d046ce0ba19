#include "platform/QtFileChooser.h"

#include <QFileDialog>

namespace smt::platform {

std::vector<std::string> QtFileChooser::Choose(QWidget* parent, const FileRequest& r) {
  const QString caption = QString::fromStdString(r.caption);
  const QString folder = QString::fromStdString(r.folder);
  const QString filter = QString::fromStdString(r.filter);
  std::vector<std::string> out;
  switch (r.kind) {
    case FileChoice::Open: {
      const QString p = QFileDialog::getOpenFileName(parent, caption, folder, filter);
      if (!p.isEmpty()) out.push_back(p.toStdString());
      break;
    }
    case FileChoice::OpenMany:
      for (const QString& p : QFileDialog::getOpenFileNames(parent, caption, folder, filter)) out.push_back(p.toStdString());
      break;
    case FileChoice::Save: {
      const QString p = QFileDialog::getSaveFileName(parent, caption, folder, filter);
      if (!p.isEmpty()) out.push_back(p.toStdString());
      break;
    }
  }
  return out;
}

}  // namespace smt::platform
