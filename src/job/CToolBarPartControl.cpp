#include "job/CToolBarPartControl.h"

#include <QAction>
#include <QLayout>
#include <QToolButton>
#include <algorithm>

namespace {
const char* const kTexts[CToolBarPartControl::kButtonCount] = {
    "Pcb Edit", "Strategy", "Start", "Pause", "Regain", "Stop", "Pcb Clamp", "Find", "Compare", "Update", "Smt Dis"};
}

// The eleven buttons left to right, wrapped into a second row when the
// panel is too narrow for one (the German texts beside the camera and jog
// column of a 1366-pixel screen): no button is ever pushed into an overflow
// menu where the operator would not see it.
class ButtonRows : public QWidget {
 public:
  explicit ButtonRows(QWidget* parent) : QWidget(parent) {
    setObjectName("buttonRows");
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  }
  void Add(QToolButton* b) { buttons_.append(b); }
  QSize sizeHint() const override { return {MinimumWidth(), HeightFor(width() > 0 ? width() : 10000)}; }
  QSize minimumSizeHint() const override { return sizeHint(); }
  void Place() {
    int x = 0, y = 0, rowH = 0;
    for (QToolButton* b : buttons_) {
      const QSize s = b->sizeHint();
      if (x > 0 && x + s.width() > width()) {
        x = 0;
        y += rowH;
        rowH = 0;
      }
      b->setGeometry(x, y, s.width(), s.height());
      x += s.width();
      rowH = std::max(rowH, s.height());
    }
    if (y + rowH != height()) updateGeometry();
  }

 protected:
  void resizeEvent(QResizeEvent*) override { Place(); }

 private:
  int MinimumWidth() const {
    int w = 0;
    for (QToolButton* b : buttons_) w = std::max(w, b->sizeHint().width());
    return w;
  }
  int HeightFor(int width) const {
    int x = 0, y = 0, rowH = 0;
    for (QToolButton* b : buttons_) {
      const QSize s = b->sizeHint();
      if (x > 0 && x + s.width() > width) {
        x = 0;
        y += rowH;
        rowH = 0;
      }
      x += s.width();
      rowH = std::max(rowH, s.height());
    }
    return y + rowH;
  }
  QList<QToolButton*> buttons_;
};

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
    if (!rows_) {
      rows_ = new ButtonRows(this);
      addWidget(rows_);
    }
    auto* a = new QAction(QString::fromUtf8(kTexts[i]), this);
    a->setData(command);
    auto* b = new QToolButton(rows_);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setAutoRaise(true);
    b->setDefaultAction(a);
    rows_->Add(b);
    connect(a, &QAction::triggered, this, [onCommand, command] {
      if (onCommand) onCommand(command);
    });
    buttons_.append(a);
  }
  // A text changed (a language switch): the rows are laid out again.
  for (QAction* a : buttons_)
    connect(a, &QAction::changed, rows_, [r = rows_] {
      r->updateGeometry();
      r->Place();
    });
  return true;
}

QWidget* CToolBarPartControl::widgetForAction(QAction* action) const {
  if (!rows_ || !action) return nullptr;
  for (auto* b : rows_->findChildren<QToolButton*>())
    if (b->defaultAction() == action) return b;
  return nullptr;
}

QAction* CToolBarPartControl::Button(int command) const {
  int i = command - kFirstCommand;
  return i >= 0 && i < buttons_.size() ? buttons_[i] : nullptr;
}

const char* CToolBarPartControl::ButtonText(int command) {
  int i = command - kFirstCommand;
  return i >= 0 && i < kButtonCount ? kTexts[i] : "";
}
