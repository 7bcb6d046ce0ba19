// The part list sees the feeders of the view's feeder list panel: its
// chooser, Update and the part editor's feeder list, at start-up, after an
// added feeder and after a restart.
#include <QLabel>
#include <QPushButton>

#include "ShellFixture.h"
#include "library/LibraryLists.h"
#include "feeder/CDialogFeedEdit.h"
#include "feeder/FeederTable.h"
#include "job/FeederView.h"
#include "job/JobRows.h"

namespace {

smt::feeder::FeederRow Feeder(const std::string& number, const std::string& value, const std::string& camera) {
  smt::feeder::FeederCells r;
  r[smt::feeder::kCellNumber] = number;
  r[smt::feeder::kCellPackage] = "0603";
  r[smt::feeder::kCellValue] = value;
  r[smt::feeder::kCellX] = "10";
  r[smt::feeder::kCellY] = "-20";
  r[smt::feeder::kCellHead] = "1";
  r[smt::feeder::kCellCamera] = camera;
  r[smt::feeder::kCellFly] = "No/60/80";
  r[smt::feeder::kCellSpeed] = "No/";
  return r;
}

std::vector<std::string> FeedLines(std::vector<smt::feeder::FeederRow> rows) {
  smt::feeder::FeederTable t;
  t.AddGroup("Demo", "");
  t.SetCurrentName("Demo");
  t.ShowGroupInList("Demo", smt::feeder::BuiltInNameTables(0));
  std::vector<smt::feeder::TrayRecord> trays(rows.size(), smt::feeder::TrayRecord::Default());
  t.ReplaceCurrentRows(std::move(rows), std::move(trays));
  return t.SaveToLines();
}

std::vector<std::string> Numbers(const std::vector<smt::job::FeederRowView>& rows) {
  std::vector<std::string> out;
  for (const auto& r : rows) out.push_back(r.Cell(0));
  return out;
}

smt::job::ListRow PlacementNaming(const std::string& feeder) {
  smt::job::ListRow r;
  r.cells.assign(20, "");
  r.cells[0] = "1";
  r.cells[1] = "5";
  r.cells[2] = "5";
  r.cells[3] = "0";
  r.cells[7] = "Yes";
  r.cells[9] = feeder;
  return r;
}

class FeederSourceTest : public ShellTest {
 protected:
  void WriteFeeders(std::vector<smt::feeder::FeederRow> rows) {
    smt::platform::ListFileContent c;
    c.rows = FeedLines(std::move(rows));
    for (const auto& f : smt::library::ListFiles())
      if (f.id == smt::library::ListFileId::Feed) smt::platform::WriteListFile(dir / f.name, c);
  }
  // The part list's Update with one placement row on feeder `number`: the
  // messages it gave.
  std::vector<std::string> UpdateWith(CMainFrame& f, const std::string& number) {
    auto& pl = *f.view()->m_pPartList;
    pl.Job().placementRows = {PlacementNaming(number)};
    messages.service.Clear();
    pl.OnUpdate();
    return messages.service.Texts();
  }
};

TEST_F(FeederSourceTest, PartListSeesThePanelsFeedersAtStartUp) {
  WriteFeeders({Feeder("W1", "10k", "No/Camera 1"), Feeder("W2", "100nF", "Yes/Camera 1")});
  CMainFrame& f = Start();
  EXPECT_EQ(Numbers(smt::job::FeederListRows(smt::CurrentMachine())), (std::vector<std::string>{"W1", "W2"}));
  EXPECT_EQ(Numbers(smt::job::FeederGroupRows(smt::CurrentMachine())), (std::vector<std::string>{"W1", "W2"}));
  // The camera column's picture reaches the part list.
  const auto rows = smt::job::FeederListRows(smt::CurrentMachine());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_NE(rows[0].cameraImage, 1);
  EXPECT_EQ(rows[1].cameraImage, 1);
  EXPECT_TRUE(UpdateWith(f, "W2").empty()) << UpdateWith(f, "W2").front();
  // A feeder the group has not is still named as missing.
  const auto missing = UpdateWith(f, "W9");
  ASSERT_EQ(missing.size(), 1u);
  EXPECT_EQ(missing[0].rfind("1", 0), 0u) << missing[0];
  // The chooser of the feeder column offers them.
  auto& logic = f.view()->m_pPartList->Logic();
  logic.RefillFeederChooser();
  EXPECT_NE(std::find(logic.feederChooser.begin(), logic.feederChooser.end(), "W1-10k"), logic.feederChooser.end());
}

TEST_F(FeederSourceTest, AnAddedFeederIsSeenAndSurvivesARestart) {
  WriteFeeders({Feeder("W1", "10k", "No/Camera 1")});
  {
    CMainFrame& f = Start();
    CDialogFeedList& panel = *f.view()->m_pFeedList;
    panel.runEditor = [&panel] {
      auto& e = panel.Editor()->fields;
      e.number = 5;
      e.side = smt::feeder::kSideW;
      e.value = "1uF";
      e.package = "0805";
      return true;
    };
    panel.OnAddFeeder();
    EXPECT_EQ(Numbers(smt::job::FeederListRows(smt::CurrentMachine())), (std::vector<std::string>{"W1", "W5"}));
    EXPECT_TRUE(UpdateWith(f, "W5").empty());
    ASSERT_TRUE(f.view()->OnFileSave());
    app->ExitInstance();
    app.reset();
  }
  smt::platform::ClearProfileCache();
  CMainFrame& f = Start();
  EXPECT_EQ(Numbers(smt::job::FeederListRows(smt::CurrentMachine())), (std::vector<std::string>{"W1", "W5"}));
  EXPECT_TRUE(UpdateWith(f, "W5").empty());
}

TEST_F(FeederSourceTest, PartEditorOpensTheFeederEditorOnItsFeeder) {
  WriteFeeders({Feeder("W1", "10k", "No/Camera 1"), Feeder("W2", "100nF", "No/Camera 1")});
  CMainFrame& f = Start();
  CDialogFeedList& panel = *f.view()->m_pFeedList;
  std::string opened;
  panel.runEditor = [&] { return false; };
  ASSERT_TRUE(smt::job::FeederSourceOf(smt::CurrentMachine()).openFeederEditor);
  EXPECT_FALSE(smt::job::FeederSourceOf(smt::CurrentMachine()).openFeederEditor("W7"));
  EXPECT_TRUE(smt::job::FeederSourceOf(smt::CurrentMachine()).openFeederEditor("W2"));
  EXPECT_EQ(panel.Editor()->loadedNumber, "W2");
}

// The feeder list panel shows the window's language from the start.
TEST_F(FeederSourceTest, FeederListPanelTextsAreAppliedAtStartUp) {
  WriteFeeders({Feeder("W1", "10k", "No/Camera 1")});
  WriteConfig("[LanguageSetConfig]\nLanguageSet=English\n");
  dir.Write("English.ini", "[FeedListConfig]\nFeedList.c_FeedGroup=Feeder group\nFeedList.c_ImportFeed=Import\n");
  CMainFrame& f = Start();
  CDialogFeedList& panel = *f.view()->m_pFeedList;
  std::vector<std::string> texts;
  for (QLabel* l : panel.findChildren<QLabel*>()) texts.push_back(l->text().toStdString());
  for (QPushButton* b : panel.findChildren<QPushButton*>()) texts.push_back(b->text().toStdString());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Feeder group"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Import"), texts.end());
}

}  // namespace
