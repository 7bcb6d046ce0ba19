// Reply status texts and their flag effects, and the routing of UDP replies
// and serial frames to the command families' events.
#include <gtest/gtest.h>

#include "LinkTestSupport.h"
#include "link/CMachineLink.h"
#include "link/ReplyDispatch.h"
#include "link/ReplyStatus.h"
#include "platform/MessageService.h"

using namespace smt::link;
using smt::platform::ScopedRecordingMessages;

namespace {

struct InfoRecorder : LinkHooks {
  std::vector<std::string> lines;
  std::vector<uint8_t> keys;
  void AppendInfoLine(const std::string& t, bool) override { lines.push_back(t); }
  void OnStatusReport(uint8_t k) override { keys.push_back(k); }
  void OnSerialStatusReport(uint8_t k) override { keys.push_back(k); }
};

CmdPacket Packet(uint8_t flag, uint16_t code, std::vector<uint8_t> data) {
  CmdPacket p;
  p.flag = flag;
  p.Set(code, data);
  return p;
}

class ReplyHandling : public ::testing::Test {
 protected:
  void SetUp() override {
    linktest::ResetLinkState();
    RuntimeOf(smt::CurrentMachine()).hooks = &info;
    // Every family has a command in flight: its reply is taken.
    for (auto* e : AllReplyEvents(smt::CurrentMachine())) e->Arm();
  }
  void TearDown() override { linktest::ResetLinkState(); }
  ScopedRecordingMessages messages;
  InfoRecorder info;
};

}  // namespace

TEST_F(ReplyHandling, EveryStatusCodeHasItsTextAndFlagEffect) {
  struct Case {
    uint8_t status;
    const char* text;
    StatusShow show;
    std::atomic<bool>* cleared;
  };
  const Case cases[] = {
      {0x01, "Error-01 = Timeout !", StatusShow::Box, nullptr},
      {0x05, "Error-05 = Length error !", StatusShow::Box, nullptr},
      {0x10, "Error-10 = Run protect !", StatusShow::Box, &smt::CurrentMachine().masterResetOk},
      {0x15, "Error-15 = Y-coordinate is out of limit !", StatusShow::Box, &smt::CurrentMachine().masterResetOk},
      {0x20, "Error-20 = Z1 motor or sensor error !", StatusShow::Box, &smt::CurrentMachine().resetDone},
      {0x27, "Error-27 = Z8 motor or sensor error !", StatusShow::Box, &smt::CurrentMachine().resetDone},
      {0x28, "Error-28 = Z1 motor or sensor error !", StatusShow::Box, &smt::CurrentMachine().masterResetOk},
      {0x29, "Warning-29 = Z reset warning !", StatusShow::InfoLine, &smt::CurrentMachine().masterResetOk},
      {0xE3, "Warning-29 = Z reset warning !", StatusShow::InfoLine, &smt::CurrentMachine().masterResetOk},
      {0x3B, "Error-3B = S12 motor or sensor error !", StatusShow::Box, &smt::CurrentMachine().resetDone},
      {0x3C, "Error-3C = S13 motor or sensor error !", StatusShow::Box, &smt::CurrentMachine().resetDone},
      {0x41, "Error-41 = Head plate time out !", StatusShow::Box, &smt::CurrentMachine().connected},
      {0x43, "Error-43 = Conveyor plate time out !", StatusShow::Box, &smt::CurrentMachine().connected},
      {0x57, "Error-57 = A8 motor or sensor error !", StatusShow::Box, &smt::CurrentMachine().resetDone},
      {0x5A, "Error-5A = P3 sensor error !", StatusShow::Box, &smt::CurrentMachine().resetDone},
      {0x68, "Error-68 = Vacuum check failure !", StatusShow::InfoLine, &smt::CurrentMachine().link.vacuumCheckOk},
      {0xFF, "Error-FF = Unknown error !", StatusShow::Box, nullptr},
      {0x13, "Error-?? = The code error !", StatusShow::Box, nullptr},
      {0x40, "Error-?? = The code error !", StatusShow::Box, nullptr},
      {0xE4, "Error-?? = The code error !", StatusShow::Box, nullptr},
  };
  for (const Case& c : cases) {
    linktest::ResetLinkState();
    smt::CurrentMachine().connected = true;
    RuntimeOf(smt::CurrentMachine()).hooks = &info;
    messages.service.Clear();
    info.lines.clear();
    EXPECT_FALSE(CheckReplyError(smt::CurrentMachine(), c.status));
    if (c.show == StatusShow::Box) {
      EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{c.text}) << int(c.status);
      EXPECT_TRUE(info.lines.empty());
    } else {
      EXPECT_TRUE(messages.service.Texts().empty()) << int(c.status);
      EXPECT_EQ(info.lines, std::vector<std::string>{c.text});
    }
    for (std::atomic<bool>* f : {&smt::CurrentMachine().connected, &smt::CurrentMachine().resetDone, &smt::CurrentMachine().masterResetOk, &smt::CurrentMachine().link.vacuumCheckOk})
      EXPECT_EQ(f->load(), f != c.cleared) << "status " << int(c.status);
  }
  messages.service.Clear();
  EXPECT_TRUE(CheckReplyError(smt::CurrentMachine(), 0));
  EXPECT_TRUE(messages.service.Texts().empty());
}

TEST_F(ReplyHandling, ChineseStatusTableOfTheBootloaderPath) {
  EXPECT_TRUE(CMachineLink::CheckReplyStatus(0));
  EXPECT_FALSE(CMachineLink::CheckReplyStatus(0x68));
  EXPECT_TRUE(messages.service.Texts().empty());
  EXPECT_FALSE(CMachineLink::CheckReplyStatus(0x13));
  EXPECT_FALSE(CMachineLink::CheckReplyStatus(0x3A));
  EXPECT_FALSE(CMachineLink::CheckReplyStatus(0x41));
  EXPECT_EQ(messages.service.Texts(),
            (std::vector<std::string>{"Error-?? = 错误代码 !", "Error-3A = 电机或传感器故障 !", "机头板超时 !"}));
}

TEST_F(ReplyHandling, UdpRepliesReachTheirFamilyEvents) {
  struct Route { uint8_t flag; uint16_t code; ReplyEvent* event; };
  const Route routes[] = {
      {1, 0x02, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().home},      {1, 0x05, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().home},      {1, 0x53, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().dispense},
      {1, 0x55, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().dispense},  {1, 0x56, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd66},     {1, 0x66, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd66},
      {1, 0x58, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd58},     {1, 0x61, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove},  {1, 0x70, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove},
      {1, 0x71, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove},  {1, 0x63, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd63},     {1, 0x73, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd63},
      {1, 0x64, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY},    {1, 0x65, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd65},     {1, 0x67, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd67},
      {1, 0x74, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd67},     {1, 0x75, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd67},     {1, 0x68, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd68},
      {1, 0x77, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd68},     {1, 0x78, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd68},     {1, 0x72, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().home},
      {1, 0x1064, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY},  {0, 0x62, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().conveyor},  {0, 0x63, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd63},
      {0, 0x64, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY},    {0, 0x65, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd65},     {0, 0x66, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd66},
      {0, 0x67, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd67},     {0, 0x68, &smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd68},
  };
  for (const Route& r : routes) {
    for (auto* e : AllReplyEvents(smt::CurrentMachine())) e->Arm();
    HandleUdpPacket(smt::CurrentMachine(), Packet(r.flag, r.code, {0x00, 0x01}));
    for (auto* e : AllReplyEvents(smt::CurrentMachine()))
      EXPECT_EQ(e->IsSet(), e == r.event) << "code 0x" << std::hex << r.code << " flag " << int(r.flag) << " " << e->name();
  }
  // Silent codes: a reply 0x62, 0x03, 0x04, 0x60 and unknown flags set nothing.
  for (auto* e : AllReplyEvents(smt::CurrentMachine())) e->Arm();
  for (const CmdPacket& p : {Packet(1, 0x62, {0}), Packet(1, 0x03, {0}), Packet(1, 0x60, {0}), Packet(2, 0x64, {0})})
    HandleUdpPacket(smt::CurrentMachine(), p);
  for (auto* e : AllReplyEvents(smt::CurrentMachine())) EXPECT_FALSE(e->IsSet()) << e->name();
}

TEST_F(ReplyHandling, FailedHomeAndHeadMaskMismatchEndTheWaitWithFailure) {
  HandleUdpPacket(smt::CurrentMachine(), Packet(1, 0x05, {0x20, 0x01}));
  EXPECT_EQ(smt::CurrentMachine().Part<smt::link::ReplyEvents>().home.Wait(smt::CurrentMachine(), std::chrono::milliseconds(0)), ReplyWait::Failed);
  EXPECT_FALSE(smt::CurrentMachine().resetDone);
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Error-20 = Z1 motor or sensor error !"});

  RuntimeOf(smt::CurrentMachine()).headMask = 0x03;
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().home.Arm();
  HandleUdpPacket(smt::CurrentMachine(), Packet(1, 0x72, {0x00, 0x01}));
  EXPECT_EQ(smt::CurrentMachine().Part<smt::link::ReplyEvents>().home.Wait(smt::CurrentMachine(), std::chrono::milliseconds(0)), ReplyWait::Failed);
  EXPECT_FALSE(smt::CurrentMachine().masterResetOk);
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().home.Arm();
  HandleUdpPacket(smt::CurrentMachine(), Packet(1, 0x72, {0x00, 0x03}));
  EXPECT_EQ(smt::CurrentMachine().Part<smt::link::ReplyEvents>().home.Wait(smt::CurrentMachine(), std::chrono::milliseconds(0)), ReplyWait::Done);
  EXPECT_TRUE(smt::CurrentMachine().masterResetOk);
}

TEST_F(ReplyHandling, MaskTestsAndGuardedMaskTests) {
  RuntimeOf(smt::CurrentMachine()).headMask = 0x0F;
  smt::CurrentMachine().masterResetOk = false;
  HandleUdpPacket(smt::CurrentMachine(), Packet(1, 0x68, {0x00, 0x0F}));  // guarded: stays cleared
  EXPECT_FALSE(smt::CurrentMachine().masterResetOk);
  EXPECT_TRUE(smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd68.IsSet());
  HandleUdpPacket(smt::CurrentMachine(), Packet(1, 0x61, {0x00, 0x0F}));  // plain mask test sets it
  EXPECT_TRUE(smt::CurrentMachine().masterResetOk);
  HandleUdpPacket(smt::CurrentMachine(), Packet(1, 0x67, {0x00, 0x07}));
  EXPECT_FALSE(smt::CurrentMachine().masterResetOk);
}

TEST_F(ReplyHandling, VacuumProbeKeysAndBootloader) {
  HandleUdpPacket(smt::CurrentMachine(), Packet(1, 0x15, {0x00, 55}));
  EXPECT_EQ(smt::CurrentMachine().link.vacuumKpa, 55);
  EXPECT_FALSE(smt::CurrentMachine().Part<smt::link::ReplyEvents>().vacuum.IsSet());  // only a busy task waits for it
  smt::CurrentMachine().machineBusy = true;
  HandleUdpPacket(smt::CurrentMachine(), Packet(1, 0x15, {0x00, 56}));
  EXPECT_TRUE(smt::CurrentMachine().Part<smt::link::ReplyEvents>().vacuum.IsSet());
  HandleUdpPacket(smt::CurrentMachine(), Packet(1, 0x71, {0x00, 0x01, 0x10, 0x27, 0x00, 0x00}));
  EXPECT_EQ(smt::CurrentMachine().link.probeValue, 10000);
  HandleUdpPacket(smt::CurrentMachine(), Packet(0, 0x14, {4}));
  EXPECT_EQ(info.keys, std::vector<uint8_t>{4});
  // A boot loader reply wakes the link it came in on.
  CMachineLink link{smt::CurrentMachine()};
  RuntimeOf(smt::CurrentMachine()).udp = &link;
  link.OnPacket(Packet(1, 0xF03, {0x07}));
  EXPECT_TRUE(link.BootReplyEvent().Wait(std::chrono::milliseconds(0)));
}

TEST_F(ReplyHandling, SerialFramesAndErrorReports) {
  HandleSerialFrame(smt::CurrentMachine(), {0xEE, 0x01, 0x61, 0x00, 0xFF, 0xFC, 0xFF, 0xFF});
  EXPECT_EQ(RuntimeOf(smt::CurrentMachine()).serialAckCount, 1);
  EXPECT_TRUE(smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove.IsSet());

  HandleSerialFrame(smt::CurrentMachine(), {0xEE, 0x01, 0x71, 0x00, 0, 0, 0, 0, 0xFF, 0xFC, 0xFF, 0xFF});
  EXPECT_EQ(smt::CurrentMachine().link.probeValue, 0);
  EXPECT_EQ(messages.service.Texts().back(), "Measurement Error !");

  struct Err { std::vector<uint8_t> frame; std::string text; };
  const Err errs[] = {
      {{0xEE, 0xFF, 0xE2, 0x0E}, "Error E2-0E电机或传感器故障 !"},
      {{0xEE, 0xFF, 0xE5, 0xFE}, "Error E5-XYA电机正在运行 !"},
      {{0xEE, 0xFF, 0xE5, 0xFF}, "Error E5-XX电机正在运行 !"},
      {{0xEE, 0xFF, 0xE8, 0x14}, "Error E8-X coordinate limit !"},
      {{0xEE, 0xFF, 0xB3, 0x00}, "Error B3"},
      {{0xEE, 0xFF, 0x69, 0x00}, "返回指令错误 - 未知 !"},
      {{0xEE, 0x07, 0x00, 0x00}, "提问、应答或错误异常 !"},
      {{0xEE, 0x01, 0x99, 0x00}, "返回类型错误 !"},
  };
  for (const Err& e : errs) {
    messages.service.Clear();
    auto f = e.frame;
    f.insert(f.end(), {0xFF, 0xFC, 0xFF, 0xFF});
    HandleSerialFrame(smt::CurrentMachine(), f);
    ASSERT_EQ(messages.service.Texts().size(), 1u) << e.text;
    EXPECT_EQ(messages.service.Texts()[0], e.text);
    EXPECT_EQ(messages.service.Requests()[0].caption, "通讯提示");
  }
  EXPECT_FALSE(smt::CurrentMachine().resetDone);  // E2

  // A time-out report from an unknown source shows nothing.
  messages.service.Clear();
  HandleSerialFrame(smt::CurrentMachine(), {0xEE, 0xF1, 0x44, 0xFF, 0xFC, 0xFF, 0xFF});
  EXPECT_TRUE(messages.service.Texts().empty());
  HandleSerialFrame(smt::CurrentMachine(), {0xEE, 0xF1, 0x42, 0xFF, 0xFC, 0xFF, 0xFF});
  EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{"Timeout feeder"});
}

TEST_F(ReplyHandling, SerialErrorReportReleasesTheWaitingSender) {
  // E3 during an XY move releases the XY mover with a failure.
  smt::CurrentMachine().link.lastMoveCmd = 0x40;
  HandleSerialFrame(smt::CurrentMachine(), {0xEE, 0xFF, 0xE3, 0x00, 0xFF, 0xFC, 0xFF, 0xFF});
  EXPECT_EQ(smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY.Wait(smt::CurrentMachine(), std::chrono::milliseconds(0)), ReplyWait::Failed);
  EXPECT_FALSE(smt::CurrentMachine().masterResetOk);
  EXPECT_EQ(messages.service.Texts(),
            (std::vector<std::string>{"返回指令E3 - 贴片头没有复位 !", "请复位机器 !"}));
  // "Error 67" ends the wait of the Z stroke family.
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd67.Arm();
  HandleSerialFrame(smt::CurrentMachine(), {0xEE, 0xFF, 0x67, 0x00, 0xFF, 0xFC, 0xFF, 0xFF});
  EXPECT_EQ(smt::CurrentMachine().Part<smt::link::ReplyEvents>().cmd67.Wait(smt::CurrentMachine(), std::chrono::milliseconds(0)), ReplyWait::Failed);
}

// Two replies owed to one family (the late one of a move that gave up and
// the answer of the move in flight): the first to come ends the move in
// flight failed, and the other is still owed. Whenever it comes, and in
// whichever form (an acknowledgement or an error report), it never
// completes a later move, and a board error report that names no command
// is not taken for it. Judged on the serial frames as the board sends them.
TEST_F(ReplyHandling, AReplyStillOwedNeverCompletesALaterMove) {
  using F = std::vector<uint8_t>;
  const F ack = {0xEE, 0x01, 0x64, 0x00, 0xFF, 0xFC, 0xFF, 0xFF};
  const F refused = {0xEE, 0xFF, 0x64, 0x00, 0xFF, 0xFC, 0xFF, 0xFF};
  const F limit = {0xEE, 0xFF, 0xE8, 0x11, 0xFF, 0xFC, 0xFF, 0xFF};
  ReplyEvent& xy = smt::CurrentMachine().Part<smt::link::ReplyEvents>().moveXY;
  struct Case {
    const char* what;
    F first, between, last;
  };
  const Case cases[] = {
      // The move in flight is refused; the given-up move's answer comes after the next move went out.
      {"refusal first, late acknowledgement later", refused, {}, ack},
      {"late acknowledgement first, refusal later", ack, {}, refused},
      // An error naming no command comes between: it is not the owed reply.
      {"limit error between", refused, limit, ack},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    linktest::ResetLinkState();
    smt::CurrentMachine().link.lastSerialCmd = 0x64;
    xy.Arm();
    xy.MarkTimedOut(std::chrono::seconds(1));  // the first move gave up its reply
    xy.Arm();                                   // the next move is in flight
    HandleSerialFrame(smt::CurrentMachine(), c.first);
    EXPECT_EQ(xy.Wait(smt::CurrentMachine(), std::chrono::milliseconds(0)), ReplyWait::Failed);
    EXPECT_FALSE(smt::CurrentMachine().resetDone.load());
    EXPECT_TRUE(xy.LateReplyOwed());
    if (!c.between.empty()) HandleSerialFrame(smt::CurrentMachine(), c.between);
    EXPECT_TRUE(xy.LateReplyOwed());
    // Homed again; a later move is in flight when the remaining reply comes.
    smt::CurrentMachine().resetDone = true;
    smt::CurrentMachine().link.positionLost = false;
    xy.Arm();
    HandleSerialFrame(smt::CurrentMachine(), c.last);
    EXPECT_EQ(xy.Wait(smt::CurrentMachine(), std::chrono::milliseconds(0)), ReplyWait::Failed) << "a move was completed by another's reply";
    EXPECT_FALSE(smt::CurrentMachine().resetDone.load());
    // That move's own answer is owed now; it comes while nothing waits and
    // is thrown away, and then nothing is owed.
    EXPECT_TRUE(xy.LateReplyOwed());
    const auto discarded = xy.LateRepliesDiscarded();
    HandleSerialFrame(smt::CurrentMachine(), ack);
    EXPECT_EQ(xy.LateRepliesDiscarded(), discarded + 1);
    EXPECT_FALSE(xy.LateReplyOwed());
  }
}
