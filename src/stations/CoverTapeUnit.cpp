#include "stations/CoverTapeUnit.h"

#include <chrono>
#include <thread>

#include "core/MachineState.h"
#include "link/MachineCommands.h"
#include "link/MachineGuards.h"
#include "link/MotionCommands.h"
#include "link/MotionSettings.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"

namespace smt::stations {

CoverTapeIo DefaultCoverTapeIo(smt::Machine& machine) {
  CoverTapeIo io;
  io.sleepMs = [](int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  };
  const auto m = smt::link::GetMotionSettings(machine);
  io.stepStart = std::max(1, m.resetSpeed[14].start);
  io.stepRun = std::max(1, m.resetSpeed[14].normal);
  return io;
}

namespace {
bool Pulse(smt::Machine& machine, int output, int ms, const CoverTapeIo& io) {
  if (!smt::link::SetOutput(machine, output, 1, 5)) return false;
  io.sleepMs(ms);
  return smt::link::SetOutput(machine, output, 0, 5);
}
}  // namespace

bool RunCoverTest(smt::Machine& machine, int test, const CoverTapeSettings& s, const CoverTapeIo& io) {
  switch (test) {
    case kCoverStep:
      return smt::link::SendCmd61MoveAxis(machine, 14, s.m_StepPulse, io.stepStart, io.stepRun);
    case kCoverTakeUp:
      return smt::link::SendCmd61MoveAxis(machine, 15, s.m_StepPulse, io.stepStart, io.stepRun);
    case kCoverBlank:
      return smt::link::SendCmd61MoveAxis(machine, 14, s.m_BlankTotal * s.m_StepPulse, 1, 1);
    case kCoverSeal:
      return Pulse(machine, 8, s.m_CoverDelay, io);
    case kCoverBlankSeal: {
      if (s.m_BlankTotal < s.m_CoverOnceTotal) return true;
      int left = s.m_BlankTotal;
      const int32_t half = (s.m_StepPulse / 2) * s.m_CoverOnceTotal;
      do {
        for (int i = 0; i < 2; ++i) {
          if (!smt::link::SendCmd61MoveAxis(machine, 14, half, 1, 2)) return false;
          io.sleepMs(100);
        }
        if (!Pulse(machine, 8, s.m_CoverDelay, io)) return false;
        io.sleepMs(100);
        left -= s.m_CoverOnceTotal;
      } while (left >= 0);
      return true;
    }
    case kCoverLocate:
      return Pulse(machine, 9, s.m_CoverDelay, io);
    default:
      return true;
  }
}

bool StartCoverTest(smt::Machine& machine, int test, const CoverTapeSettings& s, CoverTapeIo io) {
  if (!smt::link::CheckMachineGuards(machine, true, true)) return false;
  if (!smt::TryClaimMachineBusy(machine)) {
    smt::platform::ShowMessage(smt::link::kRunning);
    return false;
  }
  const bool started = smt::platform::WorkerThreads::Instance().Start("CoverTapeTest", [&machine, test, s, io](std::stop_token) {
    smt::BusyRelease release(machine);
    if (io.enableDialog) io.enableDialog(false);
    io.sleepMs(100);
    RunCoverTest(machine, test, s, io);
    if (io.enableDialog) io.enableDialog(true);
  });
  if (!started) smt::ReleaseMachineBusy(machine);
  return started;
}

}  // namespace smt::stations
