// The feeder table: its line form, the translations of cells 14 and 23, the
// row and tray operations and the group operations.
#include <gtest/gtest.h>

#include "feeder/FeederTable.h"
#include "platform/MessageService.h"

using namespace smt::feeder;

namespace {

FeederNameTables Names(int language) {
  FeederNameTables t = BuiltInNameTables(language);
  const char* en[9] = {"IntegrationFeed", "AutoFeed", "VibrationFeed", "GridBox", "0402", "48", "DragHand", "CL_DIP", "GRID_DIP"};
  for (int m = 0; m < 9; ++m) {
    t.feed[static_cast<size_t>(9 + m)] = en[m];
    t.feed[static_cast<size_t>(18 + m)] = en[m];
  }
  return t;
}

FeederRow Row(const std::string& number, const std::string& mode = "集中飞达", const std::string& speed = "No/复位速度") {
  FeederCells r;
  for (size_t c = 0; c < r.size(); ++c) r[c] = "c" + std::to_string(c);
  r[kCellNumber] = number;
  r[kCellCamera] = "Yes/Cam1";
  r[kCellFly] = "No/10/20";
  r[kCellFeedMode] = mode;
  r[kCellSpeed] = speed;
  return r;
}

TrayRecord Tray(int rows, int cols, int rs, int cs) {
  TrayRecord t;
  t.rows = rows;
  t.cols = cols;
  t.rowSerial = rs;
  t.colSerial = cs;
  t.rowSpace = 1.5;
  t.colSpace = 2.25;
  for (int i = 0; i < rows * cols; ++i) t.cells.push_back((i % 2 ? "No/" : "Yes/") + std::to_string(i + 1));
  return t;
}

// A table with groups "A" (rows W1, W3 with trays) and "B" (no rows), current "A".
void Fill(FeederTable& t) {
  std::vector<std::string> lines = {"2\tA\t", "A\tfirst\t2\t"};
  auto join = [](const FeederRow& r) {
    std::string s;
    for (const auto& c : r) s += c + "\t";
    return s;
  };
  lines.push_back(join(Row("W1")));
  lines.push_back(join(Row("W3", "振动飞达", "Yes/Reset speed")));
  lines.push_back("2\t2\t0\t1\t1.5000\t2.2500\t");
  lines.push_back("Yes/1\tNo/2\t");
  lines.push_back("Yes/3\tYes/4\t");
  lines.push_back("0\t0\t0\t0\t0.0000\t0.0000\t");
  lines.push_back("B\tsecond\t0\t");
  ASSERT_TRUE(t.LoadFromLines(lines, Names(0)).ok);
  EXPECT_TRUE(lines.empty());
  t.ShowGroupInList("A", Names(0));
}

}  // namespace

TEST(FeederTableForm, SaveThenLoadGivesTheSameTable) {
  FeederTable t;
  Fill(t);
  auto lines = t.SaveToLines();
  FeederTable u;
  ASSERT_TRUE(u.LoadFromLines(lines, Names(0)).ok);
  EXPECT_EQ(u.Groups(), t.Groups());
  EXPECT_EQ(u.CurrentName(), "A");
}

TEST(FeederTableForm, RowsAreTranslatedIntoTheCurrentLanguage) {
  FeederTable t;
  Fill(t);
  auto lines = t.SaveToLines();
  FeederTable en;
  ASSERT_TRUE(en.LoadFromLines(lines, Names(1)).ok);
  const auto g = en.Groups()[0];
  EXPECT_EQ(g.rows[0].Cell(kCellFeedMode), "IntegrationFeed");
  EXPECT_EQ(g.rows[0].Cell(kCellSpeed), "No/Reset speed");
  EXPECT_EQ(g.rows[1].Cell(kCellFeedMode), "VibrationFeed");
  // Back to Chinese.
  auto again = en.SaveToLines();
  FeederTable zh;
  ASSERT_TRUE(zh.LoadFromLines(again, Names(0)).ok);
  EXPECT_EQ(zh.Groups()[0].rows[1].Cell(kCellSpeed), "Yes/复位速度");
}

TEST(FeederTableForm, DippingModesOfAnotherLanguageKeepTheirText) {
  FeederTable t;
  std::vector<std::string> lines = {"1\tA\t", "A\t\t1\t"};
  FeederRow r = Row("S1", "GRID_DIP");
  std::string s;
  for (const auto& c : r) s += c + "\t";
  lines.push_back(s);
  lines.push_back("0\t0\t0\t0\t0\t0\t");
  ASSERT_TRUE(t.LoadFromLines(lines, Names(0)).ok);
  const auto rows = t.ShowGroupInList("A", Names(0));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].text[kCellFeedMode], "GRID_DIP");
}

TEST(FeederTableForm, EmptyNumberRowsAreDroppedWithTheirTrayAndTheRestStillLoads) {
  FeederTable t;
  Fill(t);
  ASSERT_TRUE(t.SetCurrentCell(0, kCellNumber, ""));
  auto lines = t.SaveToLines();
  EXPECT_EQ(lines[1], "A\tfirst\t1\t");
  FeederTable u;
  ASSERT_TRUE(u.LoadFromLines(lines, Names(0)).ok);
  const auto g = u.Groups();
  ASSERT_EQ(g.size(), 2u);
  ASSERT_EQ(g[0].rows.size(), 1u);
  EXPECT_EQ(g[0].rows[0].Cell(0), "W3");
  EXPECT_EQ(g[0].trays[0], TrayRecord::Default("Yes/1"));
  EXPECT_EQ(g[1].name, "B");
}

TEST(FeederTableForm, GroupWithoutRowsWritesOnlyItsGroupLine) {
  FeederTable t;
  Fill(t);
  const auto lines = t.SaveToLines();
  EXPECT_EQ(lines.back(), "B\tsecond\t0\t");
}

TEST(FeederTableForm, TrayRowsZeroLoadsAsOnePresentCellAndRowSerialMinusOneAsZero) {
  FeederTable t;
  std::vector<std::string> lines = {"1\tA\t", "A\t\t2\t"};
  for (const char* n : {"G1", "G2"}) {
    std::string s;
    for (const auto& c : Row(n, "托盘")) s += c + "\t";
    lines.push_back(s);
  }
  lines.push_back("0\t5\t3\t3\t1\t1\t");
  lines.push_back("1\t2\t-1\t1\t1\t1\t");
  lines.push_back("Yes/1\tYes/2\t");
  ASSERT_TRUE(t.LoadFromLines(lines, Names(0)).ok);
  const auto g = t.Groups()[0];
  EXPECT_EQ(g.trays[0], TrayRecord::Default("Yes/1"));
  EXPECT_EQ(g.trays[1].rowSerial, 0);
  EXPECT_EQ(g.trays[1].colSerial, 1);
}

TEST(FeederTableForm, NoLinesIsRefusedAndShortFormsKeepWhatWasReadWhole) {
  FeederTable t;
  std::vector<std::string> none;
  EXPECT_FALSE(t.LoadFromLines(none, Names(0)).ok);

  struct Case {
    const char* name;
    std::vector<std::string> lines;
    size_t groups;
  };
  const std::vector<Case> cases = {
      {"group count beyond the lines", {"5\tA\t", "A\t\t0\t"}, 1},
      {"row count beyond the lines", {"1\tA\t", "A\t\t900\t", "x\t"}, 1},
      {"tray lines missing", {"1\tA\t", "A\t\t1\t", "W1\t"}, 1},
      {"impossible tray size", {"1\tA\t", "A\t\t1\t", "W1\t", "99999\t99999\t0\t0\t0\t0\t"}, 1},
  };
  for (const auto& c : cases) {
    FeederTable u;
    auto lines = c.lines;
    const auto r = u.LoadFromLines(lines, Names(0));
    EXPECT_TRUE(r.ok) << c.name;
    EXPECT_FALSE(r.error.empty()) << c.name;
    const auto g = u.Groups();
    EXPECT_EQ(g.size(), c.groups) << c.name;
    for (const auto& grp : g) EXPECT_TRUE(grp.rows.empty() || grp.trays.size() == grp.rows.size()) << c.name;
  }
}

TEST(FeederTableShow, FlagCellsShowValueAndPictureAndShowingStopsAtAnEmptyNumber) {
  FeederTable t;
  Fill(t);
  const auto rows = t.ShowGroupInList("A", Names(0));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].text[kCellCamera], "Cam1");
  EXPECT_EQ(rows[0].icon[kCellCamera], 1);
  EXPECT_EQ(rows[0].text[kCellFly], "10/20");
  EXPECT_EQ(rows[0].icon[kCellFly], 4);
  EXPECT_EQ(rows[1].icon[kCellSpeed], 3);
  EXPECT_EQ(rows[1].text[kCellSpeed], "复位速度");
  EXPECT_EQ(t.CurrentRow(1)->Cell(kCellSpeed), "Yes/复位速度");
  t.SetCurrentCell(0, kCellNumber, "");
  EXPECT_TRUE(t.ShowGroupInList("A", Names(0)).empty());
  EXPECT_TRUE(t.ShowGroupInList("nope", Names(0)).empty());
  EXPECT_EQ(t.CurrentIndex(), -1);
}

TEST(FeederTableEdit, ListRowsGoBackWithFlagsByPicture) {
  FeederTable t;
  Fill(t);
  FeederListRow lr = t.ShowGroupInList("A", Names(0))[0];
  lr.icon[kCellCamera] = 4;
  lr.icon[kCellSpeed] = 5;  // a pasted, ticked own-speed cell
  t.StoreListRow(lr, 0);
  EXPECT_EQ(t.CurrentRow(0)->Cell(kCellCamera), "No/Cam1");
  EXPECT_EQ(t.CurrentRow(0)->Cell(kCellSpeed), "Yes/复位速度");
  // Adding a feeder: picture 5 does not count there.
  t.CopyGroupToBuffer();
  lr.text[0] = "W9";
  TrayRecord tray = Tray(1, 3, 0, 1);
  t.SetWorkTray(tray);
  t.AppendRowFromList(lr);
  ASSERT_EQ(t.CurrentRowCount(), 3);
  EXPECT_EQ(t.CurrentRow(2)->Cell(kCellSpeed), "No/复位速度");
  EXPECT_EQ(*t.CurrentTray(2), tray);
  EXPECT_EQ(t.CurrentGroup()->name, "A");
}

TEST(FeederTableEdit, DeleteAndPasteWorkByNumber) {
  smt::platform::ScopedRecordingMessages messages;
  FeederTable t;
  Fill(t);
  EXPECT_FALSE(t.DeleteRowByNumber("W7"));
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Feed number error !"});
  EXPECT_TRUE(t.PasteRowAfter("W1", "W4"));
  auto g = *t.CurrentGroup();
  ASSERT_EQ(g.RowCount(), 3);
  EXPECT_EQ(g.rows[1].Cell(0), "W4");
  EXPECT_EQ(g.rows[1].Cell(1), g.rows[0].Cell(1));
  EXPECT_EQ(g.trays[1], g.trays[0]);
  EXPECT_EQ(g.rows[2].Cell(0), "W3");
  EXPECT_TRUE(t.DeleteRowByNumber("W1"));
  g = *t.CurrentGroup();
  ASSERT_EQ(g.RowCount(), 2);
  EXPECT_EQ(g.rows[0].Cell(0), "W4");
  EXPECT_EQ(g.trays.size(), 2u);
  EXPECT_TRUE(t.DeleteRowByNumber("W4"));
  // The only row goes whatever number is passed.
  EXPECT_TRUE(t.DeleteRowByNumber("whatever"));
  EXPECT_EQ(t.CurrentRowCount(), 0);
  EXPECT_FALSE(t.CurrentGroup()->HasTrays());
}

TEST(FeederTableTray, GridShowsPresenceByNextPositionAndStoresFirstPresentCell) {
  FeederTable t;
  t.SetWorkTray(Tray(2, 3, 1, 1));
  const TrayGridView v = t.ShowTrayGrid();
  ASSERT_EQ(v.cells.size(), 6u);
  const bool expected[6] = {false, false, false, false, true, true};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(v.cells[static_cast<size_t>(i)].present, expected[i]) << i;
  EXPECT_EQ(v.cells[0].text, "1");
  std::vector<TrayGridCell> cells = v.cells;
  cells[2].present = true;
  t.StoreTrayFromGrid(2, 3, 4.0, 5.0, cells);
  const TrayRecord w = t.WorkTray();
  EXPECT_EQ(w.rowSerial, 0);
  EXPECT_EQ(w.colSerial, 2);
  EXPECT_EQ(w.cells[2], "Yes/3");
  EXPECT_EQ(w.cells[0], "No/1");
  EXPECT_DOUBLE_EQ(w.rowSpace, 4.0);
}

TEST(FeederTableGroups, CopiesAreIndependentAndTheCurrentGroupCannotBeDeleted) {
  FeederTable t;
  Fill(t);
  ASSERT_TRUE(t.CopyGroup("A", "C", "copy"));
  EXPECT_FALSE(t.DeleteGroup("A"));
  EXPECT_TRUE(t.EditGroup("A", "A", "same name"));
  EXPECT_TRUE(t.DeleteGroup("B"));
  EXPECT_EQ(t.FindGroupByName("C"), 1);
  // The copy's trays do not follow the source.
  t.SetCurrentName("C");
  t.ShowGroupInList("C", Names(0));
  t.SetWorkTray(Tray(1, 1, 0, 0));
  t.StoreTray(0);
  EXPECT_NE(t.Groups()[0].trays[0], t.Groups()[1].trays[0]);
  // Renaming the current group keeps it current.
  EXPECT_TRUE(t.EditGroup("C", "D", ""));
  EXPECT_EQ(t.CurrentName(), "D");
  t.AddGroup("a", "");
  EXPECT_EQ(t.FindGroupByName("a"), 2);
  EXPECT_EQ(t.FindGroupByName("A"), 0);
}

TEST(FeederTableGroups, DeletingAGroupBeforeTheCurrentKeepsEditingTheCurrent) {
  FeederTable t;
  Fill(t);
  t.AddGroup("Z", "");
  t.SetCurrentName("Z");
  t.ShowGroupInList("Z", Names(0));
  ASSERT_TRUE(t.DeleteGroup("A"));
  t.CopyGroupToBuffer();
  FeederListRow lr;
  lr.text[0] = "E1";
  t.AppendRowFromList(lr);
  EXPECT_EQ(t.CurrentGroup()->name, "Z");
  EXPECT_EQ(t.CurrentRowCount(), 1);
}

// A small feeder table asking for huge trays: what one file may allocate is
// bounded, and the line that passes the bound is named.
TEST(FeederTableForm, TraysPastWhatOneFileMayAskForStopTheLoadAtTheirLine) {
  std::vector<std::string> lines = {"1\tG\t", "G\t\t3\t"};
  for (int r = 0; r < 3; ++r) lines.push_back(std::to_string(r + 1) + "\t");
  for (int r = 0; r < 3; ++r) {
    lines.push_back("600\t1000\t0\t0\t1\t1\t");
    for (int k = 0; k < 600; ++k) lines.push_back("Yes/1\t");
  }
  FeederTable t;
  const auto r = t.LoadFromLines(lines, Names(0));
  ASSERT_TRUE(r.ok);
  EXPECT_NE(r.error.find("line 607:"), std::string::npos) << r.error;  // the second tray
  EXPECT_NE(r.error.find("cells in all"), std::string::npos);

  std::vector<std::string> nan = {"1\tG\t", "G\t\t1\t", "1\t", "1\t1\t0\t0\tnan\t1\t", "Yes/1\t"};
  FeederTable u;
  const auto rn = u.LoadFromLines(nan, Names(0));
  EXPECT_NE(rn.error.find("line 4:"), std::string::npos) << rn.error;
  EXPECT_NE(rn.error.find("\"nan\""), std::string::npos);
}
