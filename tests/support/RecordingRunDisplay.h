#pragma once
// The tests' run display: counts what a run shows and hands the row states
// to the test (`onRowState`, called on the run's thread). Connect it with
// smt::run::Services(smt::CurrentMachine()).display.Connect(...).
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "run/RunDisplay.h"

namespace testsupport {

class RecordingRunDisplay : public smt::run::RunDisplay {
 public:
  std::function<void(smt::job::RowKind list, int row, int image, bool select)> onRowState;
  std::function<void(smt::job::RowKind list)> onReset;

  void RowState(smt::job::RowKind list, int row, int image, bool select) override {
    ++rowStates;
    if (onRowState) onRowState(list, row, image, select);
  }
  void ResetRowStates(smt::job::RowKind list) override {
    ++resets;
    if (onReset) onReset(list);
  }
  void Progress(int pos, int range) override {
    lastProgress = pos;
    lastRange = range;
  }
  void ShowRow(int) override { ++rowsShown; }
  void ShowList(int list) override { shownList = list; }
  void PanelLabel(int, int, int boardsDone) override {
    if (boardsDone >= 0) lastBoardsDone = boardsDone;
  }
  void CoverCount(int count) override { coverCount = count; }
  void EnableRunWindows(bool enabled) override { windowsEnabled = enabled; }
  void Info(const std::string& line) override {
    std::lock_guard lk(m_);
    infoLines.push_back(line);
  }
  std::vector<std::string> InfoLines() const {
    std::lock_guard lk(m_);
    return infoLines;
  }

  std::atomic<int> rowStates{0}, resets{0}, rowsShown{0}, lastProgress{-1}, lastRange{-1}, shownList{0},
      lastBoardsDone{-1}, coverCount{-1};
  std::atomic<bool> windowsEnabled{true};

 private:
  mutable std::mutex m_;
  std::vector<std::string> infoLines;
};

}  // namespace testsupport
