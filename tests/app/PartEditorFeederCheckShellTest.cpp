// The part editor's OK checks the feeder before anything is written: with no
// feeders (or a feeder not in the current group) a refused OK leaves the
// placement list exactly as it was and keeps the editor open with what was
// typed. Driven through the real shell, as an operator adds or modifies a part.

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "ShellFixture.h"
#include "app/CommandIds.h"
#include "app/DemoWorkdir.h"
#include "job/CDialogPartEditSmt.h"
#include "job/CDialogPartList.h"
#include "job/CSMTDoc.h"

namespace {

namespace fs = std::filesystem;
using smt::job::RowKind;

class PartEditorFeederCheck : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    // The working directory as scripts/run prepares it, then without feeders.
    ASSERT_EQ(PrepareAsScriptsRun(), "");
    fs::remove(dir / "config_feed.fig");
    smt::platform::ClearProfileCache();
  }
};

std::vector<std::vector<std::string>> Cells(const std::vector<smt::job::ListRow>& rows) {
  std::vector<std::vector<std::string>> out;
  for (const auto& r : rows) out.push_back(r.cells);
  return out;
}

TEST_F(PartEditorFeederCheck, ARefusedOkChangesNothingAndKeepsTheEditorOpen) {
  CMainFrame& f = Start();
  f.show();
  f.Action(smt::app::cmd::kLanguageEnglish)->trigger();
  QApplication::processEvents();
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  CDialogPartList& list = *f.view()->m_pPartList;
  const auto before = Cells(list.Job().placementRows);
  ASSERT_EQ(before.size(), 4u);

  struct Case {
    const char* what;
    std::function<void()> open;  // as the operator opens the editor
  } cases[] = {
      {"add", [&] { list.OnMenuCommand(32865); }},
      {"modify", [&] { list.OnListDoubleClick(RowKind::Placement, 1); }},
  };
  for (const Case& c : cases) {
    messages.service.Clear();
    bool opened = false, stayedOpen = false;
    QString typedAfter;
    QTimer::singleShot(0, [&] {
      auto* d = qobject_cast<CDialogPartEditSmt*>(QApplication::activeModalWidget());
      if (!d) {
        if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) other->reject();
        return;
      }
      opened = true;
      auto* x = d->findChild<QLineEdit*>("c_1005");
      QPushButton* ok = nullptr;
      for (auto* b : d->findChildren<QPushButton*>())
        if (b->text() == "OK") ok = b;
      if (x && ok) {
        x->setText("123.5");
        ok->click();
        stayedOpen = d->isVisible();
        typedAfter = x->text();
      }
      if (d->isVisible()) d->reject();  // cancel only an editor the OK left open
    });
    c.open();
    ASSERT_TRUE(opened) << c.what;
    EXPECT_TRUE(stayedOpen) << c.what << ": the refused OK keeps the editor open";
    EXPECT_EQ(typedAfter.toStdString(), "123.5") << c.what << ": what was typed stays";
    EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{"No feeders, please add feeders !"})) << c.what;
    EXPECT_EQ(Cells(list.Job().placementRows), before) << c.what << ": the list is unchanged";
  }
}

}  // namespace
