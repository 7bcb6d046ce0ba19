// The machine owns its two links: the jog panel connects by them and only
// uses them, they live as long as the machine, a closed panel leaves them
// closed (no link thread left calling a freed panel), and links still open
// when their machine goes are closed with it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LinkTestSupport.h"
#include "NamespacePair.h"
#include "core/Machine.h"
#include "link/CDialogManualControl.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MachineLinks.h"
#include "link/LinkGlobals.h"
#include "link/LinkHooks.h"
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

// --- a machine that goes while its link's replies arrive ------------------------------------

// What the link threads of a machine did, kept by the test: it outlives the
// machine.
struct LinkThreadWitness {
  std::thread::id testThread = std::this_thread::get_id();
  std::atomic<int> liveLinkThreads{0};
  std::atomic<int> readings{0};
  // Link threads still live when the first and the last made part of the
  // machine were freed (-1: not freed yet).
  std::atomic<int> liveAtFreeOfFirstPart{-1};
  std::atomic<int> liveAtFreeOfLastPart{-1};
};

// Counts a link thread as live until it ends: a thread's own objects are
// destroyed as it ends, before a join of it returns.
struct LiveMark {
  LinkThreadWitness* witness = nullptr;
  ~LiveMark() {
    if (witness) --witness->liveLinkThreads;
  }
};
thread_local LiveMark liveMark;

// The panel's hooks, owned by the test: each vacuum reading a link thread
// hands over marks that thread live.
class WitnessHooks : public smt::link::LinkHooks {
 public:
  explicit WitnessHooks(LinkThreadWitness& w) : w_(w) {}
  void ShowVacuumValue() override {
    if (std::this_thread::get_id() != w_.testThread && !liveMark.witness) {
      liveMark.witness = &w_;
      ++w_.liveLinkThreads;
    }
    ++w_.readings;
  }

 private:
  LinkThreadWitness& w_;
};

// Parts of the machine that note, when they are freed, how many link
// threads still run: one made before any other part, one made last, so
// that whichever order the parts go in, one of them goes first.
template <int Which>
struct FreeWitness {
  LinkThreadWitness* witness = nullptr;
  ~FreeWitness() {
    if (!witness) return;
    (Which == 0 ? witness->liveAtFreeOfFirstPart : witness->liveAtFreeOfLastPart) = witness->liveLinkThreads.load();
  }
};

class MachineGoingWithLinkOpen : public ::testing::TestWithParam<KindCase> {};

TEST_P(MachineGoingWithLinkOpen, StopsItsLinkThreadsBeforeAnyPartIsFreed) {
  linktest::ResetLinkState();
  linktest::QuietLinkRoutes();
  const bool udp = GetParam().kind == Kind::Udp;
  smt::sim::SimConfig c;
  c.udp = udp;
  c.serial = !udp;
  c.discovery = false;
  c.udpBindAddress = "127.0.0.1";
  c.udpPort = 0;
  smt::sim::SimBoard sim(c);
  ASSERT_TRUE(sim.Start()) << sim.LastError();

  LinkThreadWitness witness;
  WitnessHooks hooks(witness);
  {
    // A second machine beside the current one, with its link open and the
    // board's replies coming in when it goes.
    auto gone = std::make_unique<smt::Machine>();
    gone->Part<FreeWitness<0>>().witness = &witness;
    auto& rt = smt::link::RuntimeOf(*gone);
    rt.hooks = &hooks;
    rt.headMask = 0x01;
    smt::link::MachineLinks& links = smt::link::LinksOf(*gone);
    if (udp) {
      links.udp.SetLocalPort(0);
      ASSERT_TRUE(links.udp.Open("127.0.0.1", static_cast<uint32_t>(sim.UdpPort())));
      links.udp.StartReplyLoop();
      rt.udp = &links.udp;
      rt.commModel = 1;
    } else {
      ASSERT_TRUE(links.serial.Open(sim.SerialPath()));
      rt.serial = &links.serial;
      rt.commModel = 0;
    }
    gone->connected = true;
    ASSERT_TRUE(gone->TryClaimBusy());  // a busy machine's reading answers the wait
    for (int i = 0; i < 3; ++i)
      ASSERT_EQ(smt::link::SendCmd15ReadVacuum(*gone, 1), smt::link::CommandResult::Ok);
    ASSERT_GE(witness.readings.load(), 3);
    ASSERT_GE(witness.liveLinkThreads.load(), 1);
    // More readings asked for without waiting: their replies arrive while
    // the machine goes.
    smt::link::MachineCommand ask;
    ask.code = 0x15;
    ask.trace = false;
    ask.udpPayload = {1};
    ask.serialPayload = {1};
    for (int i = 0; i < 20; ++i) smt::link::SendMachineCommand(*gone, ask);
    gone->Part<FreeWitness<1>>().witness = &witness;
    gone.reset();
  }
  EXPECT_EQ(witness.liveAtFreeOfFirstPart.load(), 0);
  EXPECT_EQ(witness.liveAtFreeOfLastPart.load(), 0);
  EXPECT_EQ(witness.liveLinkThreads.load(), 0);
  sim.Stop();
}

INSTANTIATE_TEST_SUITE_P(Kinds, MachineGoingWithLinkOpen,
                         ::testing::Values(KindCase{"Serial", Kind::Serial}, KindCase{"Udp", Kind::Udp}),
                         [](const auto& info) { return std::string(info.param.name); });

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
