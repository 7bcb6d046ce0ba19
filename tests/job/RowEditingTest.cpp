// Adding, modifying, deleting, copying and pasting rows of the three lists.
#include "PartListTestSupport.h"

using namespace smt::job;
using namespace smt::job::testing;
using smt::platform::MsgAnswer;

namespace {

class RowEditing : public PartListFixture {
 protected:
  void SetUp() override {
    PartListFixture::SetUp();
    PcbRecord rec;
    rec.m_strName = "B";
    job.pcbs.m_Records.push_back(rec);
    feeders = {Feeder("W1", "1k", "1"), Feeder("W3", "100nF", "2", "No/-", "Yes/-")};
    editors->editSmt = [this](SmtEditFields& f) {
      ++opened;
      if (fill) fill(f);
      return answer;
    };
    editors->editDis = [this](DisEditFields& f) {
      ++opened;
      if (fillDis) fillDis(f);
      return answer;
    };
    editors->editDrill = [this](DrillEditFields&) { return answer; };
    logic.view.Connect(editors);
  }
  std::shared_ptr<smt::testing::QuietPartListView> editors = std::make_shared<smt::testing::QuietPartListView>();
  std::function<void(SmtEditFields&)> fill;
  std::function<void(DisEditFields&)> fillDis;
  bool answer = true;
  int opened = 0;
};

TEST_F(RowEditing, AddInsertsAfterTheChosenRowAndWritesEveryCell) {
  Rows(5);
  logic.State(RowKind::Placement).testRow = 4;
  fill = [](SmtEditFields& f) {
    f.serial = 77;
    f.x = 12.5;
    f.y = 0;
    f.name = "U1";
    f.feeder = "W3-100nF";
    f.place = true;
    f.ownMark = true;
    f.markName = "M1";
  };
  logic.OnAdd(RowKind::Placement);
  ASSERT_EQ(job.placementRows.size(), 6u);
  const ListRow& r = job.placementRows[5];
  EXPECT_EQ(r.Cell(0), "77");
  EXPECT_EQ(r.Cell(1), "12.5");
  EXPECT_EQ(r.Cell(2), "0");
  EXPECT_EQ(r.Cell(9), "W3");
  EXPECT_EQ(r.Cell(11), "100nF");
  EXPECT_EQ(r.Cell(12), "2");
  EXPECT_EQ(r.Cell(10), "Yes");  // flying centring
  EXPECT_EQ(r.Cell(13), "2024-3-5  9:7:2");
  EXPECT_EQ(r.Cell(14), "M1");
  // The editor's fields are cleared after an add; the serial stays.
  EXPECT_EQ(logic.smtEdit.name, "");
  EXPECT_EQ(logic.smtEdit.serial, 77);

  logic.State(RowKind::Placement).testRow = -1;
  logic.OnAdd(RowKind::Placement);
  EXPECT_EQ(job.placementRows.size(), 7u);
}

TEST_F(RowEditing, AddingWithAMissingFeederWritesNothing) {
  fill = [](SmtEditFields& f) { f.feeder = "N9"; };
  logic.OnAdd(RowKind::Placement);
  EXPECT_TRUE(job.placementRows.empty());
  EXPECT_EQ(Texts(), (std::vector<std::string>{"1行料架号不存在 !"}));
  messages.service.Clear();
  feeders.clear();
  logic.OnAdd(RowKind::Placement);
  EXPECT_TRUE(job.placementRows.empty());
  EXPECT_EQ(Texts(), (std::vector<std::string>{"没有料架，请添加料架 !"}));
}

TEST_F(RowEditing, DispensingAddNeedsAPcbButDrillDoesNot) {
  job.pcbs.m_Records.clear();
  logic.OnAdd(RowKind::Dispense);
  EXPECT_EQ(Texts(), (std::vector<std::string>{kNoPcbFile}));
  EXPECT_TRUE(job.dispenseRows.empty());
  logic.OnAdd(RowKind::Drill);
  ASSERT_EQ(job.drillRows.size(), 1u);
  EXPECT_EQ(job.drillRows[0].Cell(6), "10");  // the editor's construction depth
  EXPECT_EQ(job.drillRows[0].Cell(13), "40");
}

TEST_F(RowEditing, LampMachineKeepsTenPlacementRows) {
  type = 4;
  int lampAdds = 0;
  std::vector<int> lampDeletes;
  logic.lampRowAdded = [&] { ++lampAdds; };
  logic.lampRowDeleted = [&](int k) { lampDeletes.push_back(k); };
  fill = [](SmtEditFields& f) { f.feeder = "W1-1k"; };
  Rows(9);
  logic.OnAdd(RowKind::Placement);
  EXPECT_EQ(job.placementRows.size(), 10u);
  EXPECT_EQ(lampAdds, 1);
  logic.OnAdd(RowKind::Placement);
  EXPECT_EQ(job.placementRows.size(), 10u);
  EXPECT_EQ(Texts().back(), kType4RowLimit);

  job.placementRows.resize(9);
  logic.Select(RowKind::Placement, 0, true);
  logic.Select(RowKind::Placement, 1, true);
  messages.service.QueueAnswer(MsgAnswer::Yes);
  logic.OnCopyPaste(RowKind::Placement);  // would make 11
  EXPECT_EQ(job.placementRows.size(), 9u);

  messages.service.QueueAnswer(MsgAnswer::Yes);
  logic.State(RowKind::Placement).testRow = 0;
  logic.OnDelete(RowKind::Placement);
  EXPECT_EQ(job.placementRows.size(), 7u);
  EXPECT_EQ(lampDeletes, (std::vector<int>{0, 0}));
}

TEST_F(RowEditing, PasteCopiesTheRowAsItIsAtPasteTime) {
  Rows(7);
  job.placementRows[5].SetImage(10, kImgVisionYes);
  logic.State(RowKind::Placement).testRow = 5;
  logic.OnCopy(RowKind::Placement);
  EXPECT_TRUE(logic.State(RowKind::Placement).copied);
  logic.State(RowKind::Placement).testRow = 2;
  logic.OnPaste(RowKind::Placement);
  ASSERT_EQ(job.placementRows.size(), 8u);
  EXPECT_EQ(job.placementRows[3], job.placementRows[6]);
  EXPECT_EQ(job.placementRows[3].Cell(4), "R6");
  EXPECT_FALSE(logic.State(RowKind::Placement).copied);
}

TEST_F(RowEditing, PasteOfADeletedCopyRowDoesNothing) {
  Rows(3);
  logic.State(RowKind::Placement).testRow = 2;
  logic.OnCopy(RowKind::Placement);
  logic.Select(RowKind::Placement, 1, true);
  logic.Select(RowKind::Placement, 2, true);
  messages.service.QueueAnswer(MsgAnswer::Yes);
  logic.OnDelete(RowKind::Placement);
  ASSERT_EQ(job.placementRows.size(), 1u);
  logic.State(RowKind::Placement).testRow = 0;
  logic.OnPaste(RowKind::Placement);
  EXPECT_EQ(job.placementRows.size(), 1u);
}

TEST_F(RowEditing, DeleteAsksAndNeedsAChosenRow) {
  Rows(3);
  logic.Select(RowKind::Placement, 1, true);
  messages.service.QueueAnswer(MsgAnswer::No);
  logic.OnDelete(RowKind::Placement);
  EXPECT_EQ(job.placementRows.size(), 3u);
  messages.service.QueueAnswer(MsgAnswer::Yes);
  logic.OnDelete(RowKind::Placement);
  EXPECT_EQ(job.placementRows.size(), 3u);
  EXPECT_EQ(Texts().back(), "请选择要删除的行 !");
}

TEST_F(RowEditing, SeveralPlacementRowsTakeOnlyTheChangedFieldsPlusTheOffset) {
  Rows(3);
  job.placementRows[0].cells[1] = "5";
  job.placementRows[2].cells[1] = "7.25";
  logic.State(RowKind::Placement).testRow = 0;
  logic.Select(RowKind::Placement, 0, true);
  logic.Select(RowKind::Placement, 2, true);
  fill = [](SmtEditFields& f) {
    f.changed = {};
    f.offsetX = 1.0;
  };
  logic.OnModify(RowKind::Placement);
  EXPECT_EQ(Column(RowKind::Placement, 1), (std::vector<std::string>{"6", "1", "8.25"}));
  EXPECT_EQ(Column(RowKind::Placement, 4), (std::vector<std::string>{"R1", "R2", "R3"}));

  fill = [](SmtEditFields& f) {
    f.changed = {};
    f.x = 10;
    f.changed[SmtEditFields::kX] = true;
    f.offsetX = 1.0;
    f.feeder = "W1-1k";
    f.changed[SmtEditFields::kFeeder] = true;
  };
  logic.OnModify(RowKind::Placement);
  EXPECT_EQ(Column(RowKind::Placement, 1), (std::vector<std::string>{"11", "1", "11"}));
  EXPECT_EQ(Column(RowKind::Placement, 9), (std::vector<std::string>{"W1", "W2", "W1"}));
  EXPECT_EQ(job.placementRows[2].Cell(11), "1k");
  EXPECT_EQ(job.placementRows[2].Cell(13), "2024-3-5  9:7:2");
}

TEST_F(RowEditing, OneRowModifyLoadsTheRowAndAddsTheOffsets) {
  feeders.push_back(Feeder("W2", "4k7"));
  Rows(2);
  logic.State(RowKind::Placement).testRow = 1;
  SmtEditFields seen;
  fill = [&](SmtEditFields& f) {
    seen = f;
    f.offsetX = 0.5;
    f.offsetY = -1;
  };
  logic.OnModify(RowKind::Placement);
  EXPECT_EQ(seen.name, "R2");
  EXPECT_EQ(seen.feeder, "W2-4k7");
  EXPECT_TRUE(seen.place);
  EXPECT_EQ(job.placementRows[1].Cell(1), "1.5");
  EXPECT_EQ(job.placementRows[1].Cell(2), "0");
  EXPECT_EQ(logic.smtEdit.name, "");  // cleared after the editor closed
}

// A placement number cell keeps its spelling while its value stays, and a
// cell that does not read keeps its text unless the operator sets it, for
// one row and for several.
TEST_F(RowEditing, PlacementModifyKeepsSpellingAndCellsThatDoNotRead) {
  struct Case {
    const char* what;
    bool several;
    std::function<void(SmtEditFields&)> edit;
    std::vector<std::string> x, y;  // cells 1 and 2 of the two rows after the OK
  };
  const Case cases[] = {
      {"one, untouched", false, [](SmtEditFields&) {}, {"25.40", "1e1"}, {"7abc", "-0.50"}},
      {"one, offsets", false, [](SmtEditFields& f) { f.offsetX = 1; f.offsetY = 2; }, {"26.4", "1e1"}, {"7abc", "-0.50"}},
      {"one, Y set", false, [](SmtEditFields& f) { f.y = 3; f.changed[SmtEditFields::kY] = true; }, {"25.40", "1e1"},
       {"3", "-0.50"}},
      {"several, untouched", true, [](SmtEditFields& f) { f.changed = {}; }, {"25.40", "1e1"}, {"7abc", "-0.50"}},
      {"several, offsets", true, [](SmtEditFields& f) { f.changed = {}; f.offsetX = 1; f.offsetY = 2; },
       {"26.4", "11"}, {"7abc", "1.5"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rows(2);
    job.placementRows[0].cells[1] = "25.40";
    job.placementRows[0].cells[2] = "7abc";
    job.placementRows[1].cells[1] = "1e1";
    job.placementRows[1].cells[2] = "-0.50";
    logic.State(RowKind::Placement).testRow = 0;
    logic.SelectOnly(RowKind::Placement, 0);
    if (c.several) logic.Select(RowKind::Placement, 1, true);
    fill = [&](SmtEditFields& f) {
      f.offsetX = f.offsetY = 0;  // the editor keeps its offsets from one OK to the next
      c.edit(f);
    };
    logic.OnModify(RowKind::Placement);
    EXPECT_EQ(Column(RowKind::Placement, 1), c.x);
    EXPECT_EQ(Column(RowKind::Placement, 2), c.y);
    EXPECT_EQ(job.placementRows[0].Cell(0), "1");
  }
}

TEST_F(RowEditing, CameraTrackingWarnsOnceAndMovesEveryTime) {
  Rows(1);
  int moves = 0;
  smt::settings::BasicSettings basic = *savedBasic;
  basic.m_bCameraTrackModify = 1;  // restored by the fixture
  smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetBasic(basic);
  editors->cameraTestForModify = [&] { ++moves; };
  logic.State(RowKind::Placement).testRow = 0;
  logic.OnModify(RowKind::Placement);
  logic.State(RowKind::Placement).testRow = 0;
  logic.OnModify(RowKind::Placement);
  EXPECT_EQ(moves, 2);
  int warnings = 0;
  for (const auto& t : Texts()) warnings += t.find("提示1次") != std::string::npos;
  EXPECT_LE(warnings, 1);
}

TEST_F(RowEditing, OneRowModifyLoadsEveryListsNumbersAndNoTextThatIsNoNumber) {
  // The editors load a row's numbers as the record reads them: a cell that
  // holds no number (or one no integer field holds) loads as 0, never as
  // the digits before the junk or a value cut into an int.
  Rows(1);
  job.placementRows[0].cells[0] = "12";
  job.placementRows[0].cells[1] = "25.40";
  job.placementRows[0].cells[2] = "7abc";
  job.placementRows[0].cells[3] = "90.0";
  SmtEditFields smt;
  fill = [&](SmtEditFields& f) { smt = f; };
  answer = false;
  logic.State(RowKind::Placement).testRow = 0;
  logic.OnModify(RowKind::Placement);
  EXPECT_EQ(smt.serial, 12);
  EXPECT_EQ(smt.x, 25.4);
  EXPECT_EQ(smt.y, 0);
  EXPECT_EQ(smt.angle, "90.0");

  job.dispenseRows.push_back(
      DispenseRowFromText("4\t1e2\t-2.5\tnan\tYes\t5.5\t3e999\t99999999999\t12abc\t+7\tnote\t"));
  DisEditFields dis;
  fillDis = [&](DisEditFields& f) { dis = f; };
  logic.State(RowKind::Dispense).testRow = 0;
  logic.SelectOnly(RowKind::Dispense, 0);
  logic.OnModify(RowKind::Dispense);
  EXPECT_EQ(dis.serial, 4);
  EXPECT_EQ(dis.x, 100);
  EXPECT_EQ(dis.y, -2.5);
  EXPECT_EQ(dis.z, 0);
  EXPECT_TRUE(dis.dispense);
  EXPECT_EQ(dis.valveOpen, 5.5);
  EXPECT_EQ(dis.valveClose, 0);
  EXPECT_EQ(dis.valveCloseDelay, 0);
  EXPECT_EQ(dis.bottomDelay, 0);
  EXPECT_EQ(dis.suckBack, 7);
  EXPECT_EQ(dis.note, "note");

  job.drillRows.push_back(DrillRowFromText("2\thole\t1.2\t0x10\t-4\t-1\t3\t0.5\t2\t1\t10\tinf\t20\t40\t\t"));
  DrillEditFields drill;
  editors->editDrill = [&](DrillEditFields& f) {
    drill = f;
    return false;
  };
  logic.State(RowKind::Drill).testRow = 0;
  logic.SelectOnly(RowKind::Drill, 0);
  logic.OnModify(RowKind::Drill);
  EXPECT_EQ(drill.serial, 2);
  EXPECT_EQ(drill.name, "hole");
  EXPECT_EQ(drill.diameter, 1.2);
  EXPECT_EQ(drill.x, 0);
  EXPECT_EQ(drill.y, -4);
  EXPECT_EQ(drill.z, -1);
  EXPECT_EQ(drill.depth, 3);
  EXPECT_EQ(drill.feed, 0.5);
  EXPECT_EQ(drill.liftHeight, 2);
  EXPECT_TRUE(drill.liftToTop);
  EXPECT_EQ(drill.feedStart, 10);
  EXPECT_EQ(drill.feedRun, 0);
  EXPECT_EQ(drill.liftStart, 20);
  EXPECT_EQ(drill.liftRun, 40);
}

TEST_F(RowEditing, OneRowModifyWritesOnlyWhatChangedAndKeepsCellsThatDoNotRead) {
  // Dispensing: X keeps its spelling, the damaged height stays as it was
  // (the offset does not turn it into a number), Y is set by the operator.
  const std::string dot = "3\t1.50\t2.0\tnan\tYes\t5.0\t10\t50\t50\t50\tn\t\t\t\t\t";
  struct DisCase {
    const char* what;
    std::function<void(DisEditFields&)> edit;
    std::string line;
  };
  const DisCase dis[] = {
      {"untouched", [](DisEditFields&) {}, dot},
      {"Y set, Z offset", [](DisEditFields& f) { f.y = 7.25; f.changed[2] = true; f.offsetZ = -1; },
       "3\t1.50\t7.25\tnan\tYes\t5.0\t10\t50\t50\t50\tn\t\t\t\t\t"},
      {"X offset", [](DisEditFields& f) { f.offsetX = 1; },
       "3\t2.5\t2.0\tnan\tYes\t5.0\t10\t50\t50\t50\tn\t\t\t\t\t"},
      {"Z set to 0", [](DisEditFields& f) { f.z = 0; f.changed[3] = true; },
       "3\t1.50\t2.0\t0\tYes\t5.0\t10\t50\t50\t50\tn\t\t\t\t\t"},
      {"valve open changed", [](DisEditFields& f) { f.valveOpen = 6; },
       "3\t1.50\t2.0\tnan\tYes\t6\t10\t50\t50\t50\tn\t\t\t\t\t"},
  };
  for (const auto& c : dis) {
    SCOPED_TRACE(c.what);
    job.dispenseRows = {DispenseRowFromText(dot)};
    DisEditFields shown;
    fillDis = [&](DisEditFields& f) {
      shown = f;
      c.edit(f);
    };
    logic.State(RowKind::Dispense).testRow = 0;
    logic.SelectOnly(RowKind::Dispense, 0);
    logic.OnModify(RowKind::Dispense);
    // The editor showed the row's record: the cell that does not read is 0.
    EXPECT_EQ(shown.serial, 3);
    EXPECT_EQ(shown.x, 1.5);
    EXPECT_EQ(shown.y, 2.0);
    EXPECT_EQ(shown.z, 0);
    EXPECT_EQ(shown.valveOpen, 5.0);
    EXPECT_EQ(job.StoreDispenseLines(), std::vector<std::string>{c.line});
    // The run still refuses the damaged row, naming the field.
    std::string refusal;
    DispensePointsOf(job.dispenseRows, refusal);
    EXPECT_EQ(refusal.find("Z") != std::string::npos, c.line.find("nan") != std::string::npos) << refusal;
  }

  // Drill: the damaged X stays; depth keeps "3.0" while the feed is changed.
  const std::string hole = "2\thole\t1.2\t0x10\t-4\t-1\t3.0\t0.5\t2\t1\t10\t30\t20\t40\t\t";
  DrillEditFields drillShown;
  editors->editDrill = [&](DrillEditFields& f) {
    drillShown = f;
    f.feed = 0.75;
    f.offsetX = 2;
    f.offsetY = 1;
    return true;
  };
  job.drillRows = {DrillRowFromText(hole)};
  logic.State(RowKind::Drill).testRow = 0;
  logic.SelectOnly(RowKind::Drill, 0);
  logic.OnModify(RowKind::Drill);
  EXPECT_EQ(drillShown.x, 0);
  EXPECT_EQ(drillShown.depth, 3.0);
  EXPECT_EQ(drillShown.feedRun, 30);
  EXPECT_EQ(job.StoreDrillLines(),
            std::vector<std::string>{"2\thole\t1.2\t0x10\t-3\t-1\t3.0\t0.75\t2\t1\t10\t30\t20\t40\t\t"});
}

TEST_F(RowEditing, SeveralDispensingRowsTakeOnlyTheTouchedCells) {
  for (int i = 0; i < 3; ++i) job.dispenseRows.push_back(DispenseRowFromText("1\t2\t3\t-1\tNo\t0\t0\t0\t0\t0\tn\t"));
  logic.State(RowKind::Dispense).testRow = 0;
  for (int i = 0; i < 3; ++i) logic.Select(RowKind::Dispense, i, true);
  fillDis = [](DisEditFields& f) {
    f.dispense = true;
    f.changed[4] = true;
  };
  logic.OnModify(RowKind::Dispense);
  for (const auto& r : job.dispenseRows) {
    EXPECT_EQ(r.Cell(4), "Yes");
    EXPECT_EQ(r.Image(4), kImgYes);
    EXPECT_EQ(r.Cell(1), "2");
    EXPECT_EQ(r.Cell(10), "n");
  }
  // Untouched editor in a several-row modify: no row changes.
  const auto before = job.dispenseRows;
  fillDis = nullptr;
  logic.OnModify(RowKind::Dispense);
  EXPECT_EQ(job.dispenseRows, before);
}

}  // namespace
