#include "link/ManualMarkOffsets.h"

#include <mutex>

#include "core/Machine.h"
#include "core/MachineState.h"
#include "link/MachineGuards.h"
#include "platform/DecimalRounding.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "settings/SettingsStores.h"

namespace smt::link {
namespace {
struct ManualMarkPorts {
  smt::platform::Port<ManualMarkOwners> owners{"ManualMarkOwners"};
};
}  // namespace

smt::platform::Port<ManualMarkOwners>& ManualMarkPortOf(smt::Machine& machine) { return machine.Part<ManualMarkPorts>().owners; }

double CameraPositionMm(double pulse, double cameraToNozzle1, double origin, int32_t current) {
  if (pulse == 0) return 0;
  const int a = static_cast<int>(pulse * cameraToNozzle1);
  const int b = static_cast<int>(pulse * origin);
  return (static_cast<double>(a) - b + current) / pulse;
}

double RoundTo4(double v) { return smt::platform::RoundDecimals(v, 4); }

MarkCameraGeometry CurrentMarkCameraGeometry(smt::Machine& machine) {
  MarkCameraGeometry g;
  auto& stores = smt::settings::SettingsStores::Of(machine);
  if (auto p = stores.machine.Pulse()) {
    g.xPulse = p->m_X_Pulse;
    g.yPulse = p->m_Y_Pulse;
  }
  if (auto b = stores.machine.Basic()) {
    g.xCameraToNozzle1 = b->m_X_CameraToNozzle1;
    g.yCameraToNozzle1 = b->m_Y_CameraToNozzle1;
  }
  return g;
}

bool TakeMarkOffset(smt::Machine& machine, int mark, const std::string& refusal, const MarkCameraGeometry& g) {
  ManualMarkOwners& r = *ManualMarkPortOf(machine);
  MarkBoard board;
  if (!r.CurrentBoard(board)) {
    smt::platform::ShowMessage(refusal);
    return false;
  }
  const double x = CameraPositionMm(g.xPulse, g.xCameraToNozzle1, board.originX, machine.curX);
  const double y = CameraPositionMm(g.yPulse, g.yCameraToNozzle1, board.originY, machine.curY);
  MarkOffsetValues v = r.Offsets();
  double& ox = mark == 1 ? v.m_dMark1OffsetX : v.m_dMark2OffsetX;
  double& oy = mark == 1 ? v.m_dMark1OffsetY : v.m_dMark2OffsetY;
  const double dx = x - (mark == 1 ? board.mark1X : board.mark2X);
  if (!OffsetInRange(dx)) {
    smt::platform::ShowMessage(refusal);
    return false;
  }
  // A valid X offset stays even when Y is then refused.
  ox = RoundTo4(dx);
  const double dy = y - (mark == 1 ? board.mark1Y : board.mark2Y);
  if (!OffsetInRange(dy)) {
    r.StoreOffsets(v);
    smt::platform::ShowMessage(refusal);
    return false;
  }
  oy = RoundTo4(dy);
  v.m_bManualMarkOffset = 1;
  if (mark == 1) v.m_dMark2OffsetX = v.m_dMark2OffsetY = 0;
  r.StoreOffsets(v);
  r.ConvertPointToSteps(v.m_dMark1OffsetX, v.m_dMark1OffsetY, v.m_dMark2OffsetX, v.m_dMark2OffsetY);
  return true;
}

void ResetMarkOffsets(smt::Machine& machine) {
  ManualMarkPortOf(machine)->StoreOffsets(MarkOffsetValues{});
}

bool StartMarkToMark(smt::Machine& machine, const std::function<void(int, const std::string&)>& setInfo) {
  ManualMarkOwners& r = *ManualMarkPortOf(machine);
  if (r.PartRowCount() <= 0) {
    smt::platform::ShowMessage(r.EmptyListText());
    return false;
  }
  if (r.SmtThreadBusy()) {
    setInfo(1, "Smt thread is busy !");
    return false;
  }
  if (r.FeedThreadBusy()) {
    setInfo(1, "Feed thread is busy !");
    return false;
  }
  if (r.ConveyorThreadBusy()) {
    setInfo(2, "Conveyor thread is busy !");
    return false;
  }
  if (!CheckMachineGuards(machine, true, true)) return false;
  MarkBoard board;
  if (!r.CurrentBoard(board)) return false;
  if (!machine.TryClaimBusy()) {
    smt::platform::ShowMessage(kRunning);
    return false;
  }
  const bool started = smt::platform::WorkerThreads::Instance().Start("MarkToMark", [&r, board, &machine](std::stop_token) {
    smt::BusyRelease busy(machine);
    r.SetAlignmentBase(board);
    smt::platform::RunOnGui([&r] { r.OpenMarkCamera(); });
    r.AlignBoardMarks();
  });
  if (!started) machine.ReleaseBusy();
  return started;
}

// The forms for the machine in use.

}  // namespace smt::link
