#include "job/CToolBarPartControl.h"

#include <QAction>

namespace {
const char* const kTexts[CToolBarPartControl::kButtonCount] = {
    "Pcb Edit", "Strategy", "Start", "Pause", "Regain", "Stop", "Pcb Clamp", "Find", "Compare", "Update", "Smt Dis"};
}

CToolBarPartControl::CToolBarPartControl(QWidget* parent) : QToolBar(parent) {
  setObjectName("CToolBarPartControl");
  setMovable(false);
  setFloatable(false);
  setToolButtonStyle(Qt::ToolButtonTextOnly);
}

bool CToolBarPartControl::Create(std::function<void(int)> onCommand) {
  if (!buttons_.isEmpty()) return true;
  for (int i = 0; i < kButtonCount; ++i) {
    const int command = kFirstCommand + i;
    QAction* a = addAction(QString::fromUtf8(kTexts[i]));
    a->setData(command);
    connect(a, &QAction::triggered, this, [onCommand, command] {
      if (onCommand) onCommand(command);
    });
    buttons_.append(a);
  }
  return true;
}

QAction* CToolBarPartControl::Button(int command) const {
  int i = command - kFirstCommand;
  return i >= 0 && i < buttons_.size() ? buttons_[i] : nullptr;
}

const char* CToolBarPartControl::ButtonText(int command) {
  int i = command - kFirstCommand;
  return i >= 0 && i < kButtonCount ? kTexts[i] : "";
}
