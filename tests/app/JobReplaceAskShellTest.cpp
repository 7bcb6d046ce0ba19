// Opening another job (File > Open, a recent file) while the job holds
// changes not saved asks the save question first: Cancel keeps the job and
// its changes, No opens the other job and leaves the job's file as it was,
// Yes saves the changes and then opens. A job without changes is replaced
// without a question. Judged by the job files' bytes and the job shown.
#include <algorithm>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "ModalSteps.h"
#include "ShellFixture.h"
#include "job/CDialogImportFile.h"
#include "job/CDialogPCBEdit.h"
#include "job/CToolBarPartControl.h"
#include "app/CommandIds.h"
#include "app/DemoWorkdir.h"
#include "job/CDialogPartEditSmt.h"
#include "job/CDialogPartList.h"
#include "job/CSMTDoc.h"

namespace {

namespace fs = std::filesystem;
using smt::job::RowKind;
using smt::platform::MsgAnswer;

class JobReplaceAsk : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    ASSERT_EQ(PrepareAsScriptsRun(), "");
    // A second job: the demo's files under another name.
    for (const auto& e : fs::directory_iterator(dir.path())) {
      const fs::path p = e.path();
      if (p.stem() == fs::path(smt::app::kDemoJobName).stem())
        fs::copy_file(p, dir / ("other" + p.extension().string()));
    }
  }

  // Row 2's X through the part editor, as the operator changes it.
  void EditRowX(CDialogPartList& list, const char* x) {
    bool done = false;
    std::string seen;
    QTimer::singleShot(0, [&] {
      if (QApplication::activeModalWidget()) seen = QApplication::activeModalWidget()->metaObject()->className();
      auto* d = qobject_cast<CDialogPartEditSmt*>(QApplication::activeModalWidget());
      if (!d) {
        if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) other->reject();
        return;
      }
      auto* edit = d->findChild<QLineEdit*>("c_1005");
      QPushButton* ok = nullptr;
      for (auto* b : d->findChildren<QPushButton*>())
        if (b->text().remove(' ') == "确定" || b->text() == "OK") ok = b;
      if (!ok) seen += " no OK";
      if (edit && ok) {
        edit->setText(x);
        ok->click();
        done = !d->isVisible();
      }
      if (d->isVisible()) d->reject();
    });
    list.OnListDoubleClick(RowKind::Placement, 1);
    ASSERT_TRUE(done) << "the part editor did not take the change: " << seen << " "
                      << (messages.service.Texts().empty() ? "" : messages.service.Texts().back());
  }
};

TEST_F(JobReplaceAsk, OpeningAnotherJobAsksBeforeUnsavedChangesAreLost) {
  CMainFrame& f = Start();
  f.show();
  CSMTDoc& doc = *f.view()->document();
  CDialogPartList& list = *f.view()->m_pPartList;
  const fs::path demo = dir / smt::app::kDemoJobName, other = dir / "other.smt";
  const std::string demoBytes = dir.Read(smt::app::kDemoJobName);

  // Import: a design-tool file imported into the shown board in the PCB
  // editor and kept with the editor's OK (it replaces the board's parts and
  // the rows the part list shows).
  enum class Way { Open, Recent, Import };
  struct Case {
    const char* what;
    Way way;
    bool edit;
    MsgAnswer answer;
  } cases[] = {
      {"File > Open, unchanged job", Way::Open, false, MsgAnswer::Cancel},
      {"File > Open, Cancel", Way::Open, true, MsgAnswer::Cancel},
      {"File > Open, No", Way::Open, true, MsgAnswer::No},
      {"File > Open, Yes", Way::Open, true, MsgAnswer::Yes},
      {"recent file, Cancel", Way::Recent, true, MsgAnswer::Cancel},
      {"recent file, No", Way::Recent, true, MsgAnswer::No},
      {"recent file, Yes", Way::Recent, true, MsgAnswer::Yes},
      {"PCB editor import, unchanged job", Way::Import, false, MsgAnswer::Cancel},
      {"PCB editor import, Cancel", Way::Import, true, MsgAnswer::Cancel},
      {"PCB editor import, No", Way::Import, true, MsgAnswer::No},
      {"PCB editor import, Yes", Way::Import, true, MsgAnswer::Yes},
  };
  // The import through the PCB editor, confirmed with its OK.
  auto importInEditor = [&] {
    files.chooser.Clear();
    files.chooser.QueueAnswer((dir / smt::app::kDemoImportName).string());
    auto click = [](QWidget& w, const char* name) {
      if (auto* b = w.findChild<QPushButton*>(name)) b->click();
    };
    smt::test::RunWithModalSteps(
        [&] { list.ToolBar().Button(104)->trigger(); },
        {[&](QWidget& w) {
           click(w, "c_1084");
           click(w, "IDOK");
           if (w.isVisible()) qobject_cast<QDialog*>(&w)->reject();
         },
         [&](QWidget& w) {
           auto* d = qobject_cast<CDialogImportFile*>(&w);
           ASSERT_NE(d, nullptr) << w.metaObject()->className();
           d->FormatBox()->setCurrentIndex(d->FormatBox()->findText("KiCad.pos"));
           d->OpenButton()->click();
           click(w, "ImportAllToProject");
           click(w, "IDOK");
           if (d->isVisible()) d->reject();
         }});
    files.chooser.Clear();
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dir.Write(smt::app::kDemoJobName, demoBytes);
    ASSERT_TRUE(doc.OnOpenDocument(demo));
    ASSERT_EQ(list.Job().placementRows.size(), 4u);
    if (c.edit) EditRowX(list, "123.5");
    const auto rowsBefore = list.Job().placementRows;
    messages.service.Clear();
    messages.service.QueueAnswer(c.answer);
    if (c.way == Way::Import) {
      // The editor may show a notice of its own first: every question of
      // the import gets the case's answer.
      messages.service.Clear();
      messages.service.SetDefaultAnswer(c.answer);
      importInEditor();
      QApplication::processEvents();
      const std::string board = list.Job().shownPcbName;
      const size_t imported = size_t(smt::app::kDemoImportParts);
      EXPECT_EQ(doc.PathName(), demo) << "an import keeps the job's path";
      // The editor may say more (no machine to take positions from); the
      // question comes once, only when a change would be lost.
      const auto texts = messages.service.Texts();
      const auto asked = std::count(texts.begin(), texts.end(), CSMTDoc::SaveQuestion());
      if (!c.edit) {
        EXPECT_EQ(asked, 0) << "nothing to lose, nothing asked";
        EXPECT_EQ(list.Job().pcbs.Find(board)->m_Parts.size(), imported);
        continue;
      }
      ASSERT_EQ(asked, 1);
      if (c.answer == MsgAnswer::Cancel) {
        EXPECT_EQ(list.Job().placementRows, rowsBefore) << "Cancel imports nothing and keeps the change";
        EXPECT_NE(list.Job().pcbs.Find(board)->m_Parts.size(), imported);
        EXPECT_EQ(dir.Read(smt::app::kDemoJobName), demoBytes);
        continue;
      }
      EXPECT_EQ(list.Job().pcbs.Find(board)->m_Parts.size(), imported) << "the import was kept";
      EXPECT_NE(list.Job().placementRows, rowsBefore);
      if (c.answer == MsgAnswer::No) {
        EXPECT_EQ(dir.Read(smt::app::kDemoJobName), demoBytes) << "No writes nothing";
      } else {
        EXPECT_NE(dir.Read(smt::app::kDemoJobName), demoBytes) << "Yes saves the change";
        ASSERT_TRUE(doc.OnOpenDocument(demo));
        EXPECT_EQ(list.Job().placementRows, rowsBefore) << "the saved job holds the change, not the import";
      }
      continue;
    }
    if (c.way == Way::Open) {
      files.chooser.QueueAnswer(other.string());
      f.Action(smt::app::cmd::kFileOpen)->trigger();
    } else {
      f.Recent().Add(other.string());
      f.ShowRecentFiles();
      const auto& paths = f.Recent().Paths();
      const auto at = std::find(paths.begin(), paths.end(), other.string());
      ASSERT_NE(at, paths.end());
      f.view()->OnCommand(smt::app::cmd::kFileMru1 + static_cast<int>(at - paths.begin()));
    }
    QApplication::processEvents();
    if (!c.edit) {
      EXPECT_TRUE(messages.service.Texts().empty()) << "nothing to lose, nothing asked";
      EXPECT_EQ(doc.PathName(), other);
      continue;
    }
    ASSERT_EQ(messages.service.Texts(), std::vector<std::string>{CSMTDoc::SaveQuestion()});
    switch (c.answer) {
      case MsgAnswer::Cancel:
        EXPECT_EQ(doc.PathName(), demo) << "Cancel keeps the job";
        EXPECT_EQ(list.Job().placementRows, rowsBefore) << "and its change";
        EXPECT_EQ(dir.Read(smt::app::kDemoJobName), demoBytes);
        EXPECT_NE(std::find(f.Recent().Paths().begin(), f.Recent().Paths().end(), other.string()),
                  f.Recent().Paths().end())
            << "a cancelled open keeps the recent file";
        break;
      case MsgAnswer::No:
        EXPECT_EQ(doc.PathName(), other);
        EXPECT_EQ(dir.Read(smt::app::kDemoJobName), demoBytes) << "No writes nothing";
        break;
      default: {
        EXPECT_EQ(doc.PathName(), other);
        EXPECT_NE(dir.Read(smt::app::kDemoJobName), demoBytes) << "Yes saves the change";
        ASSERT_TRUE(doc.OnOpenDocument(demo));
        EXPECT_EQ(list.Job().placementRows, rowsBefore) << "the saved job holds the change";
        break;
      }
    }
  }
}

}  // namespace

namespace {

// File > New and closing the window while the job holds a change: the same
// question; Cancel keeps the job, its change and the window; No gives the
// change up without writing; Yes saves it first. New on a job without
// changes asks nothing.
TEST_F(JobReplaceAsk, NewAndClosingAskBeforeUnsavedChangesAreLost) {
  CMainFrame& f = Start();
  f.show();
  CSMTDoc& doc = *f.view()->document();
  CDialogPartList& list = *f.view()->m_pPartList;
  const fs::path demo = dir / smt::app::kDemoJobName;
  const std::string demoBytes = dir.Read(smt::app::kDemoJobName);
  enum class Way { New, Close };
  struct Case {
    const char* what;
    Way way;
    bool edit;
    MsgAnswer answer;
  } cases[] = {
      {"New, unchanged job", Way::New, false, MsgAnswer::Cancel},
      {"New, Cancel", Way::New, true, MsgAnswer::Cancel},
      {"New, No", Way::New, true, MsgAnswer::No},
      {"New, Yes", Way::New, true, MsgAnswer::Yes},
      {"window close, Cancel", Way::Close, true, MsgAnswer::Cancel},
      // Last: the window closes.
      {"window close, unchanged job", Way::Close, false, MsgAnswer::Cancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dir.Write(smt::app::kDemoJobName, demoBytes);
    ASSERT_TRUE(doc.OnOpenDocument(demo));
    if (c.edit) EditRowX(list, "123.5");
    const auto rowsBefore = list.Job().placementRows;
    messages.service.Clear();
    messages.service.QueueAnswer(c.answer);
    if (c.way == Way::New)
      f.Action(smt::app::cmd::kFileNew)->trigger();
    else
      f.close();
    QApplication::processEvents();
    if (!c.edit) {
      EXPECT_TRUE(messages.service.Texts().empty()) << "nothing to lose, nothing asked";
      if (c.way == Way::New) EXPECT_TRUE(list.Job().placementRows.empty());
      else EXPECT_FALSE(f.isVisible()) << "the window closed";
      EXPECT_EQ(dir.Read(smt::app::kDemoJobName), demoBytes);
      continue;
    }
    ASSERT_EQ(messages.service.Texts(), std::vector<std::string>{CSMTDoc::SaveQuestion()}) << "asked once";
    switch (c.answer) {
      case MsgAnswer::Cancel:
        EXPECT_EQ(doc.PathName(), demo) << "Cancel keeps the job";
        EXPECT_EQ(list.Job().placementRows, rowsBefore) << "and its change";
        EXPECT_EQ(dir.Read(smt::app::kDemoJobName), demoBytes);
        if (c.way == Way::Close) EXPECT_TRUE(f.isVisible()) << "and the window";
        break;
      case MsgAnswer::No:
        EXPECT_TRUE(list.Job().placementRows.empty());
        EXPECT_EQ(dir.Read(smt::app::kDemoJobName), demoBytes) << "No writes nothing";
        break;
      default: {
        EXPECT_TRUE(list.Job().placementRows.empty());
        EXPECT_NE(dir.Read(smt::app::kDemoJobName), demoBytes) << "Yes saves the change";
        ASSERT_TRUE(doc.OnOpenDocument(demo));
        EXPECT_EQ(list.Job().placementRows, rowsBefore) << "the saved job holds the change";
        break;
      }
    }
  }
}

}  // namespace

namespace {

// A design-tool file imported into the board of a job holding a change:
// the import replaces the board's parts only with the PCB editor's OK; its
// Cancel leaves the job, its change and its files as they were, and the
// change is still asked about.
TEST_F(JobReplaceAsk, AnImportCancelledInThePcbEditorKeepsTheJobAndItsChange) {
  CMainFrame& f = Start();
  f.show();
  CSMTDoc& doc = *f.view()->document();
  CDialogPartList& list = *f.view()->m_pPartList;
  const fs::path demo = dir / smt::app::kDemoJobName;
  const std::string demoBytes = dir.Read(smt::app::kDemoJobName);
  ASSERT_TRUE(doc.OnOpenDocument(demo));
  EditRowX(list, "123.5");
  const auto rowsBefore = list.Job().placementRows;
  const std::string board = list.Job().shownPcbName;
  const auto partsBefore = list.Job().pcbs.Find(board)->m_Parts;
  files.chooser.Clear();
  files.chooser.QueueAnswer((dir / smt::app::kDemoImportName).string());
  // The import asks about the change first: No, import anyway (the editor
  // may show a notice of its own first).
  messages.service.Clear();
  messages.service.SetDefaultAnswer(MsgAnswer::No);
  size_t partsInEditor = 0;
  auto button = [](QWidget& w, const char* name) {
    auto* b = w.findChild<QPushButton*>(name);
    EXPECT_NE(b, nullptr) << name;
    return b;
  };
  const size_t steps = smt::test::RunWithModalSteps(
      [&] { list.ToolBar().Button(104)->trigger(); },
      {[&](QWidget& w) {
         ASSERT_NE(qobject_cast<CDialogPCBEdit*>(&w), nullptr) << w.metaObject()->className();
         if (auto* b = button(w, "c_1084")) b->click();
         partsInEditor = list.Job().pcbs.Find(board)->m_Parts.size();
         if (auto* b = button(w, "IDCANCEL")) b->click();
         if (w.isVisible()) qobject_cast<QDialog*>(&w)->reject();
       },
       [&](QWidget& w) {
         auto* d = qobject_cast<CDialogImportFile*>(&w);
         ASSERT_NE(d, nullptr) << w.metaObject()->className();
         d->FormatBox()->setCurrentIndex(d->FormatBox()->findText("KiCad.pos"));
         d->OpenButton()->click();
         if (auto* b = button(w, "ImportAllToProject")) b->click();
         if (auto* b = button(w, "IDOK")) b->click();
         if (d->isVisible()) d->reject();
       }});
  EXPECT_EQ(steps, 2u);
  {
    const auto texts = messages.service.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), CSMTDoc::SaveQuestion()), 1) << "the import asked";
  }
  EXPECT_EQ(partsInEditor, size_t(smt::app::kDemoImportParts)) << "the import was there while the editor was open";
  EXPECT_EQ(list.Job().placementRows, rowsBefore) << "the PCB editor's Cancel keeps the change";
  EXPECT_EQ(list.Job().pcbs.Find(board)->m_Parts.size(), partsBefore.size());
  EXPECT_EQ(dir.Read(smt::app::kDemoJobName), demoBytes);
  // The change is still there to be asked about.
  messages.service.Clear();
  messages.service.QueueAnswer(MsgAnswer::Cancel);
  f.Action(smt::app::cmd::kFileNew)->trigger();
  EXPECT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_EQ(list.Job().placementRows, rowsBefore);
}

}  // namespace
