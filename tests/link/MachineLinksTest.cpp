// The machine owns its two links: the jog panel connects by them and only
// uses them, they live as long as the machine, a closed panel leaves them
// closed (no link thread left calling a freed panel), and links still open
// when their machine goes are closed with it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "LinkTestSupport.h"
#include "NamespacePair.h"
#include "core/Machine.h"
#include "link/CDialogManualControl.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MachineLinks.h"
#include "link/LinkGlobals.h"
#include "link/ReplyEvent.h"
#include "platform/MessageService.h"
#include "platform/ProfileFile.h"
#include "sim/SimBoard.h"

namespace {

TEST(MachineLinks, EachMachineHasItsOwnTwoLinksForItsLife) {
  smt::Machine a, b;
  smt::link::MachineLinks& la = smt::link::LinksOf(a);
  EXPECT_EQ(&smt::link::LinksOf(a), &la);
  EXPECT_NE(&smt::link::LinksOf(b), &la);
  EXPECT_EQ(&la.udp.OwnMachine(), &a);
  EXPECT_EQ(&la.serial.OwnMachine(), &a);
  EXPECT_EQ(&smt::link::LinksOf(b).serial.OwnMachine(), &b);
  EXPECT_FALSE(la.udp.IsOpen());
  EXPECT_FALSE(la.serial.IsOpen());
}

TEST(MachineLinks, AMachineThatGoesWithItsComPortOpenClosesItFirst) {
  linktest::ResetLinkState();
  smt::sim::SimConfig c;
  c.udp = false;
  c.discovery = false;
  smt::sim::SimBoard sim(c);
  ASSERT_TRUE(sim.Start()) << sim.LastError();
  auto gone = std::make_unique<smt::Machine>();
  ASSERT_TRUE(smt::link::LinksOf(*gone).serial.Open(sim.SerialPath()));
  gone.reset();

  // No reader of the machine that went is left on the port to take the
  // board's answers: the next machine's hello is answered to it.
  smt::Machine next;
  smt::link::CSerialLink& port = smt::link::LinksOf(next).serial;
  ASSERT_TRUE(port.Open(sim.SerialPath()));
  auto& rt = smt::link::RuntimeOf(next);
  rt.serial = &port;
  rt.commModel = 0;
  smt::link::ReplyEvent& hello = next.Part<smt::link::ReplyEvents>().axisMove;
  hello.Arm();
  ASSERT_TRUE(smt::link::SendCmd00Hello(next));
  EXPECT_EQ(hello.Wait(next, std::chrono::seconds(5), smt::link::WaitWatch::ConnectProbe),
            smt::link::ReplyWait::Done);
  EXPECT_GT(port.FramesReceived(), 0u);
  port.Close();
  sim.Stop();
}

// --- the jog panel on the machine's links ---------------------------------------------------

enum class Kind { Serial, Udp };

struct KindCase {
  const char* name;
  Kind kind;
};

class PanelOnMachineLinks : public ::testing::TestWithParam<KindCase> {
 protected:
  void SetUp() override {
    linktest::ResetLinkState();
    dir = std::filesystem::temp_directory_path() /
          ("smt-links-" + std::to_string(getpid()) + "-" + std::string(GetParam().name));
    std::filesystem::create_directories(dir);
    smt::sim::SimConfig c;
    c.discovery = GetParam().kind == Kind::Udp;
    c.udp = GetParam().kind == Kind::Udp;
    c.serial = GetParam().kind == Kind::Serial;
    if (GetParam().kind == Kind::Udp) {
      if (!ns.ok())
        GTEST_SKIP() << "network namespaces cannot be made here (needs root and ip netns); "
                        "discovery needs the simulator on a host of its own";
      sim = std::make_unique<smt::sim::SimBoard>(c);
      ASSERT_TRUE(ns.RunIn(true, [&] { ASSERT_TRUE(sim->Start()) << sim->LastError(); }));
      std::ofstream(dir / "config.ini") << "[SetBasicConfig]\nm_CommModel=1\n";
    } else {
      sim = std::make_unique<smt::sim::SimBoard>(c);
      ASSERT_TRUE(sim->Start()) << sim->LastError();
      std::ofstream(dir / "config.ini") << "[SetBasicConfig]\nm_CommModel=0\n[ManualControlConfig]\nm_ComNumber=3\n"
                                           "[SerialPortConfig]\nCOM3="
                                        << sim->SerialPath() << "\n";
    }
    smt::platform::ClearProfileCache();
  }
  void TearDown() override {
    if (sim) sim->Stop();
    linktest::ResetLinkState();
    std::filesystem::remove_all(dir);
  }

  bool Connect(CDialogManualControl& panel) {
    panel.LoadLanguage(dir.string(), "Chinese");
    panel.LoadConfig(dir.string());
    panel.m_Discovery.attemptTimeout = std::chrono::milliseconds(300);
    if (GetParam().kind == Kind::Serial) return panel.ConnectNow();
    bool up = false;
    return ns.RunIn(false, [&] { up = panel.ConnectNow(); }) && up;
  }
  smt::link::Link& Chosen(smt::link::MachineLinks& links) {
    if (GetParam().kind == Kind::Serial) return links.serial;
    return links.udp;
  }

  std::filesystem::path dir;
  smt::platform::ScopedRecordingMessages messages;
  linktest::NamespacePair ns{"ml", 233};
  std::unique_ptr<smt::sim::SimBoard> sim;
};

TEST_P(PanelOnMachineLinks, APanelConnectsByTheMachinesLinkAndAClosedPanelLeavesItClosed) {
  smt::Machine& machine = smt::CurrentMachine();
  smt::link::MachineLinks& links = smt::link::LinksOf(machine);
  smt::link::Link& chosen = Chosen(links);
  auto& rt = smt::link::RuntimeOf(machine);
  {
    CDialogManualControl panel{machine};
    EXPECT_EQ(&panel.MachineLink(), &links.udp);
    EXPECT_EQ(&panel.SerialLink(), &links.serial);
    EXPECT_EQ(rt.udp.load(), &links.udp);
    ASSERT_TRUE(Connect(panel));
    EXPECT_TRUE(machine.connected);
    EXPECT_TRUE(chosen.IsOpen());
    EXPECT_EQ(rt.ActiveLink(), &chosen);
    // Commands go over the machine's link to the board.
    sim->ClearReceived();
    ASSERT_TRUE(smt::link::SetOutput(machine, 2, 1, 5));
    EXPECT_TRUE(linktest::WaitFor([&] { return sim->Output(2); }));
  }
  // The panel went: the link is stopped and closed but still the machine's,
  // and the link runtime holds neither of its links.
  EXPECT_FALSE(chosen.IsOpen());
  EXPECT_FALSE(links.udp.ReplyLoopRunning());
  EXPECT_EQ(&smt::link::LinksOf(machine), &links);
  EXPECT_EQ(rt.udp.load(), nullptr);
  EXPECT_EQ(rt.serial.load(), nullptr);
  EXPECT_EQ(rt.hooks.load(), nullptr);

  // A new panel on the machine connects again by the same link.
  machine.connected = false;
  CDialogManualControl again{machine};
  ASSERT_TRUE(Connect(again));
  EXPECT_TRUE(chosen.IsOpen());
  EXPECT_EQ(rt.ActiveLink(), &chosen);
  ASSERT_TRUE(smt::link::SetOutput(machine, 3, 1, 5));
  EXPECT_TRUE(linktest::WaitFor([&] { return sim->Output(3); }));
  EXPECT_TRUE(messages.service.Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(Links, PanelOnMachineLinks,
                         ::testing::Values(KindCase{"Serial", Kind::Serial}, KindCase{"Udp", Kind::Udp}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
