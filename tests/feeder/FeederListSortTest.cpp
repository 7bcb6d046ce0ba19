// The feeder list sorts by the feeders' values, not by the texts it shows:
// every number column orders 9 before 10 before 100, negatives first, and
// one value spelt two ways ("1.50", "1.5") as equal. The cells keep the
// spellings they came with, and the file is written back as it was read.
// A feeder whose numbers could not be read stays in the list as the file
// held it.
#include <gtest/gtest.h>

#include <QTableWidget>
#include <filesystem>

#include "core/MachineState.h"
#include "feeder/CDialogFeedList.h"
#include "feeder/FeederTable.h"
#include "platform/MessageService.h"
#include "support/QuietFeederServices.h"

using namespace smt::feeder;

namespace {

// A feeder whose every cell holds a value in its field's range.
FeederCells Feeder(const std::string& number) {
  FeederCells r;
  for (size_t c = 0; c < r.size(); ++c) r[c] = std::to_string(c);
  r[0] = number;
  r[kCellHead] = "1";
  r[kCellCamera] = "Yes/Cam";
  r[kCellFly] = "No/1/2";
  r[kCellFeedMode] = "集中飞达";
  r[kCellPickHeight] = "-22";
  r[kCellSpeed] = "No/";
  r[kCellFeature] = "01:feature";
  r[kCellPrecisionXY] = "7";
  return r;
}

std::string Line(const FeederCells& r) {
  std::string s;
  for (const auto& c : r) s += c + "\t";
  return s;
}

std::vector<std::string> Lines(const std::vector<FeederCells>& rows) {
  std::vector<std::string> l = {"2\tMain\t", "Main\tfirst\t" + std::to_string(rows.size()) + "\t"};
  for (const auto& r : rows) l.push_back(Line(r));
  for (size_t i = 0; i < rows.size(); ++i) {
    l.push_back("1\t1\t0\t0\t0.0000\t0.0000\t");  // a one-pocket tray as the table writes it
    l.push_back("Yes/1\t");
  }
  l.push_back("Spare\t\t0\t");
  return l;
}

class FeederListSortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    smt::CurrentMachine().machineType = 3;
    smt::CurrentMachine().languageSet = 0;
    quiet.emplace();
    dir = std::filesystem::temp_directory_path() /
          ("feeder_list_sort_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    smt::CurrentMachine().machineType = 0;
    quiet.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  void Load(CDialogFeedList& p, const std::vector<std::string>& lines) {
    auto copy = lines;
    ASSERT_TRUE(p.LoadFromLines(copy, dir.string()));
  }
  static std::vector<std::string> Numbers(const CDialogFeedList& p) {
    std::vector<std::string> n;
    for (int r = 0; r < p.RowCount(); ++r) n.push_back(p.ListRow(r).text[0]);
    return n;
  }
  static std::vector<std::string> Shown(const CDialogFeedList& p, int column) {
    std::vector<std::string> n;
    for (int r = 0; r < p.List()->rowCount(); ++r) n.push_back(p.List()->item(r, column)->text().toStdString());
    return n;
  }
  std::optional<smt::testing::QuietFeederServices> quiet;
  smt::platform::ScopedRecordingMessages messages;
  std::filesystem::path dir;
};

struct SortCase {
  const char* name;
  int column;
  std::vector<std::string> values;  // feeders W1, W2, ... hold these
  std::vector<std::string> order;   // the values in sorted order
};

const std::vector<SortCase>& SortCases() {
  static const std::vector<SortCase> cases = {
      {"X", kCellX, {"100", "+9", "10", "-2.5", "1.50", "1.5", "-10"}, {"-10", "-2.5", "1.50", "1.5", "+9", "10", "100"}},
      {"Y", kCellY, {"10.0", "9.99", "-0.5", "100"}, {"-0.5", "9.99", "10.0", "100"}},
      {"length", kCellLength, {"9", "100", "10", "0.5"}, {"0.5", "9", "10", "100"}},
      {"width", kCellWidth, {"10", "1.5", "9", "1.50"}, {"1.5", "1.50", "9", "10"}},
      {"height", kCellHeight, {"1.50", "10", "1.5", "9", "0.25"}, {"0.25", "1.50", "1.5", "9", "10"}},
      {"angle", kCellAngle, {"-90", "180", "45.0", "-180", "9", "-9.5"}, {"-180", "-90", "-9.5", "9", "45.0", "180"}},
      {"head", kCellHead, {"10", "9", "1", "19", "0"}, {"0", "1", "9", "10", "19"}},
      {"vacuum", kCellVacuum, {"100", "9", "10", "9.5"}, {"9", "9.5", "10", "100"}},
      {"pick delay", kCellPickDelay, {"100", "9", "10", "1000"}, {"9", "10", "100", "1000"}},
      {"place delay", kCellPlaceDelay, {"10", "9", "100"}, {"9", "10", "100"}},
      {"feed coordinate", kCellFeedCoord, {"-10", "9.75", "-9.5", "100"}, {"-10", "-9.5", "9.75", "100"}},
      {"feed count", kCellFeedCount, {"100", "9", "10"}, {"9", "10", "100"}},
      {"feed time", kCellFeedTime, {"100", "9", "10"}, {"9", "10", "100"}},
      {"slack", kCellSlack, {"10", "-10", "9", "-9"}, {"-10", "-9", "9", "10"}},
      {"tension", kCellTension, {"100", "-1.5", "10", "-1.50", "9"}, {"-1.5", "-1.50", "9", "10", "100"}},
      {"pick height", kCellPickHeight, {"-9", "-10", "-1.50", "-100", "0", "-1.5"},
       {"-100", "-10", "-9", "-1.50", "-1.5", "0"}},
      {"early vacuum off", kCellEarlyVacuum, {"10", "9.5", "100"}, {"9.5", "10", "100"}},
      {"quantity", kCellQuantity, {"100", "9", "10", "1000"}, {"9", "10", "100", "1000"}},
      {"XY accuracy", kCellPrecisionXY, {"10", "-1", "9"}, {"-1", "9", "10"}},
      {"angle accuracy", kCellPrecisionA, {"10", "9", "-1", "30"}, {"-1", "9", "10", "30"}},
      {"capture time", kCellCollectTime, {"-1", "100", "9", "10"}, {"-1", "9", "10", "100"}},
  };
  return cases;
}

}  // namespace

TEST_F(FeederListSortTest, EveryNumberColumnSortsByValueAndKeepsItsSpellings) {
  for (const SortCase& c : SortCases()) {
    SCOPED_TRACE(c.name);
    std::vector<FeederCells> rows;
    for (size_t i = 0; i < c.values.size(); ++i) {
      rows.push_back(Feeder("W" + std::to_string(i + 1)));
      rows.back()[static_cast<size_t>(c.column)] = c.values[i];
    }
    const std::vector<std::string> lines = Lines(rows);
    CDialogFeedList p(smt::CurrentMachine());
    Load(p, lines);
    ASSERT_TRUE(p.LastLoad().skipped.empty());
    // Equal values (one number spelt two ways) keep the order they had.
    p.SortByColumn(c.column);
    EXPECT_EQ(Shown(p, c.column), c.order);
    std::vector<std::string> listed;
    for (int r = 0; r < p.RowCount(); ++r) listed.push_back(p.ListRow(r).text[static_cast<size_t>(c.column)]);
    EXPECT_EQ(listed, c.order);
    // The list's rows are the feeders read: each number in the feeder's
    // record is the one its cell shows.
    for (int r = 0; r < p.RowCount(); ++r) {
      const FeederRow& row = p.Shown()[static_cast<size_t>(r)].row;
      EXPECT_TRUE(row.Readable());
      EXPECT_EQ(row.Cell(c.column), c.order[static_cast<size_t>(r)]);
    }
    // Sorting shows; the file stays as it was read.
    EXPECT_EQ(p.SaveToLines(), lines);
    p.SortByColumn(0);
    EXPECT_EQ(Numbers(p).front(), "W1");
    EXPECT_EQ(p.SaveToLines(), lines);
  }
}

TEST_F(FeederListSortTest, AFeederThatCouldNotBeReadIsShownAsTheFileHeldItAndWrittenBack) {
  struct Case {
    const char* name;
    int column;        // the cell the file spoilt
    const char* text;  // what it held
  };
  const Case cases[] = {
      {"a word for X", kCellX, "abc"},
      {"nan for the height", kCellHeight, "nan"},
      {"a head past the last", kCellHead, "20"},
      {"a pick height above the table", kCellPickHeight, "5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<FeederCells> rows = {Feeder("W1"), Feeder("W2"), Feeder("W3")};
    rows[0][kCellX] = "5";
    rows[0][kCellPackage] = "B";
    rows[1][static_cast<size_t>(c.column)] = c.text;
    rows[1][kCellPackage] = "A";
    rows[2][kCellX] = "-1";
    rows[2][kCellPackage] = "C";
    const std::vector<std::string> lines = Lines(rows);
    CDialogFeedList p(smt::CurrentMachine());
    Load(p, lines);
    ASSERT_EQ(p.LastLoad().skipped.size(), 1u);
    EXPECT_EQ(p.LastLoad().skipped[0].line, 4);
    ASSERT_EQ(p.RowCount(), 3);
    const auto find = [&](const std::string& number) {
      for (int r = 0; r < p.RowCount(); ++r)
        if (p.ListRow(r).text[0] == number) return r;
      return -1;
    };
    // Shown with the cell as it was, and why it is not used.
    int r = find("W2");
    ASSERT_GE(r, 0);
    EXPECT_FALSE(p.Shown()[static_cast<size_t>(r)].row.Readable());
    EXPECT_EQ(p.Shown()[static_cast<size_t>(r)].row.Cells(), rows[1]);
    EXPECT_EQ(p.List()->item(r, c.column)->text().toStdString(), c.text);
    EXPECT_FALSE(p.List()->item(r, c.column)->toolTip().isEmpty());
    EXPECT_TRUE(p.List()->item(find("W1"), c.column)->toolTip().isEmpty());
    // In a number column it goes after the feeders that have values; by
    // text it sorts with the others.
    p.SortByColumn(kCellX);
    EXPECT_EQ(Numbers(p), (std::vector<std::string>{"W3", "W1", "W2"}));
    p.SortByColumn(kCellPackage);
    EXPECT_EQ(Numbers(p), (std::vector<std::string>{"W2", "W1", "W3"}));
    // Marking it and giving its row back unchanged leave its cells alone.
    r = find("W2");
    p.List()->selectRow(r);
    p.OnClickRow();
    EXPECT_EQ(p.ListRow(r).icon[0], 6);
    p.SetListRow(r, p.ListRow(r));
    EXPECT_EQ(p.Shown()[static_cast<size_t>(r)].row.Cells(), rows[1]);
    EXPECT_EQ(p.List()->item(r, c.column)->text().toStdString(), c.text);
    p.SortByColumn(0);
    EXPECT_EQ(Numbers(p), (std::vector<std::string>{"W1", "W2", "W3"}));
    EXPECT_EQ(p.SaveToLines(), lines);
  }
}
