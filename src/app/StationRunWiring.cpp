#include "app/StationRunWiring.h"

#include <optional>

#include "app/SMTView.h"
#include "core/LogFile.h"
#include "job/CDialogPartList.h"
#include "job/PcbRecord.h"
#include "platform/GuiDispatcher.h"
#include "run/RunServices.h"
#include "stations/CDialogLampMachineList.h"
#include "stations/LampPointTable.h"
#include "stations/LampTeach.h"
#include "stations/LabelingMachine.h"
#include "link/MachineHoming.h"
#include "link/CDialogManualControl.h"
#include "link/LinkRuntime.h"
#include "run/PlatformRuns.h"
#include "app/GoToPlanner.h"
#include "run/HeadRecords.h"
#include "vision/CDialogCameraList.h"
#include "vision/CDialogSetView.h"
#include "vision/CameraEngine.h"
#include "vision/IndustrialCamera.h"
#include "vision/MarkAlign.h"
#include "vision/PlatformVision.h"
#include "vision/PartRecognizers.h"

namespace {

// The detect precision of the PCB editor (percent of the Mark diameter).
constexpr int kMarkDiameterTolerance = 20;

smt::run::PlatformMarkParams MarkParamsOf(const smt::job::PcbRecord& r) {
  smt::run::PlatformMarkParams p;
  const smt::vision::MarkAlignParams d;
  p.zoom = r.m_dVisualZoom > 0 ? r.m_dVisualZoom : d.visualZoom;
  p.box = r.m_dVisualBox > 0 ? r.m_dVisualBox : d.visualBox;
  p.diameter = r.m_dMarkDiameter > 0 ? r.m_dMarkDiameter : d.markDiameter;
  p.tolerance = kMarkDiameterTolerance;
  p.contrast = r.m_nLightContrast;
  p.brightness = r.m_nLightBrightness;
  p.times = r.m_nVisualTimes > 0 ? r.m_nVisualTimes : d.passes;
  p.collectMs = r.m_nMarkCollectTime > 0 ? r.m_nMarkCollectTime : d.collectTimeMs;
  p.reversal = r.m_bImageColorReversal;
  return p;
}

smt::vision::PlatformCamera PlatformCameraOf(const smt::vision::CameraRecord& r) {
  smt::vision::PlatformCamera c;
  c.cameraPulseX = r.CameraPulse_X;
  c.lightContrast = r.Light_Contrast;
  if (r.VisualZoom > 0) c.camera.zoom = r.VisualZoom;
  if (r.VisualSize > 0) c.camera.visualSize = r.VisualSize;
  c.camera.collectTimeMs = r.CollectTime;
  c.camera.correctionPulseX = r.CorrectionPulse_X;
  c.camera.correctionPulseY = r.CorrectionPulse_Y;
  return c;
}

// A picked part's look over its vision camera: the part job in the vision
// step's terms, the cameras of the camera list and the camera panel's frames.
bool PlatformVisionOf(CSMTView& view, smt::run::HeadPlaceState& p, int platform) {
  std::array<smt::vision::PlatformCamera, 2> cams;
  CDialogSetView* panel = nullptr;
  smt::platform::RunOnGui([&] {
    if (view.m_pCameraList) {
      cams[0] = PlatformCameraOf(view.m_pCameraList->m_Camera_first);
      cams[1] = PlatformCameraOf(view.m_pCameraList->m_Camera_second);
    }
    panel = view.m_pSetView;
  });
  smt::vision::HeadVisionJob job;
  job.headTarget = p.headTarget;
  job.row = p.row;
  job.partLength = p.partLength;
  job.partWidth = p.partWidth;
  job.partAngle = p.partAngle;
  job.targetAngle = p.targetAngle;
  job.contrast = p.lightContrast;
  job.brightness = p.lightBrightness;
  job.visionMode = p.visionMode;
  job.visionCamera = p.visionCamera;
  job.recognitionType = p.recognitionType;
  job.packageName = p.packageName;
  job.timeLimit = p.timeLimit;
  job.speeds = {p.visionPlaceSpeeds[smt::run::kSpX].start, p.visionPlaceSpeeds[smt::run::kSpX].normal,
                p.visionPlaceSpeeds[smt::run::kSpY].start, p.visionPlaceSpeeds[smt::run::kSpY].normal,
                p.placeSpeeds[smt::run::kSpA1].start,      p.placeSpeeds[smt::run::kSpA1].normal};
  smt::vision::PlatformVisionIo io = smt::vision::DefaultPlatformVisionIo(view.machine());
  io.head.cameraReady = [panel](int camera) {
    return panel && panel->Engine().HasRole(camera == 2 ? smt::vision::kRoleVisualCamera2
                                                        : smt::vision::kRoleVisualCamera1);
  };
  io.head.grabFrame = [panel](int camera, cv::Mat& frame) {
    return panel && panel->Engine().RequestFrame(camera == 2 ? smt::vision::kRoleVisualCamera2
                                                             : smt::vision::kRoleVisualCamera1,
                                                 frame, std::chrono::milliseconds(1000));
  };
  const bool stop = smt::vision::PlatformVisionCentre(view.machine(), job, p.vacuum, platform, cams, io);
  p.correctionX = job.correctionX;
  p.correctionY = job.correctionY;
  p.correctionA = job.correctionA;
  p.failed = job.failed;
  return stop;
}

// The lamp machine's point table, counters and cameras as its runs use them.
class ShellLampStation : public smt::run::LampStation {
 public:
  explicit ShellLampStation(CSMTView& view) : view_(view) {}

  std::pair<int32_t, int32_t> Target(int kind, int platform, int point) override {
    const auto t = smt::stations::ApplyLampTargets(view_.machine(), kind, platform, point);
    return {t.x, t.y};
  }
  smt::run::LampDot Dot(int group, int platform, int point) override {
    const auto d = smt::stations::ApplyLampDispense(view_.machine(), group, platform, point);
    smt::run::LampDot r;
    r.startSpeed = d.startSpeed;
    r.runSpeed = d.runSpeed;
    r.closeDelay = d.closeDelay;
    r.bottomDelay = d.bottomDelay;
    r.valveClose = d.valveClose;
    r.valveOpen = d.valveOpen;
    r.height = d.height;
    return r;
  }
  smt::run::LampRow Row(int row) override {
    const auto v = smt::stations::LampPointTable::Of(view_.machine()).Values(row);
    return smt::run::LampRow{v.markX, v.markY, v.placeZ};
  }
  void SetMarkOffsets(int row, std::optional<std::pair<int32_t, int32_t>> offsets) override {
    smt::stations::LampPointTable::Of(view_.machine()).SetMarkOffsets(row, offsets);
  }
  smt::run::LampCounts Counts() override {
    const auto c = CurrentLampCounters(view_.machine());
    return smt::run::LampCounts{c.m_CountSet, c.m_CountFinish, c.m_CountUnfinish};
  }
  void SetCounts(const smt::run::LampCounts& c) override {
    auto now = CurrentLampCounters(view_.machine());
    now.m_CountSet = c.set;
    now.m_CountFinish = c.finish;
    now.m_CountUnfinish = c.unfinish;
    SetCurrentLampCounters(view_.machine(), now);
  }
  // The Mark values of the board shown in the part list.
  smt::run::PlatformMarkParams MarkParams() override {
    std::optional<smt::run::PlatformMarkParams> p;
    CSMTView* v = &view_;
    smt::platform::RunOnGui([v, &p] {
      if (!v->m_pPartList) return;
      auto& job = v->m_pPartList->Job();
      if (const auto* rec = job.pcbs.Find(job.shownPcbName)) p = MarkParamsOf(*rec);
    });
    if (!p) CLogFile::Instance().Write(true, "Lamp Mark: no board shown, the Mark camera's defaults are used");
    return p.value_or(MarkParamsOf(smt::job::PcbRecord{}));
  }
  bool MarkCameraReady() override {
    const auto io = smt::vision::DefaultMarkVisionIo(view_.machine());
    return io.cameraReady && io.cameraReady();
  }
  // One frame of the Mark camera and the round-mark recogniser.
  std::optional<smt::run::MarkSighting> SightMark(const smt::run::PlatformMarkParams& p) override {
    const auto io = smt::vision::DefaultMarkVisionIo(view_.machine());
    cv::Mat frame;
    if (!io.grabFrame || !io.grabFrame(frame) || frame.empty()) return std::nullopt;
    smt::run::MarkSighting s;
    const auto c = smt::vision::RecognizePart(frame, p.contrast, p.reversal, p.box, p.zoom, s.ox, s.oy);
    s.found = c.found && c.x >= 0;
    s.radius = c.radius;
    return s;
  }
  bool VisionCentre(smt::run::HeadPlaceState& p, int platform) override { return PlatformVisionOf(view_, p, platform); }

 private:
  CSMTView& view_;
};

}  // namespace

void InstallStationRuns(CSMTView& view) {
  smt::run::Services(view.machine()).lamp.Connect(std::make_shared<ShellLampStation>(view));
  // The labeling machine: its frames are the Mark camera's; its vision
  // set-up shows the board's zoom and the page's box, threshold and
  // brightness on the camera panel.
  smt::stations::LabelingIo lio = smt::stations::DefaultLabelingIo();
  lio.grabFrame = [&view](cv::Mat& frame) {
    const auto io = smt::vision::DefaultMarkVisionIo(view.machine());
    return io.grabFrame && io.grabFrame(frame);
  };
  lio.currentZoom = [&view] {
    double zoom = 0;
    smt::platform::RunOnGui([&view, &zoom] {
      if (!view.m_pPartList) return;
      auto& job = view.m_pPartList->Job();
      if (const auto* rec = job.pcbs.Find(job.shownPcbName)) zoom = rec->m_dVisualZoom;
    });
    return zoom;
  };
  lio.visionSetup = [&view](double zoom, double box, int threshold, int brightness) {
    smt::platform::PostToGui([&view, zoom, box, threshold, brightness] {
      if (view.m_pSetView) view.m_pSetView->ShowVisualParameters(threshold, brightness, 0, zoom, box);
    });
  };
  smt::stations::LabelingMachine::Of(view.machine()).SetIo(lio);
}
