#pragma once
// Answers the modal dialogs and pop-up menus an operator's action opens, one
// step per window, in the order they appear. Each step gets the new window
// on the next turn of the event loop and does what the operator does there
// (it closes it, or opens the next window from it). When the time is up,
// every window still open is closed, so nothing waits without end.
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <functional>
#include <vector>

namespace smt::test {

using ModalStep = std::function<void(QWidget&)>;

// Runs `open` and the steps; returns how many steps were started.
inline size_t RunWithModalSteps(const std::function<void()>& open, const std::vector<ModalStep>& steps,
                                std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  std::vector<QPointer<QWidget>> seen;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool late = false;
  QTimer timer;
  timer.setInterval(5);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (std::chrono::steady_clock::now() > deadline) late = true;
    QWidget* w = QApplication::activePopupWidget();
    if (!w) w = QApplication::activeModalWidget();
    if (!w) return;
    if (late || seen.size() >= steps.size()) {
      if (std::find(seen.begin(), seen.end(), w) != seen.end() && !late) return;  // its step is still at work
      if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
      else w->close();
      return;
    }
    if (std::find(seen.begin(), seen.end(), w) != seen.end()) return;
    seen.emplace_back(w);
    QPointer<QWidget> target(w);
    QTimer::singleShot(0, w, [target, step = steps[seen.size() - 1]] {
      if (target) step(*target);
    });
  });
  timer.start();
  open();
  timer.stop();
  return seen.size();
}

}  // namespace smt::test
