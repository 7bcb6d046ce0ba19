#include "vision/PlatformVision.h"

#include <cstdio>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "link/LinkGlobals.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/SerialMove.h"
#include "job/BoardGeometry.h"
#include "platform/MessageService.h"
#include "vision/MarkAlign.h"
#include "vision/PartRecognizers.h"

namespace smt::vision {

PlatformVisionIo DefaultPlatformVisionIo(smt::Machine& m) {
  PlatformVisionIo io;
  io.head = DefaultHeadVisionIo(m);
  io.selectLight = [&m](int channel, int brightness) { smt::link::SelectCamera(m, channel, brightness, 0); };
  // The serial three-axis move: X, no step of the platform's axis (1 or 12),
  // the head's A turn in the third block.
  io.movePlatformX = [&m](int platform, int head, int32_t dx, int32_t rotation, const HeadVisionSpeeds& s) {
    return smt::link::MoveXYSerial(m, dx, s.xStart, s.xRun, platform == 1 ? 1 : 12, 0, 10, 10,
                                   static_cast<uint8_t>(head), rotation, s.aStart, s.aRun);
  };
  io.vacuumKpa = [&m] { return m.link.vacuumKpa.load(); };
  // The run geometry's offsets of nozzles 2..8 from nozzle 1.
  io.headOffsetX = [&m](int head) { return head >= 2 && head <= 8 ? m.steps.nozzleOffsetX[static_cast<size_t>(head - 2)] : 0; };
  io.headRotation = [&m](int head) { return head >= 1 && head <= 8 ? m.motion.headMoveArgs[head - 1].load() : 0; };
  return io;
}

bool PlatformVisionCentre(smt::Machine& m, HeadVisionJob& job, int requiredVacuumKpa, int platform,
                          const std::array<PlatformCamera, 2>& cameras, const PlatformVisionIo& io) {
  const int h = job.headTarget;
  int32_t rotation = 0;
  if (job.visionCamera == 1) {
    m.camera.channelVisionMode = 1;
    if (io.selectLight) io.selectLight(2, job.brightness);
    if (h >= 1 && h <= 4) {
      const int32_t off = h == 1 ? 0 : (io.headOffsetX ? io.headOffsetX(h) : 0);
      m.camera.platformVisionTargetX = cameras[0].cameraPulseX - off;
      rotation = io.headRotation ? io.headRotation(h) : 0;
    }
  } else if (job.visionCamera == 2) {
    m.camera.channelVisionMode = 2;
    if (io.selectLight) io.selectLight(3, job.brightness);
    const int32_t off = h >= 2 && h <= 4 && io.headOffsetX ? io.headOffsetX(h) : 0;
    m.camera.platformVisionTargetX = cameras[1].cameraPulseX - off;
  }
  if (platform == 1 || platform == 2) {
    const int32_t dx = m.camera.platformVisionTargetX.load() - m.curX.load();
    if (!io.movePlatformX || !io.movePlatformX(platform, h, dx, rotation, job.speeds)) return false;
  }
  const auto gate = [&] { return io.head.waitPauseGate ? io.head.waitPauseGate() : m.runContinue.load(); };
  if (!gate() || !gate()) return true;
  if ((io.vacuumKpa ? io.vacuumKpa() : 0) < requiredVacuumKpa) {
    job.failed = 1;
    return false;
  }
  if (RecognizePlatformPart(m, job, cameras, io)) return true;
  return !gate();
}

bool RecognizePlatformPart(smt::Machine& m, HeadVisionJob& job, const std::array<PlatformCamera, 2>& cameras,
                           const PlatformVisionIo& io) {
  const HeadVisionIo& hio = io.head;
  const int cam = job.visionCamera == 2 ? 2 : 1;
  if (!hio.cameraReady || !hio.cameraReady(cam) || !hio.grabFrame) {
    smt::platform::ShowMessage(hio.text ? hio.text(kNoCameraKey, kNoCameraText) : kNoCameraText);
    return true;
  }
  const bool hasCamera = job.visionCamera == 1 || job.visionCamera == 2;
  const PlatformCamera& pc = cameras[cam - 1];
  const int contrast = job.contrast != 0 ? job.contrast : pc.lightContrast;
  const double zoom = hasCamera ? pc.camera.zoom : 0.0;
  const int h = job.headTarget;
  const int32_t headX = hasCamera && h >= 1 && h <= 8 ? pc.camera.correctionPulseX[h - 1] : 0;
  const int32_t headY = hasCamera && h >= 1 && h <= 8 ? pc.camera.correctionPulseY[h - 1] : 0;
  const int collect = job.timeLimit != -1 ? job.timeLimit : pc.camera.collectTimeMs;
  job.correctionX = job.correctionY = 0;
  job.targetAngle = NormalizeTargetAngle(job.targetAngle);
  if (hio.showCameraFields) hio.showCameraFields(job.contrast, job.brightness, job.recognitionType, zoom, 0.0);
  const double aScale = h >= 1 && h <= 4 ? hio.pulsesPerDegA : 0.0;
  if (hio.sleepMs) hio.sleepMs(collect);
  cv::Mat frame;
  double x = 0, y = 0, a = 0;
  cv::RotatedRect r(cv::Point2f(-1, -1), cv::Size2f(0, 0), 0);
  // The recognition box is the whole search square the camera's scale allows.
  if (hio.grabFrame(cam, frame) && !frame.empty() && zoom > 0) {
    const double box = std::min(frame.rows, frame.cols) / zoom;
    r = RecognizeSpecialPart(h >= 1 && h <= 8 ? h : 1, frame, contrast, hio.invert, job.recognitionType,
                             job.packageName, box, zoom, job.partAngle, job.targetAngle, x, y, a, false,
                             PartExpectation{job.partLength, job.partWidth});
  }
  if (r.center.x < 0) {
    CLogFile::Instance().Write(true, "Visual error !");
    job.failed = 1;
  } else {
    const int32_t dX = static_cast<int32_t>(x * hio.pulsesPerMmX);
    const int32_t dY = static_cast<int32_t>(y * hio.pulsesPerMmY);
    const int32_t dA = static_cast<int32_t>(a * aScale);
    char buf[200];
    std::snprintf(buf, sizeof buf, "Visual: X = %0.4f，Y = %0.4f，A = %0.4f，W = %0.2f，H = %0.2f", x, y, a,
                  r.size.width / zoom, r.size.height / zoom);
    if (hio.report) hio.report(buf, buf);
    if (job.visionMode == 2) {
      job.correctionA = dA;
      job.correctionX = headX + dX;
      job.correctionY = headY + dY;
      job.failed = 0;
    }
  }
  return hio.waitPauseGate ? !hio.waitPauseGate() : !m.runContinue.load();
}

}  // namespace smt::vision
