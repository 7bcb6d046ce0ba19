#pragma once
// The part list's run toolbar: PCB edit, strategy, start, pause, resume,
// stop, board clamp, find, compare, update and dispensing. Each button sends
// its command number (104..114) to the part list panel.
#include <QToolBar>
#include <functional>

class CToolBarPartControl : public QToolBar {
  Q_OBJECT
 public:
  static constexpr int kFirstCommand = 104;
  static constexpr int kButtonCount = 11;

  explicit CToolBarPartControl(QWidget* parent = nullptr);

  // Adds the eleven buttons; `onCommand` receives the command number.
  bool Create(std::function<void(int)> onCommand);

  QAction* Button(int command) const;
  static const char* ButtonText(int command);
  // The button showing `action` (the buttons lie in rows of their own,
  // so that a narrow panel wraps them instead of hiding the last ones).
  QWidget* widgetForAction(QAction* action) const;

 private:
  QList<QAction*> buttons_;
  class ButtonRows* rows_ = nullptr;
};
