#include "link/MachineCommands.h"

#include "link/LinkRoutes.h"

#include <cstdio>
#include <mutex>

#include "app/core/MachineState.h"
#include "link/CMachineLink.h"
#include "link/CSerialLink.h"
#include "link/LinkBytes.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/LinkTexts.h"
#include "link/MotionSettings.h"
#include "link/MotionCommands.h"
#include "link/MachineHoming.h"
#include "link/CommandEncoding.h"
#include "platform/MessageService.h"
#include "link/OperatorNotice.h"
#include "link/SerialFrame.h"

namespace smt::link {
namespace {

// How long a sender waits for the link mutex before it gives up.
constexpr auto kLinkMutexWait = std::chrono::seconds(30);

std::string Trace(uint8_t code, const char* what) {
  char b[24];
  std::snprintf(b, sizeof b, "%02X->%s", code, what);
  return b;
}

bool SendOnce(const MachineCommand& c) {
  LinkRuntime& rt = Runtime();
  if (rt.UsesSerial()) {
    if (c.udpOnly) return false;
    const auto frame = BuildSerialFrame(c.code, c.serialPayload);
    return WriteComFrame(frame.data(), static_cast<uint32_t>(frame.size()));
  }
  if (c.serialOnly) return false;
  CMachineLink* link = rt.udp.load();
  if (!link) return false;
  if (!g_hLinkMutex.TryLockFor(kLinkMutexWait)) return false;
  std::lock_guard<smt::platform::LinkMutex> held(g_hLinkMutex, std::adopt_lock);
  return link->SendCommand(c.code, c.udpPayload.data(), static_cast<uint16_t>(c.udpPayload.size()));
}

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

CommandResult SendMachineCommand(const MachineCommand& c) {
  LinkHooks& hooks = Runtime().Hooks();
  if (Runtime().UsesSerial()) {
    // Refused before any trace: a reply that cannot come is never awaited.
    std::string refusal = c.udpOnly ? UdpOnlyRefusalText(c.code) : c.serialRefusal;
    if (!refusal.empty()) {
      smt::platform::ShowMessage(refusal);
      return CommandResult::Refused;
    }
  }
  if (c.trace) hooks.AppendInfoLine(c.startTrace.empty() ? Trace(c.code, "Start") : c.startTrace, true);
  // A stale signal cannot complete the new command.
  if (c.reply) c.reply->Reset();
  if (!SendOnce(c)) {
    if (c.trace) hooks.AppendInfoLine(Trace(c.code, "End"), true);
    return CommandResult::SendFailed;
  }
  CommandResult result = CommandResult::Ok;
  if (c.reply) {
    switch (c.reply->Wait()) {
      case ReplyWait::Done:
        // A reply with an error status is a failed command.
        if (c.reply->status() != 0) result = CommandResult::ReplyFailed;
        break;
      case ReplyWait::Failed: result = CommandResult::ReplyFailed; break;
      case ReplyWait::TimedOut: {
        result = CommandResult::TimedOut;
        char code[64];
        std::snprintf(code, sizeof code, "\r\nMachine reply time-out (0x%02X) !", c.code);
        NotifyOperator(CurrentLinkTexts().replyTimeout + code);
        smt::ReleaseMachineBusy();
        break;
      }
    }
  }
  if (c.trace) hooks.AppendInfoLine(Trace(c.code, "End"), true);
  return result;
}

bool SendCmd00Hello() {
  if (!Runtime().UsesSerial()) return false;
  const auto f = BuildSerialFrame(0x00, {});
  return WriteComFrame(f.data(), static_cast<uint32_t>(f.size()));
}

bool SendCmd01MoveAxisSerial(uint8_t axis, int32_t steps) {
  const auto f = BuildSerialFrame(0x01, ByteWriter().U8(axis).SM32(steps).Take());
  const bool ok = WriteComFrame(f.data(), static_cast<uint32_t>(f.size()));
  ++Runtime().serialSendCount;
  return ok;
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

CommandResult SendCmd02Home(std::array<int32_t, 14> f) {
  // No jogging while the machine homes.
  Runtime().Hooks().EnableJogControls(false);
  const int type = g_nMachineType.load();
  if (type != 3 && type != 6 && type != 10) f[6] = f[7] = 0;
  const CommandSpeedSettings speed = GetCommandSpeedSettings();
  // The cap lowers each run speed on its own; it never raises one.
  f[1] = CappedRunSpeed(f[1], speed.maxSpeedLimit, speed.maxSpeedLimitValue);
  f[3] = CappedRunSpeed(f[3], speed.maxSpeedLimit, speed.maxSpeedLimitValue);
  MachineCommand c;
  c.code = 0x02;
  c.udpPayload = Cmd02HomeUdpPayload(f);
  c.serialPayload = Cmd02HomeSerialPayload(f);
  c.reply = &g_hEventHome;
  const CommandResult r = SendMachineCommand(c);
  // The end-of-home step follows the machine's answer.
  if (r == CommandResult::Ok) {
    if (type == 4) MachineHoming::Instance().ResetAfterHomeSerial();
    else MachineHoming::Instance().ResetAfterHome();
  }
  return r;
}

bool SetOutput(int output, int state, int value) {
  const bool ok = SendOutputDirect(output, state, value);
  // The pump button of the output shows the state asked for.
  if (const int button = PumpButtonOfOutput(output)) Runtime().SetPumpButton(button, state != 0);
  return ok;
}

bool SelectCamera(int channel, int value, int triggerMode) {
  g_bCameraChannelChanged = (channel != g_nLastCameraChannel.load());
  g_nLastCameraChannel = channel;
  const bool serial = Runtime().UsesSerial();
  const int type = g_nMachineType.load();
  switch (channel) {
    case 1:
      g_nVisionMode = 0;
      g_nPlatformCamera = 0;
      if (type == 4) return true;
      break;
    case 2:
      g_nVisionMode = 1;
      if (type == 4) g_nPlatformCamera = 1;
      break;
    case 3: g_nVisionMode = 2; break;
    case 4:
      if (!serial) {
        g_nVisionMode = 0;
        g_nPlatformCamera = 0;
      }
      break;
    default: break;
  }
  MachineCommand c;
  c.code = 0x04;
  c.trace = false;
  c.udpPayload = ByteWriter().U8(channel).U8(value).Take();
  c.serialPayload = c.udpPayload;
  const bool sent = SendMachineCommand(c) == CommandResult::Ok;
  // The camera panel follows with its camera (high-speed mode; the route decides).
  if (channel >= 1 && channel <= 3) RouteSwitchCamera(channel, triggerMode);
  return sent;
}

CommandResult SendCmd15ReadVacuum(int channel) {
  MachineCommand c;
  c.code = 0x15;
  c.trace = false;
  c.udpPayload = ByteWriter().U8(channel).Take();
  c.serialPayload = c.udpPayload;
  c.reply = &g_hEventVacuum;
  return SendMachineCommand(c);
}

bool SendCmd60SetState(int code, int value) {
  MachineCommand c;
  c.code = 0x60;
  c.udpPayload = ByteWriter().U8(code).U8(value).Take();
  c.serialPayload = ByteWriter().U8(code).Take();  // the serial form carries the code only
  return SendMachineCommand(c) == CommandResult::Ok;
}

void SetCommandSpeedSettings(const CommandSpeedSettings& s) {
  MotionSettings m = GetMotionSettings();
  m.maxSpeedLimit = s.maxSpeedLimit;
  m.maxSpeedLimitValue = s.maxSpeedLimitValue;
  SetMotionSettings(m);
}

CommandSpeedSettings GetCommandSpeedSettings() {
  const MotionSettings m = GetMotionSettings();
  return {m.maxSpeedLimit, m.maxSpeedLimitValue};
}

}  // namespace smt::link
