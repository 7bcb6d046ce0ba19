#include "app/VisionRunWiring.h"

#include <QPointer>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app/GoToPlanner.h"
#include "app/SMTView.h"
#include "app/WindowPanelPorts.h"
#include "core/LogFile.h"
#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "job/CDialogPartList.h"
#include "library/MarkLibrary.h"
#include "job/CDialogPCBEdit.h"
#include "link/LinkRoutes.h"
#include "link/ManualMarkOffsets.h"
#include "link/MachineCommands.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "run/HeadRecords.h"
#include "run/MachineSteps.h"
#include "run/RunServices.h"
#include "settings/SettingsStores.h"
#include "vision/VisionTemplates.h"
#include "vision/CDialogCameraList.h"
#include "vision/CDialogSetView.h"
#include "vision/HeadVision.h"
#include "vision/MarkAlign.h"
#include "vision/TemplateOrigin.h"
#include "vision/VisionGlobals.h"
#include "vision/ImageFiles.h"
#include "core/Machine.h"

namespace smt::app {

namespace {

using namespace std::chrono_literals;
using smt::run::HeadPlaceState;
using smt::vision::CameraRecord;

// The parts as the long-lived hooks hold them: a window that is gone (the
// program closing, or a new window after it) reads as none.
struct LiveParts {
  smt::Machine* machine = nullptr;  // the machine the runs drive
  QPointer<CSMTView> view;
  QPointer<CDialogSetView> panel;
  QPointer<CDialogCameraList> cameras;
  std::function<std::optional<smt::job::PcbRecord>()> shownBoard;
  std::string appDir;
  std::function<void(const smt::vision::ManualMarkOffsetsMm&)> storeManualOffsets;
};

// The template image loaded last for the own marks of machine type 10, kept
// until another part's name asks for another file.
struct LoadedTemplate {
  std::mutex m;
  std::string path;
  cv::Mat image;
};
LoadedTemplate& OwnMarkTemplate(smt::Machine& machine) {
  return machine.Part<LoadedTemplate>();
}

// How long a frame of a vision step may take before the step counts it as
// none (the camera panel's wait, which the simulated cameras also allow).
constexpr auto kFrameTimeout = kVisionFrameWait;

bool IndustrialFitted(const smt::Machine& machine, int role) {
  switch (role) {
    case 0: return machine.camera.highSpeedMarkCamera.load();
    case 1: return machine.camera.highSpeedVisualCamera1.load();
    case 2: return machine.camera.highSpeedVisualCamera2.load();
    default: return false;
  }
}

// The capture camera a vision step of `role` looks through: the Mark
// camera and the machines with one capture camera use the first; machine
// type 4 has vision camera 1 on the second; on type 5 the second is the side
// camera that sees head 2 beside head 1.
int CaptureIndexOf(const smt::Machine& machine, int role, bool sideView) {
  if (role == 0) return 0;
  const int type = machine.machineType.load();
  if (type == 4) return role == 1 ? 1 : 0;
  if (type == 5 && role == 1 && sideView) return 1;
  return 0;
}

bool Industrial(const smt::Machine& machine, CDialogSetView* panel, int role) {
  return machine.camera.highSpeedCamera.load() == 1 && IndustrialFitted(machine, role) && panel->Engine().HasRole(role);
}

// A camera the panel can take a frame of for `role`: the industrial camera
// of the role in high-speed mode when it is fitted, else the capture camera
// of the role (the panel then shows that one).
bool CameraUsable(const smt::Machine& machine, CDialogSetView* panel, int role, bool sideView = false) {
  if (!panel) return false;
  if (Industrial(machine, panel, role)) return true;
  bool capture = false;
  const int idx = CaptureIndexOf(machine, role, sideView);
  smt::platform::RunOnGui([&] {
    capture = panel->m_pDirectShowCamera[static_cast<size_t>(idx)] != nullptr;
    if (capture) panel->m_iDirectShowCamera = idx;
  });
  return capture;
}

bool GrabOf(const smt::Machine& machine, CDialogSetView* panel, int role, cv::Mat& frame, bool sideView = false) {
  if (!panel) return false;
  return panel->GrabFrame(role, frame, kFrameTimeout,
                          Industrial(machine, panel, role) ? -1 : CaptureIndexOf(machine, role, sideView));
}

int OpenCaptureCameras(CDialogSetView* panel) {
  int n = 0;
  if (!panel) return n;
  smt::platform::RunOnGui([&] {
    for (const auto& c : panel->m_pDirectShowCamera) n += c ? 1 : 0;
  });
  return n;
}

// The light-settle delay once after the light channel changed.
void LightSettle(smt::Machine& machine, const smt::vision::CameraListSettings& s) {
  if (!machine.camera.channelChanged.exchange(false)) return;
  if (s.m_bChangeCameraDelay && s.m_iChangeCameraDelay > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(s.m_iChangeCameraDelay));
}

// The camera panel's fields, shown without holding the caller.
void ShowFields(CDialogSetView* panel, int contrast, int brightness, int type, double zoom, double box) {
  QPointer<CDialogSetView> p(panel);
  smt::platform::PostToGui([p, contrast, brightness, type, zoom, box] {
    if (p) p->ShowVisualParameters(contrast, brightness, type, zoom, box);
  });
}

smt::vision::HeadVisionCamera CameraValues(const CameraRecord& r) {
  smt::vision::HeadVisionCamera c;
  if (r.VisualZoom > 0) c.zoom = r.VisualZoom;
  c.visualSize = r.VisualSize;
  c.correctionTimes = r.CorrectionTimes;
  c.precisionXY = r.Precision_XY;
  c.precisionA = r.Precision_A;
  c.collectTimeMs = r.CollectTime;
  c.correctionPulseX = r.CorrectionPulse_X;
  c.correctionPulseY = r.CorrectionPulse_Y;
  return c;
}

smt::vision::HeadVisionJob JobOf(const HeadPlaceState& p) {
  smt::vision::HeadVisionJob j;
  j.headTarget = p.headTarget;
  j.row = p.row;
  j.partLength = p.partLength;
  j.partWidth = p.partWidth;
  j.partAngle = p.partAngle;
  j.targetAngle = p.targetAngle;
  j.contrast = p.lightContrast;
  j.brightness = p.lightBrightness;
  j.visionMode = p.visionMode;
  j.visionCamera = p.visionCamera == 2 ? 2 : 1;
  j.recognitionType = p.recognitionType;
  j.packageName = p.packageName;
  j.xyTolerance = p.xyTolerance;
  j.angleTolerance = p.angleTolerance;
  j.timeLimit = p.timeLimit;
  const size_t a = p.headTarget >= 1 && p.headTarget <= 4 ? static_cast<size_t>(1 + p.headTarget) : 2;
  j.speeds = {p.visionSpeeds[0].start, p.visionSpeeds[0].normal, p.visionSpeeds[1].start,
              p.visionSpeeds[1].normal, p.visionSpeeds[a].start, p.visionSpeeds[a].normal};
  return j;
}

void TakeResults(HeadPlaceState& p, const smt::vision::HeadVisionJob& j) {
  p.targetAngle = j.targetAngle;
  p.correctionX = j.correctionX;
  p.correctionY = j.correctionY;
  p.correctionA = j.correctionA;
  p.failed = j.failed;
}

smt::vision::HeadVisionIo HeadIo(const LiveParts& parts, bool sideView = false) {
  smt::vision::HeadVisionIo io = smt::vision::DefaultHeadVisionIo(*parts.machine);
  CDialogSetView* panel = parts.panel;
  CDialogCameraList* list = parts.cameras;
  smt::Machine* machine = parts.machine;
  io.cameraReady = [machine, panel, sideView](int camera) { return CameraUsable(*machine, panel, camera, sideView); };
  io.grabFrame = [machine, panel, sideView](int camera, cv::Mat& frame) {
    return GrabOf(*machine, panel, camera, frame, sideView);
  };
  io.setRowState = [machine](int row, int state) { smt::run::RowState(*machine, row, state, false); };
  io.showCameraFields = [panel](int contrast, int brightness, int type, double zoom, double box) {
    ShowFields(panel, contrast, brightness, type, zoom, box);
  };
  const smt::vision::CameraListSettings settings = list ? list->m_Settings : smt::vision::CameraListSettings{};
  io.lightSettle = [machine, settings] { LightSettle(*machine, settings); };
  io.text = [machine](const std::string& key, const std::string& def) { return smt::run::RunText(*machine, key, def); };
  const auto basic = smt::settings::SettingsStores::Of(*machine).machine.Basic();
  io.autoMagnify = basic->m_AutoMagnify == 0.0 ? 4.0 : basic->m_AutoMagnify;
  io.invert = settings.m_VisualImageColorReversal != 0;
  return io;
}

CameraRecord RecordOf(const LiveParts& parts, int camera) {
  if (!parts.cameras) return {};
  return camera == 2 ? parts.cameras->m_Camera_second : parts.cameras->m_Camera_first;
}

bool RecognizeHeadPartForRun(const LiveParts& parts, HeadPlaceState& p, bool sharedView) {
  smt::vision::HeadVisionJob job = JobOf(p);
  const CameraRecord rec = RecordOf(parts, job.visionCamera);
  std::array<int32_t, 2> shared{};
  if (sharedView && parts.cameras) {
    shared = {static_cast<int32_t>(parts.cameras->m_Settings.m_Correct_X * parts.machine->steps.xPulsePerMm),
              static_cast<int32_t>(parts.cameras->m_Settings.m_Correct_Y * parts.machine->steps.yPulsePerMm)};
  }
  const bool ok =
      smt::vision::RecognizeHeadPart(job, CameraValues(rec), HeadIo(parts, sharedView), sharedView ? &shared : nullptr);
  TakeResults(p, job);
  return ok;
}

// The part job of the n-th head of a fly pass.
HeadPlaceState* FlyJobOfHead(smt::Machine& machine, int head) {
  auto& heads = machine.Part<smt::run::HeadRecords>();
  for (size_t k = 0; k < 8; ++k)
    if (heads.pick[k].row != -1 && heads.place[k].headTarget == head) return &heads.place[k];
  return nullptr;
}

void RecognizeFlyFrame(const LiveParts& parts, int head, const cv::Mat& frame) {
  HeadPlaceState* p = FlyJobOfHead(*parts.machine, head);
  if (!p || p->visionMode != 2) return;
  smt::vision::HeadVisionJob job = JobOf(*p);
  const CameraRecord rec = RecordOf(parts, 1);
  const double flyY = parts.cameras && head >= 1 && head <= 8
                          ? parts.cameras->m_Settings.m_dFlyCorrect_Y[static_cast<size_t>(head - 1)]
                          : 0.0;
  smt::vision::RecognizeLiveFrame(job, CameraValues(rec), frame, HeadIo(parts), flyY);
  TakeResults(*p, job);
}

bool FlyAvailable(const smt::Machine& machine) {
  return machine.camera.highSpeedCamera.load() == 1 && machine.camera.flyCamera.load() &&
         machine.camera.highSpeedVisualCamera1.load();
}

bool FlyPassForRun(const LiveParts& parts) {
  smt::Machine& machine = *parts.machine;
  CDialogSetView* panel = parts.panel;
  if (!panel) return false;
  HeadPlaceState* lead = nullptr;
  for (auto& p : machine.Part<smt::run::HeadRecords>().place)
    if (p.row != -1 && p.visionMode == 2 && p.visionCamera == 1) {
      lead = &p;
      break;
    }
  if (!lead) return true;
  smt::job::SetupHeadLayout(machine);
  smt::vision::FlyPass f;
  f.startX = machine.fly.startX;
  f.endX = machine.fly.endX;
  f.lineY = machine.fly.y;
  f.triggers = machine.fly.trigger;
  f.headCount = machine.fly.headCount;
  if (parts.cameras) {
    f.flyStartSpeed = parts.cameras->m_Settings.m_iFlyStartSpeed;
    f.flyNormalSpeed = parts.cameras->m_Settings.m_iFlyNormalSpeed;
  }
  for (int k = 1; k <= 8; ++k) {
    f.headOffsetX[static_cast<size_t>(k - 1)] = smt::job::NozzleOffsetX(machine, k);
    f.headOffsetY[static_cast<size_t>(k - 1)] = smt::job::NozzleOffsetY(machine, k);
    f.headTurns[static_cast<size_t>(k - 1)] = machine.motion.headMoveArgs[static_cast<size_t>(k - 1)];
  }
  smt::vision::FlySpeeds s{lead->visionPlaceSpeeds[0].start, lead->visionPlaceSpeeds[0].normal,
                           lead->visionPlaceSpeeds[1].start, lead->visionPlaceSpeeds[1].normal,
                           lead->placeSpeeds[4].start,       lead->placeSpeeds[4].normal};
  auto& engine = panel->Engine();
  engine.BeginFlyPass(f.headCount);
  // Heads that the pass does not see stay failed.
  for (auto& p : machine.Part<smt::run::HeadRecords>().place)
    if (p.row != -1 && p.visionMode == 2 && p.visionCamera == 1) p.failed = 1;
  smt::vision::FlyIo io = smt::vision::DefaultFlyIo(*parts.machine);
  io.selectCamera = [&machine](int channel, int brightness) {
    smt::link::SelectCamera(machine, channel, brightness, channel == 2 ? 2 : 0);
  };
  io.resetShotIndex = [panel, heads = f.headCount] { panel->Engine().BeginFlyPass(heads); };
  const bool ok = smt::vision::FlyVisionAllHeads(*parts.machine, f, s, lead->headTarget, lead->lightBrightness, false, 0, 0, 0, 0, io);
  engine.SetTriggerMode(1, 0);
  for (auto& a : machine.motion.headMoveArgs) a = 0;  // the pass turned the heads already
  return ok;
}

// What the Mark recognisers use in the program: the camera panel shows their
// values, the camera list gives the light-settle time, texts in the window's language.
smt::vision::MarkVisionIo PanelMarkIo(const LiveParts& parts) {
  smt::vision::MarkVisionIo io = smt::vision::DefaultMarkVisionIo(*parts.machine);
  CDialogSetView* panel = parts.panel;
  io.showCameraFields = [panel](double zoom, double box, int contrast, int brightness) {
    ShowFields(panel, contrast, brightness, -1, zoom, box);
  };
  const smt::vision::CameraListSettings settings = parts.cameras ? parts.cameras->m_Settings
                                                                 : smt::vision::CameraListSettings{};
  smt::Machine* machine = parts.machine;
  io.lightSettle = [machine, settings] { LightSettle(*machine, settings); };
  io.text = [machine](const std::string& key, const std::string& def) { return smt::run::RunText(*machine, key, def); };
  return io;
}

// Machine type 10: the part's own mark is the feature of its template image
// (Template/<feeder number>.png in the program folder), found by matching.
bool MatchOwnMarkTemplate(const LiveParts& parts, const smt::library::MarkEditFields& m, const HeadPlaceState& p,
                          double zoom, const smt::vision::MarkMoveSpeeds& sp) {
  const std::string path = smt::vision::TemplateFilePath(parts.appDir, p.feederNumber);
  if (path.empty()) {
    CLogFile::Instance().Write(true, "Own mark: the feeder number is no file name");
    smt::platform::ShowMessage(smt::vision::TemplateNameRefusal(p.feederNumber));
    return false;
  }
  cv::Mat templ;
  {
    auto& loaded = OwnMarkTemplate(*parts.machine);
    std::lock_guard lk(loaded.m);
    if (loaded.path != path || loaded.image.empty()) {
      loaded.image = smt::vision::ReadImageFile(path, smt::vision::ImageRead::Color);
      loaded.path = path;
    }
    templ = loaded.image;
  }
  if (templ.empty()) {
    CLogFile::Instance().Write(true, ("Own mark: no template image " + path).c_str());
    smt::platform::ShowMessage(smt::vision::kTemplateFailed);
    return false;
  }
  smt::vision::TemplateCentring c;
  c.scorePercent = m.precision;
  c.contrast = m.contrast;
  c.brightness = m.brightness;
  c.collectTimeMs = m.captureTime;
  c.passes = m.repeats;
  c.maxCorrectionPulses = m.allowedDeviation;
  c.boxMm = m.viewBox;
  c.zoom = zoom;
  int cx = 0, cy = 0;
  return smt::vision::MatchPartTemplate(c, templ, PanelMarkIo(parts), sp, cx, cy);
}

bool RecognizeOwnMarkForRun(const LiveParts& parts, const smt::library::MarkEditFields& m, const HeadPlaceState& p) {
  const auto board = parts.shownBoard ? parts.shownBoard() : std::nullopt;
  const double zoom = board && board->m_dVisualZoom > 0 ? board->m_dVisualZoom : 18.0;
  auto& stores = smt::settings::SettingsStores::Of(*parts.machine);
  const auto r = stores.speed.Record(smt::settings::SpeedUse::VisualCorrection);
  smt::vision::MarkMoveSpeeds sp{r[0].start, r[0].normal, r[1].start, r[1].normal};
  if (parts.machine->machineType.load() == 10) return MatchOwnMarkTemplate(parts, m, p, zoom, sp);
  smt::vision::SpecifiedMark spec;
  spec.kind = 1;
  spec.precisionPercent = m.precision;
  spec.contrast = m.contrast;
  spec.brightness = m.brightness;
  spec.collectTimeMs = m.captureTime;
  spec.passes = m.repeats;
  spec.invert = m.colourReversal;
  spec.maxCorrectionPulses = m.allowedDeviation;
  spec.boxMm = m.viewBox;
  spec.diameterMm = m.diameter;
  spec.zoom = zoom;
  smt::vision::MarkAligner aligner(*parts.machine, PanelMarkIo(parts), {}, sp, sp);
  int cx = 0, cy = 0;
  return aligner.RecognizeMark(spec, cx, cy);
}

bool AlignBoardMarksForRun(const LiveParts& parts, bool inRun = true) {
  smt::Machine& machine = *parts.machine;
  auto& stores = smt::settings::SettingsStores::Of(machine);
  const auto pulse = stores.machine.Pulse();
  const auto geometry = stores.machine.Geometry();
  auto& services = smt::run::Services(machine);
  const smt::run::RunBoard board = services.board ? services.board() : smt::run::RunBoard{};
  const auto shown = parts.shownBoard ? parts.shownBoard() : std::nullopt;
  if (!shown) {
    CLogFile::Instance().Write(true, "Mark alignment: no board shown in the part list");
    return false;
  }
  smt::vision::MarkAlignParams params;
  if (shown->m_dVisualZoom > 0) params.visualZoom = shown->m_dVisualZoom;
  if (shown->m_dVisualBox > 0) params.visualBox = shown->m_dVisualBox;
  if (shown->m_dMarkDiameter > 0) params.markDiameter = shown->m_dMarkDiameter;
  params.invert = shown->m_bImageColorReversal;
  params.contrast = shown->m_nLightContrast;
  params.brightness = shown->m_nLightBrightness;
  if (shown->m_nVisualTimes > 0) params.passes = shown->m_nVisualTimes;
  if (shown->m_nMarkCollectTime > 0) params.collectTimeMs = shown->m_nMarkCollectTime;
  params.specialMark2 = shown->m_bSpecialMark2;
  params.mark2Contrast = shown->m_nMark2LightContrast;
  params.mark2Brightness = shown->m_nMark2LightBrightness;
  auto speeds = [&stores](smt::settings::SpeedUse use) {
    const auto r = stores.speed.Record(use);
    return smt::vision::MarkMoveSpeeds{r[0].start, r[0].normal, r[1].start, r[1].normal};
  };
  smt::vision::MarkAlignBoard b;
  b.mark1X = StepsOf(board.mark1X * pulse->m_X_Pulse);
  b.mark1Y = StepsOf(board.mark1Y * pulse->m_Y_Pulse);
  b.mark2X = StepsOf(board.mark2X * pulse->m_X_Pulse);
  b.mark2Y = StepsOf(board.mark2Y * pulse->m_Y_Pulse);
  b.mark2XMm = board.mark2X;
  b.mark2YMm = board.mark2Y;
  b.cellOriginX = smt::run::Frame(machine).originX;
  b.cellOriginY = smt::run::Frame(machine).originY;
  b.cameraOffsetX = geometry->table.nCameraToNozzle1X;
  b.cameraOffsetY = geometry->table.nCameraToNozzle1Y;
  // The Mark camera with the board's light; the panel shows its values.
  smt::link::SelectCamera(machine, 1, params.brightness, -1);
  smt::vision::MarkVisionIo io = PanelMarkIo(parts);
  if (!inRun) io.storeManualOffsets = parts.storeManualOffsets;
  smt::vision::MarkAligner aligner(*parts.machine, io, params, speeds(smt::settings::SpeedUse::VisualSmt),
                                   speeds(smt::settings::SpeedUse::VisualCorrection));
  return aligner.AlignBoardMarks(b, inRun);
}

// The run's vision steps on the camera panel and the camera list.
class ShellRunVision : public smt::run::RunVision {
 public:
  explicit ShellRunVision(LiveParts parts) : parts_(std::move(parts)) {}

  bool AlignBoardMarks() override { return AlignBoardMarksForRun(parts_); }
  bool RecognizeHeadPart(HeadPlaceState& p, bool shared) override { return RecognizeHeadPartForRun(parts_, p, shared); }
  bool FlyVisionAvailable() override { return FlyAvailable(*parts_.machine); }
  bool FlyVisionAllHeads() override { return FlyPassForRun(parts_); }
  bool RecognizeOwnMark(const smt::library::MarkEditFields& m, HeadPlaceState& p) override {
    return RecognizeOwnMarkForRun(parts_, m, p);
  }
  void OpenMarkCamera() override {
    // The run asks while the machine is homed and then starts the closing
    // home at once: the switch, done later on the window thread, is the
    // run's and is not refused for the homing in progress.
    const bool asked = parts_.machine->connected.load() && parts_.machine->resetDone.load();
    QPointer<CSMTView> view = parts_.view;
    smt::platform::PostToGui([view, asked] {
      if (!view) return;
      if (asked && view->m_pSetView) view->m_pSetView->ShowMarkCamera();
      else if (view->switchLiveCamera) view->switchLiveCamera(smt::app::GoToCamera::Mark);
    });
  }
  // The placement rotation adds the vision camera's correction angle.
  std::pair<double, double> CameraAngleOffsets() override {
    CDialogCameraList* list = parts_.cameras;
    if (!list) return {0, 0};
    return {list->m_Camera_first.Correction_A, list->m_Camera_second.Correction_A};
  }
  std::optional<double> SharedViewAngleOffset() override {
    CDialogCameraList* list = parts_.cameras;
    CDialogSetView* panel = parts_.panel;
    if (!list || !panel) return std::nullopt;
    int cameras = 0;
    for (int role : {smt::vision::kRoleMarkCamera, smt::vision::kRoleVisualCamera1, smt::vision::kRoleVisualCamera2})
      if (panel->Engine().HasRole(role)) ++cameras;
    if (cameras < 2) return std::nullopt;
    return list->m_Settings.m_Correct_A;
  }
  std::pair<int32_t, int32_t> VisionCameraPosition(int camera) override {
    const CameraRecord r = RecordOf(parts_, camera);
    return {r.CameraPulse_X, r.CameraPulse_Y};
  }
  int CaptureCameraCount() override { return OpenCaptureCameras(parts_.panel); }

 private:
  LiveParts parts_;
};

}  // namespace

std::function<void()> WireVisionRun(smt::Machine& machine, const VisionRunParts& in) {
  const LiveParts parts{&machine, in.view, in.panel, in.cameras, in.shownBoard, in.appDir, in.storeManualOffsets};
  QPointer<CDialogSetView> panel = in.panel;
  // The Mark camera of the alignments: the industrial Mark camera in
  // high-speed mode when fitted, else the panel's capture camera.
  smt::Machine* m = &machine;
  smt::vision::SetMarkCamera(machine, [m, panel] { return CameraUsable(*m, panel, 0); },
                             [m, panel](cv::Mat& frame) { return GrabOf(*m, panel, 0, frame); });
  smt::run::Services(machine).vision.Connect(std::make_shared<ShellRunVision>(parts));
  if (panel) {
    panel->recognizeLiveFrame = [parts](int head, const cv::Mat& frame) { RecognizeFlyFrame(parts, head, frame); };
  }
  // The fly pass lies where the first vision camera is (the inputs are
  // connected with the camera list, PageWiring.cpp).
  smt::job::SetupHeadLayout(machine);
  return [parts] { AlignBoardMarksForRun(parts, false); };
}

void InstallVisionRun(CSMTView& view) {
  view.initialUpdateSteps.push_back([&view](const std::string& appDir) {
    VisionRunParts parts;
    parts.appDir = appDir;
    parts.view = &view;
    parts.panel = view.m_pSetView;
    parts.cameras = view.m_pCameraList.get();
    QPointer<CSMTView> v(&view);
    parts.storeManualOffsets = [v](const smt::vision::ManualMarkOffsetsMm& m) {
      smt::platform::PostToGui([v, m] {
        if (!v || !v->m_pPartList) return;
        CDialogPCBEdit& pcb = v->m_pPartList->PcbEditor();
        auto& f = pcb.Fields();
        f.manualMark = true;
        f.manualMark1X = m.mark1X;
        f.manualMark1Y = m.mark1Y;
        f.manualMark2X = m.mark2X;
        f.manualMark2Y = m.mark2Y;
        pcb.WriteFieldsToControls();
      });
    };
    parts.shownBoard = [&view]() -> std::optional<smt::job::PcbRecord> {
      std::optional<smt::job::PcbRecord> shown;
      smt::platform::RunOnGui([&view, &shown] {
        if (!view.m_pPartList) return;
        auto& job = view.m_pPartList->Job();
        if (const auto* rec = job.pcbs.Find(job.shownPcbName)) shown = *rec;
      });
      return shown;
    };
    // The jog panel's manual Mark offsets and its two-mark alignment.
    ConnectManualMarks(view, WireVisionRun(view.machine(), parts));
  });
}

}  // namespace smt::app
