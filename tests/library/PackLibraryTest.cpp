// The package table, its translation and sort, the editor's checks and the
// library dialog's operations.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>

#include "LibraryTestSupport.h"
#include "library/CDialogPackEdit.h"
#include "library/CDialogPackList.h"
#include "library/PackEditChoices.h"
#include "library/PackLibrary.h"
#include "platform/ListFile.h"
#include "platform/MessageService.h"

using namespace smt::library;

namespace {

std::string Line(int fields, const std::string& prefix = "P") {
  std::string s;
  for (int i = 0; i < fields; ++i) s += prefix + std::to_string(i) + "\t";
  return s;
}

std::array<std::string, 27> FeedNames() {
  std::array<std::string, 27> n;
  const char* zh[9] = {"集中飞达", "自动飞达", "振动飞达", "托盘", "0402", "48", "拖针", "CL_浸渍站", "托盘_浸渍站"};
  const char* en[9] = {"IntegrationFeed", "AutoFeed", "VibrationFeed", "GridBox", "0402", "48", "DragHand",
                       "CL_DIP", "GRID_DIP"};
  for (int m = 0; m < 9; ++m) {
    n[m] = zh[m];
    n[9 + m] = en[m];
    n[18 + m] = en[m];
  }
  return n;
}

std::array<std::string, 24> SpeedNames() {
  std::array<std::string, 24> n;
  const char* zh[8] = {"复位速度", "手控速度", "取料速度", "贴装速度", "视觉对中速度", "视觉贴装速度", "自动换吸嘴速度", "取芯片速度1"};
  const char* en[8] = {"Reset", "Manual", "Pick", "Place", "VisionAlign", "VisionPlace", "NozzleChange", "ChipPick1"};
  for (int u = 0; u < 8; ++u) {
    n[u] = zh[u];
    n[8 + u] = en[u];
    n[16 + u] = en[u];
  }
  return n;
}

PackEditFields Package(const std::string& name) {
  PackEditFields f;
  f.name = name;
  f.length = 2;
  f.width = 1.25;
  f.thickness = 0.5;
  f.contrast = 120;
  f.brightness = 80;
  f.pickDelay = 10;
  f.placeDelay = 20;
  f.camera = "Visual_Camera_1";
  f.visionMode = 1;
  f.nozzle = "2";
  f.speedName = "贴装速度";
  f.recognition = "01:贴片电阻";
  f.feedMode = "集中飞达";
  f.feedCount = 1;
  f.feedTime = 200;
  f.pickHeight = -3.5;
  f.vacuumTest = 30;
  f.closeEarly = 0.5;
  return f;
}

}  // namespace

TEST(PackTable, FirstLineTabCountChoosesTheLayoutForEveryLine) {
  // Current layout: a later short line fills only its own cells.
  auto rows = BuildPackTable({Line(28), Line(17, "Q")});
  EXPECT_EQ(rows[0][27], "P27");
  EXPECT_EQ(rows[1][16], "Q16");
  EXPECT_EQ(rows[1][17], "");
  // Older layout: cells 6 and 7 are the delays' defaults and the rest shifts by two.
  rows = BuildPackTable({Line(26), Line(30, "Q")});
  EXPECT_EQ(rows[0][5], "P5");
  EXPECT_EQ(rows[0][6], "50");
  EXPECT_EQ(rows[0][7], "25");
  EXPECT_EQ(rows[0][8], "P6");
  EXPECT_EQ(rows[0][27], "P25");
  EXPECT_EQ(rows[1][27], "Q25");  // further fields are dropped
  EXPECT_TRUE(BuildPackTable({}).empty());
}

// The package file's layouts are checked by the cells their fields fill:
// the 14- and 17-field rows end before the optional cells, the older layout
// (no delays) shifts every field after the brightness by two. A bad field
// is named by the cell it fills, on its own line; the other lines load.
TEST(PackTable, EveryLayoutIsCheckedByTheCellsItsFieldsFill) {
  const std::vector<std::string> sizes = {"0603", "1.6", "0.8", "0.45", "60", "80"};
  auto line = [](std::vector<std::string> fields) {
    std::string s;
    for (const auto& f : fields) s += f + "\t";
    return s;
  };
  auto fields = [&](size_t count, size_t at, const std::string& text) {
    std::vector<std::string> f = sizes;
    while (f.size() < count) f.push_back("0");
    f[at] = text;
    return f;
  };
  struct Case {
    const char* layout;
    size_t fieldCount;  // fields a line of the layout holds
    size_t at;          // the field made bad
    const char* field;  // what the refusal names ("" : taken)
  };
  const Case cases[] = {
      {"28 fields", 28, 1, "length"},        {"28 fields", 28, 16, "feed count"},
      {"28 fields", 28, 25, "close vacuum early"}, {"17 fields", 17, 6, "pick delay"},
      {"17 fields", 17, 16, "feed count"},   {"14 fields", 14, 11, "nozzle"},
      {"14 fields", 14, 8, ""},              // the camera is text
      {"older, 26 fields", 26, 5, "brightness"}, {"older, 26 fields", 26, 6, ""},  // fills the camera
      {"older, 26 fields", 26, 9, "nozzle"}, {"older, 26 fields", 26, 14, "feed count"},
      {"older, 26 fields", 26, 23, "close vacuum early"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.layout) + ", field " + std::to_string(c.at));
    const std::vector<std::string> lines = {line(fields(c.fieldCount, 0, "0603")),
                                            line(fields(c.fieldCount, c.at, "ten")),
                                            line(fields(c.fieldCount, 0, "SOT-23"))};
    const auto refused = CheckPackLines(lines);
    if (std::string(c.field).empty()) {
      EXPECT_TRUE(refused.empty()) << refused.front().what();
      continue;
    }
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].line(), 2);
    EXPECT_EQ(refused[0].field(), c.field);
    EXPECT_EQ(refused[0].text(), "ten");
    PackLibrary lib;
    EXPECT_EQ(lib.LoadTable(lines).size(), 1u);
    ASSERT_EQ(lib.m_PackRows.size(), 3u);
    EXPECT_NO_THROW(ReadPackFields(lib.m_PackRows[2].cells, 0));
  }
}

TEST(PackTable, NewPackageRowEndsWithThreeTabsAndKeepsReservedCells) {
  PackRow row;
  row[26] = "r26";
  WritePackFields(row, Package("0603"));
  EXPECT_EQ(row[26], "r26");
  row[26] = "";
  const std::string s = PackRowStrings({row})[0];
  EXPECT_EQ(std::count(s.begin(), s.end(), '\t'), 28);
  EXPECT_EQ(s.substr(s.size() - 9), "0.5000\t\t\t");
  EXPECT_EQ(row[9], "Yes");
  EXPECT_EQ(row[10], "No");
  EXPECT_EQ(row[1], "2.0000");
  EXPECT_EQ(row[16], "1");
}

TEST(PackTable, ReadingDropsVisionCentringOnTheDualPlatformMachine) {
  PackRow row;
  WritePackFields(row, Package("0603"));
  EXPECT_EQ(ReadPackFields(row, 2).visionMode, 1);
  EXPECT_EQ(ReadPackFields(row, 4).visionMode, 0);
  row[9] = "No";
  row[10] = "Yes";
  EXPECT_EQ(ReadPackFields(row, 4).visionMode, 2);
  // A number cell that holds no number is refused with its line and field.
  row[4] = "abc";
  try {
    ReadPackFields(row, 0, 3);
    ADD_FAILURE() << "\"abc\" read as a contrast";
  } catch (const smt::platform::FileCellError& e) {
    EXPECT_EQ(e.file(), "config_pack.fig");
    EXPECT_EQ(e.line(), 3);
    EXPECT_EQ(e.field(), "contrast");
    EXPECT_EQ(e.text(), "abc");
  }
}

TEST(PackTable, FeedModeAndSpeedNamesFollowTheLanguageButDippingModesStay) {
  PackRow row;
  row[15] = "集中飞达";
  row[13] = "贴装速度";
  TranslatePackRow(row, FeedNames(), SpeedNames(), 1);
  EXPECT_EQ(row[15], "IntegrationFeed");
  EXPECT_EQ(row[13], "Place");
  row[15] = "CL_浸渍站";
  row[13] = "own template";
  TranslatePackRow(row, FeedNames(), SpeedNames(), 1);
  EXPECT_EQ(row[15], "CL_浸渍站");
  EXPECT_EQ(row[13], "own template");
}

TEST(PackTable, SortIsByTextNotByNumber) {
  std::vector<PackRow> rows(3);
  rows[0][1] = "9.0000";
  rows[1][1] = "10.0000";
  rows[2][1] = "b";
  rows[0][0] = "x";
  SortPackRows(rows, 1);
  EXPECT_EQ(rows[0][1], "10.0000");
  EXPECT_EQ(rows[1][1], "9.0000");
  EXPECT_EQ(rows[2][1], "b");
}

TEST(PackFeederUpdate, AlwaysRewritesTheCoreCellsAndTheRestOnlyWhenTicked) {
  std::vector<std::string> feeder(30, "old");
  feeder[2] = "0603";
  PackFeederUpdate u{Package("0603"), {}};
  ASSERT_TRUE(ApplyPackToFeederRow(feeder, u));
  EXPECT_EQ(feeder[6], "2.00");
  EXPECT_EQ(feeder[12], "Yes/Visual_Camera_1");
  EXPECT_EQ(feeder[13], "No/120/80");
  EXPECT_EQ(feeder[23], "No/贴装速度");
  EXPECT_EQ(feeder[25], "01:贴片电阻");
  for (int c : {11, 14, 18, 19, 20, 21, 22, 24, 27, 28, 29}) EXPECT_EQ(feeder[c], "old") << c;
  u.pass.m_VacuumTestValue = 1;
  u.pass.m_NozzleHeight = 1;
  u.values.vacuumTest = 30.9;
  ApplyPackToFeederRow(feeder, u);
  EXPECT_EQ(feeder[11], "30");
  EXPECT_EQ(feeder[22], "-3.5000");
  std::vector<std::string> other(30, "old");
  other[2] = "0805";
  EXPECT_FALSE(ApplyPackToFeederRow(other, u));
  EXPECT_EQ(other[6], "old");
}

TEST(PackEditChoices, NozzlesAndFeedModesByMachineType) {
  EXPECT_EQ(NozzleChoices(3, true, false).size(), 6u);
  EXPECT_EQ(NozzleChoices(3, true, true).size(), 16u);
  EXPECT_EQ(NozzleChoices(3, false, true).size(), 4u);
  EXPECT_EQ(NozzleChoices(7, true, false).size(), 8u);
  EXPECT_TRUE(NozzleChoices(9, true, true).empty());
  std::array<std::string, 9> names;
  for (int m = 0; m < 9; ++m) names[m] = FeedNames()[m];
  EXPECT_EQ(FeedModesForMachine(0, names).size(), 9u);
  EXPECT_EQ(FeedModesForMachine(2, names).back(), "托盘_浸渍站");
  EXPECT_EQ(FeedModesForMachine(7, names).front(), "自动飞达");
  EXPECT_TRUE(FeedModesForMachine(9, names).empty());
  EXPECT_EQ(MatchEntry({"1", "2", "12"}, "12"), 2);
  EXPECT_EQ(MatchEntry({"1", "2", "6"}, "12"), -1);
  EXPECT_EQ(MatchEntry({"Mark_Camera", "Visual_Camera_1"}, "visual"), 1);
  EXPECT_EQ(MatchEntry({"a"}, ""), -1);
}

class PackDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = librarytest::ScratchDir("pack");
    env.appDir = dir.string();
    env.frameRows = &frameRows;
    env.feedModeNames = FeedNames();
    env.speedUseNames = SpeedNames();
    env.machineType = 2;
    env.editor.appDir = dir.string();
    env.editor.machineType = 2;
    env.editor.cameraNames = {"Visual_Camera_1", "Mark_Camera"};
    env.editor.speedNames = {"贴装速度"};
    for (int m = 0; m < 9; ++m) env.editor.feedModeNames[m] = FeedNames()[m];
    env.editor.xPulse = 100;
    env.editor.aPulse = 10;
    lib.m_PackRows.clear();
    for (const char* n : {"A", "B", "C"}) {
      PackRow r;
      WritePackFields(r, Package(n));
      lib.m_PackRows.push_back(r);
    }
    lib.m_nSelectedRow = 0;
  }
  std::filesystem::path dir;
  std::vector<std::string> frameRows;
  CDialogPackList::Environment env;
  PackLibrary lib;
  smt::platform::ScopedRecordingMessages messages;
};

TEST_F(PackDialogs, CurrentRowFollowsAddDeleteAndCopy) {
  lib.editor = Package("seed");
  CDialogPackList d(lib, env);
  d.runEditor = [](CDialogPackEdit& e) {
    e.Edit("name")->setText("D");
    return e.TryAccept();
  };
  d.OnPackAdd();
  ASSERT_EQ(lib.m_PackRows.size(), 4u);
  EXPECT_EQ(lib.m_PackRows[3][0], "D");
  EXPECT_EQ(d.CurrentRow(), -1);
  d.OnPackEdit();
  d.OnPackCopyToPaste();
  d.OnPackDelete();
  EXPECT_EQ(lib.m_PackRows.size(), 4u) << "nothing happens without a current row";
  d.OnListClick(1);
  d.OnPackDelete();
  ASSERT_EQ(lib.m_PackRows.size(), 3u);
  EXPECT_EQ(lib.m_PackRows[1][0], "C");
  EXPECT_EQ(d.CurrentRow(), 1) << "the following row becomes current";
  d.OnListClick(2);
  d.OnPackDelete();
  EXPECT_EQ(d.CurrentRow(), -1) << "deleting the last row leaves none";
  d.OnListClick(0);
  d.OnPackCopyToPaste();
  EXPECT_EQ(lib.m_PackRows.back()[0], "A");
  d.reject();
  EXPECT_TRUE(frameRows.empty()) << "Cancel writes nothing";
  EXPECT_FALSE(std::filesystem::exists(dir / kPackFileName));
}

TEST_F(PackDialogs, ModifyRefusesAnotherRowsNameAndPassesValuesToTheFeeders) {
  std::vector<PackFeederUpdate> updates;
  env.updateFeeders = [&](const PackFeederUpdate& u) { updates.push_back(u); };
  CDialogPackList d(lib, env);
  d.OnListClick(1);
  d.runEditor = [&](CDialogPackEdit& e) {
    e.Edit("name")->setText("A");
    EXPECT_FALSE(e.TryAccept());
    EXPECT_EQ(messages.service.Texts().back(), "元件封装已存在，请修改 !");
    e.Edit("name")->setText("a");  // letter case makes another name
    e.Check("m_SynchronousModify")->setChecked(true);
    return e.TryAccept();
  };
  d.OnPackEdit();
  EXPECT_EQ(lib.m_PackRows[1][0], "a");
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0].values.name, "a");
  ASSERT_TRUE(d.TryAccept());
  ASSERT_EQ(frameRows.size(), 3u);
  const auto file = smt::platform::ReadListFile(dir / kPackFileName, false);
  EXPECT_EQ(file.rows, frameRows);
}

TEST_F(PackDialogs, EditorChecksInOrder) {
  struct Case {
    const char* name;
    int type;
    std::function<void(CDialogPackEdit&)> change;
    const char* message;
  } cases[] = {
      {"length out of range", 2, [](CDialogPackEdit& e) { e.Edit("length")->setText("60"); },
       "“元度长度”：请输入一个介于 0.1 和 50 之间的数。"},
      {"not a number", 2, [](CDialogPackEdit& e) { e.Edit("contrast")->setText("x"); },
       "“视觉对比度”：请输入一个介于 0 和 255 之间的数。"},
      {"check box names the field", 2, [](CDialogPackEdit& e) { e.Edit("feedTime")->setText("10001"); },
       "“送料时间”：请输入一个介于 0 和 10000 之间的数。"},
      {"no feed mode on the drilling machine", 9, [](CDialogPackEdit&) {}, "请选择送料方式 !"},
      {"flying without camera", 2,
       [](CDialogPackEdit& e) {
         e.Combo("camera")->setCurrentIndex(-1);
         e.Radio(2)->setChecked(true);
       },
       "请选择相机 !"},
      {"no nozzle", 2, [](CDialogPackEdit& e) { e.Combo("nozzle")->setCurrentIndex(-1); }, "请选择吸嘴 !"},
      {"own speed without name", 2,
       [](CDialogPackEdit& e) {
         e.Combo("speed")->setCurrentIndex(-1);
         e.Check("ownSpeed")->setChecked(true);
       },
       "请选择速度 !"},
      {"no vision without camera is fine", 2,
       [](CDialogPackEdit& e) {
         e.Combo("camera")->setCurrentIndex(-1);
         e.Radio(0)->setChecked(true);
       },
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    messages.service.Clear();
    PackEditFields f = Package("X");
    auto e = env.editor;
    e.machineType = c.type;
    CDialogPackEdit dialog(f, e);
    c.change(dialog);
    EXPECT_EQ(dialog.TryAccept(), c.message == nullptr);
    if (c.message) {
      EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{c.message});
    }
  }
}

// The millimetres and degrees beside the precision boxes follow the typing,
// but only for a whole number in the box's range: anything else shows none.
TEST_F(PackDialogs, PrecisionDisplaysShowOnlyWholeNumbersInTheirRanges) {
  PackEditFields f = Package("X");
  auto e = env.editor;
  e.xPulse = 100;
  e.aPulse = 10;
  CDialogPackEdit d(f, e);
  struct C {
    const char* typed;
    const char* mm;   // precision XY (-1..10 steps)
    const char* deg;  // precision A (-1..30 steps)
  } cases[] = {
      {"5", "0.0500", "0.5000"},  {"10", "0.1000", "1.0000"}, {"-1", "-0.0100", "-0.1000"},
      {"30", "", "3.0000"},       {"11", "", "1.1000"},       {"31", "", ""},
      {"-2", "", ""},             {"ten", "", ""},            {"5abc", "", ""},
      {"nan", "", ""},            {"inf", "", ""},            {"1e400", "", ""},
      {"2.5", "", ""},            {"", "", ""},
  };
  for (const C& c : cases) {
    d.Edit("precisionXY")->setText(QString::fromUtf8(c.typed));
    d.Edit("precisionA")->setText(QString::fromUtf8(c.typed));
    EXPECT_EQ(d.MmDisplay()->text().toStdString(), c.mm) << c.typed;
    EXPECT_EQ(d.DegreeDisplay()->text().toStdString(), c.deg) << c.typed;
  }
}

TEST_F(PackDialogs, EditorOpensWithMatchingChoicesAndDisplays) {
  PackEditFields f = Package("X");
  f.recognition = "05:FootEdge1";  // stored in English, opened in Chinese
  f.precisionXY = 5;
  f.precisionA = -1;
  f.length = 0;
  auto e = env.editor;
  e.machineType = 3;
  e.autoChangeNozzle = true;
  e.nozzleNotes = {"n1", "big"};
  f.nozzle = "12";
  {
    CDialogPackEdit d(f, e);
    EXPECT_EQ(d.Combo("recognition")->currentText().toStdString(), "05:1面引脚");
    EXPECT_EQ(d.Combo("nozzle")->currentIndex(), -1);
    EXPECT_EQ(d.MmDisplay()->text().toStdString(), "0.0500");
    EXPECT_EQ(d.DegreeDisplay()->text().toStdString(), "");
    EXPECT_EQ(d.Edit("length")->text().toStdString(), "0.1000");
    d.Combo("nozzle")->setCurrentIndex(1);
    d.OnSelchangeNozzle();
    EXPECT_EQ(d.NoteDisplay()->text().toStdString(), "big");
    EXPECT_TRUE(d.TryAccept()) << "confirmed once a nozzle is chosen";
  }
  // The pass-on switches are written at OK but start cleared at every opening.
  f = Package("X");
  {
    CDialogPackEdit d(f, env.editor);
    d.Check("m_FeedTimes")->setChecked(true);
    d.Check("m_SynchronousModify")->setChecked(true);
    ASSERT_TRUE(d.TryAccept());
    EXPECT_EQ(d.Combo("recognition")->currentText().toStdString(), "01:贴片电阻");
  }
  EXPECT_EQ(LoadPackEditSwitches(dir.string()).m_FeedTimes, 1);
  CDialogPackEdit again(f, env.editor);
  EXPECT_FALSE(again.Check("m_FeedTimes")->isChecked());
  EXPECT_TRUE(again.Check("m_SynchronousModify")->isChecked());
}

TEST_F(PackDialogs, FeedModeChoiceSetsTheFeedFields) {
  PackEditFields f = Package("X");
  CDialogPackEdit d(f, env.editor);
  auto choose = [&](const std::string& name) {
    d.Combo("feedMode")->setCurrentIndex(d.Combo("feedMode")->findText(QString::fromStdString(name)));
    d.OnSelchangeFeedMode();
  };
  choose("自动飞达");
  EXPECT_FALSE(d.Edit("feedCount")->isEnabled());
  EXPECT_EQ(d.Edit("feedTime")->text().toStdString(), "100");
  choose("托盘");
  EXPECT_FALSE(d.Edit("feedTime")->isEnabled());
  choose("CL_浸渍站");  // dipping: unchanged
  EXPECT_FALSE(d.Edit("feedTime")->isEnabled());
  choose("集中飞达");
  EXPECT_TRUE(d.Edit("slack")->isEnabled());
  EXPECT_EQ(d.Edit("feedCount")->text().toStdString(), "1");
}

// The list holds each package as its record: what the widget happens to show
// is not read back, so the editor opens the record and an OK writes the
// row's own cells.
TEST_F(PackDialogs, EditorOpensTheHeldRecordNotTheShownText) {
  CDialogPackList d(lib, env);
  d.List()->item(1, 1)->setText("abc");
  d.OnListClick(1);
  bool ran = false;
  d.runEditor = [&](CDialogPackEdit&) {
    ran = true;
    return false;
  };
  d.OnPackEdit();
  EXPECT_TRUE(ran) << ::testing::PrintToString(messages.service.Texts());
  EXPECT_EQ(lib.editor.name, "B");
  EXPECT_DOUBLE_EQ(lib.editor.length, 2.0);
  ASSERT_TRUE(d.TryAccept());
  ASSERT_EQ(frameRows.size(), 3u);
  EXPECT_EQ(frameRows[1].find("abc"), std::string::npos) << frameRows[1];
}
