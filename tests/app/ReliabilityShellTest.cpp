// Faults seen through the program as main() builds it: damaged library list
// files, unusable nozzle numbers, a board that goes away.
#include "link/LinkTexts.h"
#include <QApplication>

#include "ShellFixture.h"
#include "link/CDialogManualControl.h"
#include "link/LinkGlobals.h"
#include "link/LinkTestSupport.h"
#include "sim/SimBoard.h"
#include "library/NozzleSeats.h"
#include "platform/Archive.h"
#include "platform/ListFile.h"

using namespace smt::app;

namespace {
// Waits for `cond` while the window thread's queued work (message boxes,
// button texts) runs.
bool WaitPumping(const std::function<bool()>& cond, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    QApplication::processEvents();
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  QApplication::processEvents();
  return cond();
}
}  // namespace

TEST_F(ShellTest, AListFileWhoseCountWasDamagedIsKeptAsideNotLoadedInPart) {
  smt::platform::ArchiveWriter w;
  w.WriteI32(1);  // three rows follow
  for (const char* row : {"0603\t", "0805\t", "1206\t"}) w.WriteString(row);
  dir.Write("config_pack.fig", std::string(w.bytes().begin(), w.bytes().end()));
  CMainFrame& f = Start();
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_NE(messages.service.Texts()[0].find("config_pack.fig"), std::string::npos);
  EXPECT_TRUE(f.Lists().packRows.empty());
  bool keptAside = false;
  for (auto& e : std::filesystem::directory_iterator(dir.path()))
    keptAside |= e.path().filename().string().rfind("config_pack.fig.damaged-", 0) == 0;
  EXPECT_TRUE(keptAside);
}

// A "nan" nozzle cell is refused where it is read, the file and field named;
// it never becomes -2^31 steps.
TEST_F(ShellTest, ANonFiniteNozzleCellIsRefusedWithItsFileAndField) {
  smt::platform::ListFileContent c;
  c.rows = {"1\tnan\t2.0\t3\t4\t5\t6\t7\tN1\t", "2\t1.0\t1e300\t3\t4\t5\t6\t7\tN2\t"};
  smt::platform::WriteListFile(dir / "config_nozzle.fig", c);
  Start();
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  const std::string text = messages.service.Texts()[0];
  EXPECT_NE(text.find("File \"config_nozzle.fig\", line 1, field \"X\": \"nan\""), std::string::npos) << text;
  EXPECT_NE(text.find("File \"config_nozzle.fig\", line 2, field \"Y\": \"1e300\""), std::string::npos) << text;
  EXPECT_NE(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(0).nX, INT32_MIN);
  EXPECT_NE(smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(1).nY, INT32_MAX);
}

// The program as main() builds it, on a simulated board over its serial
// line: the board goes silent during a jog; the jog's time-out is told, the
// connect button shows the link down, the machine counts as not homed; the
// operator connects again from the same panel and, once homed, jogs.
TEST_F(ShellTest, ALostBoardIsToldTheButtonShowsItAndAReconnectWorks) {
  smt::sim::SimConfig c;
  c.udp = false;
  c.discovery = false;
  smt::sim::SimBoard sim(c);
  ASSERT_TRUE(sim.Start()) << sim.LastError();
  WriteConfig("[SetBasicConfig]\nm_CommModel=0\n[ManualControlConfig]\nm_ComNumber=3\nm_A_RunSteps=100\n"
              "[SerialPortConfig]\nCOM3=" + sim.SerialPath() + "\n");
  CMainFrame& f = Start();
  CDialogManualControl* panel = f.view()->m_pManualControl;
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(panel->ConnectNow());
  ASSERT_TRUE(smt::CurrentMachine().connected);
  smt::CurrentMachine().resetDone = true;
  smt::CurrentMachine().masterResetOk = true;
  messages.service.Clear();

  sim.DropReplies(1000);
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove.SetTimeout(std::chrono::milliseconds(300));
  ASSERT_TRUE(panel->Jog(4, true));  // A1: no travel limit to set up
  ASSERT_TRUE(linktest::WaitFor([] { return !smt::CurrentMachine().machineBusy.load() && !smt::CurrentMachine().connected.load(); },
                                std::chrono::seconds(10)))
      << "busy " << smt::CurrentMachine().machineBusy.load() << " connected " << smt::CurrentMachine().connected.load() << " sent "
      << sim.LastReceived(0x61).has_value();
  ASSERT_TRUE(WaitPumping([&] { return !messages.service.Texts().empty(); }));
  EXPECT_NE(messages.service.Texts()[0].find(smt::link::LinkTextsOf(smt::CurrentMachine()).lostConnectAgain), std::string::npos);
  EXPECT_TRUE(WaitPumping([&] { return panel->ButtonText() == "联机"; }));
  EXPECT_FALSE(smt::CurrentMachine().resetDone);
  // A jog on the lost link says so.
  messages.service.Clear();
  EXPECT_FALSE(panel->Jog(4, true));
  ASSERT_TRUE(WaitPumping([&] { return !messages.service.Texts().empty(); }));
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_EQ(messages.service.Texts()[0], "Machine is not connection !");

  // The board is back: the same panel connects again; motion waits for homing.
  sim.DropReplies(0);
  ASSERT_TRUE(panel->ConnectNow());
  EXPECT_TRUE(smt::CurrentMachine().connected);
  EXPECT_EQ(panel->ButtonText(), "联机成功");
  messages.service.Clear();
  sim.ClearReceived();
  ASSERT_TRUE(panel->Jog(4, true));
  ASSERT_TRUE(linktest::WaitFor([] { return !smt::CurrentMachine().machineBusy.load(); }));
  EXPECT_FALSE(sim.LastReceived(0x61).has_value());
  ASSERT_TRUE(WaitPumping([&] { return !messages.service.Texts().empty(); }));
  // After a loss the position is not known until a home.
  const std::string refused = messages.service.Texts()[0];
  EXPECT_TRUE(refused.find("Machine is not reset !") != std::string::npos ||
              refused.find(smt::link::LinkTextsOf(smt::CurrentMachine()).positionUncertain) != std::string::npos)
      << refused;
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove.SetTimeout(std::chrono::seconds(60));
  smt::CurrentMachine().link.positionLost = false;
  smt::CurrentMachine().connected = false;
  smt::CurrentMachine().resetDone = false;
  smt::CurrentMachine().masterResetOk = false;
  sim.Stop();
}
