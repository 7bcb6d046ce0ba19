#include "app/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace smt::app {

FirstPlacement PlaceMainWindow(QSize wanted, const QRect& available, const QMargins& frame) {
  const QRect room = available.marginsRemoved(frame);
  if (wanted.width() <= room.width() && wanted.height() <= room.height()) {
    QRect client(QPoint(0, 0), wanted);
    client.moveCenter(room.center());
    return {client, false};
  }
  return {room, true};
}

void ShowFittingTheScreen(QWidget& window) {
  QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
  if (!screen) {
    window.show();
    return;
  }
  const FirstPlacement p = PlaceMainWindow(kMainWindowSize, screen->availableGeometry(), kAssumedWindowFrame);
  window.setGeometry(p.client);
  if (p.maximize) window.showMaximized();
  else window.show();
}

}  // namespace smt::app
