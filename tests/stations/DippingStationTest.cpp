// The dipping station's switch, teach values, guards and settings.
#include <gtest/gtest.h>

#include <filesystem>

#include "link/MotionFixture.h"
#include "stations/DippingStation.h"

namespace {

using namespace smt::stations;

class DippingStationSimTest : public linktest::MotionSimTest {
 protected:
  void SetUp() override {
    MotionSimTest::SetUp();
    DippingStation::Of(smt::CurrentMachine()).ResetSwitchState();
    smt::CurrentMachine().resetDone = true;
  }
  void TearDown() override {
    SetDippingTaskStarter(smt::CurrentMachine(), nullptr);
    MotionSimTest::TearDown();
  }
  std::vector<std::pair<int, int>> Outputs() {
    std::vector<std::pair<int, int>> out;
    for (const auto& c : sim->Received())
      if (c.code == 0x03) out.push_back({c.payload[0], c.payload[1]});
    return out;
  }
};

TEST_F(DippingStationSimTest, FirstPressSwitchesOffThenOnOnBothLinks) {
  for (int link : {1, 0}) {
    SCOPED_TRACE(link);
    smt::link::RuntimeOf(smt::CurrentMachine()).commModel = link;
    DippingStation::Of(smt::CurrentMachine()).ResetSwitchState();
    sim->ClearReceived();
    ASSERT_TRUE(DippingStation::Of(smt::CurrentMachine()).Operate());
    ASSERT_TRUE(DippingStation::Of(smt::CurrentMachine()).Operate());
    ASSERT_TRUE(linktest::WaitFor([&] { return Outputs().size() == 2; }));
    EXPECT_EQ(Outputs(), (std::vector<std::pair<int, int>>{{10, 0}, {10, 1}}));
  }
}

TEST_F(DippingStationSimTest, BigMachinesOnlyFlipTheState) {
  UseUdp();
  smt::CurrentMachine().machineType = 8;
  sim->ClearReceived();
  EXPECT_TRUE(DippingStation::Of(smt::CurrentMachine()).Operate());
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(Outputs().empty());
  smt::CurrentMachine().machineType = 0;
  EXPECT_TRUE(DippingStation::Of(smt::CurrentMachine()).Operate());  // the second press: on
  ASSERT_TRUE(linktest::WaitFor([&] { return Outputs().size() == 1; }));
  EXPECT_EQ(Outputs().front(), (std::pair<int, int>{10, 1}));
}

TEST_F(DippingStationSimTest, TasksNeedIdleMachineWithHeadsUp) {
  std::vector<int> started;
  SetDippingTaskStarter(smt::CurrentMachine(), [&](int mode) { started.push_back(mode); });
  smt::CurrentMachine().curZ[3] = -5;
  EXPECT_FALSE(DippingStation::Of(smt::CurrentMachine()).StartTask(-3));
  smt::CurrentMachine().curZ[3] = 0;
  smt::CurrentMachine().resetDone = false;
  EXPECT_FALSE(DippingStation::Of(smt::CurrentMachine()).StartTask(-3));
  smt::CurrentMachine().resetDone = true;
  EXPECT_TRUE(DippingStation::Of(smt::CurrentMachine()).StartTask(-2));
  EXPECT_EQ(messages.service.Texts(), (std::vector<std::string>{"Error E3 !", "Machine is not reset !"}));
  EXPECT_EQ(started, std::vector<int>{-2});
}

TEST(DippingStationTest, MeasuredHeightIsShownOnlyWhileTheDialogIsOpen) {
  auto& d = DippingStation::Of(smt::CurrentMachine());
  std::vector<double> shown;
  d.SetMeasuredZView([&](double z) { shown.push_back(z); });
  d.SetDialogOpen(false);
  d.OnMeasuredZ(-3.5);
  d.SetDialogOpen(true);
  d.OnMeasuredZ(-4.25);
  d.SetDialogOpen(false);
  d.SetMeasuredZView(nullptr);
  EXPECT_EQ(shown, std::vector<double>{-4.25});
  EXPECT_EQ(d.Settings().m_DippingStation_Z, -4.25);
}

TEST(DippingStationTest, TeachValuesNudgeAwayFromZero) {
  EXPECT_EQ(TeachText(0, 200.0), "0.0000");
  EXPECT_EQ(TeachText(20000, 200.0), "100.0001");
  EXPECT_EQ(TeachText(-1001, 100.0), "-10.0101");
  EXPECT_EQ(TeachText(5, 0.0), "5.0001");
}

TEST(DippingStationTest, SettingsRoundTripAndRanges) {
  const auto dir = std::filesystem::temp_directory_path() / ("dip-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  DippingStationSettings s;
  s.m_DippingStation = 1;
  s.m_DippingStation_X = 123.4567;
  s.m_DippingStation_Y = -45.5;
  s.m_DippingStation_Delay = 300;
  ASSERT_TRUE(s.Save(dir.string()));
  const auto r = DippingStationSettings::Load(dir.string());
  EXPECT_EQ(r.m_DippingStation, 1);
  EXPECT_DOUBLE_EQ(r.m_DippingStation_X, 123.4567);
  EXPECT_EQ(r.m_DippingStation_Delay, 300);
  EXPECT_EQ(r.CheckRanges(), "");
  s.m_DippingStation_Y = 1.0;
  EXPECT_EQ(s.CheckRanges(), "m_DippingStation_Y");
  std::filesystem::remove_all(dir);
}

}  // namespace
