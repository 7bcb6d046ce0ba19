// PCB list operations and board transforms on the job model.
#include <gtest/gtest.h>

#include "job/JobFixtures.h"

using namespace smt::job;
using namespace smt::job::testing;

namespace {
std::vector<std::string> Names(const PcbTable& t) {
  std::vector<std::string> n;
  for (const auto& r : t.m_Records) n.push_back(r.m_strName);
  return n;
}
}  // namespace

TEST(PcbList, AddPasteRenameDelete) {
  PcbTable t;
  EXPECT_EQ(t.Add(""), PcbOpResult::EmptyName);
  EXPECT_EQ(t.Add("A\tB"), PcbOpResult::HasTab);
  ASSERT_EQ(t.Add("A"), PcbOpResult::Ok);
  EXPECT_EQ(t.m_strCurPcbName, "A");
  EXPECT_EQ(t.m_Records[0].m_nRows, 1);
  EXPECT_EQ(t.m_Records[0].m_nCols, 1);
  EXPECT_EQ(t.Add("a"), PcbOpResult::NameInUse);  // letter case ignored
  ASSERT_EQ(t.Add("B"), PcbOpResult::Ok);
  ASSERT_EQ(t.Add("C"), PcbOpResult::Ok);
  EXPECT_EQ(t.FindPcbIndex("c"), -1);  // the lookup is exact
  EXPECT_EQ(t.FindPcbIndex(""), -1);

  // Paste A: the copy goes right after A, A stays current.
  t.m_strCurPcbName = "A";
  t.m_Records[0].m_Parts.push_back(PlacementFromStoredCells(std::vector<std::string>(16, "x")));
  t.m_Records[0].m_PanelGrid = FullPanelGrid(1, 1);
  ASSERT_EQ(t.PasteCurrent(), PcbOpResult::Ok);
  EXPECT_EQ(Names(t), (std::vector<std::string>{"A", "A-copy", "B", "C"}));
  EXPECT_EQ(t.m_strCurPcbName, "A");
  EXPECT_EQ(t.PasteCurrent(), PcbOpResult::AlreadyCopied);
  t.m_Records[1].m_Parts[0].name = "changed";  // a deep copy
  EXPECT_EQ(t.m_Records[0].m_Parts[0].name, "x");
  t.m_strCurPcbName = "A-copy";
  ASSERT_EQ(t.PasteCurrent(), PcbOpResult::Ok);
  EXPECT_EQ(t.m_Records[2].m_strName, "A-copy-copy");
  t.m_strCurPcbName = "";
  EXPECT_EQ(t.PasteCurrent(), PcbOpResult::NothingChecked);

  // Rename: refused for a name in use, an empty name or a TAB.
  t.m_strCurPcbName = "B";
  EXPECT_EQ(t.RenameCurrent("C", ""), PcbOpResult::NameInUse);
  EXPECT_EQ(t.RenameCurrent("a-COPY", ""), PcbOpResult::NameInUse);
  EXPECT_EQ(t.RenameCurrent("", ""), PcbOpResult::EmptyName);
  EXPECT_EQ(t.RenameCurrent("B2", "note\tx"), PcbOpResult::HasTab);
  EXPECT_EQ(t.m_Records[3].m_strName, "B");
  EXPECT_EQ(t.RenameCurrent("b", "own name, other case"), PcbOpResult::Ok);
  EXPECT_EQ(t.m_strCurPcbName, "b");
  EXPECT_EQ(t.m_Records[3].m_strNote, "own name, other case");
  t.m_strCurPcbName = "missing";
  EXPECT_EQ(t.RenameCurrent("Z", ""), PcbOpResult::NotFound);

  // Delete keeps the others' order and leaves none current; the last one empties the table.
  t.m_strCurPcbName = "A-copy";
  ASSERT_EQ(t.DeleteCurrent(), PcbOpResult::Ok);
  EXPECT_EQ(Names(t), (std::vector<std::string>{"A", "A-copy-copy", "b", "C"}));
  EXPECT_EQ(t.m_strCurPcbName, "");
  EXPECT_EQ(t.DeleteCurrent(), PcbOpResult::NotFound);
  for (const char* n : {"A", "A-copy-copy", "b", "C"}) {
    t.m_strCurPcbName = n;
    ASSERT_EQ(t.DeleteCurrent(), PcbOpResult::Ok);
  }
  EXPECT_FALSE(t.HasTable());
}

TEST(PcbList, ChoosingAnotherBoardNeverMovesRowsBetweenBoards) {
  JobModel job = SampleJob(3);  // board "B" shown
  job.placementRows.push_back(Placement(99, 1, 1, "0", "NEW"));
  // The editor chooses board 0 but nothing is applied yet: a save stores
  // the list into the board it belongs to.
  job.pcbs.m_strCurPcbName = "主板A";
  auto c = job.ToContent(0);
  EXPECT_EQ(job.pcbs.m_Records[0].PartCount(), 3);
  EXPECT_EQ(job.pcbs.m_Records[1].PartCount(), 4);
  // Applying it stores B's rows first, then shows A's own.
  ASSERT_TRUE(job.ApplyCurrentRecord());
  EXPECT_EQ(job.shownPcbName, "主板A");
  EXPECT_EQ(job.placementRows.size(), 3u);
  EXPECT_EQ(job.pcbs.m_Records[1].PartCount(), 4);
  job.pcbs.m_strCurPcbName = "gone";
  EXPECT_FALSE(job.ApplyCurrentRecord());
}

TEST(BoardTransforms, AnglesAndCoordinates) {
  struct Case {
    BoardTransform t;
    int in, out;
  };
  const std::vector<Case> angles = {
      {BoardTransform::RotateClockwise, 0, 270},          {BoardTransform::RotateClockwise, 90, 0},
      {BoardTransform::RotateCounterclockwise, 270, 360}, {BoardTransform::RotateCounterclockwise, 300, 30},
      {BoardTransform::MirrorLeftRight, 0, 180},          {BoardTransform::MirrorLeftRight, 90, 90},
      {BoardTransform::MirrorLeftRight, 270, 270},        {BoardTransform::MirrorLeftRight, 360, 180},
      {BoardTransform::MirrorLeftRight, -30, 0},          {BoardTransform::MirrorLeftRight, 400, 0},
      {BoardTransform::MirrorUpDown, 90, 270},            {BoardTransform::MirrorUpDown, 360, 0},
      {BoardTransform::MirrorUpDown, 0, 0},
  };
  for (const auto& c : angles) EXPECT_EQ(TransformPoint(c.t, 0, 0, c.in).angle, c.out) << c.in;

  std::vector<ListRow> rows = {Placement(1, 12.5, -3, "45", "R1"), Placement(2, 0, 7, "12.5", "R2")};
  const auto original = rows;
  std::vector<std::string> seen;
  for (int i = 0; i < 4; ++i) {
    TransformRows(rows, BoardTransform::RotateClockwise, false, "左", "右");
    seen.push_back(rows[0].cells[kSmtAngle]);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"315", "225", "135", "45"}));
  EXPECT_EQ(rows[0].cells[kSmtX], "12.5");
  EXPECT_EQ(rows[0].cells[kSmtY], "-3");
  EXPECT_EQ(rows[1].cells[kSmtAngle], "12");  // integer angles
  // The cells are read as the placement record reads them: "1e2" is 100
  // degrees, not 1; an angle beyond the field's range turns as 0.
  std::vector<ListRow> odd = {Placement(3, 4, 5, "1e2", "R3"), Placement(4, 4, 5, "99999999999999", "R4")};
  TransformRows(odd, BoardTransform::RotateClockwise, false, "", "");
  EXPECT_EQ(odd[0].cells[kSmtAngle], "10");
  EXPECT_EQ(odd[0].cells[kSmtX], "5");
  EXPECT_EQ(odd[0].cells[kSmtY], "-4");
  EXPECT_EQ(odd[1].cells[kSmtAngle], "270");

  rows = original;
  TransformRows(rows, BoardTransform::MirrorUpDown, true, "上", "下");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].cells[kSmtName], "上-R1");
  EXPECT_EQ(rows[0].cells[kSmtY], "-3");
  EXPECT_EQ(rows[2].cells[kSmtName], "下-R1");
  EXPECT_EQ(rows[2].cells[kSmtY], "3");
  EXPECT_EQ(rows[3].cells[kSmtName], "下-R2");
  EXPECT_EQ(rows[3].Image(kSmtPlace), original[1].Image(kSmtPlace));
}

TEST(BoardTransforms, MergePanelsIntoOneBoard) {
  JobModel job;
  PcbRecord rec;
  rec.m_strName = "P";
  rec.m_nRows = 2;
  rec.m_nCols = 3;
  rec.m_dRowSpace = 50;
  rec.m_dColSpace = 40;
  rec.m_PanelGrid = FullPanelGrid(2, 3);
  rec.m_PanelGrid[0][2] = "0/2";
  rec.m_Parts.push_back(PlacementFromListRow(Placement(1, 10, 5, "90", "U1")));
  job.pcbs.m_Records.push_back(rec);
  job.pcbs.m_strCurPcbName = "P";
  ASSERT_TRUE(job.ApplyCurrentRecord());
  int currentBoardCalls = 0;
  job.onLoadCurrentBoard = [&](int, const PcbRecord& r) {
    ++currentBoardCalls;
    EXPECT_EQ(r.m_nRows, 1);
  };
  ASSERT_TRUE(job.MergeShownPanels());
  std::vector<std::pair<std::string, std::string>> xy;
  for (const auto& r : job.placementRows) xy.emplace_back(r.cells[kSmtX], r.cells[kSmtY]);
  EXPECT_EQ(xy, (std::vector<std::pair<std::string, std::string>>{
                    {"10", "5"}, {"50", "5"}, {"90", "5"}, {"10", "55"}, {"50", "55"}, {"90", "55"}}));
  EXPECT_EQ(job.placementRows[5].cells[kSmtName], "U1");
  EXPECT_EQ(job.pcbs.m_Records[0].m_nRows, 1);
  EXPECT_EQ(job.pcbs.m_Records[0].m_nCols, 1);
  EXPECT_EQ(currentBoardCalls, 1);
  // Stored and written, the merged board keeps a consistent 1 x 1 grid.
  auto c = job.ToContent(0);
  EXPECT_EQ(c.pcbLines.size(), 1u + 1u + 6u);
  EXPECT_NO_THROW(PcbTable::FromLines(c.curPcbName, c.pcbCount, c.pcbLines));
  job.shownPcbName = "";
  EXPECT_FALSE(job.MergeShownPanels());
}
