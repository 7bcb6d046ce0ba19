// The strategy page under the offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QRadioButton>
#include <filesystem>

#include "core/MachineState.h"
#include "job/PartListData.h"
#include "library/NozzleSeats.h"
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
    env.openCoverDialog = [] {};
  }
  void TearDown() override {
    std::filesystem::remove_all(dir);
    smt::run::SetStrategy(smt::CurrentMachine(), {});
  }
  std::filesystem::path dir;
  CDialogSMTStrategy::Environment env;
  smt::platform::ScopedRecordingMessages messages;
  smt::Machine& machine = smt::CurrentMachine();
  smt::job::PartListData& list = smt::job::PartListOf(machine);
  smt::library::NozzleState& nozzles = machine.Part<smt::library::NozzleState>();
};

TEST_F(StrategyDialog, LampMachineOpensWithItsOwnRunMode) {
  SmtStrategy s;
  s.m_RunSelect = 3;
  env.machineType = 4;
  CDialogSMTStrategy d(s, machine, env);
  EXPECT_TRUE(d.Button(1043)->isChecked());  // "点胶贴片->Y1Y2"
  EXPECT_FALSE(d.Button(1024)->isEnabled());
  EXPECT_FALSE(d.Button(1036)->isEnabled());
}

TEST_F(StrategyDialog, AnsweringNoToAutomaticNozzleChangeLeavesItOff) {
  env.machineType = 2;
  CDialogSMTStrategy d(SmtStrategy{}, machine, env);
  // Head 2 holds nozzle 3: the answer Yes empties the heads.
  nozzles.headNozzle[1] = 3;
  messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::No);
  d.Button(1036)->setChecked(true);
  d.OnControl(1036);
  EXPECT_FALSE(d.Button(1036)->isChecked());
  EXPECT_EQ(nozzles.headNozzle[1], 3);
  messages.service.SetDefaultAnswer(smt::platform::MsgAnswer::Yes);
  d.Button(1036)->setChecked(true);
  d.OnControl(1036);
  EXPECT_TRUE(d.Button(1036)->isChecked());
  EXPECT_EQ(nozzles.headNozzle[1], 0);
}

TEST_F(StrategyDialog, OkSortsSetsTheHeadsSavesAndCommits) {
  env.machineType = 2;
  SmtStrategy s;
  s.m_SmtOrder = 7;
  s.m_HeaderSelect = 2;
  s.m_ChangeNozzleSelect = 1;
  s.m_RunSelect = 1;
  CDialogSMTStrategy d(s, machine, env);
  machine.headCount = 1;
  ASSERT_TRUE(d.TryAccept());
  // Sorted by the order's key, then by the two-head mode's key.
  EXPECT_EQ(list.logic.sortCode, 12);
  EXPECT_EQ(machine.headCount, 2);
  EXPECT_EQ(list.job.visible, smt::job::VisibleList::Dispense);
  EXPECT_EQ(smt::run::Strategy(smt::CurrentMachine()).m_HeaderSelect, 2);
  EXPECT_EQ(smt::run::LoadStrategy(dir.string()).m_ChangeNozzleSelect, 1);
}

TEST_F(StrategyDialog, OutOfRangeValueKeepsThePageOpen) {
  CDialogSMTStrategy d(SmtStrategy{}, machine, env);
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
  CDialogSMTStrategy four(s, machine, env);
  EXPECT_FALSE(four.Button(1458)->isEnabled());
  EXPECT_FALSE(four.Button(1458)->isChecked());
  env.machineType = 1;
  CDialogSMTStrategy one(s, machine, env);
  EXPECT_TRUE(one.Button(1458)->isChecked());
  EXPECT_TRUE(one.Button(1459)->isEnabled());
}

}  // namespace
