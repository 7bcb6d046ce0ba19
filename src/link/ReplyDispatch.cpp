#include "link/ReplyDispatch.h"

#include <cstdio>
#include <string>

#include "core/MachineState.h"
#include "link/FrontPanelKeys.h"
#include "link/LinkBytes.h"
#include "link/LinkGlobals.h"
#include "link/LinkRoutes.h"
#include "link/LinkRuntime.h"
#include "link/MachineHoming.h"
#include "link/MotionSettings.h"
#include "link/LinkTexts.h"
#include "link/OperatorNotice.h"
#include "link/ReplyStatus.h"

namespace smt::link {
namespace {

std::string Hex2(uint8_t v) {
  char b[4];
  std::snprintf(b, sizeof b, "%02X", v);
  return b;
}

// Hands a reply to its family; a reply out of turn of a family that moves
// axes leaves the machine's position uncertain.
void Give(smt::Machine& m, ReplyEvent& e, uint8_t status = 0, bool failed = false) {
  const ReplyTaken t = failed ? e.AnswerFailure(status) : e.Answer(status);
  if (t == ReplyTaken::OutOfTurn) OnReplyOutOfTurn(m, e);
}

// the machine's masterResetOk = (head state == fitted-head mask).
void MaskTest(smt::Machine& m, const CmdPacket& p) { m.masterResetOk = (p.at(1) == RuntimeOf(m).headMask.load()); }
void GuardedMaskTest(smt::Machine& m, const CmdPacket& p) {
  if (m.masterResetOk) MaskTest(m, p);
}

void OnVacuumReading(smt::Machine& m, int32_t kpa) {
  m.link.vacuumKpa = kpa;
  RuntimeOf(m).Hooks().ShowVacuumValue();
  // Only a busy machine task waits for the reading.
  if (m.machineBusy) Give(m, m.Part<smt::link::ReplyEvents>().vacuum);
}

void HandleReply(smt::Machine& m, const CmdPacket& p) {
  const uint16_t code = p.code & 0xFFF;
  const uint8_t status = p.at(0);
  switch (code) {
    case 0x02:
    case 0x05:
      // A home that failed ends its wait with a failure.
      if (CheckReplyError(m, status)) Give(m, m.Part<smt::link::ReplyEvents>().home);
      else Give(m, m.Part<smt::link::ReplyEvents>().home, status, true);
      return;
    case 0x15: OnVacuumReading(m, p.at(1)); return;
    case 0x53: CheckReplyError(m, status); Give(m, m.Part<smt::link::ReplyEvents>().dispense, status); return;
    case 0x55: CheckReplyError(m, status); MaskTest(m, p); Give(m, m.Part<smt::link::ReplyEvents>().dispense, status); return;
    case 0x56:
    case 0x66: CheckReplyError(m, status); Give(m, m.Part<smt::link::ReplyEvents>().cmd66, status); return;
    case 0x58: CheckReplyError(m, status); MaskTest(m, p); Give(m, m.Part<smt::link::ReplyEvents>().cmd58, status); return;
    case 0x60: CheckReplyError(m, status); return;
    case 0x61: CheckReplyError(m, status); MaskTest(m, p); Give(m, m.Part<smt::link::ReplyEvents>().axisMove, status); return;
    case 0x63:
    case 0x73: CheckReplyError(m, status); Give(m, m.Part<smt::link::ReplyEvents>().cmd63, status); return;
    case 0x64: CheckReplyError(m, status); Give(m, m.Part<smt::link::ReplyEvents>().moveXY, status); return;
    case 0x65: CheckReplyError(m, status); Give(m, m.Part<smt::link::ReplyEvents>().cmd65, status); return;
    case 0x67:
    case 0x74:
    case 0x75: CheckReplyError(m, status); GuardedMaskTest(m, p); Give(m, m.Part<smt::link::ReplyEvents>().cmd67, status); return;
    case 0x68:
    case 0x77:
    case 0x78: CheckReplyError(m, status); GuardedMaskTest(m, p); Give(m, m.Part<smt::link::ReplyEvents>().cmd68, status); return;
    case 0x70: CheckReplyError(m, status); Give(m, m.Part<smt::link::ReplyEvents>().axisMove, status); return;
    case 0x71:
      CheckReplyError(m, status);
      GuardedMaskTest(m, p);
      m.link.probeValue = p.length >= 6 ? ReadLE32(p.data() + 2) : 0;
      Give(m, m.Part<smt::link::ReplyEvents>().axisMove, status);
      return;
    case 0x72:
      if (!CheckReplyError(m, status)) {
        Give(m, m.Part<smt::link::ReplyEvents>().home, status, true);
      } else if (p.at(1) == RuntimeOf(m).headMask.load()) {
        m.masterResetOk = true;
        Give(m, m.Part<smt::link::ReplyEvents>().home);
      } else {
        // The heads the board reports are not the fitted ones.
        m.masterResetOk = false;
        Give(m, m.Part<smt::link::ReplyEvents>().home, status, true);
      }
      return;
    default: break;
  }
}

void HandleReport(smt::Machine& m, const CmdPacket& p) {
  const uint8_t status = p.at(0);
  switch (p.code & 0xFFF) {
    case 0x14:
      OnStatusReport(m, p.at(0));
      RuntimeOf(m).Hooks().OnStatusReport(p.at(0));
      return;
    case 0x15: {
      uint8_t values[8];
      for (int i = 0; i < 8; ++i) values[i] = p.at(i);
      RuntimeOf(m).Hooks().ShowInputValues(values, 8);
      return;
    }
    case 0x56:
    case 0x66: CheckReplyError(m, status); Give(m, m.Part<smt::link::ReplyEvents>().cmd66, status); return;
    case 0x62: CheckReplyError(m, status); Give(m, m.Part<smt::link::ReplyEvents>().conveyor, status); return;
    case 0x63: CheckReplyError(m, status); Give(m, m.Part<smt::link::ReplyEvents>().cmd63, status); return;
    case 0x64: CheckReplyError(m, status); Give(m, m.Part<smt::link::ReplyEvents>().moveXY, status); return;
    case 0x65: CheckReplyError(m, status); Give(m, m.Part<smt::link::ReplyEvents>().cmd65, status); return;
    case 0x67: CheckReplyError(m, status); GuardedMaskTest(m, p); Give(m, m.Part<smt::link::ReplyEvents>().cmd67, status); return;
    case 0x68: CheckReplyError(m, status); GuardedMaskTest(m, p); Give(m, m.Part<smt::link::ReplyEvents>().cmd68, status); return;
    default: return;
  }
}

void CountSerialAck(smt::Machine& m) {
  const int n = ++RuntimeOf(m).serialAckCount;
  RuntimeOf(m).Hooks().OnSerialAck(n);
}

void SerialMessage(smt::Machine& m, const std::string& text, const std::string& caption = {}) {
  NotifyOperator(text, caption.empty() ? LinkTextsOf(m).message05 : caption);
}

// An error report ends the wait of the command it concerns with a failure:
// the family of the code it names, else the family of the last command sent.
// A report that names a command's code is that command's answer (and out of
// turn when none of its family waits); one that names no command (a motor
// fault, an unknown code) only ends a wait, if one goes on.
void ReleaseSenderWithFailure(smt::Machine& m, uint8_t errorCode) {
  if (ReplyEvent* e = ReplyEventForCode(m, errorCode)) {
    Give(m, *e, errorCode, true);
    return;
  }
  const int last = m.link.lastSerialCmd.load();
  if (ReplyEvent* e = last >= 0 ? ReplyEventForCode(m, static_cast<uint16_t>(last)) : nullptr) {
    // Out of turn when a late reply of the family was owed as well: the
    // command it ended may have been done, so the position is uncertain.
    if (e->AnswerUnnamedFailure(errorCode) == ReplyTaken::OutOfTurn) OnReplyOutOfTurn(m, *e);
  }
}

void HandleSerialAck(smt::Machine& m, const std::vector<uint8_t>& f) {
  auto at = [&](size_t i) -> uint8_t { return i < f.size() ? f[i] : 0; };
  switch (at(2)) {
    case 0x00:
      // The hello is answered: the port scan waits on the single-axis event.
      (void)m.Part<smt::link::ReplyEvents>().axisMove.Answer();  // a repeated hello's answer moves nothing
      RuntimeOf(m).Hooks().OnSerialHelloAck();
      return;
    case 0x01: Give(m, m.Part<smt::link::ReplyEvents>().serialAxis); return;
    case 0x02: Give(m, m.Part<smt::link::ReplyEvents>().home); return;
    case 0x03:
    case 0x04: return;
    case 0x15: OnVacuumReading(m, at(4)); return;
    case 0x53: CountSerialAck(m); Give(m, m.Part<smt::link::ReplyEvents>().dispense); return;
    case 0x54: CountSerialAck(m); Give(m, m.Part<smt::link::ReplyEvents>().serialMove); return;
    case 0x56:
    case 0x66: Give(m, m.Part<smt::link::ReplyEvents>().cmd66); return;
    case 0x58: Give(m, m.Part<smt::link::ReplyEvents>().cmd58); return;
    case 0x61: CountSerialAck(m); Give(m, m.Part<smt::link::ReplyEvents>().axisMove); return;
    case 0x62: Give(m, m.Part<smt::link::ReplyEvents>().conveyor); return;
    case 0x63: Give(m, m.Part<smt::link::ReplyEvents>().cmd63); return;
    case 0x64: CountSerialAck(m); Give(m, m.Part<smt::link::ReplyEvents>().moveXY); return;
    case 0x65: Give(m, m.Part<smt::link::ReplyEvents>().cmd65); return;
    case 0x67:
      Give(m, m.Part<smt::link::ReplyEvents>().cmd67);
      RuntimeOf(m).Hooks().ShowZAtZero();
      return;
    case 0x68:
      m.link.vacuumCheckOk = (at(3) == 0);
      Give(m, m.Part<smt::link::ReplyEvents>().cmd68);
      m.link.vacuumKpa = at(4);
      RuntimeOf(m).Hooks().ShowVacuumValue();
      RuntimeOf(m).Hooks().ShowZAtZero();
      return;
    case 0x71:
      if (at(3) == 0) {
        NotifyOperator("Measurement Error !");
        m.link.probeValue = 0;
      } else {
        m.link.probeValue = f.size() >= 8 ? ReadBE32(f.data() + 4) : 0;
      }
      Give(m, m.Part<smt::link::ReplyEvents>().axisMove);
      return;
    default: SerialMessage(m, LinkTextsOf(m).message06); return;
  }
}

void HandleSerialError(smt::Machine& m, const std::vector<uint8_t>& f) {
  auto at = [&](size_t i) -> uint8_t { return i < f.size() ? f[i] : 0; };
  const uint8_t code = at(2);
  const uint8_t sub = at(3);
  const LinkTexts t = LinkTextsOf(m);
  switch (code) {
    case 0x61: case 0x62: case 0x64: case 0x65: case 0x66: case 0x67: case 0x68: case 0x71:
    case 0xE1: case 0xE6: case 0xE7:
      SerialMessage(m, "Error " + Hex2(code));
      ReleaseSenderWithFailure(m, code);
      return;
    case 0xE2:
      // Every sub-code is told (the high ones too), with its code.
      SerialMessage(m, "Error E2-" + Hex2(sub) + t.message21);
      RuntimeOf(m).Hooks().OnMotorFault(sub);
      // A width-axis fault during a conveyor reset: the width shown is the reset width.
      if (sub == 0x0E && MachineHoming::Of(m).m_nResetMode.load() == 9) RouteShowConveyorWidth(m);
      m.resetDone = false;
      // In debug mode the operator may go on jogging without a reset.
      if (GetMotionSettings(m).debugModel) {
        MachineHoming::Of(m).m_nResetMode = -1;
        RuntimeOf(m).Hooks().EnableJogControls(true);
      }
      ReleaseSenderWithFailure(m, code);
      return;
    case 0xE3:
    case 0xE4:
      if (code == 0xE3) {
        SerialMessage(m, t.message14);
        SerialMessage(m, t.message20);
      } else {
        SerialMessage(m, t.message15);
      }
      m.masterResetOk = false;
      if (m.link.lastMoveCmd == 0x40) Give(m, m.Part<smt::link::ReplyEvents>().moveXY, code, true);
      else if (m.link.lastMoveCmd == 0x41) Give(m, m.Part<smt::link::ReplyEvents>().cmd65, code, true);
      else ReleaseSenderWithFailure(m, code);
      return;
    case 0xE5: {
      std::string which = sub <= 0x0F ? Hex2(sub) : sub == 0xFD ? "XY" : sub == 0xFE ? "XYA" : "XX";
      SerialMessage(m, "Error E5-" + which + t.message22);
      ReleaseSenderWithFailure(m, code);
      return;
    }
    case 0xE8: {
      const std::string text = (sub == 0x11 || sub == 0x14)   ? "Error E8-X coordinate limit !"
                               : (sub == 0x12 || sub == 0x15) ? "Error E8-Y coordinate limit !"
                                                              : "Error E8-XX";
      SerialMessage(m, text);
      ReleaseSenderWithFailure(m, code);
      return;
    }
    default:
      if ((code >= 0xB1 && code <= 0xB9) || (code >= 0xD0 && code <= 0xD5)) {
        SerialMessage(m, "Error " + Hex2(code));
      } else {
        SerialMessage(m, t.message16);
      }
      ReleaseSenderWithFailure(m, code);
      return;
  }
}

}  // namespace


void HandleUdpPacket(smt::Machine& m, const CmdPacket& packet) {
  if (packet.flag == 1) HandleReply(m, packet);
  else if (packet.flag == 0) HandleReport(m, packet);
}


void HandleSerialFrame(smt::Machine& m, const std::vector<uint8_t>& f) {
  if (f.size() < 2) return;
  switch (f[1]) {
    case 0x00: {
      const uint8_t key = f.size() > 3 ? f[3] : 0;
      OnSerialStatusReport(m, key);
      RuntimeOf(m).Hooks().OnSerialStatusReport(key);
      return;
    }
    case 0x01: HandleSerialAck(m, f); return;
    case 0xF1: {
      const uint8_t src = f.size() > 2 ? f[2] : 0;
      const char* text = src == 'A' ? "Timeout header" : src == 'B' ? "Timeout feeder" : src == 'C' ? "Timeout conveyor" : nullptr;
      if (text) NotifyOperator(text, "Timeout");
      return;
    }
    case 0xFF: HandleSerialError(m, f); return;
    default: SerialMessage(m, LinkTextsOf(m).message17); return;
  }
}

}  // namespace smt::link
