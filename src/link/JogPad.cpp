#include "link/JogPad.h"

#include <cmath>
#include <cstdlib>
#include <thread>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MachineGuards.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/MotionSettings.h"
#include "link/OperatorNotice.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "settings/ConfigKeyRanges.h"
#include "platform/WorkerThreads.h"
#include "settings/SettingsStores.h"

namespace smt::link {
namespace {

int32_t StepsOf(double pulsePerMm, double mm) { return static_cast<int32_t>(std::trunc(pulsePerMm * mm)); }

// Sleeps `d` in short slices; false when shut-down asked the worker to stop.
bool PauseFor(std::chrono::milliseconds d, const std::stop_token& st) {
  const auto end = std::chrono::steady_clock::now() + d;
  while (std::chrono::steady_clock::now() < end) {
    if (st.stop_requested()) return false;
    std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(std::chrono::milliseconds(10), d));
  }
  return !st.stop_requested();
}

// Index of the axis's pair in the manual speed use.
int SpeedIndex(int axis, bool secondPlatform) {
  switch (axis) {
    case 0: return 0;
    case 1: return 1;
    case 2: return 2;
    case 3: return 3;
    case 4: case 5: case 6: case 7: return 4;
    case 8: return 8;
    case 9: return secondPlatform ? 0 : 10;
    case 10: return 12;
    case 11: return 9;
    case 12: return secondPlatform ? 1 : 11;
    case 13: return 13;
    case 14: return 14;
    default: return axis >= 40 ? 4 : 2;
  }
}

int StepOf(int axis, bool secondPlatform, const JogSteps& s) {
  switch (axis) {
    case 0: case 1: return s.m_XY_RunSteps;
    case 2: case 3: return s.m_Z_RunSteps;
    case 4: case 5: case 6: case 7: return s.m_A_RunSteps;
    case 9: case 12: return secondPlatform ? s.m_XY_RunSteps : s.m_Feed_RunSteps;
    case 8: case 10: case 11: case 13: return s.m_Feed_RunSteps;
    case 14: return s.m_S_RunSteps;
    default: return axis >= 40 ? s.m_A_RunSteps : s.m_Z_RunSteps;
  }
}

}  // namespace

JogContext LoadJogContext(smt::Machine& machine, const std::string& appDir) {
  JogContext c;
  const MotionSettings m = GetMotionSettings(machine);
  c.xLimit = m.xLimit;
  c.yLimit = m.yLimit;
  c.zLimit = m.zLimit;
  auto& stores = smt::settings::SettingsStores::Of(machine);
  auto basic = stores.machine.Basic();
  auto pulse = stores.machine.Pulse();
  if (basic && pulse) {
    c.westLimit = StepsOf(pulse->m_WestWalk_Pulse, basic->m_WestFeed_Limit);
    c.northLimit = StepsOf(pulse->m_NorthWalk_Pulse, basic->m_NorthFeed_Limit);
    c.eastLimit = StepsOf(pulse->m_EastWalk_Pulse, basic->m_EastFeed_Limit);
  }
  if (pulse) {
    c.westLiftPulse = pulse->m_WestLift_Pulse;
    c.northLiftPulse = pulse->m_NorthLift_Pulse;
    c.eastLiftPulse = pulse->m_EastLift_Pulse;
  }
  if (auto speed = stores.speed.Get()) {
    c.templates = speed->settings;
    const auto& handle = speed->records[static_cast<int>(smt::settings::SpeedUse::Handle)];
    for (size_t i = 0; i < c.handleSpeed.size() && i < handle.size(); ++i)
      c.handleSpeed[i] = {handle[i].start, handle[i].normal};
  }
  smt::platform::SettingsSection feed(smt::platform::ConfigPath(appDir), "AutoFeedConfig");
  c.openLength = smt::settings::ReadConfigInt(feed, "m_Open_Length");
  c.closeLength = smt::settings::ReadConfigInt(feed, "m_Close_Length");
  return c;
}

bool JogAxisAccepted(int type, int axis) {
  if (type == 7 || type == 8) return axis == 0 || axis == 1 || (axis >= 32 && axis <= 47);
  return axis >= 0 && axis <= 14;
}

bool AxisButtonJog(int id, int type, int headGroup, int& axis, bool& positive) {
  const bool eight = type == 7 || type == 8;
  const bool second = type == 4 && headGroup == 2;
  // (id, axis on types 0..6, 9, 10, positive there, axis on types 7 and 8, positive there)
  struct Row { int id, axis, eightAxis; bool plus, eightPlus; };
  static constexpr Row kRows[] = {
      {1139, 0, 0, true, true},     {1138, 0, 0, false, false},   {1147, 1, 1, true, true},
      {1148, 1, 1, false, false},   {1145, 2, 32, true, true},    {1149, 2, 32, false, false},
      {1146, 2, 33, false, true},   {1150, 2, 33, true, false},   {1154, 3, 34, true, true},
      {1155, 3, 34, false, false},  {1157, 3, 35, false, true},   {1158, 3, 35, true, false},
      {1160, 10, 36, true, true},   {1161, 10, 36, false, false}, {1162, 10, 37, false, true},
      {1163, 10, 37, true, false},  {1164, 38, 38, true, true},   {1166, 38, 38, false, false},
      {1165, 39, 39, true, true},   {1167, 39, 39, false, false}, {1022, 4, 40, true, true},
      {1151, 4, 40, false, false},  {1152, 5, 41, true, true},    {1153, 5, 41, false, false},
      {1023, 6, 42, true, true},    {1156, 6, 42, false, false},  {1024, 7, 43, true, true},
      {1159, 7, 43, false, false},  {1025, 44, 44, true, true},   {1168, 44, 44, false, false},
      {1026, 45, 45, true, true},   {1169, 45, 45, false, false}, {1027, 46, 46, true, true},
      {1171, 46, 46, false, false}, {1028, 47, 47, true, true},   {1170, 47, 47, false, false},
      {1233, 14, 14, true, true},   {1232, 14, 14, false, false},
  };
  for (const Row& r : kRows) {
    if (r.id != id) continue;
    axis = eight ? r.eightAxis : r.axis;
    positive = eight ? r.eightPlus : r.plus;
    if (second && axis == 0) axis = 9;
    else if (second && axis == 1) axis = 12;
    return true;
  }
  return false;
}


JogPositions JogPositions::Of(const smt::Machine& machine) {
  JogPositions p;
  p.x = machine.curX;
  p.y = machine.curY;
  for (int i = 0; i < 8; ++i) p.z[i] = machine.curZ[i];
  p.axis8 = machine.motion.curAxis8;
  p.axis9 = machine.motion.curAxis9;
  p.axis10 = machine.motion.curAxis10;
  p.platform = {machine.motion.curPlatform[0].load(), machine.motion.curPlatform[1].load()};
  return p;
}

int JogRepetitions(int axis, int32_t steps, int type, int headGroup, bool liftOnce, const JogContext& c,
                   const JogPositions& p) {
  if (steps == 0) return 0;
  const int64_t s = steps;
  const bool plus = steps > 0;
  const bool second = type == 4 && headGroup == 2;
  auto down = [&](int64_t pos) { return static_cast<int>(-(pos / s)); };
  auto up = [&](int64_t limit, int64_t pos) { return static_cast<int>((limit - pos) / s); };
  switch (axis) {
    case 0: return plus ? up(c.xLimit, p.x) : down(p.x);
    case 1: return plus ? down(p.y) : up(c.yLimit, p.y);
    case 2: return static_cast<int>(std::llabs((c.zLimit - static_cast<int64_t>(plus ? p.z[0] : p.z[1])) / s));
    case 3: return static_cast<int>(std::llabs((c.zLimit - static_cast<int64_t>(plus ? p.z[2] : p.z[3])) / s));
    case 8: return plus ? down(p.axis8) : up(c.westLimit, p.axis8);
    case 9:
      if (type == 4) return second ? (plus ? up(c.xLimit, p.platform[0]) : down(p.platform[0])) : 0;
      return plus ? up(c.northLimit, p.axis9) : down(p.axis9);
    case 10:
      if (type == 4 || type == 6) return plus ? down(p.z[4]) : up(c.zLimit, p.z[5]);
      return plus ? down(p.axis10) : up(c.eastLimit, p.axis10);
    case 11: case 13: return liftOnce ? 1 : 1000;
    case 12:
      if (second) return plus ? down(p.platform[1]) : up(c.yLimit, p.platform[1]);
      return liftOnce ? 1 : 1000;
    default:
      if (axis >= 32 && axis <= 39) return plus ? down(p.z[axis - 32]) : up(c.zLimit, p.z[axis - 32]);
      return type == 9 ? 1 : 1000;
  }
}

FeederPadAction FeederPadJog(int id, int side, bool release, const JogContext& c) {
  FeederPadAction a;
  auto lift = [&](int axis, bool positive, bool open, double pulse) {
    a.any = true;
    a.axis = axis;
    a.positive = positive;
    a.repeat = false;
    a.useSteps = true;
    a.steps = static_cast<int32_t>(std::trunc((open ? c.openLength : c.closeLength) * pulse));
  };
  auto walk = [&](int output, int axis, bool positive) {
    a.any = true;
    a.outputOff = output;
    a.axis = axis;
    a.positive = positive;
  };
  switch (side) {
    case 0:  // east
      switch (id) {
        case 1227: lift(13, true, false, c.eastLiftPulse); break;
        case 1228: lift(13, false, true, c.eastLiftPulse); break;
        case 1229: walk(7, 10, true); break;
        case 1230: walk(7, 10, false); break;
        case 1231:
          lift(13, release, !release, c.eastLiftPulse);
          if (release) a.outputOff = 7;
          break;
        default: break;
      }
      break;
    case 2:  // west
      switch (id) {
        case 1227: lift(11, false, true, c.westLiftPulse); break;
        case 1228: lift(11, true, false, c.westLiftPulse); break;
        case 1229: walk(5, 8, true); break;
        case 1230: walk(5, 8, false); break;
        case 1231:
          lift(11, release, !release, c.westLiftPulse);
          if (release) a.outputOff = 5;
          break;
        default: break;
      }
      break;
    case 3:  // north
      switch (id) {
        case 1227: walk(6, 9, true); break;
        case 1228: walk(6, 9, false); break;
        case 1229: lift(12, true, false, c.northLiftPulse); break;
        case 1230: lift(12, false, true, c.northLiftPulse); break;
        case 1231:
          lift(12, release, !release, c.northLiftPulse);
          if (release) a.outputOff = 6;
          break;
        default: break;
      }
      break;
    default: break;  // south and unknown sides do nothing
  }
  return a;
}


JogRunner::~JogRunner() {
  m_bJogRelease = true;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(70);
  while (workers_.load() > 0 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void JogRunner::SetContext(const JogContext& c) {
  std::lock_guard lk(m_);
  context_ = c;
}

JogContext JogRunner::Context() const {
  std::lock_guard lk(m_);
  return context_;
}

JogSteps JogRunner::Steps() const {
  std::lock_guard lk(m_);
  return steps_;
}

void JogRunner::SetSteps(const JogSteps& s) {
  {
    std::lock_guard lk(m_);
    steps_ = s;
  }
  StepsChanged();
}

void JogRunner::StepsChanged() {
  if (onStepsChanged) onStepsChanged();
}

bool JogRunner::Jog(int axis, bool positive, bool repeat, bool useSteps, int steps) {
  nothing_ = NothingToMove::None;
  if (!machine_.connected) {
    // A jog on a lost link says so (without holding up a key report's thread).
    NotifyOperator(kNotConnected);
    return false;
  }
  const int type = machine_.machineType;
  if (!JogAxisAccepted(type, axis)) return false;
  // The busy state is the guard against two jogs at once: claimed here,
  // released by the worker (or below when no worker starts).
  if (!machine_.TryClaimBusy()) {
    nothing_ = NothingToMove::Busy;
    return false;
  }
  const int headGroup = m_nHeadGroup;
  const bool second = type == 4 && headGroup == 2;
  const JogPositions pos = JogPositions::Of(machine_);

  JogPlan plan;
  bool displayChanged = false;
  {
    std::lock_guard lk(m_);
    if ((axis == 0 || axis == 1) && type != 9) {
      bool headDown = false;
      for (int32_t z : pos.z) headDown = headDown || z != 0;
      if (headDown) {
        // A lowered head limits the XY jog to the slow or fine step.
        if (steps_.m_XY_RunSteps != context_.templates.m_XY_RunSlow &&
            steps_.m_XY_RunSteps != context_.templates.m_XY_RunFine)
          steps_.m_XY_RunSteps = context_.templates.m_XY_RunSlow;
        displayChanged = true;
      }
    }
    if (type == 9 && axis == 2 && positive && pos.z[0] >= 0) {
      machine_.ReleaseBusy();
      return false;
    }
    const int step = useSteps ? std::abs(steps) : StepOf(axis, second, steps_);
    bool plus = positive;
    if (axis == 2 || axis == 3) plus = !plus;
    plan.axis = axis;
    plan.steps = plus ? step : -step;
    const auto& pair = context_.handleSpeed[SpeedIndex(axis, second)];
    plan.startSpeed = pair[0];
    plan.runSpeed = pair[1];
    plan.repetitions = JogRepetitions(axis, plan.steps, type, headGroup, m_bLiftOnce, context_, pos);
  }
  if (displayChanged) StepsChanged();
  if (!repeat && plan.repetitions > 1) plan.repetitions = 1;
  if (plan.steps == 0 || plan.repetitions < 1) {
    nothing_ = plan.steps == 0 ? NothingToMove::ZeroStep : NothingToMove::AtLimit;
    machine_.ReleaseBusy();
    return false;
  }
  // A release that comes before the worker's first step still ends the jog
  // after that step: the flag is cleared here, not in the worker.
  m_bJogRelease = false;
  m_bJogRepeat = repeat;
  m_bJogRunning = true;
  ++workers_;
  const bool started = smt::platform::WorkerThreads::Instance().Start("Jog", [this, plan](std::stop_token st) {
    smt::BusyRelease busy(machine_);
    struct Done {
      JogRunner* r;
      ~Done() {
        r->m_bJogRunning = false;
        --r->workers_;
      }
    } done{this};
    int n = plan.repetitions;
    while (n > 0) {
      if (!PauseFor(m_StepPause, st)) break;
      const bool moved = SendCmd61MoveAxis(machine_, static_cast<uint8_t>(plan.axis), plan.steps, plan.startSpeed,
                                           plan.runSpeed);
      if (m_bJogRelease) break;
      // A refused or failed step ends the held jog: one message, not one per
      // repetition.
      if (!moved) break;
      --n;
    }
  });
  if (!started) {
    --workers_;
    m_bJogRunning = false;
    machine_.ReleaseBusy();
  }
  return started;
}

bool JogRunner::JogByKey(int key) {
  const bool second = machine_.machineType == 4 && m_nHeadGroup == 2;
  switch (key) {
    case 1: return Jog(second ? 9 : 0, true, true, false, 0);
    case 2: return Jog(second ? 9 : 0, false, true, false, 0);
    case 3: return Jog(second ? 12 : 1, true, true, false, 0);
    case 4: return Jog(second ? 12 : 1, false, true, false, 0);
    default: return false;
  }
}

int JogRunner::NextSpeedGear() {
  int gear = 0;
  bool changed = false;
  {
    std::lock_guard lk(m_);
    if (debounce_.TakeArmed()) {
      steps_.m_SpeedGears = FollowingGear(steps_.m_SpeedGears);
      ApplyGear(steps_, steps_.m_SpeedGears, context_.templates);
      changed = true;
    }
    gear = steps_.m_SpeedGears;
  }
  RuntimeOf(machine_).speedGear = gear;
  if (changed) StepsChanged();
  if (machine_.connected) SendCmd60SetState(machine_, 5, gear);
  else NotifyOperator(kNotConnected);
  return gear;
}

bool JogRunner::StepMenuCommand(int command) {
  bool handled = false;
  {
    std::lock_guard lk(m_);
    handled = ApplyStepMenuCommand(steps_, command, context_.templates);
  }
  if (handled) StepsChanged();
  return handled;
}

bool JogRunner::FeederPadPress(int id) {
  const FeederPadAction a = FeederPadJog(id, m_Feed_Direction, false, Context());
  if (!a.any) return false;
  if (id == 1231) {
    m_bLiftOnce = true;
    RuntimeOf(machine_).feederButtonHeld = true;
  } else if (a.useSteps) {
    m_bLiftOnce = false;
    RuntimeOf(machine_).feederButtonHeld = false;
  }
  if (a.outputOff != 0 && machine_.connected && !machine_.machineBusy) SendOutputDirect(machine_, a.outputOff, 0, 5);
  return Jog(a.axis, a.positive, a.repeat, a.useSteps, a.steps);
}

bool JogRunner::FeederButtonRelease() {
  ++workers_;
  const bool started = smt::platform::WorkerThreads::Instance().Start("FeederButtonRelease", [this](std::stop_token st) {
    struct Done {
      std::atomic<int>& n;
      ~Done() { --n; }
    } done{workers_};
    if (!machine_.connected) {
      NotifyOperator(kNotConnected);
      return;
    }
    // The press's jog ends first; the wait is bounded.
    const auto end = std::chrono::steady_clock::now() + m_ReleaseWaitLimit;
    while (machine_.machineBusy) {
      if (st.stop_requested()) return;
      if (std::chrono::steady_clock::now() >= end) {
        CLogFile::Instance().Write(true, "jog: the feeder stays open, the machine stayed busy");
        RuntimeOf(machine_).feederButtonHeld = false;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    RuntimeOf(machine_).feederButtonHeld = false;
    const FeederPadAction a = FeederPadJog(1231, m_Feed_Direction, true, Context());
    if (!a.any) return;
    if (a.outputOff != 0) SendOutputDirect(machine_, a.outputOff, 0, 5);
    Jog(a.axis, a.positive, a.repeat, a.useSteps, a.steps);
  });
  if (!started) --workers_;
  return started;
}

}  // namespace smt::link
