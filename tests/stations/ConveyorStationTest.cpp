// The conveyor's zone steps and tasks against the simulated main board.
#include <gtest/gtest.h>

#include <filesystem>

#include "link/MotionFixture.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsSection.h"
#include "platform/WorkerThreads.h"
#include "stations/ConveyorStation.h"

namespace {

using smt::stations::ConveyorPulses;
using smt::stations::ConveyorSettings;
using smt::stations::ConveyorStation;

class ConveyorSimTest : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    ConveyorSettings s;
    s.m_ConveyorStartSpeed = 3;
    s.m_ConveyorNormalSpeed = 7;
    s.m_ClampTime = 5;
    s.m_AutoTransport_1_1 = 10.0;
    s.m_AutoTransport_1_2 = 20.0;
    s.m_AutoTransport_2_1 = 30.0;
    s.m_AutoTransport_2_2 = 40.0;
    s.m_AutoTransport_3_1 = 50.0;
    s.m_AutoTransport_3_2 = -1.0;
    s.m_SetWidth = 100.0;
    station().SetSettings(s);
    station().SetPulseSource([] { return ConveyorPulses{2.0, 3.0, 4.0, 10.0}; });
    station().SetClamped(false);
    station().SetStageDelayMs(0);
    dir = std::filesystem::temp_directory_path() / ("conveyor-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    station().SetAppDir(dir.string());
  }
  void TearDown() override {
    station().SetPulseSource(nullptr);
    std::filesystem::remove_all(dir);
    MotionSimTest::TearDown();
  }
  static ConveyorStation& station() { return ConveyorStation::Of(smt::CurrentMachine()); }

  // The outputs (number, state) and zones (as -zone) the board received, in order.
  std::vector<std::pair<int, int>> Sequence() {
    std::vector<std::pair<int, int>> out;
    for (const auto& c : sim->Received()) {
      if (c.code == 0x03) out.push_back({c.payload[0], c.payload[1]});
      if (c.code == 0x62) out.push_back({-c.payload[0], 0});
    }
    return out;
  }
  std::filesystem::path dir;
};

TEST_F(ConveyorSimTest, ZoneStepsSwitchValvesInOrderByMachineType) {
  struct Case {
    int type;
    int code;
    bool noClamp;
    std::vector<std::pair<int, int>> expected;
    bool clampedAfter;
  };
  const std::vector<Case> cases = {
      {7, 2, false, {{49, 1}, {-2, 0}, {50, 1}, {49, 0}}, true},
      {0, 2, false, {{9, 0}, {-2, 0}, {9, 1}}, true},
      {7, 2, true, {{-2, 0}}, false},
      {7, 3, false, {{50, 0}, {49, 0}, {-3, 0}}, false},
      {0, 3, false, {{9, 0}, {-3, 0}}, false},
      {0, 1, false, {{-1, 0}}, false},
      {0, 4, true, {{-4, 0}}, false},
  };
  for (auto link : {0, 1}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << "link " << link << " type " << c.type << " code " << c.code);
      smt::link::RuntimeOf(smt::CurrentMachine()).commModel = link;
      smt::CurrentMachine().machineType = c.type;
      station().SetClamped(c.code == 3);
      sim->ClearReceived();
      EXPECT_TRUE(station().RunZones(c.code, c.noClamp));
      ASSERT_TRUE(linktest::WaitFor([&] { return Sequence().size() >= c.expected.size(); }));
      EXPECT_EQ(Sequence(), c.expected);
      EXPECT_EQ(station().Clamped(), c.clampedAfter);
    }
  }
}

TEST_F(ConveyorSimTest, ZoneTravelsAreConvertedPerBelt) {
  UseUdp();
  ASSERT_TRUE(station().RunZones(1, false));
  ASSERT_TRUE(station().RunZones(2, true));
  ASSERT_TRUE(station().RunZones(3, true));
  ASSERT_TRUE(station().RunZones(4, false));
  // Belt 1: 10 mm + 20 mm at 2 p/mm; belt 2: 30 + 40 mm at 3; belt 3: 50 - 1 mm at 4.
  EXPECT_EQ(sim->Position(211), 60);
  EXPECT_EQ(sim->Position(212), 210);
  EXPECT_EQ(sim->Position(213), 196);
  UseSerial();
  ASSERT_TRUE(station().RunZones(4, false));  // -4 pulses as sign and magnitude
  EXPECT_EQ(sim->Position(213), 192);
  auto z = sim->LastReceived(0x62);
  ASSERT_TRUE(z.has_value());
  EXPECT_EQ(z->payload.back(), 7);  // normal speed, low byte
}

TEST_F(ConveyorSimTest, LostZoneReplyEndsTheStepWithFailure) {
  UseUdp();
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().conveyor.SetTimeout(std::chrono::milliseconds(200));
  sim->DropRepliesTo(0x62, 1);
  EXPECT_FALSE(station().RunZones(1, false));
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().conveyor.SetTimeout(std::chrono::seconds(120));
}

TEST_F(ConveyorSimTest, PassThroughTaskSendsNothingOnSerialLink) {
  UseSerial();
  smt::CurrentMachine().machineType = 7;
  station().SetPassThrough(true);
  sim->ClearReceived();
  EXPECT_TRUE(station().RunTask(smt::stations::kTaskPassThrough));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(sim->ReceivedCount(), 0u);
  station().SetPassThrough(false);
}

TEST_F(ConveyorSimTest, ValveTasksOnlyOnBigMachines) {
  UseUdp();
  for (int type : {0, 7}) {
    smt::CurrentMachine().machineType = type;
    sim->ClearReceived();
    station().SetValveBoxesBeforeClick(false, true);
    EXPECT_TRUE(station().RunTask(smt::stations::kTaskStopperValve));
    EXPECT_TRUE(station().RunTask(smt::stations::kTaskLiftValve));
    if (type == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      EXPECT_TRUE(Sequence().empty());
    } else {
      ASSERT_TRUE(linktest::WaitFor([&] { return Sequence().size() == 2; }));
      EXPECT_EQ(Sequence(), (std::vector<std::pair<int, int>>{{49, 1}, {51, 0}}));
    }
  }
}

TEST_F(ConveyorSimTest, ClampTaskTogglesTheClampValve) {
  UseUdp();
  smt::CurrentMachine().machineType = 0;
  station().SetClamped(false);
  EXPECT_TRUE(station().RunTask(smt::stations::kTaskClampValve));
  EXPECT_TRUE(station().Clamped());
  ASSERT_TRUE(linktest::WaitFor([&] { return sim->Output(9); }));
  EXPECT_TRUE(station().RunTask(smt::stations::kTaskClampValve));
  EXPECT_FALSE(station().Clamped());
  ASSERT_TRUE(linktest::WaitFor([&] { return !sim->Output(9); }));
}

TEST_F(ConveyorSimTest, WidthTaskMovesByTheDifferenceAndSaves) {
  UseUdp();
  smt::CurrentMachine().machineType = 0;
  smt::CurrentMachine().motion.curConveyorWidth = 400;
  EXPECT_TRUE(station().RunTask(smt::stations::kTaskWidth));
  EXPECT_EQ(sim->Position(14), 600);
  EXPECT_EQ(smt::CurrentMachine().motion.curConveyorWidth.load(), 1000);
  // Already there: a move of 0 and the settings saved again.
  EXPECT_TRUE(station().RunTask(smt::stations::kTaskWidth));
  EXPECT_EQ(sim->Position(14), 600);
  EXPECT_EQ(ConveyorSettings::Load(dir.string()).m_SetWidth, 100.0);
}

TEST_F(ConveyorSimTest, StartTransportRefusesWhenDisconnectedOrBusy) {
  smt::CurrentMachine().connected = false;
  EXPECT_FALSE(station().StartTransport(1));
  smt::CurrentMachine().connected = true;
  smt::CurrentMachine().machineBusy = true;
  EXPECT_FALSE(station().StartTransport(1));
  smt::CurrentMachine().machineBusy = false;
  EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{"Machine is not connection !", "Machine is runnig !"}));
  UseUdp();
  ASSERT_TRUE(station().StartTransport(smt::stations::kTaskRunBoardOut));
  ASSERT_TRUE(linktest::WaitFor([&] { return !smt::CurrentMachine().machineBusy.load(); }));
}

TEST(ConveyorSettingsTest, LoadRaisesSpeedsAndStepAndRoundTrips) {
  const auto dir = std::filesystem::temp_directory_path() / ("conveyor-set-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  ConveyorSettings empty = ConveyorSettings::Load(dir.string());
  EXPECT_EQ(empty.m_ConveyorStartSpeed, 1);
  EXPECT_EQ(empty.m_ConveyorNormalSpeed, 1);
  EXPECT_EQ(empty.m_StepValue, 1);
  EXPECT_EQ(empty.m_ClampTime, 0);
  ConveyorSettings s;
  s.m_ConveyorStartSpeed = 12;
  s.m_AutoTransport_2_2 = 12.3456;
  s.m_SetWidth = 55.556;
  s.m_MinRange = 10;
  s.m_MaxRange = 200;
  s.m_Reset = 1;
  ASSERT_TRUE(s.Save(dir.string()));
  smt::platform::SettingsSection sec(smt::platform::ConfigPath(dir.string()), "AutoTransportConfig");
  EXPECT_EQ(sec.ReadText("m_SetWidth"), "55.56");
  const ConveyorSettings r = ConveyorSettings::Load(dir.string());
  EXPECT_EQ(r.m_ConveyorStartSpeed, 12);
  EXPECT_DOUBLE_EQ(r.m_AutoTransport_2_2, 12.3456);
  EXPECT_EQ(r.m_MaxRange, 200);
  EXPECT_EQ(r.m_Reset, 1);
  std::filesystem::remove_all(dir);
}

TEST(ConveyorSettingsTest, WidthRangeIncludesItsEndsAndNeedsMinBelowMax) {
  ConveyorSettings s;
  s.m_MinRange = s.m_MaxRange = 50;
  EXPECT_FALSE(s.WidthInRange(50));
  s.m_MaxRange = 80;
  EXPECT_TRUE(s.WidthInRange(50));
  EXPECT_TRUE(s.WidthInRange(80));
  EXPECT_FALSE(s.WidthInRange(80.01));
}

}  // namespace
