// The strategy page under the offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QRadioButton>
#include <filesystem>

#include "core/MachineState.h"
#include "platform/MessageService.h"
#include "run/CDialogSMTStrategy.h"

namespace {

using smt::run::SmtStrategy;

class StrategyDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("smt_strategy_dialog_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(dir);
    env.appDir = dir.string();
    env.resetNozzleHolders = [this] { ++nozzleResets; };
    env.sortList = [this](int key) { sortKeys.push_back(key); };
    env.setHeadCount = [this](int n) { heads = n; };
    env.showDispenseView = [this](bool on) { dispenseView = on ? 1 : 0; };
    env.checkFeederOrder = [] {};
    env.fillDispenseFromSmtIfEmpty = [] {};
    env.openCoverDialog = [] {};
    env.renumberLists = [] {};
  }
  void TearDown() override {
    std::filesystem::remove_all(dir);
    smt::run::SetStrategy({});
  }
  std::filesystem::path dir;
  CDialogSMTStrategy::Environment env;
  smt::platform::ScopedRecordingMessages messages;
  int nozzleResets = 0, heads = 0, dispenseView = -1;
  std::vector<int> sortKeys;
};

TEST_F(StrategyDialog, LampMachineOpensWithItsOwnRunMode) {
  SmtStrategy s;
  s.m_RunSelect = 3;
  env.machineType = 4;
  CDialogSMTStrategy d(s, env);
  EXPECT_TRUE(d.Button(1043)->isChecked());  // "点胶贴片->Y1Y2"
  EXPECT_FALSE(d.Button(1024)->isEnabled());
  EXPECT_FALSE(d.Button(1036)->isEnabled());
}

TEST_F(StrategyDialog, AnsweringNoToAutomaticNozzleChangeLeavesItOff) {
  env.machineType = 2;
  CDialogSMTStrategy d(SmtStrategy{}, env);
  messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::No);
  d.Button(1036)->setChecked(true);
  d.OnControl(1036);
  EXPECT_FALSE(d.Button(1036)->isChecked());
  EXPECT_EQ(nozzleResets, 0);
  messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::Yes);
  d.Button(1036)->setChecked(true);
  d.OnControl(1036);
  EXPECT_TRUE(d.Button(1036)->isChecked());
  EXPECT_EQ(nozzleResets, 1);
}

TEST_F(StrategyDialog, OkSortsSetsTheHeadsSavesAndCommits) {
  env.machineType = 2;
  SmtStrategy s;
  s.m_SmtOrder = 7;
  s.m_HeaderSelect = 2;
  s.m_ChangeNozzleSelect = 1;
  s.m_RunSelect = 1;
  CDialogSMTStrategy d(s, env);
  ASSERT_TRUE(d.TryAccept());
  EXPECT_EQ(sortKeys, (std::vector<int>{20, 12}));
  EXPECT_EQ(heads, 2);
  EXPECT_EQ(dispenseView, 1);
  EXPECT_EQ(smt::run::Strategy().m_HeaderSelect, 2);
  EXPECT_EQ(smt::run::LoadStrategy(dir.string()).m_ChangeNozzleSelect, 1);
}

TEST_F(StrategyDialog, OutOfRangeValueKeepsThePageOpen) {
  CDialogSMTStrategy d(SmtStrategy{}, env);
  d.Edit(1050)->setText("5");  // glue points 1..4
  EXPECT_FALSE(d.TryAccept());
  ASSERT_FALSE(messages.service.Texts().empty());
  EXPECT_EQ(messages.service.Texts().back(), "“点胶点数”：请输入一个介于 1 和 4 之间的数。");
  EXPECT_FALSE(std::filesystem::exists(dir / "config.ini"));
}

TEST_F(StrategyDialog, CoverOnlyOnSmallMachinesPlacing) {
  SmtStrategy s;
  s.m_Cover = 1;
  env.machineType = 3;
  CDialogSMTStrategy four(s, env);
  EXPECT_FALSE(four.Button(1458)->isEnabled());
  EXPECT_FALSE(four.Button(1458)->isChecked());
  env.machineType = 1;
  CDialogSMTStrategy one(s, env);
  EXPECT_TRUE(one.Button(1458)->isChecked());
  EXPECT_TRUE(one.Button(1459)->isEnabled());
}

}  // namespace
