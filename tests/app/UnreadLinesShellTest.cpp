// A feeder file with lines the program could not load, edited on the real
// shell and saved: every line not loaded is written back as read, at its
// place, whether the operator edited the group it belongs to, a group next
// to it or the row whose tray could not be read, and whether the edit kept
// the group's shape (a changed value) or not (a feeder added). Judged by
// the file's bytes.
#include <QApplication>
#include <QLineEdit>
#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "ShellFixture.h"
#include "feeder/CDialogFeedEdit.h"
#include "feeder/FeederNames.h"
#include "feeder/FeederTable.h"
#include "platform/FileIo.h"
#include "support/FeederFileFixture.h"

namespace {

namespace fs = std::filesystem;
using smt::feeder::SplitTabCells;

std::vector<uint8_t> Bytes(const fs::path& file) { return smt::platform::ReadWholeFile(file); }

std::string WithCell(const std::string& line, size_t cell, const std::string& text) {
  std::vector<std::string> c = SplitTabCells(line);
  c.at(cell) = text;
  std::string out;
  for (const auto& s : c) out += s + "\t";
  return out;
}

class UnreadLinesShell : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    ASSERT_EQ(PrepareAsScriptsRun(), "");
  }
  CDialogFeedList& List() { return *app->frame()->view()->m_pFeedList; }

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
  // The feeder `number` of the list edited: its value becomes `value`.
  void EditValue(const std::string& number, const std::string& value) {
    CDialogFeedList& list = List();
    int row = -1;
    for (int r = 0; r < list.RowCount(); ++r)
      if (list.ListRow(r).text[0] == number) row = r;
    ASSERT_GE(row, 0) << number;
    list.List()->clearSelection();
    list.List()->selectRow(row);
    OnEditor([value](CDialogFeedEdit& e) {
      e.Edit("value")->setText(QString::fromStdString(value));
      e.Button("OK")->click();
    });
    list.OnEditFeeder(true);
  }
  // A feeder added to the group shown, on the west side.
  void AddFeeder() {
    OnEditor([](CDialogFeedEdit& e) {
      e.Edit("number")->setText("W9");
      e.Edit("length")->setText("1.6");
      e.Edit("width")->setText("0.8");
      e.Combo("head")->setCurrentIndex(0);
      e.Button("OK")->click();
    });
    List().OnAddFeeder();
  }
  // The bytes `lines` make as the program writes a list file.
  std::vector<uint8_t> BytesOf(const std::vector<std::string>& lines) {
    const fs::path f = dir / "expected.fig";
    smt::platform::WriteListFile(f, {std::nullopt, lines});
    return Bytes(f);
  }
};

// The three-group fixture (A: W1 W2; B: W3 N1; C: E2 E3 E1 E4, 29 lines)
// with one fault.
struct Damage {
  const char* name;
  size_t line;  // 0-based line changed (or the line the file is cut at)
  size_t cell;
  const char* text;  // nullptr: the file ends before `line`
};
const Damage kDamages[] = {
    // C's second tray has no readable size: the load stops in C.
    {"tray size of group C", 22, 0, "nan"},
    // B's row count cannot be read: B and C are not loaded.
    {"row count of group B", 8, 2, "2x"},
    // A's first tray has a pitch that is no number: kept as its lines.
    {"tray pitch of group A", 4, 4, "nan"},
    // C counts more rows than the file holds.
    {"row count of group C", 15, 2, "40"},
    // The file ends inside C's trays.
    {"file cut inside group C", 25, 0, nullptr},
};

std::vector<std::string> Damaged(const Damage& d) {
  std::vector<std::string> lines = smt::test::ThreeGroups();
  // Group C's feeders on the east side, which the editor takes with their
  // feed mode: E2 E3 E1 E4.
  for (auto& l : lines)
    for (const auto& [from, to] : {std::pair{"G1\t", "E2\t"}, {"G2\t", "E3\t"}, {"S1\t", "E4\t"}})
      if (l.rfind(from, 0) == 0) l = to + l.substr(3);
  if (!d.text)
    lines.resize(d.line);
  else
    lines[d.line] = WithCell(lines[d.line], d.cell, d.text);
  return lines;
}

// A value changed in a feeder of the group the load stopped in, of the group
// next to it and on the row whose tray could not be read: the file saved is
// the file read with that one cell changed.
TEST_F(UnreadLinesShell, AChangedValueAnywhereKeepsEveryLineNotLoadedAtItsPlace) {
  struct Case {
    size_t damage;
    const char* group;   // made current by the file's first line
    const char* feeder;  // edited
  };
  const Case cases[] = {
      {0, "C", "E2"}, {0, "C", "E3"}, {0, "C", "E4"}, {0, "B", "N1"}, {0, "A", "W2"},
      {1, "A", "W1"},
      {2, "A", "W1"}, {2, "A", "W2"}, {2, "B", "W3"},
      {4, "C", "E3"}, {4, "C", "E4"}, {4, "B", "W3"},
  };
  const fs::path feed = dir / "config_feed.fig";
  for (const Case& c : cases) {
    const Damage& d = kDamages[c.damage];
    SCOPED_TRACE(std::string(d.name) + ", feeder " + c.feeder + " of group " + c.group);
    std::vector<std::string> lines = Damaged(d);
    lines[0] = WithCell(lines[0], 1, c.group);
    smt::platform::WriteListFile(feed, {std::nullopt, lines});
    Start();
    messages.service.Clear();
    EditValue(c.feeder, "47k");
    EXPECT_TRUE(messages.service.Texts().empty()) << ::testing::PrintToString(messages.service.Texts());
    ASSERT_TRUE(app->frame()->view()->OnFileSave());
    std::vector<std::string> expected = lines;
    for (size_t i = 1; i < expected.size(); ++i)
      if (expected[i].rfind(std::string(c.feeder) + "\t", 0) == 0) {
        expected[i] = WithCell(expected[i], smt::feeder::kCellValue, "47k");
        break;
      }
    EXPECT_EQ(smt::platform::ReadListFile(feed, false).rows, expected);
    EXPECT_EQ(Bytes(feed), BytesOf(expected));
    app->ExitInstance();
    app.reset();
    for (const auto& e : fs::directory_iterator(dir.path()))
      if (e.path().filename().string().rfind("config_feed.fig.damaged-", 0) == 0) fs::remove(e.path());
  }
}

// A feeder added to the group the load stopped in (or to the one before
// it): the group is saved whole with the new feeder, and the lines of the
// group as read (with those it could not read) follow, as they were; the
// next load finds the new feeder and again keeps the lines it cannot read.
TEST_F(UnreadLinesShell, AFeederAddedKeepsEveryLineNotLoaded) {
  struct Case {
    size_t damage;
    const char* group;
    size_t keptFrom;  // the file's lines from here to the end come back as they were
  };
  const Case cases[] = {{0, "C", 15}, {0, "B", 15}, {1, "A", 8}, {3, "C", 15}, {4, "C", 15}};
  const fs::path feed = dir / "config_feed.fig";
  for (const Case& c : cases) {
    const Damage& d = kDamages[c.damage];
    SCOPED_TRACE(std::string(d.name) + ", a feeder added to group " + c.group);
    std::vector<std::string> lines = Damaged(d);
    lines[0] = WithCell(lines[0], 1, c.group);
    smt::platform::WriteListFile(feed, {std::nullopt, lines});
    Start();
    AddFeeder();
    ASSERT_TRUE(app->frame()->view()->OnFileSave());
    const std::vector<std::string> saved = smt::platform::ReadListFile(feed, false).rows;
    const std::vector<std::string> kept(lines.begin() + static_cast<std::ptrdiff_t>(c.keptFrom), lines.end());
    ASSERT_GE(saved.size(), kept.size());
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), saved.end() - static_cast<std::ptrdiff_t>(kept.size())))
        << ::testing::PrintToString(saved);
    bool added = false;
    for (const auto& l : saved) added = added || l.rfind("W9\t", 0) == 0;
    EXPECT_TRUE(added);
    // Read again: the new feeder is in the group it was added to.
    smt::feeder::FeederTable again;
    std::vector<std::string> copy = saved;
    const auto r = again.LoadFromLines(copy, smt::feeder::NameTablesOf(smt::CurrentMachine()));
    ASSERT_TRUE(r.ok);
    const auto groups = again.Groups();
    const auto g = std::find_if(groups.begin(), groups.end(), [&](const auto& x) { return x.name == c.group; });
    ASSERT_NE(g, groups.end());
    EXPECT_TRUE(std::any_of(g->rows.begin(), g->rows.end(), [](const auto& row) { return row.Number() == "W9"; }));
    // And saved again unchanged, the same bytes.
    EXPECT_EQ(again.SaveToLines(), saved);
    app->ExitInstance();
    app.reset();
  }
}

}  // namespace
