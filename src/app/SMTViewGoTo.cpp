// The main view's go-to commands: move a chosen tool over a chosen point.
#include <optional>

#include "app/CommandIds.h"
#include "app/GoToMoves.h"
#include "library/LibraryLists.h"
#include "app/ViewFrame.h"
#include "app/SMTView.h"
#include "core/MachineState.h"
#include "job/CDialogPCBEdit.h"
#include "job/CDialogPartList.h"
#include "job/PcbRecord.h"
#include "link/LinkRuntime.h"
#include "link/MachineGuards.h"
#include "link/MachineHoming.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "settings/SettingsStores.h"
#include "vision/CDialogSetView.h"
#include "vision/MarkAlign.h"
#include "vision/TemplateOrigin.h"

using namespace smt::app;
using smt::settings::SettingsStores;

struct CSMTView::GoToInputs {
  std::shared_ptr<const smt::settings::BasicSettings> basic;
  std::shared_ptr<const smt::settings::PulseSettings> pulse;
  std::shared_ptr<const smt::settings::PulseGeometry> geometry;
  std::optional<smt::job::PcbRecord> shownPcb, currentBoard;
  std::vector<smt::vision::CameraRow> cameraRows;
  int machineType = 0;
  int platform = 1;
  std::string cameraName1, cameraName2;

  GoToContext Context() const {
    GoToContext c{*basic, *pulse, geometry->table};
    c.machineType = machineType;
    c.platform = platform;
    c.shownPcb = shownPcb ? &*shownPcb : nullptr;
    c.currentBoard = currentBoard ? &*currentBoard : nullptr;
    c.cameraRows = &cameraRows;
    c.cameraName1 = cameraName1;
    c.cameraName2 = cameraName2;
    return c;
  }
};

std::unique_ptr<CSMTView::GoToInputs> CSMTView::ReadGoToInputs() const {
  auto in = std::make_unique<GoToInputs>();
  auto& store = SettingsStores::Of(machine()).machine;
  in->basic = store.Basic();
  in->pulse = store.Pulse();
  in->geometry = store.Geometry();
  in->machineType = machine().machineType.load();
  in->platform = headGroup ? headGroup() : 1;
  in->cameraName1 = m_strMessage.cameraName1;
  in->cameraName2 = m_strMessage.cameraName2;
  return in;
}

namespace {

// Which family and nozzle a go-to command is.
enum class Family { None, Throw, CameraToPcb, NozzleToPcb, NozzleToCamera1, NozzleToCamera2, SquareHeads, MeasuringHead };

Family FamilyOf(int id, int& index) {
  using namespace smt::app::cmd;
  for (int k = 0; k < 8; ++k) {
    index = k + 1;
    if (id == kGoNozzleToThrow[k]) return Family::Throw;
    if (id == kGoNozzleToPcbOrigin[k]) return Family::NozzleToPcb;
    if (id == kGoNozzleToVisionCamera1[k]) return Family::NozzleToCamera1;
    if (id == kGoNozzleToVisionCamera2[k]) return Family::NozzleToCamera2;
  }
  index = 0;
  if (id == kGoCameraToPcbOrigin) return Family::CameraToPcb;
  index = 1;
  if (id == kGoCameraToMark1) return Family::CameraToPcb;
  index = 2;
  if (id == kGoCameraToMark2) return Family::CameraToPcb;
  index = 0;
  if (id == kGoFourHeadsToVisionCamera2) return Family::SquareHeads;
  if (id == kGoMeasuringHeadToVisionCamera1) return Family::MeasuringHead;
  return Family::None;
}

void SetTargets(smt::Machine& m, const GoToPlan& p) {
  if (p.setTargetX) m.motion.targetX = p.targetX;
  if (p.setTargetY) m.motion.targetY = p.targetY;
  if (p.setTargetX2) m.motion.targetX2 = p.targetX2;
  if (p.setTargetY2) m.motion.targetY2 = p.targetY2;
}

// Starts the go-to worker; the busy state is claimed here, before the start.
bool StartMove(smt::Machine& machine, GoToMoveRequest request, bool platform) {
  if (!smt::TryClaimMachineBusy(machine)) {
    smt::platform::ShowMessage(smt::link::kRunning);
    return false;
  }
  bool started = smt::platform::WorkerThreads::Instance().Start(
      "go-to", [&machine, request = std::move(request), platform](std::stop_token) {
        if (platform) {
          MoveAxesToTarget(machine, request);
        } else {
          MoveToTarget(machine, request);
        }
      });
  if (!started) smt::ReleaseMachineBusy(machine);
  return started;
}

// The vision-origin correction: `passes` looks at the origin mark with its
// box, size, lights and reversal and the PCB editor's zoom and precision.
void CorrectAtVisionOrigin(smt::Machine& machine, const smt::settings::BasicSettings& basic, int passes, double zoom, int precision) {
  smt::vision::VisualOriginSettings s;
  s.passes = passes;
  s.collectTimeMs = basic.m_OriginVisualCollectTime;
  s.boxMm = basic.m_VisualOriginBox;
  s.markSizeMm = basic.m_VisualOriginSize;
  s.contrast = basic.m_OriginLightContrast;
  s.brightness = basic.m_OriginLightBrightness;
  s.invert = basic.m_OriginImageColorReversal != 0;
  s.zoom = zoom;
  s.detectPrecision = precision;
  s.networkLink = basic.m_CommModel == 1;
  const auto r = SettingsStores::Of(machine).speed.Record(smt::settings::SpeedUse::VisualCorrection);
  const smt::vision::MarkMoveSpeeds speeds{r[0].start, r[0].normal, r[1].start, r[1].normal};
  smt::vision::CalibrateVisualOrigin(machine, s, smt::vision::DefaultMarkVisionIo(machine), speeds);
}

}  // namespace

bool CSMTView::IsGoToCommand(int id) {
  int n = 0;
  return id == smt::app::cmd::kGoHome || id == smt::app::cmd::kGoCameraToVisionOrigin || FamilyOf(id, n) != Family::None;
}

void CSMTView::OnGoTo(int id) {
  using namespace smt::app::cmd;
  // The drop-down's mark belongs to this one command: taken here, so that it
  // never outlives the move it was set for (a later homing's vision-origin
  // step must not read it).
  const bool fromMenu = m_bGoToFromMenu.exchange(false);
  if (id == kGoHome) return OnResetOrigin();
  if (id == kGoCameraToVisionOrigin) return CameraToVisionOrigin(fromMenu);
  int n = 0;
  const Family family = FamilyOf(id, n);
  if (family == Family::None) return;
  if (!smt::link::CheckMachineGuards(machine(), true, true)) return;

  auto in = ReadGoToInputs();
  if (m_pPartList) {
    auto& job = m_pPartList->Job();
    if (const auto* shown = job.pcbs.Find(job.shownPcbName)) in->shownPcb = *shown;
    if (const auto* current = job.pcbs.Current()) in->currentBoard = *current;
  }
  in->cameraRows = frame_.Lists().cameraRows;
  const GoToContext c = in->Context();
  GoToPlan plan;
  switch (family) {
    case Family::Throw: plan = PlanNozzleToThrow(c, n); break;
    case Family::CameraToPcb: plan = PlanCameraToPcb(c, n); break;
    case Family::NozzleToPcb: plan = PlanNozzleToPcbOrigin(c, n); break;
    case Family::NozzleToCamera1: plan = PlanNozzleToVisionCamera(c, 1, n); break;
    case Family::NozzleToCamera2: plan = PlanNozzleToVisionCamera(c, 2, n); break;
    case Family::SquareHeads: plan = PlanSquareHeadsToCamera2(c); break;
    case Family::MeasuringHead: plan = PlanMeasuringHeadToCamera1(c); break;
    case Family::None: return;
  }
  if (!plan.ok) {
    smt::platform::ShowMessage(m_strMessage[plan.message]);
    return;
  }
  m_nGoToKind = plan.kind;
  if (plan.camera != GoToCamera::None && switchLiveCamera) switchLiveCamera(plan.camera);
  if (plan.nozzleInView > 0) m_nNozzleInView = plan.nozzleInView;
  if (m_pSetView) {
    // The camera panel takes the board's Mark zoom, box and lights (or the
    // square heads' box) and shows them in its boxes.
    CDialogSetView& panel = *m_pSetView;
    if (plan.showMarkValues)
      panel.ShowVisualParameters(plan.lightContrast, plan.lightBrightness, -1, plan.visualZoom, plan.visualBox);
    if (family == Family::SquareHeads)
      panel.ShowVisualParameters(panel.m_Light_Contrast, panel.m_Light_Brightness, -1, panel.m_dPixelPerMm,
                                 plan.squareHeadsBox);
  }
  SetTargets(machine(), plan);
  GoToMoveRequest request;
  request.kind = plan.kind;
  request.fromMenu = fromMenu;
  request.machineType = c.machineType;
  request.platform = c.platform;
  StartMove(machine(), std::move(request), plan.platformThread);
}

void CSMTView::OnResetOrigin() {
  m_nGoToKind = 0;
  m_bOriginView = false;
  // Homing is refused while the machine works: the homed flag is left alone.
  if (machine().machineBusy.load()) {
    smt::platform::ShowMessage(smt::link::kRunning);
    return;
  }
  if (switchLiveCamera) switchLiveCamera(GoToCamera::Mark);
  machine().resetDone = false;
  smt::link::MachineHoming::Of(machine()).StartHomeThread(0, 1);
}

void CSMTView::OnCameraToVisionOrigin() {
  // The homing's last step is never a drop-down command.
  const bool pending = smt::link::MachineHoming::Of(machine()).m_bResetToOriginPending.load();
  CameraToVisionOrigin(!pending && m_bGoToFromMenu.exchange(false));
}

void CSMTView::CameraToVisionOrigin(bool fromMenu) {
  auto& homing = smt::link::MachineHoming::Of(machine());
  const bool pending = homing.m_bResetToOriginPending.load();
  if (!smt::link::CheckMachineGuards(machine(), !pending, true)) return;
  m_nGoToKind = 0;
  auto in = ReadGoToInputs();
  const GoToContext c = in->Context();
  const GoToPlan plan = PlanCameraToVisionOrigin(c);
  // The correction looks with the shown board's stored Mark camera zoom (not
  // the PCB editor's fields, which may hold unapplied edits) and the
  // detection precision the board's Mark alignment uses.
  double zoom = 18.0;
  const int precision = smt::vision::MarkAlignParams{}.detectPrecision;
  m_bOriginView = true;
  smt::platform::RunOnGui([this, &zoom] {
    if (switchLiveCamera) switchLiveCamera(GoToCamera::Mark);
    zoom = ShownBoardZoom(zoom);
  });
  m_bOriginView = false;
  if (!plan.ok) {
    smt::platform::ShowMessage(m_strMessage[plan.message]);
    if (!fromMenu) smt::link::RuntimeOf(machine()).Hooks().EnableJogControls(true);
    return;
  }
  m_bGoToStopAfter = true;
  SetTargets(machine(), plan);
  GoToMoveRequest request;
  request.kind = 0;
  request.fromMenu = fromMenu;
  request.stopAfter = true;
  request.machineType = c.machineType;
  request.stopPlan = PlanCameraToStopPosition(c);
  request.showMessage = [messages = m_strMessage](int k) { smt::platform::ShowMessage(messages[k]); };
  request.takeResetToOriginPending = [&homing] { return homing.m_bResetToOriginPending.exchange(false); };
  request.correctVisualOrigin = [m = &machine(), basic = in->basic, zoom, precision] {
    CorrectAtVisionOrigin(*m, *basic, basic->m_CottectionTimeReset, zoom, precision);
  };
  if (!StartMove(machine(), std::move(request), false)) m_bGoToStopAfter = false;
}

bool CSMTView::MoveBetweenSetPoints() {
  auto in = ReadGoToInputs();
  const GoToPlan plan = PlanCameraToStopPosition(in->Context());
  m_bOriginView = true;
  if (switchLiveCamera) smt::platform::RunOnGui([this] { switchLiveCamera(GoToCamera::Mark); });
  m_bOriginView = false;
  if (!plan.ok) {
    smt::platform::ShowMessage(m_strMessage[plan.message]);
    return false;
  }
  SetTargets(machine(), plan);
  const auto speed = SettingsStores::Of(machine()).speed.Record(smt::settings::SpeedUse::Smt);
  return smt::link::SendCmd64MoveXY(machine(), plan.targetX - machine().curX.load(), speed[0].start, speed[0].normal,
                                    plan.targetY - machine().curY.load(), speed[1].start, speed[1].normal, 0, 0, 0, 0, 0x80);
}

bool CSMTView::VisionOriginAfterPlacement() {
  auto in = ReadGoToInputs();
  const GoToPlan plan = PlanCameraToVisionOrigin(in->Context());
  double zoom = 18.0;
  const int precision = smt::vision::MarkAlignParams{}.detectPrecision;
  m_bOriginView = true;
  smt::platform::RunOnGui([this, &zoom] {
    if (switchLiveCamera) switchLiveCamera(GoToCamera::Mark);
    zoom = ShownBoardZoom(zoom);
  });
  m_bOriginView = false;
  if (!plan.ok) {
    smt::platform::ShowMessage(m_strMessage[plan.message]);
    return false;
  }
  SetTargets(machine(), plan);
  const auto speed = SettingsStores::Of(machine()).speed.Record(smt::settings::SpeedUse::PickPart);
  if (!smt::link::SendCmd64MoveXY(machine(), plan.targetX - machine().curX.load(), speed[0].start, speed[0].normal,
                                  plan.targetY - machine().curY.load(), speed[1].start, speed[1].normal, 0, 0, 0, 0, 0x80))
    return false;
  CorrectAtVisionOrigin(machine(), *in->basic, in->basic->m_CottectionTimeSmt, zoom, precision);
  return true;
}

// The Mark camera zoom stored with the board the part list shows, or
// `fallback` when no board is shown or it carries none (window thread).
double CSMTView::ShownBoardZoom(double fallback) const {
  if (!m_pPartList) return fallback;
  const smt::job::PcbRecord* rec = m_pPartList->Job().ShownRecord();
  return rec && rec->m_dVisualZoom > 0 ? rec->m_dVisualZoom : fallback;
}
