// The program's link against the board simulator over real sockets and a
// pseudo-terminal: commands arrive as the board reads them, replies end the
// waits, faults end them with failures or time-outs.
#include "link/LinkTexts.h"
#include <gtest/gtest.h>

#include "LinkTestSupport.h"
#include "link/LinkBytes.h"
#include "link/MachineCommands.h"
#include "link/SerialFrame.h"
#include "platform/MessageService.h"

// The reply time-out message for one command code, in the texts in use.
static inline std::string LinkReplyTimeoutText(const std::string& code) {
  std::string t = smt::link::LinkTextsOf(smt::CurrentMachine()).replyTimeoutCode;
  const auto at = t.find("%1");
  if (at != std::string::npos) t.replace(at, 2, code);
  return t.substr(0, t.find(" !") == std::string::npos ? t.size() : t.find(" !"));
}

using namespace smt::link;
using smt::platform::ScopedRecordingMessages;
using Bytes = std::vector<uint8_t>;

class SimulatorLink : public linktest::SimLinkTest {
 protected:
  ScopedRecordingMessages messages;
  // The front-panel keys the link threads report. A member, not a test's
  // local: a link thread may still be inside one of its hooks when the test
  // body ends, and the links are closed (their threads joined) only in the
  // tear-down.
  struct Keys : LinkHooks {
    std::atomic<int> udpKey{0}, serialKey{0};
    void OnStatusReport(uint8_t k) override { udpKey = k; }
    void OnSerialStatusReport(uint8_t k) override { serialKey = k; }
  } keys;
};

TEST_F(SimulatorLink, SimpleCommandsArriveAsTheBoardReadsThem) {
  struct Case { const char* what; std::function<void()> send; uint16_t code; Bytes udp; Bytes serial; };
  const std::array<int32_t, 14> home{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  Bytes homeUdp;
  for (int32_t v : home) {
    const auto b = ByteWriter().I32(v).Take();
    homeUdp.insert(homeUdp.end(), b.begin(), b.end());
  }
  smt::CurrentMachine().machineType = 3;  // keeps fields 7 and 8
  const Case cases[] = {
      {"set output", [] { SetOutput(smt::CurrentMachine(), 33, 1, 5); }, 0x03, {33, 1, 5, 0}, {33, 1}},
      {"select camera", [] { SelectCamera(smt::CurrentMachine(), 3, 1, 0); }, 0x04, {3, 1}, {3, 1}},
      {"state", [] { SendCmd60SetState(smt::CurrentMachine(), 5, 3); }, 0x60, {5, 3}, {5}},
      {"vacuum", [] { smt::CurrentMachine().machineBusy = true; EXPECT_EQ(SendCmd15ReadVacuum(smt::CurrentMachine(), 2), CommandResult::Ok); smt::CurrentMachine().machineBusy = false; },
       0x15, {2}, {2}},
      {"home", [&] { EXPECT_EQ(SendCmd02Home(smt::CurrentMachine(), home), CommandResult::Ok); }, 0x02, homeUdp,
       Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
  };
  for (bool serialLink : {false, true}) {
    serialLink ? UseSerial() : UseUdp();
    for (const Case& c : cases) {
      sim->ClearReceived();
      c.send();
      ASSERT_TRUE(linktest::WaitFor([&] { return sim->LastReceived(c.code).has_value(); })) << c.what;
      const auto got = *sim->LastReceived(c.code);
      EXPECT_EQ(got.link, serialLink ? smt::sim::SimLink::Serial : smt::sim::SimLink::Udp);
      EXPECT_EQ(got.payload, serialLink ? c.serial : c.udp) << c.what << (serialLink ? " serial" : " udp");
      if (serialLink) EXPECT_EQ(got.raw, BuildSerialFrame(static_cast<uint8_t>(c.code), c.serial)) << c.what;
      else EXPECT_EQ(got.attempt, 0);
    }
  }
  EXPECT_TRUE(linktest::WaitFor([&] { return sim->Output(33); }));
  EXPECT_EQ(smt::CurrentMachine().link.vacuumKpa, 62);
  smt::CurrentMachine().machineType = 0;
}

TEST_F(SimulatorLink, HomeSpeedCapAndFieldsOfOtherMachineTypes) {
  UseUdp();
  smt::CurrentMachine().machineType = 0;
  SetCommandSpeedSettings(smt::CurrentMachine(), {true, 32});
  std::array<int32_t, 14> f{};
  f[1] = 50;
  f[3] = 20;
  f[6] = 7;
  f[7] = 8;
  ASSERT_EQ(SendCmd02Home(smt::CurrentMachine(), f), CommandResult::Ok);
  const auto got = *sim->LastReceived(0x02);
  // Each run speed is capped on its own: the slower Y is not raised.
  EXPECT_EQ(ReadLE32(got.payload.data() + 4), 32);
  EXPECT_EQ(ReadLE32(got.payload.data() + 12), 20);
  EXPECT_EQ(ReadLE32(got.payload.data() + 24), 0);
  EXPECT_EQ(ReadLE32(got.payload.data() + 28), 0);
  SetCommandSpeedSettings(smt::CurrentMachine(), {});
}

TEST_F(SimulatorLink, CameraOnMachineType4ChannelOneSendsNothing) {
  UseUdp();
  smt::CurrentMachine().machineType = 4;
  smt::CurrentMachine().camera.lastChannel = 0;
  EXPECT_TRUE(SelectCamera(smt::CurrentMachine(), 1, 0, 0));
  EXPECT_TRUE(smt::CurrentMachine().camera.channelChanged);
  EXPECT_TRUE(SelectCamera(smt::CurrentMachine(), 1, 0, 0));
  EXPECT_FALSE(smt::CurrentMachine().camera.channelChanged);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(sim->LastReceived(0x04).has_value());
  smt::CurrentMachine().machineType = 0;
}

TEST_F(SimulatorLink, DroppedReplyEndsInTimeOutWithBusyReleased) {
  for (bool serialLink : {false, true}) {
    serialLink ? UseSerial() : UseUdp();
    messages.service.Clear();
    smt::CurrentMachine().Part<smt::link::ReplyEvents>().home.SetTimeout(std::chrono::milliseconds(300));
    ASSERT_TRUE(smt::TryClaimMachineBusy(smt::CurrentMachine()));
    sim->DropReplies(1);
    EXPECT_EQ(SendCmd02Home(smt::CurrentMachine(), {}), CommandResult::TimedOut);
    EXPECT_FALSE(smt::CurrentMachine().machineBusy);
    ASSERT_EQ(messages.service.Texts().size(), 1u);
    EXPECT_NE(messages.service.Texts()[0].find(LinkReplyTimeoutText("02")), std::string::npos);
    // After the operator connects again the next command goes through (the
    // lost reply is waited for until its late window ends, then forgotten).
    smt::link::OnLinkRestored(smt::CurrentMachine());
    smt::CurrentMachine().Part<smt::link::ReplyEvents>().home.SetTimeout(std::chrono::seconds(5));
    EXPECT_EQ(SendCmd02Home(smt::CurrentMachine(), {}), CommandResult::Ok);
  }
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().home.SetTimeout(std::chrono::seconds(180));
}

TEST_F(SimulatorLink, FailedSendNeverWaits) {
  UseUdp();
  link.Close();
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(SendCmd02Home(smt::CurrentMachine(), {}), CommandResult::SendFailed);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  UseSerial();
  serial.Close();
  EXPECT_EQ(SendCmd15ReadVacuum(smt::CurrentMachine(), 1), CommandResult::SendFailed);
}

TEST_F(SimulatorLink, CorruptedDatagramIsDroppedAndTheWaitTimesOut) {
  UseUdp();
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().home.SetTimeout(std::chrono::milliseconds(300));
  const uint64_t dropped = link.Channel().DroppedCount();
  sim->CorruptReplies(1);
  EXPECT_EQ(SendCmd02Home(smt::CurrentMachine(), {}), CommandResult::TimedOut);
  EXPECT_EQ(link.Channel().DroppedCount(), dropped + 1);
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().home.SetTimeout(std::chrono::seconds(180));
}

TEST_F(SimulatorLink, ErrorStatusIsShownWithItsTextAndFlagEffect) {
  UseUdp();
  struct Case { uint16_t code; uint8_t status; CommandResult result; std::string text; std::atomic<bool>* cleared; };
  const Case cases[] = {
      {0x02, 0x21, CommandResult::ReplyFailed, "Error-21 = Z2 motor or sensor error !", &smt::CurrentMachine().resetDone},
      {0x15, 0x41, CommandResult::Ok, "Error-41 = Head plate time out !", nullptr},
  };
  for (const Case& c : cases) {
    linktest::ResetLinkState();
    smt::link::RuntimeOf(smt::CurrentMachine()).udp = &link;
    smt::CurrentMachine().connected = true;
    messages.service.Clear();
    sim->InjectStatus(c.code, c.status);
    if (c.code == 0x02) {
      EXPECT_EQ(SendCmd02Home(smt::CurrentMachine(), {}), c.result);
    } else {
      // The vacuum reply has no status check; a plain reply of another family shows it.
      sim->InjectStatus(0x61, c.status);
      sim->InjectStatus(0x15, 0);
      MachineCommand m;
      m.code = 0x61;
      m.udpPayload = Bytes(17, 0);
      m.reply = &smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove;
      // A reply with an error status is a failed command.
      EXPECT_EQ(SendMachineCommand(smt::CurrentMachine(), m), CommandResult::ReplyFailed);
      EXPECT_FALSE(smt::CurrentMachine().connected);
    }
    EXPECT_EQ(messages.service.Texts(), std::vector<std::string>{c.text});
    if (c.cleared) {
      EXPECT_FALSE(c.cleared->load());
    }
  }
}

TEST_F(SimulatorLink, KeyReportsReachThePanelOverBothLinks) {
  smt::link::RuntimeOf(smt::CurrentMachine()).hooks = &keys;
  UseUdp();
  SendCmd60SetState(smt::CurrentMachine(), 0, 0);  // the board learns where the host is
  ASSERT_TRUE(linktest::WaitFor([&] { return sim->LastReceived(0x60).has_value(); }));
  sim->SendKeyReport(2);
  EXPECT_TRUE(linktest::WaitFor([&] { return keys.udpKey == 2 && keys.serialKey == '2'; }));
  smt::link::RuntimeOf(smt::CurrentMachine()).hooks = nullptr;
}

TEST_F(SimulatorLink, SerialFramesInPiecesAndErrorFramesReleaseTheSender) {
  UseSerial();
  // An acknowledgement cut in three reads still completes the wait.
  smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove.Arm();
  sim->SendSerialBytes({0x13, 0xEE, 0x01, 0x61});
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  sim->SendSerialBytes({0x00, 0xFF});
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  sim->SendSerialBytes({0xFC, 0xFF, 0xFF});
  EXPECT_EQ(smt::CurrentMachine().Part<smt::link::ReplyEvents>().axisMove.Wait(smt::CurrentMachine(), std::chrono::seconds(2)), ReplyWait::Done);
  // An error frame answering the command ends its wait with a failure.
  sim->InjectSerialError(0x02, 0xE2, 0x03);
  EXPECT_EQ(SendCmd02Home(smt::CurrentMachine(), {}), CommandResult::ReplyFailed);
  EXPECT_FALSE(smt::CurrentMachine().resetDone);
}
