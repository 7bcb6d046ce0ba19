// The automatic feeder mask, its command fields and its settings section.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/Machine.h"
#include "feeder/AutoFeeders.h"
#include "platform/SettingsSection.h"

using smt::feeder::AutoFeeders;

namespace {
struct Fresh {
  Fresh() { AutoFeeders::Of(smt::CurrentMachine()).Reset(); }
  ~Fresh() { AutoFeeders::Of(smt::CurrentMachine()).Reset(); }
};
}  // namespace

TEST(AutoFeeders, ToggleSetsTheBitAndTheCommandFields) {
  Fresh f;
  auto& af = AutoFeeders::Of(smt::CurrentMachine());
  af.ToggleFeeder(17, 3);
  EXPECT_EQ(af.Mask()[0], 1u << 16);
  EXPECT_EQ(af.CmdWord(), 1);
  EXPECT_EQ(af.CmdFeeder(), 17);
  af.ToggleFeeder(17, 3);
  EXPECT_EQ(af.Mask()[0], 0u);
  EXPECT_EQ(af.CmdFeeder(), 0);
  af.ToggleFeeder(70, 8);
  af.ToggleFeeder(70, 8);
  EXPECT_EQ(af.CmdWord(), 3);
  EXPECT_EQ(af.CmdFeeder(), 70);  // type 8 keeps the number when switching off
  af.ToggleFeeder(0, 3);
  af.ToggleFeeder(97, 3);
  EXPECT_EQ(af.Mask(), (std::array<uint32_t, 3>{0, 0, 0}));
}

TEST(AutoFeeders, OutOfRangeCountsAsOnAndRowsSwitchSixteenFeeders) {
  Fresh f;
  auto& af = AutoFeeders::Of(smt::CurrentMachine());
  EXPECT_TRUE(af.IsFeederOn(0));
  EXPECT_TRUE(af.IsFeederOn(97));
  EXPECT_FALSE(af.IsFeederOn(1));
  af.SetRow(1, true);  // grid row 2: feeders 17..32
  EXPECT_EQ(af.Mask()[0], 0xFFFF0000u);
  EXPECT_EQ(af.CmdFeeder(), 1);
  EXPECT_EQ(af.CmdWord(), 1);
  af.SetRow(4, true);
  EXPECT_EQ(af.Mask()[2], 0x0000FFFFu);
  EXPECT_EQ(af.CmdFeeder(), 65);
  EXPECT_EQ(af.CmdWord(), 3);
  EXPECT_TRUE(af.IsFeederOn(80));
  EXPECT_FALSE(af.IsFeederOn(81));
}

TEST(AutoFeeders, MissingSectionGivesWorkingDefaultsAndSaveWritesEveryValue) {
  Fresh f;
  const auto dir = std::filesystem::temp_directory_path() / ("autofeed-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto& af = AutoFeeders::Of(smt::CurrentMachine());
  af.LoadConfig(dir.string());
  const auto c = af.Config();
  EXPECT_EQ(c.m_Feed_Times, 1);
  EXPECT_EQ(c.m_Feed_Delay, 200);
  EXPECT_EQ(c.m_Open_Length, 30);
  EXPECT_EQ(c.m_Close_Length, 45);
  EXPECT_EQ(c.m_TestLoop, 1);
  EXPECT_EQ(c.m_FeedBack_Delay, 0);
  af.ToggleFeeder(32, 0);
  ASSERT_TRUE(af.SaveConfig(dir.string()));
  smt::platform::SettingsSection s(smt::platform::ConfigPath(dir.string()), "AutoFeedConfig");
  EXPECT_EQ(s.ReadText("m_AutoFeedArray[0]"), "-2147483648");
  EXPECT_EQ(s.ReadText("m_Close_Length"), "45");
  // The mask is not read back: every start begins with all feeders off.
  af.Reset();
  af.LoadConfig(dir.string());
  EXPECT_FALSE(af.IsFeederOn(32));
  std::filesystem::remove_all(dir);
}
