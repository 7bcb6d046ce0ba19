// Number cells of the feeder table file and the feeder CSV: each is read
// once, where the file is read. A table line that cannot be read is named
// (line and field), kept as it was and written back unchanged, and the lines
// after it still load; a CSV with a bad cell is refused whole, naming its
// line and field, and the current group keeps its rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include "feeder/FeederCsv.h"
#include "feeder/FeederRecord.h"
#include "feeder/FeederTable.h"
#include "platform/FileCell.h"
#include "platform/MessageService.h"
#include "platform/TextCodec.h"
#include "support/FeederFileFixture.h"
#include "support/TempDir.h"

using namespace smt::feeder;
using smt::test::GoodRow;
using smt::test::Join;
using smt::test::ThreeGroups;

namespace {

FeederNameTables Names() { return BuiltInNameTables(0); }

std::string ReplaceCell(const std::string& line, size_t cell, const std::string& text) {
  std::vector<std::string_view> cells;
  smt::platform::SplitTabCellViews(line, cells);
  std::string out;
  for (size_t i = 0; i < cells.size(); ++i) out += (i == cell ? text : std::string(cells[i])) + "\t";
  return out;
}

struct BadValue {
  const char* text;
  bool refusedWhenOptional;  // an empty cell may stand for a default
};
const BadValue kBadValues[] = {{"nan", true}, {"inf", true}, {"1e400", true}, {"ten", true},
                               {"12abc", true}, {"", false},  {"-1", false}};

// The number cells of a feeder row: cell, field, empty allowed, -1 allowed.
struct RowCell {
  size_t cell;
  const char* field;
  bool emptyAllowed;
  bool minusOneAllowed;
};
const RowCell kRowCells[] = {
    {4, "X", false, true},          {5, "Y", false, true},           {6, "length", true, false},
    {7, "width", true, false},     {8, "height", true, false},     {9, "angle", true, true},
    {10, "head", true, false},      {11, "vacuum", true, false},    {15, "pick delay", true, false},
    {16, "place delay", true, false}, {17, "feed coordinate", true, true}, {18, "feed count", true, false},
    {19, "feed time", true, false}, {20, "slack length", true, true}, {21, "tension length", true, true},
    {22, "pick height", true, true}, {24, "early vacuum off", true, false}, {26, "quantity", true, false},
    {27, "XY accuracy", true, true}, {28, "angle accuracy", true, true}, {29, "capture time", true, true},
};

bool Refused(const RowCell& c, const BadValue& v) {
  const std::string t = v.text;
  if (t.empty()) return !c.emptyAllowed;
  if (t == "-1") return !c.minusOneAllowed;
  return true;
}

}  // namespace

// One bad tray at line 5: the operator is told about line 5, groups B and C
// still load, and a save writes all 29 lines (the bad tray as it was).
TEST(FeederFileLines, BadTrayAtLineFiveKeepsAll29LinesAndTheGroupsAfterIt) {
  const std::vector<std::string> original = ThreeGroups("nan");
  ASSERT_EQ(original.size(), 29u);
  FeederTable t;
  std::vector<std::string> lines = original;
  const FeederLoadResult r = t.LoadFromLines(lines, Names());
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.skipped.size(), 1u) << r.error;
  EXPECT_EQ(r.skipped[0].line, 5);
  EXPECT_EQ(r.skipped[0].field, "tray row pitch");
  EXPECT_NE(r.error.find("line 5:"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("\"nan\""), std::string::npos) << r.error;
  const auto groups = t.Groups();
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[1].name, "B");
  EXPECT_EQ(groups[2].name, "C");
  EXPECT_EQ(groups[2].RowCount(), 4);
  // Nothing is picked from the tray that could not be read.
  EXPECT_EQ(groups[0].trays[0].rows, 0);
  const std::vector<std::string> saved = t.SaveToLines();
  EXPECT_EQ(saved.size(), 29u);
  EXPECT_EQ(saved, original);
  // A tray edited from the tray dialog is written from its values again.
  t.ShowGroupInList("A", Names());
  t.LoadTray(0);
  TrayRecord work = t.WorkTray();
  work.rows = work.cols = 1;
  work.rowSpace = 7;
  work.cells = {"Yes/1"};
  t.SetWorkTray(work);
  t.StoreTray(0);
  EXPECT_EQ(t.SaveToLines()[4], "1\t1\t0\t0\t7.0000\t0.0000\t");
}

// The file-cell table of the feeder file: every number cell of a feeder row
// and of a tray line replaced by each bad value. A refused cell is named by
// line and field; every group still loads and the save gives back every
// line as it was (nothing lost). A tray size that cannot be read ends the
// load at its line, keeping what was read before.
TEST(FeederFileLines, EveryNumberCellOfTheFeederFileIsNamedAndNothingIsLost) {
  const std::vector<std::string> base = ThreeGroups();
  int named = 0;
  auto load = [](std::vector<std::string> lines, FeederTable& t) { return t.LoadFromLines(lines, Names()); };
  // Feeder rows: line 3 (group A's first row) and line 19 (group C's third).
  for (size_t line : {2u, 18u}) {
    for (const RowCell& c : kRowCells)
      for (const BadValue& v : kBadValues) {
        SCOPED_TRACE("line " + std::to_string(line + 1) + " " + c.field + " = \"" + v.text + "\"");
        std::vector<std::string> lines = base;
        lines[line] = ReplaceCell(lines[line], c.cell, v.text);
        FeederTable t;
        const FeederLoadResult r = load(lines, t);
        ASSERT_TRUE(r.ok);
        if (Refused(c, v)) {
          ASSERT_EQ(r.skipped.size(), 1u) << r.error;
          EXPECT_EQ(r.skipped[0].line, static_cast<int>(line + 1));
          EXPECT_EQ(r.skipped[0].field, c.field);
          EXPECT_NE(r.error.find("line " + std::to_string(line + 1) + ":"), std::string::npos) << r.error;
          ++named;
        } else {
          EXPECT_TRUE(r.error.empty()) << r.error;
        }
        EXPECT_EQ(t.GroupCount(), 3);
        EXPECT_EQ(t.SaveToLines(), lines);
      }
    // The two numbers of the flying-centring cell and the feeder number.
    for (const char* cell : {"No/x/80", "No/60/nan", "Yes/300/80", "No/60/"}) {
      std::vector<std::string> lines = base;
      lines[line] = ReplaceCell(lines[line], 13, cell);
      FeederTable t;
      const FeederLoadResult r = load(lines, t);
      ASSERT_EQ(r.skipped.size(), 1u) << cell;
      EXPECT_EQ(t.SaveToLines(), lines);
    }
    for (const char* number : {"W1x", "Wnan", "G", "W-1"}) {
      std::vector<std::string> lines = base;
      lines[line] = ReplaceCell(lines[line], 0, number);
      FeederTable t;
      const FeederLoadResult r = load(lines, t);
      ASSERT_EQ(r.skipped.size(), 1u) << number;
      EXPECT_EQ(r.skipped[0].field, "feeder number");
    }
  }
  // Tray lines: line 23 (group C's 2 x 2 tray).
  const size_t trayLine = 22;
  ASSERT_EQ(base[trayLine].rfind("2\t2\t", 0), 0u);
  const char* trayFields[] = {"tray rows", "tray columns", "tray next row", "tray next column", "tray row pitch",
                              "tray column pitch"};
  for (size_t cell = 0; cell < 6; ++cell)
    for (const BadValue& v : kBadValues) {
      const std::string text = v.text;
      if (text == "-1" && cell == 2) continue;  // "no next row" is written as -1
      if (text == "-1" && cell >= 4) continue;  // a pitch may run backwards
      SCOPED_TRACE(std::string(trayFields[cell]) + " = \"" + text + "\"");
      std::vector<std::string> lines = base;
      lines[trayLine] = ReplaceCell(lines[trayLine], cell, text);
      FeederTable t;
      const FeederLoadResult r = load(lines, t);
      ASSERT_TRUE(r.ok);
      EXPECT_NE(r.error.find("line 23:"), std::string::npos) << r.error;
      EXPECT_NE(r.error.find(trayFields[cell]), std::string::npos) << r.error;
      ++named;
      if (cell < 2) {
        // How many lines the tray holds is unknown: the load ends there,
        // keeping the groups and rows read before it.
        EXPECT_EQ(r.stoppedAtLine, 23);
        ASSERT_EQ(t.GroupCount(), 3);
        EXPECT_EQ(t.Groups()[2].RowCount(), 4);
      } else {
        EXPECT_EQ(t.GroupCount(), 3);
        EXPECT_EQ(t.SaveToLines(), lines);
      }
    }
  // Counts: a group or row count that is no number, or negative.
  for (const auto& [line, cell, field] : {std::tuple<size_t, size_t, const char*>{0, 0, "group count"},
                                          std::tuple<size_t, size_t, const char*>{8, 2, "row count"}})
    for (const char* text : {"nan", "-1", "", "2x"}) {
      std::vector<std::string> lines = base;
      lines[line] = ReplaceCell(lines[line], cell, text);
      FeederTable t;
      const FeederLoadResult r = load(lines, t);
      EXPECT_EQ(r.stoppedAtLine, static_cast<int>(line + 1)) << field << " " << text;
      EXPECT_NE(r.error.find(field), std::string::npos) << r.error;
    }
  std::printf("feeder file: %d damaged cells named\n", named);
}

// The CSV's file-cell table: every number cell of a data line replaced by
// each bad value refuses the whole file naming line and field; the current
// group keeps its rows.
TEST(FeederCsvCells, EveryNumberCellRefusesTheFileNamingLineAndFieldAndKeepsTheGroup) {
  std::vector<std::string> row = GoodRow("W7");
  for (const char* tray : {"2", "2", "0", "1", "1.5000", "2.0000"}) row.push_back(tray);
  auto csv = [](const std::vector<std::string>& cells) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) line += (i ? "," : "") + cells[i];
    return "titles\r\n" + line + "\r\n";
  };
  {
    std::vector<FeederRow> rows;
    std::vector<TrayRecord> trays;
    ASSERT_EQ(ParseFeederCsv(csv(row), Names(), rows, trays), "");
    ASSERT_EQ(rows.size(), 1u);
  }
  smt::test::TempDir dir;
  smt::platform::ScopedRecordingMessages messages;
  int refused = 0;
  std::vector<RowCell> cells(std::begin(kRowCells), std::end(kRowCells));
  cells.push_back({30, "tray rows", true, false});
  cells.push_back({31, "tray columns", true, false});
  cells.push_back({32, "tray next row", true, true});
  cells.push_back({33, "tray next column", true, false});
  cells.push_back({34, "tray row pitch", true, true});
  cells.push_back({35, "tray column pitch", true, true});
  for (const RowCell& c : cells)
    for (const BadValue& v : kBadValues) {
      SCOPED_TRACE(std::string(c.field) + " = \"" + v.text + "\"");
      std::vector<std::string> bad = row;
      bad[c.cell] = v.text;
      std::vector<FeederRow> rows;
      std::vector<TrayRecord> trays;
      const std::string why = ParseFeederCsv(csv(bad), Names(), rows, trays);
      if (!Refused(c, v)) {
        EXPECT_EQ(why, "");
        continue;
      }
      EXPECT_NE(why.find("line 2:"), std::string::npos) << why;
      EXPECT_NE(why.find("\"" + std::string(c.field) + "\""), std::string::npos) << why;
      EXPECT_TRUE(rows.empty());
      ++refused;
      // Through the import: refused, the group's rows stay.
      FeederTable t;
      t.AddGroup("A", "");
      t.SetCurrentName("A");
      t.ShowGroupInList("A", Names());
      FeederCells keep;
      for (size_t k = 0; k < keep.size(); ++k) keep[k] = GoodRow("W1")[k];
      t.ReplaceCurrentRows({keep}, {TrayRecord::Default("Yes/1")});
      const std::string gbk = smt::platform::Utf8ToGbk(csv(bad));
      std::ofstream(dir / "feed-.csv", std::ios::binary) << gbk;
      EXPECT_EQ(ImportFeederCsv(t, dir / "feed-.csv", Names()), CsvImportResult::Refused);
      EXPECT_EQ(t.CurrentRowCount(), 1);
      EXPECT_EQ(t.CurrentRow(0)->Cell(0), "W1");
    }
  std::printf("feeder CSV: %d damaged cells refused\n", refused);
}

// The head cell holds a head, or with automatic nozzle change a nozzle of
// the 19-seat magazine, as the feeder editor and a package's nozzle offer
// it: a saved nozzle 12 or 19 loads again; 20 and a word are refused.
TEST(FeederFileLines, AHeadCellTakesEveryNozzleOfTheMagazine) {
  const std::vector<std::string> base = ThreeGroups();
  const struct {
    const char* text;
    bool taken;
  } kHeads[] = {{"1", true}, {"8", true}, {"12", true}, {"19", true}, {"20", false}, {"A1", false}};
  for (const auto& h : kHeads) {
    std::vector<std::string> lines = base;
    lines[2] = ReplaceCell(lines[2], 10, h.text);
    FeederTable t;
    std::vector<std::string> consumed = lines;  // the load takes the lines it read
    const FeederLoadResult r = t.LoadFromLines(consumed, Names());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.skipped.empty(), h.taken) << h.text << ": " << r.error;
    EXPECT_EQ(t.SaveToLines(), lines) << h.text;
  }
}

// What a load could not read survives the group edits the group manager and
// the list make (a group added, copied, renamed or deleted, rows of the
// stopped group removed): saved, the lines not read come back as they were,
// at the end of the form, and the form saved reads again to the same lines.
namespace {
std::vector<std::string> Cut(std::vector<std::string> lines, size_t line, size_t cell, const std::string& text) {
  std::vector<std::string> c = smt::feeder::SplitTabCells(lines[line]);
  c.at(cell) = text;
  std::string s;
  for (const auto& x : c) s += x + "\t";
  lines[line] = s;
  return lines;
}
}  // namespace

TEST(FeederFileUnread, GroupEditsKeepTheLinesNotRead) {
  struct Damage {
    const char* name;
    size_t line, cell;
    const char* text;
    size_t keptFrom;  // the lines from here to the end are the ones kept
  };
  const Damage damages[] = {{"group count", 0, 0, "x", 0},
                            {"row count of B", 8, 2, "nan", 8},
                            {"tray size of C", 22, 0, "nan", 15}};
  struct Edit {
    const char* name;
    std::function<void(FeederTable&)> act;
  };
  const Edit edits[] = {
      {"group added", [](FeederTable& t) { t.AddGroup("D", "new"); }},
      {"C copied", [](FeederTable& t) { t.CopyGroup("C", "C2", ""); }},
      {"C renamed", [](FeederTable& t) { t.EditGroup("C", "C9", "renamed"); }},
      {"C deleted", [](FeederTable& t) { t.DeleteGroup("C"); }},
      {"a row of C removed",
       [](FeederTable& t) {
         t.SetCurrentName("C");
         (void)t.ShowGroupInList("C", Names());
         t.DeleteRowByNumber("G2");
       }},
  };
  for (const Damage& d : damages)
    for (const Edit& e : edits) {
      SCOPED_TRACE(std::string(d.name) + ", " + e.name);
      const std::vector<std::string> lines = Cut(smt::test::ThreeGroups(), d.line, d.cell, d.text);
      FeederTable t;
      std::vector<std::string> copy = lines;
      ASSERT_TRUE(t.LoadFromLines(copy, Names()).ok);
      e.act(t);
      const std::vector<std::string> saved = t.SaveToLines();
      // A group renamed in place has its own line changed.
      const size_t from = d.keptFrom + (std::string(e.name) == "C renamed" && d.line == 22 ? 1 : 0);
      const std::vector<std::string> kept(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end());
      ASSERT_GE(saved.size(), kept.size());
      EXPECT_TRUE(std::equal(kept.begin(), kept.end(), saved.end() - static_cast<std::ptrdiff_t>(kept.size())))
          << ::testing::PrintToString(saved);
      FeederTable again;
      copy = saved;
      ASSERT_TRUE(again.LoadFromLines(copy, Names()).ok);
      EXPECT_EQ(again.SaveToLines(), saved);
      if (std::string(e.name) == "group added") EXPECT_GE(again.FindGroupByName("D"), 0);
    }
}
