// The drilling machine's run on a board that falls silent in the middle of
// it: the operator is told once, about the loss, and nothing the run tries
// afterwards (its tool lift, its end moves) adds a second message.
#include <string>

#include "ShellSimFixture.h"
#include "job/CDialogPartList.h"
#include "job/JobRows.h"
#include "job/RunControl.h"
#include "link/LinkGlobals.h"
#include "link/LinkTexts.h"
#include "run/StrategySettings.h"

class DrillLostBoard : public ShellSimTest {};

TEST_F(DrillLostBoard, ASilentBoardDuringADrillRunIsToldOnce) {
  WriteConfig(MachineConfig() + "[MachineSetConfig]\nMachineSet=9\n");
  CMainFrame& f = Start();
  ASSERT_TRUE(f.view()->m_pManualControl->ConnectNow());
  smt::CurrentMachine().resetDone = true;
  smt::CurrentMachine().masterResetOk = true;
  ASSERT_EQ(smt::CurrentMachine().machineType.load(), 9);
  CDialogPartList& p = *f.view()->m_pPartList;
  smt::run::SmtStrategy s = smt::run::Strategy(smt::CurrentMachine());
  s.m_RunSelect = 0;
  s.m_HeaderSelect = 0;
  smt::run::SetStrategy(smt::CurrentMachine(), s);
  p.Job().runSelect = 0;
  p.Job().placementRows.clear();
  p.Job().dispenseRows.clear();
  p.Job().drillRows.clear();
  for (int n = 1; n <= 4; ++n) {
    smt::job::ListRow r(15);
    r.cells[0] = std::to_string(n);
    r.cells[3] = std::to_string(5 * n);
    r.cells[4] = std::to_string(-5 * n);
    r.cells[5] = "-20";  // start Z
    r.cells[6] = "4";    // depth
    r.cells[7] = "1";    // feed per peck
    r.cells[8] = "1";    // lift
    r.cells[10] = r.cells[11] = r.cells[12] = r.cells[13] = "5";
    p.Job().drillRows.push_back(r);
  }
  sim->ClearReceived();
  messages.service.Clear();
  ASSERT_TRUE(p.Run().OnStart()) << (messages.service.Texts().empty() ? "" : messages.service.Texts().back());
  // The first hole's move reaches the board; from then on it says nothing.
  ASSERT_TRUE(Pump([&] { return sim->Received().size() >= 3; }, std::chrono::seconds(10)));
  sim->DropReplies(1000000);
  ASSERT_TRUE(Pump([&] { return !smt::CurrentMachine().machineBusy.load() && p.Run().m_bSmtThreadBusy == 0; },
                   std::chrono::seconds(30)));
  Pump([] { return false; }, std::chrono::milliseconds(800));
  sim->DropReplies(0);
  const auto texts = messages.service.Texts();
  ASSERT_EQ(texts.size(), 1u) << [&] {
    std::string all;
    for (const auto& t : texts) all += "[" + t + "] ";
    return all;
  }();
  EXPECT_NE(texts[0].find(smt::link::LinkTextsOf(smt::CurrentMachine()).lostConnectAgain), std::string::npos) << texts[0];
  EXPECT_FALSE(smt::CurrentMachine().resetDone.load());
  for (auto* e : smt::link::AllReplyEvents(smt::CurrentMachine())) e->ForgetLateReply();
}
