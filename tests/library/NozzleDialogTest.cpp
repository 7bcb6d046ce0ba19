// The nozzle library dialog and the seat editor without the machine.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "LibraryTestSupport.h"
#include "core/MachineState.h"
#include "library/CDialogNozzleEdit.h"
#include "library/CDialogNozzleList.h"
#include "platform/ListFile.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"

using namespace smt::library;

namespace {

class NozzleDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = librarytest::ScratchDir("nozzledlg");
    env.appDir = dir.string();
    env.frameRows = &frameRows;
    librarytest::ResetNozzleState();
    librarytest::UseScales(100, 100, 100);
    librarytest::UseStrategy(1, 1, 0);
    lib.ReadRows({{"1", "10.0000", "-20.0000", "-1.0000", "10.0000", "-20.0000", "-3.0000", "40", "A"},
                        {"2", "30.0000", "-20.0000", "-1.0000", "30.0000", "-20.0000", "-3.0000", "40", "B"}});
    smt::CurrentMachine().machineType = 2;
  }
  void TearDown() override {
    SetNozzleStrategySource(smt::CurrentMachine(), {});
    librarytest::ResetNozzleState();
    smt::CurrentMachine().machineType = 0;
  }
  // Rows copied from the first until there are `count`.
  void AddCopiesOfTheFirstRow(int count) {
    std::vector<NozzleRow> cells;
    for (const auto& r : lib.Rows()) cells.push_back(r.cells);
    while (static_cast<int>(cells.size()) < count) cells.push_back(cells[0]);
    lib.ReadRows(cells);
  }
  // An editor run that sets fields and confirms.
  std::function<bool(CDialogNozzleEdit&)> Confirm(std::map<std::string, std::string> values) {
    return [values](CDialogNozzleEdit& e) {
      for (const auto& [k, v] : values) e.Edit(k)->setText(QString::fromStdString(v));
      return e.TryAccept();
    };
  }
  std::filesystem::path dir;
  std::vector<std::string> frameRows;
  CDialogNozzleList::Environment env;
  NozzleLibrary lib;
  smt::platform::ScopedRecordingMessages messages;
};

}  // namespace

TEST_F(NozzleDialog, HeadChoicesFollowTheMachineType) {
  struct Case {
    int type;
    size_t heads;
  } cases[] = {{0, 1}, {1, 1}, {2, 2}, {5, 2}, {10, 2}, {3, 4}, {7, 8}, {8, 8}, {4, 0}, {6, 0}, {9, 0}};
  for (const auto& c : cases) {
    smt::CurrentMachine().machineType = c.type;
    CDialogNozzleList d(lib, smt::CurrentMachine(), env);
    EXPECT_EQ(static_cast<size_t>(d.HeadCombo()->count()), c.heads) << "type " << c.type;
  }
}

TEST_F(NozzleDialog, KeptNozzleOfTheStrategyShowsOnOpening) {
  librarytest::UseStrategy(1, 0, 1);
  CDialogNozzleList d(lib, smt::CurrentMachine(), env);
  EXPECT_EQ(d.HeadLabel(1)->text().toStdString(), "1");
  EXPECT_EQ(d.List()->item(0, 0)->data(Qt::UserRole).toInt(), 1) << "empty-seat icon";
  EXPECT_EQ(d.List()->item(1, 0)->data(Qt::UserRole).toInt(), 0);
  EXPECT_FALSE(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.HasNozzle(0));
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[0].load(), 1);
}

TEST_F(NozzleDialog, SixSeatLibraryOnlyModifiesAndOffersTheMenuForTheFirstSixRows) {
  librarytest::UseStrategy(1, 0, 0);
  AddCopiesOfTheFirstRow(8);
  CDialogNozzleList d(lib, smt::CurrentMachine(), env);
  EXPECT_FALSE(d.AddButton()->isEnabled());
  EXPECT_FALSE(d.DeleteButton()->isEnabled());
  EXPECT_FALSE(d.MagazineBox()->isEnabled());
  EXPECT_TRUE(d.DistanceEdit()->isEnabled());
  d.OnAdd();
  EXPECT_EQ(d.List()->rowCount(), 8);
  d.OnSelectRow(6);
  EXPECT_FALSE(d.SeatMenuAllowed());
  EXPECT_TRUE(messages.service.Texts().empty()) << "row 7 just gets no menu";
  d.OnSelectRow(5);
  EXPECT_TRUE(d.SeatMenuAllowed());
  d.OnSelectRow(-1);
  EXPECT_FALSE(d.SeatMenuAllowed());
  d.OnModify();
  EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{"请选择行 !", "请选择行 !"}));
}

TEST_F(NozzleDialog, AddAndModifyRebuildTheRowsAndOkStoresEverything) {
  CDialogNozzleList d(lib, smt::CurrentMachine(), env);
  d.runEditor = Confirm({{"number", "3"}, {"x", "50.12346"}, {"y", "-20"}, {"note", "C"}, {"vacuum", "35"}});
  d.OnAdd();
  ASSERT_EQ(lib.Count(), 3);
  const NozzleRow added{"3", "50.1235", "-20.0000", "0.0000", "50.1235", "-20.0000", "0.0000", "35", "C"};
  EXPECT_EQ(lib.Row(2).cells, added) << "entrance follows the seat as typed; formats";
  EXPECT_FALSE(lib.m_bSeatsDirty);
  d.OnSelectRow(0);
  d.runEditor = Confirm({{"x", "12"}, {"note", "A2"}});
  d.OnModify();
  EXPECT_EQ(lib.Row(0).cells[1], "12.0000");
  ASSERT_TRUE(lib.Record(0).has_value());
  EXPECT_EQ(lib.Record(0)->x, 12.0) << "the library keeps the modified row as read";
  EXPECT_TRUE(lib.m_bSeatsDirty);
  d.DistanceEdit()->setEnabled(true);
  d.DistanceEdit()->setText("0.5");
  EXPECT_FALSE(d.TryAccept());
  EXPECT_EQ(messages.service.Texts().back(), "“出入位置延伸”：请输入一个介于 1 和 100 之间的数。");
  EXPECT_FALSE(smt::platform::SettingsSection(smt::platform::ConfigPath(dir.string()), "NozzleListConfig")
                   .Has("m_Delay"))
      << "settings are not written when a value is out of range";
  d.DistanceEdit()->setText("25");
  d.DelayEdit()->setText("300");
  ASSERT_TRUE(d.TryAccept());
  EXPECT_EQ(frameRows, lib.BuildRowStrings());
  EXPECT_EQ(smt::platform::ReadListFile(dir / kNozzleFileName, false).rows, frameRows);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(0).nX, 1200) << "OK recomputes the seats";
  NozzleLibrary reread;
  reread.LoadConfig(dir.string());
  EXPECT_EQ(reread.Settings().m_Delay, 300);
}

// The change delay is taken while it is typed, but only as a whole number in
// 0..10000: anything else leaves the delay in use, and OK refuses the box by
// its label and range before the list file or the settings are written.
TEST_F(NozzleDialog, ADelayThatIsNoNumberInItsRangeIsNeverTaken) {
  auto s = lib.Settings();
  s.m_Delay = 250;
  lib.SetSettings(s);
  CDialogNozzleList d(lib, smt::CurrentMachine(), env);
  d.DistanceEdit()->setText("25");
  const auto nozzleFile = dir / kNozzleFileName;
  for (const char* text : {"ten", "12abc", "nan", "inf", "1e400", "-1", "10001", "2.5", "", "0x10", "99999999999"}) {
    SCOPED_TRACE(std::string("\"") + text + "\"");
    d.DelayEdit()->setText(QString::fromUtf8(text));
    EXPECT_EQ(lib.Settings().m_Delay, 250) << "taken while typed";
    messages.service.Clear();
    EXPECT_FALSE(d.TryAccept());
    ASSERT_EQ(messages.service.Texts().size(), 1u);
    EXPECT_NE(messages.service.Texts()[0].find("0 和 10000"), std::string::npos) << messages.service.Texts()[0];
    EXPECT_EQ(lib.Settings().m_Delay, 250);
    EXPECT_FALSE(std::filesystem::exists(nozzleFile)) << "the list was written";
    EXPECT_FALSE(smt::platform::SettingsSection(smt::platform::ConfigPath(dir.string()), "NozzleListConfig")
                     .Has("m_Delay"));
  }
  for (const char* text : {"0", "10000", " 300 "}) {
    d.DelayEdit()->setText(QString::fromUtf8(text));
    EXPECT_EQ(lib.Settings().m_Delay, std::stoi(text)) << text;
  }
  ASSERT_TRUE(d.TryAccept());
  NozzleLibrary reread;
  reread.LoadConfig(dir.string());
  EXPECT_EQ(reread.Settings().m_Delay, 300);
}

TEST_F(NozzleDialog, AddStopsAtNineteenSeatsAndDeleteLeavesSeatState) {
  AddCopiesOfTheFirstRow(kSeatCount);
  CDialogNozzleList d(lib, smt::CurrentMachine(), env);
  int runs = 0;
  d.runEditor = [&](CDialogNozzleEdit&) { return ++runs, true; };
  d.OnAdd();
  EXPECT_EQ(runs, 0);
  EXPECT_EQ(lib.Count(), kSeatCount);
  EXPECT_EQ(messages.service.Texts().size(), 1u);
  smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[0] = 2;
  d.OnSelectRow(1);
  d.OnDelete();
  EXPECT_EQ(lib.Count(), kSeatCount - 1);
  EXPECT_EQ(smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[0].load(), 2);
}

TEST_F(NozzleDialog, HeadStateAndColumnTextReachTheList) {
  CDialogNozzleList d(lib, smt::CurrentMachine(), env);
  d.List()->item(1, 0)->setText("7");
  d.SetHeadNozzleState(2, 1, true);
  EXPECT_EQ(d.List()->item(1, 0)->text().toStdString(), "2");
  EXPECT_EQ(d.List()->item(1, 0)->data(Qt::UserRole).toInt(), 1);
  EXPECT_EQ(d.HeadLabel(2)->text().toStdString(), "2");
  d.SetHeadNozzleState(2, 1, false);
  EXPECT_EQ(d.HeadLabel(2)->text().toStdString(), "0");
  EXPECT_EQ(d.List()->item(1, 0)->data(Qt::UserRole).toInt(), 0);
  d.SetHeadNozzleState(0, 40, true);  // out of range: nothing
  d.SetColumnValue(7, 55);
  EXPECT_EQ(d.ListRows()[0][7], "55");
  EXPECT_EQ(d.ListRows()[1][7], "55");
  EXPECT_EQ(d.Rows()[1].record->vacuum, 55);
  EXPECT_EQ(d.List()->item(1, 7)->text().toStdString(), "55");
  d.SetColumnValue(3, -2.5);
  EXPECT_EQ(d.ListRows()[0][3], "-2.5000");
  EXPECT_DOUBLE_EQ(d.Rows()[0].record->pickHeight, -2.5);
}

TEST_F(NozzleDialog, EditorRefusesInOrderAndKeepsItsOwnNumber) {
  NozzleEditFields f{2, "B", 30, -20, -1, 30, -20, -3, 40};
  CDialogNozzleEdit::Environment e;
  e.appDir = dir.string();
  e.numberTaken = [](int n) { return n == 1; };
  CDialogNozzleEdit d(f, smt::CurrentMachine(), e);
  d.Edit("number")->setText("1");
  EXPECT_FALSE(d.TryAccept());
  d.Edit("number")->setText("2");
  d.Edit("entranceX")->setText("31");
  messages.service.QueueAnswer(smt::platform::MsgAnswer::No);
  EXPECT_FALSE(d.TryAccept());
  d.Edit("note")->setText("");
  messages.service.QueueAnswer(smt::platform::MsgAnswer::Yes);
  EXPECT_FALSE(d.TryAccept());
  EXPECT_EQ(messages.service.Texts(),
            (std::vector<std::string>{"吸嘴座名称已存在，请修改 !", "吸嘴座X坐标不一致，确定吗 ?",
                                      "吸嘴座X坐标不一致，确定吗 ?", "吸嘴备注不能为空 !"}));
  d.Edit("note")->setText("B\tC");
  messages.service.QueueAnswer(smt::platform::MsgAnswer::Yes);
  ASSERT_TRUE(d.TryAccept());
  EXPECT_DOUBLE_EQ(f.entranceX, 31);
  EXPECT_EQ(f.note, "B C") << "a TAB cannot split the row";
}

TEST_F(NozzleDialog, EditorSeatFieldsFeedTheEntranceAndTheMagazineLocksIt) {
  NozzleEditFields f{1, "A", 10, -20, -1, 11, -21, -3, 40};
  CDialogNozzleEdit::Environment e;
  e.appDir = dir.string();
  {
    CDialogNozzleEdit d(f, smt::CurrentMachine(), e);
    EXPECT_EQ(d.Edit("entranceX")->text().toStdString(), "11.0000");
    d.Edit("y")->setText("-5.5");
    EXPECT_EQ(d.Edit("entranceY")->text().toStdString(), "-5.5");
  }
  e.nineteenSeat = true;
  CDialogNozzleEdit d(f, smt::CurrentMachine(), e);
  EXPECT_FALSE(d.Edit("entranceX")->isEnabled());
  EXPECT_EQ(d.Edit("entranceX")->text().toStdString(), "10.0000");
}

TEST_F(NozzleDialog, UnifyAsksAndWritesTheFieldIntoEveryRow) {
  NozzleEditFields f{1, "A", 10, -20, -1.5, 10, -20, -3, 40};
  std::vector<std::pair<int, double>> columns;
  CDialogNozzleEdit::Environment e;
  e.appDir = dir.string();
  e.setColumnValue = [&](int c, double v) { columns.emplace_back(c, v); };
  CDialogNozzleEdit d(f, smt::CurrentMachine(), e);
  messages.service.QueueAnswer(smt::platform::MsgAnswer::No);
  d.UnifyBox(CDialogNozzleEdit::Unify::PickHeight)->setChecked(true);
  messages.service.QueueAnswer(smt::platform::MsgAnswer::Yes);
  d.Edit("vacuum")->setText("45");
  d.UnifyBox(CDialogNozzleEdit::Unify::Vacuum)->setChecked(true);
  d.UnifyBox(CDialogNozzleEdit::Unify::Vacuum)->setChecked(false);  // clearing does nothing
  EXPECT_EQ(columns, (std::vector<std::pair<int, double>>{{7, 45.0}}));
  EXPECT_EQ(messages.service.Texts().size(), 2u);
}

TEST_F(NozzleDialog, ZCaptureAndToZRefuseOutsideTheTravel) {
  librarytest::UseBasic([](smt::settings::BasicSettings& b) { b.m_Z_Limit = -20; });
  librarytest::UseScales(100, 100, 1000);
  NozzleEditFields f{1, "A", 10, -20, -1, 10, -20, -3, 40};
  CDialogNozzleEdit::Environment e;
  e.appDir = dir.string();
  CDialogNozzleEdit d(f, smt::CurrentMachine(), e);
  smt::CurrentMachine().curZ[0] = -1;
  d.OnCapture(CDialogNozzleEdit::Capture::EntranceZ);
  EXPECT_EQ(d.Edit("entranceZ")->text().toStdString(), "-0.0011");
  smt::CurrentMachine().curZ[0] = 1;
  d.OnCapture(CDialogNozzleEdit::Capture::PickZ);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Z 位置错误 !"});
  EXPECT_EQ(d.Edit("pickHeight")->text().toStdString(), "-1.0000");
  d.Edit("entranceZ")->setText("0.5");
  EXPECT_FALSE(d.OnPad(CDialogNozzleEdit::Pad::ToZ, true));
  EXPECT_EQ(messages.service.Texts().back(), "该数值应为负数 !");
  smt::CurrentMachine().curZ[0] = 0;
}

// The "number already taken" check asks the rows the list keeps, read once
// when the list opened: a row whose other cells do not read still holds its
// number, a damaged number holds none, the row being modified does not
// count against itself, and what the widget shows plays no part.
TEST_F(NozzleDialog, NumberTakenAsksTheTypedRows) {
  std::vector<NozzleRow> cells;
  for (const auto& r : lib.Rows()) cells.push_back(r.cells);
  cells.push_back({" 003", "x", "-20.0000", "-1.0000", "50.0000", "-20.0000", "-3.0000", "40", "C"});
  cells.push_back({"4x", "70.0000", "-20.0000", "-1.0000", "70.0000", "-20.0000", "-3.0000", "40", "D"});
  lib.ReadRows(cells);
  CDialogNozzleList d(lib, smt::CurrentMachine(), env);
  ASSERT_EQ(d.Rows().size(), 4u);
  EXPECT_FALSE(d.Rows()[2].record.has_value());
  EXPECT_EQ(d.Rows()[2].number, 3);
  EXPECT_FALSE(d.Rows()[3].number.has_value());
  d.List()->item(1, 0)->setText("9");  // the widget's text is not the row
  struct Case {
    int selected;  // row being modified, -1 adding
    std::string number;
    bool taken;
  } cases[] = {{0, "2", true}, {0, "3", true}, {0, "1", false}, {0, "4", false}, {0, "9", false},
               {1, "2", false}, {-1, "1", true}, {-1, "3", true}, {-1, "5", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE("row " + std::to_string(c.selected) + " number " + c.number);
    bool refused = false;
    d.runEditor = [&](CDialogNozzleEdit& e) {
      e.Edit("number")->setText(QString::fromStdString(c.number));
      messages.service.Clear();
      const bool ok = e.TryAccept();
      refused = !ok && !messages.service.Texts().empty() && messages.service.Texts()[0] == "吸嘴座名称已存在，请修改 !";
      return false;  // the list stays as it is
    };
    if (c.selected >= 0) {
      d.OnSelectRow(c.selected);
      d.OnModify();
    } else {
      d.OnAdd();
    }
    EXPECT_EQ(refused, c.taken);
  }
  // A row holds the nozzle of its seat once a head reports it.
  d.SetHeadNozzleState(1, 3, true);
  EXPECT_EQ(d.Rows()[3].number, 4);
  EXPECT_EQ(d.List()->item(3, 0)->text().toStdString(), "4");
  // A damaged row is kept as read and named when it is opened.
  d.OnSelectRow(2);
  messages.service.Clear();
  d.OnModify();
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_NE(messages.service.Texts()[0].find("X"), std::string::npos) << messages.service.Texts()[0];
  EXPECT_EQ(d.ListRows()[2][1], "x");
}

// The library's rows reach the list as read (no second reading); a seat
// move on a row whose numbers did not read names the row's problem and
// starts nothing, whatever the machine's state.
TEST_F(NozzleDialog, SeatMoveOnADamagedRowNamesItsProblem) {
  lib.ReadRows({{"1", "10.0000", "-20.0000", "-1.0000", "10.0000", "-20.0000", "-3.0000", "40", "A"},
                {"2", "30.0000", "-20.0000", "-1.0000", "30.0000", "inf", "-3.0000", "40", "B"}});
  CDialogNozzleList d(lib, smt::CurrentMachine(), env);
  ASSERT_EQ(d.Rows().size(), 2u);
  EXPECT_EQ(d.Rows()[1].problem, lib.Row(1).problem);
  ASSERT_FALSE(d.Rows()[1].problem.empty());
  for (int op : {0, 1, 2, 3}) {
    SCOPED_TRACE(op);
    smt::CurrentMachine().machineBusy = false;
    messages.service.Clear();
    d.OnSelectRow(1);
    d.OnNozzleOp(op);
    EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{lib.Row(1).problem});
    EXPECT_FALSE(smt::CurrentMachine().machineBusy) << "nothing started";
  }
  EXPECT_NE(lib.Row(1).problem.find("entrance Y"), std::string::npos) << lib.Row(1).problem;
  EXPECT_NE(lib.Row(1).problem.find("line 2"), std::string::npos) << lib.Row(1).problem;
  // The good row goes on to the machine checks (off line here).
  messages.service.Clear();
  smt::CurrentMachine().connected = false;
  d.OnSelectRow(0);
  d.OnNozzleOp(1);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Machine is not connection !"});
}
