// The feeder editor's rules without the window: number text, list row form,
// confirm checks, feed-mode rules and the teach conversion.
#include <gtest/gtest.h>

#include "feeder/FeederEditFields.h"

using namespace smt::feeder;

namespace {
FeederEditFields Valid() {
  FeederEditFields f;
  f.number = 3;
  f.side = kSideW;
  f.length = f.width = 1;
  f.feedMode = "集中飞达";
  f.head = "1";
  f.slack = 15;
  f.tension = 20;
  return f;
}
}  // namespace

TEST(FeederEditChecks, SideAgainstFeedModeAndTheOtherRefusals) {
  const FeederNameTables n = BuiltInNameTables(0);
  struct Case {
    const char* name;
    void (*change)(FeederEditFields&);
    EditCheck outcome;
    int message;
  };
  const Case cases[] = {
      {"valid", [](FeederEditFields&) {}, EditCheck::Pass, 0},
      {"S auto 96", [](FeederEditFields& f) { f.side = kSideS; f.feedMode = "自动飞达"; f.number = 96; }, EditCheck::Pass, 0},
      {"S auto 97", [](FeederEditFields& f) { f.side = kSideS; f.feedMode = "自动飞达"; f.number = 97; }, EditCheck::Message, 12},
      {"S integration", [](FeederEditFields& f) { f.side = kSideS; }, EditCheck::Message, 11},
      {"W auto", [](FeederEditFields& f) { f.feedMode = "自动飞达"; }, EditCheck::Message, 13},
      {"E tray forced to G", [](FeederEditFields& f) { f.side = kSideE; f.feedMode = "托盘"; }, EditCheck::Pass, 0},
      {"G with integration", [](FeederEditFields& f) { f.side = kSideG; }, EditCheck::Message, 14},
      {"no side", [](FeederEditFields& f) { f.side = -1; }, EditCheck::Message, 2},
      {"camera missing", [](FeederEditFields& f) { f.visionMode = 2; }, EditCheck::Message, 3},
      {"speed missing", [](FeederEditFields& f) { f.separateSpeed = true; }, EditCheck::Message, 4},
      {"head missing", [](FeederEditFields& f) { f.head.clear(); }, EditCheck::Message, 5},
      {"duplicate", [](FeederEditFields& f) { f.number = 7; }, EditCheck::Message, 6},
  };
  for (const Case& c : cases) {
    FeederEditFields f = Valid();
    c.change(f);
    const EditCheckResult r = CheckFeederEdit(f, n, {"W1", "W7", "W3"}, 2);
    EXPECT_EQ(r.outcome, c.outcome) << c.name;
    EXPECT_EQ(r.messageNumber, c.message) << c.name;
  }
  // The edited row itself is not a duplicate; a new feeder (-1) is compared with all.
  FeederEditFields f = Valid();
  EXPECT_EQ(CheckFeederEdit(f, n, {"W3"}, 0).outcome, EditCheck::Pass);
  EXPECT_EQ(CheckFeederEdit(f, n, {"W3"}, -1).messageNumber, 6);
}

// An integrated or 0402 feeder without a slack length (0) gets 15, then one
// without a tension length gets 20, one per confirm and without a message;
// any other slack in 0..10000 is the operator's, and the drag modes keep 0.
TEST(FeederEditChecks, IntegrationAnd0402FillAMissingSlackThenTensionSilently) {
  const FeederNameTables n = BuiltInNameTables(0);
  for (int mode : {kIntegrationFeed, k0402}) {
    SCOPED_TRACE(mode);
    FeederEditFields f = Valid();
    f.feedMode = n.Mode(mode);
    f.slack = 0;
    f.tension = 0;
    EditCheckResult r = CheckFeederEdit(f, n, {}, -1);
    EXPECT_EQ(r.outcome, EditCheck::Filled);
    EXPECT_EQ(r.range.edit, "slack");
    EXPECT_EQ(f.slack, 15);
    EXPECT_EQ(f.tension, 0);
    r = CheckFeederEdit(f, n, {}, -1);
    EXPECT_EQ(r.outcome, EditCheck::Filled);
    EXPECT_EQ(r.range.edit, "tension");
    EXPECT_EQ(f.tension, 20);
    EXPECT_EQ(CheckFeederEdit(f, n, {}, -1).outcome, EditCheck::Pass);
    // A small slack is kept as it is.
    f.slack = 0.5;
    EXPECT_EQ(CheckFeederEdit(f, n, {}, -1).outcome, EditCheck::Pass);
    EXPECT_EQ(f.slack, 0.5);
  }
  FeederEditFields drag = Valid();
  drag.feedMode = n.Mode(k48);
  drag.slack = 0;
  drag.tension = 0;
  EXPECT_EQ(CheckFeederEdit(drag, n, {}, -1).outcome, EditCheck::Pass);
  EXPECT_EQ(drag.slack, 0);
}

// The slack's range is 0..10000; the tension (the drag Y of drag modes) may be negative.
TEST(FeederEditChecks, SlackRangeIsZeroToTenThousand) {
  FeederEditFields f = Valid();
  for (double v : {0.0, 10000.0}) {
    f.slack = v;
    EXPECT_FALSE(CheckFieldRanges(f).has_value()) << v;
  }
  for (double v : {-0.001, 10000.5}) {
    f.slack = v;
    const auto bad = CheckFieldRanges(f);
    ASSERT_TRUE(bad.has_value()) << v;
    EXPECT_EQ(bad->edit, "slack");
    EXPECT_EQ(bad->min, 0);
    EXPECT_EQ(bad->max, 10000);
  }
  f = Valid();
  f.tension = -25;
  EXPECT_FALSE(CheckFieldRanges(f).has_value());
}

// The pick point, the feed coordinate and the belt lengths take what the
// feeder table reads back: both ends are taken, a step past either end is
// refused naming the edit and its range.
TEST(FeederEditChecks, PositionAndLengthRangeEnds) {
  struct Case {
    const char* edit;
    double FeederEditFields::*field;
    double lo, hi;
  };
  const Case cases[] = {
      {"x", &FeederEditFields::x, -10000, 10000},
      {"y", &FeederEditFields::y, -10000, 10000},
      {"feedCoord", &FeederEditFields::feedCoord, -10000, 10000},
      {"slack", &FeederEditFields::slack, 0, 10000},
      {"tension", &FeederEditFields::tension, -10000, 10000},
      {"pickHeight", &FeederEditFields::pickHeight, -1000, 0},
  };
  for (const Case& c : cases) {
    for (double v : {c.lo, c.hi, (c.lo + c.hi) / 2}) {
      FeederEditFields f = Valid();
      f.*c.field = v;
      EXPECT_FALSE(CheckFieldRanges(f).has_value()) << c.edit << " " << v;
    }
    for (double v : {c.lo - 0.0001, c.hi + 0.0001, c.lo - 1e300, c.hi + 1e300}) {
      FeederEditFields f = Valid();
      f.*c.field = v;
      const auto bad = CheckFieldRanges(f);
      ASSERT_TRUE(bad.has_value()) << c.edit << " " << v;
      EXPECT_EQ(bad->edit, c.edit);
      EXPECT_EQ(bad->min, c.lo);
      EXPECT_EQ(bad->max, c.hi);
    }
  }
}

TEST(FeederEditFields, ListRowRoundTripAndNumberLetter) {
  const FeederNameTables n = BuiltInNameTables(0);
  FeederEditFields f = Valid();
  f.camera = "Cam";
  f.visionMode = 2;
  f.contrast = 12;
  f.brightness = 200;
  f.separateSpeed = true;
  f.speedTemplate = "贴装速度";
  f.x = 12.34567;
  const FeederListRow r = ListRowFromFields(f, n);
  EXPECT_EQ(r.text[0], "W3");
  EXPECT_EQ(r.text[4], "12.3457");
  EXPECT_EQ(r.text[13], "12/200");
  EXPECT_EQ(r.icon[12], 4);
  EXPECT_EQ(r.icon[13], 2);
  EXPECT_EQ(r.icon[23], 3);
  const FeederEditFields back = FieldsFromListRow(r);
  EXPECT_EQ(back.visionMode, 2);
  EXPECT_EQ(back.brightness, 200);
  EXPECT_TRUE(back.separateSpeed);
  EXPECT_EQ(back.side, kSideW);
  EXPECT_EQ(back.number, 3);
  f.feedMode = "托盘_浸渍站";
  EXPECT_EQ(FeederNumberText(f, n), "G3");
  f.side = 9;
  f.feedMode = "48";
  EXPECT_EQ(FeederNumberText(f, n), "3");
}

TEST(FeederEditRules, SidesAndControlsFollowTheFeedMode) {
  EXPECT_EQ(SideForFeedMode(kSideW, kAutoFeed), kSideS);
  EXPECT_EQ(SideForFeedMode(kSideS, kIntegrationFeed), kSideW);
  EXPECT_EQ(SideForFeedMode(kSideE, kIntegrationFeed), kSideE);
  EXPECT_EQ(SideForFeedMode(kSideG, kVibrationFeed), kSideE);
  EXPECT_EQ(SideForFeedMode(kSideN, kGridDip), kSideG);
  const FeederNameTables n = BuiltInNameTables(0);
  const FeedModeControls drag = ControlsForFeedMode("拖针", n, 0);
  EXPECT_TRUE(drag.dragLabels);
  EXPECT_EQ(drag.count, 0);
  const FeedModeControls tray10 = ControlsForFeedMode("托盘", n, 10);
  EXPECT_TRUE(tray10.pushButtonIsTray);
  EXPECT_EQ(tray10.slack, -1);
  EXPECT_FALSE(ControlsForFeedMode("nothing", n, 0).known);
  EXPECT_EQ(FeedModesForMachine(1).size(), 8u);
  EXPECT_TRUE(FeedModesForMachine(9).empty());
  EXPECT_EQ(HeadItemsForMachine(3, true, true).size(), 19u);
  EXPECT_EQ(HeadItemsForMachine(7, true, false).size(), 8u);
  EXPECT_TRUE(HeadItemsForMachine(9, true, true).empty());
}

TEST(FeederEditRules, TeachValueMovesAwayFromZeroAndRangesAreChecked) {
  EXPECT_DOUBLE_EQ(TeachValue(12345, 1000), 12.3451);
  EXPECT_DOUBLE_EQ(TeachValue(-12345, 1000), -12.3451);
  EXPECT_DOUBLE_EQ(TeachValue(0, 1000), 0.0);
  FeederEditFields f = Valid();
  EXPECT_FALSE(CheckFieldRanges(f).has_value());
  f.pickHeight = 0.5;
  ASSERT_TRUE(CheckFieldRanges(f).has_value());
  EXPECT_EQ(CheckFieldRanges(f)->field, "c_NozzleHeight");
  f = Valid();
  f.number = 0;
  EXPECT_EQ(CheckFieldRanges(f)->field, "c_FeedNumber");
}

#include "feeder/FeederEditorJog.h"

TEST(FeederEditorJog, ButtonsMakeTheirJogByMachineTypeAndSide) {
  EditorJogInput in;
  in.machineType = 3;
  in.zPulse = 1000;
  in.openLength = 30;
  in.closeLength = 45;
  in.liftPulse = 2;
  struct Case {
    const char* button;
    int type, zIndex;
    char side;
    EditorJog::Kind kind;
    int axis;
    bool positive;
    int32_t steps;
    int output;
  };
  using K = EditorJog::Kind;
  const Case cases[] = {
      {"X+", 3, 0, 'W', K::Continuous, 0, true, 0, 0},
      {"Y-", 3, 0, 'W', K::Continuous, 1, false, 0, 0},
      {"Z+", 3, 1, 'W', K::Continuous, 2, false, 0, 0},   // Z2 runs the shared axis the other way
      {"Z-", 3, 2, 'W', K::Continuous, 3, false, 0, 0},
      {"Z+", 7, 5, 'W', K::Continuous, 0x25, true, 0, 0},
      {"Lx+", 3, 0, 'N', K::Continuous, 9, true, 0, 6},
      {"Ly+", 3, 0, 'N', K::Steps, 12, true, 90, 0},
      {"Lx+", 3, 0, 'W', K::Steps, 11, false, 60, 0},
      {"Ly-", 3, 0, 'W', K::Continuous, 8, false, 0, 5},
      {"Lx-", 3, 0, 'E', K::Steps, 13, false, 60, 0},
      {"Ly+", 3, 0, 'S', K::None, 0, true, 0, 0},
      {"Set", 3, 0, 'W', K::SpeedGear, 0, true, 0, 0},
  };
  for (const Case& c : cases) {
    in.machineType = c.type;
    in.zIndex = c.zIndex;
    in.side = c.side;
    const EditorJog j = PlanEditorJog(c.button, in);
    EXPECT_EQ(j.kind, c.kind) << c.button << c.side;
    if (c.kind == K::None || c.kind == K::SpeedGear) continue;
    EXPECT_EQ(j.axis, c.axis) << c.button << c.side;
    EXPECT_EQ(j.positive, c.positive) << c.button << c.side;
    EXPECT_EQ(j.steps, c.steps) << c.button << c.side;
    EXPECT_EQ(j.outputOff, c.output) << c.button << c.side;
  }
  // To=Z: a pick height of 0 or above does nothing; else the difference to the current Z.
  in.machineType = 3;
  in.zIndex = 0;
  in.pickHeightMm = 0;
  EXPECT_EQ(PlanEditorJog("ToZ", in).kind, EditorJog::Kind::None);
  in.pickHeightMm = -2.5;
  in.currentZ = -1000;
  const EditorJog down = PlanEditorJog("ToZ", in);
  EXPECT_EQ(down.steps, 1500);
  EXPECT_FALSE(down.positive);
  in.zIndex = 3;  // Z4 reversed
  EXPECT_TRUE(PlanEditorJog("ToZ", in).positive);
  in.machineType = 4;
  in.platform = 2;
  EXPECT_EQ(PlanEditorJog("X-", in).axis, 9);
  EXPECT_EQ(PlanEditorJog("Y+", in).axis, 12);
}
