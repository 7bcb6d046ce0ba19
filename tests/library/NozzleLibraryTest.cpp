// The nozzle library's rows, seat records, shift and settings.
#include <gtest/gtest.h>

#include "core/Machine.h"
#include "LibraryTestSupport.h"
#include "library/LibraryRows.h"
#include "library/NozzleLibrary.h"
#include "platform/ListFile.h"
#include "platform/SettingsSection.h"

using namespace smt::library;

namespace {

NozzleRow Row(const std::string& x, const std::string& y, const std::string& ez, const std::string& note) {
  return {"1", x, y, "-2.5000", x, y, ez, "40", note};
}

class NozzleLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    librarytest::ResetNozzleState();
    librarytest::UseScales(100, 200, 1000);
  }
};

}  // namespace

TEST_F(NozzleLibraryTest, RowStringsAreCutAtTabsAndRebuiltWithATabAfterEveryCell) {
  NozzleLibrary lib;
  lib.LoadRows({"1\t10.0\t-20.0\t-1\t10\t-20\t-3\t50\tfine\t",
                "2\t1\t2\t3\t4\t5\t6\t7\t\textra\tcells\t",  // empty note, two surplus cells
                "3\t1\t2\ttrailing text without tab"});
  ASSERT_EQ(lib.Count(), 3);
  EXPECT_EQ(lib.Row(0).cells[8], "fine");
  EXPECT_EQ(lib.Row(1).cells[8], "");
  EXPECT_EQ(lib.Row(2).cells[2], "2");
  EXPECT_EQ(lib.Row(2).cells[3], "");  // text after the last TAB is no cell
  const auto strings = lib.BuildRowStrings();
  EXPECT_EQ(strings[1], "2\t1\t2\t3\t4\t5\t6\t7\t\t");  // surplus dropped, empty note ends in two TABs
  EXPECT_EQ(strings[2], "3\t1\t2\t\t\t\t\t\t\t");
}

TEST_F(NozzleLibraryTest, SeatRecordsAreTruncatedStepsWithEachHeadsLengthDifference) {
  NozzleGeometry g;
  g.xPulse = 100;
  g.yPulse = 200;
  g.zPulse = 1000;
  g.zNozzleToFeed = {-10.0, -10.5, -9.25, -10.0, 0, 0, 0, 0};
  NozzleLibrary lib;
  lib.ReadRows({{"1", "12.34567", "-5.00009", "-2.5", "20.00999", "-7.5", "-3.0004", "55", "A"}});
  lib.ComputeNozzlePositions(smt::CurrentMachine(), g);
  const NozzleSeatRecord r = smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(0);
  EXPECT_EQ(r.nX, 1234);        // 1234.567 truncated
  EXPECT_EQ(r.nY, -1000);       // -1000.018 truncated toward zero
  EXPECT_DOUBLE_EQ(r.dPickHeight, -2.5);
  EXPECT_EQ(r.nEntranceX, 2000);
  EXPECT_EQ(r.nEntranceY, -1500);
  EXPECT_EQ(r.nEntranceZ, -3000);
  EXPECT_EQ(r.nVacuum, 55);
  EXPECT_EQ(r.nEntranceZHead[0], -3000);
  EXPECT_EQ(r.nEntranceZHead[1], -3500);  // (-10.5 - -10) * 1000 = -500
  EXPECT_EQ(r.nEntranceZHead[2], -2250);
  EXPECT_EQ(r.nEntranceZHead[3], -3000);
  EXPECT_EQ(r.nEntranceZHead[4], 7000);   // H5 = 0: +10 mm
  EXPECT_TRUE(r.bHasNozzle);              // the flag is not the rows' business
}

TEST_F(NozzleLibraryTest, SameNoteMatrixComparesNotesExactlyAndEmptyNotesMatch) {
  NozzleLibrary lib;
  lib.ReadRows({Row("1", "-1", "-1", ""), Row("2", "-1", "-1", "Big"), Row("3", "-1", "-1", ""),
                      Row("4", "-1", "-1", "big"), Row("5", "-1", "-1", "Big")});
  lib.ComputeNozzlePositions(smt::CurrentMachine());
  const bool expected[5][5] = {{1, 0, 1, 0, 0}, {0, 1, 0, 0, 1}, {1, 0, 1, 0, 0}, {0, 0, 0, 1, 0}, {0, 1, 0, 0, 1}};
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j) EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(i).bSameNote[j], expected[i][j]) << i << "," << j;
}

TEST_F(NozzleLibraryTest, RowsBeyondTheNineteenthSeatReachNoRecord) {
  NozzleLibrary lib;
  std::vector<NozzleRow> cells;
  for (int i = 0; i < 21; ++i) cells.push_back(Row(std::to_string(i + 1), "-1", "-1", "n"));
  lib.ReadRows(cells);
  lib.ComputeNozzlePositions(smt::CurrentMachine());  // must not write past seat 19
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(18).nX, 1900);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(19).nX, 0);  // out of range reads an empty record
}

TEST_F(NozzleLibraryTest, ShiftMovesSeatAndEntranceCellsOnlyWithFourDecimals) {
  NozzleLibrary lib;
  lib.ReadRows({{"1", "10", "-20", "-1", "11", "-21", "-3", "50", "x"}});
  const NozzleSeatRecord before = smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(0);
  lib.ShiftNozzlePositions(0.1, -0.05);
  const NozzleRow expected{"1", "10.1000", "-20.0500", "-1", "11.1000", "-21.0500", "-3", "50", "x"};
  EXPECT_EQ(lib.Row(0).cells, expected);
  ASSERT_TRUE(lib.Record(0).has_value());
  EXPECT_DOUBLE_EQ(lib.Record(0)->x, 10.1) << "the kept record follows the shifted cells";
  EXPECT_DOUBLE_EQ(lib.Record(0)->entranceY, -21.05);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(0).nX, before.nX);  // the records follow only at the next computation
}

TEST_F(NozzleLibraryTest, SettingsRoundTripAndAZeroDistanceReadsAsOneHundred) {
  const auto dir = librarytest::ScratchDir("nozzlecfg");
  NozzleLibrary lib;
  lib.LoadConfig(dir.string());
  EXPECT_DOUBLE_EQ(lib.Settings().m_Distance, 100.0);
  smt::platform::SettingsSection(smt::platform::ConfigPath(dir.string()), "NozzleListConfig")
      .WriteText("m_Distance", "0");
  lib.LoadConfig(dir.string());
  EXPECT_DOUBLE_EQ(lib.Settings().m_Distance, 100.0);
  lib.SetSettings({1, 12.5, 300});
  lib.SaveConfig(dir.string());
  NozzleLibrary again;
  again.LoadConfig(dir.string());
  EXPECT_EQ(again.Settings().m_InAndOutExtern, 1);
  EXPECT_DOUBLE_EQ(again.Settings().m_Distance, 12.5);
  EXPECT_EQ(again.Settings().m_Delay, 300);
}

TEST(LibraryRows, CapturesRoundToFourDecimalsAndMoveAwayFromZero) {
  struct Case {
    double steps, scale, expected;
  } cases[] = {
      {123456, 10000, 12.3457}, {-32000, 10000, -3.2001}, {0, 1000, 0.0}, {-1, 1000, -0.0011}, {1, 1000, 0.0011},
  };
  for (const auto& c : cases) EXPECT_NEAR(CaptureMillimetres(c.steps, c.scale), c.expected, 1e-9) << c.steps;
}

TEST(LibraryRows, LibraryFileIsACountAndArchiveStrings) {
  const auto dir = librarytest::ScratchDir("libfile");
  WriteLibraryFile(dir, "config_nozzle.fig", {"1\t2\t", "备注\t"});
  const auto content = smt::platform::ReadListFile(dir / "config_nozzle.fig", false);
  ASSERT_EQ(content.rows.size(), 2u);
  EXPECT_EQ(content.rows[1], "备注\t");
}

// Rows are read once where they come in: a damaged row stays as the file
// held it (and is written back unchanged), has no record, and names its
// file, line and field; the record a good row gives is the one kept.
TEST_F(NozzleLibraryTest, LoadedRowsKeepTheirRecordAndADamagedRowItsProblem) {
  struct Case {
    std::string line;
    bool reads;
    std::string field;  // named in the problem when the row does not read
  } cases[] = {
      {"1\t10.5\t-20\t-1\t11\t-21\t-3\t50\tA\t", true, ""},
      {"2\tnan\t-20\t-1\t11\t-21\t-3\t50\tB\t", false, "\"X\""},
      {"3\t10\t-20\t-1\t11\t-21\t-3\tforty\tC\t", false, "\"vacuum\""},
      {"4\t10\t-20\t-1\t11\t1e300\t-3\t50\t\t", false, "\"entrance Y\""},
      {"x5\t10\t-20\t-1\t11\t-21\t-3\t50\tE\t", false, "\"nozzle number\""},
      {" 006\t-0.0001\t20000.5\t-1\t11\t-21\t-3\t50\tF\t", false, "\"Y\""},
  };
  std::vector<std::string> lines;
  for (const auto& c : cases) lines.push_back(c.line);
  NozzleLibrary lib;
  const auto refusals = lib.LoadRows(lines);
  ASSERT_EQ(lib.Count(), 6);
  size_t refused = 0;
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].line);
    const NozzleListRow& row = lib.Row(static_cast<int>(i));
    EXPECT_EQ(lib.Record(static_cast<int>(i)).has_value(), cases[i].reads);
    EXPECT_EQ(lib.RowNumbersUsable(static_cast<int>(i)), cases[i].reads);
    if (cases[i].reads) {
      EXPECT_TRUE(row.problem.empty());
      continue;
    }
    EXPECT_NE(row.problem.find("line " + std::to_string(i + 1)), std::string::npos) << row.problem;
    EXPECT_NE(row.problem.find(cases[i].field), std::string::npos) << row.problem;
    ASSERT_LT(refused, refusals.size());
    EXPECT_EQ(refusals[refused].line(), static_cast<int>(i + 1));
    ++refused;
  }
  EXPECT_EQ(refused, refusals.size());
  EXPECT_DOUBLE_EQ(lib.Record(0)->x, 10.5);
  EXPECT_EQ(lib.Note(3), "");
  EXPECT_EQ(lib.Note(4), "E") << "a damaged row still shows its note";
  EXPECT_EQ(lib.BuildRowStrings(), lines) << "every row goes back as it came";
  // The seat records come from the kept records; a damaged row keeps its seat's old steps.
  NozzleGeometry g;
  lib.ComputeNozzlePositions(smt::CurrentMachine(), g);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(0).nX, 10);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(1).nX, 0);
  // A shift passes the damaged rows by.
  lib.ShiftNozzlePositions(1, 1);
  EXPECT_EQ(lib.BuildRowStrings()[1], lines[1]);
  EXPECT_EQ(lib.BuildRowStrings()[5], lines[5]);
  EXPECT_DOUBLE_EQ(lib.Record(0)->x, 11.5);
}
