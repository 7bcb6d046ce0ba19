#include "platform/RefusalTexts.h"
#include "link/MachineCommands.h"

#include "link/LinkRoutes.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "link/Link.h"
#include "link/LinkBytes.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/LinkTexts.h"
#include "link/MotionSettings.h"
#include "link/CommandEncoding.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "link/MotionGlobals.h"
#include "link/OperatorNotice.h"
#include "link/SerialFrame.h"

namespace smt::link {
namespace {

// "%02X->" and the word in the window's language ("Start" / "End"), read
// once per language.
std::string Trace(uint8_t code, const char* what) {
  struct Words {
    std::string language, start, end;
  };
  thread_local Words words;
  if (const std::string language = smt::platform::RefusalLanguage(); language != words.language || words.start.empty()) {
    words.language = language;
    words.start = smt::platform::WindowText("LinkMessagesConfig", "LinkMessages.c_TraceStart", "开始");
    words.end = smt::platform::WindowText("LinkMessagesConfig", "LinkMessages.c_TraceEnd", "结束");
  }
  char b[8];
  std::snprintf(b, sizeof b, "%02X->", code);
  return b + (std::string_view(what) == "Start" ? words.start : words.end);
}

bool SendOnce(Link& link, const MachineCommand& c) {
  if (link.Form() == LinkForm::Serial) {
    if (c.udpOnly) return false;
    return link.SendFrame(c.code, c.serialPayload);
  }
  if (c.serialOnly) return false;
  return link.SendFrame(c.code, c.udpPayload);
}

}  // namespace

bool IsMotionCode(uint8_t code) {
  switch (code) {
    case 0x01: case 0x53: case 0x54: case 0x55: case 0x56: case 0x58: case 0x61: case 0x63: case 0x64:
    case 0x65: case 0x66: case 0x67: case 0x68: case 0x70: case 0x71: case 0x73: case 0x74: case 0x75:
    case 0x77: case 0x78:
      return true;
    default:
      return false;
  }
}

bool IsHomeCode(uint8_t code) { return code == 0x02 || code == 0x05 || code == 0x52 || code == 0x72; }


void OnMotionOutcomeUnknown(smt::Machine& m, uint8_t code) {
  // Moves are relative: after a move whose end is unknown the program's
  // positions no longer match the machine's until it is homed.
  m.resetDone = false;
  m.link.positionLost = true;
  CLogFile::Instance().Write(true, "Command %02X timed out: the machine counts as not homed", code);
}

bool MarkPositionUncertain(smt::Machine& m) {
  const bool wasLost = m.link.positionLost.exchange(true);
  const bool wasHomed = m.resetDone.exchange(false);
  if (m.runContinue.exchange(false)) m.run.pauseEvent.Set();
  return !wasLost || wasHomed;
}

void OnReplyOutOfTurn(smt::Machine& m, const ReplyEvent& family) {
  CLogFile::Instance().Write(true, "A reply of the %s family came out of turn (no command, or another one, awaited it)",
                             family.name());
  if (!family.positional()) return;
  const bool wasCertain = MarkPositionUncertain(m);
  CLogFile::Instance().Write(true, "The machine's position is uncertain: it counts as not homed");
  // One message per uncertainty: a loss or a time-out told already covers it.
  if (!wasCertain || !m.connected || LinkKnownLost(m) || smt::platform::WorkerThreads::Instance().ShuttingDown()) return;
  const LinkTexts t = LinkTextsOf(m);
  NotifyOperator(t.replyOutOfTurn + "\r\n" + t.positionUncertain);
}

std::string PositionLostText(smt::Machine& m) { return LinkTextsOf(m).positionUncertain; }

namespace {
// A move refused on a thread of a run that has been stopped: the cause that
// stopped it was told, and the refusal adds nothing.
bool RefusalAlreadyTold(const smt::Machine& m) { return t_onRunThread && !m.runContinue.load(); }
}  // namespace

std::string UdpOnlyRefusalText(uint8_t code) {
  char b[96];
  std::snprintf(b, sizeof b, "Command %02X needs the Ethernet link: it has no serial form !", code);
  return b;
}

std::string StepsDoNotFitText(uint8_t code, const char* field, int32_t value, int bits) {
  char b[160];
  std::snprintf(b, sizeof b, "Command %02X: %s %d does not fit the %d-bit serial field, nothing was sent !", code,
                field, value, bits);
  return b;
}

std::string FieldDoesNotFitText(uint8_t code, const std::string& misfit) {
  char b[64];
  std::snprintf(b, sizeof b, "Command %02X: the value ", code);
  return b + misfit + " does not fit its field, nothing was sent !";
}

void LogClampedSpeed(int64_t v) {
  CLogFile::Instance().Write(true, "Speed %lld does not fit its byte: sent as %d", static_cast<long long>(v),
                             v < 0 ? 0 : 255);
}


CommandResult SendMachineCommand(smt::Machine& m, const MachineCommand& c) {
  LinkHooks& hooks = RuntimeOf(m).Hooks();
  // Trace lines are formatted only when something shows them.
  const LinkHooks* shown = RuntimeOf(m).hooks.load();
  const bool trace = c.trace && shown && shown->InfoShown();
  const bool serial = RuntimeOf(m).UsesSerial();
  {
    // Refused before any trace: a reply that cannot come is never awaited,
    // and a value is never cut short.
    std::string refusal;
    if (serial) {
      refusal = c.udpOnly ? UdpOnlyRefusalText(c.code) : c.serialRefusal;
      if (refusal.empty() && !c.serialPayload.misfit.empty()) refusal = FieldDoesNotFitText(c.code, c.serialPayload.misfit);
    } else if (!c.udpPayload.misfit.empty()) {
      refusal = FieldDoesNotFitText(c.code, c.udpPayload.misfit);
    }
    if (!refusal.empty()) {
      CLogFile::Instance().Write(true, "%s", refusal.c_str());
      smt::platform::ShowMessage(refusal);
      return CommandResult::Refused;
    }
  }
  // A lost link is not written to again: the loss was told once, and every
  // later command of a run would otherwise wait out its own time-out.
  if (LinkKnownLost(m) && !m.connected) {
    CLogFile::Instance().Write(true, "Command %02X not sent: the link to the machine is lost", c.code);
    return CommandResult::LinkLost;
  }
  // While the positions are uncertain nothing moves until the machine is
  // homed (the serial single-axis move 0x01 included).
  if (m.link.positionLost && !m.resetDone && IsMotionCode(c.code)) {
    const std::string refusal = PositionLostText(m);
    CLogFile::Instance().Write(true, "Command %02X refused: %s", c.code, refusal.c_str());
    if (!RefusalAlreadyTold(m)) smt::platform::ShowMessage(refusal);
    return CommandResult::Refused;
  }
  if (trace) hooks.AppendInfoLine(c.startTrace.empty() ? Trace(c.code, "Start") : c.startTrace, true);
  // A stale signal cannot complete the new command, nor can the late reply
  // of an earlier command of the family that timed out.
  if (c.reply) {
    c.reply->SettleBeforeSend();
    // A reply out of turn seen while settling (a copy of the family's last
    // reply) has just been told: the move is not sent.
    if (m.link.positionLost && !m.resetDone && IsMotionCode(c.code)) {
      CLogFile::Instance().Write(true, "Command %02X not sent: the machine's position became uncertain", c.code);
      if (trace) hooks.AppendInfoLine(Trace(c.code, "End"), true);
      return CommandResult::Refused;
    }
    c.reply->Arm();
  }
  Link* link = RuntimeOf(m).ActiveLink();
  if (!link || !SendOnce(*link, c)) {
    if (c.reply) c.reply->Disarm();
    if (trace) hooks.AppendInfoLine(Trace(c.code, "End"), true);
    char code[8];
    std::snprintf(code, sizeof code, "%02X", c.code);
    const LinkTexts texts = LinkTextsOf(m);
    const std::string text = link ? smt::platform::FillText(texts.sendFailed, {code, link->Describe()})
                                  : smt::platform::FillText(texts.sendLinkDown, {code});
    if (m.connected) ReportLinkLost(m, text);
    else if (LinkKnownLost(m)) CLogFile::Instance().Write(true, "%s", text.c_str());  // the loss was told already
    else NotifyOperator(text);
    return CommandResult::SendFailed;
  }
  CommandResult result = CommandResult::Ok;
  if (c.reply) {
    const auto limit = c.timeout.count() > 0 ? std::min(c.timeout, c.reply->timeout()) : c.reply->timeout();
    // A move's reply is given longer after a Stop: giving it up unhomes the machine.
    const ReplyWait w = c.reply->Wait(m, limit, IsMotionCode(c.code) || IsHomeCode(c.code) ? WaitWatch::MoveAndStop
                                                                                         : WaitWatch::LinkAndStop);
    switch (w) {
      case ReplyWait::Done:
        // A reply with an error status is a failed command.
        if (c.reply->status() != 0) result = CommandResult::ReplyFailed;
        break;
      case ReplyWait::Failed: result = CommandResult::ReplyFailed; break;
      case ReplyWait::TimedOut: {
        result = CommandResult::TimedOut;
        // Its reply may still come: it must not complete the family's next command.
        c.reply->MarkTimedOut(c.reply->LateGuard());
        if (IsMotionCode(c.code) || IsHomeCode(c.code) || c.reply->positional()) OnMotionOutcomeUnknown(m, c.code);
        char code[8];
        std::snprintf(code, sizeof code, "%02X", c.code);
        const LinkTexts texts = LinkTextsOf(m);
        ReportLinkLost(m, texts.replyTimeout + "\r\n" + smt::platform::FillText(texts.replyTimeoutCode, {code}));
        m.ReleaseBusy();
        break;
      }
      case ReplyWait::Abandoned:
      case ReplyWait::LinkLost: {
        // Stopped, shut down or the link went: the reply may still come and
        // must not complete another command; where a move ended is unknown.
        result = CommandResult::Stopped;
        if (w == ReplyWait::LinkLost) result = CommandResult::LinkLost;
        c.reply->MarkTimedOut(c.reply->LateGuard());
        if (IsMotionCode(c.code) || IsHomeCode(c.code) || c.reply->positional()) OnMotionOutcomeUnknown(m, c.code);
        CLogFile::Instance().Write(true, "Command %02X: reply no longer awaited (%s)", c.code,
                                   w == ReplyWait::LinkLost ? "link lost" : "stopped");
        break;
      }
    }
  }
  if (trace) hooks.AppendInfoLine(Trace(c.code, "End"), true);
  return result;
}

namespace {
int64_t TravelMs(int64_t steps, int32_t runSpeed) {
  const int64_t rate = static_cast<int64_t>(std::clamp(runSpeed, kSpeedFloor, 255)) * kStepsPerSecondPerSpeed;
  return (steps < 0 ? -steps : steps) * 1000 / rate;
}
}  // namespace

std::chrono::milliseconds MoveTimeout(int64_t steps, int32_t runSpeed, std::chrono::milliseconds extra) {
  return MoveTimeoutOfLegs({MoveLeg{steps, runSpeed}}, extra);
}

std::chrono::milliseconds MoveTimeoutOfLegs(std::initializer_list<MoveLeg> legs, std::chrono::milliseconds extra) {
  return MoveTimeoutOfLegs(std::vector<MoveLeg>(legs), extra);
}

std::chrono::milliseconds MoveTimeoutOfLegs(const std::vector<MoveLeg>& legs, std::chrono::milliseconds extra) {
  int64_t travelMs = 0;
  for (const MoveLeg& l : legs) travelMs += TravelMs(l.steps, l.runSpeed);
  return std::max(kMinMoveTimeout, std::chrono::milliseconds(2 * travelMs + 1500) + extra);
}

std::vector<uint8_t> Cmd02HomeUdpPayload(const std::array<int32_t, 14>& fields) {
  ByteWriter w;
  for (int32_t v : fields) w.I32(v);
  return w.Take();
}

std::vector<uint8_t> Cmd02HomeSerialPayload(const std::array<int32_t, 14>& fields) {
  ByteWriter w;
  for (int32_t v : fields) w.U8(SpeedByte(v));
  return w.Take();
}

int PumpButtonOfOutput(int output) {
  if (output >= 1 && output <= 4) return output;
  if (output >= 32 && output <= 39) return output - 31;
  return 0;
}

bool SendSerialOnly(smt::Machine& m, uint8_t code, const std::vector<uint8_t>& payload) {
  Link* link = RuntimeOf(m).ActiveLink();
  return link && link->Form() == LinkForm::Serial && link->SendFrame(code, payload);
}

bool SendCmd00Hello(smt::Machine& m) { return SendSerialOnly(m, 0x00, {}); }

bool SendCmd01MoveAxisSerial(smt::Machine& m, uint8_t axis, int32_t steps) {
  // The same rule as every other move: after a motion time-out nothing
  // moves until the machine is homed.
  if (LinkKnownLost(m) && !m.connected) return false;
  if (m.link.positionLost && !m.resetDone) {
    const std::string refusal = PositionLostText(m);
    CLogFile::Instance().Write(true, "Command 01 refused: %s", refusal.c_str());
    if (!RefusalAlreadyTold(m)) smt::platform::ShowMessage(refusal);
    return false;
  }
  const Payload p = ByteWriter().U8(axis).SM32(steps).Take();
  if (!p.misfit.empty()) {
    const std::string refusal = FieldDoesNotFitText(0x01, p.misfit);
    CLogFile::Instance().Write(true, "%s", refusal.c_str());
    smt::platform::ShowMessage(refusal);
    return false;
  }
  const bool ok = SendSerialOnly(m, 0x01, p);
  ++RuntimeOf(m).serialSendCount;
  return ok;
}

bool SendOutputDirect(smt::Machine& m, int output, int state, int value) {
  MachineCommand c;
  c.code = 0x03;
  c.trace = false;
  c.udpPayload = ByteWriter().U8(output).U8(state).U16(value).Take();
  c.serialPayload = ByteWriter().U8(output).U8(state).Take();  // the value is not sent
  return SendMachineCommand(m, c) == CommandResult::Ok;
}

bool SetOutput(smt::Machine& m, int output, int state, int value) {
  const bool ok = SendOutputDirect(m, output, state, value);
  // The pump button of the output shows the state asked for (a refused
  // command changed nothing).
  if (!ok && (output < 0 || output > 255 || state < 0 || state > 255)) return ok;
  if (const int button = PumpButtonOfOutput(output)) RuntimeOf(m).SetPumpButton(button, state != 0);
  return ok;
}

bool SelectCamera(smt::Machine& m, int channel, int value, int triggerMode) {
  m.camera.channelChanged = (channel != m.camera.lastChannel.load());
  m.camera.lastChannel = channel;
  const bool serial = RuntimeOf(m).UsesSerial();
  const int type = m.machineType.load();
  switch (channel) {
    case 1:
      m.camera.channelVisionMode = 0;
      m.camera.platformCamera = 0;
      if (type == 4) return true;
      break;
    case 2:
      m.camera.channelVisionMode = 1;
      if (type == 4) m.camera.platformCamera = 1;
      break;
    case 3: m.camera.channelVisionMode = 2; break;
    case 4:
      if (!serial) {
        m.camera.channelVisionMode = 0;
        m.camera.platformCamera = 0;
      }
      break;
    default: break;
  }
  MachineCommand c;
  c.code = 0x04;
  c.trace = false;
  c.udpPayload = ByteWriter().U8(channel).U8(value).Take();
  c.serialPayload = c.udpPayload;
  const bool sent = SendMachineCommand(m, c) == CommandResult::Ok;
  // The camera panel follows with its camera (high-speed mode; the route decides).
  if (channel >= 1 && channel <= 3) RouteSwitchCamera(m, channel, triggerMode);
  return sent;
}

CommandResult SendCmd15ReadVacuum(smt::Machine& m, int channel) {
  MachineCommand c;
  c.code = 0x15;
  c.trace = false;
  c.udpPayload = ByteWriter().U8(channel).Take();
  c.serialPayload = c.udpPayload;
  c.reply = &m.Part<smt::link::ReplyEvents>().vacuum;
  return SendMachineCommand(m, c);
}

bool SendCmd60SetState(smt::Machine& m, int code, int value) {
  MachineCommand c;
  c.code = 0x60;
  c.udpPayload = ByteWriter().U8(code).U8(value).Take();
  c.serialPayload = ByteWriter().U8(code).Take();  // the serial form carries the code only
  return SendMachineCommand(m, c) == CommandResult::Ok;
}

void SetCommandSpeedSettings(smt::Machine& machine, const CommandSpeedSettings& s) {
  MotionSettings m = GetMotionSettings(machine);
  m.maxSpeedLimit = s.maxSpeedLimit;
  m.maxSpeedLimitValue = s.maxSpeedLimitValue;
  SetMotionSettings(machine, m);
}


CommandSpeedSettings GetCommandSpeedSettings(smt::Machine& machine) {
  const MotionSettings m = GetMotionSettings(machine);
  return {m.maxSpeedLimit, m.maxSpeedLimitValue};
}

}  // namespace smt::link
