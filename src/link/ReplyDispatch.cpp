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

// the machine's masterResetOk = (head state == fitted-head mask).
void MaskTest(smt::Machine& m, const CmdPacket& p) { m.masterResetOk = (p.at(1) == RuntimeOf(m).headMask.load()); }
void GuardedMaskTest(smt::Machine& m, const CmdPacket& p) {
  if (m.masterResetOk) MaskTest(m, p);
}

void OnVacuumReading(smt::Machine& m, int32_t kpa) {
  m.link.vacuumKpa = kpa;
  RuntimeOf(m).Hooks().ShowVacuumValue();
  // Only a busy machine task waits for the reading.
  if (m.machineBusy) m.Part<smt::link::ReplyEvents>().vacuum.Answer();
}

void HandleReply(smt::Machine& m, const CmdPacket& p) {
  const uint16_t code = p.code & 0xFFF;
  const uint8_t status = p.at(0);
  switch (code) {
    case 0x02:
    case 0x05:
      // A home that failed ends its wait with a failure.
      if (CheckReplyError(m, status)) m.Part<smt::link::ReplyEvents>().home.Answer();
      else m.Part<smt::link::ReplyEvents>().home.AnswerFailure(status);
      return;
    case 0x15: OnVacuumReading(m, p.at(1)); return;
    case 0x53: CheckReplyError(m, status); m.Part<smt::link::ReplyEvents>().dispense.Answer(status); return;
    case 0x55: CheckReplyError(m, status); MaskTest(m, p); m.Part<smt::link::ReplyEvents>().dispense.Answer(status); return;
    case 0x56:
    case 0x66: CheckReplyError(m, status); m.Part<smt::link::ReplyEvents>().cmd66.Answer(status); return;
    case 0x58: CheckReplyError(m, status); MaskTest(m, p); m.Part<smt::link::ReplyEvents>().cmd58.Answer(status); return;
    case 0x60: CheckReplyError(m, status); return;
    case 0x61: CheckReplyError(m, status); MaskTest(m, p); m.Part<smt::link::ReplyEvents>().axisMove.Answer(status); return;
    case 0x63:
    case 0x73: CheckReplyError(m, status); m.Part<smt::link::ReplyEvents>().cmd63.Answer(status); return;
    case 0x64: CheckReplyError(m, status); m.Part<smt::link::ReplyEvents>().moveXY.Answer(status); return;
    case 0x65: CheckReplyError(m, status); m.Part<smt::link::ReplyEvents>().cmd65.Answer(status); return;
    case 0x67:
    case 0x74:
    case 0x75: CheckReplyError(m, status); GuardedMaskTest(m, p); m.Part<smt::link::ReplyEvents>().cmd67.Answer(status); return;
    case 0x68:
    case 0x77:
    case 0x78: CheckReplyError(m, status); GuardedMaskTest(m, p); m.Part<smt::link::ReplyEvents>().cmd68.Answer(status); return;
    case 0x70: CheckReplyError(m, status); m.Part<smt::link::ReplyEvents>().axisMove.Answer(status); return;
    case 0x71:
      CheckReplyError(m, status);
      GuardedMaskTest(m, p);
      m.link.probeValue = p.length >= 6 ? ReadLE32(p.data() + 2) : 0;
      m.Part<smt::link::ReplyEvents>().axisMove.Answer(status);
      return;
    case 0x72:
      if (!CheckReplyError(m, status)) {
        m.Part<smt::link::ReplyEvents>().home.AnswerFailure(status);
      } else if (p.at(1) == RuntimeOf(m).headMask.load()) {
        m.masterResetOk = true;
        m.Part<smt::link::ReplyEvents>().home.Answer();
      } else {
        // The heads the board reports are not the fitted ones.
        m.masterResetOk = false;
        m.Part<smt::link::ReplyEvents>().home.AnswerFailure(status);
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
    case 0x66: CheckReplyError(m, status); m.Part<smt::link::ReplyEvents>().cmd66.Answer(status); return;
    case 0x62: CheckReplyError(m, status); m.Part<smt::link::ReplyEvents>().conveyor.Answer(status); return;
    case 0x63: CheckReplyError(m, status); m.Part<smt::link::ReplyEvents>().cmd63.Answer(status); return;
    case 0x64: CheckReplyError(m, status); m.Part<smt::link::ReplyEvents>().moveXY.Answer(status); return;
    case 0x65: CheckReplyError(m, status); m.Part<smt::link::ReplyEvents>().cmd65.Answer(status); return;
    case 0x67: CheckReplyError(m, status); GuardedMaskTest(m, p); m.Part<smt::link::ReplyEvents>().cmd67.Answer(status); return;
    case 0x68: CheckReplyError(m, status); GuardedMaskTest(m, p); m.Part<smt::link::ReplyEvents>().cmd68.Answer(status); return;
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
void ReleaseSenderWithFailure(smt::Machine& m, uint8_t errorCode) {
  ReplyEvent* e = ReplyEventForCode(m, errorCode);
  if (!e) {
    const int last = m.link.lastSerialCmd.load();
    if (last >= 0) e = ReplyEventForCode(m, static_cast<uint16_t>(last));
  }
  if (e) e->AnswerFailure(errorCode);
}

void HandleSerialAck(smt::Machine& m, const std::vector<uint8_t>& f) {
  auto at = [&](size_t i) -> uint8_t { return i < f.size() ? f[i] : 0; };
  switch (at(2)) {
    case 0x00:
      // The hello is answered: the port scan waits on the single-axis event.
      m.Part<smt::link::ReplyEvents>().axisMove.Answer();
      RuntimeOf(m).Hooks().OnSerialHelloAck();
      return;
    case 0x01: m.Part<smt::link::ReplyEvents>().serialAxis.Answer(); return;
    case 0x02: m.Part<smt::link::ReplyEvents>().home.Answer(); return;
    case 0x03:
    case 0x04: return;
    case 0x15: OnVacuumReading(m, at(4)); return;
    case 0x53: CountSerialAck(m); m.Part<smt::link::ReplyEvents>().dispense.Answer(); return;
    case 0x54: CountSerialAck(m); m.Part<smt::link::ReplyEvents>().serialMove.Answer(); return;
    case 0x56:
    case 0x66: m.Part<smt::link::ReplyEvents>().cmd66.Answer(); return;
    case 0x58: m.Part<smt::link::ReplyEvents>().cmd58.Answer(); return;
    case 0x61: CountSerialAck(m); m.Part<smt::link::ReplyEvents>().axisMove.Answer(); return;
    case 0x62: m.Part<smt::link::ReplyEvents>().conveyor.Answer(); return;
    case 0x63: m.Part<smt::link::ReplyEvents>().cmd63.Answer(); return;
    case 0x64: CountSerialAck(m); m.Part<smt::link::ReplyEvents>().moveXY.Answer(); return;
    case 0x65: m.Part<smt::link::ReplyEvents>().cmd65.Answer(); return;
    case 0x67:
      m.Part<smt::link::ReplyEvents>().cmd67.Answer();
      RuntimeOf(m).Hooks().ShowZAtZero();
      return;
    case 0x68:
      m.link.vacuumCheckOk = (at(3) == 0);
      m.Part<smt::link::ReplyEvents>().cmd68.Answer();
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
      m.Part<smt::link::ReplyEvents>().axisMove.Answer();
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
      if (m.link.lastMoveCmd == 0x40) m.Part<smt::link::ReplyEvents>().moveXY.AnswerFailure(code);
      else if (m.link.lastMoveCmd == 0x41) m.Part<smt::link::ReplyEvents>().cmd65.AnswerFailure(code);
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

void HandleUdpPacket(const CmdPacket& packet) { HandleUdpPacket(smt::CurrentMachine(), packet); }

void HandleUdpPacket(smt::Machine& m, const CmdPacket& packet) {
  if (packet.flag == 1) HandleReply(m, packet);
  else if (packet.flag == 0) HandleReport(m, packet);
}

void HandleSerialFrame(const std::vector<uint8_t>& f) { HandleSerialFrame(smt::CurrentMachine(), f); }

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
