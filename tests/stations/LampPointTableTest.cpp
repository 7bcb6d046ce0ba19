// The lamp machine's point grid: rows, side-file texts, point moves, the
// parsers and the board counters.
#include <gtest/gtest.h>

#include <filesystem>

#include "link/MotionGlobals.h"
#include "platform/FileCell.h"
#include "stations/LampPointTable.h"

namespace {

using namespace smt::stations;

class LampTableTest : public ::testing::Test {
 protected:
  void SetUp() override { t.Clear(); }
  LampPointValues Values(double markX) {
    LampPointValues v;
    v.markX = markX;
    v.markY = -20.0;
    v.ledX = 1.5;
    v.ledY = 2.5;
    v.cameraX = 0.25;
    v.cameraY = -0.25;
    v.startSpeed = 10;
    v.runSpeed = 40;
    v.dots[0] = {0.1, 0.2, -2.0, -3.0, 150, 1.5, 60};
    v.dots[1] = {0.3, 0.4, -2.5, -3.5, 160, 1.6, 70};
    v.dots[2] = {0.5, 0.6, -2.75, -3.75, 170, 1.7, 80};
    return v;
  }
  LampPointTable t;
};

TEST_F(LampTableTest, EmptyGridGivesTwentyRowsOfFortyTabs) {
  const auto rows = t.RowTexts();
  ASSERT_EQ(rows.size(), 20u);
  for (const auto& r : rows) EXPECT_EQ(r, std::string(40, '\t') + "\r\n");
}

TEST_F(LampTableTest, AddFillsBothRowsAndStopsAtTenPoints) {
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(t.AddPoint(Values(i)));
  ASSERT_TRUE(t.AddPoint(Values(10.0)));
  EXPECT_EQ(t.Cell(6, 0), "4");
  EXPECT_EQ(t.Cell(7, 0), "4");
  EXPECT_EQ(t.Cell(6, 1), "平台1");
  EXPECT_EQ(t.Cell(7, 1), "平台2");
  EXPECT_EQ(t.Cell(7, 3), "10.0000");
  EXPECT_EQ(t.Cell(7, 18), "150");
  for (int i = 4; i < 10; ++i) ASSERT_TRUE(t.AddPoint(Values(i)));
  EXPECT_FALSE(t.AddPoint(Values(99)));
  EXPECT_EQ(t.PointCount(), 10);
}

TEST_F(LampTableTest, DeleteFromEitherRowMovesLaterPointsUp) {
  for (int i = 0; i < 4; ++i) t.AddPoint(Values(i));
  ASSERT_TRUE(t.DeleteRowPoint(5));  // platform-2 row of point 3 (index 2)
  EXPECT_EQ(t.PointCount(), 3);
  EXPECT_EQ(t.Cell(4, 3), "3.0000");  // the fourth point moved up
  EXPECT_TRUE(t.Cell(6, 1).empty());
  EXPECT_TRUE(t.Cell(19, 1).empty());
  EXPECT_FALSE(t.DeleteRowPoint(8));  // free row: nothing
  EXPECT_EQ(t.PointCount(), 3);
}

TEST_F(LampTableTest, ModifyTouchesOneRowOnly) {
  t.AddPoint(Values(1.0));
  LampPointValues v = LampPointValues::FromCells(t.Row(1));
  v.markX = 7.0;
  ASSERT_TRUE(t.ModifyRow(1, v));
  EXPECT_EQ(t.Cell(1, 3), "7.0000");
  EXPECT_EQ(t.Cell(0, 3), "1.0000");
  EXPECT_FALSE(t.ModifyRow(2, v));
}

TEST_F(LampTableTest, RowTextsRoundTripAndCountPlatformOneCells) {
  for (int i = 0; i < 5; ++i) t.AddPoint(Values(i));
  auto texts = t.RowTexts();
  LampPointTable other;
  for (int i = 0; i < 8; ++i) other.AddPoint(Values(50 + i));
  // Three used points in the file: the count follows the file.
  for (int r = 6; r < 20; ++r) texts[r] = std::string(40, '\t') + "\r\n";
  texts[0] += std::string("extra\t");  // cells beyond 40 are dropped
  other.SetRowTexts(texts);
  EXPECT_EQ(other.PointCount(), 3);
  EXPECT_EQ(other.Cell(2, 3), "1.0000");
  EXPECT_TRUE(other.Cell(9, 1).empty());
  // A text without a TAB leaves its row alone.
  LampPointTable keep;
  keep.AddPoint(Values(5));
  std::vector<std::string> noTab(20, "garbage");
  keep.SetRowTexts(noTab);
  EXPECT_EQ(keep.Cell(0, 3), "5.0000");
}

TEST_F(LampTableTest, ParsersTruncateSumsOnceAndChooseTheYTarget) {
  LampPointValues v = Values(0.99999);
  v.offsetX = 3;
  v.offsetY = -4;
  t.AddPoint(v);
  // A value kept with more decimals (a hand-edited side file).
  t.SetCell(0, 3, "0.99999");
  t.SetCell(1, 3, "0.99999");
  LampScales s;
  s.px = s.py = 1000;
  s.pz = 200;
  s.nozzle5X = 10.0;
  s.nozzle5Y = 1.0;
  // kind 1: T(0.99999) = 999, T(1.5 + 0.25) = 1750.
  LampTargets k1 = t.ParsePointRow(1, 2, 0, s);
  EXPECT_FALSE(k1.glue);
  EXPECT_EQ(k1.x, 999 + 1750 + 3);
  EXPECT_EQ(k1.y, -20000 + 2250 - 4);
  LampTargets k2 = t.ParsePointRow(2, 1, 0, s);
  EXPECT_TRUE(k2.glue);
  EXPECT_EQ(k2.x, 999 + 1600 - 10000 + 3);
  EXPECT_EQ(k2.y, -20000 + 2700 - 1000 - 4);
  EXPECT_FALSE(t.ParsePointRow(5, 1, 0, s).setX);
  LampDispense d = t.ParseSettings(1, 1, 0, s);
  EXPECT_EQ(d.height, -500);
  EXPECT_EQ(d.valveOpen, -700);
  EXPECT_EQ(d.valveClose, 320);
  EXPECT_EQ(d.bottomDelay, 160);
  EXPECT_EQ(d.closeDelay, 70);
  EXPECT_EQ(d.startSpeed, 10);
  LampDispense none = t.ParseSettings(7, 1, 0, s);
  EXPECT_EQ(none.runSpeed, 40);
  EXPECT_EQ(none.height, 0);
}

// A side file written by hand: reals with other than four decimals, empty
// offsets, words in the spare cells. Read and written back unchanged; the
// values are the numbers the cells hold.
TEST_F(LampTableTest, HandWrittenRowsGoBackByteForByteAndAreReadAsTheirNumbers) {
  auto texts = LampPointTable().RowTexts();
  auto row = [](std::vector<std::string> cells) {
    cells.resize(kLampCols);
    std::string t;
    for (const auto& c : cells) t += c + "\t";
    return t + "\r\n";
  };
  texts[0] = row({"1", "平台1", "1", "0.99999", "-20", "", "", "1.5", "2.5", "0.25", "-0.25", "0", "10", "40",
                  "0.1", "0.2", "-2", "-3", "150", "1.5", "60", "0.3", "0.4", "-2.5", "-3.5", "160", "1.6", "70",
                  "0.5", "0.6", "-2.75", "-3.75", "170", "1.7", "80", "note", "", "x y", "", "7"});
  texts[1] = row({"1", "平台2", "0", " 3.00 ", "4", "12", "-7", "0", "0", "0", "0", "1.25", "5", "6"});
  t.SetRowTexts(texts);
  EXPECT_EQ(t.RowTexts(), texts);
  EXPECT_EQ(t.PointCount(), 1);
  const LampPointValues a = t.Values(0), b = t.Values(1);
  EXPECT_EQ(a.markX, 0.99999);
  EXPECT_EQ(a.offsetX, 0);
  EXPECT_EQ(a.dots[2].closeDelay, 80);
  EXPECT_EQ(a.dots[1].valveOpen, -3.5);
  EXPECT_EQ(b.markX, 3.0);
  EXPECT_EQ(b.offsetY, -7);
  EXPECT_EQ(b.placeZ, 1.25);
  EXPECT_EQ(b.dots[0].height, 0);  // empty cells are 0
  EXPECT_EQ(t.Platform(1), 2);
  EXPECT_EQ(t.Platform(2), 0);
  // Measured offsets change their two cells only.
  t.SetMarkOffsets(0, std::pair<int32_t, int32_t>{5, -6});
  auto after = texts;
  after[0] = row({"1", "平台1", "1", "0.99999", "-20", "5", "-6", "1.5", "2.5", "0.25", "-0.25", "0", "10", "40",
                  "0.1", "0.2", "-2", "-3", "150", "1.5", "60", "0.3", "0.4", "-2.5", "-3.5", "160", "1.6", "70",
                  "0.5", "0.6", "-2.75", "-3.75", "170", "1.7", "80", "note", "", "x y", "", "7"});
  EXPECT_EQ(t.RowTexts(), after);
  EXPECT_EQ(t.Values(0).offsetX, 5);
  EXPECT_EQ(t.Values(0).markX, 0.99999);
}

// The side file's rows go back with their own ends (none, LF, CR LF, cells
// beyond the grid's forty) and their own cell count; a changed row keeps its
// end, and a new row ends in CR LF.
TEST_F(LampTableTest, RowsKeepTheirOwnEndsAndCellCounts) {
  for (const std::string end : {"", "\n", "\r\n", "more\tcells\t\r\n"}) {
    SCOPED_TRACE("end \"" + end + "\"");
    LampPointTable a;
    a.AddPoint(Values(3));
    a.AddPoint(Values(4));
    auto texts = a.RowTexts();
    for (auto& t : texts) t = t.substr(0, t.size() - 2) + end;
    texts[3] = texts[3].substr(0, texts[3].size() - end.size());
    texts[3] = texts[3].substr(0, texts[3].rfind('\t', texts[3].size() - 2) + 1) + end;  // a row of 39 cells
    LampPointTable b;
    b.SetRowTexts(texts);
    EXPECT_EQ(b.RowTexts(), texts);
    auto v = b.Values(0);
    v.markX = 9.5;
    ASSERT_TRUE(b.ModifyRow(0, v));
    const auto changed = b.RowTexts();
    EXPECT_EQ(changed[0].substr(changed[0].size() - end.size()), end);
    EXPECT_EQ(b.Cell(0, 3), "9.5000");
    for (int r = 1; r < kLampRows; ++r) EXPECT_EQ(changed[r], texts[r]) << r;
    ASSERT_TRUE(b.AddPoint(Values(5)));
    EXPECT_EQ(b.RowTexts()[4].substr(b.RowTexts()[4].size() - 2), "\r\n");
  }
}

// A cell that is no number refuses its row, naming the line and the field;
// the row goes back as it was and offers no values.
TEST_F(LampTableTest, RowWithACellThatIsNoNumberIsRefusedByLineAndField) {
  struct Case {
    int col;
    const char* text;
    const char* field;
  };
  const Case cases[] = {{3, "12abc", "mark X"},       {5, "1.5", "offset X"},       {11, "nan", "Z"},
                        {13, "1e400", "run speed"},   {16, "ten", "red height"},    {27, "inf", "silver 1 close delay"},
                        {32, "99999999999", "silver 2 bottom delay"}, {30, "0x10", "silver 2 height"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    LampPointTable table;
    table.AddPoint(Values(1.0));
    table.AddPoint(Values(2.0));
    auto texts = table.RowTexts();
    std::vector<std::string_view> cells;
    smt::platform::SplitTabCellViews(texts[3], cells);
    std::string line;
    for (size_t k = 0; k < cells.size(); ++k) line += (static_cast<int>(k) == c.col ? std::string(c.text) : std::string(cells[k])) + "\t";
    texts[3] = line + "\r\n";
    const auto refused = table.SetRowTexts(texts);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_NE(refused[0].find("line 4"), std::string::npos) << refused[0];
    EXPECT_NE(refused[0].find(c.field), std::string::npos) << refused[0];
    EXPECT_EQ(table.RowTexts(), texts);
    EXPECT_EQ(table.PointCount(), 2);
    EXPECT_EQ(table.Values(3).markX, 0.0);
    EXPECT_EQ(table.Values(2).markX, 2.0);
    LampScales s;
    s.px = s.py = 1000;
    EXPECT_EQ(table.ParsePointRow(1, 2, 1, s).x, 0);
  }
}

// What the table keeps of a value the editor hands it is the number its
// four-decimal cell reads back as.
TEST_F(LampTableTest, StoredValuesAreTheNumbersTheirCellsReadBackAs) {
  for (double x : {0.00005, 1.23445, -7.77775, 123.456789, 0.1 + 0.2, -0.00004, 2.5}) {
    SCOPED_TRACE(x);
    LampPointValues v = Values(x);
    v.dots[1].valveClose = x;
    v.placeZ = x / 3;
    t.Clear();
    ASSERT_TRUE(t.AddPoint(v));
    const LampPointValues read = LampPointValues::FromCells(t.Row(0));
    const LampPointValues held = t.Values(0);
    for (int c = 2; c <= 34; ++c) EXPECT_EQ(held.Number(c), read.Number(c)) << "cell " << c;
    EXPECT_EQ(held.markX, std::strtod(t.Cell(0, 3).c_str(), nullptr));
  }
}

TEST(LampCountersTest, SetQuantityStaysThreeAboveBoardsMade) {
  LampCounters c{20, 8, 12};
  EXPECT_EQ(c.Confirm(10, 0), 1);
  EXPECT_EQ(c.m_CountSet, 20);
  EXPECT_EQ(c.Confirm(30, -5), 0);
  EXPECT_EQ(c.m_CountSet, 25);
  EXPECT_EQ(c.m_CountUnfinish, 17);
  EXPECT_EQ(c.Confirm(25, -15), 2);
  EXPECT_EQ(c.m_CountSet, 25);
  const auto dir = std::filesystem::temp_directory_path() / ("lamp-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  EXPECT_EQ(LampCounters::Load(dir.string()).m_CountSet, 1);
  ASSERT_TRUE(c.Save(dir.string()));
  EXPECT_EQ(LampCounters::Load(dir.string()).m_CountUnfinish, 17);
  std::filesystem::remove_all(dir);
}

}  // namespace

// A cell set as the side file would hold it is read by the file's reader:
// a number in any spelling the reader takes is its value; anything else is
// refused naming the field, the text stays, and no value is made up from it.
TEST_F(LampTableTest, ACellSetAsTextIsReadByTheSideFilesReader) {
  struct Case {
    int col;
    const char* text;
    bool reads;
    double value;
    const char* field;
  } cases[] = {{3, " 2.50", true, 2.5, ""},       {3, "+7", true, 7.0, ""},         {3, "", true, 0.0, ""},
               {3, "nan", false, 0, "mark X"},    {3, "1e400", false, 0, "mark X"}, {12, "12.5", false, 0, "start speed"},
               {12, "040", true, 40.0, ""},        {18, "ten", false, 0, "red bottom delay"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.col) + " \"" + c.text + "\"");
    t.Clear();
    ASSERT_TRUE(t.AddPoint(Values(1.0)));
    const std::string refusal = t.SetCell(0, c.col, c.text);
    EXPECT_EQ(t.Cell(0, c.col), c.text);
    if (c.reads) {
      EXPECT_TRUE(refusal.empty()) << refusal;
      EXPECT_EQ(t.Values(0).Number(c.col), c.value);
      EXPECT_EQ(t.Values(0).Number(c.col == 3 ? 4 : 3), c.col == 3 ? -20.0 : 1.0);  // the row's other values stay
    } else {
      EXPECT_NE(refusal.find(c.field), std::string::npos) << refusal;
      EXPECT_EQ(t.Values(0).Number(c.col == 3 ? 4 : 3), 0.0);
      EXPECT_THROW(LampPointValues::FromCells(t.Row(0), 1), smt::platform::FileCellError);
    }
    EXPECT_EQ(t.Values(1).Number(3), 1.0);  // the point's other row is untouched
  }
}
