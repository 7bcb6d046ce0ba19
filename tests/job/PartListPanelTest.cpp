// The part list panel's windows under the offscreen platform: context menu
// states, labels of the current board, the find dialog, the PCB editor's
// take-position buttons and mark checks, the drop-down lists dialog.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>

#include "platform/NumberEdit.h"
#include "PartListTestSupport.h"
#include "job/CDialogDropDownParameter.h"
#include "job/CDialogFind.h"
#include "job/CDialogPCBEdit.h"
#include "support/PartListHooks.h"
#include "job/CDialogPartList.h"
#include "job/CurrentBoard.h"
#include "job/DropDownLists.h"
#include "settings/SettingsStores.h"
#include "platform/TextCodec.h"
#include <algorithm>
#include <fstream>

using namespace smt::job;
using namespace smt::job::testing;

namespace {

std::map<int, bool> MenuStates(QMenu* m) {
  std::map<int, bool> out;
  for (QAction* a : m->actions()) {
    if (a->menu()) {
      out[-static_cast<int>(out.size()) - 1] = a->menu()->isEnabled();
      for (auto [id, on] : MenuStates(a->menu())) out[id] = on;
    } else if (a->data().isValid()) {
      out[a->data().toInt()] = a->isEnabled();
    }
  }
  return out;
}

class PanelTest : public ::testing::Test {
 protected:
  void TearDown() override { smt::CurrentMachine().machineType = 0; }
  smt::platform::ScopedRecordingMessages messages;
};

TEST_F(PanelTest, PlacementMenuStatesFollowTheMachineType) {
  CDialogPartList panel{smt::CurrentMachine()};
  for (int type : {0, 4}) {
    smt::CurrentMachine().machineType = type;
    auto menu = panel.BuildContextMenu(RowKind::Placement);
    auto s = MenuStates(menu.get());
    const bool lamp = type == 4;
    EXPECT_EQ(s[32868], !lamp);  // copy
    EXPECT_EQ(s[33127], !lamp);  // copy and paste
    EXPECT_EQ(s[32782], !lamp);
    EXPECT_EQ(s[32783], !lamp);
    EXPECT_FALSE(s[32869]);  // nothing copied
    const QMenu* dual = nullptr;
    for (QAction* a : menu->actions())
      if (a->menu() && a->text() == "双点胶XY操作") dual = a->menu();
    ASSERT_NE(dual, nullptr);
    EXPECT_EQ(dual->isEnabled(), lamp);
  }
}

TEST_F(PanelTest, CurrentBoardLabelsByLanguage) {
  CDialogPartList panel{smt::CurrentMachine()};
  auto& job = panel.Job();
  job = SampleJob(3);
  std::string lang = "Chinese";
  panel.language = [&] { return lang; };
  panel.LoadCurrentBoard(0);  // 2 x 3 with the last cell skipped
  EXPECT_EQ(panel.BoardLabel().toStdString(), "主板A拼板：第 1 行第 1 列");
  EXPECT_EQ(panel.CountLabel().toStdString(), "数量：5 × 3");
  lang = "English";
  panel.UpdatePanelProgressLabel(1, 0, 7);
  job.pcbs.m_strCurPcbName = "B";
  panel.UpdatePanelProgressLabel(1, 0, 7);
  EXPECT_EQ(panel.BoardLabel().toStdString(), "BArray：Row 2 Col 1 ");
  EXPECT_EQ(panel.CountLabel().toStdString(), "Count： 7");
  lang = "German";
  panel.UpdatePanelProgressLabel(0, 0, 9);
  EXPECT_EQ(panel.BoardLabel().toStdString(), "BNutzen：Zeile 1 Spalte 1 ");
  EXPECT_EQ(panel.CountLabel().toStdString(), "Fertig： 9");
  // Another language name takes the English texts.
  lang = "French";
  panel.UpdatePanelProgressLabel(0, 1, 4);
  EXPECT_EQ(panel.BoardLabel().toStdString(), "BArray：Row 1 Col 2 ");
  EXPECT_EQ(panel.CountLabel().toStdString(), "Count： 4");
}

TEST_F(PanelTest, FindDialogNextOnlyAfterFind) {
  CDialogPartList panel{smt::CurrentMachine()};
  panel.Job().placementRows = {Placement(1, 0, 0, "0", "R1"), Placement(2, 0, 0, "0", "C4")};
  CDialogFind& f = panel.FindDialog();
  f.show();
  EXPECT_FALSE(f.NextButton()->isEnabled());
  f.TextBox()->setText("C4");
  f.OnFind();
  EXPECT_TRUE(f.NextButton()->isEnabled());
  EXPECT_EQ(f.RowBox()->text(), "2");
  EXPECT_EQ(f.ColBox()->text(), "5");
  f.hide();
}

// The dispensing and drill lists and the find dialog are made the first time
// they are reached; made then, in either order, they show what they would
// have shown made at start: the selection the work holds, the lists' tab
// order, the language loaded before.
TEST_F(PanelTest, ListsAndDialogsMadeOnFirstUseMatchThoseMadeAtStart) {
  const auto dir = smt::job::testing::TempDir("firstuse");
  {
    std::ofstream f(dir / "English.ini", std::ios::binary);
    f << "[FindConfig]\r\nFind.c_Find=Find\r\nFind.c_Next=Next\r\n";
  }
  for (const bool drillFirst : {false, true}) {
    SCOPED_TRACE(drillFirst ? "drill list made first" : "dispensing list made first");
    CDialogPartList panel{smt::CurrentMachine()};
    for (int i = 0; i < 4; ++i)
      panel.Job().dispenseRows.push_back(
          DispenseRowFromText(std::to_string(i + 1) + "\t1\t2\t-2.5\tYes\t1.5\t2\t10\t20\t30\t点\t\t\t\t\t"));
    panel.LoadLanguage(dir.string(), "English");
    panel.Logic().SetSelectedRanges(RowKind::Dispense, {{1, 2}});
    QTableView* drill = drillFirst ? panel.DrillView() : nullptr;
    QTableView* dispense = panel.DispenseView();
    if (!drill) drill = panel.DrillView();
    std::vector<int> selected;
    for (const QModelIndex& ix : dispense->selectionModel()->selectedRows()) selected.push_back(ix.row());
    std::sort(selected.begin(), selected.end());
    EXPECT_EQ(selected, (std::vector<int>{1, 2}));
    // Tab goes placement, dispensing, drill.
    auto nextList = [](QWidget* w) {
      for (w = w->nextInFocusChain(); w && !qobject_cast<QTableView*>(w); w = w->nextInFocusChain()) {
      }
      return w;
    };
    EXPECT_EQ(nextList(panel.PlacementView()), dispense);
    EXPECT_EQ(nextList(dispense), drill);
    EXPECT_EQ(dispense->objectName(), "c_1001");
    EXPECT_EQ(drill->objectName(), "c_1002");
    panel.Job().SetVisible(VisibleList::Drill);
    EXPECT_EQ(panel.VisibleView(), drill);
    panel.Job().SetVisible(VisibleList::Placement);
    EXPECT_EQ(panel.VisibleView(), panel.PlacementView());
    EXPECT_EQ(panel.FindDialog().windowTitle().toStdString(), "Find");
    EXPECT_EQ(panel.FindDialog().NextButton()->text().toStdString(), "Next");
  }
}

TEST_F(PanelTest, PcbEditorTakesPositionsAndKeepsTheMarkInterlocks) {
  smt::settings::PulseSettings p;
  p.m_X_Pulse = 1000;
  p.m_Y_Pulse = 1000;
  smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetPulse(p);
  CDialogPartList panel{smt::CurrentMachine()};
  smt::testing::FillPanelHooks(panel);
  CDialogPCBEdit& ed = panel.PcbEditor();
  smt::CurrentMachine().curX = 10000;
  smt::CurrentMachine().curY = 0;
  ed.OnTakePosition(1233);
  ed.OnTakePosition(1234);
  EXPECT_DOUBLE_EQ(static_cast<smt::platform::NumberEdit*>(ed.Control("c_1103"))->value(), 10.0001);
  EXPECT_DOUBLE_EQ(static_cast<smt::platform::NumberEdit*>(ed.Control("c_1104"))->value(), 0.0);

  auto* enable = static_cast<QCheckBox*>(ed.Control("c_1105"));
  auto* manual = static_cast<QCheckBox*>(ed.Control("c_1111"));
  auto* each = static_cast<QCheckBox*>(ed.Control("c_1256"));
  enable->setChecked(true);
  manual->setChecked(true);
  each->setChecked(true);
  enable->click();  // unchecked: the other two follow
  EXPECT_FALSE(manual->isChecked());
  EXPECT_FALSE(each->isChecked());
  manual->click();
  each->click();
  EXPECT_FALSE(manual->isChecked());
  EXPECT_FALSE(each->isChecked());

  double& shown = smt::testing::PanelCamera().lastBox;  // a 480-line live image
  shown = 0;
  auto* zoom = static_cast<smt::platform::NumberEdit*>(ed.Control("c_1119"));
  auto* box = static_cast<smt::platform::NumberEdit*>(ed.Control("c_1051"));
  zoom->setValue(10);
  box->setValue(50);  // 500 pixels
  EXPECT_EQ(messages.service.Texts().back(), "参数太大 !");
  EXPECT_EQ(shown, 0);
  box->setValue(40);
  EXPECT_EQ(shown, 40);
  EXPECT_FALSE(zoom->isEnabled());
  ed.OnUnlockVisualZoom();
  EXPECT_TRUE(zoom->isEnabled());

  ed.OnImportFile();  // no current board
  EXPECT_EQ(messages.service.Texts().back(), "请选择Pcb板 !");
  smt::CurrentMachine().curX = 0;
  smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetPulse({});
}

TEST_F(PanelTest, DropDownCancelKeepsThePanelBoxChangeButNotTheLists) {
  smt::job::SetDropDownLists(smt::CurrentMachine(), {"R1\t", "", "", ""});
  CDialogPartList panel{smt::CurrentMachine()};
  CDialogDropDownParameter dlg{smt::CurrentMachine()};
  dlg.panelBox = [&](int tab, const std::string& rm, const std::string& add) {
    if (tab == 0 && !add.empty()) panel.ChoiceCombo(1085)->addItem(QString::fromStdString(add));
    (void)rm;
  };
  dlg.InitLists();
  dlg.EditBox()->setText("U9");
  dlg.OnAddItem();
  EXPECT_EQ(dlg.List(0)->item(0)->text(), "U9");
  dlg.reject();
  EXPECT_EQ(panel.ChoiceCombo(1085)->findText("U9"), 0);
  EXPECT_EQ(smt::job::DropDownLists(smt::CurrentMachine())[0], "R1\t");
}

}  // namespace

namespace {

TEST(PanelDrillCsv, SmtDisOnTheDrillMachineImportsTheChosenFile) {
  smt::platform::ScopedRecordingMessages messages;
  smt::CurrentMachine().machineType = 9;
  const auto dir = smt::job::testing::TempDir("drillcsv");
  {
    std::ofstream f(dir / "holes.csv", std::ios::binary);
    f << smt::platform::Utf8ToGbk("名称,直径,中心 X,中心 Y,中心 Z,\r\n圆,0.5,1,2,-1,\r\n");
  }
  CDialogPartList panel{smt::CurrentMachine()};
  panel.chooseDrillCsv = [&] { return QString::fromStdString((dir / "holes.csv").string()); };
  panel.OnSmtDis();
  ASSERT_EQ(panel.Job().drillRows.size(), 1u);
  EXPECT_EQ(panel.Job().drillRows[0].Cell(5), "-1");
  EXPECT_EQ(panel.Job().visible, smt::job::VisibleList::Drill);
  panel.chooseDrillCsv = [&] { return QString::fromStdString((dir / "missing.csv").string()); };
  panel.OnSmtDis();
  EXPECT_EQ(messages.service.Texts().size(), 1u);
  smt::CurrentMachine().machineType = 0;
}

}  // namespace
