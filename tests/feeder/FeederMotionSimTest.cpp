// Feeder test motions and the feeder test worker against the simulated board
// over UDP loopback.
#include <gtest/gtest.h>

#include "core/Machine.h"
#include "feeder/AutoFeeders.h"
#include "feeder/FeederServices.h"
#include "support/QuietFeederServices.h"
#include "feeder/FeederTestMotions.h"
#include "feeder/FeederTestThread.h"
#include "link/MotionFixture.h"
#include "platform/SettingsSection.h"
#include "platform/WorkerThreads.h"
#include "settings/SettingsStores.h"

using namespace smt::feeder;

namespace {

int32_t LE32(const std::vector<uint8_t>& p, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(p[at + i]) << (8 * i);
  return static_cast<int32_t>(v);
}

struct Move {
  int32_t dx, dy;
  bool operator==(const Move&) const = default;
};

class FeederSimTest : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    UseUdp();
    auto& store = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine;
    savedBasic_ = *store.Basic();
    savedPulse_ = *store.Pulse();
    savedDetour_ = *store.Detour();
    smt::settings::PulseSettings p;
    p.m_X_Pulse = p.m_Y_Pulse = 100;
    p.m_Z_Pulse = 1000;
    p.m_A_Pulse = 10;
    p.m_WestWalk_Pulse = p.m_NorthWalk_Pulse = p.m_EastWalk_Pulse = 50;
    p.m_WestLift_Pulse = p.m_NorthLift_Pulse = p.m_EastLift_Pulse = 20;
    p.m_AutoWalk1_Pulse = 10;
    store.SetPulse(p);
    smt::settings::BasicSettings b;
    b.m_WestFeed_Limit = -10;
    b.m_EastFeed_Limit = -10;
    b.m_NorthFeed_Limit = 10;
    b.m_Z_Limit = -20;
    b.m_Z_Measurement = -5;
    b.m_Z_Nozzle1ToPCBHeight = -3;
    b.m_Z_Nozzle1ToFeed = -1;
    b.m_Z_Nozzle5ToFeed = -1.5;
    b.m_Z_Nozzle6ToFeed = -2;
    b.m_CommModel = 1;
    basic = b;
    store.SetBasic(b);
    store.SetDetour({});
    AutoFeeders::Of(smt::CurrentMachine()).Reset();
    quiet.emplace();
    sim->ClearReceived();
  }
  void TearDown() override {
    auto& store = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine;
    store.SetBasic(savedBasic_);
    store.SetPulse(savedPulse_);
    store.SetDetour(savedDetour_);
    AutoFeeders::Of(smt::CurrentMachine()).Reset();
    quiet.reset();
    MotionSimTest::TearDown();
  }
  void SetBasic(const std::function<void(smt::settings::BasicSettings&)>& f) {
    f(basic);
    smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetBasic(basic);
  }
  std::vector<Move> Moves64() {
    std::vector<Move> out;
    for (const auto& c : sim->Received())
      if (c.code == 0x64) out.push_back({LE32(c.payload, 4), LE32(c.payload, 12)});
    return out;
  }
  std::vector<smt::sim::ReceivedCommand> Of(uint16_t code) {
    std::vector<smt::sim::ReceivedCommand> out;
    for (const auto& c : sim->Received())
      if (c.code == code) out.push_back(c);
    return out;
  }
  static FeederCells Row(const std::string& number, double x, double y) {
    FeederCells r;
    r[kCellNumber] = number;
    r[kCellX] = smt::platform::FormatDouble(x, 4);
    r[kCellY] = smt::platform::FormatDouble(y, 4);
    r[kCellHead] = "1";
    r[kCellFeedMode] = "集中飞达";
    return r;
  }

  smt::settings::BasicSettings basic;
  std::optional<smt::testing::QuietFeederServices> quiet;

 private:
  smt::settings::BasicSettings savedBasic_;
  smt::settings::PulseSettings savedPulse_;
  smt::settings::DetourSettings savedDetour_;
};

}  // namespace

TEST_F(FeederSimTest, StartInsideTheSouthWestZoneLeavesAlongYBeforeX) {
  smt::settings::DetourSettings d;
  d.m_W_S_PositionLimitPositionDetour = 1;
  d.m_W_S_LessPosition_dX = 50;
  d.m_W_S_LessPosition_dY = -100;
  smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetDetour(d);
  smt::CurrentMachine().curX = 1000;
  smt::CurrentMachine().curY = -12000;
  FeederTestMotions m(smt::CurrentMachine());
  const FeederRow row = Row("W1", 100, -50);
  ASSERT_TRUE(m.NozzleToFeedTest(1, &row));
  EXPECT_EQ(Moves64(), (std::vector<Move>{{0, 7000}, {9000, 0}}));
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 10000);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -5000);
}

TEST_F(FeederSimTest, TargetInsideAZoneGetsOneFullMoveThenAnEmptyOne) {
  smt::settings::DetourSettings d;
  d.m_E_S_PositionLimitPositionDetour = 1;
  d.m_E_S_LessPosition_dX = 5;
  d.m_E_S_LessPosition_dY = -100;
  smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetDetour(d);
  smt::CurrentMachine().curX = 20000;
  smt::CurrentMachine().curY = -1000;
  FeederTestMotions m(smt::CurrentMachine());
  const FeederRow row = Row("W1", 10, -120);
  ASSERT_TRUE(m.NozzleToFeedTest(1, &row));
  EXPECT_EQ(Moves64(), (std::vector<Move>{{-19000, -11000}, {0, 0}}));
  // Without zones no detour move is added.
  smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.SetDetour({});
  sim->ClearReceived();
  const FeederRow back = Row("W1", 30, -10);
  ASSERT_TRUE(m.NozzleToFeedTest(1, &back));
  EXPECT_EQ(Moves64(), (std::vector<Move>{{2000, 11000}}));
}

TEST_F(FeederSimTest, NozzleOffsetsAndTheLampMachineMoveAlongXOnly) {
  SetBasic([](auto& b) {
    b.m_X_Nozzle2ToNozzle1 = 10;
    b.m_Y_Nozzle2ToNozzle1 = -5;
    b.m_X_Measurement = 1;
    b.m_Y_Measurement = 2;
  });
  FeederTestMotions m(smt::CurrentMachine());
  const FeederRow row = Row("W1", 50, -50);
  ASSERT_TRUE(m.NozzleToFeedTest(2, &row));
  ASSERT_TRUE(m.NozzleToFeedTest(0, &row));
  smt::CurrentMachine().machineType = 4;
  smt::CurrentMachine().curY = -300;
  ASSERT_TRUE(m.NozzleToFeedTest(1, &row));
  EXPECT_EQ(Moves64(), (std::vector<Move>{{4000, -4500}, {900, -700}, {100, 0}}));
}

TEST_F(FeederSimTest, TowbarTestChecksTheSideRangeAfterSwitchingTheOutputOff) {
  FeederTestMotions m(smt::CurrentMachine());
  FeederCells north = Row("N2", 0, 0);
  north[kCellFeedCoord] = "-1.0";
  m.TowbarToHoleTest(north);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"料架送料坐标数据越限 !"});
  EXPECT_TRUE(Of(0x61).empty());
  // The output command awaits no reply: the board has it shortly after.
  EXPECT_TRUE(linktest::WaitFor([&] { return !Of(0x03).empty(); }));
  EXPECT_EQ(Of(0x03)[0].payload[0], 6);
  EXPECT_EQ(Of(0x03)[0].payload[1], 0);
  FeederCells west = Row("W2", 0, 0);
  west[kCellFeedCoord] = "-1.0";
  m.TowbarToHoleTest(west);
  ASSERT_EQ(Of(0x61).size(), 1u);
  EXPECT_EQ(smt::CurrentMachine().motion.curAxis8.load(), -50);
  FeederCells odd = Row("X2", 0, 0);
  m.TowbarToHoleTest(odd);
  EXPECT_EQ(messages.service.Texts().back(), "FeedDirection No Find");
}

TEST_F(FeederSimTest, HeightMeasurementCarriesTheHeadCorrection) {
  // The simulated probe reports 1234 steps; 1000 steps per mm.
  EXPECT_DOUBLE_EQ(*MeasureHeight(smt::CurrentMachine(), 1), -1.234);
  EXPECT_DOUBLE_EQ(*MeasureHeight(smt::CurrentMachine(), 5), -1.234 + (-1.5 - -1.0));
  EXPECT_DOUBLE_EQ(*MeasureHeight(smt::CurrentMachine(), 9), -1.234);
  bool shown = false;
  for (const auto& l : hooks.Info()) shown = shown || l.find("Measurement height -1.2340") != std::string::npos;
  EXPECT_TRUE(shown);
}

TEST_F(FeederSimTest, MeasureModesWriteBackTheirResults) {
  // Mode -1: the settings store's measuring height, shown while its dialog is open.
  FeederTestRequest r;
  r.mode = -1;
  RunFeederTest(smt::CurrentMachine(), r, {});
  EXPECT_DOUBLE_EQ(smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Basic()->m_Z_Measurement, -1.234);
  EXPECT_EQ(quiet->neighbours.shownHeights, std::vector<double>{-1.234});
  SetBasic([](auto& b) { b.m_Z_Measurement = -5; });

  // Mode 0: head 6 on a four-head machine measures as head 1; on the drill machine as head 6.
  struct Case {
    int type;
    std::string head;
    std::string expected;
  };
  const std::vector<Case> cases = {{3, "6", "0.7660"}, {9, "6", "-0.2340"}, {3, "", "0.7660"}};
  for (const auto& c : cases) {
    smt::CurrentMachine().machineType = c.type;
    std::string got;
    FeederTestResults res;
    res.pickHeightMeasured = [&](int, const std::string& number, double height) {
      EXPECT_EQ(number, "W5");
      got = smt::platform::FormatDouble(height, 4);
    };
    FeederTestRequest m0;
    m0.mode = 0;
    FeederCells w5 = Row("W5", 10, -10);
    w5[kCellHead] = c.head;
    m0.row = w5;
    RunFeederTest(smt::CurrentMachine(), m0, res);
    EXPECT_EQ(got, c.expected) << c.type << " head " << c.head;
  }
}

TEST_F(FeederSimTest, PickToCameraTriesTheHeadsInTurnAndPicksWithTheFirstThatReaches) {
  smt::CurrentMachine().machineType = 3;
  SetBasic([](auto& b) {
    b.m_X_Nozzle3ToNozzle1 = 50;
    b.m_X_Nozzle4ToNozzle1 = 60;
    b.m_Z_Nozzle1ToFeed = -2;
  });
  quiet->neighbours.visionCamera = [](int camera) {
    VisionCameraInfo c;
    c.x = camera == 1 ? 30000 : 0;
    c.y = -20000;
    c.light = 9;
    return std::optional<VisionCameraInfo>(c);
  };
  FeederCells row = Row("W1", 10, -10);
  row[kCellFly] = "30/40";
  row[kCellFeature] = "03:二极管";
  FeederTestMotions m(smt::CurrentMachine());
  m.NozzlePickToCamera(3, 1, row);
  const auto info = hooks.Info();
  EXPECT_NE(std::find(info.begin(), info.end(), "A3 To Feed Pos Error !\n"), info.end());
  EXPECT_NE(std::find(info.begin(), info.end(), "A4 To Feed Pos Error !\n"), info.end());
  ASSERT_EQ(Of(0x65).size(), 1u);
  ASSERT_EQ(Of(0x67).size(), 1u);
  ASSERT_EQ(quiet->camera.visuals.size(), 1u);
  EXPECT_EQ(quiet->camera.visuals[0].feature, 3);
  // Over vision camera 1 at the end.
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 30000);
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -20000);
  EXPECT_TRUE(messages.service.Texts().empty());

  // No head reaches: one box with the last head tried.
  sim->ClearReceived();
  FeederCells far = Row("W1", 1.0, 5.0);  // Y above 0 is outside the travel
  m.NozzlePickToCamera(1, 1, far);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"A4 To Feed Pos Error !"});
  EXPECT_TRUE(Of(0x65).empty());
}

TEST_F(FeederSimTest, FeedTestsSendTheFeedOfTheirMode) {
  FeederTestMotions m(smt::CurrentMachine());
  // Vibration feeder, count 3: counts 3, 2, 1.
  FeederCells vib = Row("E4", 0, 0);
  vib[kCellFeedMode] = "振动飞达";
  vib[kCellFeedCount] = "3";
  vib[kCellFeedTime] = "5";
  ASSERT_TRUE(m.FeedTest(vib, false));
  auto feeds = Of(0x66);
  ASSERT_EQ(feeds.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(feeds[static_cast<size_t>(i)].payload[1], 11);
    EXPECT_EQ(feeds[static_cast<size_t>(i)].payload[36], 3 - i);
    EXPECT_EQ(feeds[static_cast<size_t>(i)].payload[37], 4);
  }
  // Towbar feed of a west feeder: walk steps to the feed coordinate.
  sim->ClearReceived();
  FeederCells west = Row("W2", 0, 0);
  west[kCellFeedCoord] = "-2";
  west[kCellFeedCount] = "0";
  ASSERT_TRUE(m.FeedTest(west, false));
  feeds = Of(0x66);
  ASSERT_EQ(feeds.size(), 1u);
  EXPECT_EQ(feeds[0].payload[1], 1);
  EXPECT_EQ(LE32(feeds[0].payload, 6), -100);
  EXPECT_EQ(feeds[0].payload[36], 1);  // a count of 0 feeds once
  EXPECT_EQ(smt::CurrentMachine().motion.curAxis8.load(), -100);
  // 0402 always sends a count of 1.
  sim->ClearReceived();
  west[kCellFeedMode] = "0402";
  west[kCellFeedCount] = "5";
  ASSERT_TRUE(m.FeedTest(west, false));
  EXPECT_EQ(Of(0x66)[0].payload[36], 1);
  // An automatic feeder toggles its bit and sends the mask.
  sim->ClearReceived();
  FeederCells s = Row("S17", 0, 0);
  s[kCellFeedMode] = "自动飞达";
  ASSERT_TRUE(m.FeedTest(s, false));
  feeds = Of(0x66);
  ASSERT_EQ(feeds.size(), 1u);
  EXPECT_EQ(feeds[0].payload[1], 10);
  EXPECT_EQ(LE32(feeds[0].payload, 6), 1 << 16);
  EXPECT_EQ(feeds[0].payload[37], 17);
  // A tray row feeds only on the labeling machine.
  sim->ClearReceived();
  FeederCells g = Row("G1", 0, 0);
  g[kCellFeedMode] = "托盘";
  ASSERT_TRUE(m.FeedTest(g, false));
  EXPECT_TRUE(Of(0x66).empty());
  smt::CurrentMachine().machineType = 10;
  ASSERT_TRUE(m.FeedTest(g, false));
  ASSERT_EQ(Of(0x66).size(), 1u);
  EXPECT_EQ(Of(0x66)[0].payload[1], 13);
  // An unknown side letter ends the test.
  FeederCells x = Row("Q1", 0, 0);
  EXPECT_FALSE(m.FeedTest(x, false));
  EXPECT_EQ(messages.service.Texts().back(), "FeedDirection No Find");
}

TEST_F(FeederSimTest, AutomaticTestFeedsEnabledModesAndStopsWhenCleared) {
  std::vector<FeederRow> rows;
  FeederCells a = Row("W1", 0, 0);
  a[kCellFeedMode] = "48";
  FeederCells b = Row("E2", 0, 0);
  b[kCellFeedMode] = "振动飞达";
  rows = {a, b};
  auto cfg = AutoFeeders::Of(smt::CurrentMachine()).Config();
  cfg.m_TestLoop = 0;
  AutoFeeders::Of(smt::CurrentMachine()).SetConfig(cfg);
  std::atomic<bool> running{false};
  std::vector<std::pair<int, bool>> selected;
  auto select = [&](int r, bool on) { selected.push_back({r, on}); };
  FeederTestMotions m(smt::CurrentMachine());
  m.FeedTestAll(rows, running, select);
  EXPECT_TRUE(Of(0x66).empty());
  cfg.m_TestLoop = 2;
  AutoFeeders::Of(smt::CurrentMachine()).SetConfig(cfg);
  m.FeedTestAll(rows, running, select);
  // "48" always feeds; vibration feeders are disabled: selected, skipped, deselected.
  EXPECT_EQ(Of(0x66).size(), 2u);
  EXPECT_EQ(selected.size(), 8u);
  EXPECT_FALSE(running.load());
}

TEST_F(FeederSimTest, WorkerClaimsBusyBeforeStartingAndReleasesItOnEveryPath) {
  FeederTestRequest r;
  r.mode = 31;  // no operation
  ASSERT_TRUE(StartFeederTestWorker(smt::CurrentMachine(), r, {}));
  EXPECT_TRUE(linktest::WaitFor([] { return !smt::CurrentMachine().machineBusy.load(); }));
  smt::CurrentMachine().machineBusy = true;
  EXPECT_FALSE(StartFeederTestWorker(smt::CurrentMachine(), r, {}));
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Machine is runnig !"});
  smt::CurrentMachine().machineBusy = false;
  // A lost reply ends the test by its time-out path and releases busy too.
  r.mode = -4;
  ASSERT_TRUE(StartFeederTestWorker(smt::CurrentMachine(), r, {}));
  EXPECT_TRUE(linktest::WaitFor([] { return !smt::CurrentMachine().machineBusy.load(); }, std::chrono::seconds(10)));
  EXPECT_EQ(Of(0x66).size(), 1u);
}

TEST_F(FeederSimTest, PutBackLowersTheHeadAtTheFeederAndRefusesAHeadThatDoesNotExist) {
  FeederTestMotions m(smt::CurrentMachine());
  FeederCells row = Row("W1", 10, -10);
  row[kCellHead] = "1";
  row[kCellPickHeight] = "-1.5";
  m.PutBackTest(row);
  ASSERT_EQ(Of(0x65).size(), 1u);
  const auto z = Of(0x68);
  ASSERT_EQ(z.size(), 1u);
  EXPECT_EQ(z[0].payload[0], 2);  // head 1 on the shared Z axis of heads 1 and 2
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 1000);
  sim->ClearReceived();
  row[kCellHead] = "";
  m.PutBackTest(row);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Header has no nozzle or error !"});
  EXPECT_TRUE(Of(0x68).empty());
  // Outside the travel: an information line and no move.
  row[kCellHead] = "1";
  row[kCellY] = "3";
  m.PutBackTest(row);
  EXPECT_TRUE(Of(0x65).empty());
  const auto info = hooks.Info();
  EXPECT_NE(std::find(info.begin(), info.end(), "Header To Feed Pos Error !\n"), info.end());
}

// A feeder row whose numbers cannot be read (a damaged file kept as it was)
// is not moved to, fed, picked from or put back to: the board receives
// nothing and the operator is told which feeder and which field.
TEST_F(FeederSimTest, AnUnreadableRowMovesNothing) {
  struct Bad {
    int cell;
    const char* text;
    const char* field;
  };
  const Bad bad[] = {{kCellX, "ten", "X"},
                     {kCellY, "nan", "Y"},
                     {kCellFeedCount, "-1", "feed count"},
                     {kCellFeedTime, "1e400", "feed time"},
                     {kCellPickHeight, "0.5", "pick height"},
                     {kCellFeedCoord, "10000.0001", "feed coordinate"}};
  smt::CurrentMachine().machineType = 3;
  for (const Bad& b : bad) {
    for (int mode : {0, 1, 2, 9, 11, 12, 13, 29}) {
      SCOPED_TRACE(std::string(b.text) + " mode " + std::to_string(mode));
      sim->ClearReceived();
      messages.service.Clear();
      FeederCells cells = Row("W1", 10, -10);
      cells[static_cast<size_t>(b.cell)] = b.text;
      FeederTestRequest r;
      r.mode = mode;
      r.listRow = 0;
      r.row = FeederRow(cells, "feeder list", 1);
      ASSERT_FALSE(r.row.Readable());
      RunFeederTest(smt::CurrentMachine(), r, {});
      EXPECT_TRUE(sim->Received().empty()) << sim->Received().size() << " frames sent";
      ASSERT_EQ(messages.service.Texts().size(), 1u);
      const std::string said = messages.service.Texts()[0];
      EXPECT_NE(said.find("\"W1\""), std::string::npos) << said;
      EXPECT_NE(said.find(b.field), std::string::npos) << said;
    }
  }
}
