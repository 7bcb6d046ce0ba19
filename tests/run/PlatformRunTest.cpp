// The lamp machine's platform dispensing run and Mark measurement on the
// simulated machine, with a point table stand-in.
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "RunSimFixture.h"
#include "platform/Hooks.h"
#include "run/PlatformPlaceRun.h"
#include "run/PlatformRuns.h"

namespace runtest {
namespace {

using namespace smt::run;

class PlatformRun : public RunSimTest {
 protected:
  void SetUp() override {
    RunSimTest::SetUp();
    smt::CurrentMachine().machineType = 4;
    auto st = Strategy(smt::CurrentMachine());
    st.m_RunSelect = 9;
    SetStrategy(smt::CurrentMachine(), st);
    counts.set = 2;
    counts.finish = 0;
    counts.unfinish = 2;
    lamp = std::make_shared<TestLamp>(*this);
    Services(smt::CurrentMachine()).lamp.Connect(lamp);
  }
  // The point table, counters and cameras of the runs: every point's dots a
  // row apart, every Mark seen 0.1 mm off in X.
  class TestLamp : public LampStation {
   public:
    explicit TestLamp(PlatformRun& t) : t_(t) {}
    std::pair<int32_t, int32_t> Target(int kind, int platform, int point) override {
      // Y is valid up to 0: a bad kind goes above the platform's travel.
      return {1000 * (point + 1) + 10 * kind, kind == badKind ? 500 : -500 * platform};
    }
    LampDot Dot(int group, int, int) override {
      LampDot d;
      d.height = 100 + group;
      d.startSpeed = d.runSpeed = 5;
      return d;
    }
    LampRow Row(int) override { return row; }
    void SetMarkOffsets(int r, std::optional<std::pair<int32_t, int32_t>> o) override {
      std::lock_guard lk(t_.m);
      t_.cells[{r, 5}] = o ? std::to_string(o->first) : "";
      t_.cells[{r, 6}] = o ? std::to_string(o->second) : "";
    }
    LampCounts Counts() override { return t_.counts; }
    void SetCounts(const LampCounts& c) override { t_.counts = c; }
    bool MarkCameraReady() override { return cameraReady; }
    PlatformMarkParams MarkParams() override {
      PlatformMarkParams p;
      p.zoom = 10;
      p.box = 4;
      p.diameter = 1.0;
      p.tolerance = 10;
      p.times = 1;
      return p;
    }
    std::optional<MarkSighting> SightMark(const PlatformMarkParams&) override {
      ++t_.sightings;
      MarkSighting m;
      m.found = true;
      m.ox = 0.1;
      m.radius = t_.sightRadius;
      return m;
    }
    // No look set up: the run stops, as when the look fails.
    bool VisionCentre(HeadPlaceState& p, int platform) override { return visionCentre ? visionCentre(p, platform) : true; }

    int badKind = 0;
    LampRow row{1.0, -1.0, 1.0};
    bool cameraReady = true;
    std::function<bool(HeadPlaceState&, int)> visionCentre;

   private:
    PlatformRun& t_;
  };
  std::shared_ptr<TestLamp> lamp;
  LampCounts counts;
  std::map<std::pair<int, int>, std::string> cells;
  std::atomic<int> sightings{0};
  double sightRadius = 5.0;  // 1.0 mm across at 10 pixels per mm
};

// A lamp run while nobody connected the lamp station ends before any glue,
// the station named in the hook log, and the machine is free again.
TEST_F(PlatformRun, AnUnconnectedLampStationEndsTheRunNamingIt) {
  std::mutex logMutex;
  std::vector<std::string> log;
  smt::platform::SetHookLog([&](const std::string& line) {
    std::lock_guard lk(logMutex);
    log.push_back(line);
  });
  Services(smt::CurrentMachine()).lamp.Disconnect();
  ASSERT_TRUE(Start(9));
  ASSERT_TRUE(WaitEnd());
  smt::platform::SetHookLog(nullptr);
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(Count(0x58), 0);
  EXPECT_EQ(sightings, 0);
  EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
  std::lock_guard lk(logMutex);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "Hook not connected: RunServices.lamp");
}

TEST_F(PlatformRun, TwoBoardsOnPlatformOneGetNineDotsEachThenTheMachineHomes) {
  ASSERT_TRUE(Start(9));
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(Count(0x58), 2 * 9);
  EXPECT_EQ(sightings, 2 * 3);  // every point's Mark on every board
  EXPECT_EQ(counts.finish, 0);
  EXPECT_EQ(counts.unfinish, 2);
  EXPECT_EQ(homeCount, 1);
  // 0.1 mm at 100 pulses per mm: the gantry stepped by -10 in X.
  EXPECT_EQ(cells[std::make_pair(0, 5)], "-10");
  EXPECT_EQ(cells[std::make_pair(0, 6)], "0");
}

TEST_F(PlatformRun, MarkOfTheWrongSizeAsksAndStopsOnNo) {
  sightRadius = 5.6;  // 1.12 mm: more than 10 % too large
  messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::No);
  ASSERT_TRUE(Start(9));
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(Count(0x58), 0);
  const auto texts = messages.service.Texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), "Mark大小识别失败 !  是-重新识别，否-退出，取消-退出");
  // The platform's clamp opened for the operator while asked, and closed
  // again when the run ended: no output left on.
  bool opened = false;
  for (const auto& c : sim->Received())
    if (c.code == 0x03 && c.payload.size() >= 2 && c.payload[0] == 7 && c.payload[1] != 0) opened = true;
  EXPECT_TRUE(opened);
  EXPECT_TRUE(Pump([&] { return !sim->Output(7); }));
}

// A dot point the gantry cannot reach gets no glue: the run ends there
// (the failed move read as "go on" and the dot was laid where the gantry
// happened to stand).
TEST_F(PlatformRun, AFailedMoveToADotPointLaysNoGlue) {
  for (int badKind : {2, 3, 4}) {
    sim->ClearReceived();
    lamp->badKind = badKind;
    ASSERT_TRUE(Start(9)) << badKind;
    ASSERT_TRUE(WaitEnd()) << badKind;
    EXPECT_FALSE(runFinished) << badKind;
    EXPECT_EQ(Count(0x58), badKind - 2) << "only the dots before the unreachable one (dot point " << badKind << ")";
    EXPECT_NE(State(0), 10) << "the row is not marked dispensed";
  }
}

// A dot the machine reports as failed ends the run; the row is not done.
TEST_F(PlatformRun, AFailedGlueDotEndsTheRun) {
  sim->InjectStatus(0x58, 0x21);
  ASSERT_TRUE(Start(9));
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(Count(0x58), 1);
  EXPECT_NE(State(0), 10) << "the row is not marked dispensed";
}

// The place run beside the dispensing (modes 11 and 12), on the serial link
// its moves need. Every part goes down where the point table puts the head.
class PlatformPlace : public PlatformRun {
 protected:
  void SetUp() override {
    PlatformRun::SetUp();
    UseSerial();
    counts.set = 1;
    counts.unfinish = 1;
    // Row 2 takes its part from the feeder that asks for vision.
    lamp->visionCentre = [this](HeadPlaceState& p, int platform) {
      ++looks;
      lookPlatform = platform;
      p.correctionX = 7;
      p.correctionY = -3;
      return false;
    };
  }
  std::atomic<int> looks{0}, lookPlatform{0};
  // Placing strokes with where X and the platform's Y stood.
  std::vector<smt::sim::ProcessStroke> Placements() {
    std::vector<smt::sim::ProcessStroke> v;
    for (const auto& st : sim->Strokes())
      if (st.code == 0x68) v.push_back(st);
    return v;
  }
  static int64_t Axis(const smt::sim::ProcessStroke& s, int a) { return s.axes.count(a) ? s.axes.at(a) : 0; }
};

TEST_F(PlatformPlace, OneHeadPlacesEveryPointOfTheGluedBoardOneRowPerCycle) {
  smt::CurrentMachine().headCount = 1;
  auto st = Strategy(smt::CurrentMachine());
  st.m_RunSelect = 11;
  SetStrategy(smt::CurrentMachine(), st);
  ASSERT_TRUE(Start(11));
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished) << ::testing::PrintToString(messages.service.Texts());
  EXPECT_EQ(homeCount, 1);
  EXPECT_EQ(Count(0x58), 9);  // the board was glued first
  const auto placed = Placements();
  ASSERT_EQ(placed.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const int seen = i == 1 ? 1 : 0;  // the vision correction of row 2's part
    EXPECT_EQ(Axis(placed[static_cast<size_t>(i)], 0), 1000 * (i + 1) + 10 + 7 * seen);  // camera target of point i
    EXPECT_EQ(Axis(placed[static_cast<size_t>(i)], 1), -500 - 3 * seen);
    EXPECT_EQ(State(i), 6);
  }
  EXPECT_EQ(looks, 1);
  EXPECT_EQ(lookPlatform, 1);
  // Every head move was a serial three-axis move the board took.
  EXPECT_GE(Count(0x54), 6);
  EXPECT_EQ(sim->BadFrames(), 0u);
}

TEST_F(PlatformPlace, TwoPlatformsTakeTurnsAndEachIsUnloadedAfterPlacing) {
  auto st = Strategy(smt::CurrentMachine());
  st.m_RunSelect = 12;
  SetStrategy(smt::CurrentMachine(), st);
  counts.set = 2;
  counts.unfinish = 2;
  rows.pop_back();  // two rows: one cycle of two heads per board
  ASSERT_TRUE(Start(12));
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  const auto placed = Placements();
  ASSERT_EQ(placed.size(), 4u);
  for (size_t k = 0; k < 4; ++k) {
    SCOPED_TRACE(k);
    const int point = static_cast<int>(k % 2);
    EXPECT_EQ(Axis(placed[k], 0), 1000 * (point + 1) + 10 + 7 * point);
    if (k < 2) EXPECT_EQ(Axis(placed[k], 1), -500 - 3 * point);  // platform 1 first
    else EXPECT_EQ(Axis(placed[k], 12), -1000 - 3 * point);      // then platform 2
  }
  // Each platform went to the throw position with its clamp pulsed.
  int unloads = 0;
  for (const auto& c : sim->Received())
    if (c.code == 0x54 && c.payload[0] == 0x00 && c.payload[1] == 0 && c.payload[2] == 0 && c.payload[3] == 0 &&
        c.payload[4] == 0 && c.payload[14] == 0)
      ++unloads;
  EXPECT_EQ(unloads, 2);
}

TEST_F(PlatformPlace, AFailedPlaceIsThrownOffPickedAgainAndAskedAboutWhenItFailsAgain) {
  smt::CurrentMachine().headCount = 1;
  auto st = Strategy(smt::CurrentMachine());
  st.m_RunSelect = 11;
  SetStrategy(smt::CurrentMachine(), st);
  rows = {Part(1, 5, -5, "W1")};
  sim->FailPlaceVacuum(2);  // the place and the re-place both lose the part
  messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::Yes);  // ignore and go on
  ASSERT_TRUE(Start(11));
  ASSERT_TRUE(WaitEnd());
  EXPECT_TRUE(runFinished);
  EXPECT_EQ(Placements().size(), 2u);
  const auto texts = messages.service.Texts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0], "真空失败，是否忽略 ?\r\n是-忽略继续    否-退出    取消-补料");
  EXPECT_EQ(State(0), 7);
  EXPECT_EQ(Count(0x67), 2);  // picked twice
}

TEST_F(PlatformPlace, QuittingAfterAFailedPartClearsTheWayAndHomes) {
  smt::CurrentMachine().headCount = 1;
  auto st = Strategy(smt::CurrentMachine());
  st.m_RunSelect = 11;
  SetStrategy(smt::CurrentMachine(), st);
  rows = {Part(1, 5, -5, "W1")};
  sim->FailPlaceVacuum(2);
  messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::No);  // quit
  ASSERT_TRUE(Start(11));
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(homeCount, 1);
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 100);  // the head out of the way
  EXPECT_EQ(smt::CurrentMachine().curY.load(), -100);
}

TEST_F(PlatformPlace, RecoveryOfAHeadThatDidNotFailReturnsAtOnce) {
  HeadPlaceState p;
  p.row = 0;
  p.failedRow = -1;
  p.failed = 0;
  const size_t before = sim->ReceivedCount();
  EXPECT_FALSE(RecoverPlatformHead(smt::CurrentMachine(), p, 0, 1));
  EXPECT_EQ(sim->ReceivedCount(), before);
}

TEST_F(PlatformPlace, AStopWhileWaitingForTheGlueEndsBothThreads) {
  auto st = Strategy(smt::CurrentMachine());
  st.m_RunSelect = 11;
  SetStrategy(smt::CurrentMachine(), st);
  lamp->cameraReady = false;  // the dispensing ends: no camera
  ASSERT_TRUE(Start(11));
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_TRUE(Placements().empty());
  EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
}

}  // namespace
}  // namespace runtest

namespace runtest {
namespace {

TEST_F(PlatformRun, MarkOutsideTheTravelEndsTheRunBeforeAnyGlue) {
  lamp->row = smt::run::LampRow{1.0, 1.0, 1.0};  // Y above 0
  ASSERT_TRUE(Start(9));
  ASSERT_TRUE(WaitEnd());
  EXPECT_FALSE(runFinished);
  EXPECT_EQ(Count(0x58), 0);
  EXPECT_EQ(sightings, 0);
}

}  // namespace
}  // namespace runtest
