// The newcomer's first hour, the rest of the way: every camera of the demo
// machine, a pick-and-place file imported through the PCB editor's import
// dialog, a feeder added from the feeder list's menu, the job saved under a
// new name and opened again, all through the real windows and menus.
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>

#include "DemoMachineFixture.h"
#include "ModalSteps.h"
#include "feeder/CDialogFeedEdit.h"
#include "feeder/CDialogFeedList.h"
#include "job/CDialogImportFile.h"
#include "job/CDialogPCBEdit.h"
#include "job/JobModel.h"

namespace {

using smt::test::RunWithModalSteps;

// Chooses the entry of `menu` whose text is `text` with the keyboard.
void ChooseMenuEntry(QMenu& menu, const QString& text) {
  for (QAction* a : menu.actions())
    if (a->text() == text) {
      menu.setActiveAction(a);
      QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
      QApplication::sendEvent(&menu, &enter);
      return;
    }
  ADD_FAILURE() << "no menu entry " << text.toStdString();
  menu.close();
}

QPushButton* ButtonNamed(QWidget& w, const char* name) {
  auto* b = w.findChild<QPushButton*>(name);
  EXPECT_NE(b, nullptr) << name;
  return b;
}

// Every camera of the demo machine shows live pictures of its own under its
// own name after its button is pressed.
class OperatorCameras : public DemoMachineInLanguage {};
SMT_OPERATOR_LANGUAGES(OperatorCameras);

TEST_P(OperatorCameras, EveryCameraShowsItsOwnLivePictures) {
  CMainFrame& f = StartInLanguage();
  ConnectAndHome();
  CDialogSetView& panel = *f.view()->m_pSetView;
  struct Case { const char* button; const char* title; };
  for (Case c : {Case{"markCamera", "Mark_Camera"}, Case{"visualCamera1", "Visual_Camera_1"},
                 Case{"visualCamera2", "Visual_Camera_2"}, Case{"markCamera", "Mark_Camera"}}) {
    messages.service.Clear();
    Click(panel.findChild<QPushButton*>(c.button));
    const bool live = PumpUntil([&] {
      const QString s = panel.StatusText();
      // Its own pictures keep coming: the shown rate is above zero.
      const QRegularExpressionMatch fps = QRegularExpression("Display FPS:([0-9.]+)").match(s);
      return s.startsWith(c.title) && !s.contains("Size:0*0") && fps.hasMatch() && fps.captured(1).toDouble() > 0 &&
             !panel.LivePicture().isNull();
    }, 5s);
    EXPECT_TRUE(live) << c.button << ": " << panel.StatusText().toStdString() << " | " << Messages();
    EXPECT_TRUE(messages.service.Texts().empty()) << c.button << ": " << Messages();
  }
}

// Import, a new feeder, Save As and Open, each through the windows an
// operator uses; the job opened again holds the imported parts and the
// feeder list the new feeder.
class OperatorJobFiles : public DemoMachineInLanguage {};
SMT_OPERATOR_LANGUAGES(OperatorJobFiles);

TEST_P(OperatorJobFiles, ImportAFileAddAFeederSaveAndOpenTheJobAgain) {
  CMainFrame& f = StartInLanguage();
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  auto& pl = *f.view()->m_pPartList;
  const std::string board = pl.Job().shownPcbName;
  ASSERT_FALSE(board.empty());
  const size_t partsBefore = pl.Job().pcbs.Find(board)->m_Parts.size();

  // Part list: "Pcb Edit" -> PCB editor -> import button -> import dialog:
  // the KiCad .pos format, the file chosen, everything imported, OK; then the
  // PCB editor's Cancel (the job is as it was) or its OK (the file's parts).
  // The KiCad file the demo set-up writes beside the job.
  const fs::path sample = dir / smt::app::kDemoImportName;
  struct EditorEnd { const char* button; size_t parts; };
  for (EditorEnd end : {EditorEnd{"IDCANCEL", partsBefore}, EditorEnd{"IDOK", size_t(smt::app::kDemoImportParts)}}) {
    files.chooser.Clear();
    files.chooser.QueueAnswer(sample.string());
    int importedRows = -1;
    size_t partsInEditor = 0;
    const size_t steps = RunWithModalSteps([&] { ClickToolbar(104); },
        {[&](QWidget& w) {
           ASSERT_NE(qobject_cast<CDialogPCBEdit*>(&w), nullptr) << w.metaObject()->className();
           Click(ButtonNamed(w, "c_1084"));
           partsInEditor = pl.Job().pcbs.Find(board)->m_Parts.size();
           Click(ButtonNamed(w, end.button));
           if (w.isVisible()) {
             ADD_FAILURE() << "the PCB editor stayed open after " << end.button << ": " << Messages();
             qobject_cast<QDialog*>(&w)->reject();
           }
         },
         [&](QWidget& w) {
           auto* d = qobject_cast<CDialogImportFile*>(&w);
           ASSERT_NE(d, nullptr) << w.metaObject()->className();
           const int kicad = d->FormatBox()->findText("KiCad.pos");
           ASSERT_GE(kicad, 0);
           d->FormatBox()->setCurrentIndex(kicad);
           Click(d->OpenButton());
           EXPECT_EQ(d->List().Count(), smt::app::kDemoImportParts) << Messages();
           Click(ButtonNamed(w, "ImportAllToProject"));
           importedRows = d->LastImportedRows();
           Click(ButtonNamed(w, "IDOK"));
           if (d->isVisible()) d->reject();
         }});
    EXPECT_EQ(steps, 2u) << end.button;
    ASSERT_EQ(files.chooser.Requests().size(), 1u);
    EXPECT_EQ(files.chooser.Requests()[0].kind, smt::platform::FileChoice::OpenMany);
    EXPECT_EQ(importedRows, smt::app::kDemoImportParts) << Messages();
    // While the editor is open the import is there; its Cancel takes it back.
    EXPECT_EQ(partsInEditor, size_t(smt::app::kDemoImportParts)) << end.button;
    EXPECT_EQ(pl.Job().pcbs.Find(board)->m_Parts.size(), end.parts) << "after the PCB editor's " << end.button;
    EXPECT_EQ(pl.Job().placementRows.size(), end.parts) << "the part list after " << end.button;
  }
  EXPECT_EQ(partsBefore, 4u);
  const size_t partsAfterImport = pl.Job().pcbs.Find(board)->m_Parts.size();

  // Feeder list: right-click -> "添加料架" -> feeder editor, filled in, OK.
  f.view()->OnCommand(cmd::kShowFeedList);
  CDialogFeedList& feeders = *f.view()->m_pFeedList;
  const int feederRows = feeders.RowCount();
  auto* table = feeders.findChild<QTableWidget*>();
  ASSERT_NE(table, nullptr);
  const QString addText = QString::fromStdString(feeders.Text("FeedList.c_FeedAdd"));
  RunWithModalSteps(
      [&] {
        // On the first feeder's row, as an operator right-clicks the list.
        const QPoint at = table->visualRect(table->model()->index(0, 1)).center();
        Click(table->viewport());
        table->selectRow(0);
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, table->viewport()->mapToGlobal(at));
        QApplication::sendEvent(table->viewport(), &e);
      },
      {[&](QWidget& w) {
         auto* menu = qobject_cast<QMenu*>(&w);
         ASSERT_NE(menu, nullptr) << w.metaObject()->className();
         ChooseMenuEntry(*menu, addText);
       },
       [&](QWidget& w) {
         auto* e = qobject_cast<CDialogFeedEdit*>(&w);
         ASSERT_NE(e, nullptr) << w.metaObject()->className();
         e->Edit("number")->setText("9");
         Click(e->SideButton(smt::feeder::kSideW));
         e->Edit("value")->setText("4k7");
         e->Edit("length")->setText("1.6");
         e->Edit("width")->setText("0.8");
         e->Edit("height")->setText("0.5");
         QComboBox* head = e->Combo("head");
         const int first = head->findText("1");
         ASSERT_GE(first, 0) << head->count();
         head->setCurrentIndex(first);
         e->Edit("x")->setText("30");
         e->Edit("y")->setText("-20");
         Click(e->Button("OK"));
         if (e->isVisible()) {
           ADD_FAILURE() << "the feeder editor refused OK: " << Messages();
           e->reject();
         }
       }});
  ASSERT_EQ(feeders.RowCount(), feederRows + 1) << Messages();
  EXPECT_EQ(feeders.ListRow(feederRows).text[0], "W9");

  // File -> Save As under a new name, File -> New, File -> Open that name.
  const fs::path saved = dir / "mine.smt";
  files.chooser.Clear();
  files.chooser.QueueAnswer(saved.string());
  f.Action(cmd::kFileSaveAs)->trigger();
  ASSERT_TRUE(fs::exists(saved)) << Messages();
  messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::No);
  f.Action(cmd::kFileNew)->trigger();
  EXPECT_TRUE(pl.Job().pcbs.Count() == 0 || pl.Job().pcbs.Find(board)->m_Parts.empty());
  files.chooser.QueueAnswer(saved.string());
  f.Action(cmd::kFileOpen)->trigger();
  ASSERT_EQ(files.chooser.Requests().size(), 2u);
  EXPECT_EQ(files.chooser.Requests()[0].kind, smt::platform::FileChoice::Save);
  EXPECT_EQ(files.chooser.Requests()[1].kind, smt::platform::FileChoice::Open);
  ASSERT_NE(pl.Job().pcbs.Find(board), nullptr);
  EXPECT_EQ(pl.Job().pcbs.Find(board)->m_Parts.size(), partsAfterImport);
  EXPECT_TRUE(f.windowTitle().startsWith("mine.smt")) << f.windowTitle().toStdString();
  // The feeder list still holds the new feeder, and the job's parts find it.
  bool found = false;
  for (int r = 0; r < feeders.RowCount(); ++r) found = found || feeders.ListRow(r).text[0] == "W9";
  EXPECT_TRUE(found);
}

}  // namespace
