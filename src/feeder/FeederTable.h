#pragma once
// The feeder table: named feeder groups, each an ordered list of feeder rows
// (typed records that keep their cells' spellings) with one tray record per row, and the one current group
// that the feeder list shows and the tests and the run read. Its text form is
// the line list of "config_feed.fig" that the shell keeps. The machine owns
// its table (FeederTable::Of): the feeder list panel shows and edits it, the
// run, the part list and the feeder services read it.
//
// Every operation takes the table's lock, so the feeder test worker and the
// run may read rows (by copy) while the window edits the table.
#include <array>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "feeder/FeederNames.h"
#include "feeder/FeederRecord.h"
#include "platform/SystemText.h"

namespace smt {
class Machine;
}

namespace smt::feeder {

inline constexpr int kFeederCells = kFeederRecordCells;

// Cell indexes used by name.
enum FeederCell {
  kCellNumber = 0, kCellType = 1, kCellPackage = 2, kCellValue = 3, kCellX = 4, kCellY = 5, kCellLength = 6,
  kCellWidth = 7, kCellHeight = 8, kCellAngle = 9, kCellHead = 10, kCellVacuum = 11, kCellCamera = 12,
  kCellFly = 13, kCellFeedMode = 14, kCellPickDelay = 15, kCellPlaceDelay = 16, kCellFeedCoord = 17,
  kCellFeedCount = 18, kCellFeedTime = 19, kCellSlack = 20, kCellTension = 21, kCellPickHeight = 22,
  kCellSpeed = 23, kCellEarlyVacuum = 24, kCellFeature = 25, kCellQuantity = 26, kCellPrecisionXY = 27,
  kCellPrecisionA = 28, kCellCollectTime = 29
};

struct TrayRecord {
  int rows = 1, cols = 1;
  int rowSerial = 0, colSerial = 0;
  double rowSpace = 0, colSpace = 0;
  std::vector<std::string> cells;  // rows x cols, row-major; may be empty (no grid)
  // A tray whose line could not be read: its lines as the file held them,
  // written back unchanged (rows and cols are 0, so nothing is picked from
  // it) while its values stay as loaded (KeptAsRead).
  std::vector<std::string> keptLines;

  // The tray's line as the file spelt it, and its values as read: the line
  // goes back as it was while the values stay.
  std::string readLine;
  std::string readValues;
  // A tray the load did not reach (the group's trays from here on could not
  // be read): its row's slot in the group; its lines are among the lines
  // kept after the group. -1 for a tray that was read or made here.
  int unreadSlot = -1;

  // 1 x 1, serials 0, pitches 0; with one cell holding `cell` when given.
  static TrayRecord Default(std::optional<std::string> cell = std::nullopt);
  // The values in a form that compares exactly.
  std::string ValuesKey() const;
  // Kept lines that still stand for the tray (no value changed since).
  bool KeptAsRead() const;
  bool operator==(const TrayRecord& o) const {
    return rows == o.rows && cols == o.cols && rowSerial == o.rowSerial && colSerial == o.colSerial &&
           rowSpace == o.rowSpace && colSpace == o.colSpace && cells == o.cells && keptLines == o.keptLines &&
           unreadSlot == o.unreadSlot;
  }
};

struct FeederGroup {
  std::string name;
  std::string description;
  std::vector<FeederRow> rows;
  std::vector<TrayRecord> trays;  // empty (a group that never had rows) or one per row
  // The group a load had to stop in: what follows what was read of it is
  // kept as the file held it (see FeederTable::SaveToLines).
  bool loadStoppedHere = false;
  int RowCount() const { return static_cast<int>(rows.size()); }
  bool HasTrays() const { return !trays.empty(); }
  bool operator==(const FeederGroup&) const = default;
};

// One row of the feeder list as the list shows it: 30 texts and the picture
// of each cell (-1 none). Pictures: 0 plain, 1 camera, 2 flying centring,
// 3 own speed, 4 option off, 5 pasted own speed, 6 marked, 7 used by the job.
struct FeederListRow {
  std::array<std::string, kFeederCells> text;
  std::array<int, kFeederCells> icon;
  FeederListRow() { icon.fill(-1); icon[0] = 0; }
};

// A list row as the table keeps it, read where it comes in (`listLine`
// names it in a refusal). The camera, flying-centring and speed flags come
// from the pictures; a pasted own speed (picture 5) counts as on when
// `pastedCounts`.
FeederRow RowFromListRow(const FeederListRow& row, int listLine, bool pastedCounts = true);

// A row as the list shows it (flags as pictures, values as texts), untranslated.
FeederListRow ListRowOf(const FeederRow& row);

// What one tray grid cell shows.
struct TrayGridCell {
  std::string text;
  bool present = false;
};
struct TrayGridView {
  int rows = 0, cols = 0;
  double rowSpace = 0, colSpace = 0;
  std::vector<TrayGridCell> cells;  // rows x cols
};

// What one feeder file (table or CSV) may ask for: tray cells in all, and
// the largest tray spacing in millimetres.
inline constexpr long long kMaxTrayCellsPerFile = 1'000'000;
inline constexpr double kMaxTraySpacingMm = 10000.0;
// Rows or columns of one tray.
inline constexpr int kMaxTraySideCells = 10000;

inline constexpr const char* kFeederFileName = "config_feed.fig";

// A line of the feeder table that could not be read: kept as it was and
// not used.
struct FeederLineProblem {
  int line = 0;  // 1-based
  std::string field;
  std::string text;  // "line N: field ...: ..."
};

struct FeederLoadResult {
  bool ok = false;
  std::string error;  // empty when the whole form was read; else every problem, one a line
  std::vector<FeederLineProblem> skipped;  // rows and trays kept as they were but not used
  int stoppedAtLine = 0;  // a count that could not be read ended the load here (0: none)
};

// Splits a row text at every TAB; text after the last TAB is not a cell.
std::vector<std::string> SplitTabCells(const std::string& line);
// "Yes/<value>" -> (true, value); text without "/" -> flag text, empty value.
std::pair<bool, std::string> SplitFlagCell(const std::string& cell);
// Side letter of a feeder number: the first of W, N, E, S, G found; 0 when none.
char FeederSideLetter(const std::string& number);

class FeederTable {
 public:
  static constexpr smt::platform::SystemText kFeedNumberError{"FeederMessagesConfig", "FeederMessages.c_FeedNumberError", "Feed number error !"};

  // The machine's feeder table (made empty on first use, kept for the
  // machine's life).
  static FeederTable& Of(smt::Machine& machine);

  // --- groups -------------------------------------------------------------
  int FindGroupByName(const std::string& name) const;
  int GroupCount() const;
  int CurrentIndex() const;
  std::string CurrentName() const;
  void SetCurrentName(const std::string& name);
  std::vector<FeederGroup> Groups() const;
  std::optional<FeederGroup> CurrentGroup() const;
  int CurrentRowCount() const;
  // Row n of the current group (copy), nullopt outside.
  std::optional<FeederRow> CurrentRow(int n) const;
  // Index of the current group's first row with this number, -1 when none.
  int FindCurrentRow(const std::string& number) const;
  // Sets one text cell of row n of the current group; false outside.
  bool SetCurrentCell(int n, int cell, const std::string& text);
  // The measured pick height of row n; false outside or out of range.
  bool SetCurrentPickHeight(int n, double mm);
  // The run's count-downs of row n of the current group: the feed count
  // (the 0402 and 48 feeders' pocket toggle) and the parts remaining.
  bool SetCurrentFeedCount(int n, int count);
  bool SetCurrentQuantity(int n, int quantity);

  // Makes the named group current and returns its rows as the list shows
  // them (translated; translations written back). No such group: current
  // index -1 and no rows.
  std::vector<FeederListRow> ShowGroupInList(const std::string& name, const FeederNameTables& names);

  // --- text form -----------------------------------------------------------
  // Builds the table from `lines`, consuming what it read. No lines: false
  // with FeedGroup.c_Message_09 for the caller to show. A form that ends
  // early or holds impossible counts keeps what was read whole and reports it.
  FeederLoadResult LoadFromLines(std::vector<std::string>& lines, const FeederNameTables& names);
  std::vector<std::string> SaveToLines();

  // --- editing the current group -------------------------------------------
  void CopyGroupToBuffer();
  void AppendRowFromList(const FeederListRow& row);
  void StoreListRow(const FeederListRow& row, int n);
  // Row n of the current group becomes `row` (cells as they are).
  void StoreRow(const FeederRow& row, int n);
  bool DeleteRowByNumber(const std::string& number);
  bool PasteRowAfter(const std::string& sourceNumber, const std::string& newNumber);
  void ClearBufferGroup();
  void ClearCurrentGroupRows();
  // Replaces the current group's rows and trays (CSV import).
  void ReplaceCurrentRows(std::vector<FeederRow> rows, std::vector<TrayRecord> trays);
  // Moves the pick point of every row of the current group by dx, dy (mm).
  // A row that cannot be read or would leave the pick-point range refuses
  // the whole shift (nothing changes): the refusal names the feeder.
  std::string ShiftCurrentPositions(double dx, double dy);

  // --- working tray ----------------------------------------------------------
  void AllocTrayGrid(int rows, int cols);
  void FreeTrayGrid();
  void LoadTray(int n);
  void StoreTray(int n);
  void StoreTrayWithCells(int n);
  void FreeRowTray(int n);
  TrayRecord WorkTray() const;
  void SetWorkTray(TrayRecord t);
  std::optional<TrayRecord> CurrentTray(int n) const;
  // A next-row of -1 in row n's tray becomes 0.
  void NormalizeTrayRowSerial(int n);
  TrayGridView ShowTrayGrid() const;
  void StoreTrayFromGrid(int rows, int cols, double rowSpace, double colSpace, const std::vector<TrayGridCell>& cells);

  // --- the group manager ----------------------------------------------------
  void AddGroup(const std::string& name, const std::string& description);
  // False when the source does not exist.
  bool CopyGroup(const std::string& source, const std::string& name, const std::string& description);
  // Renames the group `oldName`; keeps currentName in step.
  bool EditGroup(const std::string& oldName, const std::string& name, const std::string& description);
  // Removes a group that is not the current one; false otherwise.
  bool DeleteGroup(const std::string& name);
  void Clear();

 private:
  int FindGroupUnlocked(const std::string& name) const;
  FeederGroup* CurrentUnlocked();
  const FeederGroup* CurrentUnlocked() const;
  void ClearCurrentRowsUnlocked();

  mutable std::mutex m_;
  // What a load that had to stop could not read, written back as read after
  // the groups the table holds, whatever was edited:
  // - stoppedLead_: the lines of the group the load stopped in, from its
  //   group line up to the first line not read (empty when that group's
  //   own line could not be read: the tail then starts with it);
  // - unreadTail_: the form's lines from the first line not read to the end;
  // - unreadGroups_: how many groups these lines hold (the stopped one
  //   included).
  // While the stopped group keeps its shape (its rows, and which of its
  // trays were read) it is written at its place with the tail after it;
  // otherwise it is written as a whole group and its lines as read follow.
  // A form whose group count could not be read is kept whole (unreadForm_).
  std::vector<std::string> stoppedLead_;
  std::vector<std::string> unreadTail_;
  int unreadGroups_ = 0;
  std::optional<FeederGroup> stoppedGroup_;
  std::vector<std::string> unreadForm_;
  std::vector<FeederGroup> groups_;
  int currentIndex_ = 0;
  std::string currentName_;
  FeederGroup buffer_;
  TrayRecord workTray_ = TrayRecord::Default();
};

}  // namespace smt::feeder
