// The run engine connected to a real part list panel.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/Machine.h"
#include "feeder/FeederNames.h"
#include "feeder/FeederTable.h"
#include "job/CDialogPartList.h"
#include "library/NozzleStrategy.h"
#include "run/RunServices.h"
#include "run/RunShellWiring.h"
#include "run/StrategySettings.h"

namespace {

TEST(ShellWiring, PanelStartReachesTheDispatcherAndTheSearchReachesThePickTarget) {
  CDialogPartList panel{smt::CurrentMachine()};
  smt::run::WireRunEngine(smt::CurrentMachine(), panel);
  EXPECT_TRUE(static_cast<bool>(panel.Run().startRun));
  ASSERT_TRUE(static_cast<bool>(panel.Logic().calcFeederPickTarget));
  EXPECT_EQ(&smt::run::Feeders(smt::CurrentMachine()), &smt::feeder::FeederTable::Of(smt::CurrentMachine()));
  // The run's busy flags and placed counter are the ones the panel shows.
  EXPECT_EQ(&smt::run::SmtBusy(smt::CurrentMachine()), &panel.Run().m_bSmtThreadBusy);
  EXPECT_EQ(&smt::run::PartList(smt::CurrentMachine()).run.m_nPlacedCount, &panel.Run().m_nPlacedCount);
  smt::run::Services(smt::CurrentMachine()) = {};
}

TEST(ShellWiring, NozzleLibraryFollowsTheCommittedStrategy) {
  const auto dir = std::filesystem::temp_directory_path() / "smt_run_wiring";
  std::filesystem::create_directories(dir);
  smt::run::LoadStrategyAtStart(smt::CurrentMachine(), dir.string());
  smt::run::SmtStrategy s = smt::run::Strategy(smt::CurrentMachine());
  s.m_AutoChangeNozzle = 1;
  s.m_ChangeNozzleSelect = 2;
  smt::run::SetStrategy(smt::CurrentMachine(), s);
  EXPECT_EQ(smt::library::NozzleStrategyOf(smt::CurrentMachine()).m_AutoChangeNozzle, 1);
  EXPECT_EQ(smt::library::NozzleStrategyOf(smt::CurrentMachine()).m_ChangeNozzleSelect, 2);
  smt::run::ResetStrategyHeadMode(smt::CurrentMachine(), dir.string());
  EXPECT_EQ(smt::run::LoadStrategy(dir.string()).m_HeaderSelect, 0);
  EXPECT_EQ(smt::library::NozzleStrategyOf(smt::CurrentMachine()).m_ChangeNozzleSelect, 0);
  smt::library::SetNozzleStrategySource(smt::CurrentMachine(), nullptr);
  smt::run::SetStrategy(smt::CurrentMachine(), {});
  std::filesystem::remove_all(dir);
}

}  // namespace
