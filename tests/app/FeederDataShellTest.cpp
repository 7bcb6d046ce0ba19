// What the feeder list and its editor keep of the feeder file and the job,
// judged by the files' bytes after a save: an edit writes only what the
// operator changed, in the file's own spelling; the CSV round trip keeps
// the demo's names; a new feeder takes only the placement rows chosen; a
// tray past what one file may ask for costs the save nothing; and the
// editor says everything wrong at once and takes its own defaults.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <filesystem>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "job/CSMTDoc.h"
#include "feeder/CDialogFeedEdit.h"
#include "feeder/FeederNames.h"
#include "feeder/FeederTable.h"
#include "job/JobRows.h"
#include "job/PartListLogic.h"

namespace {

namespace fs = std::filesystem;
using smt::feeder::SplitTabCells;

std::vector<std::string> FeedLines(const fs::path& file) { return smt::platform::ReadListFile(file, false).rows; }

class FeederDataShell : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    ASSERT_EQ(PrepareAsScriptsRun(), "");
  }
  CDialogFeedList& List() { return *app->frame()->view()->m_pFeedList; }

  // Runs `act` on the feeder editor once it is open (anything else modal is cancelled).
  static void OnEditor(const std::function<void(CDialogFeedEdit&)>& act) {
    QTimer::singleShot(0, [act] {
      auto* e = qobject_cast<CDialogFeedEdit*>(QApplication::activeModalWidget());
      if (!e) {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
        return;
      }
      act(*e);
      if (e->isVisible()) e->reject();
    });
  }
  // Edits the feeder `number` of the list: `act` on the open editor.
  void EditFeeder(const std::string& number, const std::function<void(CDialogFeedEdit&)>& act) {
    CDialogFeedList& list = List();
    int row = -1;
    for (int r = 0; r < list.RowCount(); ++r)
      if (list.ListRow(r).text[0] == number) row = r;
    ASSERT_GE(row, 0) << number;
    list.List()->clearSelection();
    list.List()->selectRow(row);
    OnEditor(act);
    list.OnEditFeeder(true);
  }
  // The feeder file's row line of `number`.
  static std::string RowLine(const std::vector<std::string>& lines, const std::string& number) {
    for (const auto& l : lines)
      if (l.rfind(number + "\t", 0) == 0) return l;
    return {};
  }
  static std::string WithCell(const std::string& line, size_t cell, const std::string& text) {
    std::vector<std::string> c = SplitTabCells(line);
    c.at(cell) = text;
    std::string out;
    for (const auto& s : c) out += s + "\t";
    return out;
  }
};

// A demo feeder, as prepared and with cells the editor cannot show (an X
// that is no number, a count in its own spelling): one field changed and OK
// writes that field and nothing else; the part type, package, speed
// template, lights and every spelling stay as the file had them.
TEST_F(FeederDataShell, AnEditWritesOnlyTheChangedFieldInTheFilesOwnSpelling) {
  const fs::path feed = dir / "config_feed.fig";
  const std::vector<std::string> demo = FeedLines(feed);
  const std::string w1 = RowLine(demo, "W1");
  ASSERT_FALSE(w1.empty());
  struct Case {
    const char* name;
    std::vector<std::pair<size_t, std::string>> cells;
  };
  const Case cases[] = {
      {"as prepared", {}},
      {"unreadable X", {{smt::feeder::kCellX, "12,5"}}},
      {"own spellings", {{smt::feeder::kCellQuantity, "0999"}, {smt::feeder::kCellPrecisionXY, "-01"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> lines = demo;
    std::string row = w1;
    for (const auto& [cell, text] : c.cells) row = WithCell(row, cell, text);
    for (auto& l : lines)
      if (l == w1) l = row;
    smt::platform::WriteListFile(feed, {std::nullopt, lines});
    Start();
    EditFeeder("W1", [](CDialogFeedEdit& e) {
      e.Edit("value")->setText("22k");
      e.Button("OK")->click();
    });
    ASSERT_TRUE(app->frame()->view()->OnFileSave());
    std::vector<std::string> expected = lines;
    for (auto& l : expected)
      if (l == row) l = WithCell(row, smt::feeder::kCellValue, "22k");
    EXPECT_EQ(RowLine(FeedLines(feed), "W1"), RowLine(expected, "W1"));
    EXPECT_EQ(FeedLines(feed), expected);
    app->ExitInstance();
    app.reset();
  }
}

// The demo's feeders exported to "feed-.csv" and imported again: the feeder
// rows saved after it are the ones before, the speed template "Demo" included.
TEST_F(FeederDataShell, TheDemoFeedersComeBackWholeFromTheirCsv) {
  const fs::path feed = dir / "config_feed.fig";
  const std::vector<std::string> before = FeedLines(feed);
  CMainFrame& f = Start();
  const std::string csv = (dir / "feed-.csv").string();
  List().ExportFeedCsvTo(csv);
  List().ImportFeedCsvFrom(csv);
  ASSERT_TRUE(f.view()->OnFileSave());
  // The rows come back as they were (the file carries no tray cells: those
  // are made again from the next-cell position).
  const std::vector<std::string> after = FeedLines(feed);
  ASSERT_EQ(after.size(), before.size());
  for (const char* number : {"W1", "W2"}) {
    EXPECT_FALSE(RowLine(before, number).empty());
    EXPECT_EQ(RowLine(after, number), RowLine(before, number));
  }
}

// The demo job with no feeder on any row and its second row chosen: a
// feeder added takes that row only, as the saved job shows.
TEST_F(FeederDataShell, ANewFeederTakesOnlyTheChosenRow) {
  CMainFrame& f = Start();
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  CDialogPartList& parts = *f.view()->m_pPartList;
  auto& rows = parts.Job().placementRows;
  ASSERT_GE(rows.size(), 3u);
  for (auto& r : rows) r.cells[smt::job::kSmtFeeder].clear();
  parts.Logic().SelectOnly(smt::job::RowKind::Placement, 1);
  OnEditor([](CDialogFeedEdit& e) {
    e.Edit("number")->setText("W3");
    e.Edit("length")->setText("1.6");
    e.Edit("width")->setText("0.8");
    e.Combo("head")->setCurrentIndex(0);
    e.Button("OK")->click();
  });
  List().OnAddFeeder();
  ASSERT_TRUE(f.view()->OnFileSave());
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  std::vector<std::string> feeders;
  for (const auto& r : parts.Job().placementRows) feeders.push_back(r.Cell(smt::job::kSmtFeeder));
  std::vector<std::string> expected(feeders.size());
  expected[1] = "W3";
  EXPECT_EQ(feeders, expected);
}

// A feeder file whose second group holds a tray asking for more than one
// file may: the group after it is loaded, and the save writes every line
// back as it was read.
TEST_F(FeederDataShell, AnOversizedTrayCostsTheSaveNothing) {
  const fs::path feed = dir / "config_feed.fig";
  std::vector<std::string> lines = FeedLines(feed);
  const std::string w1 = RowLine(lines, "W1");
  ASSERT_FALSE(w1.empty());
  lines[0] = "3\tDemo\t";
  lines.push_back("Big\t\t1\t");
  lines.push_back(WithCell(WithCell(w1, 0, "G1"), smt::feeder::kCellFeedMode, "托盘"));
  lines.push_back("1001\t1000\t0\t0\t1.0000\t1.0000\t");
  for (int k = 0; k < 1001; ++k) lines.push_back("Yes/1\t");
  lines.push_back("After\t\t1\t");
  lines.push_back(WithCell(w1, 0, "W9"));
  lines.push_back("1\t1\t0\t0\t0.0000\t0.0000\t");
  lines.push_back("Yes/1\t");
  smt::platform::WriteListFile(feed, {std::nullopt, lines});
  CMainFrame& f = Start();
  EXPECT_EQ(smt::feeder::FeederTable::Of(smt::CurrentMachine()).GroupCount(), 3);
  ASSERT_TRUE(f.view()->OnFileSave());
  const std::vector<std::string> saved = FeedLines(feed);
  EXPECT_EQ(saved.size(), lines.size());
  EXPECT_EQ(saved, lines);
}

// Adding a feeder in English: "W3" as the list writes it is taken, the
// editor offers no length or width its fields refuse (it leaves them empty
// rather than offer 0.00), and what is wrong (the empty length and width, a
// contrast past its range, no head) is said in one message naming each
// field as labelled.
TEST_F(FeederDataShell, TheEditorSaysAllThatIsWrongAtOnceAndTakesItsDefaults) {
  CMainFrame& f = Start();
  f.Action(smt::app::cmd::kLanguageEnglish)->trigger();
  std::vector<std::vector<std::string>> said;
  std::string shownNumber, shownLength;
  OnEditor([&](CDialogFeedEdit& e) {
    shownNumber = e.Edit("number")->text().toStdString();
    shownLength = e.Edit("length")->text().toStdString();
    e.Edit("number")->setText("W3");
    e.Edit("contrast")->setText("300");
    e.Combo("head")->setCurrentIndex(-1);
    messages.service.Clear();
    e.Button("OK")->click();
    said.push_back(messages.service.Texts());
    e.Edit("contrast")->setText("60");
    e.Edit("length")->setText("1.6");
    e.Edit("width")->setText("0.8");
    e.Combo("head")->setCurrentIndex(0);
    messages.service.Clear();
    e.Button("OK")->click();
    said.push_back(messages.service.Texts());
  });
  List().OnAddFeeder();
  EXPECT_EQ(shownNumber, "3");  // the next free number on the west side
  EXPECT_EQ(shownLength, "");
  ASSERT_EQ(said.size(), 2u);
  ASSERT_EQ(said[0].size(), 1u);
  EXPECT_EQ(said[0][0],
            "Length: please enter a number between 0.1 and 100.\nWidth: please enter a number between 0.1 and 100.\n"
            "Contrast: please enter a number between 0 and 255.\nSelect a head !");
  EXPECT_TRUE(said[1].empty()) << said[1][0];
  ASSERT_TRUE(f.view()->OnFileSave());
  EXPECT_FALSE(RowLine(FeedLines(dir / "config_feed.fig"), "W3").empty());
}

}  // namespace
