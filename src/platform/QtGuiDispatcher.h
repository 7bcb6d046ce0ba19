#pragma once
#include <QObject>

#include "platform/GuiDispatcher.h"

namespace smt::platform {

// Dispatcher onto the thread of the QApplication. Create it on that thread.
class QtGuiDispatcher : public QObject, public GuiDispatcher {
  Q_OBJECT
 public:
  QtGuiDispatcher();
  void Post(std::function<void()> work) override;
  void RunBlocking(std::function<void()> work) override;
  bool IsGuiThread() const override;
};

}  // namespace smt::platform
