// "同步修改料架表单" on the program as it starts: a confirmed modify in the
// package library passes the package's values on to the feeders of the
// feeder list's current group that use the package, the feed values only
// where their switch is ticked.
#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "library/LibraryLists.h"
#include "feeder/FeederTable.h"
#include "library/CDialogPackEdit.h"
#include "library/CDialogPackList.h"

namespace {

using namespace smt::feeder;

FeederRow Feeder(const std::string& number, const std::string& package) {
  FeederCells r;
  r[kCellNumber] = number;
  r[kCellPackage] = package;
  r[kCellValue] = "10k";
  r[kCellX] = "10";
  r[kCellY] = "-20";
  r[kCellLength] = "9.00";
  r[kCellHead] = "1";
  r[kCellCamera] = "No/Camera 1";
  r[kCellFly] = "No/60/80";
  r[kCellFeedMode] = "振动飞达";
  r[kCellFeedCount] = "2";
  r[kCellFeedTime] = "3";
  r[kCellSpeed] = "No/";
  return r;
}

std::vector<std::string> FeedLines(std::vector<FeederRow> rows) {
  FeederTable t;
  t.AddGroup("Demo", "");
  t.SetCurrentName("Demo");
  t.ShowGroupInList("Demo", BuiltInNameTables(0));
  std::vector<TrayRecord> trays(rows.size(), TrayRecord::Default());
  t.ReplaceCurrentRows(std::move(rows), std::move(trays));
  return t.SaveToLines();
}

// The package row: 1.6 x 0.8 x 0.45, lights 120/90, delays 50/25, camera 1
// with vision centring, nozzle 1, feed count 7, feed time 9.
std::string PackageLine(const std::string& name) {
  const char* cells[28] = {"",  "1.6000", "0.8000", "0.4500", "120", "90", "50", "25", "Camera 1", "Yes",
                           "No", "1",     "No",     "",       "01:Rect", "振动飞达", "7", "9", "0", "0",
                           "0", "0",      "0",      "0.0000", "0.0000", "0.0000", "", ""};
  std::string line = name;
  for (int i = 1; i < 28; ++i) line += std::string("\t") + cells[i];
  return line + "\t";
}

}  // namespace

class PackageFeederShellTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    for (const auto& f : smt::library::ListFiles()) {
      smt::platform::ListFileContent c;
      if (f.id == smt::library::ListFileId::Feed) c.rows = FeedLines({Feeder("W1", "0603"), Feeder("W2", "0805"), Feeder("W3", "0603")});
      else if (f.id == smt::library::ListFileId::Pack) c.rows = {PackageLine("0603"), PackageLine("0805")};
      else if (f.id == smt::library::ListFileId::Camera) c.rows = {"Camera 1\t100\t-50\t", "Camera 2\t200\t-60\t"};
      else continue;
      smt::platform::WriteListFile(dir / f.name, c);
    }
  }
};

TEST_F(PackageFeederShellTest, ConfirmedModifyWithSynchronousModifyRewritesTheFeedersOfThePackage) {
  CMainFrame& f = Start();
  bool listOpen = false, editorOpen = false;
  QTimer::singleShot(0, [&] {
    auto* list = qobject_cast<CDialogPackList*>(QApplication::activeModalWidget());
    if (!list) return;
    listOpen = true;
    list->OnListClick(0);
    QTimer::singleShot(0, [&] {
      auto* editor = qobject_cast<CDialogPackEdit*>(QApplication::activeModalWidget());
      if (!editor) return;
      editorOpen = true;
      for (QCheckBox* c : editor->findChildren<QCheckBox*>()) {
        if (c->text() == "同步修改料架表单" || c->text() == "送料次数") c->setChecked(true);
        if (c->text() == "送料时间") c->setChecked(false);
      }
      editor->findChild<QLineEdit*>("length")->setText("2.5");
      editor->accept();
      if (editor->isVisible()) editor->reject();
    });
    list->OnPackEdit();
    list->reject();
  });
  f.view()->OnCommand(smt::app::cmd::kPackData);
  ASSERT_TRUE(listOpen);
  ASSERT_TRUE(editorOpen);
  EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().front();

  CDialogFeedList& feeders = *f.view()->m_pFeedList;
  for (int row : {0, 2}) {
    const auto lr = feeders.ListRow(row);
    EXPECT_EQ(lr.text[kCellLength], "2.50") << row;
    EXPECT_EQ(lr.text[kCellFly], "120/90") << row;
    EXPECT_EQ(lr.icon[kCellCamera], 1) << row;  // vision centring
    EXPECT_EQ(lr.text[kCellFeedCount], "7") << row;  // passed on
    EXPECT_EQ(lr.text[kCellFeedTime], "3") << row;   // kept
    EXPECT_EQ(feeders.Table().CurrentRow(row)->Cell(kCellLength), "2.50") << row;
  }
  // A feeder of another package is left alone.
  EXPECT_EQ(feeders.ListRow(1).text[kCellLength], "9.00");
  EXPECT_EQ(feeders.ListRow(1).text[kCellFeedCount], "2");
}
