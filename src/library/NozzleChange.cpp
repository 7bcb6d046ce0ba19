#include "library/NozzleChange.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "core/LogFile.h"
#include "core/Machine.h"
#include "core/MachineState.h"
#include "library/LibraryRows.h"
#include "library/NozzleLibrary.h"
#include "library/NozzleStrategy.h"
#include "link/Link.h"
#include "link/LinkBytes.h"
#include "link/LinkGlobals.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "settings/SettingsStores.h"

namespace smt::library {

namespace {

// The listener the shell installed on the machine.
struct InstalledListener {
  std::mutex mutex;
  NozzleStateListener listener;
};
InstalledListener& ListenerOf(smt::Machine& machine) { return machine.Part<InstalledListener>(); }
InstalledListener& Listener() { return ListenerOf(smt::CurrentMachine()); }

void Notify(int head, int seat, bool taken) {
  NozzleStateListener l;
  {
    std::lock_guard lk(Listener().mutex);
    l = Listener().listener;
  }
  if (l) l(head, seat, taken);
}

smt::settings::SpeedRecord NozzleSpeeds() {
  return smt::settings::SettingsStores::Of(smt::CurrentMachine()).speed.Record(smt::settings::SpeedUse::AutoNozzle);
}

// Waits `ms` (at most 10 s) in short slices.
void Delay(int ms) {
  ms = std::clamp(ms, 0, 10000);
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

struct HeadOffset {
  int32_t x = 0, y = 0;
};
HeadOffset OffsetOfHead(int head) {
  if (head < 2 || head > 8) return {};
  const auto geo = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Geometry();
  return {geo->table.nNozzleToNozzle1X[head], geo->table.nNozzleToNozzle1Y[head]};
}

// The seat and the in/out position (the entrance) of a seat for a head. A
// fork library slides the nozzle between the two; a clamp library (the
// 19-seat magazine) lowers the head at the entrance with the clamp open.
struct SeatPath {
  int32_t seatX, seatY, outX, outY;
  bool slides;  // fork library with the entrance elsewhere than the seat
};
SeatPath PathOf(const NozzleSeatRecord& r, int head, bool clamp) {
  const HeadOffset o = OffsetOfHead(head);
  SeatPath p{r.nX - o.x, r.nY - o.y, r.nEntranceX - o.x, r.nEntranceY - o.y, false};
  p.slides = !clamp && (p.outX != p.seatX || p.outY != p.seatY);
  return p;
}

// The library exit: with m_InAndOutExtern on, the head leaves (and comes
// back) along Y by m_Distance beyond the in/out position. 0 when off.
int32_t ExitOffset() {
  const NozzleListSettings s = TheNozzleLibrary().Settings();
  if (!s.m_InAndOutExtern) return 0;
  const double yPulse = smt::settings::SettingsStores::Of(smt::CurrentMachine()).machine.Pulse()->m_Y_Pulse;
  return ToSteps(s.m_Distance, yPulse);
}

bool Gate(bool wait) { return !wait || PassPauseGate(); }

}  // namespace

int HeadsOfMachineType(int machineType) {
  switch (machineType) {
    case 0: case 1: return 1;
    case 2: case 5: case 10: return 2;
    case 3: case 4: case 6: return 4;
    case 7: case 8: return 8;
    default: return 0;
  }
}

std::optional<ZMove> ZMoveToHeight(int machineType, int head, int32_t targetZ, int32_t currentZ) {
  if (machineType == 7 || machineType == 8) {
    if (head < 1 || head > 8) return std::nullopt;
    return ZMove{static_cast<uint8_t>(31 + head), targetZ - currentZ, false};
  }
  if (machineType == 9 || machineType < 0 || machineType > 10) return std::nullopt;
  switch (head) {
    case 1: return ZMove{2, currentZ - targetZ, false};
    case 2: return ZMove{2, targetZ - currentZ, false};
    case 3: return ZMove{3, currentZ - targetZ, true};
    case 4: return ZMove{3, targetZ - currentZ, true};
    default: return std::nullopt;
  }
}

bool MoveHeadZ(int machineType, int head, int32_t targetZ, const smt::settings::SpeedRecord& speeds) {
  if (head < 1 || head > 8) return false;
  const auto m = ZMoveToHeight(machineType, head, targetZ, smt::CurrentMachine().curZ[head - 1].load());
  if (!m || m->steps == 0) return true;
  const auto& pair = m->useZ2Speed ? speeds[3] : speeds[2];
  return smt::link::SendCmd61MoveAxis(smt::CurrentMachine(), m->axis, m->steps, pair.start, pair.normal);
}

bool MoveXYTo(int32_t x, int32_t y, const smt::settings::SpeedRecord& speeds, uint8_t mode) {
  smt::CurrentMachine().motion.targetX = x;
  smt::CurrentMachine().motion.targetY = y;
  if (smt::link::RuntimeOf(smt::CurrentMachine()).UsesSerial()) smt::link::SendCmd60SetState(smt::CurrentMachine(), 0, 0);
  return smt::link::SendCmd64MoveXY(smt::CurrentMachine(), x - smt::CurrentMachine().curX.load(), speeds[0].start, speeds[0].normal, y - smt::CurrentMachine().curY.load(),
                                    speeds[1].start, speeds[1].normal, 0, 0, 0, 0, mode);
}

std::array<uint8_t, 11> OutputFrame(uint8_t output, uint8_t state) {
  const uint8_t sum = static_cast<uint8_t>(0x00 + 0x04 + 0x03 + output + state);
  return {0xEE, 0x00, 0x04, 0x03, output, state, sum, 0xFF, 0xFC, 0xFF, 0xFF};
}

bool SetMagazineCover(int state) {
  // Output 7 directly, without the command trace and the pump buttons.
  const uint8_t s = state ? 1 : 0;
  smt::link::Link* link = smt::link::RuntimeOf(smt::CurrentMachine()).ActiveLink();
  if (!link) return false;
  if (link->Form() == smt::link::LinkForm::Serial) return link->SendFrame(0x03, {7, s});
  return link->SendFrame(0x03, smt::link::ByteWriter().U8(7).U8(s).U16(5).Take());
}

bool PassPauseGate() {
  // A pause lasts as long as the operator wants; a stop or the program's
  // shut-down ends the wait.
  while (!smt::CurrentMachine().run.pauseEvent.Wait(std::chrono::milliseconds(100))) {
    if (!smt::CurrentMachine().runContinue || smt::platform::WorkerThreads::Instance().ShuttingDown()) return false;
  }
  return smt::CurrentMachine().runContinue.load();
}

bool ReturnNozzleToLibrary(int head, bool waitPauseGate, bool showState) {
  if (head < 1 || head > kHeadCount) {
    smt::platform::ShowMessage(kHeaderError);
    return false;
  }
  const int nozzle = smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[head - 1].load();
  if (nozzle == 0) return true;
  const int seat = nozzle - 1;
  if (seat < 0 || seat >= kSeatCount) {
    // A held number without a seat cannot be put anywhere.
    smt::platform::ShowMessage(kHeaderOrNozzleError);
    return false;
  }
  if (smt::CurrentMachine().Part<smt::library::NozzleState>().seats.HasNozzle(seat)) {
    smt::platform::ShowMessage(kLibraryHasNozzle);
    return false;
  }
  const int type = smt::CurrentMachine().machineType.load();
  if (head > HeadsOfMachineType(type)) {
    smt::platform::ShowMessage(kSmtHeaderError);
    return false;
  }
  const bool clamp = CurrentNozzleStrategy().m_19NozzleLibrary != 0;
  const NozzleSeatRecord r = smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(seat);
  const SeatPath p = PathOf(r, head, clamp);
  const auto speeds = NozzleSpeeds();
  const int delay = TheNozzleLibrary().Settings().m_Delay;
  const int32_t exit = ExitOffset();

  // A stopped or paused run moves nothing.
  if (!Gate(waitPauseGate)) return false;
  // Come in along the library exit first.
  if (exit != 0 && (!MoveXYTo(p.outX, p.outY + exit, speeds, 0x80) || !Gate(waitPauseGate))) return false;
  if (clamp) {
    if (!SetMagazineCover(1)) return false;
    Delay(delay);
  }
  Delay(200);
  if (!MoveXYTo(p.outX, p.outY, speeds, 0x80) || !Gate(waitPauseGate)) return false;
  if (!MoveHeadZ(type, head, r.nEntranceZHead[head - 1], speeds) || !Gate(waitPauseGate)) return false;
  if (p.slides && !MoveXYTo(p.seatX, p.seatY, speeds, 0)) return false;
  // The clamp closes on the nozzle before the head lifts away from it.
  if (clamp) {
    if (!SetMagazineCover(0)) return false;
    Delay(delay);
  }
  smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[head - 1] = 0;
  smt::CurrentMachine().Part<smt::library::NozzleState>().seats.SetHasNozzle(seat, true);
  if (showState) Notify(head, seat, false);
  if (!Gate(waitPauseGate)) return false;
  if (!MoveHeadZ(type, head, 0, speeds) || !Gate(waitPauseGate)) return false;
  if (p.slides && (!MoveXYTo(p.outX, p.outY, speeds, 0x80) || !Gate(waitPauseGate))) return false;
  return true;
}

bool PickNozzleFromLibrary(int head, int nozzle, bool waitPauseGate, bool showState) {
  if (head < 1 || nozzle < 1 || head > kHeadCount || nozzle > kSeatCount) {
    smt::platform::ShowMessage(kHeaderOrNozzleError);
    return false;
  }
  const int type = smt::CurrentMachine().machineType.load();
  if (head > HeadsOfMachineType(type)) {
    smt::platform::ShowMessage(kSmtHeaderError);
    return false;
  }
  if (smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[head - 1] != 0 && !ReturnNozzleToLibrary(head, waitPauseGate, showState)) return false;
  const int seat = nozzle - 1;
  if (!smt::CurrentMachine().Part<smt::library::NozzleState>().seats.HasNozzle(seat)) {
    int holder = 0;
    for (int k = 1; k <= kHeadCount && !holder; ++k)
      if (k != head && smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[k - 1] == nozzle) holder = k;
    if (!holder) {
      smt::platform::ShowMessage(kLibraryHasNoNozzle);
      return false;
    }
    if (!ReturnNozzleToLibrary(holder, waitPauseGate, false)) return false;
  }
  const bool clamp = CurrentNozzleStrategy().m_19NozzleLibrary != 0;
  const NozzleSeatRecord r = smt::CurrentMachine().Part<smt::library::NozzleState>().seats.Get(seat);
  const SeatPath p = PathOf(r, head, clamp);
  const auto speeds = NozzleSpeeds();
  const int delay = TheNozzleLibrary().Settings().m_Delay;
  const int32_t exit = ExitOffset();

  if (!Gate(waitPauseGate)) return false;
  if (!MoveXYTo(p.outX, p.outY, speeds, 0x80) || !Gate(waitPauseGate)) return false;
  if (p.slides && (!MoveXYTo(p.seatX, p.seatY, speeds, 0x80) || !Gate(waitPauseGate))) return false;
  if (clamp) {
    if (!SetMagazineCover(1)) return false;
    Delay(delay);
  }
  if (!MoveHeadZ(type, head, r.nEntranceZHead[head - 1], speeds) || !Gate(waitPauseGate)) return false;
  if (p.slides && !MoveXYTo(p.outX, p.outY, speeds, 0)) return false;
  // Held from the moment the head has left the seat.
  smt::CurrentMachine().Part<smt::library::NozzleState>().headNozzle[head - 1] = nozzle;
  smt::CurrentMachine().Part<smt::library::NozzleState>().seats.SetHasNozzle(seat, false);
  if (showState) Notify(head, seat, true);
  if (!Gate(waitPauseGate)) return false;
  if (!MoveHeadZ(type, head, 0, speeds)) return false;
  if (clamp) {
    if (!SetMagazineCover(0)) return false;
    Delay(delay);
  }
  if (!Gate(waitPauseGate)) return false;
  if (exit != 0) {
    if (!MoveXYTo(smt::CurrentMachine().curX.load(), smt::CurrentMachine().curY.load() + exit, speeds, 0x80) || !Gate(waitPauseGate)) return false;
  }
  return true;
}


void SetNozzleStateListener(smt::Machine& machine, NozzleStateListener listener) {
  InstalledListener& l = ListenerOf(machine);
  std::lock_guard lk(l.mutex);
  l.listener = std::move(listener);
}

}  // namespace smt::library
