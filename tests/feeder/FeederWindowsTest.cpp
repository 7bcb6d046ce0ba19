// The feeder windows under the offscreen platform: the list panel's
// commands, sorting and language switch, the editor's confirm, the group
// manager, the tray dialog and the automatic feeder dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include "core/Machine.h"
#include "core/MachineState.h"
#include "core/NameTables.h"
#include "feeder/AutoFeeders.h"
#include "feeder/CDialogAutoFeed.h"
#include "feeder/CDialogFeedEdit.h"
#include "feeder/CDialogFeedGroup.h"
#include "feeder/CDialogFeedList.h"
#include "feeder/CDialogGridBox.h"
#include "feeder/FeederServices.h"
#include "library/PackLibrary.h"
#include "support/QuietFeederServices.h"
#include "platform/MessageService.h"
#include "support/TempDir.h"

using namespace smt::feeder;

namespace {

std::string Line(const FeederRow& r) {
  std::string s;
  for (const auto& c : r) s += c + "\t";
  return s;
}

FeederCells Row(const std::string& number, const std::string& mode = "集中飞达") {
  FeederCells r;
  // Each cell its own number, in range for the cell (the file reader checks them).
  for (size_t c = 0; c < r.size(); ++c) r[c] = std::to_string(c);
  r[kCellHead] = "1";
  r[kCellPickHeight] = "-22";
  r[kCellPrecisionXY] = "7";
  r[0] = number;
  r[kCellCamera] = "Yes/Cam";
  r[kCellFly] = "No/1/2";
  r[kCellFeedMode] = mode;
  r[kCellSpeed] = "Yes/复位速度";
  return r;
}

std::vector<std::string> Lines(const std::vector<FeederRow>& rows) {
  std::vector<std::string> l = {"2\tMain\t", "Main\tfirst\t" + std::to_string(rows.size()) + "\t"};
  for (const auto& r : rows) l.push_back(Line(r));
  for (size_t i = 0; i < rows.size(); ++i) l.push_back("0\t0\t0\t0\t0\t0\t");
  l.push_back("Spare\t\t0\t");
  return l;
}

class FeederWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    smt::CurrentMachine().machineType = 3;
    smt::CurrentMachine().languageSet = 0;
    smt::CurrentMachine().connected = false;
    smt::CurrentMachine().machineBusy = false;
    quiet.emplace();
  }
  void TearDown() override {
    smt::CurrentMachine().machineType = 0;
    smt::CurrentMachine().connected = false;
    smt::CurrentMachine().resetDone = false;
    quiet.reset();
  }
  std::optional<smt::testing::QuietFeederServices> quiet;
  void Load(CDialogFeedList& p, const std::vector<FeederRow>& rows) {
    auto lines = Lines(rows);
    ASSERT_TRUE(p.LoadFromLines(lines));
  }
  std::vector<std::string> Numbers(CDialogFeedList& p) {
    std::vector<std::string> n;
    for (int r = 0; r < p.RowCount(); ++r) n.push_back(p.ListRow(r).text[0]);
    return n;
  }
  smt::platform::ScopedRecordingMessages messages;
};

QAction* Find(QMenu* m, const std::string& key) {
  return m->findChild<QAction*>(QString::fromStdString(key));
}

}  // namespace

TEST_F(FeederWindowsTest, SortingByNumberPutsSidesInOrderAndNumbersAscending) {
  CDialogFeedList p(smt::CurrentMachine());
  Load(p, {Row("W10"), Row("S1"), Row("N3"), Row("W9"), Row("G1"), Row("7"), Row("E2")});
  p.SortByColumn(0);
  EXPECT_EQ(Numbers(p), (std::vector<std::string>{"7", "E2", "S1", "W9", "W10", "N3", "G1"}));
  FeederCells a = Row("W1"), b = Row("W2");
  a[kCellX] = "2.5";
  b[kCellX] = "10";
  a[kCellType] = "b";
  b[kCellType] = "B";
  EXPECT_LT(CDialogFeedList::CompareFeeders(FeederRow(a), FeederRow(b), kCellX), 0);
  EXPECT_GT(CDialogFeedList::CompareFeeders(FeederRow(a), FeederRow(b), kCellType), 0);
  CDialogFeedList empty(smt::CurrentMachine());
  empty.SortByColumn(0);
  EXPECT_EQ(empty.RowCount(), 0);
}

TEST_F(FeederWindowsTest, PasteNumbersAfterTheHighestOfTheSideAndTheGroupFollowsTheSource) {
  CDialogFeedList p(smt::CurrentMachine());
  Load(p, {Row("W1"), Row("W3"), Row("W7")});
  p.List()->selectRow(1);
  p.OnCopyFeeder();
  p.List()->selectRow(0);
  p.OnPasteFeeder();
  EXPECT_EQ(Numbers(p), (std::vector<std::string>{"W8", "W1", "W3", "W7"}));
  const auto g = *p.Table().CurrentGroup();
  ASSERT_EQ(g.RowCount(), 4);
  EXPECT_EQ(g.rows[2].Cell(0), "W8");
  EXPECT_EQ(g.rows[2].Cell(kCellCamera), "Yes/Cam");
  EXPECT_EQ(p.ListRow(0).icon[kCellCamera], 1);
  // Without a selection the paste goes to the end; the buffer stays.
  p.List()->clearSelection();
  p.OnPasteFeeder();
  EXPECT_EQ(Numbers(p).back(), "W9");
  CDialogFeedList q(smt::CurrentMachine());
  q.OnPasteFeeder();
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"请先复制料架 !"});
}

TEST_F(FeederWindowsTest, ClickTogglesTheMarkAndDeleteAsksBeforeCheckingTheSelection) {
  CDialogFeedList p(smt::CurrentMachine());
  Load(p, {Row("W1"), Row("W2")});
  p.List()->selectRow(0);
  p.OnClickRow();
  EXPECT_EQ(p.ListRow(0).icon[0], 6);
  p.OnClickRow();
  EXPECT_EQ(p.ListRow(0).icon[0], 0);
  quiet->partList.placementNumbers = {"W1"};
  p.OnShowSelected();
  EXPECT_EQ(p.ListRow(0).icon[0], 7);
  EXPECT_EQ(p.ListRow(1).icon[0], 0);
  p.OnClickRow();
  EXPECT_EQ(p.ListRow(0).icon[0], 7);

  p.List()->clearSelection();
  messages.service.QueueAnswer(smt::platform::MsgAnswer::Yes);
  p.OnDeleteFeeder();
  EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{"是否删除选择行 ?", "请选择行 !"}));
  messages.service.Clear();
  p.List()->selectRow(1);
  messages.service.QueueAnswer(smt::platform::MsgAnswer::No);
  p.OnDeleteFeeder();
  EXPECT_EQ(p.RowCount(), 2);
  messages.service.QueueAnswer(smt::platform::MsgAnswer::Yes);
  p.OnDeleteFeeder();
  EXPECT_EQ(Numbers(p), std::vector<std::string>{"W1"});
  EXPECT_EQ(p.Table().CurrentRowCount(), 1);
}

// Without a chosen row the menu still opens, with nothing in the way of
// "add feeder": no message, the row's entries greyed.
TEST_F(FeederWindowsTest, RightClickWithoutSelectionOffersAddAndGreysTheRowItems) {
  CDialogFeedList p(smt::CurrentMachine());
  Load(p, {Row("W1")});
  p.OnRightClick();
  EXPECT_TRUE(messages.service.Texts().empty()) << messages.service.Texts().front();
  std::unique_ptr<QMenu> m(p.BuildPopupMenu(nullptr));
  EXPECT_TRUE(Find(m.get(), "FeedList.c_FeedAdd")->isEnabled());
  for (const char* k : {"FeedList.c_FeedEdit", "FeedList.c_FeedDelete", "FeedList.c_FeedCopy", "FeedList.c_FeedPaste",
                        "FeedList.c_Nozzle1ToFeedTest", "FeedList.c_CameraToFeedTest", "FeedList.c_FeedTest"})
    EXPECT_FALSE(Find(m.get(), k)->isEnabled()) << k;
  // A four-head machine with a row selected: nozzles 5-8 and heads 5-8 greyed.
  p.List()->selectRow(0);
  p.OnRightClick();
  std::unique_ptr<QMenu> m2(p.BuildPopupMenu(nullptr));
  EXPECT_TRUE(Find(m2.get(), "FeedList.c_Nozzle4ToFeedTest")->isEnabled());
  EXPECT_FALSE(Find(m2.get(), "FeedList.c_Nozzle5ToFeedTest")->isEnabled());
  EXPECT_FALSE(Find(m2.get(), "FeedList.c_Nozzle5PickToCamera2")->isEnabled());
  EXPECT_FALSE(Find(m2.get(), "FeedList.c_CameraToFeedHoleTest")->isEnabled());
  EXPECT_FALSE(Find(m2.get(), "FeedList.c_FeedPaste")->isEnabled());
}

TEST_F(FeederWindowsTest, AddingAndEditingGoThroughTheEditorFields) {
  CDialogFeedList p(smt::CurrentMachine());
  Load(p, {Row("W1")});
  p.runEditor = [&] {
    FeederEditFields f;
    f.number = 5;
    f.side = kSideE;
    f.feedMode = "振动飞达";
    f.head = "2";
    f.camera = "Cam2";
    f.visionMode = 1;
    p.Editor()->fields = f;
    return true;
  };
  p.OnAddFeeder();
  EXPECT_EQ(Numbers(p), (std::vector<std::string>{"W1", "E5"}));
  ASSERT_EQ(p.Table().CurrentRowCount(), 2);
  EXPECT_EQ(p.Table().CurrentRow(1)->Cell(kCellCamera), "Yes/Cam2");
  EXPECT_EQ(p.m_nSelectedRow, -1);
  // Editing the first row keeps it matched by number.
  p.List()->selectRow(0);
  p.runEditor = [&] {
    EXPECT_EQ(p.Editor()->fields.number, 1);
    p.Editor()->fields.value = "10k";
    return true;
  };
  p.OnEditFeeder(true);
  EXPECT_TRUE(p.m_bEditInProgress);
  EXPECT_EQ(p.Table().CurrentRow(0)->Cell(kCellValue), "10k");
  // A list row whose number has no group row cannot be edited.
  auto lr = p.ListRow(0);
  lr.text[0] = "W99";
  p.SetListRow(0, lr);
  p.OnEditFeeder(false);
  EXPECT_EQ(messages.service.Texts().back(), "没找到对应的料架编号，请删除此料架重新创建 !");
}

TEST_F(FeederWindowsTest, LanguageSwitchTranslatesRowsButNotTheDippingModes) {
  const auto savedFeed = smt::CurrentMachine().names.feedTypeNames;
  const auto savedSpeed = smt::CurrentMachine().names.speedNames;
  const char* zh[9] = {"集中飞达", "自动飞达", "振动飞达", "托盘", "0402", "48", "拖针", "CL_浸渍站", "托盘_浸渍站"};
  const char* en[9] = {"IntegrationFeed", "AutoFeed", "VibrationFeed", "GridBox", "0402", "48", "DragHand", "CL_DIP", "GRID_DIP"};
  for (int m = 0; m < 9; ++m) {
    smt::CurrentMachine().names.feedTypeNames[static_cast<size_t>(m)] = zh[m];
    smt::CurrentMachine().names.feedTypeNames[static_cast<size_t>(9 + m)] = en[m];
    smt::CurrentMachine().names.feedTypeNames[static_cast<size_t>(18 + m)] = en[m];
  }
  CDialogFeedList p(smt::CurrentMachine());
  Load(p, {Row("W1"), Row("S2", "CL_浸渍站")});
  smt::CurrentMachine().languageSet = 1;
  p.LoadLanguage("/nonexistent", "English");
  EXPECT_EQ(p.ListRow(0).text[kCellFeedMode], "IntegrationFeed");
  EXPECT_EQ(p.ListRow(1).text[kCellFeedMode], "CL_浸渍站");
  EXPECT_EQ(p.Table().CurrentRow(0)->Cell(kCellFeedMode), "IntegrationFeed");
  EXPECT_EQ(p.Table().CurrentRow(0)->Cell(kCellSpeed), "Yes/Reset speed");
  smt::CurrentMachine().languageSet = 0;
  smt::CurrentMachine().names.feedTypeNames = savedFeed;
  smt::CurrentMachine().names.speedNames = savedSpeed;
}

TEST_F(FeederWindowsTest, TestsAreRefusedByTheGuardsAndWithoutARow) {
  CDialogFeedList p(smt::CurrentMachine());
  Load(p, {Row("W1")});
  p.m_nSelectedRow = 0;
  EXPECT_FALSE(p.StartTest(9));
  smt::CurrentMachine().connected = true;
  smt::CurrentMachine().resetDone = true;
  p.m_nSelectedRow = -1;
  EXPECT_FALSE(p.StartTest(9));
  EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{"Machine is not connection !", "请选择要测试的行 !"}));
  // The measurement refuses while a head is down.
  p.m_nSelectedRow = 0;
  smt::CurrentMachine().curZ[2] = -5;
  p.OnMeasureHeight();
  EXPECT_EQ(messages.service.Texts().back(), "Error E3 !");
  smt::CurrentMachine().curZ[2] = 0;
  EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
  // The pull-head test on an automatic feeder does nothing.
  auto lr = p.ListRow(0);
  lr.text[kCellFeedMode] = "自动飞达";
  p.SetListRow(0, lr);
  const size_t before = messages.service.Texts().size();
  p.OnTowbarToHole();
  EXPECT_EQ(messages.service.Texts().size(), before);
  EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
}

// The editor's angle box offers the drop-down angle items it is given (the
// lists read them once), in their order and spelling, and nothing else.
TEST_F(FeederWindowsTest, EditorAngleBoxOffersTheDropDownAngleItems) {
  for (const std::vector<std::string>& choices :
       {std::vector<std::string>{}, std::vector<std::string>{"0", "90.0", "-45", "180"}}) {
    quiet->neighbours.angleChoices = choices;
    CDialogFeedList p(smt::CurrentMachine());
    Load(p, {Row("W1")});
    CDialogFeedEdit* e = p.Editor();
    p.m_nSelectedRow = 0;
    p.LoadEditFromRow(0);
    e->OnInitDialog();
    std::vector<std::string> offered;
    for (int i = 0; i < e->Combo("angle")->count(); ++i) offered.push_back(e->Combo("angle")->itemText(i).toStdString());
    EXPECT_EQ(offered, choices);
  }
}

TEST_F(FeederWindowsTest, EditorConfirmChecksAndFeedModeChoices) {
  CDialogFeedList p(smt::CurrentMachine());
  Load(p, {Row("W1"), Row("W2")});
  CDialogFeedEdit* e = p.Editor();
  p.m_nSelectedRow = 0;
  p.LoadEditFromRow(0);
  e->fields.head = "1";
  e->fields.length = e->fields.width = 1;
  e->fields.pickHeight = 0;
  e->fields.precisionXY = e->fields.precisionA = e->fields.collectTime = 0;
  e->fields.feedCount = 1;
  e->fields.visionMode = 0;
  e->fields.separateSpeed = false;
  e->OnInitDialog();
  // Choosing an automatic feeder moves the side to S and sets the feed time.
  e->OnFeedModeSelected("自动飞达");
  EXPECT_TRUE(e->SideButton(kSideS)->isChecked());
  EXPECT_EQ(e->Edit("feedTime")->text(), "100");
  e->Combo("feedMode")->setCurrentText("自动飞达");
  e->Edit("number")->setText("97");
  e->OnOK();
  EXPECT_TRUE(e->checkFailed);
  EXPECT_EQ(messages.service.Texts().back(), "南面自动飞达不能超过96 !");
  // A duplicate number.
  e->OnFeedModeSelected("集中飞达");
  e->Combo("feedMode")->setCurrentText("集中飞达");
  EXPECT_TRUE(e->SideButton(kSideW)->isChecked());
  e->Edit("number")->setText("2");
  e->OnOK();
  EXPECT_EQ(messages.service.Texts().back(), "编号重复 !");
  // Store only: the list row takes the fields and the dialog stays open.
  e->Edit("number")->setText("1");
  e->Edit("value")->setText("4u7");
  e->storeOnly = true;
  e->OnOK();
  EXPECT_FALSE(e->checkFailed);
  EXPECT_FALSE(e->storeOnly);
  EXPECT_EQ(p.ListRow(0).text[kCellValue], "4u7");
  // A changed number refuses the tray and step buttons until confirmed.
  e->numberChanged = true;
  e->OnStepTest();
  EXPECT_EQ(messages.service.Texts().back(), "Please click the OK button and save it before opening it !");
}

// The group manager and the feeder editor are made the first time they are
// wanted; a group manager made after a language was loaded shows it, one made
// before follows later loads, and both are made once.
TEST_F(FeederWindowsTest, GroupManagerMadeOnFirstUseShowsTheLoadedLanguage) {
  smt::test::TempDir dir;
  dir.Write("English.ini", "[FeedGroupConfig]\r\nFeedGroup.c_FeedGroup=Feeder groups\r\n");
  dir.Write("German.ini", "[FeedGroupConfig]\r\nFeedGroup.c_FeedGroup=Zuführgruppen\r\n");
  for (const bool madeFirst : {false, true}) {
    SCOPED_TRACE(madeFirst ? "made before the language" : "made after the language");
    CDialogFeedList p(smt::CurrentMachine());
    if (madeFirst) {
      EXPECT_EQ(p.GroupManager()->windowTitle().toStdString(), "料架模组");
    }
    p.LoadLanguage(dir.str(), "English");
    CDialogFeedGroup* g = p.GroupManager();
    EXPECT_EQ(g->windowTitle().toStdString(), "Feeder groups");
    p.LoadLanguage(dir.str(), "German");
    EXPECT_EQ(p.GroupManager(), g);
    EXPECT_EQ(g->windowTitle().toStdString(), "Zuführgruppen");
    EXPECT_EQ(p.Editor(), p.Editor());
  }
}

TEST_F(FeederWindowsTest, GroupManagerKeepsNamesUniqueAndTheCurrentGroup) {
  CDialogFeedList p(smt::CurrentMachine());
  Load(p, {Row("W1")});
  CDialogFeedGroup* g = p.GroupManager();
  g->OnInitDialog();
  ASSERT_EQ(g->GroupList()->rowCount(), 2);
  g->OnAdd();
  g->NameBox()->setText("Main");
  g->OnAdd();
  g->NameBox()->setText("main");
  g->OnAdd();
  EXPECT_EQ(g->GroupList()->rowCount(), 3);
  g->OnItemClicked(0);
  EXPECT_TRUE(g->expanded);
  g->OnDelete();
  g->OnItemClicked(0);
  g->NameBox()->setText("Main");
  g->OnEdit();  // the same name on the same item
  g->OnItemClicked(0);
  g->NameBox()->setText("Copy");
  g->OnCopy();
  EXPECT_EQ(p.Table().GroupCount(), 4);
  EXPECT_EQ(p.Table().Groups()[3].RowCount(), 1);
  g->OnItemClicked(1);
  g->OnOpen();
  EXPECT_EQ(p.Table().CurrentName(), "Spare");
  EXPECT_EQ(p.RowCount(), 0);
  EXPECT_EQ(messages.service.Texts(),
            (std::vector<std::string>{"料架名称不能为空 !", "料架名称不能相同 !", "不能删除正在使用的料架组 !"}));
}

TEST_F(FeederWindowsTest, TrayDialogNumbersCellsAndStoresPresence) {
  CDialogFeedList p(smt::CurrentMachine());
  Load(p, {Row("G1", "托盘")});
  p.Table().AllocTrayGrid(3, 4);
  CDialogGridBox* t = p.Editor()->GridBox();
  t->OnInitDialog();
  EXPECT_EQ(t->Grid()->item(0, 1)->text(), "1");
  EXPECT_EQ(t->Grid()->item(2, 4)->text(), "12");
  t->OnCellClicked(0, 1);
  EXPECT_EQ(t->CellIcon(0, 1), 0);
  t->Edit("cols")->setText("5");
  t->OnSizeChanged();
  EXPECT_EQ(t->CellIcon(0, 1), 1);
  EXPECT_EQ(t->CountLabel()->text(), "元件数量为：15");
  // A cell chosen as move target is stored as used.
  smt::CurrentMachine().connected = true;
  smt::CurrentMachine().resetDone = true;
  EXPECT_EQ(t->OnCellRightClick(1, 0, nullptr), nullptr);
  std::unique_ptr<QMenu> m(t->OnCellRightClick(0, 2, nullptr));
  ASSERT_TRUE(m);
  EXPECT_EQ(t->CellIcon(0, 2), 2);
  t->OnOK();
  const TrayRecord w = p.Table().WorkTray();
  EXPECT_EQ(w.cols, 5);
  EXPECT_EQ(w.cells[1], "No/2");
  EXPECT_EQ(w.cells[0], "Yes/1");
  t->Edit("cols")->setText("0");
  t->OnOK();
  EXPECT_EQ(messages.service.Texts().back(), "请输入有效数据 !");
  // With the nozzle-1 item, cell (0, 1) is the origin itself.
  const auto target = CDialogGridBox::MoveTarget(smt::CurrentMachine(), 0, 1, 5, 5, 0, 0, 1);
  EXPECT_EQ(target, (std::pair<int32_t, int32_t>{0, 0}));
}

TEST_F(FeederWindowsTest, AutomaticFeederClicksNeedTheConnection) {
  AutoFeeders::Of(smt::CurrentMachine()).Reset();
  CDialogAutoFeed d(smt::CurrentMachine());
  d.OnInitDialog();
  d.OnGridClick(1, 3);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Machine is not connection !"});
  EXPECT_EQ(AutoFeeders::Of(smt::CurrentMachine()).Mask()[0], 0u);
  d.Edit("m_Feed_Times")->setText("1");
  d.Edit("m_TestLoop")->setText("0");
  EXPECT_FALSE(d.TryAccept());
  d.Edit("m_TestLoop")->setText("3");
  d.Check("m_bAutoFeed")->setChecked(true);
  EXPECT_TRUE(d.TryAccept());
  EXPECT_EQ(AutoFeeders::Of(smt::CurrentMachine()).Config().m_TestLoop, 3);
  EXPECT_EQ(AutoFeeders::Of(smt::CurrentMachine()).Config().m_bAutoFeed, 1);
  AutoFeeders::Of(smt::CurrentMachine()).Reset();
}

#include <filesystem>

#include "feeder/FeederShellWiring.h"

TEST_F(FeederWindowsTest, ShellWiringLoadsAtStartUpAndSavesBackWithoutLosingTheLines) {
  const auto dir = std::filesystem::temp_directory_path() / ("feeder-shell-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  CDialogFeedList p(smt::CurrentMachine());
  std::vector<std::string> frameLines = Lines({Row("W1"), Row("W2")});
  std::vector<std::function<void(const std::string&)>> steps;
  std::map<int, std::function<void(QWidget*)>> dialogs;
  FeederShellWiring w;
  w.initialUpdateSteps = &steps;
  w.registerDialog = [&](int id, std::function<void(QWidget*)> open) { dialogs[id] = std::move(open); };
  w.panel = [&] { return &p; };
  w.feedLines = [&] { return frameLines; };
  InstallFeederSubsystem(smt::CurrentMachine(), w);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(dialogs.count(32857), 1u);
  EXPECT_EQ(dialogs.count(33100), 1u);
  steps[0](dir.string());
  EXPECT_EQ(p.RowCount(), 2);
  EXPECT_FALSE(frameLines.empty());  // the frame keeps its lines
  p.Table().PasteRowAfter("W2", "W3");
  SaveFeederState(smt::CurrentMachine(), frameLines, dir.string());
  CDialogFeedList q(smt::CurrentMachine());
  auto copy = frameLines;
  ASSERT_TRUE(q.LoadFromLines(copy));
  EXPECT_EQ(q.Table().CurrentRowCount(), 3);
  EXPECT_TRUE(std::filesystem::exists(dir / "config.ini"));
  std::filesystem::remove_all(dir);
}

#include <chrono>
#include <thread>

#include "settings/SettingsStores.h"

TEST_F(FeederWindowsTest, FeedTestCountsTheQuantityDownOnlyAboveZero) {
  CDialogFeedList p(smt::CurrentMachine());
  FeederCells a = Row("Q1");  // an unknown side: the worker refuses and ends
  a[kCellQuantity] = "3";
  FeederCells b = Row("Q2");
  b[kCellQuantity] = "0";
  Load(p, {a, b});
  smt::CurrentMachine().connected = true;
  smt::CurrentMachine().resetDone = true;
  auto waitIdle = [] {
    for (int i = 0; i < 500 && smt::CurrentMachine().machineBusy.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return !smt::CurrentMachine().machineBusy.load();
  };
  p.m_nSelectedRow = 0;
  p.OnFeedTest();
  ASSERT_TRUE(waitIdle());
  EXPECT_EQ(p.ListRow(0).text[kCellQuantity], "2");
  EXPECT_EQ(p.Table().CurrentRow(0)->Cell(kCellQuantity), "2");
  p.m_nSelectedRow = 1;
  p.OnFeedTest();
  ASSERT_TRUE(waitIdle());
  EXPECT_EQ(p.ListRow(1).text[kCellQuantity], "0");
  EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{"FeedDirection No Find", "FeedDirection No Find"}));
}

TEST_F(FeederWindowsTest, PackageUpdateAndOriginShiftRewriteListAndGroup) {
  CDialogFeedList p(smt::CurrentMachine());
  FeederCells a = Row("W1");
  a[kCellPackage] = "0603";
  Load(p, {a, Row("W2")});
  // The package's values: every number 0 and every name "0" but these.
  smt::library::PackEditFields pack;
  pack.name = "0603";
  pack.length = 1.6;
  pack.width = pack.thickness = 0;
  pack.pickDelay = pack.placeDelay = 0;
  pack.camera = pack.nozzle = pack.speedName = pack.recognition = "0";
  pack.visionMode = 1;
  pack.feedMode = "振动飞达";
  pack.pickHeight = -1.25;
  std::array<bool, 11> passOn;
  passOn.fill(true);
  std::vector<std::string> updated;
  quiet->partList.onUpdateRows = [&](const std::string& o, const std::string&, int vision, const std::string&,
                                     const std::string&) { updated.push_back(o + ":" + std::to_string(vision)); };
  p.UpdateRowsFromPackage(pack, passOn);
  EXPECT_EQ(p.ListRow(0).text[kCellLength], "1.60");
  EXPECT_EQ(p.ListRow(0).text[kCellFeedMode], "振动飞达");
  EXPECT_EQ(p.Table().CurrentRow(0)->Cell(kCellPickHeight), "-1.2500");
  EXPECT_EQ(p.ListRow(1).text[kCellLength], "6");
  EXPECT_EQ(updated, std::vector<std::string>{"W1:1"});
  p.ShiftFeederPositions(1.5, -2);
  EXPECT_EQ(p.ListRow(1).text[kCellX], "5.5000");
  EXPECT_EQ(p.Table().CurrentRow(1)->Cell(kCellY), "3.0000");
}

TEST_F(FeederWindowsTest, EditorTeachButtonsTakeTheMachinePosition) {
  auto& store = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine;
  const auto savedPulse = *store.Pulse();
  const auto savedBasic = *store.Basic();
  smt::settings::PulseSettings pulse = savedPulse;
  pulse.m_X_Pulse = pulse.m_Y_Pulse = 1000;
  pulse.m_WestWalk_Pulse = 100;
  store.SetPulse(pulse);
  smt::settings::BasicSettings basic = savedBasic;
  basic.m_X_CameraToNozzle1 = 2;
  store.SetBasic(basic);
  CDialogFeedList p(smt::CurrentMachine());
  Load(p, {Row("W1")});
  CDialogFeedEdit* e = p.Editor();
  smt::CurrentMachine().curX = 12345;
  smt::CurrentMachine().curY = -12345;
  e->TeachX(false);
  e->TeachY(false);
  EXPECT_EQ(e->Edit("x")->text(), "12.3451");
  EXPECT_EQ(e->Edit("y")->text(), "-12.3451");
  e->TeachX(true);
  EXPECT_EQ(e->Edit("x")->text(), "14.3451");
  smt::CurrentMachine().curX = 0;
  e->TeachX(false);
  EXPECT_EQ(e->Edit("x")->text(), "0.0000");
  // The Z-axis choice asks first; No leaves the pick height.
  e->Edit("pickHeight")->setText("-1.0000");
  smt::CurrentMachine().curZ[0] = -2000;
  messages.service.QueueAnswer(smt::platform::MsgAnswer::No);
  e->TeachPickHeight(0);
  EXPECT_EQ(e->Edit("pickHeight")->text(), "-1.0000");
  smt::CurrentMachine().curZ[0] = 0;
  smt::CurrentMachine().curX = smt::CurrentMachine().curY = 0;
  store.SetPulse(savedPulse);
  store.SetBasic(savedBasic);
}

TEST_F(FeederWindowsTest, NextStoresTheRowAndMovesOnUntilTheLast) {
  CDialogFeedList p(smt::CurrentMachine());
  Load(p, {Row("W1"), Row("W2")});
  p.List()->selectRow(0);
  p.runEditor = [] { return false; };
  p.OnEditFeeder(true);
  CDialogFeedEdit* e = p.Editor();
  p.m_bEditInProgress = true;
  e->fields.head = "1";
  e->fields.length = e->fields.width = 1;
  e->fields.feedCount = 1;
  e->fields.pickHeight = 0;
  e->fields.precisionXY = e->fields.precisionA = e->fields.collectTime = 0;
  e->OnInitDialog();
  e->Edit("value")->setText("first");
  e->OnNext();
  EXPECT_EQ(p.Table().CurrentRow(0)->Cell(kCellValue), "first");
  EXPECT_EQ(p.m_nSelectedRow, 1);
  EXPECT_EQ(e->fields.number, 2);
  EXPECT_FALSE(e->Button("OK")->isEnabled());
  e->fields.feedCount = 1;
  e->fields.pickHeight = 0;
  e->fields.precisionXY = e->fields.precisionA = e->fields.collectTime = 0;
  e->ShowFields();
  e->OnNext();
  EXPECT_FALSE(p.m_bEditInProgress);
}

// Closing the program deletes the feeder list panel; its editor, which tells
// the panel when an edit ends, goes while the panel is still a panel.
TEST(FeederListPanel, EditorGoesBeforeThePanelItTellsIsTakenApart) {
  auto panel = std::make_unique<CDialogFeedList>(smt::CurrentMachine());
  CDialogFeedEdit* editor = panel->Editor();
  ASSERT_NE(editor, nullptr);
  bool panelWhole = false;
  QObject::connect(editor, &QObject::destroyed, [&](QObject* gone) {
    panelWhole = qobject_cast<CDialogFeedList*>(gone->parent()) != nullptr;
  });
  panel.reset();
  EXPECT_TRUE(panelWhole);
}

#include "link/LinkRuntime.h"

// The editor's jog pad drives the jog panel: held jogs of the axis the
// machine type and the lamp machine's platform name, the release, and the
// gear key.
TEST_F(FeederWindowsTest, EditorJogPadDrivesTheJogPanel) {
  struct Case {
    int type, platform;
    std::string button;
    int axis;
    bool positive;
  };
  const std::vector<Case> cases = {{3, 1, "X+", 0, true},  {3, 1, "Y-", 1, false}, {0, 1, "X-", 0, false},
                                   {4, 1, "Y+", 1, true},  {4, 2, "X-", 9, false}, {4, 2, "Y+", 12, true}};
  const int savedPlatform = smt::link::RuntimeOf(smt::CurrentMachine()).headGroup.load();
  CDialogFeedList p(smt::CurrentMachine());
  Load(p, {Row("W1")});
  CDialogFeedEdit* e = p.Editor();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button + " type " + std::to_string(c.type) + " platform " + std::to_string(c.platform));
    smt::CurrentMachine().machineType = c.type;
    smt::link::RuntimeOf(smt::CurrentMachine()).headGroup = c.platform;
    quiet->jog.jogs.clear();
    e->OnJogPressed(c.button);
    ASSERT_EQ(quiet->jog.jogs.size(), 1u);
    const auto& j = quiet->jog.jogs[0];
    EXPECT_EQ(j.axis, c.axis);
    EXPECT_EQ(j.positive, c.positive);
    EXPECT_TRUE(j.held);
    EXPECT_FALSE(j.bySteps);
  }
  EXPECT_EQ(quiet->jog.releases, 0);
  e->OnJogReleased();
  EXPECT_EQ(quiet->jog.releases, 1);
  e->OnJogPressed("Set");
  EXPECT_EQ(quiet->jog.gear, 1);
  EXPECT_TRUE(messages.service.Texts().empty());
  smt::link::RuntimeOf(smt::CurrentMachine()).headGroup = savedPlatform;
}

#include "library/PackLibrary.h"

// A package's values reach the feeders that use it; a value the feeder
// cannot hold (a tension or slack past -10000..10000 mm) leaves that feeder
// as it was, in the list and in the table, and names it.
TEST_F(FeederWindowsTest, APackageValueTheFeederCannotHoldLeavesThatFeederAsItWas) {
  struct Case {
    int slack, tension;
    bool taken;
  };
  const Case cases[] = {{15, 10000, true},  {15, -10000, true}, {0, 20, true},      {10000, 20, true},
                        {15, 10001, false}, {15, -10001, false}, {10001, 20, false}, {-10001, 20, false}};
  std::array<bool, 11> pass;
  pass.fill(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.slack) + " / " + std::to_string(c.tension));
    CDialogFeedList p(smt::CurrentMachine());
    FeederCells a = Row("W1");
    a[kCellPackage] = "0603";
    Load(p, {a, Row("W2")});
    const FeederRow before = *p.Table().CurrentRow(0);
    const FeederListRow listBefore = p.ListRow(0);
    messages.service.Clear();
    smt::library::PackEditFields v;
    v.name = "0603";
    v.length = 1.6;
    v.width = 0.8;
    v.thickness = 0.5;
    v.nozzle = "1";
    v.slackLength = c.slack;
    v.tensionLength = c.tension;
    p.UpdateRowsFromPackage(v, pass);
    const FeederRow after = *p.Table().CurrentRow(0);
    if (c.taken) {
      EXPECT_TRUE(messages.service.Texts().empty()) << ::testing::PrintToString(messages.service.Texts());
      EXPECT_EQ(after.Record().tension, c.tension);
      EXPECT_EQ(after.Record().slack, c.slack);
      EXPECT_EQ(p.ListRow(0).text[kCellTension], std::to_string(c.tension));
      EXPECT_EQ(after.Cell(kCellLength), "1.60");
    } else {
      ASSERT_EQ(messages.service.Texts().size(), 1u);
      const std::string said = messages.service.Texts()[0];
      EXPECT_NE(said.find("\"W1\""), std::string::npos) << said;
      EXPECT_NE(said.find(c.tension != 20 ? "tension length" : "slack length"), std::string::npos) << said;
      EXPECT_EQ(after, before) << "the table keeps the feeder";
      EXPECT_EQ(p.ListRow(0).text, listBefore.text) << "the list keeps the feeder";
    }
    EXPECT_EQ(p.Table().CurrentRow(1)->Cell(kCellLength), "6") << "a feeder of another package is not touched";
  }
}

// The position shift of the whole group: the ends of the pick-point range
// are taken; a shift that would put a feeder past them moves no feeder, in
// the list or the table, and says so.
TEST_F(FeederWindowsTest, AShiftPastThePickPointRangeMovesNoFeeder) {
  struct Case {
    double dx, dy;
    bool taken;
    const char* x;
    const char* y;  // W1's cells after a taken shift
  };
  const Case cases[] = {{9996, 0, true, "10000.0000", "5"},   {0, -10005, true, "4", "-10000.0000"},
                        {9996.0001, 0, false, "4", "5"},      {0, -10005.0001, false, "4", "5"},
                        {-10004, 9995, true, "-10000.0000", "10000.0000"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.dx) + ", " + std::to_string(c.dy));
    CDialogFeedList p(smt::CurrentMachine());
    FeederCells near = Row("W2");
    near[kCellX] = "4.0";  // the same point as W1, spelt otherwise
    near[kCellY] = "+5";
    Load(p, {Row("W1"), near});
    messages.service.Clear();
    EXPECT_EQ(p.ShiftFeederPositions(c.dx, c.dy), c.taken);
    EXPECT_EQ(messages.service.Texts().empty(), c.taken) << ::testing::PrintToString(messages.service.Texts());
    EXPECT_EQ(p.Table().CurrentRow(0)->Cell(kCellX), c.x);
    EXPECT_EQ(p.Table().CurrentRow(0)->Cell(kCellY), c.y);
    EXPECT_EQ(p.ListRow(0).text[kCellX], c.x);
    EXPECT_EQ(p.ListRow(0).text[kCellY], c.y);
    if (!c.taken) {
      EXPECT_EQ(p.ListRow(1).text[kCellX], "4.0") << "no feeder moved";
      EXPECT_EQ(p.Table().CurrentRow(1)->Cell(kCellY), "+5") << "no feeder moved";
    }
  }
}

// The copy buffer holds the feeder read whole: pasting after the source row
// changed still gives the feeder as it was copied, flags and all.
TEST_F(FeederWindowsTest, ThePastedFeederIsTheOneCopied) {
  CDialogFeedList p(smt::CurrentMachine());
  Load(p, {Row("W1"), Row("W2")});
  p.List()->selectRow(0);
  p.OnCopyFeeder();
  const FeederListRow copied = p.ListRow(0);
  FeederListRow changed = copied;
  changed.text[kCellValue] = "changed";
  p.SetListRow(0, changed);
  p.List()->clearSelection();
  p.OnPasteFeeder();
  int pasted = -1;
  for (int r = 0; r < p.RowCount(); ++r)
    if (p.ListRow(r).text[kCellNumber] == "W3") pasted = r;
  ASSERT_GE(pasted, 0) << ::testing::PrintToString(Numbers(p));
  FeederListRow expected = copied;
  expected.text[kCellNumber] = "W3";
  EXPECT_EQ(p.ListRow(pasted).text, expected.text);
  for (int c : {kCellCamera, kCellFly, kCellSpeed}) EXPECT_EQ(p.ListRow(pasted).icon[c], copied.icon[c]) << c;
}
