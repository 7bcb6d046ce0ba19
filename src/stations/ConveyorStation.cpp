#include "stations/ConveyorStation.h"

#include <chrono>
#include <thread>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MachineGuards.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/MotionSettings.h"
#include "link/ReplyEvent.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "stations/ConveyorTexts.h"
#include "core/Machine.h"
#include "stations/StationPart.h"

namespace smt::stations {

using smt::link::CommandResult;

ConveyorOutputs ConveyorOutputs::ForMachineType(int type) {
  ConveyorOutputs o;
  if (type == 7 || type == 8) {
    o.boardIn = 48;
    o.stopper = 49;
    o.clamp = 50;
    o.lift = 51;
    o.boardOut = 52;
    o.widthAxis = 48;
  }
  return o;
}

ConveyorStation& ConveyorStation::Of(smt::Machine& machine) { return StationOf<ConveyorStation>(machine); }

ConveyorSettings ConveyorStation::Settings() const {
  std::lock_guard lk(m_);
  return settings_;
}
void ConveyorStation::SetSettings(const ConveyorSettings& s) {
  {
    std::lock_guard lk(m_);
    settings_ = s;
  }
  // The link's homing and zone commands read the same values.
  auto m = smt::link::GetMotionSettings(machine_);
  m.conveyorWaitTimeOut = s.m_WaitTimeOut;
  m.conveyorStartSpeed = s.m_ConveyorStartSpeed;
  m.conveyorNormalSpeed = s.m_ConveyorNormalSpeed;
  m.autoTransport = s.m_AutoTransport != 0;
  m.conveyorWidthTarget = ToPulses(s.m_ResetWidth, Pulses().width);
  smt::link::SetMotionSettings(machine_, m);
}
void ConveyorStation::SetView(ConveyorView view) {
  std::lock_guard lk(m_);
  view_ = std::move(view);
}
void ConveyorStation::SetAppDir(std::string dir) {
  std::lock_guard lk(m_);
  appDir_ = std::move(dir);
}

void ConveyorStation::SetPulseSource(std::function<ConveyorPulses()> source) {
  std::lock_guard lk(m_);
  pulseSource_ = std::move(source);
}
ConveyorPulses ConveyorStation::Pulses() const {
  std::function<ConveyorPulses()> f;
  {
    std::lock_guard lk(m_);
    f = pulseSource_;
  }
  return f ? f() : ConveyorPulses::FromSettingsStore(machine_);
}

void ConveyorStation::StageBeltSteps(int32_t b1, int32_t b2, int32_t b3) {
  std::lock_guard lk(m_);
  belt_ = {b1, b2, b3};
}
std::array<int32_t, 3> ConveyorStation::BeltSteps() const {
  std::lock_guard lk(m_);
  return belt_;
}

std::array<int32_t, 3> ConveyorStation::StepsForTask(int task, const ConveyorPulses& p) const {
  const ConveyorSettings s = Settings();
  const int32_t st = s.m_StepValue;
  switch (task) {
    case kTaskBelt1Jog: return {st, 0, 0};
    case kTaskBelt1Test: return {ToPulses(s.m_AutoTransport_1_1, p.belt1), 0, 0};
    case kTaskTransferJog: return {st, st, 0};
    case kTaskTransferTest:
      return {ToPulses(s.m_AutoTransport_1_2, p.belt1), ToPulses(s.m_AutoTransport_2_1, p.belt2), 0};
    case kTaskOutJog: return {0, st, st};
    case kTaskOutTest:
      return {0, ToPulses(s.m_AutoTransport_2_2, p.belt2), ToPulses(s.m_AutoTransport_3_1, p.belt3)};
    case kTaskRunBoardOut: return {0, 0, ToPulses(s.m_AutoTransport_3_2, p.belt3)};
    default: return {0, 0, 0};
  }
}

void ConveyorStation::Sleep(int ms) const {
  // In short slices: a task the operator gave up does not sit out its pauses.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(ms, 0));
  while (!cancel_.load()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(20)));
  }
}

void ConveyorStation::Progress(int step) {
  std::function<void(int)> f;
  {
    std::lock_guard lk(m_);
    f = view_.progress;
  }
  if (f) f(step);
}
void ConveyorStation::Label(const std::string& text, int x) {
  std::function<void(const std::string&, int)> f;
  {
    std::lock_guard lk(m_);
    f = view_.label;
  }
  if (f) f(text, x);
}
void ConveyorStation::Box(int control, bool checked) {
  std::function<void(int, bool)> f;
  {
    std::lock_guard lk(m_);
    f = view_.checkBox;
  }
  if (f) f(control, checked);
}

bool ConveyorStation::SendZone(int zone, int f1, int f2, int f3, int32_t b1, int32_t b2, int32_t b3) {
  const ConveyorSettings s = Settings();
  const CommandResult r = smt::link::SendCmd62Zones(machine_, static_cast<uint8_t>(zone), static_cast<uint8_t>(f1),
                                                    static_cast<uint8_t>(f2), static_cast<uint8_t>(f3), b1, b2, b3,
                                                    s.m_ConveyorStartSpeed, s.m_ConveyorNormalSpeed);
  if (r != CommandResult::Ok)
    CLogFile::Instance().Write(true, cancel_.load() ? "Conveyor zone %d given up by the operator" : "Conveyor zone %d not done",
                               zone);
  return r == CommandResult::Ok;
}

bool ConveyorStation::Output(int n, bool on) {
  if (n < 0) return true;
  if (cancel_.load()) return false;
  return smt::link::SetOutput(machine_, n, on ? 1 : 0, 5);
}

bool ConveyorStation::RunZones(int code, bool noClamp) {
  const ConveyorSettings s = Settings();
  const ConveyorPulses p = Pulses();
  const ConveyorOutputs o = ConveyorOutputs::ForMachineType(machine_.machineType.load());
  const bool big = o.stopper >= 0;
  switch (code) {
    case 1:
      return SendZone(1, 1, 0, 0, ToPulses(s.m_AutoTransport_1_1, p.belt1), 0, 0);
    case 2: {
      if (!noClamp) {
        if (big) Output(o.stopper, true);
        else Output(o.clamp, false);
      }
      if (!SendZone(2, 0, 1, 0, ToPulses(s.m_AutoTransport_1_2, p.belt1), ToPulses(s.m_AutoTransport_2_1, p.belt2),
                    0))
        return false;
      if (noClamp) return true;
      Output(o.clamp, true);
      if (big) Output(o.stopper, false);
      Sleep(s.m_ClampTime);
      clamped_ = true;
      return true;
    }
    case 3:
      if (!noClamp) {
        Output(o.clamp, false);
        if (big) Output(o.stopper, false);
        Sleep(s.m_ClampTime);
        clamped_ = false;
      }
      return SendZone(3, 0, 0, 1, 0, ToPulses(s.m_AutoTransport_2_2, p.belt2),
                      ToPulses(s.m_AutoTransport_3_1, p.belt3));
    case 4:
      return SendZone(4, 0, 0, 0, 0, 0, ToPulses(s.m_AutoTransport_3_2, p.belt3));
    default:
      return true;
  }
}

bool ConveyorStation::BoardPassage(bool clamp) {
  const ConveyorTexts t = ConveyorTexts::Current(machine_);
  const int delay = stageDelayMs_.load();
  Progress(1);
  if (!RunZones(1, false)) return false;
  Label(t.in + t.finish, -1);
  Sleep(delay);
  Label(t.transfer + t.walk, 225);
  if (!RunZones(2, !clamp)) return false;
  Label(t.transfer + t.finish, -1);
  Sleep(delay);
  Label(t.out + t.walk, 420);
  if (!RunZones(3, !clamp)) return false;
  Label(t.out + t.finish, -1);
  Sleep(delay);
  Label(t.out + t.walk, 420);
  if (!RunZones(4, false)) return false;
  Label(t.out + t.finish, -1);
  return true;
}

bool ConveyorStation::RunTask(int task) {
  const ConveyorSettings s = Settings();
  const ConveyorOutputs o = ConveyorOutputs::ForMachineType(machine_.machineType.load());
  const bool big = o.stopper >= 0;
  const ConveyorTexts t = ConveyorTexts::Current(machine_);
  const auto b = BeltSteps();
  const int delay = stageDelayMs_.load();
  switch (task) {
    case kTaskPassThrough: {
      if (smt::link::RuntimeOf(machine_).commModel != 1) return true;
      const bool flag = passThrough_.load();
      smt::link::SendCmd60SetState(machine_, 14, flag ? 1 : 0);
      bool ok = true;
      if (flag) ok = BoardPassage(false);
      Sleep(delay);
      Box(1038, flag);
      return ok;
    }
    case kTaskWholeBoard:
      return BoardPassage(true);
    case kTaskBelt1Jog:
    case kTaskBelt1Test: {
      Progress(1);
      const bool ok = SendZone(1, task == kTaskBelt1Test ? 1 : 0, 0, 0, b[0], b[1], b[2]);
      if (ok) Label(t.in + t.finish, -1);
      return ok;
    }
    case kTaskTransferJog: {
      if (big) clamped_ = false;
      Output(o.clamp, false);
      Box(1040, false);
      Sleep(s.m_ClampTime);
      Label(t.transfer + t.walk, 225);
      const bool ok = SendZone(2, 0, 0, 0, b[0], b[1], b[2]);
      if (ok) Label(t.transfer + t.finish, -1);
      return ok;
    }
    case kTaskTransferTest: {
      if (big) {
        clamped_ = false;
        Output(o.clamp, false);
        Output(o.stopper, true);
      } else {
        Output(o.clamp, false);
      }
      Box(1040, false);
      Sleep(s.m_ClampTime);
      Progress(3);
      const bool ok = SendZone(2, 0, 1, 0, b[0], b[1], b[2]);
      if (ok) Progress(4);
      return ok;
    }
    case kTaskOutJog:
    case kTaskOutTest: {
      Output(o.clamp, false);
      if (big) Output(o.stopper, false);
      Sleep(s.m_ClampTime);
      clamped_ = false;
      Box(1040, false);
      Progress(5);
      const bool ok = SendZone(3, 0, 0, task == kTaskOutTest ? 1 : 0, b[0], b[1], b[2]);
      if (ok) Progress(6);
      return ok;
    }
    case kTaskRunBoardOut: {
      Progress(5);
      const bool ok = SendZone(4, 0, 0, 0, b[0], b[1], b[2]);
      if (ok) Progress(6);
      return ok;
    }
    case kTaskBoardInSignal:
    case kTaskBoardOutSignal: {
      const int n = task == kTaskBoardInSignal ? o.boardIn : o.boardOut;
      bool ok = Output(n, true);
      Sleep(200);
      ok &= Output(n, false);
      Box(task == kTaskBoardInSignal ? 1037 : 1042, false);
      return ok;
    }
    case kTaskStopperValve:
      if (!big) return true;
      return Output(o.stopper, !stopperBoxSet_.load());
    case kTaskLiftValve:
      if (!big) return true;
      return Output(o.lift, !liftBoxSet_.load());
    case kTaskClampValve: {
      const bool was = clamped_.load();
      clamped_ = !was;
      return Output(o.clamp, !was);
    }
    case kTaskWidth: {
      const ConveyorPulses p = Pulses();
      const int32_t distance = ToPulses(s.m_SetWidth, p.width) - machine_.motion.curConveyorWidth.load();
      const bool ok = smt::link::SendCmd61MoveAxis(machine_, static_cast<uint8_t>(o.widthAxis), distance,
                                                   s.m_ConveyorStartSpeed, s.m_ConveyorNormalSpeed);
      std::string dir;
      {
        std::lock_guard lk(m_);
        dir = appDir_;
      }
      s.Save(dir);
      return ok;
    }
    case kTaskReleaseAndSendOut: {
      if (big) clamped_ = false;
      Output(o.clamp, false);
      if (big) Output(o.stopper, false);
      Sleep(s.m_ClampTime);
      clamped_ = false;
      const ConveyorPulses p = Pulses();
      return SendZone(3, 0, 0, 1, 0, ToPulses(s.m_AutoTransport_2_2, p.belt2),
                      ToPulses(s.m_AutoTransport_3_1, p.belt3));
    }
    default:
      return true;
  }
}

bool ConveyorStation::StartTransport(int task) {
  using smt::platform::ShowMessage;
  if (!machine_.connected.load()) {
    ShowMessage(smt::link::kNotConnected);
    return false;
  }
  if (!machine_.TryClaimBusy()) {
    ShowMessage(smt::link::kRunning);
    return false;
  }
  task_ = task;
  cancel_ = false;
  taskRunning_ = true;
  const bool started = smt::platform::WorkerThreads::Instance().Start("AutoTransport", [this, task](std::stop_token) {
    smt::BusyRelease release(machine_);
    // Closing the dialog gives up this thread's reply waits.
    smt::link::t_replyWaitCancel = &cancel_;
    RunTask(task);
    smt::link::t_replyWaitCancel = nullptr;
    taskRunning_ = false;
  });
  if (!started) {
    taskRunning_ = false;
    machine_.ReleaseBusy();
  }
  return started;
}

void ConveyorStation::OnConveyorWidthReset() {
  {
    std::lock_guard lk(m_);
    settings_.m_SetWidth = settings_.m_ResetWidth;
  }
  widthResetDone_ = true;
}

}  // namespace smt::stations
