#include "job/RunTally.h"

#include "platform/RefusalTexts.h"
#include "platform/SettingsSection.h"

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

RunEndWords RunEndWords::Load(const std::string& appDir, const std::string& language) {
  const RunEndWords d;
  smt::platform::LanguageSection s(appDir, language, "PartListConfig");
  RunEndWords w;
  w.finished = s.Text("PartList.c_RunFinished", d.finished);
  w.stopped = s.Text("PartList.c_RunStopped", d.stopped);
  w.placed = s.Text("PartList.c_RunPlaced", d.placed);
  w.failed = s.Text("PartList.c_RunFailed", d.failed);
  w.skipped = s.Text("PartList.c_RunSkipped", d.skipped);
  w.incomplete = s.Text("PartList.c_RunIncomplete", d.incomplete);
  return w;
}

std::string RunEndHead(const RunCounts& c, const RunEndWords& w) { return c.finished ? w.finished : w.stopped; }

std::string RunEndText(const RunCounts& c, const RunEndWords& w) {
  using smt::platform::FillText;
  auto n = [](int v) { return std::to_string(v); };
  std::string t = RunEndHead(c, w) + ": " + FillText(w.placed, {n(c.placed), n(c.toPlace)});
  if (c.failed) t += ", " + FillText(w.failed, {n(c.failed)});
  if (c.skipped) t += ", " + FillText(w.skipped, {n(c.skipped)});
  if (c.finished && !c.Complete()) t += " - " + w.incomplete;
  return t;
}

}  // namespace smt::job
