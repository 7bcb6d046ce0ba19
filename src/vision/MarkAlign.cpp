#include "vision/MarkAlign.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <thread>

#include "core/LogFile.h"
#include "core/Machine.h"
#include "core/MachineState.h"
#include "job/BoardGeometry.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "platform/DecimalRounding.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "vision/PartRecognizers.h"

namespace smt::vision {

using smt::platform::MsgAnswer;
using smt::platform::MsgButtons;
using smt::platform::MsgIcon;
using smt::platform::ShowMessage;

namespace {

// The Mark camera services the shell installed on the machine.
struct InstalledCamera {
  std::mutex mutex;
  std::function<bool()> ready;
  std::function<bool(cv::Mat&)> grabFrame;
};
InstalledCamera& Camera(smt::Machine& m) { return m.Part<InstalledCamera>(); }

std::string Format(const char* fmt, double a, double b, double c) {
  char buf[160];
  std::snprintf(buf, sizeof buf, fmt, a, b, c);
  return buf;
}

double CutTo4(double v) { return smt::platform::RoundDecimals(v, 4); }

// Waits the run's pause gate in slices so a stop or a shut-down ends it.
bool WaitRunPauseGate(smt::Machine& m) {
  for (;;) {
    if (!m.runContinue.load()) return false;
    if (m.run.pauseEvent.Wait(std::chrono::milliseconds(100))) return m.runContinue.load();
    if (smt::platform::WorkerThreads::Instance().ShuttingDown()) return false;
  }
}

}  // namespace

void SetMarkCamera(smt::Machine& machine, std::function<bool()> cameraReady, std::function<bool(cv::Mat&)> grabFrame) {
  InstalledCamera& camera = Camera(machine);
  std::lock_guard lk(camera.mutex);
  camera.ready = std::move(cameraReady);
  camera.grabFrame = std::move(grabFrame);
}

MarkVisionIo DefaultMarkVisionIo(smt::Machine& m) {
  MarkVisionIo io;
  io.cameraReady = [&m] {
    InstalledCamera& camera = Camera(m);
    std::lock_guard lk(camera.mutex);
    return camera.ready ? camera.ready() : false;
  };
  io.grabFrame = [&m](cv::Mat& f) {
    std::function<bool(cv::Mat&)> grab;
    {
      InstalledCamera& camera = Camera(m);
      std::lock_guard lk(camera.mutex);
      grab = camera.grabFrame;
    }
    return grab ? grab(f) : false;
  };
  io.moveRelative = [&m](int32_t dx, int32_t dy, const MarkMoveSpeeds& s) {
    m.motion.targetX = m.curX.load() + dx;
    m.motion.targetY = m.curY.load() + dy;
    return smt::link::SendCmd64MoveXY(m, dx, s.xStart, s.xRun, dy, s.yStart, s.yRun, 0, 0, 0, 0, 0);
  };
  io.info = [&m](const std::string& line) {
    smt::link::RuntimeOf(m).Hooks().AppendInfoLine(line, true);
    CLogFile::Instance().Write(true, "%s", line.c_str());
  };
  io.waitPauseGate = [&m] { return WaitRunPauseGate(m); };
  io.sleepMs = [](int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  };
  io.text = [](const std::string&, const std::string& def) { return def; };
  io.pulsesPerMmX = m.steps.xPulsePerMm;
  io.pulsesPerMmY = m.steps.yPulsePerMm;
  return io;
}

double MarkVectorAngle(double dx, double dy) {
  if (dx == 0.0) return dy == 0.0 ? 0.0 : 90.0;
  if (dy == 0.0) return 0.0;
  return std::atan(dy / dx) * 180.0 / 3.141592653589793;
}

double BoardAngleFromMarks(double a1, double a2) {
  const bool sameSign = (a1 >= 0 && a2 >= 0) || (a1 < 0 && a2 < 0);
  return sameSign ? a2 - a1 : a2 + a1;
}

MarkAligner::MarkAligner(smt::Machine& machine, MarkVisionIo io, MarkAlignParams params, MarkMoveSpeeds toMark,
                         MarkMoveSpeeds correction)
    : machine_(machine), io_(std::move(io)), p_(params), toMark_(toMark), correction_(correction) {}

bool MarkAligner::Move(int32_t dx, int32_t dy, const MarkMoveSpeeds& s) {
  return io_.moveRelative ? io_.moveRelative(dx, dy, s) : false;
}
bool MarkAligner::Gate() { return io_.waitPauseGate ? io_.waitPauseGate() : machine_.runContinue.load(); }
void MarkAligner::Info(const std::string& line) {
  if (io_.info) io_.info(line);
}
std::string MarkAligner::Text(const char* key, const char* def) const { return io_.text ? io_.text(key, def) : def; }

bool MarkAligner::CheckCamera() {
  if (io_.cameraReady && io_.cameraReady() && io_.grabFrame) return true;
  ShowMessage(Text(kNoCameraKey, kNoCameraText), MsgButtons::Ok, MsgIcon::None);
  return false;
}

bool GrabMarkFrame(const MarkVisionIo& io, cv::Mat& frame) {
  if (io.grabFrame && io.grabFrame(frame) && !frame.empty()) return true;
  // No picture to judge: the camera, not the mark, failed.
  CLogFile::Instance().Write(true, "Mark camera: no frame came");
  ShowMessage(io.text ? io.text(kNoFrameKey, kNoFrameText) : std::string(kNoFrameText), MsgButtons::Ok, MsgIcon::None);
  return false;
}

bool MarkAligner::Grab(cv::Mat& frame) { return GrabMarkFrame(io_, frame); }

bool MarkAligner::AlignBoardMarks(const MarkAlignBoard& b, bool inRun) {
  const int32_t t1x = b.mark1X - b.cameraOffsetX + b.cellOriginX;
  const int32_t t1y = b.mark1Y - b.cameraOffsetY + b.cellOriginY;
  machine_.camera.currentMark = 1;
  machine_.camera.channelVisionMode = 0;
  if (io_.showCameraFields) io_.showCameraFields(p_.visualZoom, p_.visualBox, p_.contrast, p_.brightness);
  machine_.motion.targetX = t1x;
  machine_.motion.targetY = t1y;
  if (!Move(t1x - machine_.curX.load(), t1y - machine_.curY.load(), toMark_)) return false;
  if (inRun && !Gate()) return false;
  machine_.correction.mark1DevStepsX = machine_.correction.mark1DevStepsY = machine_.correction.mark2DevStepsX = machine_.correction.mark2DevStepsY = 0;
  machine_.correction.boardRotation = 0.0;
  if (!MeasureMark(inRun)) return false;
  if (b.mark2XMm == 0.0 && b.mark2YMm == 0.0) return true;

  const int32_t t2x = b.mark2X - b.cameraOffsetX + b.cellOriginX;
  const int32_t t2y = b.mark2Y - b.cameraOffsetY + b.cellOriginY;
  machine_.camera.currentMark = 2;
  if (p_.specialMark2 && io_.showCameraFields)
    io_.showCameraFields(p_.visualZoom, p_.visualBox, p_.mark2Contrast, p_.mark2Brightness);
  machine_.motion.targetX = t2x;
  machine_.motion.targetY = t2y;
  if (!Move(t2x - machine_.curX.load(), t2y - machine_.curY.load(), toMark_)) return false;
  if (inRun && !Gate()) return false;
  if (!MeasureMark(inRun)) return false;

  const double dxN = static_cast<double>(b.mark2X) - b.mark1X;
  const double dyN = static_cast<double>(b.mark2Y) - b.mark1Y;
  const float length = std::sqrt(static_cast<float>(dxN * dxN + dyN * dyN));
  if (length < 5.0f) {
    ShowMessage(kMarksTooClose, MsgButtons::Ok, MsgIcon::None);
    return false;
  }
  const double dxM = (static_cast<double>(b.mark2X) + machine_.correction.mark2DevStepsX.load()) - (b.mark1X + machine_.correction.mark1DevStepsX.load());
  const double dyM = (static_cast<double>(b.mark2Y) + machine_.correction.mark2DevStepsY.load()) - (b.mark1Y + machine_.correction.mark1DevStepsY.load());
  machine_.correction.boardRotation = BoardAngleFromMarks(MarkVectorAngle(dxN, dyN), MarkVectorAngle(dxM, dyM));

  if (!inRun) {
    ManualMarkOffsetsMm m;
    m.mark1X = CutTo4(machine_.correction.mark1DevStepsX.load() / io_.pulsesPerMmX);
    m.mark1Y = CutTo4(machine_.correction.mark1DevStepsY.load() / io_.pulsesPerMmY);
    m.mark2X = CutTo4(machine_.correction.mark2DevStepsX.load() / io_.pulsesPerMmX);
    m.mark2Y = CutTo4(machine_.correction.mark2DevStepsY.load() / io_.pulsesPerMmY);
    io_.storeManualOffsets(m);
  }
  return true;
}

bool MarkAligner::MeasureMark(bool inRun) {
  if (!CheckCamera()) return false;
  const bool second = machine_.camera.currentMark.load() != 1;
  const int contrast = second && p_.specialMark2 ? p_.mark2Contrast : p_.contrast;
  const int brightness = second && p_.specialMark2 ? p_.mark2Brightness : p_.brightness;
  if (io_.showCameraFields) io_.showCameraFields(p_.visualZoom, p_.visualBox, contrast, brightness);
  if (io_.lightSettle) io_.lightSettle();

  for (int pass = 1; pass <= p_.passes; ++pass) {
    if (io_.sleepMs) io_.sleepMs(p_.collectTimeMs);
    cv::Mat frame;
    if (!Grab(frame)) return false;
    double x = 0, y = 0;
    CircleResult c = RecognizePart(frame, contrast, p_.invert, p_.visualBox, p_.visualZoom, x, y);
    if (!c.found || c.x < 0 || c.radius >= 0.5 * p_.visualBox * p_.visualZoom) {
      CLogFile::Instance().Write(true, "Mark size error !");
      ShowMessage(Text(kMarkSizeKey, kMarkSizeText), MsgButtons::Ok, MsgIcon::None);
      return false;
    }
    const double d = 2.0 * c.radius / p_.visualZoom;
    Info(Format("Mark: X = %0.4f，Y = %0.4f，D = %0.4f", x, y, d));
    const double pr = p_.detectPrecision;
    if (d > (pr + 100.0) * p_.markDiameter / 100.0 || d < (100.0 - pr) * p_.markDiameter / 100.0) {
      ShowMessage(Text(kMarkSizeKey, kMarkSizeText), MsgButtons::Ok, MsgIcon::None);
      return false;
    }
    const int32_t dY = static_cast<int32_t>(y * io_.pulsesPerMmY);
    const int32_t dX = static_cast<int32_t>(x * io_.pulsesPerMmX);
    if (!Move(-dX, dY, correction_)) return false;
    if (inRun && !Gate()) return false;
    if (machine_.camera.currentMark.load() == 1) {
      machine_.correction.mark1DevStepsX += -dX;
      machine_.correction.mark1DevStepsY += dY;
    } else {
      machine_.correction.mark2DevStepsX += -dX;
      machine_.correction.mark2DevStepsY += dY;
    }
  }
  return true;
}

bool MarkAligner::RecognizeMark(const SpecifiedMark& m, int& counterX, int& counterY) {
  if (io_.showCameraFields) io_.showCameraFields(m.zoom, m.boxMm, m.contrast, m.brightness);
  if (!CheckCamera()) return false;
  if (io_.lightSettle) io_.lightSettle();
  int64_t sx = 0, sy = 0;
  int bound = m.passes;
  for (int pass = 0; pass < bound; ++pass) {
    if (io_.sleepMs) io_.sleepMs(m.collectTimeMs);
    cv::Mat frame;
    if (!Grab(frame)) return false;
    double x = 0, y = 0;
    bool found = false;
    if (m.kind == 1) {
      const CircleResult c = RecognizePart(frame, m.contrast, m.invert, m.boxMm, m.zoom, x, y);
      found = c.found && c.x >= 0 && c.radius < 0.5 * m.boxMm * m.zoom;
      if (found) {
        const double d = 2.0 * c.radius / m.zoom;
        Info(Format("SpecifyMark: X = %0.4f，Y = %0.4f，D = %0.4f", x, y, d));
        const double pr = m.precisionPercent;
        if (d > (pr + 100.0) * m.diameterMm / 100.0 || d < (100.0 - pr) * m.diameterMm / 100.0) {
          ShowMessage(Text(kMarkSizeKey, kMarkSizeText), MsgButtons::Ok, MsgIcon::None);
          return false;
        }
      }
    } else {
      double a = 0;
      const cv::RotatedRect r = RecognizeSpecialPart(1, frame, m.contrast, m.invert, 0, "", m.boxMm, m.zoom, 0, 0, x, y, a);
      found = r.center.x >= 0;
      if (found) {
        const double w = r.size.width / m.zoom, h = r.size.height / m.zoom;
        char buf[200];
        std::snprintf(buf, sizeof buf, "Mark: X = %0.4f，Y = %0.4f，A = %0.4f，W = %0.2f，H = %0.2f", x, y, a, w, h);
        Info(buf);
        const double pr = m.precisionPercent;
        if (w > (100.0 + pr) * m.diameterMm / 100.0 || w < (100.0 - pr) * m.diameterMm / 100.0) {
          if (ShowMessage(Text(kMarkSizeKey, kMarkSizeText), MsgButtons::YesNo, MsgIcon::Question) != MsgAnswer::Yes)
            return false;
        }
      }
    }
    if (!found) {
      if (pass == 0 && bound == m.passes) {
        ++bound;  // one extra look after a first miss
        continue;
      }
      CLogFile::Instance().Write(true, "Mark error !");
      ShowMessage(Text(kMarkFailedKey, kMarkFailedText), MsgButtons::Ok, MsgIcon::None);
      return false;
    }
    const int32_t dX = static_cast<int32_t>(x * io_.pulsesPerMmX);
    const int32_t dY = static_cast<int32_t>(y * io_.pulsesPerMmY);
    sx += dX;
    sy += dY;
    if (std::llabs(sx) > m.maxCorrectionPulses || std::llabs(sy) > m.maxCorrectionPulses) {
      if (ShowMessage(Text(kMarkToleranceKey, kMarkToleranceText), MsgButtons::YesNo, MsgIcon::None) != MsgAnswer::Yes)
        return false;
    }
    if (!Move(-dX, dY, correction_)) return false;
    counterX += -dX;
    counterY += dY;
    if (!Gate()) return false;
  }
  return true;
}

}  // namespace smt::vision
