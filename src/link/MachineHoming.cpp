#include "platform/RefusalTexts.h"
#include "link/MachineHoming.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "core/MachineState.h"
#include "link/LinkBytes.h"
#include "link/LinkGlobals.h"
#include "link/LinkRoutes.h"
#include "link/LinkRuntime.h"
#include "link/LinkTexts.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/OperatorNotice.h"
#include "link/CommandEncoding.h"
#include "link/SerialFrame.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "core/Machine.h"

namespace smt::link {
namespace {

// Speed-record and flag indices of the axes (origin-update keys m_00_X ..).
enum Axis16 { kX = 0, kY = 1, kZ1 = 2, kZ2 = 3, kW1 = 8, kW2 = 9, kW3 = 10, kL1 = 11, kL2 = 12 };
constexpr int kWestWalk = 8, kNorthWalk = 10, kEastWalk = 12, kAutoWalk1 = 14;

void Put(std::array<int32_t, 14>& f, int slot, SpeedPairValue p) {
  f[2 * slot] = p.start;
  f[2 * slot + 1] = p.normal;
}

SpeedPairValue Flagged(const MotionSettings& m, int speedIndex, int flagIndex) {
  return m.originUpdate[flagIndex] ? m.resetSpeed[speedIndex] : SpeedPairValue{};
}

void ZeroZ(smt::Machine& machine, bool alsoA) {
  for (auto& z : machine.curZ) z = 0;
  if (alsoA)
    for (auto& a : machine.curA) a = 0;
}

// Set for the time of one homing: the after-home step handed the busy state
// over to the camera's move to the vision origin.
thread_local bool t_handedOver = false;

// The homing a machine holds as its part, made on first use with the
// machine it belongs to.
struct HomingOfMachine {
  std::once_flag made;
  std::unique_ptr<MachineHoming> homing;
};

}  // namespace

MachineHoming& MachineHoming::Of(smt::Machine& machine) {
  auto& part = machine.Part<HomingOfMachine>();
  std::call_once(part.made, [&] { part.homing = std::make_unique<MachineHoming>(machine); });
  return *part.homing;
}


// --- what is sent ------------------------------------------------------------

bool MachineHoming::Cmd02Fields(int mode, const MotionSettings& m, std::array<int32_t, 14>& f) {
  f = {};
  auto x = [&] { Put(f, 0, Flagged(m, kX, kX)); };
  auto y = [&] { Put(f, 1, Flagged(m, kY, kY)); };
  auto z = [&] {
    Put(f, 2, Flagged(m, kZ1, kZ1));
    Put(f, 3, Flagged(m, kZ2, kZ2));
  };
  switch (mode) {
    case 0:
      x(); y(); z();
      Put(f, 4, Flagged(m, kWestWalk, kW1));
      Put(f, 5, Flagged(m, kNorthWalk, kW2));
      Put(f, 6, Flagged(m, kEastWalk, kW3));
      return true;
    case 1: x(); z(); return true;
    case 2: y(); z(); return true;
    case 3: z(); return true;
    case 4: x(); y(); z(); return true;
    case 5: Put(f, 4, Flagged(m, kWestWalk, kW1)); return true;
    case 6: Put(f, 5, Flagged(m, kNorthWalk, kW2)); return true;
    case 7: Put(f, 6, Flagged(m, kEastWalk, kW3)); return true;
    case 8: return true;  // the south side: every pair {0, 0}
    case 9: Put(f, 4, m.resetSpeed[kAutoWalk1]); return true;
    default: return false;
  }
}

bool MachineHoming::Cmd72Block(int mode, const MotionSettings& m, std::array<uint8_t, 48>& block) {
  if (mode < 0 || mode > 4) return false;
  std::array<int32_t, 12> w{};
  const bool homesX = mode == 0 || mode == 1 || mode == 4;
  const bool homesY = mode == 0 || mode == 2 || mode == 4;
  w[0] = homesX && m.originUpdate[kX] ? m.resetSpeed[kX].start : 0;
  w[1] = homesY && m.originUpdate[kY] ? m.resetSpeed[kY].start : 0;
  w[2] = m.resetSpeed[kX].normal;
  // Heads 1..8 follow the flags m_04_A1 .. m_0B_L1.
  for (int h = 0; h < 8; ++h) w[3 + h] = m.originUpdate[4 + h] ? m.resetSpeed[kZ1].start : 0;
  w[11] = m.resetSpeed[kZ1].normal;
  ByteWriter bw;
  for (int32_t v : w) bw.I32(v);
  const auto bytes = bw.Take();
  std::copy(bytes.begin(), bytes.end(), block.begin());
  return true;
}

bool MachineHoming::SerialHomePairs(int mode, const MotionSettings& m, std::array<int32_t, 14>& p) {
  // Slots: X, X2, Y, Y2, Z1, Z2, Z3 (the second platform and the dispensing axis).
  p = {};
  const SpeedPairValue xs = m.resetSpeed[kX], ys = m.resetSpeed[kY], z1 = m.resetSpeed[kZ1], z2 = m.resetSpeed[kZ2];
  switch (mode) {
    case 0:
      Put(p, 0, Flagged(m, kX, kX));
      Put(p, 1, m.originUpdate[kW2] ? xs : SpeedPairValue{});
      Put(p, 2, Flagged(m, kY, kY));
      Put(p, 3, m.originUpdate[kL2] ? ys : SpeedPairValue{});
      Put(p, 4, Flagged(m, kZ1, kZ1));
      Put(p, 5, Flagged(m, kZ2, kZ2));
      Put(p, 6, m.originUpdate[kW3] ? z1 : SpeedPairValue{});
      return true;
    case 1: Put(p, 0, xs); return true;
    case 2: Put(p, 2, ys); return true;
    case 3: Put(p, 4, z1); Put(p, 5, z2); return true;
    case 4: Put(p, 0, xs); Put(p, 2, ys); Put(p, 4, z1); Put(p, 5, z2); return true;
    case 5: Put(p, 3, ys); return true;
    case 6: Put(p, 6, z1); return true;
    case 7: Put(p, 1, xs); return true;
    default: return false;
  }
}

std::vector<uint8_t> MachineHoming::Cmd05Payload(const MotionSettings& m) {
  return ByteWriter().U8(9).I32(0).I32(m.conveyorStartSpeed).I32(m.conveyorNormalSpeed).Take();
}

bool MachineHoming::BuildSerialHomeFrame(const std::array<int32_t, 14>& pairs) {
  if (!RuntimeOf(machine_).UsesSerial()) {
    smt::platform::ShowMessage(smt::platform::WindowText("LinkMessagesConfig", "LinkMessages.c_LinkNotReady", "通讯未完成 ！"));
    return false;
  }
  ByteWriter w;
  for (int32_t v : pairs) w.U8(SpeedByte(v));
  return SendSerialOnly(machine_, 0x52, w.Take());
}

bool MachineHoming::SendCmd72HomeSelect(const std::array<uint8_t, 48>& block) {
  MachineCommand c;
  c.code = 0x72;
  c.udpOnly = true;
  c.reply = &machine_.Part<smt::link::ReplyEvents>().home;
  c.udpPayload.assign(block.begin(), block.end());
  if (SendMachineCommand(machine_, c) != CommandResult::Ok) return false;
  ResetAfterHome();
  return true;
}

// --- the homing ------------------------------------------------------------------

bool MachineHoming::Claim(uint8_t request) {
  if (!machine_.connected) return false;
  if (request == 1) return machine_.TryClaimBusy();
  machine_.machineBusy = true;  // the run engine homes inside its own busy task
  return true;
}

bool MachineHoming::StartHomeThread(int mode, uint8_t request) {
  m_nResetMode = mode;
  m_bHomeRequest = request;
  if (!Claim(request)) return false;
  if (mode == 0) machine_.resetDone = false;
  const bool started = smt::platform::WorkerThreads::Instance().Start("Home", [this](std::stop_token) { RunHoming(); });
  if (!started) machine_.ReleaseBusy();
  return started;
}

bool MachineHoming::StartRunEndHome(int mode) {
  m_bRunEndHome = true;
  if (StartHomeThread(mode, 0)) return true;
  m_bRunEndHome = false;
  return false;
}

bool MachineHoming::HomeAxes(int mode, uint8_t request) {
  m_nResetMode = mode;
  m_bHomeRequest = request;
  if (!Claim(request)) return false;
  if (mode == 0) machine_.resetDone = false;
  return RunHoming();
}

void MachineHoming::TellNothingToHome() { NotifyOperator(LinkTextsOf(machine_).homeNothing); }

bool MachineHoming::HomeConveyorWidth(const MotionSettings& m) {
  MachineCommand c;
  c.code = 0x05;
  c.udpOnly = true;
  c.reply = &machine_.Part<smt::link::ReplyEvents>().home;
  c.udpPayload = Cmd05Payload(m);
  if (SendMachineCommand(machine_, c) != CommandResult::Ok) return false;
  ResetAfterHome();
  return true;
}

bool MachineHoming::RunHoming() {
  t_handedOver = false;
  // Whatever happens below, the homing ends with the machine not busy
  // (unless the camera's move to the vision origin has taken it over).
  struct EndBusy {
    smt::Machine& machine;
    std::atomic<bool>& runEnd;
    ~EndBusy() {
      runEnd = false;
      if (!t_handedOver) machine.ReleaseBusy();
    }
  } endBusy{machine_, m_bRunEndHome};
  const MotionSettings m = GetMotionSettings(machine_);
  const int mode = m_nResetMode;
  const int type = machine_.machineType;

  if (type == 4) {
    std::array<int32_t, 14> pairs{};
    if (!SerialHomePairs(mode, m, pairs)) {
      TellNothingToHome();
      return false;
    }
    machine_.Part<smt::link::ReplyEvents>().home.SettleBeforeSend();
    machine_.Part<smt::link::ReplyEvents>().home.Arm();
    if (!BuildSerialHomeFrame(pairs)) {
      machine_.Part<smt::link::ReplyEvents>().home.Disarm();
      return false;
    }
    // The board acknowledges the home frame when the axes are at their references.
    const ReplyWait w = machine_.Part<smt::link::ReplyEvents>().home.Wait(machine_, machine_.Part<smt::link::ReplyEvents>().home.timeout());
    if (w != ReplyWait::Done) {
      if (w != ReplyWait::Failed) {
        machine_.Part<smt::link::ReplyEvents>().home.MarkTimedOut(machine_.Part<smt::link::ReplyEvents>().home.LateGuard());
        OnMotionOutcomeUnknown(machine_, 0x52);
      }
      // One message for a lost link (a shut-down or a loss told already shows nothing more).
      if (w == ReplyWait::TimedOut) {
        const LinkTexts texts = LinkTextsOf(machine_);
        ReportLinkLost(machine_, texts.replyTimeout + "\r\n" + smt::platform::FillText(texts.replyTimeoutCode, {"52"}));
      }
      else if (w == ReplyWait::Failed) NotifyOperator(LinkTextsOf(machine_).replyTimeout);
      return false;
    }
    ResetAfterHomeSerial();
    return true;
  }
  if (type == 7 || type == 8) {
    if (mode == 9) return HomeConveyorWidth(m);
    std::array<uint8_t, 48> block{};
    if (!Cmd72Block(mode, m, block)) {
      TellNothingToHome();
      return false;
    }
    return SendCmd72HomeSelect(block);
  }
  std::array<int32_t, 14> fields{};
  if (!Cmd02Fields(mode, m, fields)) {
    TellNothingToHome();
    return false;
  }
  if (mode >= 5 && mode <= 8) {
    // The feeder side's output goes off before its walk is homed.
    if (!SendOutputDirect(machine_, mode, 0, 5)) return false;
  }
  // SendCmd02Home runs the end-of-home step once the machine has answered.
  return SendCmd02Home(machine_, fields) == CommandResult::Ok;
}

// --- after the machine's answer ------------------------------------------------------

void MachineHoming::ResetAfterHome() {
  const MotionSettings m = GetMotionSettings(machine_);
  const int type = machine_.machineType;
  const bool alsoA = type == 8;
  LinkHooks& hooks = RuntimeOf(machine_).Hooks();
  switch (m_nResetMode.load()) {
    case 0: {
      machine_.curX = 0;
      machine_.curY = 0;
      ZeroZ(machine_, alsoA);
      machine_.motion.curAxis8 = machine_.motion.curAxis9 = machine_.motion.curAxis10 = 0;
      machine_.camera.channelVisionMode = 0;
      RouteShowBoardCameraValues(machine_);
      const auto pause = std::chrono::milliseconds(m.exhaust);
      const uint8_t heads = RuntimeOf(machine_).headMask;
      if ((type == 7 || type == 8) && (m.runSelect == 1 || m.runSelect == 2)) {
        for (int bit = 0; bit < 6; ++bit) {
          if (!(heads & (1u << bit))) continue;
          std::this_thread::sleep_for(pause);
          SendOutputDirect(machine_, 32 + bit, 0, m.exhaust);
          RuntimeOf(machine_).SetPumpButton(bit + 1, false);
        }
        if (heads & (1u << 6)) {
          std::this_thread::sleep_for(pause);
          SetOutput(machine_, 38, 0, m.exhaust);
        }
      } else if (type == 7 || type == 8) {
        for (int bit = 0; bit < 8; ++bit) {
          if (!(heads & (1u << bit))) continue;
          std::this_thread::sleep_for(pause);
          SetOutput(machine_, 32 + bit, 0, m.exhaust);
        }
      } else {
        for (int out = 1; out <= 4; ++out) SetOutput(machine_, out, 0, 5);
      }
      RuntimeOf(machine_).serialSendCount = 0;
      RuntimeOf(machine_).serialAckCount = 0;
      hooks.OnMoveCounted(0);
      hooks.OnPositionsChanged();
      machine_.masterResetOk = true;
      machine_.link.positionLost = false;
      if (m.resetToVisualOrigin) {
        // The camera's move to the vision origin finishes the homing; it sets
        // the homed flag when the camera has arrived.
        machine_.ReleaseBusy();
        m_bResetToOriginPending = true;
        t_handedOver = true;
        SendCmd60SetState(machine_, 4, 0);
        RouteCameraToVisionOrigin(machine_);
        return;
      }
      hooks.EnableJogControls(true);
      machine_.resetDone = true;
      SendCmd60SetState(machine_, 4, 0);
      break;
    }
    case 1: machine_.curX = 0; ZeroZ(machine_, alsoA); break;
    case 2: machine_.curY = 0; ZeroZ(machine_, alsoA); break;
    case 3: ZeroZ(machine_, alsoA); machine_.masterResetOk = true; break;
    case 4:
      machine_.curX = 0;
      machine_.curY = 0;
      ZeroZ(machine_, alsoA);
      machine_.masterResetOk = true;
      if (m_bRunEndHome.exchange(false) && !machine_.link.positionLost) machine_.resetDone = true;
      break;
    case 5: machine_.motion.curAxis8 = 0; break;
    case 6: machine_.motion.curAxis9 = 0; break;
    case 7: machine_.motion.curAxis10 = 0; break;
    case 9:
      machine_.motion.curConveyorWidth = m.conveyorWidthTarget;
      RouteShowConveyorWidth(machine_);
      break;
    default: break;
  }
  const int mode = m_nResetMode;
  if ((mode >= 1 && mode <= 7) || mode == 9) {
    hooks.EnableJogControls(true);
    hooks.OnPositionsChanged();
  }
  machine_.ReleaseBusy();
}

void MachineHoming::ResetAfterHomeSerial() {
  const MotionSettings m = GetMotionSettings(machine_);
  LinkHooks& hooks = RuntimeOf(machine_).Hooks();
  const int mode = m_nResetMode;
  switch (mode) {
    case 0: {
      machine_.curX = 0;
      machine_.curY = 0;
      for (int z = 0; z < 6; ++z) machine_.curZ[z] = 0;
      machine_.motion.curPlatform[0] = machine_.motion.curPlatform[1] = 0;
      machine_.motion.curAxis8 = machine_.motion.curAxis9 = machine_.motion.curAxis10 = 0;
      SetOutput(machine_, 1, 0, 5);
      for (int out = 2; out <= 4; ++out) {
        SendOutputDirect(machine_, out, 0, 5);
        RuntimeOf(machine_).SetPumpButton(out, false);
      }
      if (m.runSelect >= 9 && m.runSelect <= 12) {
        SendOutputDirect(machine_, 7, 1, 5);
        SendOutputDirect(machine_, 8, 1, 5);
      }
      hooks.OnPositionsChanged();
      machine_.masterResetOk = true;
      machine_.resetDone = true;
      machine_.link.positionLost = false;
      if (m.resetToVisualOrigin) {
        machine_.ReleaseBusy();
        m_bResetToOriginPending = true;
        t_handedOver = true;
        SendCmd60SetState(machine_, 4, 0);
        RouteCameraToVisionOrigin(machine_);
        return;
      }
      hooks.EnableJogControls(true);
      SendCmd60SetState(machine_, 4, 0);
      break;
    }
    case 1: machine_.curX = 0; break;
    case 2: machine_.curY = 0; break;
    case 3: for (int z = 0; z < 4; ++z) machine_.curZ[z] = 0; break;
    case 4: machine_.curX = 0; machine_.curY = 0; break;
    case 5: machine_.motion.curAxis8 = 0; machine_.motion.curPlatform[1] = 0; break;
    case 6: machine_.motion.curAxis9 = 0; machine_.curZ[4] = 0; machine_.curZ[5] = 0; break;
    case 7: machine_.motion.curAxis10 = 0; machine_.motion.curPlatform[0] = 0; break;
    default: break;
  }
  if (mode >= 1 && mode <= 7) {
    hooks.EnableJogControls(true);
    hooks.OnPositionsChanged();
  }
  machine_.ReleaseBusy();
}

// --- after a connect -----------------------------------------------------------------------

void MachineHoming::OnLinkUpSteps() {
  machine_.Part<smt::link::ReplyEvents>().axisMove.Signal();
  RuntimeOf(machine_).serialSendCount = 0;
  RuntimeOf(machine_).serialAckCount = 0;
  RuntimeOf(machine_).Hooks().OnMoveCounted(0);
  // The connect sets the flag; a link that never comes up ends the wait.
  for (int i = 0; i < 50 && !machine_.connected; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  if (!machine_.connected) return;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const MotionSettings m = GetMotionSettings(machine_);
  if (m.onlineToReset) {
    StartHomeThread(0, 1);
  } else {
    RuntimeOf(machine_).Hooks().EnableHomeButton();
  }
  if (m.debugModel) RuntimeOf(machine_).Hooks().EnableJogControls(true);
}


CommandResult SendCmd02Home(smt::Machine& m, std::array<int32_t, 14> f) {
  // No jogging while the machine homes.
  RuntimeOf(m).Hooks().EnableJogControls(false);
  const int type = m.machineType.load();
  if (type != 3 && type != 6 && type != 10) f[6] = f[7] = 0;
  const CommandSpeedSettings speed = GetCommandSpeedSettings(m);
  // The cap lowers each run speed on its own; it never raises one.
  f[1] = CappedRunSpeed(f[1], speed.maxSpeedLimit, speed.maxSpeedLimitValue);
  f[3] = CappedRunSpeed(f[3], speed.maxSpeedLimit, speed.maxSpeedLimitValue);
  MachineCommand c;
  c.code = 0x02;
  c.udpPayload = Cmd02HomeUdpPayload(f);
  c.serialPayload = Cmd02HomeSerialPayload(f);
  c.reply = &m.Part<smt::link::ReplyEvents>().home;
  const CommandResult r = SendMachineCommand(m, c);
  // The end-of-home step follows the machine's answer.
  if (r == CommandResult::Ok) {
    if (type == 4) MachineHoming::Of(m).ResetAfterHomeSerial();
    else MachineHoming::Of(m).ResetAfterHome();
  }
  return r;
}

}  // namespace smt::link
