// Opening reads the common placement line in one pass, and storing the shown
// rows leaves a record alone when its row still shows it: both must give
// exactly the record the cell reader gives (every field, and how each number
// cell is written again), or the saved bytes and the run's values drift.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "job/JobFileError.h"
#include "job/JobModel.h"
#include "job/JobRows.h"
#include "job/PcbTable.h"
#include "job/WorkRecords.h"
#include "platform/FileCell.h"

using namespace smt::job;

namespace {

void ExpectSameForm(const CellForm& a, const CellForm& b, const char* what) {
  EXPECT_EQ(a.decimals, b.decimals) << what;
  EXPECT_EQ(a.text, b.text) << what;
  EXPECT_EQ(a.readBits, b.readBits) << what;
}

// Every field, the kept texts and bits of the number cells included
// (PlacementRecord's == looks at a plain cell's form alone).
void ExpectSameRecord(const PlacementRecord& a, const PlacementRecord& b, const std::string& line) {
  SCOPED_TRACE(line);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.feeder.Ref(), b.feeder.Ref());
  ExpectSameForm(a.serialForm, b.serialForm, "serial");
  ExpectSameForm(a.xForm, b.xForm, "X");
  ExpectSameForm(a.yForm, b.yForm, "Y");
  ExpectSameForm(a.angleForm, b.angleForm, "angle");
  ExpectSameForm(a.headForm, b.headForm, "head");
}

PlacementRecord ByCellReader(const std::string& line) {
  std::vector<std::string_view> cells;
  smt::platform::SplitTabCellViews(line, cells);
  PlacementRecord r;
  ReadStoredPlacementInto(smt::platform::CellReader("job file", 1, cells), r);
  return r;
}

std::string Line(std::vector<std::string> cells, const std::string& after = "") {
  return JoinTabCells(cells) + after;
}

const std::vector<std::string> kCommon = {"12", "1.25", "-30.5", "90", "R7", "电阻", "0603", "1/Yes",
                                          "10k", "W3", "0/No", "10k", "1", "2024-3-5  9:7:2", "", ""};

std::vector<std::string> With(int k, const std::string& text) {
  auto c = kCommon;
  c[static_cast<size_t>(k)] = text;
  return c;
}

// The lines of a job file's table of one board "B" (a 1 x 1 panel) whose
// placement lines are `parts`.
std::vector<std::string> BoardLines(const std::vector<std::string>& parts) {
  PcbTable t;
  t.m_strCurPcbName = "B";
  PcbRecord rec;
  rec.m_strName = "B";
  rec.m_PanelGrid = FullPanelGrid(1, 1);
  for (size_t i = 0; i < parts.size(); ++i) rec.m_Parts.push_back(PlacementFromStoredCells(kCommon));
  t.m_Records.push_back(std::move(rec));
  std::vector<std::string> lines = t.SaveToLines();
  std::copy(parts.begin(), parts.end(), lines.end() - static_cast<std::ptrdiff_t>(parts.size()));
  return lines;
}

}  // namespace

TEST(PlacementLineRead, OnePassGivesTheCellReadersRecordOrLeavesTheLineToIt) {
  struct Case {
    const char* what;
    std::string line;
    bool onePass;  // the common form, which must not fall to the slow reader
  };
  const std::vector<Case> cases = {
      {"common line", Line(kCommon), true},
      {"text after the 16th TAB", Line(kCommon, "extra\tcells\t"), true},
      {"text after the last TAB", Line(kCommon, "tail"), true},
      {"fifteen cells", Line({kCommon.begin(), kCommon.end() - 1}), false},
      {"limits", Line(With(kSmtX, "-10000")), true},
      {"angle at its limit", Line(With(kSmtAngle, "3600.000")), true},
      {"serial 0", Line(With(kSmtSerial, "0")), true},
      {"serial with sign", Line(With(kSmtSerial, "+5")), false},
      {"serial leading zero", Line(With(kSmtSerial, "007")), false},
      {"X with exponent", Line(With(kSmtX, "1e3")), false},
      {"X with blank", Line(With(kSmtX, " 7")), false},
      {"X, Y and angle empty", Line([] {
         auto c = kCommon;
         c[kSmtX] = c[kSmtY] = c[kSmtAngle] = "";
         return c;
       }()),
       false},
      {"flags without prefix", Line([] {
         auto c = With(kSmtPlace, "Yes");
         c[kSmtVision] = "1";
         return c;
       }()),
       true},
      {"flag prefix 11/", Line(With(kSmtPlace, "11/Yes")), true},
      {"flag 1/ only", Line(With(kSmtVision, "1/")), true},
      {"feeder with plus", Line(With(kSmtFeeder, "W+3")), true},
      {"feeder word", Line(With(kSmtFeeder, "E7x")), true},
      {"head not a number", Line(With(kSmtHead, "abc")), true},
      {"head negative", Line(With(kSmtHead, "-1")), true},
      {"head empty", Line(With(kSmtHead, "")), true},
      {"sixteen-digit X", Line(With(kSmtX, "1.234567890123456")), false},
      {"long texts", Line([] {
         auto c = With(kSmtName, std::string(300, 'N'));
         c[kSmtSpare] = "备注备注备注备注备注";
         return c;
       }()),
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PlacementRecord fast;
    const bool read = ReadPlainStoredPlacementLine(c.line, fast);
    EXPECT_EQ(read, c.onePass);
    if (read) ExpectSameRecord(fast, ByCellReader(c.line), c.line);
  }
}

TEST(PlacementLineRead, AnOpenedTableHoldsTheRecordsAndRefusalsOfTheCellReader) {
  // The same table through the opening reader and line by line through the
  // cell reader; a bad cell is refused with its line and field either way.
  const std::vector<std::string> parts = {Line(kCommon), Line(With(kSmtSerial, "+5")), Line([] {
                                            auto c = kCommon;
                                            c[kSmtX] = c[kSmtY] = c[kSmtAngle] = "";
                                            return c;
                                          }()),
                                          Line(With(kSmtHead, "x")), Line(With(kSmtX, "2.50"))};
  std::vector<std::string> lines = BoardLines(parts);
  const PcbTable t = PcbTable::FromLines("B", 1, lines, "job file");
  ASSERT_EQ(t.Count(), 1);
  ASSERT_EQ(t.m_Records[0].m_Parts.size(), parts.size());
  for (size_t i = 0; i < parts.size(); ++i) ExpectSameRecord(t.m_Records[0].m_Parts[i], ByCellReader(parts[i]), parts[i]);

  lines.back() = Line(With(kSmtY, "10000.5"));
  try {
    (void)PcbTable::FromLines("B", 1, lines, "job file");
    ADD_FAILURE() << "a Y beyond the board was taken";
  } catch (const JobCellError& e) {
    EXPECT_EQ(e.line(), static_cast<int>(lines.size()));
    EXPECT_EQ(e.field(), "Y");
  }
}

TEST(PlacementLineRead, StoringTheShownRowsGivesWhatRebuildingThemGives) {
  // Rows shown from an opened board, some edited the ways the list edits
  // them (a number spelt otherwise, a text, a flag's image, a feeder), are
  // stored back: each record must be the one the row gives afresh.
  std::vector<std::string> parts;
  for (int i = 0; i < 12; ++i) parts.push_back(Line(With(kSmtSerial, std::to_string(i + 1))));
  parts[3] = Line(With(kSmtX, "+5"));  // kept as it was spelt
  const std::vector<std::string> lines = BoardLines(parts);
  JobModel job;
  job.ApplyTable(PcbTable::FromLines("B", 1, lines, "job file"), {}, 0);
  ASSERT_EQ(job.placementRows.size(), parts.size());

  auto& rows = job.placementRows;
  rows[0].cells[kSmtX] = "1.250";      // the same value, other decimals
  rows[1].cells[kSmtY] = "-30.50000";  // the same
  rows[2].cells[kSmtName] = "C9";
  rows[4].SetImage(kSmtPlace, kImgNo);
  rows[5].cells[kSmtVision] = "Yes";
  rows[6].cells[kSmtFeeder] = "W+3";
  rows[7].cells[kSmtHead] = "2";
  rows[8].cells[kSmtSerial] = "x";
  rows[9].cells[kSmtAngle] = "";
  const std::vector<ListRow> shown = rows;
  job.StoreShownRows();
  const PcbRecord* rec = job.ShownRecord();
  ASSERT_NE(rec, nullptr);
  ASSERT_EQ(rec->m_Parts.size(), shown.size());
  for (size_t i = 0; i < shown.size(); ++i)
    ExpectSameRecord(rec->m_Parts[i], PlacementFromListRow(shown[i]), "row " + std::to_string(i + 1));
  // A second store of rows not touched since changes nothing.
  const PlacementList before = rec->m_Parts;
  job.StoreShownRows();
  for (size_t i = 0; i < shown.size(); ++i) ExpectSameRecord(rec->m_Parts[i], before[i], "again " + std::to_string(i + 1));
}
