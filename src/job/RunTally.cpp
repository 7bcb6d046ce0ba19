#include "job/RunTally.h"

#include <algorithm>

namespace smt::job {

void RunTally::Start(int rowsToPlace, int rowsSkipped) {
  *this = RunTally{};
  perCellToPlace_ = std::max(rowsToPlace, 0);
  perCellSkipped_ = std::max(rowsSkipped, 0);
  total_.running = true;
}

void RunTally::Row(int row, int image) {
  if (!total_.running) return;
  if (image == kRowImagePlaced || image == kRowImageFailed) cell_[row] = image;
}

void RunTally::CellDone() {
  if (!total_.running) return;
  // A reset with nothing shown in the cell (the list cleared before the
  // first part) is no cell of the run.
  if (cell_.empty()) return;
  for (const auto& [row, image] : cell_) (image == kRowImagePlaced ? total_.placed : total_.failed) += 1;
  cell_.clear();
  ++cells_;
}

void RunTally::End(bool finished) {
  if (!total_.running) return;
  CellDone();
  total_.running = false;
  total_.ended = true;
  total_.finished = finished;
}

RunCounts RunTally::Counts() const {
  RunCounts c = total_;
  for (const auto& [row, image] : cell_) (image == kRowImagePlaced ? c.placed : c.failed) += 1;
  // Every cell worked on, the one in work included, and at least one.
  const int cells = std::max(cells_ + (cell_.empty() ? 0 : 1), 1);
  c.toPlace = perCellToPlace_ * cells;
  c.skipped = perCellSkipped_ * cells;
  return c;
}

std::string RunEndText(const RunCounts& c, const std::string& language) {
  const bool de = language == "German", en = language == "English";
  std::string t;
  auto n = [](int v) { return std::to_string(v); };
  if (de) {
    t = std::string(c.finished ? "Lauf beendet" : "Lauf abgebrochen") + ": " + n(c.placed) + " von " + n(c.toPlace) +
        " bestückt";
    if (c.failed) t += ", " + n(c.failed) + " fehlgeschlagen";
    if (c.skipped) t += ", " + n(c.skipped) + " übersprungen";
    if (c.finished && !c.Complete()) t += " - unvollständig";
  } else if (en) {
    t = std::string(c.finished ? "Run finished" : "Run stopped") + ": placed " + n(c.placed) + " of " + n(c.toPlace);
    if (c.failed) t += ", " + n(c.failed) + " failed";
    if (c.skipped) t += ", " + n(c.skipped) + " skipped";
    if (c.finished && !c.Complete()) t += " - incomplete";
  } else {
    t = std::string(c.finished ? "运行结束" : "运行已停止") + ": 已贴 " + n(c.placed) + " / " + n(c.toPlace);
    if (c.failed) t += ", 失败 " + n(c.failed);
    if (c.skipped) t += ", 跳过 " + n(c.skipped);
    if (c.finished && !c.Complete()) t += " - 未完成";
  }
  return t;
}

}  // namespace smt::job
