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

// g_bMasterResetOk = (head state == fitted-head mask).
void MaskTest(const CmdPacket& p) { g_bMasterResetOk = (p.at(1) == Runtime().headMask.load()); }
void GuardedMaskTest(const CmdPacket& p) {
  if (g_bMasterResetOk) MaskTest(p);
}

void OnVacuumReading(int32_t kpa) {
  g_nVacuumKpa = kpa;
  Runtime().Hooks().ShowVacuumValue();
  // Only a busy machine task waits for the reading.
  if (g_bMachineBusy) g_hEventVacuum.Answer();
}

void HandleReply(const CmdPacket& p) {
  const uint16_t code = p.code & 0xFFF;
  const uint8_t status = p.at(0);
  switch (code) {
    case 0x02:
    case 0x05:
      // A home that failed ends its wait with a failure.
      if (CheckReplyError(status)) g_hEventHome.Answer();
      else g_hEventHome.AnswerFailure(status);
      return;
    case 0x15: OnVacuumReading(p.at(1)); return;
    case 0x53: CheckReplyError(status); g_hEventDispense.Answer(status); return;
    case 0x55: CheckReplyError(status); MaskTest(p); g_hEventDispense.Answer(status); return;
    case 0x56:
    case 0x66: CheckReplyError(status); g_hEventCmd66.Answer(status); return;
    case 0x58: CheckReplyError(status); MaskTest(p); g_hEventCmd58.Answer(status); return;
    case 0x60: CheckReplyError(status); return;
    case 0x61: CheckReplyError(status); MaskTest(p); g_hEventAxisMove.Answer(status); return;
    case 0x63:
    case 0x73: CheckReplyError(status); g_hEventCmd63.Answer(status); return;
    case 0x64: CheckReplyError(status); g_hEventMoveXY.Answer(status); return;
    case 0x65: CheckReplyError(status); g_hEventCmd65.Answer(status); return;
    case 0x67:
    case 0x74:
    case 0x75: CheckReplyError(status); GuardedMaskTest(p); g_hEventCmd67.Answer(status); return;
    case 0x68:
    case 0x77:
    case 0x78: CheckReplyError(status); GuardedMaskTest(p); g_hEventCmd68.Answer(status); return;
    case 0x70: CheckReplyError(status); g_hEventAxisMove.Answer(status); return;
    case 0x71:
      CheckReplyError(status);
      GuardedMaskTest(p);
      g_nProbeValue = p.length >= 6 ? ReadLE32(p.data() + 2) : 0;
      g_hEventAxisMove.Answer(status);
      return;
    case 0x72:
      if (!CheckReplyError(status)) {
        g_hEventHome.AnswerFailure(status);
      } else if (p.at(1) == Runtime().headMask.load()) {
        g_bMasterResetOk = true;
        g_hEventHome.Answer();
      } else {
        // The heads the board reports are not the fitted ones.
        g_bMasterResetOk = false;
        g_hEventHome.AnswerFailure(status);
      }
      return;
    default: break;
  }
}

void HandleReport(const CmdPacket& p) {
  const uint8_t status = p.at(0);
  switch (p.code & 0xFFF) {
    case 0x14:
      OnStatusReport(p.at(0));
      Runtime().Hooks().OnStatusReport(p.at(0));
      return;
    case 0x15: {
      uint8_t values[8];
      for (int i = 0; i < 8; ++i) values[i] = p.at(i);
      Runtime().Hooks().ShowInputValues(values, 8);
      return;
    }
    case 0x56:
    case 0x66: CheckReplyError(status); g_hEventCmd66.Answer(status); return;
    case 0x62: CheckReplyError(status); g_hEventConveyor.Answer(status); return;
    case 0x63: CheckReplyError(status); g_hEventCmd63.Answer(status); return;
    case 0x64: CheckReplyError(status); g_hEventMoveXY.Answer(status); return;
    case 0x65: CheckReplyError(status); g_hEventCmd65.Answer(status); return;
    case 0x67: CheckReplyError(status); GuardedMaskTest(p); g_hEventCmd67.Answer(status); return;
    case 0x68: CheckReplyError(status); GuardedMaskTest(p); g_hEventCmd68.Answer(status); return;
    default: return;
  }
}

void CountSerialAck() {
  const int n = ++Runtime().serialAckCount;
  Runtime().Hooks().OnSerialAck(n);
}

void SerialMessage(const std::string& text, const std::string& caption = {}) {
  NotifyOperator(text, caption.empty() ? CurrentLinkTexts().message05 : caption);
}

// An error report ends the wait of the command it concerns with a failure:
// the family of the code it names, else the family of the last command sent.
void ReleaseSenderWithFailure(uint8_t errorCode) {
  ReplyEvent* e = ReplyEventForCode(errorCode);
  if (!e) {
    const int last = g_nLastSerialCmd.load();
    if (last >= 0) e = ReplyEventForCode(static_cast<uint16_t>(last));
  }
  if (e) e->AnswerFailure(errorCode);
}

void HandleSerialAck(const std::vector<uint8_t>& f) {
  auto at = [&](size_t i) -> uint8_t { return i < f.size() ? f[i] : 0; };
  switch (at(2)) {
    case 0x00:
      // The hello is answered: the port scan waits on the single-axis event.
      g_hEventAxisMove.Answer();
      Runtime().Hooks().OnSerialHelloAck();
      return;
    case 0x01: g_hEventSerialAxis.Answer(); return;
    case 0x02: g_hEventHome.Answer(); return;
    case 0x03:
    case 0x04: return;
    case 0x15: OnVacuumReading(at(4)); return;
    case 0x53: CountSerialAck(); g_hEventDispense.Answer(); return;
    case 0x54: CountSerialAck(); g_hEventSerialMove.Answer(); return;
    case 0x56:
    case 0x66: g_hEventCmd66.Answer(); return;
    case 0x58: g_hEventCmd58.Answer(); return;
    case 0x61: CountSerialAck(); g_hEventAxisMove.Answer(); return;
    case 0x62: g_hEventConveyor.Answer(); return;
    case 0x63: g_hEventCmd63.Answer(); return;
    case 0x64: CountSerialAck(); g_hEventMoveXY.Answer(); return;
    case 0x65: g_hEventCmd65.Answer(); return;
    case 0x67:
      g_hEventCmd67.Answer();
      Runtime().Hooks().ShowZAtZero();
      return;
    case 0x68:
      g_bVacuumCheckOk = (at(3) == 0);
      g_hEventCmd68.Answer();
      g_nVacuumKpa = at(4);
      Runtime().Hooks().ShowVacuumValue();
      Runtime().Hooks().ShowZAtZero();
      return;
    case 0x71:
      if (at(3) == 0) {
        NotifyOperator("Measurement Error !");
        g_nProbeValue = 0;
      } else {
        g_nProbeValue = f.size() >= 8 ? ReadBE32(f.data() + 4) : 0;
      }
      g_hEventAxisMove.Answer();
      return;
    default: SerialMessage(CurrentLinkTexts().message06); return;
  }
}

void HandleSerialError(const std::vector<uint8_t>& f) {
  auto at = [&](size_t i) -> uint8_t { return i < f.size() ? f[i] : 0; };
  const uint8_t code = at(2);
  const uint8_t sub = at(3);
  const LinkTexts t = CurrentLinkTexts();
  switch (code) {
    case 0x61: case 0x62: case 0x64: case 0x65: case 0x66: case 0x67: case 0x68: case 0x71:
    case 0xE1: case 0xE6: case 0xE7:
      SerialMessage("Error " + Hex2(code));
      ReleaseSenderWithFailure(code);
      return;
    case 0xE2:
      // Every sub-code is told (the high ones too), with its code.
      SerialMessage("Error E2-" + Hex2(sub) + t.message21);
      Runtime().Hooks().OnMotorFault(sub);
      // A width-axis fault during a conveyor reset: the width shown is the reset width.
      if (sub == 0x0E && MachineHoming::Instance().m_nResetMode.load() == 9) RouteShowConveyorWidth();
      g_bResetDone = false;
      // In debug mode the operator may go on jogging without a reset.
      if (GetMotionSettings().debugModel) {
        MachineHoming::Instance().m_nResetMode = -1;
        Runtime().Hooks().EnableJogControls(true);
      }
      ReleaseSenderWithFailure(code);
      return;
    case 0xE3:
    case 0xE4:
      if (code == 0xE3) {
        SerialMessage(t.message14);
        SerialMessage(t.message20);
      } else {
        SerialMessage(t.message15);
      }
      g_bMasterResetOk = false;
      if (g_nLastMoveCmd == 0x40) g_hEventMoveXY.AnswerFailure(code);
      else if (g_nLastMoveCmd == 0x41) g_hEventCmd65.AnswerFailure(code);
      else ReleaseSenderWithFailure(code);
      return;
    case 0xE5: {
      std::string which = sub <= 0x0F ? Hex2(sub) : sub == 0xFD ? "XY" : sub == 0xFE ? "XYA" : "XX";
      SerialMessage("Error E5-" + which + t.message22);
      ReleaseSenderWithFailure(code);
      return;
    }
    case 0xE8: {
      const std::string text = (sub == 0x11 || sub == 0x14)   ? "Error E8-X coordinate limit !"
                               : (sub == 0x12 || sub == 0x15) ? "Error E8-Y coordinate limit !"
                                                              : "Error E8-XX";
      SerialMessage(text);
      ReleaseSenderWithFailure(code);
      return;
    }
    default:
      if ((code >= 0xB1 && code <= 0xB9) || (code >= 0xD0 && code <= 0xD5)) {
        SerialMessage("Error " + Hex2(code));
      } else {
        SerialMessage(t.message16);
      }
      ReleaseSenderWithFailure(code);
      return;
  }
}

}  // namespace

void HandleUdpPacket(const CmdPacket& packet) {
  if (packet.flag == 1) HandleReply(packet);
  else if (packet.flag == 0) HandleReport(packet);
}

void HandleSerialFrame(const std::vector<uint8_t>& f) {
  if (f.size() < 2) return;
  switch (f[1]) {
    case 0x00: {
      const uint8_t key = f.size() > 3 ? f[3] : 0;
      OnSerialStatusReport(key);
      Runtime().Hooks().OnSerialStatusReport(key);
      return;
    }
    case 0x01: HandleSerialAck(f); return;
    case 0xF1: {
      const uint8_t src = f.size() > 2 ? f[2] : 0;
      const char* text = src == 'A' ? "Timeout header" : src == 'B' ? "Timeout feeder" : src == 'C' ? "Timeout conveyor" : nullptr;
      if (text) NotifyOperator(text, "Timeout");
      return;
    }
    case 0xFF: HandleSerialError(f); return;
    default: SerialMessage(CurrentLinkTexts().message17); return;
  }
}

}  // namespace smt::link
