// Feeder rows as typed records: read once where their text comes in, every
// cell written back as it was spelt until its value changes, the pick-point
// shift refused whole at its range, and the table and CSV files coming back
// byte for byte.
#include <gtest/gtest.h>

#include <filesystem>

#include "feeder/FeederCsv.h"
#include "feeder/FeederTable.h"
#include "platform/FileIo.h"
#include "platform/ListFile.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "platform/TextCodec.h"

using namespace smt::feeder;

namespace {

std::string Join(const FeederCells& cells) {
  std::string s;
  for (const auto& c : cells) s += c + "\t";
  return s;
}

// A readable row whose number cells are spelt as `x`, `y`, `count`,
// `quantity` and `height` give them.
FeederCells Cells(const std::string& number, const std::string& x, const std::string& y, const std::string& count = "1",
                  const std::string& quantity = "100", const std::string& height = "-5.0000") {
  FeederCells r;
  r[kCellNumber] = number;
  r[kCellType] = "Resistor";
  r[kCellPackage] = "0603";
  r[kCellValue] = "10k";
  r[kCellX] = x;
  r[kCellY] = y;
  r[kCellLength] = "1.60";
  r[kCellWidth] = "0.80";
  r[kCellHeight] = "0.50";
  r[kCellAngle] = "90";
  r[kCellHead] = "1";
  r[kCellVacuum] = "0";
  r[kCellCamera] = "Yes/Camera 1";
  r[kCellFly] = "No/60/80";
  r[kCellFeedMode] = "集中飞达";
  r[kCellPickDelay] = "0";
  r[kCellPlaceDelay] = "0";
  r[kCellFeedCoord] = "5";
  r[kCellFeedCount] = count;
  r[kCellFeedTime] = "200";
  r[kCellSlack] = "15";
  r[kCellTension] = "20";
  r[kCellPickHeight] = height;
  r[kCellSpeed] = "No/复位速度";
  r[kCellEarlyVacuum] = "0";
  r[kCellFeature] = "01:贴片电阻";
  r[kCellQuantity] = quantity;
  r[kCellPrecisionXY] = "-1";
  r[kCellPrecisionA] = "";
  r[kCellCollectTime] = "0";
  return r;
}

// One group "A" holding `rows`, each with the plain 1 x 1 tray.
std::vector<std::string> OneGroupLines(const std::vector<FeederCells>& rows) {
  std::vector<std::string> lines = {"1\tA\t", "A\tfirst\t" + std::to_string(rows.size()) + "\t"};
  for (const auto& r : rows) lines.push_back(Join(r));
  for (size_t i = 0; i < rows.size(); ++i) {
    lines.push_back("1\t1\t0\t0\t0.0000\t0.0000\t");
    lines.push_back("Yes/1\t");
  }
  return lines;
}

void Load(FeederTable& t, std::vector<std::string> lines) {
  const FeederLoadResult r = t.LoadFromLines(lines, BuiltInNameTables(0));
  ASSERT_TRUE(r.ok);
  t.ShowGroupInList("A", BuiltInNameTables(0));
}

}  // namespace

// Spellings an operator's hand or another program leaves in the file: each
// is read as its number and written back as it was until its value changes;
// a changed cell alone is written in its field's format.
TEST(FeederRowSpelling, EveryCellKeepsItsSpellingUntilItsValueChanges) {
  struct Case {
    const char *x, *y, *count, *quantity, *height;
    double xValue;
    int quantityValue;
  };
  const Case cases[] = {
      {"12.5", "-3", "1", "100", "-5", 12.5, 100},
      {"+3", " 7 ", "03", "007", "-0", 3, 7},
      {"0012.50", "-0.0000", "1", "0100", "-5.00", 12.5, 100},
      {"1e1", "-1E1", "10", "0", "-1000", 10, 0},
      {"-10000", "10000", "0", "100000000", "0", -10000, 100000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    FeederTable t;
    const FeederCells cells = Cells("W1", c.x, c.y, c.count, c.quantity, c.height);
    const std::vector<std::string> lines = OneGroupLines({cells, Cells("W2", "1", "2")});
    Load(t, lines);
    EXPECT_EQ(t.SaveToLines(), lines) << "nothing changed, nothing rewritten";
    const FeederRow row = *t.CurrentRow(0);
    ASSERT_TRUE(row.Readable()) << row.Problem()->what();
    EXPECT_DOUBLE_EQ(row.Record().x, c.xValue);
    EXPECT_EQ(row.Record().quantity, c.quantityValue);

    // The same value again keeps the spelling.
    ASSERT_TRUE(t.SetCurrentQuantity(0, c.quantityValue));
    ASSERT_EQ(t.ShiftCurrentPositions(0, 0), "");
    EXPECT_EQ(t.SaveToLines(), lines);

    // A new value: its cell alone is written anew.
    if (c.quantityValue > 0) {
      ASSERT_TRUE(t.SetCurrentQuantity(0, c.quantityValue - 1));
      FeederCells expected = cells;
      expected[kCellQuantity] = std::to_string(c.quantityValue - 1);
      EXPECT_EQ(t.CurrentRow(0)->Cells(), expected);
    }
    const double dy = c.xValue == -10000 ? -1 : 1;
    ASSERT_EQ(t.ShiftCurrentPositions(0, dy), "");
    const FeederRow moved = *t.CurrentRow(0);
    EXPECT_EQ(moved.Cell(kCellX), c.x) << "X did not change";
    EXPECT_DOUBLE_EQ(moved.Record().y, row.Record().y + dy);
    EXPECT_EQ(moved.Cell(kCellY), smt::platform::FormatDouble(row.Record().y + dy, 4));
    EXPECT_EQ(moved.Cell(kCellPickHeight), c.height);
    EXPECT_EQ(t.CurrentRow(1)->Cell(kCellY), smt::platform::FormatDouble(2 + dy, 4)) << "every row of the group moves";
    EXPECT_EQ(t.CurrentRow(1)->Cell(kCellX), "1") << "its X did not change";
  }
}

// The shift of the pick points (origin update, position shift): the ends of
// the range are taken; a step past either end, or a row that cannot be read,
// refuses the whole shift naming the feeder, and no row moves.
TEST(FeederRowSpelling, ShiftRangeEndsAndRefusals) {
  struct Case {
    const char* x;  // W2's X; W1 stands at 0
    double dx;
    const char* refused;  // the feeder the refusal names, nullptr when taken
    const char* cell;     // W2's X after a taken shift
  };
  const Case cases[] = {
      {"9999", 1, nullptr, "10000.0000"},
      {"-9999", -1, nullptr, "-10000.0000"},
      {"10000", 0.0001, "W2", nullptr},
      {"-10000", -0.0001, "W2", nullptr},
      {"0", 10000, nullptr, "10000.0000"},
      {"0", -10000, nullptr, "-10000.0000"},
      {"0", -10000.0001, "W1", nullptr},
      {"0", 1e300, "W1", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.x) + " + " + std::to_string(c.dx));
    FeederTable t;
    const std::vector<std::string> lines = OneGroupLines({Cells("W1", "0", "5"), Cells("W2", c.x, "0")});
    Load(t, lines);
    const std::string refused = t.ShiftCurrentPositions(c.dx, 0);
    if (!c.refused) {
      EXPECT_EQ(refused, "");
      EXPECT_EQ(t.CurrentRow(1)->Cell(kCellX), c.cell);
    } else {
      EXPECT_NE(refused.find("\"" + std::string(c.refused) + "\""), std::string::npos) << refused;
      EXPECT_NE(refused.find("-10000..10000"), std::string::npos) << refused;
      EXPECT_EQ(t.SaveToLines(), lines) << "no row moved";
    }
  }
  // A row that cannot be read stops the shift before anything moves.
  FeederTable t;
  const std::vector<std::string> lines = OneGroupLines({Cells("W1", "5", "5"), Cells("W2", "ten", "0")});
  Load(t, lines);
  const std::string refused = t.ShiftCurrentPositions(1, 1);
  EXPECT_NE(refused.find("\"W2\""), std::string::npos) << refused;
  EXPECT_NE(refused.find("ten"), std::string::npos) << refused;
  EXPECT_EQ(t.SaveToLines(), lines);
}

// Cells that are no number in their field's range leave the row unreadable
// with the file, the line and the field named; the run and the tests take
// nothing from it, and the file keeps it as it was.
TEST(FeederRowSpelling, ABadCellIsRefusedOnceNamingFileLineAndField) {
  struct Case {
    int cell;
    const char* text;
    const char* field;
  };
  const Case cases[] = {
      {kCellX, "word", "X"},           {kCellX, "12abc", "X"},          {kCellY, "nan", "Y"},
      {kCellY, "inf", "Y"},            {kCellX, "1e400", "X"},          {kCellX, "10000.0001", "X"},
      {kCellY, "-10000.0001", "Y"},    {kCellFeedCount, "-1", "feed count"},
      {kCellQuantity, "1.5", "quantity"}, {kCellPickHeight, "0.0001", "pick height"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FeederCells cells = Cells("W7", "1", "2");
    cells[static_cast<size_t>(c.cell)] = c.text;
    FeederTable t;
    const std::vector<std::string> lines = OneGroupLines({Cells("W1", "1", "2"), cells});
    std::vector<std::string> in = lines;
    const FeederLoadResult r = t.LoadFromLines(in, BuiltInNameTables(0));
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.skipped.size(), 1u) << r.error;
    EXPECT_EQ(r.skipped[0].line, 4);
    EXPECT_EQ(r.skipped[0].field, c.field);
    t.ShowGroupInList("A", BuiltInNameTables(0));
    const FeederRow row = *t.CurrentRow(1);
    ASSERT_FALSE(row.Readable());
    EXPECT_EQ(row.Problem()->file(), kFeederFileName);
    EXPECT_EQ(row.Problem()->line(), 4);
    EXPECT_EQ(row.Problem()->field(), c.field);
    EXPECT_FALSE(t.SetCurrentQuantity(1, 5)) << "an unreadable row takes no new value";
    EXPECT_EQ(t.SaveToLines(), lines) << "the row is written back as it was";
  }
}

// A large table as a long-used machine has it: many groups and rows, cells
// spelt in every way the reader takes, trays of many sizes, a damaged row
// and a damaged tray among them. Saved unchanged, it is the same file.
TEST(FeederRowSpelling, ALargeGeneratedTableRoundTripsByteForByte) {
  const char* numbers[] = {"0", "1", "-1", "12.5", "+3", "0012.50", "1e1", "-2.5E-1", " 7 ", "9999.9999", "-10000"};
  const size_t n = std::size(numbers);
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  std::vector<std::string> lines = {"6\tG3\t"};
  for (int g = 0; g < 6; ++g) {
    const int rowCount = g == 5 ? 0 : 1500 + g * 100;
    lines.push_back("G" + std::to_string(g) + "\tgroup " + std::to_string(g) + "\t" + std::to_string(rowCount) + "\t");
    for (int r = 0; r < rowCount; ++r) {
      FeederCells c = Cells(std::string(1, "WNESG"[next() % 5]) + std::to_string(r + 1), numbers[next() % n],
                            numbers[next() % n], std::to_string(next() % 11), "0" + std::to_string(next() % 5000),
                            next() % 2 ? "-5" : "-0.5000");
      const char* lengths[] = {"0", "1", "12.5", "0012.50", "1e1", "+3"};
      c[kCellLength] = lengths[next() % std::size(lengths)];
      const char* angles[] = {"0", "90", "-90.0", "+180", "2.7e2", " 45 ", "3600"};
      c[kCellAngle] = angles[next() % std::size(angles)];
      if (r == 700) c[kCellX] = "nan";  // kept as it was, not used
      lines.push_back(Join(c));
    }
    for (int r = 0; r < rowCount; ++r) {
      const int rows = 1 + static_cast<int>(next() % 3), cols = 1 + static_cast<int>(next() % 3);
      const char* pitches[] = {"1.5000", "1.5", "+2", "-2.2500", "0", "1e1"};
      if (r == 900) {
        lines.push_back("2\t2\t0\t0\tinf\t1.0000\t");  // a tray that cannot be read keeps its lines
        lines.push_back("Yes/1\tYes/2\t");
        lines.push_back("Yes/3\tYes/4\t");
        continue;
      }
      lines.push_back(std::to_string(rows) + "\t" + std::to_string(cols) + "\t" + (next() % 2 ? "0" : "-1") + "\t0\t" +
                      pitches[next() % std::size(pitches)] + "\t" + pitches[next() % std::size(pitches)] + "\t");
      for (int rr = 0; rr < rows; ++rr) {
        std::string line;
        for (int cc = 0; cc < cols; ++cc) line += std::string(next() % 2 ? "Yes/" : "No/") + std::to_string(rr * cols + cc + 1) + "\t";
        lines.push_back(line);
      }
    }
  }
  FeederTable t;
  std::vector<std::string> in = lines;
  const FeederLoadResult r = t.LoadFromLines(in, BuiltInNameTables(0));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.skipped.size(), 10u) << "one row and one tray in each group with rows:\n" << r.error.substr(0, 2000);
  const std::vector<std::string> out = t.SaveToLines();
  ASSERT_EQ(out.size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(out[i], lines[i]) << "line " << i + 1;
  EXPECT_EQ(smt::platform::EncodeListFile({std::nullopt, out}), smt::platform::EncodeListFile({std::nullopt, lines}));
}

// The table the program ships goes back as it came.
TEST(FeederRowSpelling, TheShippedTableRoundTripsByteForByte) {
  const std::filesystem::path file = std::filesystem::path(SMT_SOURCE_DIR) / "resources" / "defaults" / kFeederFileName;
  const std::vector<uint8_t> bytes = smt::platform::ReadWholeFile(file);
  smt::platform::ListFileContent content = smt::platform::ParseListFile(bytes, false);
  FeederTable t;
  std::vector<std::string> lines = content.rows;
  ASSERT_TRUE(t.LoadFromLines(lines, BuiltInNameTables(0)).ok);
  EXPECT_EQ(smt::platform::EncodeListFile({std::nullopt, t.SaveToLines()}), bytes);
}

// A group exported to CSV, imported and exported again gives the same file,
// with cells spelt as the table held them.
TEST(FeederRowSpelling, CsvExportImportExportGivesTheSameFile) {
  FeederTable t;
  std::vector<FeederCells> rows;
  const char* spellings[] = {"12.5", "+3", "0012.50", "1e1", "-10000", "10000", "7"};
  for (int i = 0; i < 200; ++i)
    rows.push_back(Cells("W" + std::to_string(i + 1), spellings[i % 7], spellings[(i + 3) % 7],
                         std::to_string(i % 11), "0" + std::to_string(i)));
  Load(t, OneGroupLines(rows));
  std::array<std::string, kFeederCells> titles;
  for (int i = 0; i < kFeederCells; ++i) titles[static_cast<size_t>(i)] = "title" + std::to_string(i);
  bool complete = false;
  const std::string first = BuildFeederCsv(t, titles, &complete);
  ASSERT_TRUE(complete);
  EXPECT_NE(first.find(",0012.50,"), std::string::npos) << "cells go out as they were spelt";
  std::vector<FeederRow> imported;
  std::vector<TrayRecord> trays;
  ASSERT_EQ(ParseFeederCsv(first, BuiltInNameTables(0), imported, trays), "");
  ASSERT_EQ(imported.size(), rows.size());
  EXPECT_DOUBLE_EQ(imported[2].Record().x, 12.5);
  t.ReplaceCurrentRows(std::move(imported), std::move(trays));
  EXPECT_EQ(BuildFeederCsv(t, titles, &complete), first);
}
