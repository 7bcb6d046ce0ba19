#pragma once
// The job's work rows as typed records: a placement (16 cells), a
// dispensing point and a drill row (15 cells each), read from their cell
// texts with every number checked once, where the file is read. A cell that
// is not a finite number in its field's range refuses the line with the
// file, the line and the field named (platform::FileCellError).
//
// The PCB table holds every board's placements as these records, read once
// when the job is opened and written from them when it is saved. The shown
// list keeps the cell texts the operator sees and edits; what works with the
// values (the run, the board geometry) takes these records.
#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "job/JobRows.h"
#include "platform/FileCell.h"
#include "platform/LargeBlock.h"

namespace smt::job {

// Largest coordinate of a board point, a pitch or an origin (mm).
inline constexpr double kMaxBoardMm = 10000.0;
// Largest angle (degrees): imports give 0..360; whole turns beyond are taken
// off by the run (900 places at 180), up to ten of them.
inline constexpr double kMaxAngle = 3600.0;
// Largest serial number a row may carry.
inline constexpr long long kMaxSerial = 10'000'000;

// How a number cell is written again. A cell read in the plain decimal form
// ("12", "-3.50") is written from the value with the same number of
// decimals, which gives the same bytes; any other text ("+5", "1e3", " 7",
// an empty cell, a cell an editor left that is not a number) is kept as it
// was and written back as it was. A record built in code writes the
// shortest decimal form of its value.
struct CellForm {
  static constexpr int8_t kShortest = -2;
  static constexpr int8_t kAsRead = -1;
  int8_t decimals = kShortest;
  // kAsRead: the cell's text. In the plain decimal form: the text the
  // value was read from, when it was (empty otherwise), with the value's
  // bits in `readBits`. That text is the value written with its decimals,
  // so while the value is still the one read it is written as it is
  // instead of being formatted again.
  std::string text;
  uint64_t readBits = 0;
  // The form alone: what a plain cell was read from does not count.
  bool operator==(const CellForm& o) const { return decimals == o.decimals && (decimals != kAsRead || text == o.text); }
  // The text `value` is written as without formatting it: the cell's text
  // kept as read, or the plain text read while the value is still the one
  // read; null when the value is to be formatted.
  const std::string* TextFor(double value) const {
    if (decimals == kAsRead) return &text;
    return decimals >= 0 && !text.empty() && std::bit_cast<uint64_t>(value) == readBits ? &text : nullptr;
  }
};

// The form a cell's text has: decimals when the text is a plain decimal of
// at most 15 digits (a sign only when `allowSign`), else kAsRead with the text.
CellForm FormOfCell(std::string_view text, bool allowSign = true);
// Appends a number in its cell form.
void AppendCellNumber(std::string& out, double value, const CellForm& form);
std::string CellNumberText(double value, const CellForm& form);

// A placement's feeder: the side letter and the number after it ("W12",
// "W+3"), read from the cell once when it is set. A cell that is no such
// reference (empty, a word, a number too large) has side 0 when it starts
// with no side letter and index 0 when no whole number follows; the
// part list sorts by the reference. The cell is written again as it was
// spelt; a reference made in code is spelt side letter and number.
struct FeederRef {
  char side = 0;   // W, N, E, S or G; 0 none
  int index = 0;   // 0 when the cell holds no number after the side
  bool operator==(const FeederRef&) const = default;
};
// The reference a feeder cell holds.
FeederRef ReadFeederRef(std::string_view cell);

class FeederCell {
 public:
  FeederCell() = default;
  explicit FeederCell(std::string_view text) : text_(text), ref_(ReadFeederRef(text)) {}
  explicit FeederCell(FeederRef ref);
  FeederCell& operator=(std::string_view text) {
    text_ = std::string(text);
    ref_ = ReadFeederRef(text_);
    return *this;
  }
  const std::string& Text() const { return text_; }
  operator const std::string&() const { return text_; }  // NOLINT: the cell as it is written
  FeederRef Ref() const { return ref_; }
  bool empty() const { return text_.empty(); }
  size_t size() const { return text_.size(); }
  bool operator==(const FeederCell& o) const { return text_ == o.text_; }
  bool operator==(std::string_view t) const { return text_ == t; }

 private:
  std::string text_;
  FeederRef ref_;
};

struct PlacementRecord {
  int serial = 0;
  double x = 0, y = 0;  // mm from the board origin
  double angle = 0;     // degrees
  std::string name, type, package;
  bool place = false;   // stored "1/..." (list image "Yes")
  std::string value;
  FeederCell feeder;    // feeder number ("" none)
  bool vision = false;
  std::string feederValue;
  int head = 0;         // the feeder's head (0 any); a cell that is no head number reads as 0
  std::string addTime;
  std::string ownMark;  // own mark's name ("" none)
  std::string spare;    // the last cell, kept as it is
  // The words of the two flag cells after their "1/" or "0/" ("Yes", "No").
  std::string placeWord = "Yes", visionWord = "No";
  // How the number cells are written again.
  CellForm serialForm, xForm, yForm, angleForm, headForm;
  bool operator==(const PlacementRecord&) const = default;
};

// A board's placements: a job of thousands of rows per board holds them in
// blocks of their own with huge pages (see platform/LargeBlock.h), so that
// opening it does not wait on a fault for every few records.
using PlacementList = std::vector<PlacementRecord, platform::LargeBlockAllocator<PlacementRecord>>;

// A placement's cell `k` as the job file stores it (cells 7 and 10 with
// "1/" or "0/") and as the list shows it (the flag words alone).
std::string StoredPlacementCell(const PlacementRecord& r, int k);
std::string ListPlacementCell(const PlacementRecord& r, int k);
// Appends the record as a job file line: 16 cells, each followed by a TAB.
void AppendStoredPlacement(std::string& out, const PlacementRecord& r);
// At least the bytes of that line.
size_t PlacementLineBound(const PlacementRecord& r);
// Writes that line as one archive string at `out` (the same bytes as
// platform::PutArchiveString of the line), which has room for
// platform::ArchiveStringBound(PlacementLineBound(r)) bytes; returns the
// bytes written.
size_t PutStoredPlacement(const PlacementRecord& r, uint8_t* out);
// Sets cell `k` from a text in stored form (flag cells "1/..."): a number
// cell whose text is not a number keeps the text and reads as 0, so what was
// there is written back unchanged and the run refuses it when it takes the
// rows. Never throws.
void SetStoredPlacementCell(PlacementRecord& r, int k, std::string_view text);
// A record from stored cells (an import, a test) without refusing anything.
PlacementRecord PlacementFromStoredCells(const std::vector<std::string>& cells);

struct DispensePoint {
  int serial = 0;
  double x = 0, y = 0, z = 0;
  bool dispense = false;  // cell text "Yes"
  double valveOpen = 0, valveClose = 0;
  int closeDelay = 0, bottomDelay = 0, suckBack = 0;
  std::string note;
};

struct DrillRecord {
  int serial = 0;
  std::string name;
  double diameter = 0, x = 0, y = 0, z = 0, depth = 0, feed = 0, lift = 0;
  bool liftToTop = false;
  int feedStart = 0, feedRun = 0, liftStart = 0, liftRun = 0;
};

// Field names as refusals give them.
const std::vector<std::string>& PlacementFieldNames();
const std::vector<std::string>& DispenseFieldNames();
const std::vector<std::string>& DrillFieldNames();

// Placement cells in stored form (cells 7 and 10 "1/..." or "0/...") or in
// list form (no prefix: "Yes" / "No").
PlacementRecord ReadPlacement(const platform::CellReader& in);
// A job file's placement line: the flag cells are on only as "1/...".
PlacementRecord ReadStoredPlacement(const platform::CellReader& in);
// The same into a record just made (a list's new element, filled where it
// stays): every field is set.
void ReadPlacementInto(const platform::CellReader& in, PlacementRecord& r);
void ReadStoredPlacementInto(const platform::CellReader& in, PlacementRecord& r);
// A job file's placement line read in one pass into a record just made,
// when its serial, X, Y and angle are plain decimals in their ranges (the
// common line): the same record as ReadStoredPlacementInto of its cells.
// False for any other line, which then goes to ReadStoredPlacementInto
// (whose refusal names the field); the record is then to be made afresh.
bool ReadPlainStoredPlacementLine(std::string_view line, PlacementRecord& r);
DispensePoint ReadDispensePoint(const platform::CellReader& in);
DrillRecord ReadDrillRecord(const platform::CellReader& in);

// Convenience for rows held as cell texts (the lists, the run's copies):
// the refusal names `file` and `line`.
PlacementRecord PlacementFromCells(const std::vector<std::string>& cells, std::string_view file = "placement list",
                                   int line = 0);
DispensePoint DispensePointFromCells(const std::vector<std::string>& cells, std::string_view file = "dispensing list",
                                     int line = 0);
DrillRecord DrillFromCells(const std::vector<std::string>& cells, std::string_view file = "drill list", int line = 0);

// The records of the rows of a list as the run takes them at its start.
// A row that cannot be read leaves `refusal` naming the list, the row and
// the field, and gives no records (nothing is placed from a list that holds
// a bad number).
// The shown list's rows <-> the PCB table's records. A row becomes a record
// without refusing anything (see SetStoredPlacementCell).
ListRow PlacementListRow(const PlacementRecord& r);
PlacementRecord PlacementFromListRow(const ListRow& row);
// The same into a record that is there already (the one the row was shown
// from, say): every field is set, the record's memory kept.
void PlacementFromListRowInto(const ListRow& row, PlacementRecord& r);
// True only when PlacementFromListRowInto(row, r) would leave `r` exactly as
// it is (every field, and each number cell the plain decimal it was read
// from): a row shown from its record and not edited since.
bool ListRowHoldsPlacement(const ListRow& row, const PlacementRecord& r);
// Whether a placement row's serial, X or Y cell reads as its field needs
// (X and Y of a row never filled in, all empty, read as 0).
bool PlacementCellReads(const ListRow& row, int k);
std::vector<PlacementRecord> PlacementRecordsOf(const std::vector<ListRow>& rows, std::string& refusal);
// A dispensing or drill row of the list as its editor works with it, read
// by the file's reader: the record, the reader's refusal when the row does
// not read ("" when it does) and the cells that did not read. Such a cell
// is 0 in the record and keeps its text in the row: the editor writes it
// only when the operator sets that field, so a damaged row goes back to
// the file as it was and the run refuses it, naming the field.
struct DispenseRowRecord {
  DispensePoint point;
  std::string problem;
  std::array<bool, kDispenseCells> unread{};
};
struct DrillRowRecord {
  DrillRecord drill;
  std::string problem;
  std::array<bool, kDrillCells> unread{};
};
// `line` is the row's 1-based number in the list (for the refusal).
DispenseRowRecord ReadDispenseRow(const ListRow& row, int line);
DrillRowRecord ReadDrillRow(const ListRow& row, int line);

// Which fields an editor's OK on one row writes: the ones the operator
// touched (`touched`) and, of the cells that read, those whose value is
// not the one the row held.
std::array<bool, 11> DispenseFieldsToWrite(const DispenseRowRecord& held, const DispensePoint& edited,
                                           const std::array<bool, 11>& touched);
std::array<bool, 14> DrillFieldsToWrite(const DrillRowRecord& held, const DrillRecord& edited,
                                        const std::array<bool, 14>& touched);
// Writes the fields marked in `fields` (cells 0..10, 0..13) into the row's
// cells; the other cells keep their text. The dispense flag sets its image.
void WriteDispenseFields(ListRow& row, const DispensePoint& p, const std::array<bool, 11>& fields);
void WriteDrillFields(ListRow& row, const DrillRecord& d, const std::array<bool, 14>& fields);

// The board point of a list row (placement, dispensing or drill) as the
// point tests take it: X and Y must be numbers in the board's range (both
// empty: a row never filled in, 0); the other cells are not looked at.
// Throws platform::FileCellError naming the list, the row and the field.
struct RowPoint {
  double x = 0, y = 0;
};
RowPoint ReadRowPoint(RowKind kind, const ListRow& row, int line);
std::vector<DispensePoint> DispensePointsOf(const std::vector<ListRow>& rows, std::string& refusal);
std::vector<DrillRecord> DrillRecordsOf(const std::vector<ListRow>& rows, std::string& refusal);

// Checks every line of a side file (".dis" or ".drill") as rows of that
// kind; throws platform::FileCellError for the first bad cell.
void CheckDispenseLines(const std::vector<std::string>& lines, std::string_view file);
void CheckDrillLines(const std::vector<std::string>& lines, std::string_view file);
// The lamp point table's row texts (machine type 4): a used row (cell 1
// set and any value filled in) must hold numbers in cells 2..34.
void CheckLampRows(const std::vector<std::string>& rows, std::string_view file);

}  // namespace smt::job
