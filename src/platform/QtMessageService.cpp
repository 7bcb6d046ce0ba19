#include "platform/QtMessageService.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/GuiDispatcher.h"

namespace smt::platform {

MsgAnswer QtMessageService::Show(const MessageRequest& request) {
  MsgAnswer answer = MsgAnswer::Cancel;
  RunOnGui([&] {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
    box.setWindowTitle(QString::fromStdString(request.caption.empty() ? std::string("SMT") : request.caption));
    box.setText(QString::fromStdString(request.text));
    switch (request.icon) {
      case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
      case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
      case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
      case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
      case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    switch (request.buttons) {
      case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
      case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
      case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
      case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
      case MsgButtons::RetryCancel: box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel); break;
    }
    switch (box.exec()) {
      case QMessageBox::Ok: answer = MsgAnswer::Ok; break;
      case QMessageBox::Yes: answer = MsgAnswer::Yes; break;
      case QMessageBox::No: answer = MsgAnswer::No; break;
      case QMessageBox::Retry: answer = MsgAnswer::Retry; break;
      default: answer = MsgAnswer::Cancel; break;
    }
  });
  return answer;
}

}  // namespace smt::platform
