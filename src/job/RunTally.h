#pragma once
// What a run did to the placement list, counted from the row states the run
// shows: rows placed, rows that failed, rows the run was to place and rows
// it passed over. It feeds the progress bar while the run goes and the
// line that says how the run ended. Window thread only.
#include <map>
#include <string>

namespace smt::job {

// Row images the placement runs show.
inline constexpr int kRowImagePlaced = 6;
inline constexpr int kRowImageFailed = 7;

struct RunCounts {
  int toPlace = 0;   // rows the run was to place (over every board cell it worked on)
  int placed = 0;
  int failed = 0;    // rows whose part was not placed (vacuum, vision)
  int skipped = 0;   // rows whose "place" is off: the run passes over them
  bool running = false;
  bool finished = false;  // the run came to its end by itself (not stopped)
  bool ended = false;     // a run has ended since the last reset
  // Rows the run has dealt with: placed or failed.
  int Done() const { return placed + failed; }
  // Everything it was to place is placed and it came to its end.
  bool Complete() const { return ended && finished && placed == toPlace && failed == 0; }
};

class RunTally {
 public:
  // A run starts with `rowsToPlace` rows to place and `rowsSkipped` rows off
  // on each board cell.
  void Start(int rowsToPlace, int rowsSkipped);
  // A row's state: placed or failed (other images are steps on the way).
  void Row(int row, int image);
  // The list's row states were reset: the board cell is done.
  void CellDone();
  void End(bool finished);
  // File > New, another job: nothing to show.
  void Reset() { *this = RunTally{}; }

  // The counts so far, the cell in work included.
  RunCounts Counts() const;

 private:
  RunCounts total_;
  int perCellToPlace_ = 0, perCellSkipped_ = 0;
  int cells_ = 0;
  std::map<int, int> cell_;  // row -> last placed / failed image in the cell in work
};

// The words of the end line, read from the language file of `language` in
// `appDir` (section PartListConfig); the built-in Chinese words are the
// defaults. %1 and %2 stand for the counts.
struct RunEndWords {
  std::string finished = "运行结束";
  std::string stopped = "运行已停止";
  std::string placed = "已贴 %1 / %2";
  std::string failed = "失败 %1";
  std::string skipped = "跳过 %1";
  std::string incomplete = "未完成";
  static RunEndWords Load(const std::string& appDir, const std::string& language);
};

// The end line, e.g. "Run finished: placed 4 of 4" / "Run stopped: placed 2
// of 4, 1 failed" in the words' language.
std::string RunEndText(const RunCounts& c, const RunEndWords& words);
// The run's head word alone ("Run finished" / "Run stopped").
std::string RunEndHead(const RunCounts& c, const RunEndWords& words);

}  // namespace smt::job
