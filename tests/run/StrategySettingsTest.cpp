// The placement strategy's stored values and the rules applied on load and
// by machine type.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/SettingsSection.h"
#include "run/StrategySettings.h"

namespace {

using smt::run::SmtStrategy;

class StrategyFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("smt_strategy_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  smt::platform::SettingsSection Section() const {
    return smt::platform::SettingsSection(smt::platform::ConfigPath(dir.string()), smt::run::kStrategySection);
  }
  std::filesystem::path dir;
};

TEST_F(StrategyFile, SavedValuesLoadBackUnchanged) {
  SmtStrategy s;
  s.m_SmtOrder = 3;
  s.m_HeaderSelect = 2;
  s.m_SpecialHead = 5;
  s.m_ChangeNozzleSelect = 2;
  s.m_RunSelect = 7;
  s.m_DisSpeedStart_XY = 20;
  s.m_DisSpeedNormal_XY = 120;
  s.m_DisSpeedStart_Z = 30;
  s.m_DisSpeedNormal_Z = 40;
  s.m_DropsGluePoint = 3;
  s.m_WeldDistance_1 = 1.25;
  s.m_DropsGlueClose2 = 12.5;
  s.m_AfterCloseDelay2 = 77;
  ASSERT_TRUE(smt::run::SaveStrategy(dir.string(), s));
  EXPECT_EQ(smt::run::LoadStrategy(dir.string()), s);
  EXPECT_EQ(Section().ReadText("m_WeldDistance_1"), "1.2500");
}

TEST_F(StrategyFile, LoadRulesRepairStoredValues) {
  auto sec = Section();
  sec.WriteInt("m_SpecialHead", 9);
  sec.WriteInt("m_HeaderSelect", 1);
  sec.WriteInt("m_ChangeNozzleSelect", 2);
  const SmtStrategy s = smt::run::LoadStrategy(dir.string());
  EXPECT_EQ(s.m_SpecialHead, 8);
  EXPECT_EQ(s.m_ChangeNozzleSelect, 0);  // only head mode 2 keeps it
  // Missing speeds and glue points take their defaults.
  EXPECT_EQ(s.m_DisSpeedStart_XY, 50);
  EXPECT_EQ(s.m_DisSpeedNormal_XY, 100);
  EXPECT_EQ(s.m_DisSpeedStart_Z, 50);
  EXPECT_EQ(s.m_DisSpeedNormal_Z, 100);
  EXPECT_EQ(s.m_DropsGluePoint, 1);
}

TEST(StrategyRules, HeadModesGiveTheirHeadCounts) {
  const int expected[] = {1, 2, 2, 4, 4, 4, 8, 8, 8};
  for (int m = 0; m < 9; ++m) EXPECT_EQ(smt::run::HeadCountOfMode(m), expected[m]) << m;
  EXPECT_EQ(smt::run::SortKeyOfOrder(7), 20);
  EXPECT_EQ(smt::run::SortKeyOfOrder(8), 11);
  EXPECT_EQ(smt::run::SortKeyOfOrder(9), 12);
}

struct LimitCase {
  int type, headMode, runMode, cover;
  int headModeAfter, runModeAfter, coverAfter;
};

class MachineTypeLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(MachineTypeLimits, ResetWhatTheTypeDoesNotAllow) {
  const auto c = GetParam();
  SmtStrategy s;
  s.m_HeaderSelect = c.headMode;
  s.m_RunSelect = c.runMode;
  s.m_Cover = c.cover;
  s.m_AutoChangeNozzle = 1;
  smt::run::ApplyMachineTypeLimits(s, c.type);
  EXPECT_EQ(s.m_HeaderSelect, c.headModeAfter);
  EXPECT_EQ(s.m_RunSelect, c.runModeAfter);
  EXPECT_EQ(s.m_Cover, c.coverAfter);
  if (c.type == 4) {
    EXPECT_EQ(s.m_AutoChangeNozzle, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Types, MachineTypeLimits,
                         ::testing::Values(LimitCase{0, 3, 2, 1, 0, 0, 1},    // single head: no dispensing runs; the cover rule comes last
                                           LimitCase{0, 0, 0, 1, 0, 0, 1},    // cover kept on type 0, mode 0
                                           LimitCase{1, 2, 5, 0, 0, 5, 0},
                                           LimitCase{2, 4, 11, 1, 0, 0, 1},
                                           LimitCase{4, 0, 3, 0, 0, 12, 0},   // lamp machine: mode 3 -> 12
                                           LimitCase{4, 0, 10, 0, 0, 10, 0},
                                           LimitCase{5, 1, 2, 0, 1, 0, 0},
                                           LimitCase{3, 4, 0, 1, 4, 0, 0},    // no cover on four heads
                                           LimitCase{9, 7, 12, 0, 7, 12, 0}));

}  // namespace
