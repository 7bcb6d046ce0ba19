// The common drop-down lists' editing and storing, and the take-position
// arithmetic of the PCB editor and the part editors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "JobFixtures.h"
#include "core/MachineState.h"
#include "job/DropDownEditor.h"
#include "job/DropDownLists.h"
#include "job/TakePosition.h"
#include "platform/ListFile.h"
#include "platform/MessageService.h"

using namespace smt::job;
using smt::platform::MsgAnswer;

namespace {

class DropDownTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ed.panelBox = [this](int tab, const std::string& rm, const std::string& add) {
      log.push_back(std::to_string(tab) + ":" + rm + ">" + add);
    };
    ed.LoadListsFromArray({"R2\tC1\tR10\t", "电阻\t", "", "90\t0\tjunk"});
  }
  DropDownEditor ed;
  std::vector<std::string> log;
  smt::platform::ScopedRecordingMessages messages;
};

TEST_F(DropDownTest, ListsLoadSortedAndTextAfterTheLastTabIsIgnored) {
  EXPECT_EQ(ed.lists[0], (std::vector<std::string>{"C1", "R10", "R2"}));
  EXPECT_EQ(ed.lists[3], (std::vector<std::string>{"0", "90"}));
  EXPECT_TRUE(ed.lists[2].empty());
}

TEST_F(DropDownTest, AddGoesToTheTopAndReachesThePanelAtOnce) {
  ASSERT_TRUE(ed.Add("A9"));
  EXPECT_EQ(ed.lists[0].front(), "A9");
  EXPECT_FALSE(ed.Add("R10"));
  EXPECT_FALSE(ed.Add(""));
  EXPECT_EQ(messages.service.Texts(),
            (std::vector<std::string>{"列表中已存在添加项，请重新输入 !", "添加框中没有内容 !"}));
  EXPECT_EQ(log, (std::vector<std::string>{"0:>A9"}));
}

// 360 or more is not taken, without a message; an angle that is no number
// is refused with the list's name and the range (it would be offered as a
// placement angle and stored in the list file's angle line).
TEST_F(DropDownTest, AnglesOf360OrMoreAreRefusedSilentlyAndWordsWithTheirField) {
  ed.SetTab(DropDownEditor::kAngles);
  for (const char* a : {"360", "720"}) EXPECT_FALSE(ed.Add(a));
  for (const char* a : {"-90", "45"}) EXPECT_TRUE(ed.Add(a));
  EXPECT_TRUE(messages.service.Texts().empty());
  for (const char* a : {"abc", "12abc", "nan", "1e400"}) {
    EXPECT_FALSE(ed.Add(a)) << a;
    ASSERT_FALSE(messages.service.Texts().empty()) << a;
    EXPECT_NE(messages.service.Texts().back().find("元件角度"), std::string::npos) << messages.service.Texts().back();
    EXPECT_NE(messages.service.Texts().back().find("3600"), std::string::npos) << messages.service.Texts().back();
  }
  EXPECT_EQ(ed.lists[DropDownEditor::kAngles], (std::vector<std::string>{"45", "-90", "0", "90"}));
}

TEST_F(DropDownTest, ModifyRefusesItsOwnTextAndDeleteNeedsASelection) {
  ed.selected = 1;
  EXPECT_FALSE(ed.Modify("R10"));
  EXPECT_EQ(messages.service.Texts().back(), "元件名称重复，请修改 !");
  EXPECT_TRUE(ed.Modify("U7"));
  EXPECT_EQ(ed.lists[0][1], "U7");
  EXPECT_EQ(ed.selected, -1);
  EXPECT_FALSE(ed.Delete());
  EXPECT_EQ(messages.service.Texts().back(), "没有选定要删除的项 !");
  ed.selected = 0;
  EXPECT_TRUE(ed.Delete());
  EXPECT_EQ(log, (std::vector<std::string>{"0:R10>U7", "0:C1>"}));
}

TEST_F(DropDownTest, ImportNamesOnlyOnTheNamesTabAfterOk) {
  std::vector<ListRow> rows = {smt::job::testing::Placement(1, 0, 0, "0", "B5"), smt::job::testing::Placement(2, 0, 0, "0", "R2"),
                               smt::job::testing::Placement(3, 0, 0, "0", "")};
  ed.SetTab(DropDownEditor::kTypes);
  EXPECT_FALSE(ed.ImportNames(rows));
  ed.SetTab(DropDownEditor::kNames);
  messages.service.QueueAnswer(MsgAnswer::Cancel);
  EXPECT_FALSE(ed.ImportNames(rows));
  EXPECT_TRUE(ed.ImportNames(rows));
  EXPECT_EQ(ed.lists[0], (std::vector<std::string>{"B5", "C1", "R10", "R2"}));
}

TEST_F(DropDownTest, StoreWritesFourStringsEvenWhenEmpty) {
  const auto dir = smt::job::testing::TempDir("dropdown");
  DropDownEditor empty;
  ASSERT_TRUE(empty.Store(smt::CurrentMachine(), dir));
  auto c = smt::platform::ReadListFile(dir / "config_dropdown.fig", false);
  EXPECT_EQ(c.rows, (std::vector<std::string>{"", "", "", ""}));
  ASSERT_TRUE(ed.Store(smt::CurrentMachine(), dir));
  c = smt::platform::ReadListFile(dir / "config_dropdown.fig", false);
  EXPECT_EQ(c.rows[0], "C1\tR10\tR2\t");
  EXPECT_EQ(smt::job::DropDownLists(smt::CurrentMachine()), c.rows);
  EXPECT_FALSE(ed.Store(smt::CurrentMachine(), dir / "missing" / "deeper"));
  EXPECT_FALSE(messages.service.Texts().empty());
}

// The angle items are read once when the lists are set: the ones that are
// angles are offered with their values, the others stay in the text only.
TEST_F(DropDownTest, AngleItemsAreReadWhenTheListsAreSet) {
  struct Case {
    std::string angles;
    std::vector<DropDownAngleItem> items;
  } const cases[] = {
      {"", {}},
      {"0\t90.0\tninety\t4000\t-45\t1e2\t\t", {{"0", 0}, {"90.0", 90}, {"-45", -45}, {"1e2", 100}}},
      {"3600\t-3600\tnan\t", {{"3600", 3600}, {"-3600", -3600}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.angles);
    const std::vector<std::string> lists = {"R1\t", "", "", c.angles};
    SetDropDownLists(smt::CurrentMachine(), lists);
    EXPECT_EQ(DropDownLists(smt::CurrentMachine()), lists);
    EXPECT_EQ(DropDownAngleItems(smt::CurrentMachine()), c.items);
    std::vector<std::string> texts;
    for (const auto& i : c.items) texts.push_back(i.text);
    EXPECT_EQ(DropDownChoices(smt::CurrentMachine(), kDropDownAngles), texts);
    EXPECT_EQ(DropDownChoices(smt::CurrentMachine(), 0), std::vector<std::string>{"R1"});
  }
}

TEST(TakePositionTest, NudgedTexts) {
  EXPECT_EQ(NudgedText(3.14159), "3.1417");
  EXPECT_EQ(NudgedText(-2.5), "-2.5001");
  EXPECT_EQ(NudgedText(0), "0.0000");
  EXPECT_EQ(NudgedTextG(12.3456), "12.3457");
  EXPECT_EQ(NudgedTextG(113.45), "113.45");
}

TEST(TakePositionTest, EditorButtons) {
  // 12345 pulses at 100 per mm with origin X 10 mm: 113.45 shown as 113.4501.
  EXPECT_EQ(NudgedText(EditorTakeAxis(12345, 10.0, 100)), "113.4501");
  EXPECT_EQ(NudgedText(EditorTakeAxis(1000, 10.0, 100)), "0.0000");
  EXPECT_DOUBLE_EQ(EditorTakeCamera(1000, 10.0, 2.5, 100), 2.5);
  smt::CurrentMachine().curZ[1] = -300;
  smt::CurrentMachine().curZ[7] = -800;
  EXPECT_EQ(DispenseHeadZ(smt::CurrentMachine(), 0), 0);
  EXPECT_EQ(DispenseHeadZ(smt::CurrentMachine(), 2), -300);
  EXPECT_EQ(DispenseHeadZ(smt::CurrentMachine(), 8), -800);
  smt::CurrentMachine().curZ[1] = smt::CurrentMachine().curZ[7] = 0;
}

TEST(TakePositionTest, PcbEditorButtons) {
  EXPECT_EQ(NudgedText(PcbTakeValue(PcbTake::OriginX, 10000, 0, 1000, 0, 0)), "10.0001");
  EXPECT_EQ(NudgedText(PcbTakeValue(PcbTake::RowPitch, 5000, 3000, 100, 0, 0)), "20.0001");
  EXPECT_DOUBLE_EQ(PcbTakeValue(PcbTake::OriginCamX, 1000, 0, 100, 2.0, 0), 12.0);
  EXPECT_DOUBLE_EQ(PcbTakeValue(PcbTake::MarkCamY, 1000, 0, 100, 2.0, 5.0), 7.0);
  EXPECT_EQ(PcbMarkOffsetText(1000, 100, 2.0, 5.0, 6.5), "0.5000");
}

// The number "%0.4f" names, read back by the C library: what the rounding
// must give for every value, ties of the exact binary value included.
double FormattedRound4(double v) {
  char buf[512];
  std::snprintf(buf, sizeof buf, "%0.4f", v);
  return std::strtod(buf, nullptr);
}

bool SameDouble(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
}

TEST(TakePositionTest, FourDecimalRoundingIsTheFormattedValue) {
  // Exact binary ties (x.xxxx5 that a double holds exactly), values just
  // beside a tie, sign changes around zero, board-sized coordinates, step
  // quotients of the pulse scales an operator sets, and the far range.
  const std::vector<double> table = {
      0.0,       -0.0,         0.00005,       -0.00005,       0.00015,      0.000049999, -0.000049999,
      0.03125,   -0.03125,     0.15625,       1.00005,        2.50005,      -2.50005,    113.45,
      113.4501,  0.00025,      0.00035,       1.5 / 16,       -1.5 / 16,    3.14159,     9999.99995,
      -9999.99995, 12345.67895, 1e-300,       -1e-300,        123456789.00005, 0x1p39,  -0x1p39 + 0.5,
      0x1p39 - 0x1p-13, 0x1p52 + 1, 1e300,    -1e300,         std::numeric_limits<double>::infinity(),
      -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()};
  for (double v : table) EXPECT_TRUE(SameDouble(Round4(v), FormattedRound4(v))) << v;
  // Every pulse count of an axis over a few scales (pulses per mm as set).
  for (double perMm : {80.0, 100.0, 160.0, 200.0, 320.0, 400.0, 533.333, 1000.0, 1600.0, 3200.0})
    for (int32_t pos = -200000; pos <= 200000; pos += 37)
      ASSERT_TRUE(SameDouble(Round4(pos / perMm), FormattedRound4(pos / perMm))) << pos << " / " << perMm;
  // Values on a fine grid of hundred-thousandths, where ties sit.
  for (long long k = -3'000'000; k <= 3'000'000; k += 7) {
    const double v = static_cast<double>(k) / 100000.0 + (k % 3 == 0 ? 1e-13 : 0.0);
    ASSERT_TRUE(SameDouble(Round4(v), FormattedRound4(v))) << v;
  }
  // The take-position buttons' numbers are the numbers their texts show.
  for (int32_t pos : {-123457, -1, 0, 1, 5000, 12345, 987654})
    for (double perMm : {100.0, 533.333, 1000.0}) {
      EXPECT_TRUE(SameDouble(NudgedValue(pos / perMm), std::strtod(NudgedText(pos / perMm).c_str(), nullptr)));
      EXPECT_TRUE(SameDouble(PcbMarkOffset(pos, perMm, 2.5, 7.25, 6.12345),
                             std::strtod(PcbMarkOffsetText(pos, perMm, 2.5, 7.25, 6.12345).c_str(), nullptr)));
    }
}

}  // namespace
