#include "vision/HeadVision.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "link/LinkRuntime.h"
#include "link/MotionCommands.h"
#include "link/MachineCommands.h"
#include "link/MotionGlobals.h"
#include "link/ProcessCommands.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "vision/MarkAlign.h"
#include "vision/PartRecognizers.h"

namespace smt::vision {

namespace {

bool RightAngle(double a) { return a == 0.0 || a == 90.0 || a == 180.0 || a == 270.0; }

std::string VisualLine(double x, double y, double a, double w, double h, bool logForm) {
  char buf[200];
  std::snprintf(buf, sizeof buf,
                logForm ? "Visual: X = %0.4f，Y = %0.4f，A =  %0.4f，W = %0.2f，H = %0.2f"
                        : "Visual: X = %0.4f，Y = %0.4f，A = %0.4f，W = %0.2f，H = %0.2f",
                x, y, a, w, h);
  return buf;
}

// The measured part must be about the size of the part's package: a blob
// of another size (the nozzle, dirt, two parts) is not the part.
bool SizeFitsPart(const cv::RotatedRect& r, double zoom, double length, double width) {
  const double m = std::max(length, width);
  if (m <= 0.0 || zoom <= 0.0) return true;  // no size to compare with
  const double measured = std::max(r.size.width, r.size.height) / zoom;
  return measured >= kPartSizeLow * m && measured <= kPartSizeHigh * m;
}

// A correction in steps; false when it does not fit the 32-bit step field.
bool ToSteps(double v, int32_t& out) {
  if (!std::isfinite(v) || v >= 2147483647.0 || v <= -2147483648.0) return false;
  out = static_cast<int32_t>(v);
  return true;
}

// The recognised part turned into step corrections, or false when the
// result cannot be used (wrong size, a correction beyond the step fields).
bool UsableResult(const cv::RotatedRect& r, const HeadVisionJob& job, double zoom, double x, double y, double a,
                  const HeadVisionIo& io, int32_t& dX, int32_t& dY, int32_t& dA) {
  if (r.center.x < 0) return false;
  if (!SizeFitsPart(r, zoom, job.partLength, job.partWidth)) {
    CLogFile::Instance().Write(true, "Visual size error ! W = %0.2f，H = %0.2f", r.size.width / zoom,
                               r.size.height / zoom);
    return false;
  }
  if (!ToSteps(x * io.pulsesPerMmX, dX) || !ToSteps(y * io.pulsesPerMmY, dY) || !ToSteps(a * io.pulsesPerDegA, dA)) {
    CLogFile::Instance().Write(true, "Visual correction out of range ! X = %g，Y = %g，A = %g", x, y, a);
    return false;
  }
  return true;
}

bool PauseGate(smt::Machine& m) {
  for (;;) {
    if (!m.runContinue.load()) return false;
    if (m.run.pauseEvent.Wait(std::chrono::milliseconds(100))) return m.runContinue.load();
    if (smt::platform::WorkerThreads::Instance().ShuttingDown()) return false;
  }
}

}  // namespace

HeadVisionIo DefaultHeadVisionIo(smt::Machine& m) {
  HeadVisionIo io;
  io.moveCorrection = [&m](int32_t dx, int32_t dy, int head, int32_t da, const HeadVisionSpeeds& s) {
    return smt::link::SendCmd64MoveXY(m, dx, s.xStart, s.xRun, dy, s.yStart, s.yRun, head, da, s.aStart, s.aRun, 0);
  };
  io.waitPauseGate = [&m] { return PauseGate(m); };
  io.report = [&m](const std::string& info, const std::string& log) {
    smt::link::RuntimeOf(m).Hooks().AppendInfoLine(info, true);
    CLogFile::Instance().Write(true, "%s", log.c_str());
  };
  io.sleepMs = [](int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  };
  io.text = [](const std::string&, const std::string& def) { return def; };
  io.pulsesPerMmX = m.steps.xPulsePerMm;
  io.pulsesPerMmY = m.steps.yPulsePerMm;
  io.pulsesPerDegA = m.steps.aPulsePerDeg;
  return io;
}

double NormalizeTargetAngle(double a) {
  // Whole turns first (a row of 900 degrees is one of 180), so that every
  // angle ends in -90..90 for the recognisers.
  if (!std::isfinite(a)) return 0.0;
  if (a > 360.0 || a < 0.0) {
    a = std::fmod(a, 360.0);
    if (a < 0.0) a += 360.0;
  }
  if ((a > 90.0 && a < 180.0) || (a >= 180.0 && a < 270.0)) return a - 180.0;
  if (a >= 270.0 && a <= 360.0) return a - 360.0;
  return a;
}

double HeadBoxSize(double length, double width, double partAngle, double margin, double visualSize) {
  const double m = std::max(length, width);
  double box = m + margin;
  if (!RightAngle(static_cast<double>(static_cast<int>(partAngle)))) box *= 1.4;
  if (box > visualSize || box == 0.0) box = visualSize;
  return box;
}

double FlyBoxSize(double length, double width, double partAngle, double margin, double visualSize) {
  double box = std::max(length, width) + margin;
  if (box > visualSize || box == 0.0) box = visualSize;
  if (!RightAngle(partAngle)) box *= 1.4;
  return box;
}

bool RecognizeHeadPart(HeadVisionJob& job, const HeadVisionCamera& cam, const HeadVisionIo& io,
                       const std::array<int32_t, 2>* sharedCorrection) {
  const int camera = job.visionCamera == 2 ? 2 : 1;
  if (!io.cameraReady || !io.cameraReady(camera) || !io.grabFrame) {
    smt::platform::ShowMessage(io.text ? io.text(kNoCameraKey, kNoCameraText) : kNoCameraText);
    return false;
  }
  const double box = HeadBoxSize(job.partLength, job.partWidth, job.partAngle, io.autoMagnify, cam.visualSize);
  const int precXY = job.xyTolerance != -1 ? job.xyTolerance : cam.precisionXY;
  const int precA = job.angleTolerance != -1 ? job.angleTolerance : cam.precisionA;
  const int collect = job.timeLimit != -1 ? job.timeLimit : cam.collectTimeMs;
  const int h = job.headTarget;
  int32_t headX = h >= 1 && h <= 8 ? cam.correctionPulseX[h - 1] : 0;
  int32_t headY = h >= 1 && h <= 8 ? cam.correctionPulseY[h - 1] : 0;
  if (h == 2 && sharedCorrection) {
    headX = (*sharedCorrection)[0];
    headY = (*sharedCorrection)[1];
  }
  job.correctionX = job.correctionY = 0;
  job.targetAngle = NormalizeTargetAngle(job.targetAngle);
  if (io.showCameraFields) io.showCameraFields(job.contrast, job.brightness, job.recognitionType, cam.zoom, box);
  if (io.lightSettle) io.lightSettle();
  const int slot = h >= 1 && h <= 8 ? h : 1;

  for (int pass = 1; pass <= cam.correctionTimes; ++pass) {
    if (!sharedCorrection && io.sleepMs) io.sleepMs(collect);
    cv::Mat frame;
    double x = 0, y = 0, a = 0;
    cv::RotatedRect r(cv::Point2f(-1, -1), cv::Size2f(0, 0), 0);
    if (io.grabFrame(camera, frame) && !frame.empty())
      r = RecognizeSpecialPart(slot, frame, job.contrast, io.invert, job.recognitionType, job.packageName, box,
                               cam.zoom, job.partAngle, job.targetAngle, x, y, a, false,
                               PartExpectation{job.partLength, job.partWidth});
    int32_t dX = 0, dY = 0, dA = 0;
    if (!UsableResult(r, job, cam.zoom, x, y, a, io, dX, dY, dA)) {
      if (io.waitPauseGate && !io.waitPauseGate()) {
        job.failed = 0;
        return false;
      }
      continue;
    }
    if (io.report)
      io.report(VisualLine(x, y, a, r.size.width / cam.zoom, r.size.height / cam.zoom, false),
                VisualLine(x, y, a, r.size.width / cam.zoom, r.size.height / cam.zoom, true));
    if (job.visionMode == 2) {
      job.correctionX = dX;
      job.correctionY = dY;
      job.correctionA = dA;
    } else if (!(std::abs(dX) <= precXY && std::abs(dY) <= precXY && std::abs(dA) <= precA)) {
      const bool moved = io.moveCorrection && io.moveCorrection(dX, dY, h, -dA, job.speeds);
      if (!moved || (io.waitPauseGate && !io.waitPauseGate())) {
        job.failed = 0;
        return false;
      }
      job.correctionX += dX;
      job.correctionY += dY;
      continue;
    }
    job.correctionX += headX;
    job.correctionY += headY;
    job.failed = 0;
    return true;
  }
  CLogFile::Instance().Write(true, "%s", kVisualTimesOut);
  job.failed = 1;
  if (io.setRowState) io.setRowState(job.row, 8);
  return true;
}

void RecognizeLiveFrame(HeadVisionJob& job, const HeadVisionCamera& cam, const cv::Mat& frame,
                        const HeadVisionIo& io, double flyCorrectYmm) {
  if (job.visionMode != 2) return;
  const double box = FlyBoxSize(job.partLength, job.partWidth, job.partAngle, io.autoMagnify, cam.visualSize);
  const int h = job.headTarget;
  const int32_t headX = h >= 1 && h <= 8 ? cam.correctionPulseX[h - 1] : 0;
  const int32_t flyY = static_cast<int32_t>(flyCorrectYmm * io.pulsesPerMmY);
  job.correctionX = job.correctionY = 0;
  job.targetAngle = NormalizeTargetAngle(job.targetAngle);
  if (io.showCameraFields) io.showCameraFields(job.contrast, job.brightness, job.recognitionType, cam.zoom, box);
  double x = 0, y = 0, a = 0;
  cv::RotatedRect r(cv::Point2f(-1, -1), cv::Size2f(0, 0), 0);
  if (!frame.empty())
    r = RecognizeSpecialPart(h >= 1 && h <= 8 ? h : 1, frame, job.contrast, io.invert, job.recognitionType,
                             job.packageName, box, cam.zoom, job.partAngle, job.targetAngle, x, y, a, false,
                             PartExpectation{job.partLength, job.partWidth});
  int32_t dX = 0, dY = 0, dA = 0;
  if (!UsableResult(r, job, cam.zoom, x, y, a, io, dX, dY, dA)) {
    CLogFile::Instance().Write(true, "Visual error !");
    job.correctionX = job.correctionY = job.correctionA = 0;
    job.failed = 1;
    return;
  }
  const std::string line = VisualLine(x, y, a, r.size.width / cam.zoom, r.size.height / cam.zoom, false);
  if (io.report) io.report(line, line);
  job.failed = 0;
  job.correctionX = headX + dX;
  job.correctionY = dY + flyY;
  job.correctionA = dA;
}

FlyIo DefaultFlyIo(smt::Machine& m) {
  FlyIo io;
  io.selectCamera = [&m](int channel, int brightness) { smt::link::SelectCamera(m, channel, brightness, 0); };
  io.waitPauseGate = [&m] { return PauseGate(m); };
  io.pulsesPerMmX = m.steps.xPulsePerMm;
  io.pulsesPerMmY = m.steps.yPulsePerMm;
  return io;
}

std::array<uint8_t, 130> BuildFlyPlacePayload(const smt::Machine& m, const FlyPass& f, const FlySpeeds& s, int headTarget, double rowXmm,
                                             double rowYmm, double offXmm, double offYmm, double ppmX, double ppmY) {
  std::array<uint8_t, 130> p{};
  using smt::link::PutLE32;
  const int32_t x0 = m.curX.load(), y0 = m.curY.load();
  PutLE32(p, 0, x0);
  PutLE32(p, 4, y0);
  p[8] = 0x80;
  PutLE32(p, 9, f.startX - x0);
  PutLE32(p, 13, f.lineY - y0);
  PutLE32(p, 17, s.xStart);
  PutLE32(p, 21, s.xRun);
  p[25] = 0;
  for (int i = 0; i < 8; ++i) PutLE32(p, 26 + 4 * i, f.headTurns[i]);
  PutLE32(p, 58, s.a1Start);
  PutLE32(p, 62, s.a1Run);
  p[66] = 0x01;
  p[67] = 0x01;
  p[68] = static_cast<uint8_t>(f.headCount);
  PutLE32(p, 69, f.endX - f.startX);
  PutLE32(p, 73, f.flyStartSpeed);
  PutLE32(p, 77, f.flyNormalSpeed);
  for (int i = 0; i < 8; ++i) PutLE32(p, 81 + 4 * i, f.triggers[i]);
  p[113] = 2;
  int32_t px = static_cast<int32_t>((rowXmm + offXmm) * ppmX) - f.endX + f.cellOriginX;
  int32_t py = static_cast<int32_t>((rowYmm + offYmm) * ppmY) - f.lineY + f.cellOriginY;
  if (headTarget >= 2 && headTarget <= 8) {
    px -= f.headOffsetX[headTarget - 1];
    py -= f.headOffsetY[headTarget - 1];
  }
  PutLE32(p, 114, px);
  PutLE32(p, 118, py);
  PutLE32(p, 122, s.xStart);
  PutLE32(p, 126, s.xRun);
  return p;
}

bool FlyVisionAllHeads(smt::Machine& m, const FlyPass& f, const FlySpeeds& s, int headTarget, int brightness,
                       bool combined, double rowXmm, double rowYmm, double offXmm, double offYmm, const FlyIo& io) {
  m.camera.channelVisionMode = 1;
  if (io.selectCamera) io.selectCamera(2, brightness);
  const auto gate = [&] { return io.waitPauseGate ? io.waitPauseGate() : m.runContinue.load(); };
  if (!combined) {
    if (!smt::link::SendCmd65MoveXYHeads(m, f.startX - m.curX.load(), s.xStart, s.xRun, f.lineY - m.curY.load(),
                                         s.yStart, s.yRun, f.headTurns, s.a1Start, s.a1Run, 0))
      return false;
    if (!gate()) return false;
    if (io.resetShotIndex) io.resetShotIndex();
    std::array<int32_t, 12> offsets{};
    for (int i = 0; i < 8; ++i) offsets[i] = f.triggers[i];
    if (!smt::link::SendCmd63FlyMove(m, static_cast<uint8_t>(f.headCount), f.endX - f.startX, f.flyStartSpeed,
                                     f.flyNormalSpeed, offsets))
      return false;
  } else {
    const auto p = BuildFlyPlacePayload(m, f, s, headTarget, rowXmm, rowYmm, offXmm, offYmm, io.pulsesPerMmX,
                                        io.pulsesPerMmY);
    if (io.resetShotIndex) io.resetShotIndex();
    if (!smt::link::SendCmd73VisionMove(m, p)) return false;
    if (!m.runContinue.load()) return false;
  }
  if (io.selectCamera) io.selectCamera(0, brightness);
  return true;
}

}  // namespace smt::vision
