#pragma once
// Where the main window first opens: at its own size when the screen has
// room for it with the window frame, else filling the room the desktop
// leaves (maximised), so that nothing of it lies below the screen's edge.
#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace smt::app {

// The main window's own size, where the screen has room for it.
inline constexpr QSize kMainWindowSize{1304, 902};
// The frame a desktop puts round a window before it is shown and can say.
inline constexpr QMargins kAssumedWindowFrame{4, 30, 4, 4};

struct FirstPlacement {
  QRect client;   // the client area (inside the frame), in screen coordinates
  bool maximize;  // the window fills the available room
};

// `available`: the screen less its task bars; `frame`: the window's frame.
FirstPlacement PlaceMainWindow(QSize wanted, const QRect& available, const QMargins& frame);

// Shows `window` placed on its screen as above.
void ShowFittingTheScreen(QWidget& window);

}  // namespace smt::app
