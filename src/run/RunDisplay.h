#pragma once
// What a run shows while it works: the states of the list's rows, its
// progress, the row and the list in view, the board's panel cell and count,
// the cover-tape count, the windows a run disables, and the jog panel's
// information line. The shell connects one object (RunServices::display);
// every method only shows: the shell's implementation posts to the window
// thread and returns, so a run thread never waits for the window. Tests
// connect their own.
#include <string>

#include "job/JobRows.h"

namespace smt::run {

// The state image of a dispensed row in the dispensing list.
inline constexpr int kDispensedRowImage = 10;

class RunDisplay {
 public:
  virtual ~RunDisplay() = default;
  // Row `row` of `list` shows state image `image`; `select` selects it.
  virtual void RowState(smt::job::RowKind list, int row, int image, bool select) = 0;
  // Every row of `list` back to its state before the run (a new board).
  virtual void ResetRowStates(smt::job::RowKind list) = 0;
  // The progress bar: position `pos` of `range`.
  virtual void Progress(int pos, int range) = 0;
  // The placement list scrolled so that `row` is in view.
  virtual void ShowRow(int row) = 0;
  // The list the run works on shown, the others hidden (1 placement,
  // 2 dispensing, 3 drill).
  virtual void ShowList(int list) = 0;
  // The board label's panel cell (r, c); `boardsDone` >= 0 also shows the
  // count of boards done.
  virtual void PanelLabel(int r, int c, int boardsDone) = 0;
  // The cover-tape count in the part counter.
  virtual void CoverCount(int count) = 0;
  // The placement list, camera panel and jog panel, disabled while a run
  // works and enabled again at its end.
  virtual void EnableRunWindows(bool enabled) = 0;
  // One line in the jog panel's information box.
  virtual void Info(const std::string& line) = 0;
};

}  // namespace smt::run
