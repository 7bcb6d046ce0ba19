// The board going away under the program as main() builds it on the demo
// working directory: the simulated board ends (its serial line closes, its
// network port closes) while the program is idle or in the middle of a run.
// The operator is told once, within 2 s, naming the link that went; the
// connect button shows it; Start, Home and the jog are off until the board is
// connected again, which works from the same window.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "link/MachineGuards.h"
#include "platform/RefusalTexts.h"
#include "RunningDemoFixture.h"
#include "app/CommandIds.h"
#include "link/JogPanelLayout.h"
#include "link/LinkTexts.h"
#include "link/MachineCommands.h"
#include "link/NamespacePair.h"
#include "platform/WorkerThreads.h"

namespace {

enum class Over { Serial, Network };
enum class When { Idle, DuringARun };

struct LossCase {
  Over link;
  When when;
  const char* name;
};

}  // namespace

class LostBoard : public RunningDemo, public ::testing::WithParamInterface<LossCase> {
 protected:
  void SetUp() override {
    RunningDemo::SetUp();
    if (HasFatalFailure() || IsSkipped() || GetParam().link != Over::Network) return;
    // The board on a host of its own (discovery keeps multicast loop-back
    // off), answering discovery and commands on its usual ports.
    ns = std::make_unique<linktest::NamespacePair>("lb", 232);
    if (!ns->ok()) GTEST_SKIP() << "network namespaces cannot be made here (needs root and ip netns)";
    sim->Stop();
    sim->SetWorld(nullptr);
    smt::sim::SimConfig c;
    c.serial = false;
    c.headMask = 0x03;
    sim = std::make_unique<smt::sim::SimBoard>(c);
    sim->SetWorld(world.get());
    ASSERT_TRUE(StartBoard());
    smt::platform::WriteProfileString(smt::platform::ConfigPath(dir.str()), "SetBasicConfig", "m_CommModel", "1");
    smt::platform::ClearProfileCache();
  }
  void TearDown() override {
    RunningDemo::TearDown();
    if (sim) sim->Stop();
  }

  bool Network() const { return GetParam().link == Over::Network; }

  // The board's sockets in its own namespace; the serial board's new line
  // is the COM port the program opens.
  bool StartBoard() {
    bool started = false;
    if (Network()) {
      if (!ns->RunIn(true, [&] { started = sim->Start(); })) return false;
      return started;
    }
    started = sim->Start();
    smt::platform::WriteProfileString(smt::platform::ConfigPath(dir.str()), "SerialPortConfig", "COM1",
                                      sim->SerialPath());
    smt::platform::ClearProfileCache();
    return started;
  }

  // On the network the press is made from the program's own host: the
  // connect thread it starts, and the sockets that thread opens, live there.
  void PressConnect() override {
    if (Network())
      ASSERT_TRUE(ns->RunHere(false, [&] { Click(ConnectButton()); }));
    else
      Click(ConnectButton());
  }

  CMainFrame& StartIdleWithTheJobOpen() {
    CMainFrame& f = Start();
    f.show();
    ConnectAndHome();
    EXPECT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
    EXPECT_TRUE(PumpUntil([&] { return f.view()->m_pPartList->ToolBar().Button(106)->isEnabled(); }));
    return f;
  }

  bool HomeCommandReceived() {
    const auto r = sim->Received();
    return std::any_of(r.begin(), r.end(), [](const smt::sim::ReceivedCommand& c) {
      return smt::link::IsHomeCode(static_cast<uint8_t>(c.code));
    });
  }

  std::unique_ptr<linktest::NamespacePair> ns;
};

TEST_P(LostBoard, IsToldOnceWithinTwoSecondsTheControlsGoOffAndAReconnectWorks) {
  const LossCase c = GetParam();
  CMainFrame& f = c.when == When::DuringARun ? StartRunAndWaitForAHeldPart() : StartIdleWithTheJobOpen();
  ASSERT_FALSE(HasFatalFailure());
  auto& bar = f.view()->m_pPartList->ToolBar();
  // Idle: nothing has been sent for a while.
  if (c.when == When::Idle) PumpUntil([] { return false; }, 1200ms);
  messages.service.Clear();

  const auto t0 = std::chrono::steady_clock::now();
  sim->Stop();  // the board is gone: its line and its port close
  ASSERT_TRUE(PumpUntil([&] { return !TextsWith(smt::link::LinkTextsOf(smt::CurrentMachine()).lostConnectAgain).empty(); }, 10s)) << Messages();
  const long long noticeMs = MsSince(t0);
  std::printf("[figure] board gone on the %s link (%s) noticed after %lld ms\n",
              Network() ? "network" : "serial", c.when == When::Idle ? "idle" : "during a run", noticeMs);
  EXPECT_LT(noticeMs, 2000);
  EXPECT_FALSE(smt::CurrentMachine().connected.load());
  ASSERT_TRUE(PumpUntil([&] { return RunOver(); }, 10s));
  PumpUntil([] { return false; }, 700ms);
  // One message, about the loss, naming the link that went; no time-out or
  // failed command of the run stacks up behind it, and the run adds nothing
  // of its own (it can neither carry its parts away nor switch their vacuum
  // off without the link): the message says which nozzles may still hold
  // parts, in the window's language.
  ASSERT_EQ(messages.service.Texts().size(), 1u) << Messages();
  const std::string told = messages.service.Texts()[0];
  const smt::link::LinkTexts lt = smt::link::LinkTextsOf(smt::CurrentMachine());
  EXPECT_NE(told.find(lt.lostConnectAgain), std::string::npos) << told;
  EXPECT_NE(told.find(Network() ? smt::platform::FillText(lt.networkName, {ns->boardAddress()})
                                : lt.serialName.substr(0, lt.serialName.find("%1"))),
            std::string::npos)
      << told;
  const std::string held = smt::link::LinkTextsOf(smt::CurrentMachine()).lostWithVacuumOn;
  if (c.when == When::DuringARun) {
    const size_t at = told.find(held);
    ASSERT_NE(at, std::string::npos) << told;
    EXPECT_EQ(told.substr(at + held.size(), 2), " 1") << told;  // nozzle 1 held its part
  } else {
    EXPECT_EQ(told.find(held), std::string::npos) << told;
  }
  EXPECT_TRUE(TextsWith("time-out").empty()) << Messages();
  EXPECT_EQ(Jog().ButtonText(), "联机");
  EXPECT_FALSE(Control(smt::link::jogid::kXPlus)->isEnabled());
  EXPECT_FALSE(Control(smt::link::jogid::kYMinus)->isEnabled());
  EXPECT_FALSE(Control(smt::link::jogid::kReset)->isEnabled());
  EXPECT_FALSE(bar.Button(106)->isEnabled());

  // The board is back: the same window connects again, homes, and the
  // controls and Start come back.
  ASSERT_TRUE(StartBoard()) << sim->LastError();
  world->Clear();
  messages.service.Clear();
  ConnectAndHome();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_TRUE(HomeCommandReceived());
  EXPECT_TRUE(PumpUntil([&] { return bar.Button(106)->isEnabled(); }));
  EXPECT_TRUE(Control(smt::link::jogid::kYMinus)->isEnabled());
  EXPECT_TRUE(messages.service.Texts().empty()) << Messages();

  // Moves work again, with nothing to tell: a jog, and a go-to from the menu
  // (nozzle 1 to the throw position), each reaching the board.
  sim->ClearReceived();
  ASSERT_TRUE(Jog().Jog(0, true));
  ASSERT_TRUE(PumpUntil([] { return !smt::CurrentMachine().machineBusy.load(); }, 10s));
  EXPECT_TRUE(sim->LastReceived(0x61).has_value());
  sim->ClearReceived();
  f.view()->OnCommand(smt::app::cmd::kGoNozzleToThrow[0]);
  ASSERT_TRUE(PumpUntil([] { return !smt::CurrentMachine().machineBusy.load(); }, 10s));
  EXPECT_TRUE(sim->LastReceived(0x64).has_value());
  EXPECT_TRUE(smt::CurrentMachine().connected.load());
  PumpUntil([] { return false; }, 200ms);
  EXPECT_TRUE(messages.service.Texts().empty()) << Messages();
}

// Connected again but not homed: the positions the program held before the
// loss are not the board's, so a go-to from the menu (nozzle 1 to the throw
// position) sends no move and says to home first; after a home it goes.
TEST_P(LostBoard, AfterAReconnectNoMoveIsSentUntilTheMachineIsHomed) {
  const LossCase c = GetParam();
  CMainFrame& f = c.when == When::DuringARun ? StartRunAndWaitForAHeldPart() : StartIdleWithTheJobOpen();
  ASSERT_FALSE(HasFatalFailure());
  // The program holds the gantry away from 0.
  sim->Stop();
  ASSERT_TRUE(PumpUntil([&] { return !TextsWith(smt::link::LinkTextsOf(smt::CurrentMachine()).lostConnectAgain).empty(); }, 10s)) << Messages();
  ASSERT_TRUE(PumpUntil([&] { return RunOver(); }, 10s));
  EXPECT_FALSE(smt::CurrentMachine().resetDone.load());
  ASSERT_TRUE(StartBoard()) << sim->LastError();
  world->Clear();
  PressConnect();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(PumpUntil([] { return smt::CurrentMachine().connected.load(); }));
  ASSERT_TRUE(PumpUntil([] { return !smt::CurrentMachine().machineBusy.load(); }, 10s));
  if (smt::CurrentMachine().resetDone.load()) GTEST_SKIP() << "this demo homes on connecting";
  messages.service.Clear();
  sim->ClearReceived();
  f.view()->OnCommand(smt::app::cmd::kGoNozzleToThrow[0]);
  PumpUntil([] { return false; }, 500ms);
  ASSERT_TRUE(PumpUntil([] { return !smt::CurrentMachine().machineBusy.load(); }, 10s));
  for (const auto& r : sim->Received())
    EXPECT_FALSE(smt::link::IsMotionCode(static_cast<uint8_t>(r.code))) << "move " << r.code << " sent before a home";
  EXPECT_EQ(messages.service.Texts().size(), 1u) << Messages();
  EXPECT_FALSE(messages.service.Texts().empty() ||
               messages.service.Texts()[0].find(smt::link::kNotReset.Text()) == std::string::npos &&
                   messages.service.Texts()[0].find(smt::link::LinkTextsOf(smt::CurrentMachine()).positionUncertain) == std::string::npos)
      << Messages();
  // Homed: the go-to reaches the board.
  Home();
  ASSERT_FALSE(HasFatalFailure());
  sim->ClearReceived();
  f.view()->OnCommand(smt::app::cmd::kGoNozzleToThrow[0]);
  ASSERT_TRUE(PumpUntil([] { return !smt::CurrentMachine().machineBusy.load(); }, 10s));
  EXPECT_TRUE(PumpUntil([&] { return sim->LastReceived(0x64).has_value(); }, 3s));
}

INSTANTIATE_TEST_SUITE_P(
    Links, LostBoard,
    ::testing::Values(LossCase{Over::Serial, When::Idle, "SerialIdle"},
                      LossCase{Over::Serial, When::DuringARun, "SerialDuringARun"},
                      LossCase{Over::Network, When::Idle, "NetworkIdle"},
                      LossCase{Over::Network, When::DuringARun, "NetworkDuringARun"}),
    [](const auto& info) { return std::string(info.param.name); });

// A feed the board refuses during the demo run: the feeder presents no
// part, and the run ends at once with the one message about the refusal,
// not after the feed wait's limit with "Feed time out !" behind it.
class FeedFailure : public RunningDemo {};

TEST_F(FeedFailure, AFailedFeedEndsTheRunAtOnceWithOneMessage) {
  CMainFrame& f = Start();
  f.show();
  ConnectAndHome();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(f.view()->document()->OnOpenDocument(dir / smt::app::kDemoJobName));
  ASSERT_TRUE(PumpUntil([&] { return f.view()->m_pPartList->ToolBar().Button(106)->isEnabled(); }));
  messages.service.Clear();
  sim->ClearReceived();
  // Either form of the feed command, whichever the demo's feeder sends.
  sim->InjectSerialError(0x56, 0x56, 0);
  sim->InjectSerialError(0x66, 0x66, 0);
  sim->InjectStatus(0x66, 0x11);
  ClickToolbar(106);
  ASSERT_TRUE(PumpUntil([&] { return sim->LastReceived(0x56).has_value() || sim->LastReceived(0x66).has_value(); }, 20s))
      << Messages();
  ASSERT_TRUE(PumpUntil([&] { return RunOver(); }, 10s)) << "the run still waits for the part of a failed feed";
  PumpUntil([] { return false; }, 500ms);
  EXPECT_TRUE(TextsWith("Feed time out").empty()) << Messages();
  EXPECT_EQ(messages.service.Texts().size(), 1u) << Messages();
  EXPECT_FALSE(world->Held(1).has_value()) << "a part was picked from a feeder that did not feed";
  sim->ClearInjected(0x56);
  sim->ClearInjected(0x66);
}
