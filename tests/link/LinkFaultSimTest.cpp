// Link faults against the board simulator on both links: a reply that comes
// after its command timed out never completes a later command of the same
// family; a motion time-out leaves the machine unhomed; a failed command
// says so and the link counts as lost; every field refuses a value one past
// its range and sends its largest value exactly; the simulator refuses
// what a board refuses.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <functional>
#include <thread>

#include "MotionFixture.h"
#include "link/CommandEncoding.h"
#include "link/LinkBytes.h"
#include "link/LinkTexts.h"
#include "link/MotionCommands.h"
#include "link/ProcessCommands.h"
#include "link/RunMachine.h"
#include "link/SerialFrame.h"

using namespace smt::link;

namespace {

struct Family {
  const char* name;
  uint8_t code;
  ReplyEvent* event;
  std::function<CommandResult()> send;
  int axis;  // the simulator's axis the command moves
};

std::vector<Family> Families() {
  return {
      {"0x61 X move", 0x61, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove,
       [] { return SendCmd61MoveAxis(smt::CurrentMachine(), 0, 100, 5, 10) ? CommandResult::Ok : CommandResult::ReplyFailed; }, 0},
      {"0x67 Z stroke", 0x67, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd67, [] { return SendCmd67MoveZ(smt::CurrentMachine(), 32, -300, 5, 10, 1, 100, 0); }, 100 + 32},
  };
}

}  // namespace

class LinkFaults : public linktest::MotionSimTest {
 protected:
  // The front-panel keys the link threads report. A member, not a test's
  // local: a link thread may still be inside one of its hooks when the test
  // body ends, and the links are closed (their threads joined) only in the
  // tear-down.
  struct PanelKeys : LinkHooks {
    std::atomic<int> udpKey{0}, serialKey{0}, serialCount{0};
    void OnStatusReport(uint8_t k) override { udpKey = k; }
    void OnSerialStatusReport(uint8_t k) override {
      serialKey = k;
      ++serialCount;
    }
  } keys;
  void TearDown() override {
    for (auto* e : AllReplyEvents(smt::CurrentMachine())) e->ForgetLateReply();
    smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove.SetTimeout(std::chrono::seconds(60));
    smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd67.SetTimeout(std::chrono::seconds(30));
    smt::CurrentMachine().link.positionLost = false;
    linktest::MotionSimTest::TearDown();
  }
  size_t ReceivedOf(uint16_t code) {
    size_t n = 0;
    for (const auto& r : sim->Received()) n += r.code == code;
    return n;
  }
  std::string AllMessages() {
    std::string all;
    for (const auto& t : messages.service.Texts()) all += t + " | ";
    return all;
  }
  bool MessageContains(const std::string& part) {
    for (const auto& t : messages.service.Texts())
      if (t.find(part) != std::string::npos) return true;
    return false;
  }
};

TEST_F(LinkFaults, ALateReplyNeverCompletesTheNextCommandAndTheMachineCountsAsNotHomed) {
  for (bool serialLink : {false, true}) {
    for (const Family& f : Families()) {
      SCOPED_TRACE(std::string(serialLink ? "serial " : "udp ") + f.name);
      serialLink ? UseSerial() : UseUdp();
      smt::CurrentMachine().connected = true;
      smt::CurrentMachine().resetDone = true;
      smt::CurrentMachine().link.positionLost = false;
      messages.service.Clear();
      sim->ClearReceived();
      f.event->SetTimeout(std::chrono::milliseconds(300));

      // The board answers the move 500 ms late: the program has given up at 300 ms.
      sim->DelayNextReplyTo(f.code, std::chrono::milliseconds(500));
      EXPECT_NE(f.send(), CommandResult::Ok);
      EXPECT_TRUE(MessageContains("time-out")) << AllMessages();
      // Not homed, not connected: the operator is told and the connect button is free.
      EXPECT_FALSE(smt::CurrentMachine().resetDone);
      EXPECT_FALSE(smt::CurrentMachine().connected);

      // The next move is not sent to the lost link, and adds no message.
      messages.service.Clear();
      EXPECT_NE(f.send(), CommandResult::Ok);
      EXPECT_TRUE(messages.service.Texts().empty()) << AllMessages();
      EXPECT_EQ(ReceivedOf(f.code), 1u);

      // Connected again but not homed: the move is refused, saying why, and
      // nothing is sent.
      smt::CurrentMachine().connected = true;
      smt::link::OnLinkRestored(smt::CurrentMachine());
      EXPECT_NE(f.send(), CommandResult::Ok);
      EXPECT_TRUE(MessageContains(LinkTextsOf(smt::CurrentMachine()).positionUncertain)) << AllMessages();
      EXPECT_EQ(ReceivedOf(f.code), 1u);

      // Homing frees motion again (homing is another family).
      MachineHoming::Of(smt::CurrentMachine()).m_nResetMode = 0;
      ASSERT_EQ(SendCmd02Home(smt::CurrentMachine(), {}), CommandResult::Ok);
      MachineHoming::Of(smt::CurrentMachine()).m_nResetMode = -1;
      EXPECT_FALSE(smt::CurrentMachine().link.positionLost);
      linktest::ZeroPositions();

      // The board refuses the next move; the late reply of the first is still
      // on its way and must not be taken for this one's.
      if (serialLink) sim->InjectSerialError(f.code, f.code, 0);
      else sim->InjectStatus(f.code, 0x11);
      const int64_t before = sim->Position(f.axis);
      EXPECT_NE(f.send(), CommandResult::Ok);
      EXPECT_EQ(smt::CurrentMachine().curX.load(), 0);
      EXPECT_EQ(sim->Position(f.axis), before);
      EXPECT_GE(f.event->LateRepliesDiscarded(), 1u);
      // The family works again afterwards.
      EXPECT_EQ(f.send(), CommandResult::Ok);
    }
  }
}

TEST_F(LinkFaults, AFailedSendSaysSoAndTheLinkCountsAsLost) {
  UseSerial();
  smt::CurrentMachine().connected = true;
  serial.Close();
  EXPECT_EQ(SendCmd15ReadVacuum(smt::CurrentMachine(), 1), CommandResult::SendFailed);
  EXPECT_TRUE(MessageContains("Command 15 could not be sent"));
  EXPECT_FALSE(smt::CurrentMachine().connected);
}

// Every field: one past its range is refused with a message naming the
// command and the value, nothing is sent; the largest value goes out exactly.
TEST_F(LinkFaults, EveryFieldRefusesAValueOnePastItsRangeAndSendsItsLargestExactly) {
  struct Case {
    const char* name;
    bool serialLink;
    uint16_t code;
    std::function<void()> sendTooBig;
    std::function<void()> sendLargest;
    std::string tooBigText;                      // part of the refusal
    std::function<bool(const std::vector<uint8_t>&)> largestArrived;  // payload check
  };
  FeedValues feed{};
  const std::vector<Case> cases = {
      {"output number", false, 0x03, [] { SetOutput(smt::CurrentMachine(), 256, 1, 5); }, [] { SetOutput(smt::CurrentMachine(), 255, 1, 5); }, "Command 03: the value 256",
       [](const auto& p) { return p.size() == 4 && p[0] == 255; }},
      {"output number serial", true, 0x03, [] { SetOutput(smt::CurrentMachine(), 256, 1, 5); }, [] { SetOutput(smt::CurrentMachine(), 255, 0, 5); },
       "Command 03: the value 256", [](const auto& p) { return p.size() == 2 && p[0] == 255; }},
      {"output value", false, 0x03, [] { SetOutput(smt::CurrentMachine(), 5, 1, 65536); }, [] { SetOutput(smt::CurrentMachine(), 5, 1, 65535); },
       "Command 03: the value 65536", [](const auto& p) { return p.size() == 4 && p[2] == 0xFF && p[3] == 0xFF; }},
      {"state code", false, 0x60, [] { SendCmd60SetState(smt::CurrentMachine(), 256, 0); }, [] { SendCmd60SetState(smt::CurrentMachine(), 255, 255); },
       "Command 60: the value 256", [](const auto& p) { return p.size() == 2 && p[0] == 255 && p[1] == 255; }},
      {"state value", false, 0x60, [] { SendCmd60SetState(smt::CurrentMachine(), 5, 256); }, [] { SendCmd60SetState(smt::CurrentMachine(), 5, 255); },
       "Command 60: the value 256", [](const auto& p) { return p.size() == 2 && p[1] == 255; }},
      {"0x66 value 10", false, 0x66,
       [feed]() mutable { feed[7] = 65536; SendCmd66MoveFeedAxis(smt::CurrentMachine(), 0, 11, feed); },
       [feed]() mutable { feed[7] = 65535; SendCmd66MoveFeedAxis(smt::CurrentMachine(), 0, 11, feed); }, "Command 66: the value 65536",
       [](const auto& p) { return p.size() == 38 && p[34] == 0xFF && p[35] == 0xFF; }},
      {"0x66 value 11", false, 0x66,
       [feed]() mutable { feed[8] = 256; SendCmd66MoveFeedAxis(smt::CurrentMachine(), 0, 11, feed); },
       [feed]() mutable { feed[8] = 255; SendCmd66MoveFeedAxis(smt::CurrentMachine(), 0, 11, feed); }, "Command 66: the value 256",
       [](const auto& p) { return p.size() == 38 && p[36] == 0xFF; }},
      {"0x66 value 11 serial", true, 0x66,
       [feed]() mutable { feed[8] = 256; SendCmd66MoveFeedAxis(smt::CurrentMachine(), 0, 11, feed); },
       [feed]() mutable { feed[8] = 255; SendCmd66MoveFeedAxis(smt::CurrentMachine(), 0, 11, feed); }, "Command 66: the value 256",
       [](const auto& p) { return p.size() == 17 && p[15] == 0xFF; }},
      {"0x64 A index", false, 0x64, [] { SendCmd64MoveXY(smt::CurrentMachine(), 0, 5, 10, 0, 5, 10, 256, 0, 5, 10, 0); },
       [] { SendCmd64MoveXY(smt::CurrentMachine(), 0, 5, 10, 0, 5, 10, 255, 0, 5, 10, 0); }, "Command 64: the value 256",
       [](const auto& p) { return p.size() == 38 && p[25] == 255; }},
      // 0x01 as the axis start-up sends it: its acknowledgement awaited, so
      // that it does not come later, out of turn, into the next case.
      {"0x01 INT_MIN serial", true, 0x01, [] { SendCmd01MoveAxisSerial(smt::CurrentMachine(), 0, INT32_MIN); },
       [] {
         auto& e = smt::CurrentMachine().Part<smt::link::ReplyEvents>().serialAxis;
         e.Arm();
         if (SendCmd01MoveAxisSerial(smt::CurrentMachine(), 0, INT32_MAX)) EXPECT_EQ(e.Wait(smt::CurrentMachine(), std::chrono::seconds(10)), ReplyWait::Done);
         else e.Disarm();
       },
       "Command 01: the value -2147483648",
       [](const auto& p) { return p.size() == 5 && p[1] == 0x7F && p[2] == 0xFF && p[3] == 0xFF && p[4] == 0xFF; }},
      {"0x58 INT_MIN magnitude", false, 0x58, [] { SendCmd58GlueDispense(smt::CurrentMachine(), 10, 0, 5, 10, 5, INT32_MIN, 0, 0, 0, 0); },
       [] { SendCmd58GlueDispense(smt::CurrentMachine(), 10, 0, 5, 10, 5, -INT32_MAX, 0, 0, 0, 0); }, "Command 58: the value 2147483648",
       [](const auto& p) { return p.size() == 28 && p[14] == 0xFF && p[17] == 0x7F; }},
      {"0x58 INT_MIN steps serial", true, 0x58,
       [] { SendCmd58GlueDispense(smt::CurrentMachine(), 10, INT32_MIN, 5, 10, 5, 0, 0, 0, 0, 0); },
       [] { SendCmd58GlueDispense(smt::CurrentMachine(), 10, -INT32_MAX, 5, 10, 5, 0, 0, 0, 0, 0); }, "does not fit",
       [](const auto& p) { return p.size() == 20 && p[1] == 0xFF && p[4] == 0xFF; }},
      {"0x68 INT_MIN fifth", false, 0x68, [] { SendCmd68MoveZVacuum(smt::CurrentMachine(), 32, 0, 5, 10, INT32_MIN, 100, 0); },
       [] { SendCmd68MoveZVacuum(smt::CurrentMachine(), 32, 0, 5, 10, INT32_MIN + 1, 100, 0); }, "Command 68: the value 2147483648",
       [](const auto& p) { return p.size() == 21 && p[13] == 0xFF && p[16] == 0x7F; }},
      {"0x68 INT_MIN fifth serial", true, 0x68, [] { SendCmd68MoveZVacuum(smt::CurrentMachine(), 32, 0, 5, 10, INT32_MIN, 100, 0); },
       [] { SendCmd68MoveZVacuum(smt::CurrentMachine(), 32, 0, 5, 10, INT32_MIN + 1, 100, 0); }, "Command 68: the value 2147483648",
       [](const auto& p) { return p.size() == 14 && p[7] == 0x7F && p[10] == 0xFF; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.serialLink ? UseSerial() : UseUdp();
    smt::CurrentMachine().link.positionLost = false;
    messages.service.Clear();
    sim->ClearReceived();
    c.sendTooBig();
    EXPECT_TRUE(MessageContains(c.tooBigText)) << (messages.service.Texts().empty() ? "" : messages.service.Texts()[0]);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(ReceivedOf(c.code), 0u) << [&] {
      std::string d;
      for (const auto& r : sim->Received()) {
        d += std::to_string(r.code) + (r.link == smt::sim::SimLink::Udp ? "u:" : "s:");
        for (auto b : r.payload) d += std::to_string(b) + ",";
        d += " ";
      }
      return d;
    }();
    messages.service.Clear();
    c.sendLargest();
    ASSERT_TRUE(linktest::WaitFor([&] { return sim->LastReceived(c.code).has_value(); }));
    EXPECT_TRUE(c.largestArrived(sim->LastReceived(c.code)->payload));
  }
}

TEST_F(LinkFaults, ConveyorWaitTimeOutMustFitItsWord) {
  UseUdp();
  UpdateSettings([](MotionSettings& m) { m.conveyorWaitTimeOut = 65536; });
  SendCmd62Zones(smt::CurrentMachine(), 2, 0, 1, 0, 10, 10, 10, 5, 10);
  EXPECT_TRUE(MessageContains("Command 62: the value 65536"));
  EXPECT_EQ(ReceivedOf(0x62), 0u);
  UpdateSettings([](MotionSettings& m) { m.conveyorWaitTimeOut = 65535; });
  EXPECT_EQ(SendCmd62Zones(smt::CurrentMachine(), 2, 0, 1, 0, 10, 10, 10, 5, 10), CommandResult::Ok);
  const auto p = sim->LastReceived(0x62)->payload;
  EXPECT_EQ(p[2], 0xFF);
  EXPECT_EQ(p[3], 0xFF);
}

TEST_F(LinkFaults, SpeedBytesKeepTheirClamp) {
  EXPECT_EQ(SpeedByte(256), 255u);
  EXPECT_EQ(SpeedByte(-1), 0u);
  EXPECT_EQ(SpeedByte(255), 255u);
  ByteWriter w;
  w.U8(SpeedByte(1000));
  EXPECT_TRUE(w.ok());
}

// The simulator, seen from the wire: it refuses what a board refuses.
TEST_F(LinkFaults, SimulatorRefusesShortPayloadsAndUnknownSerialCodes) {
  UseSerial();
  // A 6-byte serial 0x61 (7 are needed) moves nothing and is answered with an error report.
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove.Arm();  // as a sender does before it writes its frame
  const auto shortFrame = BuildSerialFrame(0x61, {0x00, 0x00, 0x00, 0x03, 0xE8, 0x05});
  ASSERT_TRUE(WriteComFrame(smt::CurrentMachine(), shortFrame.data(), static_cast<uint32_t>(shortFrame.size())));
  EXPECT_EQ(smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove.Wait(smt::CurrentMachine(), std::chrono::seconds(3)), ReplyWait::Failed);
  EXPECT_EQ(sim->Position(0), 0);
  EXPECT_EQ(sim->RefusedCommands(), 1u);
  // A UDP-only code (0x72) and an unknown code on the serial line are answered
  // as unknown: no acknowledgement.
  for (uint8_t code : {uint8_t{0x72}, uint8_t{0x99}}) {
    messages.service.Clear();
    // Sent as a sender sends it: its family (if it has one) awaits the answer.
    ReplyEvent* family = ReplyEventForCode(smt::CurrentMachine(), code);
    if (family) family->Arm();
    const auto f = BuildSerialFrame(code, std::vector<uint8_t>(48, 0));
    ASSERT_TRUE(WriteComFrame(smt::CurrentMachine(), f.data(), static_cast<uint32_t>(f.size())));
    if (family) EXPECT_EQ(family->Wait(smt::CurrentMachine(), std::chrono::seconds(3)), ReplyWait::Failed);
    ASSERT_TRUE(linktest::WaitFor([&] { return !messages.service.Texts().empty(); }));
    EXPECT_EQ(messages.service.Texts()[0], LinkTextsOf(smt::CurrentMachine()).message16) << int(code);
  }
  EXPECT_EQ(sim->RefusedCommands(), 3u);

  // UDP: a short 0x61 is answered with the length error and moves nothing.
  UseUdp();
  messages.service.Clear();
  MachineCommand m;
  m.code = 0x61;
  m.udpPayload = std::vector<uint8_t>{0, 0, 0, 0, 0, 0xE8, 0x03, 0, 0};
  m.reply = &smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove;
  EXPECT_EQ(SendMachineCommand(smt::CurrentMachine(), m), CommandResult::ReplyFailed);
  EXPECT_EQ(sim->Position(0), 0);
  EXPECT_TRUE(MessageContains("Error-05"));
}

TEST_F(LinkFaults, FrontPanelKeysTenAndElevenHaveNoSerialForm) {
  RuntimeOf(smt::CurrentMachine()).hooks = &keys;
  UseUdp();
  Introduce();
  for (uint8_t key : {uint8_t{10}, uint8_t{11}}) {
    sim->SendKeyReport(key);
    EXPECT_TRUE(linktest::WaitFor([&] { return keys.udpKey == key; }));
  }
  // Key 11 is the home key: the homing it started runs on a worker that
  // reaches these hooks at its end, so it must be over before they go.
  EXPECT_TRUE(linktest::WaitFor([] {
    return smt::platform::WorkerThreads::Instance().RunningCount() == 0 && !smt::CurrentMachine().machineBusy.load();
  }, std::chrono::seconds(60)));
  EXPECT_TRUE(sim->LastReceived(0x02).has_value());
  sim->SendKeyReport(9);
  // Key 9 comes on both links; both reports are taken before the hooks go.
  EXPECT_TRUE(linktest::WaitFor([&] { return keys.serialKey == '9' && keys.udpKey == 9; }));
  // Only key 9 reached the serial line (not ':' or ';').
  EXPECT_EQ(keys.serialCount.load(), 1);
  RuntimeOf(smt::CurrentMachine()).hooks = &hooks;
}

// Replies and key reports count only from the board's address and port: a
// datagram from the board's host on another port (another program there, or
// a forged report) is dropped; a forged start key starts nothing, and a
// forged reply completes nothing.
TEST_F(LinkFaults, ReportsAndRepliesFromAnotherPortOfTheBoardsHostAreDropped) {
  RuntimeOf(smt::CurrentMachine()).hooks = &keys;
  UseUdp();
  Introduce();
  const int other = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(other, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(link.Channel().LocalPort());
  // A datagram as the board frames it: checksum, flag, code word, length, data.
  auto datagram = [](uint8_t flag, uint16_t code, std::vector<uint8_t> data) {
    std::vector<uint8_t> d(7 + data.size());
    d[2] = flag;
    d[3] = static_cast<uint8_t>(code);
    d[4] = static_cast<uint8_t>(code >> 8);
    d[5] = static_cast<uint8_t>(data.size());
    std::copy(data.begin(), data.end(), d.begin() + 7);
    uint16_t sum = 0;
    for (size_t i = 2; i < d.size(); ++i) sum = static_cast<uint16_t>(sum + d[i]);
    d[0] = static_cast<uint8_t>(sum);
    d[1] = static_cast<uint8_t>(sum >> 8);
    return d;
  };
  const uint64_t dropped = link.Channel().DroppedCount();
  const auto key = datagram(0, 0x14, {1});
  ::sendto(other, key.data(), key.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  ASSERT_TRUE(linktest::WaitFor([&] { return link.Channel().DroppedCount() > dropped; }));
  EXPECT_EQ(keys.udpKey.load(), 0) << "a forged start key was taken";
  EXPECT_FALSE(smt::CurrentMachine().machineBusy.load());
  // A forged reply to an XY move in flight, then the board's own refusal:
  // the move is not reported done.
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY.SetTimeout(std::chrono::seconds(2));
  sim->DelayNextReplyTo(0x64, std::chrono::milliseconds(300));
  sim->InjectStatus(0x64, 0x11);
  std::thread forger([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto reply = datagram(1, 0x64, {0x00, 0x01});
    ::sendto(other, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  });
  EXPECT_FALSE(SendCmd64MoveXY(smt::CurrentMachine(), 100, 5, 10, 0, 5, 10, 0, 0, 0, 0, 0)) << "a forged reply completed the move";
  forger.join();
  EXPECT_EQ(smt::CurrentMachine().curX.load(), 0);
  // The board's own report is taken (pause: nothing runs, so nothing happens).
  sim->SendKeyReport(2);
  EXPECT_TRUE(linktest::WaitFor([&] { return keys.udpKey == 2; }));
  ::close(other);
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY.SetTimeout(std::chrono::seconds(60));
  RuntimeOf(smt::CurrentMachine()).hooks = &hooks;
}

// The board's port closing (its program ended) is the link gone, told at
// once and once, whether a command is on its way or the link is idle: the
// ICMP error a datagram to the port draws is heard by the channel. While
// the link is up and idle the channel asks with an empty datagram, which
// the board takes as no command; once the link is down it stops asking.
TEST_F(LinkFaults, ABoardPortThatClosesIsTheLinkGoneToldOnceIdleOrSending) {
  struct Case {
    const char* name;
    bool sending;
  };
  for (const Case c : {Case{"idle", false}, Case{"a move sent", true}}) {
    SCOPED_TRACE(c.name);
    UseUdp();
    smt::link::OnLinkRestored(smt::CurrentMachine());
    smt::CurrentMachine().connected = true;
    smt::CurrentMachine().resetDone = true;
    messages.service.Clear();
    sim->ClearReceived();
    const uint64_t asked = sim->EmptyDatagrams();
    ASSERT_TRUE(linktest::WaitFor([&] { return sim->EmptyDatagrams() >= asked + 2; }, std::chrono::seconds(3)));
    EXPECT_EQ(sim->ReceivedCount(), 0u);
    EXPECT_EQ(sim->BadDatagrams(), 0u);
    EXPECT_TRUE(smt::CurrentMachine().connected.load());
    EXPECT_TRUE(messages.service.Texts().empty()) << AllMessages();

    const int port = sim->UdpPort();
    const auto t0 = std::chrono::steady_clock::now();
    sim->Stop();
    if (c.sending) {
      EXPECT_FALSE(SendCmd61MoveAxis(smt::CurrentMachine(), 0, 100, 5, 10));
    }
    ASSERT_TRUE(linktest::WaitFor([] { return !smt::CurrentMachine().connected.load(); }, std::chrono::seconds(5)));
    const auto noticeMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
    std::printf("[figure] closed board port noticed (%s) after %lld ms\n", c.name,
                static_cast<long long>(noticeMs.count()));
    EXPECT_LT(noticeMs.count(), 2000);
    ASSERT_TRUE(linktest::WaitFor([&] { return !messages.service.Texts().empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(messages.service.Texts().size(), 1u) << AllMessages();
    EXPECT_TRUE(MessageContains("network link to 127.0.0.1 failed: the board's port " + std::to_string(port) +
                                " is closed"))
        << AllMessages();
    EXPECT_TRUE(MessageContains(smt::link::LinkTextsOf(smt::CurrentMachine()).lostConnectAgain)) << AllMessages();
    // Down: the channel does not ask any more.
    const uint64_t watched = link.Channel().WatchDatagramsSent();
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_EQ(link.Channel().WatchDatagramsSent(), watched);

    // The board back on a port of its own: the link goes there.
    ASSERT_TRUE(sim->Start()) << sim->LastError();
    link.Close();
    ASSERT_TRUE(link.Open("127.0.0.1", static_cast<uint32_t>(sim->UdpPort())));
    link.StartReplyLoop();
  }
  smt::CurrentMachine().resetDone = false;
}

// A silent board, on each command family a run uses: every wait ends with
// the time-out its own move (or the operator's conveyor wait) gives, never
// the family's fixed limit; a move left unanswered leaves the machine not
// homed. The figures print how long each wait took.
TEST_F(LinkFaults, ASilentBoardIsNoticedWithinEachMovesOwnTimeOut) {
  UseUdp();
  UpdateSettings([](MotionSettings& m) { m.conveyorWaitTimeOut = 5; });
  struct Wait {
    const char* name;
    uint16_t code;
    std::function<bool()> send;
  };
  smt::link::HeadPickMove pick;
  pick.x = 300;
  pick.y = -200;
  pick.xSpeed = {5, 0};  // unset run speeds
  pick.zSpeed = {5, 0};
  pick.turnSpeed = {5, 0};
  pick.head = 1;
  pick.depth = -400;
  const Wait waits[] = {
      {"0x74 head pick move, unset speeds", 0x74, [&] { return RunMachineOf(smt::CurrentMachine()).PickWithHead(pick); }},
      {"0x64 XY move, unset speeds", 0x64, [] { return SendCmd64MoveXY(smt::CurrentMachine(), 300, 1, 0, -200, 1, 0, 0, 0, 0, 0, 0); }},
      {"0x62 conveyor zone step", 0x62,
       [] { return SendCmd62Zones(smt::CurrentMachine(), 1, 1, 0, 0, 100, 0, 0, 5, 10) == CommandResult::Ok; }},
  };
  for (const Wait& w : waits) {
    SCOPED_TRACE(w.name);
    smt::CurrentMachine().connected = true;
    smt::link::OnLinkRestored(smt::CurrentMachine());
    smt::CurrentMachine().resetDone = true;
    smt::CurrentMachine().masterResetOk = true;
    smt::CurrentMachine().link.positionLost = false;
    for (auto* e : AllReplyEvents(smt::CurrentMachine())) e->ForgetLateReply();
    messages.service.Clear();
    sim->DropRepliesTo(w.code, 1);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(w.send());
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    std::printf("[figure] silent board, %s: noticed after %lld ms\n", w.name, static_cast<long long>(ms));
    EXPECT_TRUE(sim->LastReceived(w.code).has_value());
    EXPECT_FALSE(smt::CurrentMachine().connected.load());
    EXPECT_EQ(messages.service.Texts().size(), 1u) << AllMessages();
    if (w.code != 0x62) EXPECT_FALSE(smt::CurrentMachine().resetDone.load());
  }
}
