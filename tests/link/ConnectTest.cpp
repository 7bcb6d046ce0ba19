// Connecting from the jog panel: discovery and the UDP link between two
// network namespaces joined by a veth pair (the simulator is its own host,
// as discovery's multicast does not loop back), and the serial port scan
// over a pseudo-terminal.
#include "link/LinkTexts.h"
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <filesystem>
#include <fstream>

#include <iterator>

#include "LinkTestSupport.h"
#include "core/LogFile.h"
#include "NamespacePair.h"
#include "link/CDialogManualControl.h"
#include "link/DiscoverMainBoard.h"
#include "link/MachineCommands.h"
#include "platform/MessageService.h"
#include "platform/ProfileFile.h"

// The reply time-out message for one command code, in the texts in use.
static inline std::string LinkReplyTimeoutText(const std::string& code) {
  std::string t = smt::link::LinkTextsOf(smt::CurrentMachine()).replyTimeoutCode;
  const auto at = t.find("%1");
  if (at != std::string::npos) t.replace(at, 2, code);
  return t.substr(0, t.find(" !") == std::string::npos ? t.size() : t.find(" !"));
}

using namespace smt::link;
using smt::platform::ScopedRecordingMessages;

namespace {

class Connecting : public ::testing::Test {
 protected:
  void SetUp() override {
    linktest::ResetLinkState();
    dir = std::filesystem::temp_directory_path() / ("smt-link-" + std::to_string(getpid()) + "-" +
                                                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    linktest::ResetLinkState();
    std::filesystem::remove_all(dir);
  }
  void WriteConfig(const std::string& text) {
    std::ofstream(dir / "config.ini") << text;
    smt::platform::ClearProfileCache();
  }
  void SkipWithoutNamespaces() {
    if (!ns.ok())
      GTEST_SKIP() << "network namespaces cannot be made here (needs root and ip netns); "
                      "discovery needs the simulator on a host of its own";
  }

  std::filesystem::path dir;
  ScopedRecordingMessages messages;
  linktest::NamespacePair ns{"c", 231};
};

}  // namespace

TEST_F(Connecting, DiscoveryAnswerOnTheThirdAttempt) {
  SkipWithoutNamespaces();
  smt::sim::SimConfig c;
  c.serial = false;
  smt::sim::SimBoard sim(c);
  ASSERT_TRUE(ns.RunIn(true, [&] { ASSERT_TRUE(sim.Start()) << sim.LastError(); }));
  sim.IgnoreDiscovery(2);
  std::string address;
  bool found = false;
  DiscoveryOptions o;
  o.attemptTimeout = std::chrono::milliseconds(300);
  ASSERT_TRUE(ns.RunIn(false, [&] { found = DiscoverMainBoard(address, o); }));
  EXPECT_TRUE(found);
  EXPECT_EQ(address, ns.boardAddress());
  EXPECT_EQ(sim.DiscoveryRequests(), 3u);
  sim.Stop();
}

TEST_F(Connecting, NoBoardOnTheNetwork) {
  SkipWithoutNamespaces();
  WriteConfig("[SetBasicConfig]\nm_CommModel=1\n");
  CDialogManualControl panel{smt::CurrentMachine()};
  panel.LoadLanguage(dir.string(), "Chinese");
  panel.LoadConfig(dir.string());
  panel.m_Discovery.attempts = 2;
  panel.m_Discovery.attemptTimeout = std::chrono::milliseconds(100);
  bool up = true;
  ASSERT_TRUE(ns.RunIn(false, [&] { up = panel.ConnectNow(); }));
  EXPECT_FALSE(up);
  EXPECT_FALSE(smt::CurrentMachine().connected);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Ethernet is no Find !"});
  EXPECT_EQ(panel.ButtonText(), "联机失败");
}

TEST_F(Connecting, ConnectByUdpThenReconnectReusesTheLink) {
  SkipWithoutNamespaces();
  WriteConfig("[SetBasicConfig]\nm_CommModel=1\n");
  smt::sim::SimConfig c;
  c.serial = false;
  smt::sim::SimBoard sim(c);
  ASSERT_TRUE(ns.RunIn(true, [&] { ASSERT_TRUE(sim.Start()) << sim.LastError(); }));
  CDialogManualControl panel{smt::CurrentMachine()};
  panel.LoadLanguage(dir.string(), "Chinese");
  panel.LoadConfig(dir.string());
  panel.m_Discovery.attemptTimeout = std::chrono::milliseconds(300);
  bool up = false;
  ASSERT_TRUE(ns.RunIn(false, [&] { up = panel.ConnectNow(); }));
  EXPECT_TRUE(up);
  EXPECT_TRUE(smt::CurrentMachine().connected);
  EXPECT_FALSE(smt::CurrentMachine().link.firstOnline);
  EXPECT_EQ(panel.ButtonText(), "联机成功");
  EXPECT_TRUE(panel.MachineLink().ReplyLoopRunning());

  // A lost head board clears the connection; the next press reconnects on the same link.
  sim.InjectStatus(0x60, 0x41);
  SendCmd60SetState(smt::CurrentMachine(), 0, 0);
  ASSERT_TRUE(linktest::WaitFor([] { return !smt::CurrentMachine().connected; }));
  ASSERT_TRUE(ns.RunIn(false, [&] { up = panel.ConnectNow(); }));
  EXPECT_TRUE(up);
  EXPECT_TRUE(smt::CurrentMachine().connected);
  EXPECT_EQ(sim.DiscoveryRequests(), 2u);

  // Commands over the connected link reach the board.
  EXPECT_TRUE(SetOutput(smt::CurrentMachine(), 2, 1, 5));
  EXPECT_TRUE(linktest::WaitFor([&] { return sim.Output(2); }));
  sim.Stop();
}

TEST_F(Connecting, SerialScanFindsTheBoardAndAFailedScanStartsOverAtOne) {
  smt::sim::SimConfig c;
  c.udp = false;
  c.discovery = false;
  smt::sim::SimBoard sim(c);
  ASSERT_TRUE(sim.Start()) << sim.LastError();
  // COM5 does not exist, COM6 is the board.
  WriteConfig("[SetBasicConfig]\nm_CommModel=0\n[ManualControlConfig]\nm_ComNumber=5\n[SerialPortConfig]\nCOM5=" +
              (dir / "none").string() + "\nCOM6=" + sim.SerialPath() + "\n");
  CDialogManualControl panel{smt::CurrentMachine()};
  panel.LoadLanguage(dir.string(), "Chinese");
  panel.LoadConfig(dir.string());
  ASSERT_TRUE(panel.ConnectNow());
  EXPECT_TRUE(smt::CurrentMachine().connected);
  EXPECT_EQ(panel.m_ComNumber, 6);
  EXPECT_EQ(sim.LastReceived(0x00)->raw, (std::vector<uint8_t>{0xEE, 0x00, 0x02, 0x00, 0x02, 0xFF, 0xFC, 0xFF, 0xFF}));

  smt::CurrentMachine().connected = false;
  panel.m_ComNumber = 100;
  EXPECT_FALSE(panel.ConnectNow());
  EXPECT_EQ(panel.m_ComNumber, 1);
  EXPECT_EQ(panel.ButtonText(), "联机失败");
  EXPECT_TRUE(messages.service.Texts().empty());
  sim.Stop();
}

TEST_F(Connecting, PressWhileConnectedOrBusyChangesNothing) {
  CDialogManualControl panel{smt::CurrentMachine()};
  panel.LoadLanguage(dir.string(), "Chinese");
  smt::CurrentMachine().machineBusy = true;
  panel.OnOnline();
  EXPECT_FALSE(panel.Connecting());
  EXPECT_EQ(panel.ButtonText(), "联机");
  smt::CurrentMachine().machineBusy = false;
  smt::CurrentMachine().connected = true;
  EXPECT_FALSE(panel.ConnectNow());
  EXPECT_EQ(panel.ButtonText(), "联机");
}

// The protocol gives state 0x60 no reply: a board that never answers it
// still connects, on its discovery answer.
TEST_F(Connecting, ABoardThatNeverAnswersStateCommandsConnectsOverUdp) {
  SkipWithoutNamespaces();
  WriteConfig("[SetBasicConfig]\nm_CommModel=1\n");
  smt::sim::SimConfig c;
  c.serial = false;
  smt::sim::SimBoard sim(c);
  ASSERT_TRUE(ns.RunIn(true, [&] { ASSERT_TRUE(sim.Start()) << sim.LastError(); }));
  sim.DropRepliesTo(0x60, 1000);
  CDialogManualControl panel{smt::CurrentMachine()};
  panel.LoadLanguage(dir.string(), "Chinese");
  panel.LoadConfig(dir.string());
  panel.m_Discovery.attemptTimeout = std::chrono::milliseconds(300);
  bool up = false;
  ASSERT_TRUE(ns.RunIn(false, [&] { up = panel.ConnectNow(); }));
  EXPECT_TRUE(up);
  EXPECT_TRUE(smt::CurrentMachine().connected);
  EXPECT_EQ(panel.ButtonText(), "联机成功");
  EXPECT_TRUE(messages.service.Texts().empty());
  sim.Stop();
}

// A board that goes away: the failed command says so, the connect button
// shows the link down, and a press connects again without a restart.
TEST_F(Connecting, ALostBoardIsReportedAndAReconnectWorks) {
  smt::sim::SimConfig c;
  c.udp = false;
  c.discovery = false;
  smt::sim::SimBoard sim(c);
  ASSERT_TRUE(sim.Start()) << sim.LastError();
  WriteConfig("[SetBasicConfig]\nm_CommModel=0\n[ManualControlConfig]\nm_ComNumber=3\n[SerialPortConfig]\nCOM3=" +
              sim.SerialPath() + "\n");
  CDialogManualControl panel{smt::CurrentMachine()};
  panel.LoadLanguage(dir.string(), "Chinese");
  panel.LoadConfig(dir.string());
  ASSERT_TRUE(panel.ConnectNow());
  ASSERT_TRUE(smt::CurrentMachine().connected);
  EXPECT_EQ(panel.ButtonText(), "联机成功");

  // The board stops answering.
  sim.DropReplies(1000);
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().vacuum.SetTimeout(std::chrono::milliseconds(300));
  smt::CurrentMachine().machineBusy = true;  // the reading is awaited inside a machine task
  messages.service.Clear();
  EXPECT_EQ(SendCmd15ReadVacuum(smt::CurrentMachine(), 1), CommandResult::TimedOut);
  EXPECT_FALSE(smt::CurrentMachine().machineBusy);
  ASSERT_FALSE(messages.service.Texts().empty());
  EXPECT_NE(messages.service.Texts()[0].find(smt::link::LinkTextsOf(smt::CurrentMachine()).lostConnectAgain), std::string::npos);
  EXPECT_FALSE(smt::CurrentMachine().connected);
  EXPECT_TRUE(linktest::WaitFor([&] { return panel.ButtonText() == "联机"; }));

  // The board is back: the next press connects again on the same panel.
  sim.DropReplies(0);
  ASSERT_TRUE(panel.ConnectNow());
  EXPECT_TRUE(smt::CurrentMachine().connected);
  EXPECT_EQ(panel.ButtonText(), "联机成功");
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().vacuum.SetTimeout(std::chrono::seconds(5));
  smt::CurrentMachine().machineBusy = true;
  EXPECT_EQ(SendCmd15ReadVacuum(smt::CurrentMachine(), 1), CommandResult::Ok);
  smt::CurrentMachine().machineBusy = false;
  sim.Stop();
}

// The serial link lost (the board silent past a reply's time-out, or its
// line closed and the board back on a new one) and the board answering the
// reconnect's hello at once or only after a while: the link still counts as
// lost while the hello is out, and that must not end the hello's wait (a
// board slower than the first look at the link state, as under load, made
// the reconnect fail). The same panel connects again and a command works.
TEST_F(Connecting, TheSerialLinkReconnectsAfterALossHoweverSlowTheHelloAnswer) {
  struct Case {
    const char* name;
    bool portClosed;
    std::chrono::milliseconds helloDelay;
  };
  for (const Case k : {Case{"silent board, prompt hello", false, std::chrono::milliseconds(0)},
                       Case{"silent board, slow hello", false, std::chrono::milliseconds(150)},
                       Case{"closed port, prompt hello", true, std::chrono::milliseconds(0)},
                       Case{"closed port, slow hello", true, std::chrono::milliseconds(150)}}) {
    SCOPED_TRACE(k.name);
    linktest::ResetLinkState();
    smt::sim::SimConfig c;
    c.udp = false;
    c.discovery = false;
    smt::sim::SimBoard sim(c);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    auto useLine = [&] {
      WriteConfig("[SetBasicConfig]\nm_CommModel=0\n[ManualControlConfig]\nm_ComNumber=3\n[SerialPortConfig]\nCOM3=" +
                  sim.SerialPath() + "\n");
    };
    useLine();
    CDialogManualControl panel{smt::CurrentMachine()};
    panel.LoadLanguage(dir.string(), "Chinese");
    panel.LoadConfig(dir.string());
    ASSERT_TRUE(panel.ConnectNow());
    messages.service.Clear();
    if (k.portClosed) {
      sim.Stop();
      ASSERT_TRUE(linktest::WaitFor([] { return !smt::CurrentMachine().connected.load(); }, std::chrono::seconds(5)));
      ASSERT_TRUE(sim.Start()) << sim.LastError();
      useLine();
    } else {
      sim.DropReplies(1000);
      smt::CurrentMachine().Part<smt::link::ReplyEvents>().vacuum.SetTimeout(std::chrono::milliseconds(300));
      smt::CurrentMachine().machineBusy = true;
      EXPECT_EQ(SendCmd15ReadVacuum(smt::CurrentMachine(), 1), CommandResult::TimedOut);
      smt::CurrentMachine().machineBusy = false;
      sim.DropReplies(0);
    }
    EXPECT_FALSE(smt::CurrentMachine().connected);
    EXPECT_TRUE(LinkKnownLost(smt::CurrentMachine()));
    EXPECT_EQ(messages.service.Texts().size(), 1u);
    EXPECT_TRUE(linktest::WaitFor([&] { return panel.ButtonText() == "联机"; }));

    sim.SetReplyDelay(k.helloDelay);
    sim.ClearReceived();
    ASSERT_TRUE(panel.ConnectNow()) << panel.ButtonText();
    EXPECT_TRUE(smt::CurrentMachine().connected);
    EXPECT_FALSE(LinkKnownLost(smt::CurrentMachine()));
    EXPECT_EQ(panel.ButtonText(), "联机成功");
    EXPECT_TRUE(sim.LastReceived(0x00).has_value());
    smt::CurrentMachine().Part<smt::link::ReplyEvents>().vacuum.SetTimeout(std::chrono::seconds(5));
    smt::CurrentMachine().machineBusy = true;
    EXPECT_EQ(SendCmd15ReadVacuum(smt::CurrentMachine(), 1), CommandResult::Ok);
    smt::CurrentMachine().machineBusy = false;
    EXPECT_EQ(messages.service.Texts().size(), 1u);
    sim.Stop();
  }
}

// Two hosts answer the discovery (the board and another device that calls
// itself the main board): none is taken, and the operator is told both
// addresses instead of the program talking to whichever answered first.
TEST_F(Connecting, SeveralHostsAnsweringTheDiscoveryAreRefusedByName) {
  SkipWithoutNamespaces();
  smt::sim::SimConfig c;
  c.serial = false;
  smt::sim::SimBoard sim(c);
  ASSERT_TRUE(ns.RunIn(true, [&] { ASSERT_TRUE(sim.Start()) << sim.LastError(); }));
  const std::string board = ns.boardAddress();
  const std::string prefix = board.substr(0, board.size() - 1);
  const std::string other = prefix + "3", host = prefix + "1";
  // The other device: its own address beside the board's, answering the
  // host's discovery port every 50 ms while the search runs.
  std::atomic<bool> stop{false};
  std::thread impostor;
  ASSERT_TRUE(ns.RunIn(true, [&] {
    ASSERT_EQ(std::system(("ip addr add " + other + "/32 dev lo").c_str()), 0);
  }));
  impostor = std::thread([&] {
    ns.RunIn(true, [&] {
      const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      sockaddr_in from{};
      from.sin_family = AF_INET;
      ::inet_pton(AF_INET, other.c_str(), &from.sin_addr);
      ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_port = htons(65000);
      ::inet_pton(AF_INET, host.c_str(), &to.sin_addr);
      while (!stop) {
        ::sendto(fd, kDiscoveryAnswer, std::strlen(kDiscoveryAnswer), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      ::close(fd);
    });
  });
  std::string address, refusal;
  bool found = true;
  DiscoveryOptions o;
  o.attempts = 3;
  o.attemptTimeout = std::chrono::milliseconds(300);
  ASSERT_TRUE(ns.RunIn(false, [&] { found = DiscoverMainBoard(address, o, &refusal); }));
  stop = true;
  impostor.join();
  EXPECT_FALSE(found);
  EXPECT_TRUE(address.empty()) << address;
  EXPECT_NE(refusal.find(board), std::string::npos) << refusal;
  EXPECT_NE(refusal.find(other), std::string::npos) << refusal;
  sim.Stop();
}

// The board comes back at another address (its address changed while the
// link was down): the reconnect talks to it there and says so in the log,
// the information box and the connect button, naming both addresses; a
// command then reaches the board at its new address.
TEST_F(Connecting, AReconnectFindingTheBoardAtAnotherAddressSaysSo) {
  SkipWithoutNamespaces();
  // The operator shows the running information; the program keeps its log.
  WriteConfig("[SetBasicConfig]\nm_CommModel=1\n[ManualControlConfig]\nm_bShowInformation=1\n"
              "[CPUVersionNumberConfig]\nm_Write_Logfile=1\n");
  auto& logFile = CLogFile::Instance();
  const auto logDirBefore = logFile.FilePath().parent_path();
  logFile.SetDirectory(dir);
  smt::sim::SimConfig c;
  c.serial = false;
  smt::sim::SimBoard sim(c);
  ASSERT_TRUE(ns.RunIn(true, [&] { ASSERT_TRUE(sim.Start()) << sim.LastError(); }));
  const std::string before = ns.boardAddress();
  const std::string after = before.substr(0, before.size() - 1) + "7";
  CDialogManualControl panel{smt::CurrentMachine()};
  panel.LoadLanguage(dir.string(), "Chinese");
  panel.LoadConfig(dir.string());
  panel.m_Discovery.attemptTimeout = std::chrono::milliseconds(300);
  bool up = false;
  ASSERT_TRUE(ns.RunIn(false, [&] { up = panel.ConnectNow(); }));
  ASSERT_TRUE(up);
  EXPECT_EQ(panel.ButtonText(), "联机成功");

  // The board goes: the link is found lost by the command's time-out.
  sim.Stop();
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().vacuum.SetTimeout(std::chrono::milliseconds(300));
  smt::CurrentMachine().machineBusy = true;
  EXPECT_NE(SendCmd15ReadVacuum(smt::CurrentMachine(), 1), CommandResult::Ok);
  smt::CurrentMachine().machineBusy = false;
  ASSERT_FALSE(smt::CurrentMachine().connected);
  ASSERT_TRUE(linktest::WaitFor([&] { return panel.ButtonText() == "联机"; }));

  // It comes back at another address of the same network (the multicast
  // route goes with the last address, so it is laid again).
  ASSERT_TRUE(ns.RunIn(true, [&] {
    const std::string dev = "$(ip -o link show | awk -F': ' '$2 != \"lo\" {print $2}' | cut -d@ -f1)";
    ASSERT_EQ(std::system(("ip addr del " + before + "/24 dev " + dev + " && ip addr add " + after + "/24 dev " + dev +
                           " && ip route replace 224.0.0.0/4 dev " + dev)
                              .c_str()),
              0);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
  }));
  const auto logAt = std::filesystem::exists(logFile.FilePath()) ? std::filesystem::file_size(logFile.FilePath()) : 0;
  messages.service.Clear();
  ASSERT_TRUE(ns.RunIn(false, [&] { up = panel.ConnectNow(); }));
  ASSERT_TRUE(up);
  EXPECT_TRUE(smt::CurrentMachine().connected);
  const std::string told = after + ", was " + before;
  EXPECT_NE(panel.ButtonText().find(told), std::string::npos) << panel.ButtonText();
  EXPECT_NE(panel.InfoText().find(told), std::string::npos) << panel.InfoText();
  std::ifstream in(logFile.FilePath(), std::ios::binary);
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(log.find("answered from " + after + " (it was " + before + ")", logAt), std::string::npos)
      << log.substr(logAt);
  // The link goes to the new address: the board there answers a command.
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().vacuum.SetTimeout(std::chrono::seconds(5));
  smt::CurrentMachine().machineBusy = true;
  EXPECT_EQ(SendCmd15ReadVacuum(smt::CurrentMachine(), 1), CommandResult::Ok);
  smt::CurrentMachine().machineBusy = false;
  EXPECT_TRUE(sim.LastReceived(0x15).has_value());
  sim.Stop();
  logFile.m_bEnable = false;
  logFile.SetDirectory(logDirBefore);
}

// The serial axis start-up (firmware that wants every axis driven over its
// travel once after the hello) moves with command 0x01: an 0x01 the board
// never acknowledges leaves the position unknown, the link counts as lost
// and the rest of the start-up is not sent. Connected again, nothing moves
// (0x01 included) until the machine is homed; homed, 0x01 moves again.
TEST_F(Connecting, AnUnacknowledgedAxisStartUpMoveStopsMotionUntilHomed) {
  smt::sim::SimConfig c;
  c.udp = false;
  c.discovery = false;
  smt::sim::SimBoard sim(c);
  ASSERT_TRUE(sim.Start()) << sim.LastError();
  WriteConfig("[SetBasicConfig]\nm_CommModel=0\nm_X_Limit=300\nm_Y_Limit=-200\nm_Z_Limit=-50\n"
              "[SetPulseConfig]\nm_X_Pulse=10\nm_Y_Pulse=10\nm_Z_Pulse=10\n"
              "[ManualControlConfig]\nm_ComNumber=2\n[SerialPortConfig]\nCOM2=" + sim.SerialPath() + "\n");
  // Long enough for a loaded board simulator to have read the move before
  // the program gives up its acknowledgement (and closes the line).
  smt::CurrentMachine().Part<ReplyEvents>().serialAxis.SetTimeout(std::chrono::seconds(2));
  sim.DropRepliesTo(0x01, 1);
  CDialogManualControl panel{smt::CurrentMachine()};
  panel.LoadLanguage(dir.string(), "Chinese");
  panel.LoadConfig(dir.string());
  RuntimeOf(smt::CurrentMachine()).v2_06 = 1;  // the firmware's switch: limits calibrated by the start-up
  auto axisMoves = [&] {
    size_t n = 0;
    for (const auto& r : sim.Received()) n += r.code == 0x01;
    return n;
  };
  ASSERT_TRUE(panel.ConnectNow());
  ASSERT_TRUE(linktest::WaitFor([] { return !smt::CurrentMachine().connected.load(); }));
  EXPECT_TRUE(smt::CurrentMachine().link.positionLost.load());
  EXPECT_FALSE(smt::CurrentMachine().resetDone.load());
  EXPECT_EQ(axisMoves(), 1u);  // X only: the start-up ended there
  ASSERT_TRUE(linktest::WaitFor([&] { return !messages.service.Texts().empty(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_NE(messages.service.Texts()[0].find(LinkReplyTimeoutText("01")), std::string::npos);
  EXPECT_EQ(axisMoves(), 1u);

  // Connected again: the start-up's first move is refused, once, and sent to nobody.
  messages.service.Clear();
  ASSERT_TRUE(panel.ConnectNow());
  ASSERT_TRUE(linktest::WaitFor([&] { return !messages.service.Texts().empty(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{PositionLostText(smt::CurrentMachine())});
  EXPECT_EQ(axisMoves(), 1u);
  EXPECT_FALSE(SendCmd01MoveAxisSerial(smt::CurrentMachine(), 1, 50));
  EXPECT_EQ(axisMoves(), 1u);

  // Homed: 0x01 moves the axis again.
  smt::CurrentMachine().resetDone = true;
  const int64_t y = sim.Position(1);
  auto& axis = smt::CurrentMachine().Part<ReplyEvents>().serialAxis;
  const auto thrownAway = axis.LateRepliesDiscarded();
  EXPECT_TRUE(SendCmd01MoveAxisSerial(smt::CurrentMachine(), 1, 50));
  EXPECT_TRUE(linktest::WaitFor([&] { return sim.Position(1) == y + 50; }));
  EXPECT_EQ(axisMoves(), 2u);
  // Its acknowledgement is taken for the start-up move's owed one (thrown
  // away): nothing is owed any more.
  EXPECT_TRUE(linktest::WaitFor([&] { return axis.LateRepliesDiscarded() > thrownAway; }));
  EXPECT_FALSE(axis.LateReplyOwed());
  smt::platform::WorkerThreads::Instance().StopAndJoinAll();
  smt::platform::WorkerThreads::Instance().ResetForTests();
  sim.Stop();
}
