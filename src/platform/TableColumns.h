#pragma once
// Column widths that show their texts: a column is widened (never narrowed)
// until its header text and the texts of its first rows fit.
class QTableView;

namespace smt::platform {

// Widens the columns of `view` now.
void WidenColumnsToTexts(QTableView* view, int rowsLooked = 30);
// Widens them now and again, on the window thread's next turn, whenever the
// view's model changes its titles or rows (call after the model is set).
void KeepColumnsWideEnough(QTableView* view);

}  // namespace smt::platform
