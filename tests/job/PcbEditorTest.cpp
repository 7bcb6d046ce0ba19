// The PCB editor and the part list panel, driven headless.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableView>

#include "job/CDialogPCBEdit.h"
#include "platform/NumberEdit.h"
#include "support/PartListHooks.h"
#include "job/CDialogPartList.h"
#include "job/CSMTDoc.h"
#include "job/DropDownLists.h"
#include "job/JobFixtures.h"
#include "job/RowListModel.h"
#include "platform/MessageService.h"

using namespace smt::job;
using namespace smt::job::testing;
using smt::platform::MsgAnswer;

namespace {

struct EditorFixture : ::testing::Test {
  smt::platform::ScopedRecordingMessages messages;
  CDialogPartList panel{smt::CurrentMachine()};
  CDialogPCBEdit& ed = panel.PcbEditor();
  JobModel& job = panel.Job();
  std::filesystem::path dir = TempDir("editor");

  void SetUp() override {
    smt::testing::FillPanelHooks(panel);
    ed.SetAppDir(dir.string());
    // A board count of 0 becomes 1 before the editor opens, as the part
    // list's Pcb Edit command does (the count's range is 1..10000).
    ed.Fields().m_PcbBoardCount = 1;
    static_cast<smt::platform::NumberEdit*>(ed.Control("c_1116"))->setValue(1);
  }
  std::vector<std::string> Texts() { return messages.service.Texts(); }
  void AddBoard(const std::string& name) {
    ed.NameBox()->setText(QString::fromStdString(name));
    ed.OnAddPcb();
  }
};

}  // namespace

TEST_F(EditorFixture, AddAppliesANewBoardAndRefusesBadNames) {
  AddBoard("A");
  ASSERT_TRUE(Texts().empty());
  ASSERT_EQ(job.pcbs.Count(), 1);
  EXPECT_EQ(job.pcbs.m_strCurPcbName, "A");
  EXPECT_EQ(job.shownPcbName, "A");
  EXPECT_EQ(job.pcbs.m_Records[0].m_nRows, 1);
  EXPECT_EQ(job.pcbs.m_Records[0].m_PanelGrid, (std::vector<std::vector<std::string>>{{"0/1", "1/1"}}));
  EXPECT_TRUE(ed.IsAnyPcbChecked());
  EXPECT_EQ(ed.ArrayNumber(), 1);

  struct Case {
    std::string name, message;
  };
  const std::vector<Case> refused = {
      {"", "Pcb板不能没有名称 !"},
      {"a", "Pcb名称已存在，请重新输入 !"},
      {"x\ty", "Pcb名称和说明不能包含制表符 !"},
  };
  for (const auto& c : refused) {
    messages.service.Clear();
    AddBoard(c.name);
    ASSERT_EQ(Texts(), std::vector<std::string>{c.message}) << c.name;
    EXPECT_EQ(job.pcbs.Count(), 1);
  }
  AddBoard("B");
  EXPECT_EQ(ed.ListNames(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(job.pcbs.m_strCurPcbName, "B");
}

TEST_F(EditorFixture, OkRefusals) {
  // Nothing checked.
  ed.OnOK();
  EXPECT_EQ(Texts(), std::vector<std::string>{"请选择Pcb板 !"});
  AddBoard("A");
  AddBoard("B");
  struct Case {
    std::string what;
    std::function<void()> setup;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"empty name", [&] { ed.NameBox()->setText(""); }, "Pcb板不能没有名称 !"},
      {"tab in note", [&] { ed.NoteBox()->setText("a\tb"); }, "Pcb名称和说明不能包含制表符 !"},
      {"no board enabled", [&] { ed.OnSelectAllPanels(false); }, "请选择Pcb板 !"},
      {"zoom x box above the image",
       [&] {
         ed.Fields().m_VisualZoom = 18.0;
         ed.Fields().m_VisualBox = 30.0;
         ed.WriteFieldsToControls();
       },
       "参数太大 !"},
      {"name of another board", [&] { ed.NameBox()->setText("A"); }, "修改的Pcb板已经存在 !"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ed.InitFromTable();  // back to board B's values
    ed.NameBox()->setText("B");
    const auto before = job.pcbs.m_Records;
    c.setup();
    messages.service.Clear();
    ed.OnOK();
    EXPECT_EQ(Texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(job.pcbs.m_Records, before);
  }
  // The checked item names no board (the table changed under it).
  ed.InitFromTable();
  job.pcbs.m_strCurPcbName = "gone";
  ed.NameBox()->setText("Z");
  messages.service.Clear();
  ed.OnOK();
  EXPECT_EQ(Texts(), std::vector<std::string>{"请选择Pcb板 !"});
  // The same name as the current board passes.
  job.pcbs.m_strCurPcbName = "B";
  ed.InitFromTable();
  ed.NoteBox()->setText("ok");
  messages.service.Clear();
  ed.OnOK();
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(job.pcbs.Find("B")->m_strNote, "ok");
}

TEST_F(EditorFixture, PanelGridClicksAndSize) {
  AddBoard("A");
  ed.RowsBox()->setValue(3);
  ed.ColsBox()->setValue(4);
  EXPECT_EQ(ed.ArrayNumber(), 12);
  EXPECT_EQ(ed.ArrayLabelText().toStdString(), "拼板数量为：12");
  ed.OnClickPanelGrid(1, 2);
  EXPECT_EQ(ed.ArrayNumber(), 11);
  ed.OnClickPanelGrid(1, 0);  // the row label does nothing
  EXPECT_EQ(ed.ArrayNumber(), 11);
  ed.OnClickPanelGrid(2, 4);
  ed.OnClickPanelGrid(2, 4);  // twice: as it was
  EXPECT_EQ(ed.ArrayNumber(), 11);
  ed.OnOK();
  const PcbRecord* rec = job.pcbs.Find("A");
  ASSERT_EQ(rec->m_PanelGrid.size(), 3u);
  EXPECT_EQ(rec->m_PanelGrid[1][2], "0/6");
  EXPECT_EQ(rec->m_PanelGrid[2][4], "1/12");
  EXPECT_EQ(CountEnabledBoards(rec->m_PanelGrid, 4), 11);
  ed.OnSelectAllPanels(false);
  EXPECT_EQ(ed.ArrayLabelText().toStdString(), "拼板数量为：0");
}

TEST_F(EditorFixture, ChoosingAnotherBoardKeepsEachBoardsRows) {
  job = SampleJob(3);  // "B" shown
  job.onRowsChanged = [&](RowKind k) { panel.Model(k)->Refresh(); };
  job.placementRows.push_back(Placement(7, 1, 2, "0", "EDITED"));
  ed.InitFromTable();
  // Choose board 0 in the list, then cancel: nothing moves, B stays current.
  const auto names = ed.ListNames();
  const int itemA = static_cast<int>(std::find(names.begin(), names.end(), "主板A") - names.begin());
  ed.OnSelchangePcbList(itemA);
  EXPECT_EQ(job.pcbs.m_strCurPcbName, "主板A");
  EXPECT_EQ(ed.NameBox()->text().toStdString(), "主板A");
  ed.reject();
  EXPECT_EQ(job.pcbs.m_strCurPcbName, "B");
  auto c = job.ToContent(0);
  EXPECT_EQ(job.pcbs.Find("主板A")->PartCount(), 3);
  EXPECT_EQ(job.pcbs.Find("B")->PartCount(), 4);
  // Choose it again and apply: B keeps its edited rows, A shows its own.
  ed.InitFromTable();
  ed.OnSelchangePcbList(itemA);
  ed.OnOK();
  EXPECT_EQ(job.shownPcbName, "主板A");
  EXPECT_EQ(panel.PlacementView()->model()->rowCount(), 3);
  EXPECT_EQ(StoredPlacementCell(job.pcbs.Find("B")->m_Parts.back(), kSmtName), "EDITED");
}

TEST_F(EditorFixture, RenameDeleteAndPasteThroughTheEditor) {
  AddBoard("A");
  AddBoard("B");
  ed.NameBox()->setText("A");
  messages.service.Clear();
  ed.OnEditPcb();  // a name in use is refused on rename too
  EXPECT_EQ(Texts(), std::vector<std::string>{"Pcb名称已存在，请重新输入 !"});
  EXPECT_EQ(job.pcbs.m_strCurPcbName, "B");
  ed.NameBox()->setText("C");
  ed.OnEditPcb();
  EXPECT_EQ(job.pcbs.m_strCurPcbName, "C");
  EXPECT_EQ(job.shownPcbName, "C");
  EXPECT_EQ(ed.ListNames(), (std::vector<std::string>{"A", "C"}));
  messages.service.Clear();
  ed.OnPastePcb();
  ed.OnPastePcb();
  EXPECT_EQ(Texts(), std::vector<std::string>{"PCB 已经复制过 !"});
  EXPECT_EQ(ed.ListNames(), (std::vector<std::string>{"A", "C", "C-copy"}));
  ed.OnDeletePcb();
  EXPECT_EQ(job.pcbs.m_strCurPcbName, "");
  EXPECT_EQ(job.shownPcbName, "");
  EXPECT_EQ(ed.RowsBox()->value(), 0);
  messages.service.Clear();
  ed.OnDeletePcb();
  EXPECT_EQ(Texts(), std::vector<std::string>{"请选择要删除的Pcb板 !"});
  // Boards but none current: the window's close is refused.
  messages.service.Clear();
  EXPECT_FALSE(ed.RequestClose());
  EXPECT_EQ(Texts(), std::vector<std::string>{"请选择Pcb板 !"});
}

TEST_F(EditorFixture, SettingsSectionDefaults) {
  ed.LoadConfig(dir.string());
  const PcbEditFields& f = ed.Fields();
  EXPECT_EQ(f.m_PcbBoardCount, 1);
  EXPECT_DOUBLE_EQ(f.m_VisualZoom, 1.0);
  EXPECT_EQ(f.m_DetectPrecision, 1);
  EXPECT_DOUBLE_EQ(f.m_VisualBox, 0.2);
  EXPECT_DOUBLE_EQ(f.m_MarkDiameter, 0.1);
  EXPECT_EQ(f.m_VisualTimes, 1);
  EXPECT_EQ(f.m_MarkCollectTime, 10);
  EXPECT_EQ(f.m_LightContrast, 0);
  ed.Fields().m_LightContrast = 123;
  ed.SaveConfig(dir.string());
  ed.Fields().m_LightContrast = 0;
  ed.LoadConfig(dir.string());
  EXPECT_EQ(ed.Fields().m_LightContrast, 123);
}

TEST(PartListPanel, TitlesChoicesAndVisibleList) {
  auto dir = TempDir("partlist");
  {
    std::ofstream f(dir / "English.ini");
    f << "[PartListConfig]\nPartList.c_PartList_05=Name\nPartList.c_DisList_11=Note\n";
  }
  CDialogPartList panel{smt::CurrentMachine()};
  panel.LoadLanguage(dir.string(), "English");
  auto* place = panel.Model(RowKind::Placement);
  auto* dis = panel.Model(RowKind::Dispense);
  EXPECT_EQ(place->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(), "Name");
  EXPECT_EQ(place->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "序号");
  EXPECT_EQ(place->headerData(15, Qt::Horizontal, Qt::DisplayRole).toString(), "---");
  EXPECT_EQ(dis->headerData(10, Qt::Horizontal, Qt::DisplayRole).toString(), "Note");
  EXPECT_EQ(dis->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(), "是否点胶");

  smt::job::SetDropDownLists({"R1\tC2\t", "", "pkg\t", "0\t90\ttail"});
  panel.FillChoiceCombos();
  panel.FillChoiceCombos();  // added twice: the boxes are not emptied first
  EXPECT_EQ(panel.ChoiceCombo(1085)->count(), 4);
  EXPECT_EQ(panel.ChoiceCombo(1085)->itemText(1), "C2");
  EXPECT_EQ(panel.ChoiceCombo(1020)->count(), 0);
  EXPECT_EQ(panel.ChoiceCombo(1025)->count(), 4);

  JobModel& job = panel.Job();
  job.runSelect = 1;
  job.LoadDispenseLines({"1\t1\t2\t-3\tYes\t", "2\t1\t2\t-3\tyes\t"});
  EXPECT_EQ(panel.VisibleView(), panel.DispenseView());
  EXPECT_EQ(dis->rowCount(), 2);
  EXPECT_EQ(dis->index(1, kDisEnable).data(Qt::UserRole).toInt(), kImgNo);
  job.runSelect = 0;
  job.LoadDispenseLines({"1\t"});
  EXPECT_EQ(panel.VisibleView(), panel.PlacementView());
  job.LoadDrillLines({"1\tH\t"});
  EXPECT_EQ(panel.VisibleView(), panel.DrillView());
}

TEST(PartListPanel, TransformsAskFirst) {
  smt::platform::ScopedRecordingMessages messages;
  CDialogPartList panel{smt::CurrentMachine()};
  JobModel& job = panel.Job();
  job.placementRows = {Placement(1, 1, 2, "0", "R1"), Placement(2, 3, 4, "90", "R2")};
  messages.service.QueueAnswer(MsgAnswer::Cancel);
  panel.OnPcbRotateClockwise();
  EXPECT_EQ(job.placementRows[0].cells[kSmtX], "1");
  messages.service.QueueAnswer(MsgAnswer::Yes);
  panel.OnPcbMirrorLeftRight();
  ASSERT_EQ(panel.Model(RowKind::Placement)->rowCount(), 4);
  EXPECT_EQ(job.placementRows[0].cells[kSmtName], "左-R1");
  EXPECT_EQ(job.placementRows[2].cells[kSmtName], "右-R1");
  EXPECT_EQ(job.placementRows[2].cells[kSmtX], "-1");
  EXPECT_EQ(messages.service.Texts().back(), "是否复制新增 ?");
  // Merge needs a board shown.
  messages.service.Clear();
  panel.OnPcbMergePanels();
  EXPECT_TRUE(messages.service.Texts().empty());
}

TEST(Document, NewJobAsksOnlyWithAPcbTable) {
  smt::platform::ScopedRecordingMessages messages;
  auto dir = TempDir("docnew");
  JobModel job;
  CSMTDoc doc(job);
  doc.MachineType = [] { return 0; };
  int figSaves = 0;
  doc.SaveFigLists = [&] { ++figSaves; };
  std::string status;
  doc.SetStatusPath = [&](const std::string& s) { status = s; };

  EXPECT_TRUE(doc.OnNewDocument());  // nothing to ask at start-up
  EXPECT_TRUE(messages.service.Texts().empty());
  EXPECT_TRUE(doc.SaveProject());  // libraries only, no job file
  EXPECT_EQ(figSaves, 1);

  job = SampleJob(2);
  messages.service.QueueAnswer(MsgAnswer::Cancel);
  EXPECT_FALSE(doc.OnNewDocument());
  EXPECT_EQ(messages.service.Texts().back(), CSMTDoc::SaveQuestion());
  EXPECT_TRUE(job.pcbs.HasTable());

  // Yes with no path: the Save As is asked; cancelling it keeps the job.
  messages.service.QueueAnswer(MsgAnswer::Yes);
  doc.AskSavePath = [] { return std::optional<std::filesystem::path>(); };
  EXPECT_FALSE(doc.OnNewDocument());
  EXPECT_TRUE(job.pcbs.HasTable());

  messages.service.QueueAnswer(MsgAnswer::Yes);
  doc.AskSavePath = [&] { return std::optional<std::filesystem::path>(dir / "n.smt"); };
  EXPECT_TRUE(doc.OnNewDocument());
  EXPECT_TRUE(std::filesystem::exists(dir / "n.smt"));
  EXPECT_FALSE(job.pcbs.HasTable());
  EXPECT_TRUE(job.placementRows.empty());
  EXPECT_EQ(status, "");

  EXPECT_TRUE(doc.OnOpenDocument(dir / "n.smt"));
  EXPECT_EQ(status, (dir / "n.smt").string());
  // Just opened: nothing to ask. Changed: the question, whose Cancel keeps the window.
  const size_t asked = messages.service.Texts().size();
  EXPECT_TRUE(doc.CanCloseFrame());
  EXPECT_EQ(messages.service.Texts().size(), asked);
  job.pcbs.m_Records.front().m_strNote += " changed";
  messages.service.QueueAnswer(MsgAnswer::No);
  EXPECT_TRUE(doc.CanCloseFrame());
  messages.service.QueueAnswer(MsgAnswer::Cancel);
  EXPECT_FALSE(doc.CanCloseFrame());
  EXPECT_EQ(messages.service.Texts().back(), CSMTDoc::SaveQuestion());
}
