#include "job/WorkRecords.h"

#include "job/JobRows.h"

namespace smt::job {

using platform::CellReader;

namespace {

bool Blank(std::string_view t) { return t.find_first_not_of(" \t") == std::string_view::npos; }

// A flag cell: stored "1/..." or list text "Yes".
bool FlagCell(std::string_view cell) {
  const size_t slash = cell.find('/');
  if (slash != std::string_view::npos) return cell.substr(0, slash) == "1";
  return cell == "Yes";
}

// A row with every one of these cells empty is a blank row (inserted and
// never filled in): its numbers read as 0. Otherwise each must be a number.
bool AllBlank(const CellReader& in, std::initializer_list<size_t> cells) {
  for (size_t c : cells)
    if (!Blank(in.Text(c))) return false;
  return true;
}

std::vector<std::string_view> ViewsOf(const std::vector<std::string>& cells) {
  return {cells.begin(), cells.end()};
}

}  // namespace

const std::vector<std::string>& PlacementFieldNames() {
  static const std::vector<std::string> names = {"serial", "X",       "Y",          "angle", "name",   "type",
                                                 "package", "place",  "value",      "feeder", "vision", "feeder value",
                                                 "head",    "time",   "own mark",   "spare"};
  return names;
}

const std::vector<std::string>& DispenseFieldNames() {
  static const std::vector<std::string> names = {
      "serial",           "X",                 "Y",           "Z",          "dispense", "valve-open timing",
      "valve-close timing", "valve-close delay", "bottom delay", "suck-back time", "note", "spare", "spare", "spare",
      "spare"};
  return names;
}

const std::vector<std::string>& DrillFieldNames() {
  static const std::vector<std::string> names = {
      "serial", "name",           "diameter",      "X",                "Y",                 "Z",
      "depth",  "feed per step",  "lift height",   "lift to top",      "feed start speed",  "feed run speed",
      "lift start speed", "lift run speed", "spare"};
  return names;
}

PlacementRecord ReadPlacement(const CellReader& in) {
  const auto& n = PlacementFieldNames();
  PlacementRecord r;
  r.serial = static_cast<int>(in.IntegerOr(kSmtSerial, n[0], 0, kMaxSerial, 0));
  if (!AllBlank(in, {kSmtX, kSmtY, kSmtAngle})) {
    r.x = in.Number(kSmtX, n[1], -kMaxBoardMm, kMaxBoardMm);
    r.y = in.Number(kSmtY, n[2], -kMaxBoardMm, kMaxBoardMm);
    r.angle = in.Number(kSmtAngle, n[3], -kMaxAngle, kMaxAngle);
  }
  r.name = in.Text(kSmtName);
  r.type = in.Text(5);
  r.package = in.Text(6);
  r.place = FlagCell(in.Text(kSmtPlace));
  r.value = in.Text(8);
  r.feeder = in.Text(kSmtFeeder);
  r.vision = FlagCell(in.Text(kSmtVision));
  r.feederValue = in.Text(11);
  r.head = in.Text(12);
  r.addTime = in.Text(kSmtTime);
  r.ownMark = in.Text(kSmtOwnMark);
  return r;
}

DispensePoint ReadDispensePoint(const CellReader& in) {
  const auto& n = DispenseFieldNames();
  DispensePoint p;
  p.serial = static_cast<int>(in.IntegerOr(0, n[0], 0, kMaxSerial, 0));
  // The dot's place must be there; its height may be empty (0, the top).
  if (!AllBlank(in, {kDisX, kDisY, kDisZ})) {
    p.x = in.Number(kDisX, n[1], -kMaxBoardMm, kMaxBoardMm);
    p.y = in.Number(kDisY, n[2], -kMaxBoardMm, kMaxBoardMm);
  }
  p.z = in.NumberOr(kDisZ, n[3], -255.0, 0.0, 0);
  p.dispense = in.Text(kDisEnable) == "Yes";
  p.valveOpen = in.NumberOr(5, n[5], 0, 65535, 0);
  p.valveClose = in.NumberOr(6, n[6], 0, 65535, 0);
  p.closeDelay = static_cast<int>(in.IntegerOr(7, n[7], 0, 65535, 0));
  p.bottomDelay = static_cast<int>(in.IntegerOr(8, n[8], 0, 65535, 0));
  p.suckBack = static_cast<int>(in.IntegerOr(9, n[9], 0, 65535, 0));
  p.note = in.Text(kDisNote);
  return p;
}

DrillRecord ReadDrillRecord(const CellReader& in) {
  const auto& n = DrillFieldNames();
  DrillRecord d;
  d.serial = static_cast<int>(in.IntegerOr(0, n[0], 0, kMaxSerial, 0));
  d.name = in.Text(1);
  // The hole's place must be there; the other cells may be empty (0).
  if (AllBlank(in, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13})) return d;
  d.diameter = in.NumberOr(2, n[2], 0, 32, 0);
  d.x = in.Number(3, n[3], -kMaxBoardMm, kMaxBoardMm);
  d.y = in.Number(4, n[4], -kMaxBoardMm, kMaxBoardMm);
  d.z = in.NumberOr(5, n[5], -100, 0, 0);
  d.depth = in.NumberOr(6, n[6], 0, 100, 0);
  d.feed = in.NumberOr(7, n[7], 0, 100, 0);
  d.lift = in.NumberOr(8, n[8], 0, 100, 0);
  d.liftToTop = in.IntegerOr(9, n[9], 0, 1, 0) != 0;
  d.feedStart = static_cast<int>(in.IntegerOr(10, n[10], 1, 255, 0));
  d.feedRun = static_cast<int>(in.IntegerOr(11, n[11], 1, 255, 0));
  d.liftStart = static_cast<int>(in.IntegerOr(12, n[12], 1, 255, 0));
  d.liftRun = static_cast<int>(in.IntegerOr(13, n[13], 1, 255, 0));
  return d;
}

PlacementRecord PlacementFromCells(const std::vector<std::string>& cells, std::string_view file, int line) {
  const auto views = ViewsOf(cells);
  return ReadPlacement(CellReader(file, line, views));
}

DispensePoint DispensePointFromCells(const std::vector<std::string>& cells, std::string_view file, int line) {
  const auto views = ViewsOf(cells);
  return ReadDispensePoint(CellReader(file, line, views));
}

DrillRecord DrillFromCells(const std::vector<std::string>& cells, std::string_view file, int line) {
  const auto views = ViewsOf(cells);
  return ReadDrillRecord(CellReader(file, line, views));
}

namespace {

template <class Record, class Read>
std::vector<Record> RecordsOf(const std::vector<ListRow>& rows, std::string& refusal, std::string_view list, Read read) {
  refusal.clear();
  std::vector<Record> out;
  out.reserve(rows.size());
  std::vector<std::string_view> views;
  try {
    for (size_t i = 0; i < rows.size(); ++i) {
      views.assign(rows[i].cells.begin(), rows[i].cells.end());
      out.push_back(read(CellReader(list, static_cast<int>(i + 1), views)));
    }
  } catch (const platform::FileCellError& e) {
    refusal = e.what();
    out.clear();
  }
  return out;
}

}  // namespace

std::vector<PlacementRecord> PlacementRecordsOf(const std::vector<ListRow>& rows, std::string& refusal) {
  return RecordsOf<PlacementRecord>(rows, refusal, "placement list", ReadPlacement);
}

std::vector<DispensePoint> DispensePointsOf(const std::vector<ListRow>& rows, std::string& refusal) {
  return RecordsOf<DispensePoint>(rows, refusal, "dispensing list", ReadDispensePoint);
}

std::vector<DrillRecord> DrillRecordsOf(const std::vector<ListRow>& rows, std::string& refusal) {
  return RecordsOf<DrillRecord>(rows, refusal, "drill list", ReadDrillRecord);
}

void CheckDispenseLines(const std::vector<std::string>& lines, std::string_view file) {
  std::vector<std::string_view> cells;
  for (size_t i = 0; i < lines.size(); ++i) {
    platform::SplitTabCellViews(lines[i], cells);
    ReadDispensePoint(CellReader(file, static_cast<int>(i + 1), cells));
  }
}

void CheckDrillLines(const std::vector<std::string>& lines, std::string_view file) {
  std::vector<std::string_view> cells;
  for (size_t i = 0; i < lines.size(); ++i) {
    platform::SplitTabCellViews(lines[i], cells);
    ReadDrillRecord(CellReader(file, static_cast<int>(i + 1), cells));
  }
}

void CheckLampRows(const std::vector<std::string>& rows, std::string_view file) {
  std::vector<std::string_view> cells;
  for (size_t i = 0; i < rows.size(); ++i) {
    platform::SplitTabCellViews(rows[i], cells);
    const CellReader in(file, static_cast<int>(i + 1), cells);
    if (Blank(in.Text(1))) continue;
    bool valuesBlank = true;  // a row named but never filled in
    for (size_t c = 3; c <= 34 && valuesBlank; ++c) valuesBlank = Blank(in.Text(c));
    in.IntegerOr(2, "check", 0, 1000, 0);
    if (valuesBlank) continue;
    in.Number(3, "Mark X", -kMaxBoardMm, kMaxBoardMm);
    in.Number(4, "Mark Y", -kMaxBoardMm, kMaxBoardMm);
    in.Integer(5, "offset X", -2'000'000'000LL, 2'000'000'000LL);
    in.Integer(6, "offset Y", -2'000'000'000LL, 2'000'000'000LL);
    in.Number(7, "LED X", -kMaxBoardMm, kMaxBoardMm);
    in.Number(8, "LED Y", -kMaxBoardMm, kMaxBoardMm);
    in.Number(9, "camera X", -kMaxBoardMm, kMaxBoardMm);
    in.Number(10, "camera Y", -kMaxBoardMm, kMaxBoardMm);
    in.Number(11, "Z", -3, 3);
    in.Integer(12, "start speed", 1, 255);
    in.Integer(13, "run speed", 1, 255);
    static const char* dots[3] = {"red glue", "silver glue 1", "silver glue 2"};
    for (size_t g = 0; g < 3; ++g) {
      const size_t b = 14 + 7 * g;
      const std::string d = dots[g];
      in.Number(b, d + " X", -kMaxBoardMm, kMaxBoardMm);
      in.Number(b + 1, d + " Y", -kMaxBoardMm, kMaxBoardMm);
      in.Number(b + 2, d + " height", -100, 0);
      in.Number(b + 3, d + " valve open", -100, 0);
      in.Integer(b + 4, d + " bottom delay", 0, 10000);
      in.Number(b + 5, d + " valve close", 0, 100);
      in.Integer(b + 6, d + " close delay", 0, 10000);
    }
  }
}

}  // namespace smt::job
