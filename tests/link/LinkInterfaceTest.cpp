// The command set over the one link interface: whichever link carries the
// commands (a serial port, the UDP channel or a stand-in), each command goes
// out once in that link's own payload form, a command the link has no form
// for never reaches it, and a link that fails is named in the message and
// leaves the machine disconnected, whether the failure shows on a send or
// the moment the port or socket goes.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/RefusalTexts.h"
#include "LinkTestSupport.h"
#include "RecordingLink.h"
#include "link/LinkBytes.h"
#include "link/LinkTexts.h"
#include "link/MotionCommands.h"
#include "link/MotionSettings.h"
#include "platform/MessageService.h"

using namespace smt::link;

namespace {

class CommandSetOverOneLink : public ::testing::Test {
 protected:
  void SetUp() override {
    linktest::ResetLinkState();
    linktest::QuietLinkRoutes();
    MotionSettings m;
    m.xLimit = m.xLimitAbs = 100000;
    m.yLimit = -80000;
    m.yLimitAbs = 80000;
    SetMotionSettings(smt::CurrentMachine(), m);
    smt::CurrentMachine().connected = true;
  }
  void TearDown() override {
    RuntimeOf(smt::CurrentMachine()).substitute = nullptr;
    linktest::ResetLinkState();
  }
  // Puts `link` in place; it answers the reply of `awaited` (when given)
  // the way a board that did the command would.
  void Use(linktest::RecordingLink& link, const MachineCommand* awaited = nullptr) {
    ReplyEvent* reply = awaited ? awaited->reply : nullptr;
    link.AnswerWith([reply](uint8_t) {
      if (reply) reply->Answer(0);
    });
    RuntimeOf(smt::CurrentMachine()).substitute = &link;
  }
  std::string Messages() {
    std::string all;
    for (const auto& t : messages.service.Texts()) all += t + " | ";
    return all;
  }
  smt::platform::ScopedRecordingMessages messages;
};

struct Form {
  const char* name;
  LinkForm form;
};
const Form kForms[] = {{"serial", LinkForm::Serial}, {"UDP", LinkForm::Udp}};

}  // namespace

// Each command is handed to the link once, in the form the link carries;
// the link mode of the runtime does not decide it, the link does.
TEST_F(CommandSetOverOneLink, EachCommandGoesOutOnceInTheLinksOwnForm) {
  struct Case {
    const char* what;
    std::function<MachineCommand()> build;
  };
  const Case cases[] = {
      {"single-axis move 0x61", [] { return BuildCmd61MoveAxis(smt::CurrentMachine(), 0, -300, 5, 20); }},
      {"XY move 0x64", [] { return BuildCmd64MoveXY(smt::CurrentMachine(), -300, 5, 20, 100, 6, 21, 1, -50, 7, 22, 0x80); }},
      {"Z stroke 0x67", [] { return BuildCmd67MoveZ(smt::CurrentMachine(), 32, -300, 5, 10, 1, 100, 0); }},
      {"state 0x60 (code only on the serial link)", [] {
         MachineCommand c;
         c.code = 0x60;
         c.udpPayload = ByteWriter().U8(3).U8(1).Take();
         c.serialPayload = ByteWriter().U8(3).Take();
         return c;
       }},
  };
  for (const Form& f : kForms) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + " over the " + f.name + " link");
      linktest::RecordingLink link(f.form);
      const MachineCommand cmd = c.build();
      Use(link, &cmd);
      // The mode says the other link: the link in place wins.
      RuntimeOf(smt::CurrentMachine()).commModel = f.form == LinkForm::Serial ? 1 : 0;
      EXPECT_EQ(SendMachineCommand(smt::CurrentMachine(), cmd), CommandResult::Ok) << Messages();
      const auto sent = link.SentCommands();
      ASSERT_EQ(sent.size(), 1u);
      EXPECT_EQ(sent[0].code, cmd.code);
      EXPECT_EQ(sent[0].payload, f.form == LinkForm::Serial ? cmd.serialPayload : cmd.udpPayload);
      RuntimeOf(smt::CurrentMachine()).substitute = nullptr;
    }
  }
}

// A command without a form for the link is not handed to it: refused with
// its text (a UDP-only command on the serial link) or failed with the link
// named (a serial-only command on the UDP link); so is a value that does not
// fit the link's field.
TEST_F(CommandSetOverOneLink, ACommandTheLinkHasNoFormForNeverReachesIt) {
  struct Case {
    const char* what;
    LinkForm form;
    MachineCommand cmd;
    CommandResult expected;
    std::string message;
  };
  MachineCommand udpOnly;
  udpOnly.code = 0x74;
  udpOnly.udpOnly = true;
  udpOnly.udpPayload = Payload(std::vector<uint8_t>(99, 0));
  MachineCommand serialOnly;
  serialOnly.code = 0x01;
  serialOnly.serialOnly = true;
  serialOnly.serialPayload = ByteWriter().U8(0).SM32(10).Take();
  const Case cases[] = {
      {"UDP-only 0x74 on the serial link", LinkForm::Serial, udpOnly, CommandResult::Refused,
       UdpOnlyRefusalText(0x74)},
      {"serial-only 0x01 on the UDP link", LinkForm::Udp, serialOnly, CommandResult::SendFailed,
       "Command 01 could not be sent: the stand-in failed !"},
      {"X past the serial field", LinkForm::Serial, BuildCmd64MoveXY(smt::CurrentMachine(), 40000, 1, 1, 0, 1, 1, 0, 0, 1, 1, 0),
       CommandResult::Refused, "X steps 40000 does not fit the 16-bit serial field, nothing was sent !"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    messages.service.Clear();
    smt::CurrentMachine().connected = true;
    linktest::RecordingLink link(c.form, "the stand-in");
    Use(link);
    EXPECT_EQ(SendMachineCommand(smt::CurrentMachine(), c.cmd), c.expected);
    EXPECT_TRUE(link.SentCommands().empty());
    EXPECT_NE(Messages().find(c.message), std::string::npos) << Messages();
    RuntimeOf(smt::CurrentMachine()).substitute = nullptr;
    OnLinkRestored(smt::CurrentMachine());
  }
}

// A link that fails, on a send or on its own, is named in the one message
// and the machine is no longer connected; the next command is not sent at
// all. A failing link the commands do not go over changes nothing.
TEST_F(CommandSetOverOneLink, AFailingLinkIsNamedAndDisconnectsOnlyWhenItCarriesTheCommands) {
  struct Case {
    const char* what;
    bool active;
    bool onItsOwn;  // the port went (true) or a send failed (false)
  };
  const Case cases[] = {
      {"the link in use fails a send", true, false},
      {"the port of the link in use goes", true, true},
      {"another link's port goes", false, true},
  };
  for (const Form& f : kForms) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + ", " + f.name);
      messages.service.Clear();
      // Connected again and homed after the case before.
      smt::CurrentMachine().connected = true;
      OnLinkRestored(smt::CurrentMachine());
      smt::CurrentMachine().resetDone = true;
      smt::CurrentMachine().link.positionLost = false;
      linktest::RecordingLink used(f.form, "COM port /dev/ttyTEST");
      linktest::RecordingLink other(f.form, "the spare link");
      const MachineCommand move = BuildCmd61MoveAxis(smt::CurrentMachine(), 0, 100, 5, 20);
      Use(used, &move);
      linktest::RecordingLink& failing = c.active ? used : other;
      if (c.onItsOwn) {
        failing.Fail(LinkTextsOf(smt::CurrentMachine()).portClosed);
      } else {
        failing.FailSends(true);
        EXPECT_EQ(SendMachineCommand(smt::CurrentMachine(), move), CommandResult::SendFailed);
      }
      EXPECT_EQ(smt::CurrentMachine().connected.load(), !c.active);
      // What the machine did while the link was down is not known.
      EXPECT_EQ(smt::CurrentMachine().resetDone.load(), !c.active);
      const std::string all = Messages();
      if (c.active) {
        EXPECT_NE(all.find(c.onItsOwn ? "COM port /dev/ttyTEST was closed !" : "COM port /dev/ttyTEST failed !"),
                  std::string::npos)
            << all;
        EXPECT_NE(all.find(smt::link::LinkTextsOf(smt::CurrentMachine()).lostConnectAgain), std::string::npos) << all;
        // Nothing more goes to a lost link.
        used.FailSends(false);
        EXPECT_EQ(SendMachineCommand(smt::CurrentMachine(), move), CommandResult::LinkLost);
        EXPECT_TRUE(used.SentCommands().empty());
      } else {
        EXPECT_EQ(all, "");
        EXPECT_EQ(SendMachineCommand(smt::CurrentMachine(), move), CommandResult::Ok);
        EXPECT_EQ(used.SentCommands().size(), 1u);
      }
      RuntimeOf(smt::CurrentMachine()).substitute = nullptr;
    }
  }
}

// Without the link no held part can be carried away nor its vacuum switched
// off: the one message about the loss names the nozzles whose vacuum was on,
// in the window's language; with no vacuum on it says nothing of parts.
TEST_F(CommandSetOverOneLink, TheLostLinkMessageNamesTheNozzlesWithVacuumOnInTheWindowLanguage) {
  struct Language {
    const char* name;
    const char* sentenceStart;  // how the added sentence begins
  };
  struct Pumps {
    uint8_t bits;
    const char* nozzles;  // as the message lists them; "" for none
  };
  const std::string texts = std::string(SMT_SOURCE_DIR) + "/resources/lang/link";
  for (const Language lang : {Language{"Chinese", "以下吸嘴可能仍用真空吸着元件"},
                              Language{"English", "Vacuum may still hold parts on these nozzles"},
                              Language{"German", "An diesen Düsen hält das Vakuum eventuell noch Bauteile"}}) {
    LinkTexts t;
    t.Load(texts, lang.name);
    SetLinkTexts(smt::CurrentMachine(), t);
    for (const Pumps p : {Pumps{0x00, ""}, Pumps{0x01, " 1"}, Pumps{0x05, " 1, 3"}, Pumps{0x80, " 8"}}) {
      SCOPED_TRACE(std::string(lang.name) + " pumps " + std::to_string(p.bits));
      messages.service.Clear();
      OnLinkRestored(smt::CurrentMachine());
      smt::CurrentMachine().connected = true;
      RuntimeOf(smt::CurrentMachine()).pumpButtons = p.bits;
      linktest::RecordingLink used(LinkForm::Serial, "COM port /dev/ttyTEST");
      Use(used);
      used.Fail(t.portClosed);
      ASSERT_EQ(messages.service.Texts().size(), 1u) << Messages();
      const std::string told = messages.service.Texts()[0];
      EXPECT_EQ(told.rfind(smt::platform::FillText(t.portClosed, {"COM port /dev/ttyTEST"}) + "\r\n" + t.lostConnectAgain, 0),
                0u)
          << told;
      const size_t at = told.find(lang.sentenceStart);
      if (*p.nozzles == '\0') {
        EXPECT_EQ(told.find("\r\n", told.find(t.lostConnectAgain)), std::string::npos) << told;
      } else {
        ASSERT_NE(at, std::string::npos) << told;
        EXPECT_EQ(told.substr(at), t.lostWithVacuumOn + p.nozzles) << told;
      }
      RuntimeOf(smt::CurrentMachine()).substitute = nullptr;
      RuntimeOf(smt::CurrentMachine()).pumpButtons = 0;
    }
  }
  SetLinkTexts(smt::CurrentMachine(), LinkTexts{});
}
