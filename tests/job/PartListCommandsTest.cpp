// The part list's list commands: clicks, feeder chooser, select-all, find,
// compare, update, sort, feeder interleaving, dispensing from placement,
// drill CSV, the run's row interface.
#include "PartListTestSupport.h"

#include "platform/TextCodec.h"

using namespace smt::job;
using namespace smt::job::testing;

namespace {

using PartListCommands = PartListFixture;

TEST_F(PartListCommands, PlaceCellClickTogglesAnythingNotYesToYes) {
  Rows(3);
  job.placementRows[1].cells[7] = "maybe";
  logic.ClickPlacement(0, kSmtPlace);
  logic.ClickPlacement(1, kSmtPlace);
  EXPECT_EQ(Column(RowKind::Placement, 7), (std::vector<std::string>{"No", "Yes", "Yes"}));
  EXPECT_EQ(job.placementRows[0].Image(7), kImgNo);
  EXPECT_EQ(job.placementRows[1].Image(7), kImgYes);
  logic.ClickPlacement(7, kSmtPlace);  // outside any row: nothing
  EXPECT_EQ(logic.State(RowKind::Placement).testRow, 1);
}

TEST_F(PartListCommands, FeederChooserListsEachEntryOnceAndFillsTheRow) {
  feeders = {Feeder("W1", "100nF"), Feeder("W1", "100nF"), Feeder("W3", "10k", "2", "Yes/Camera 1")};
  Rows(1);
  logic.ClickPlacement(0, kSmtFeeder);
  EXPECT_EQ(logic.feederChooser, (std::vector<std::string>{"W1-100nF", "W3-10k"}));
  EXPECT_EQ(logic.ChooserIndexFor("W3"), 1);
  EXPECT_EQ(logic.ChooserIndexFor("W3-10k"), 1);
  EXPECT_EQ(logic.ChooserIndexFor(""), -1);
  logic.ApplyFeederChoice(0, "W3-10k");
  const ListRow& r = job.placementRows[0];
  EXPECT_EQ(r.Cell(9), "W3");
  EXPECT_EQ(r.Cell(11), "10k");
  EXPECT_EQ(r.Cell(12), "2");
  EXPECT_EQ(r.Cell(10), "Yes");
  EXPECT_EQ(r.Image(10), kImgVisionYes);
}

TEST_F(PartListCommands, SelectAllTogglesAndAnEmptyListKeepsTheToggle) {
  EXPECT_FALSE(logic.SelectAll(RowKind::Placement));
  Rows(3);
  for (auto& r : job.placementRows) r.cells[7] = "No";
  logic.SelectAll(RowKind::Placement);
  EXPECT_EQ(Column(RowKind::Placement, 7), (std::vector<std::string>{"Yes", "Yes", "Yes"}));
  logic.SelectAll(RowKind::Placement);
  EXPECT_EQ(Column(RowKind::Placement, 7), (std::vector<std::string>{"No", "No", "No"}));
}

TEST_F(PartListCommands, FindMatchesWholeCellsOnlyAndNextMovesOn) {
  Rows(5);
  job.placementRows[0].cells[4] = "R10";
  job.placementRows[1].cells[4] = "r1";
  job.placementRows[3].cells[4] = "X";
  job.placementRows[3].cells[5] = "R1";  // fourth row, sixth column
  job.placementRows[4].cells[0] = "R1";
  for (auto& r : job.placementRows) r.cells[4] = r.cells[4] == "R1" ? "Q" : r.cells[4];
  std::string row, col;
  ASSERT_TRUE(logic.Find("R1", row, col));
  EXPECT_EQ(row, "4");
  EXPECT_EQ(col, "6");
  ASSERT_TRUE(logic.Find("R1", row, col));  // Find again: same place
  EXPECT_EQ(row, "4");
  ASSERT_TRUE(logic.FindNext("R1", row, col));  // serial cell of the fifth row
  EXPECT_EQ(row, "5");
  EXPECT_EQ(col, "1");
  ASSERT_TRUE(logic.FindNext("R1", row, col));  // past the end: boxes empty, back to the top
  EXPECT_EQ(row, "");
  EXPECT_EQ(col, "");
  EXPECT_EQ(logic.State(RowKind::Placement).testRow, 0);
  EXPECT_FALSE(logic.Find("", row, col));

  job.placementRows.clear();
  EXPECT_FALSE(logic.Find("R1", row, col));
  EXPECT_EQ(Texts(), (std::vector<std::string>{"没有贴装表单 !"}));
}

TEST_F(PartListCommands, CompareFindsTheFirstValueThatDiffersInCase) {
  Rows(4);
  logic.OnCompare();  // no row chosen: nothing
  EXPECT_TRUE(Texts().empty());
  job.placementRows[2].cells[11] = "10K";
  logic.ClickPlacement(1, 0);
  logic.OnCompare();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kValueNotSame}));
  EXPECT_TRUE(logic.IsSelected(RowKind::Placement, 2));
  messages.service.Clear();
  job.placementRows[2].cells[11] = "10k";
  logic.OnCompare();
  EXPECT_EQ(Texts(), (std::vector<std::string>{kValueSameAll}));
}

TEST_F(PartListCommands, UpdateCopiesFeederCellsAndChecksTheHeadLimit) {
  type = 2;
  Rows(2);
  feeders = {Feeder("W1", "1k", "1", "No/-", "Yes/-", "0805"), Feeder("W2", "2k", "3", "Yes/C1")};
  ASSERT_FALSE(logic.OnUpdate());
  EXPECT_EQ(job.placementRows[0].Cell(6), "0805");
  EXPECT_EQ(job.placementRows[0].Cell(10), "Yes");  // camera "No": flying centring decides
  EXPECT_EQ(job.placementRows[1].Cell(11), "2k");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"2行吸嘴编号错误 !"}));
  messages.service.Clear();
  logic.autoChangeNozzle = [] { return 1; };
  EXPECT_TRUE(logic.OnUpdate());
  EXPECT_TRUE(Texts().empty());

  job.placementRows[1].cells[9] = "N9";
  EXPECT_FALSE(logic.OnUpdate());
  EXPECT_EQ(Texts(), (std::vector<std::string>{"2行料架号不存在 !"}));
  feeders.clear();
  messages.service.Clear();
  EXPECT_FALSE(logic.OnUpdate());
  EXPECT_EQ(Texts(), (std::vector<std::string>{"没有料架，请添加料架 !"}));
}

TEST_F(PartListCommands, SortCodes) {
  struct Case {
    int code;
    int column;
    std::vector<std::string> in, out;
  } cases[] = {
      {1, 1, {"10.5", "9.25", "-1"}, {"-1", "9.25", "10.5"}},
      {4, 4, {"R2", "R10", "C1"}, {"C1", "R10", "R2"}},
      {7, 7, {"No", "Yes", "No"}, {"Yes", "No", "No"}},
      {9, 9, {"N1", "W5", "S1", "E2", "G3", "E1"}, {"E1", "E2", "G3", "S1", "W5", "N1"}},
      {0, 0, {"10", "9", "x"}, {"x", "9", "10"}},
      // Angles by their value; heads and feeder numbers as numbers.
      {3, 3, {"90.5", "-45", "90.2", "x", "1e2"}, {"-45", "x", "90.2", "90.5", "1e2"}},
      {12, 12, {"4", "", "2", "10"}, {"", "2", "4", "10"}},
      {9, 9, {"W12", "W3", "W", "W99999999999"}, {"W", "W99999999999", "W3", "W12"}},
      // Feeders by side, then by their number; a word has no side and no number.
      {9, 9, {"W10", "W9", "a word", "W+3", "E5", "N2"}, {"a word", "E5", "W+3", "W9", "W10", "N2"}},
  };
  for (const auto& c : cases) {
    job.placementRows.clear();
    for (const auto& v : c.in) {
      ListRow r(kPlacementCells);
      r.cells[static_cast<size_t>(c.column)] = v;
      job.placementRows.push_back(r);
    }
    logic.sortCode = c.code;
    logic.SortList(RowKind::Placement);
    EXPECT_EQ(Column(RowKind::Placement, c.column), c.out) << "code " << c.code;
  }
  // Code 20: by the feeder's height; an unknown feeder counts as 0.
  feeders = {Feeder("W1", "", "1", "No/", "No/", "", "3.5"), Feeder("W2", "", "1", "No/", "No/", "", "1.25")};
  job.placementRows.clear();
  for (const char* f : {"W1", "Q", "W2"}) {
    ListRow r(kPlacementCells);
    r.cells[9] = f;
    job.placementRows.push_back(r);
  }
  logic.sortCode = 20;
  logic.SortList(RowKind::Placement);
  EXPECT_EQ(Column(RowKind::Placement, 9), (std::vector<std::string>{"Q", "W2", "W1"}));
}

TEST_F(PartListCommands, SortCarriesTheSelectionWithItsRows) {
  Rows(3);
  job.placementRows[0].cells[4] = "C";
  job.placementRows[1].cells[4] = "B";
  job.placementRows[2].cells[4] = "A";
  logic.Select(RowKind::Placement, 0, true);
  logic.sortCode = 4;
  logic.SortList(RowKind::Placement);
  EXPECT_TRUE(logic.IsSelected(RowKind::Placement, 2));
  EXPECT_FALSE(logic.IsSelected(RowKind::Placement, 0));
}

TEST_F(PartListCommands, InterleavingSpreadsNeighbouringFeeders) {
  Rows(5);
  const char* f[] = {"A", "A", "A", "B", "B"};
  for (int i = 0; i < 5; ++i) job.placementRows[static_cast<size_t>(i)].cells[9] = f[i];
  logic.CheckFeederOrder();
  EXPECT_EQ(Column(RowKind::Placement, 9), (std::vector<std::string>{"A", "B", "A", "B", "A"}));
}

TEST_F(PartListCommands, DispensingRowsComeFromPlacementRowsAheadOfOldOnes) {
  Rows(2);
  job.placementRows[1].cells[7] = "No";
  job.placementRows[1].SetImage(7, kImgNo);
  job.dispenseRows.push_back(DispenseRowFromText("9\t1\t1\t0\tYes\t"));
  logic.FillDispenseFromSmt();
  ASSERT_EQ(job.dispenseRows.size(), 3u);
  const ListRow& d = job.dispenseRows[1];
  EXPECT_EQ(d.cells, (std::vector<std::string>{"2", "1", "1", "-1.5", "No", "5", "10", "50", "50", "50", "", "", "", "",
                                               ""}));
  EXPECT_EQ(d.Image(0), 10);
  EXPECT_EQ(d.Image(4), kImgNo);
  EXPECT_EQ(job.dispenseRows[2].Cell(0), "9");
}

TEST_F(PartListCommands, DrillCsvTakesCircleRowsWithTheEditorsValues) {
  const std::string csv = smt::platform::Utf8ToGbk(
      "名称,直径,中心 X,中心 Y,备注,\r\n圆,0.8,10.5,-3,x,\r\n方,1,1,1,y,\r\n圆,1.2,20,4,z,\r\n");
  EXPECT_EQ(logic.ImportDrillCsv(csv), 2);
  ASSERT_EQ(job.drillRows.size(), 2u);
  EXPECT_EQ(job.drillRows[1].cells,
            (std::vector<std::string>{"1", "圆", "1.2", "20", "4", "", "10", "2", "2", "0", "1", "1", "20", "40", ""}));
  EXPECT_EQ(logic.ImportDrillCsv(""), 0);
}

TEST_F(PartListCommands, StartNeedsAFeederForEveryRowToPlace) {
  Rows(3);
  EXPECT_FALSE(logic.CheckFeedersExist());
  EXPECT_EQ(Texts(), (std::vector<std::string>{"没有料架，请添加料架 !"}));
  messages.service.Clear();
  feeders = {Feeder("W1", ""), Feeder("W2", "")};
  job.placementRows[2].cells[7] = "No";
  EXPECT_TRUE(logic.CheckFeedersExist());
  job.placementRows[2].cells[7] = "Yes";
  EXPECT_FALSE(logic.CheckFeedersExist());
  EXPECT_EQ(Texts(), (std::vector<std::string>{"3行料架号不存在 !"}));
  EXPECT_TRUE(logic.IsSelected(RowKind::Placement, 2));
}

TEST_F(PartListCommands, RunRowInterfaceHonoursSelectedOnlyPlacement) {
  Rows(4);
  job.placementRows[1].cells[7] = "yes";
  std::vector<std::string> asked;
  logic.calcFeederPickTarget = [&](const std::string& f, int, int) {
    asked.push_back(f);
    return 7;
  };
  int row = 0;
  EXPECT_EQ(logic.NextPlaceRow(row, 4, 0, 0), 7);
  EXPECT_EQ(row, 0);
  row = 1;
  EXPECT_EQ(logic.NextPlaceRow(row, 4, 0, 0), 7);  // "yes" is not placed
  EXPECT_EQ(row, 2);
  logic.m_bSelectedSmt = 1;
  logic.Select(RowKind::Placement, 3, true);
  row = 0;
  logic.NextPlaceRow(row, 4, 0, 0);
  EXPECT_EQ(row, 3);
  row = 4;
  EXPECT_EQ(logic.NextPlaceRow(row, 4, 0, 0), 0);
  // Marking an unselected row keeps the operator's selection.
  logic.SetSmtRowState(0, 6, true);
  EXPECT_FALSE(logic.IsSelected(RowKind::Placement, 0));
  EXPECT_EQ(job.placementRows[0].Image(0), 6);
  logic.SetSmtRowState(3, 6, false);
  EXPECT_TRUE(logic.IsSelected(RowKind::Placement, 3));
  logic.ResetRowStates(RowKind::Placement);
  EXPECT_EQ(job.placementRows[0].Image(0), 0);
  EXPECT_TRUE(logic.IsSelected(RowKind::Placement, 3));
}

TEST_F(PartListCommands, FeederRewriteChangesEveryRowOfTheOldNumber) {
  Rows(3);
  job.placementRows[2].cells[9] = "W1";
  logic.feederChooser = {"W10-x", "W1-old", "W1-again"};
  logic.UpdateRowsForFeeder("W1", "E4", true, "22p", "2");
  EXPECT_EQ(Column(RowKind::Placement, 9), (std::vector<std::string>{"E4", "W2", "E4"}));
  EXPECT_EQ(job.placementRows[2].Cell(11), "22p");
  EXPECT_EQ(job.placementRows[2].Image(10), kImgVisionYes);
  // The first entry beginning with the old number goes (the next click rebuilds it).
  EXPECT_EQ(logic.feederChooser, (std::vector<std::string>{"W1-old", "W1-again"}));
}

}  // namespace
