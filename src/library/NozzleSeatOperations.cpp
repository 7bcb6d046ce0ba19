#include "library/NozzleSeatOperations.h"

#include <chrono>
#include <algorithm>
#include <optional>
#include <thread>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "library/LibraryRows.h"
#include "library/NozzleChange.h"
#include "library/NozzleStrategy.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/MachineGuards.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "settings/SettingsStores.h"

namespace smt::library {

namespace {

smt::settings::SpeedRecord NozzleSpeeds() {
  return smt::settings::SettingsStores::Of(smt::CurrentMachine()).speed.Record(smt::settings::SpeedUse::AutoNozzle);
}

// A seat row's values as read; a row whose numbers did not read moves
// nothing (its problem is named in the log).
const NozzleRecord* SeatOf(const NozzleListRow& row) {
  if (!row.record) {
    CLogFile::Instance().Write(true, "nozzle seat not used: %s", row.problem.c_str());
    return nullptr;
  }
  return &*row.record;
}

}  // namespace

bool MoveToSeat(int mode, int selectedHead, const NozzleListRow& row,
                const std::function<void()>& switchToMarkCamera) {
  auto& store = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine;
  const auto pulse = store.Pulse();
  const auto geo = store.Geometry();
  int32_t x = 0, y = 0;
  const NozzleRecord* const seat = SeatOf(row);
  if (!seat) return false;
  if (mode == 0) {
    if (smt::CurrentMachine().camera.channelVisionMode.load() != 0 && switchToMarkCamera) switchToMarkCamera();
    x = ToSteps(seat->x, pulse->m_X_Pulse) - geo->table.nCameraToNozzle1X;
    y = ToSteps(seat->y, pulse->m_Y_Pulse) - geo->table.nCameraToNozzle1Y;
  } else if (mode == 1 || mode == 2) {
    x = ToSteps(mode == 1 ? seat->x : seat->entranceX, pulse->m_X_Pulse);
    y = ToSteps(mode == 1 ? seat->y : seat->entranceY, pulse->m_Y_Pulse);
    if (selectedHead >= 1 && selectedHead <= 7) {
      x -= geo->table.nNozzleToNozzle1X[selectedHead + 1];
      y -= geo->table.nNozzleToNozzle1Y[selectedHead + 1];
    } else if (selectedHead != 0) {
      return false;
    }
  } else {
    return false;
  }
  return MoveXYTo(x, y, NozzleSpeeds());
}

bool LowerToSeatHeight(int selectedHead, const NozzleListRow& row, bool nineteenSeat, int delayMs) {
  auto& store = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine;
  const double zp = store.Pulse()->m_Z_Pulse;
  const auto b = store.Basic();
  const double h[8] = {b->m_Z_Nozzle1ToFeed, b->m_Z_Nozzle2ToFeed, b->m_Z_Nozzle3ToFeed, b->m_Z_Nozzle4ToFeed,
                       b->m_Z_Nozzle5ToFeed, b->m_Z_Nozzle6ToFeed, b->m_Z_Nozzle7ToFeed, b->m_Z_Nozzle8ToFeed};
  const int type = smt::CurrentMachine().machineType.load();
  const int head = selectedHead + 1;
  std::optional<ZMove> move;
  if (head >= 1 && head <= 8) {
    const NozzleRecord* const seat = SeatOf(row);
    if (!seat) return false;
    const int32_t t = ToSteps(seat->entranceZ, zp);
    const int32_t d = head == 1 ? 0 : ToSteps(h[head - 1] - h[0], zp);
    move = ZMoveToHeight(type, head, t + d, smt::CurrentMachine().curZ[head - 1].load());
  }
  if (!move && type != 9) return false;  // a head this machine does not have
  if (nineteenSeat) {
    if (!SetMagazineCover(1)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp(delayMs, 0, 10000)));
  }
  if (!move) return type == 9;
  const auto speeds = NozzleSpeeds();
  const auto& pair = move->useZ2Speed ? speeds[3] : speeds[2];
  return smt::link::SendCmd61MoveAxis(smt::CurrentMachine(), move->axis, move->steps, pair.start, pair.normal);
}

void RunNozzleOperation(const NozzleOpRequest& request, const NozzleOpCallbacks& callbacks) {
  smt::BusyRelease release(smt::CurrentMachine());  // the caller claimed the busy state
  if (callbacks.enableDialog) callbacks.enableDialog(false);
  const NozzleStrategy strategy = CurrentNozzleStrategy();
  const int nozzle = request.selectedRow + 1;
  switch (request.op) {
    case 0: case 1: case 2:
      MoveToSeat(request.op, request.selectedHead, request.row, callbacks.switchToMarkCamera);
      break;
    case 3:
      LowerToSeatHeight(request.selectedHead, request.row, strategy.m_19NozzleLibrary != 0,
                        TheNozzleLibrary().Settings().m_Delay);
      break;
    case 4:
      PickNozzleFromLibrary(request.selectedHead + 1, nozzle, false, true);
      break;
    case 5:
      for (int k = 1; k <= kHeadCount; ++k) {
        if (smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[k - 1] == nozzle) {
          ReturnNozzleToLibrary(k, false, true);
          break;
        }
      }
      break;
    default:
      break;
  }
  if (callbacks.enableDialog) callbacks.enableDialog(true);
}

bool StartNozzleOperation(const NozzleOpRequest& request, NozzleOpCallbacks callbacks) {
  if (!smt::link::CheckMachineGuards(smt::CurrentMachine())) return false;
  if (!smt::TryClaimMachineBusy(smt::CurrentMachine())) {
    smt::platform::ShowMessage(smt::link::kRunning);
    return false;
  }
  const bool started = smt::platform::WorkerThreads::Instance().Start(
      "NozzleOpThreadProc", [request, callbacks](std::stop_token) { RunNozzleOperation(request, callbacks); });
  if (!started) smt::ReleaseMachineBusy(smt::CurrentMachine());
  return started;
}

bool SwitchMagazine(bool open) {
  if (!smt::link::CheckMachineGuards(smt::CurrentMachine())) return false;
  return SetMagazineCover(open ? 1 : 0);
}

}  // namespace smt::library
