#pragma once
// Geometric checks of a window as the operator sees it on a given screen:
// the window fits the screen, every control lies inside its window, no two
// sibling controls overlap, every label, button and title text fits its
// control, and no text is a code name. Each problem is one line of text.
#include <QSize>
#include <QString>
#include <string>
#include <vector>

class QWidget;

namespace smt::test {

struct ScreenSize {
  const char* name;
  int width;
  int height;
};

// What a desktop takes from the screen: a task bar and the window's frame.
inline constexpr int kTaskBarHeight = 40;
inline constexpr int kTitleBarHeight = 30;
inline constexpr int kFrameBorder = 4;

// The client area a window can have at most on `screen`.
QSize AvailableClientSize(const ScreenSize& screen);

// The size a window system gives a top-level window with a layout when it is
// first shown on `screen` (its size hint, at most two thirds of the screen,
// never below its minimum size).
QSize FirstShownSize(const QWidget& window, const ScreenSize& screen);

// The problems of `window` (already laid out at its current size) on
// `screen`. `where` prefixes every line.
std::vector<std::string> CheckWindowLayout(QWidget& window, const ScreenSize& screen, const std::string& where);

// Why `w` cannot be seen in `window` as it is (without scrolling): missing,
// hidden, or cut off by the window or a parent (a scroll area's viewport).
// Empty when it is in sight.
std::string WhyNotInSight(QWidget* w, QWidget& window);

// True when `text` looks like a name from the code rather than a text for the
// operator ("m_BaseDiameter", "ManualControl.c_Online", "IDC_EDIT1").
bool LooksLikeCodeName(const QString& text);

}  // namespace smt::test
