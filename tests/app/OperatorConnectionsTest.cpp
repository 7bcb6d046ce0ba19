// The editors and the run reach their neighbours in the program as the
// shell builds it: the feeder editor, the part editors, the calibration
// tasks' board values, the camera table's angles and the run mode.
#include <QComboBox>
#include <QDialog>
#include <QTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include "core/Machine.h"
#include "ShellFixture.h"
#include "library/LibraryLists.h"
#include "feeder/CDialogFeedGroup.h"
#include "job/CToolBarPartControl.h"
#include "job/RunControl.h"
#include "vision/CDialogCameraEdit.h"
#include "app/CommandIds.h"
#include "feeder/CDialogFeedEdit.h"
#include "feeder/FeederEditFields.h"
#include "feeder/FeederTable.h"
#include "feeder/FeederServices.h"
#include "job/CDialogImportFile.h"
#include "job/CDialogPCBEdit.h"
#include "job/CSMTDoc.h"
#include "job/CDialogPartEditSmt.h"
#include "job/JobRows.h"
#include "library/PackLibrary.h"
#include "run/RunServices.h"
#include "run/StrategySettings.h"
#include "settings/CDialogSetBasic.h"
#include "settings/SettingsStores.h"
#include "vision/CDialogCameraList.h"

namespace {

// One feeder group "G" with tape feeders W1 and W2 (package "0603").
std::vector<std::string> FeederLines() {
  auto row = [](const std::string& number) {
    std::vector<std::string> c(30, "0");
    c[smt::feeder::kCellNumber] = number;
    c[smt::feeder::kCellPackage] = "0603";
    c[smt::feeder::kCellValue] = "10k";
    c[smt::feeder::kCellHead] = "1";
    c[smt::feeder::kCellCamera] = "No/Camera 1";
    c[smt::feeder::kCellFly] = "No/60/80";
    c[smt::feeder::kCellFeedMode] = "集中飞达";
    c[smt::feeder::kCellFeedCount] = "1";
    c[smt::feeder::kCellLength] = "1.6";
    c[smt::feeder::kCellWidth] = "0.8";
    c[smt::feeder::kCellSpeed] = "No/";
    std::string line;
    for (const auto& x : c) line += x + "\t";
    return line;
  };
  return {"1\tG\t", "G\t\t2\t", row("W1"), row("W2"), "0\t0\t0\t0\t0\t0\t", "0\t0\t0\t0\t0\t0\t"};
}

smt::job::ListRow PlacementRow(const std::string& feeder) {
  smt::job::ListRow r(16);
  r.cells[0] = "1";
  r.cells[1] = "5";
  r.cells[2] = "5";
  r.cells[3] = "0";
  r.cells[7] = "Yes";
  r.cells[smt::job::kSmtFeeder] = feeder;
  r.cells[smt::job::kSmtVision] = "No";
  return r;
}

class OperatorShell : public ShellTest {
 protected:
  CSMTView& StartView(int machineType = 0) {
    CMainFrame& f = Start();
    smt::CurrentMachine().machineType = machineType;
    view = f.view();
    // Two vision cameras in the camera table.
    f.Lists().cameraRows = smt::vision::ReadCameraRows({"Camera 1\t", "Camera 2\t"}, "config_camera.fig");
    auto lines = FeederLines();
    EXPECT_TRUE(view->m_pFeedList->LoadFromLines(lines));
    return *view;
  }
  // The feeder editor opened on row 0 as the list's edit command opens it.
  CDialogFeedEdit& EditRow0() {
    CDialogFeedList* list = view->m_pFeedList;
    list->m_nSelectedRow = 0;
    list->LoadEditFromRow(0);
    CDialogFeedEdit* e = list->Editor();
    e->OnInitDialog();
    return *e;
  }
  CSMTView* view = nullptr;
};

}  // namespace

TEST_F(OperatorShell, FeederEditorKeepsSideAndVisionAsTwoChoicesAndRewritesTheRowsThatUseTheFeeder) {
  CSMTView& v = StartView(2);
  v.m_pPartList->Job().placementRows = {PlacementRow("W1"), PlacementRow("W2")};
  CDialogFeedEdit& e = EditRow0();
  ASSERT_TRUE(e.SideButton(smt::feeder::kSideW)->isChecked());
  e.VisionButton(1)->click();
  EXPECT_TRUE(e.SideButton(smt::feeder::kSideW)->isChecked()) << "choosing vision must keep the side";
  e.SideButton(smt::feeder::kSideE)->click();
  EXPECT_TRUE(e.VisionButton(1)->isChecked()) << "choosing the side must keep the vision mode";
  e.SideButton(smt::feeder::kSideW)->click();
  e.Edit("value")->setText("4k7");
  e.OnOK();
  EXPECT_FALSE(e.checkFailed);
  EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().front();
  const auto& rows = v.m_pPartList->Job().placementRows;
  EXPECT_EQ(rows[0].Cell(smt::job::kSmtVision), "Yes");
  EXPECT_EQ(rows[0].Cell(11), "4k7");
  EXPECT_EQ(rows[1].Cell(11), "") << "a row of another feeder is left alone";
}

TEST_F(OperatorShell, FeederEditorUpdatesThePackageLibraryItselfAndTakesTheCameraPanelLight) {
  CSMTView& v = StartView();
  std::vector<std::string> packs = {"0603\t1.6\t0.8\t0.5\t1\t2\t3\t4\tCamera 1\tNo\tNo\t1\tNo\t\t\t集中飞达\t1\t200\t0\t0\t0\t0\t0\t0\t0\t0\t\t\t"};
  v.frame()->Lists().packRows = packs;
  smt::library::ThePackLibrary(smt::CurrentMachine()).LoadTable(packs);
  v.m_pSetView->m_Light_Contrast = 77;
  v.m_pSetView->m_Light_Brightness = 155;
  CDialogFeedEdit& e = EditRow0();
  e.Button("GetData")->click();
  EXPECT_EQ(e.Edit("contrast")->text(), "77");
  EXPECT_EQ(e.Edit("brightness")->text(), "155");
  e.Edit("length")->setText("2.5");
  e.OnUpdatePack();
  ASSERT_FALSE(smt::library::ThePackLibrary(smt::CurrentMachine()).m_PackRows.empty());
  const auto& row = smt::library::ThePackLibrary(smt::CurrentMachine()).m_PackRows[0];
  EXPECT_EQ(row[1], "2.5000") << "the package dialog shows the library's own rows";
  EXPECT_EQ(row[4], "77");
}

// Choosing a package in the feeder editor takes its values through the
// package row reader: a package whose line cannot be read is named (file,
// line, field) and nothing of it reaches the feeder's fields; a good one
// fills them.
TEST_F(OperatorShell, FeederEditorNamesAPackageLineThatCannotBeReadAndTakesNothingOfIt) {
  CSMTView& v = StartView();
  const std::vector<std::string> packs = {
      "0603\t1.6000\t0.8000\t0.5000\t11\t22\t3\t4\tCamera 1\tNo\tNo\t1\tNo\t\t\t集中飞达\t1\t200\t0\t0\t0\t0\t0\t0.0000\t0.0000\t0.0000\t\t\t",
      "0805\t2.0000\t1.2500\t0.6000\t33\t44\t5\t6\tCamera 1\tNo\tNo\t1\tNo\t\t\t集中飞达\t1\t200\t0\t0\t0\t0\t0\t-1e400\t0.0000\t0.0000\t\t\t"};
  v.frame()->Lists().packRows = packs;
  smt::library::ThePackLibrary(smt::CurrentMachine()).LoadTable(packs);
  CDialogFeedEdit& e = EditRow0();
  QComboBox* box = e.Combo("package");
  ASSERT_GE(box->findText("0805"), 0);
  const QString lengthBefore = e.Edit("length")->text();
  const QString contrastBefore = e.Edit("contrast")->text();
  box->setCurrentIndex(box->findText("0805"));
  emit box->textActivated("0805");
  ASSERT_FALSE(messages.service.Texts().empty());
  EXPECT_NE(messages.service.Texts().back().find("File \"config_pack.fig\", line 2, field \"pick height\": \"-1e400\""),
            std::string::npos)
      << messages.service.Texts().back();
  EXPECT_EQ(e.Edit("length")->text(), lengthBefore);
  EXPECT_EQ(e.Edit("contrast")->text(), contrastBefore);
  const size_t told = messages.service.Texts().size();
  box->setCurrentIndex(box->findText("0603"));
  emit box->textActivated("0603");
  EXPECT_EQ(messages.service.Texts().size(), told);
  EXPECT_EQ(e.Edit("length")->text(), "1.60");
  EXPECT_EQ(e.Edit("contrast")->text(), "11");
}

TEST_F(OperatorShell, FeederEditorOffersNozzlesAsHeadsWithAutomaticNozzleChange) {
  StartView(2);
  smt::run::SmtStrategy s = smt::run::Strategy(smt::CurrentMachine());
  s.m_AutoChangeNozzle = 1;
  smt::run::SetStrategy(smt::CurrentMachine(), s);
  CDialogFeedEdit& e = EditRow0();
  EXPECT_EQ(e.Combo("head")->count(), 6);
  s.m_AutoChangeNozzle = 0;
  smt::run::SetStrategy(smt::CurrentMachine(), s);
  CDialogFeedEdit& again = EditRow0();
  EXPECT_EQ(again.Combo("head")->count(), 2);
}

TEST_F(OperatorShell, PartEditorTakesPositionsFromTheShownBoardOriginAndSpeaksTheWindowLanguage) {
  CSMTView& v = StartView();
  auto pulse = *smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Pulse();
  pulse.m_X_Pulse = 100;
  pulse.m_Y_Pulse = 100;
  smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetPulse(pulse);
  auto& fields = v.m_pPartList->PcbEditor().Fields();
  fields.originX = 10;
  fields.originY = -5;
  smt::CurrentMachine().curX = 12345;
  smt::CurrentMachine().curY = -1500;
  CDialogPartEditSmt& editor = v.m_pPartList->SmtEditor();
  editor.OnTakeX();
  editor.OnTakeY();
  EXPECT_EQ(editor.Box(1005)->text(), "113.4501");
  EXPECT_EQ(editor.Box(1006)->text(), "-10.0001");
  smt::CurrentMachine().curX = 0;
  smt::CurrentMachine().curY = 0;
  // No board shown: the camera take refuses in the window's language.
  dir.Write("English.ini", "[PartListConfig]\nPartList.c_Message_06=No PCB found !\n");
  v.ReloadLanguage("English");
  editor.OnCameraX();
  ASSERT_FALSE(messages.service.Texts().empty());
  EXPECT_EQ(messages.service.Texts().back(), "No PCB found !");
}

TEST_F(OperatorShell, RunAnglesComeFromTheCameraTable) {
  CSMTView& v = StartView();
  v.m_pCameraList->m_Camera_first.Correction_A = 1.5;
  v.m_pCameraList->m_Camera_second.Correction_A = -0.25;
  ASSERT_TRUE(smt::run::Services(smt::CurrentMachine()).vision.connected());
  const auto [a1, a2] = smt::run::Services(smt::CurrentMachine()).vision->CameraAngleOffsets();
  EXPECT_DOUBLE_EQ(a1, 1.5);
  EXPECT_DOUBLE_EQ(a2, -0.25);
}

TEST_F(OperatorShell, CalibrationTasksSeeTheShownBoardsMarkValues) {
  CSMTView& v = StartView();
  auto& job = v.m_pPartList->Job();
  job.pcbs.Add("B1");
  smt::job::PcbRecord* rec = job.pcbs.Find("B1");
  ASSERT_NE(rec, nullptr);
  rec->m_dVisualZoom = 25;
  rec->m_dVisualBox = 3.5;
  rec->m_nLightContrast = 90;
  rec->m_nLightBrightness = 120;
  job.shownPcbName = "B1";
  ASSERT_TRUE(v.m_pCameraList->neighbours.connected());
  const BoardMarkView b = v.m_pCameraList->neighbours->BoardMark();
  EXPECT_DOUBLE_EQ(b.visualZoom, 25);
  EXPECT_DOUBLE_EQ(b.visualBox, 3.5);
  EXPECT_EQ(b.contrast, 90);
  EXPECT_EQ(b.brightness, 120);
}

TEST_F(OperatorShell, RecentJobsAreOfferedInTheFileMenuAcrossRestarts) {
  CSMTView& v = StartView();
  CMainFrame* f = v.frame();
  using smt::app::cmd::kFileMru1;
  EXPECT_FALSE(f->Action(kFileMru1)->isEnabled()) << "no job yet";
  const auto a = dir.path() / "a.smt";
  const auto b = dir.path() / "b.smt";
  ASSERT_TRUE(v.m_pDocument->OnSaveDocument(a));
  ASSERT_TRUE(v.m_pDocument->OnSaveDocument(b));
  EXPECT_TRUE(f->Action(kFileMru1)->isEnabled());
  EXPECT_TRUE(f->Action(kFileMru1)->text().endsWith(QString::fromStdString(b.string())));
  EXPECT_TRUE(f->Action(kFileMru1 + 1)->text().endsWith(QString::fromStdString(a.string())));
  EXPECT_FALSE(f->Action(kFileMru1 + 2)->isVisible());

  app->ExitInstance();
  smt::platform::ClearProfileCache();
  CMainFrame& again = Start();
  EXPECT_TRUE(again.Action(kFileMru1)->text().endsWith(QString::fromStdString(b.string())));
  // The second entry opens that job; a job that is gone leaves the list.
  again.Action(kFileMru1 + 1)->trigger();
  EXPECT_TRUE(again.StatusPaneText(1).contains("a.smt"));
  std::filesystem::remove(b);
  again.Action(kFileMru1 + 1)->trigger();  // a.smt is first now, b.smt second
  EXPECT_EQ(again.m_recent.Paths(), std::vector<std::string>{a.string()});
}

TEST_F(OperatorShell, PcbAndStrategyButtonsExplainThemselvesInTheStatusBar) {
  CSMTView& v = StartView();
  auto* bar = v.m_pPartList->findChild<CToolBarPartControl*>("c_370");
  ASSERT_NE(bar, nullptr);
  QAction* pcb = bar->Button(smt::job::kBtnPcbEdit);
  QAction* strategy = bar->Button(smt::job::kBtnStrategy);
  EXPECT_EQ(pcb->toolTip().toStdString(), "PCB板的操作");
  EXPECT_EQ(strategy->toolTip().toStdString(), "贴装方案");
  pcb->hover();
  EXPECT_EQ(v.frame()->StatusPaneText(0).toStdString(), "PCB板的操作方法");
  strategy->hover();
  EXPECT_EQ(v.frame()->StatusPaneText(0).toStdString(), "选择合适的贴装方案");
  bar->Button(smt::job::kBtnStart)->hover();
  EXPECT_TRUE(v.frame()->StatusPaneText(0).isEmpty());
}

TEST_F(OperatorShell, ListChoicesComeFromTheCommonDropDownLists) {
  for (const auto& file : smt::library::ListFiles())
    if (file.id == smt::library::ListFileId::DropDown) {
      smt::platform::ListFileContent c;
      if (file.hasLeading) c.leading = "";
      c.rows = {"R_A\tR_B\t", "Resistor\t", "0603\t", "0\t90\t"};
      smt::platform::WriteListFile(dir.path() / file.name, c);
    }
  CSMTView& v = StartView();
  QComboBox* names = v.m_pPartList->ChoiceCombo(1085);
  QComboBox* angles = v.m_pPartList->ChoiceCombo(1025);
  ASSERT_NE(names, nullptr);
  ASSERT_EQ(names->count(), 2);
  EXPECT_EQ(names->itemText(1).toStdString(), "R_B");
  EXPECT_EQ(angles->count(), 2);
}

// An angle of the drop-down lists that is no angle is named at start (file,
// line 4, the item), is offered by no angle box, and a save writes the
// angle line back as the file held it.
TEST_F(OperatorShell, AnAngleThatIsNoAngleIsNamedNotOfferedAndKept) {
  const std::vector<std::string> lists = {"R_A\t", "Resistor\t", "0603\t", "0\tninety\t180\t"};
  smt::platform::WriteListFile(dir.path() / "config_dropdown.fig", {std::nullopt, lists});
  CSMTView& v = StartView();
  bool told = false;
  for (const auto& t : messages.service.Texts())
    told = told || t.find("File \"config_dropdown.fig\", line 4, field \"angle 2\": \"ninety\"") != std::string::npos;
  EXPECT_TRUE(told) << ::testing::PrintToString(messages.service.Texts());
  QComboBox* angles = v.m_pPartList->ChoiceCombo(1025);
  ASSERT_NE(angles, nullptr);
  EXPECT_EQ(angles->count(), 2);
  EXPECT_EQ(angles->findText("ninety"), -1);
  ASSERT_TRUE(v.OnFileSave());
  EXPECT_EQ(smt::platform::ReadListFile(dir.path() / "config_dropdown.fig", false).rows, lists);
}

TEST_F(OperatorShell, FeederListMarksTheFeedersTheJobUsesAndOpensGroupsInThePartListsPlace) {
  CSMTView& v = StartView();
  v.frame()->show();
  v.m_pPartList->Job().placementRows = {PlacementRow("W2")};
  CDialogFeedList* list = v.m_pFeedList;
  list->OnShowSelected();
  EXPECT_EQ(list->ListRow(0).icon[0], 0);
  EXPECT_EQ(list->ListRow(1).icon[0], 7) << "W2 is used by the job";
  // Opening a group from the group manager shows the feeder list instead of the part list.
  v.OnShowPartList();
  ASSERT_TRUE(v.m_pPartList->isVisible());
  CDialogFeedGroup* groups = list->GroupManager();
  groups->OnInitDialog();
  groups->selectedItem = 0;
  groups->OnOpen();
  EXPECT_TRUE(list->isVisible());
  EXPECT_FALSE(v.m_pPartList->isVisible());
}

TEST_F(OperatorShell, CameraEditorLightReachesTheCameraPanel) {
  CSMTView& v = StartView();
  v.m_pCameraList->OnInitDialog();
  CDialogCameraEdit& editor = *v.m_pCameraList->m_pEditor;
  editor.panel = v.m_pSetView;
  editor.editContrast->setText("123");
  editor.OnContrastChange();
  EXPECT_EQ(v.m_pSetView->m_Light_Contrast, 123);
  editor.editBrightness->setText("45");
  editor.OnBrightnessChange();
  EXPECT_EQ(v.m_pSetView->m_Light_Brightness, 45);
  // Not connected: the panel says so, as when the brightness is typed there.
  ASSERT_FALSE(messages.service.Texts().empty());
  EXPECT_EQ(messages.service.Texts().back(), "Machine is not connection !");
}

// The camera editor is made the first time a camera is added or modified,
// not at start, and then opens on the chosen row and edits it as always.
TEST_F(OperatorShell, CameraEditorIsMadeOnFirstUseAndEditsTheChosenRow) {
  CSMTView& v = StartView();
  CDialogCameraList& list = *v.m_pCameraList;
  EXPECT_FALSE(list.m_pEditor.Built());
  smt::CurrentMachine().camera.highSpeedCamera = 0;
  smt::CurrentMachine().camera.visionMode = 0;
  list.OnInitDialog();
  std::string shownName;
  QString shownX;
  double typedX = 0;
  list.runEditor = [&](CDialogCameraEdit& e) {
    shownName = e.editName->text().toStdString();
    shownX = e.editX->text();
    e.editX->setText(QString::number(typedX));
    e.editZoom->setText("10");
    e.editSize->setText("4");
    e.editContrast->setText("90");
    e.editBrightness->setText("30");
    e.editCollect->setText("100");
    e.OnOK();
    return e.result();
  };
  const int before = list.m_Table.Count();
  typedX = 12.5;
  list.OnAddCamera();
  EXPECT_TRUE(list.m_pEditor.Built());
  ASSERT_EQ(list.m_Table.Count(), before + 1);
  const int row = before;
  const std::string name = list.m_Table.Row(row).Values().name;
  EXPECT_EQ(shownName, name);
  EXPECT_DOUBLE_EQ(list.m_Table.Row(row).Values().x, 12.5);
  // Modifying shows that row's values and takes the typed ones.
  typedX = -3.25;
  list.OnListClick(row);
  list.OnModifyCamera();
  EXPECT_EQ(shownName, name);
  EXPECT_DOUBLE_EQ(shownX.toDouble(), 12.5);
  EXPECT_DOUBLE_EQ(list.m_Table.Row(row).Values().x, -3.25);
  EXPECT_EQ(list.list->item(row, 0)->text().toStdString(), name);
}

TEST_F(OperatorShell, ImportedPartsAreMatchedWithTheFeederListsFeeders) {
  CSMTView& v = StartView();
  auto& job = v.m_pPartList->Job();
  job.pcbs.Add("B1");
  job.pcbs.m_strCurPcbName = "B1";
  // A PADS.318 file of two 0603 parts; the feeder list holds W1 and W2 with package 0603.
  const auto file = dir.path() / "a.318";
  dir.Write("a.318", "R1 0603 9 1 90\r\nC1 0603 10 3 0\r\n");
  bool opened = false;
  QTimer::singleShot(0, [&] {
    auto* d = qobject_cast<CDialogImportFile*>(QApplication::activeModalWidget());
    if (!d) {
      if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) other->reject();
      return;
    }
    opened = true;
    d->FormatBox()->setCurrentIndex(16);
    d->SetOptions({1, 0});  // the operator asks for feeders by package
    d->OpenFiles({file.string()});
    d->OnImportAllToProject();
    d->reject();
  });
  v.m_pPartList->PcbEditor().openImportDialog();
  ASSERT_TRUE(opened);
  const smt::job::PcbRecord* rec = job.pcbs.Find("B1");
  ASSERT_NE(rec, nullptr);
  ASSERT_EQ(rec->PartCount(), 2);
  EXPECT_EQ(smt::job::StoredPlacementCell(rec->m_Parts[0], smt::job::kSmtFeeder), "W1") << "the part takes the feeder of its package";
}
