#include "vision/TemplateOrigin.h"

#include <cstdio>
#include <cstdlib>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "link/LinkGlobals.h"
#include "link/MachineCommands.h"
#include "platform/MessageService.h"
#include "vision/PartRecognizers.h"

namespace smt::vision {

using smt::platform::MsgAnswer;
using smt::platform::MsgButtons;
using smt::platform::MsgIcon;
using smt::platform::ShowMessage;

namespace {
std::string Text(const MarkVisionIo& io, const char* key, const char* def) { return io.text ? io.text(key, def) : def; }
bool Ready(const MarkVisionIo& io) {
  if (io.cameraReady && io.cameraReady() && io.grabFrame) return true;
  ShowMessage(Text(io, kNoCameraKey, kNoCameraText));
  return false;
}
void Info(const MarkVisionIo& io, const std::string& line) {
  if (io.info) io.info(line);
}
}  // namespace

bool MatchPartTemplate(const TemplateCentring& c, const cv::Mat& templ, const MarkVisionIo& io,
                       const MarkMoveSpeeds& correction, int& counterX, int& counterY) {
  if (!Ready(io)) return false;
  if (io.showCameraFields) io.showCameraFields(c.zoom, c.boxMm, c.contrast, c.brightness);
  if (io.lightSettle) io.lightSettle();
  long long sx = 0, sy = 0;
  int bound = c.passes;
  for (int pass = 0; pass < bound; ++pass) {
    if (io.sleepMs) io.sleepMs(c.collectTimeMs);
    cv::Mat frame;
    // No picture: nothing was measured and nothing moves.
    if (!GrabMarkFrame(io, frame)) return false;
    int s = static_cast<int>(c.zoom * c.boxMm);
    if (s < 5) {
      ShowMessage(kTemplateTooSmall);
      return false;
    }
    if (s > frame.rows || s > frame.cols) {
      ShowMessage(kTemplateTooBig);
      return false;
    }
    while (s % 4 != 0) --s;
    const cv::Mat square = frame(cv::Rect((frame.cols - s) / 2, (frame.rows - s) / 2, s, s));
    if (templ.empty() || square.rows + 4 < templ.rows || square.cols + 4 < templ.cols) {
      ShowMessage(kTemplateLarger);
      return false;
    }
    double score = 0;
    int ox = 0, oy = 0;
    const cv::RotatedRect r = MatchTemplateFind(square, templ, score, ox, oy, c.scorePercent / 100.0);
    if (r.center.x >= 0 && score > c.scorePercent / 100.0) {
      const double x = ox / c.zoom, y = oy / c.zoom;
      char buf[200];
      std::snprintf(buf, sizeof buf, "template: X=%0.2f，Y=%0.2f，w=%0.2f，h=%0.2f，score=%0.2f", x, y,
                    r.size.width / c.zoom, r.size.height / c.zoom, score);
      Info(io, buf);
      const int32_t dX = static_cast<int32_t>(x * io.pulsesPerMmX);
      const int32_t dY = static_cast<int32_t>(y * io.pulsesPerMmY);
      sx += dX;
      sy += dY;
      if (std::llabs(sx) > c.maxCorrectionPulses || std::llabs(sy) > c.maxCorrectionPulses) {
        if (ShowMessage(kTemplateTolerance, MsgButtons::YesNo, MsgIcon::Question) != MsgAnswer::Yes) return false;
      }
      if (!io.moveRelative || !io.moveRelative(-dX, dY, correction)) return false;
      counterX -= dX;
      counterY += dY;
      if (io.waitPauseGate && !io.waitPauseGate()) return false;
      continue;
    }
    if (pass == 0 && bound == c.passes) {
      ++bound;
      continue;
    }
    CLogFile::Instance().Write(true, "Mark error !");
    ShowMessage(kTemplateFailed);
    return false;
  }
  return true;
}

bool CalibrateVisualOrigin(smt::Machine& m, const VisualOriginSettings& s, const MarkVisionIo& io,
                           const MarkMoveSpeeds& correction) {
  if (!Ready(io)) return false;
  if (io.showCameraFields) io.showCameraFields(s.zoom, s.boxMm, s.contrast, s.brightness);
  if (io.lightSettle) io.lightSettle();
  for (int pass = 1; pass <= s.passes; ++pass) {
    if (io.sleepMs) io.sleepMs(s.collectTimeMs);
    cv::Mat frame;
    // No picture: not a mark of the wrong size; nothing was measured, and
    // neither the machine nor the counters move.
    if (!GrabMarkFrame(io, frame)) return false;
    double x = 0, y = 0;
    const CircleResult c = RecognizePart(frame, s.contrast, s.invert, s.boxMm, s.zoom, x, y);
    if (!c.found || c.x < 0 || c.radius >= 0.5 * s.boxMm * s.zoom) {
      CLogFile::Instance().Write(true, "Mark size error !");
      ShowMessage(Text(io, kMarkSizeKey, kMarkSizeText));
      return false;
    }
    const double d = 2.0 * c.radius / s.zoom;
    char buf[200];
    std::snprintf(buf, sizeof buf, "VisualOrigin: X = %0.4f，Y = %0.4f，D = %0.4f", x, y, d);
    Info(io, buf);
    const double p = s.detectPrecision;
    if (d > (100.0 + p) * s.markSizeMm / 100.0 || d < (100.0 - p) * s.markSizeMm / 100.0) {
      ShowMessage(Text(io, kMarkSizeKey, kMarkSizeText));
      return false;
    }
    const int32_t dX = static_cast<int32_t>(x * io.pulsesPerMmX);
    const int32_t dY = static_cast<int32_t>(y * io.pulsesPerMmY);
    if (!io.moveRelative || !io.moveRelative(-dX, dY, correction)) continue;
    // The centred position is the nominal one: undo the correction in the
    // counters.
    m.curX += dX;
    m.curY -= dY;
    if (s.networkLink) {
      smt::link::MachineCommand cmd;
      cmd.code = 0x70;
      const int32_t px = m.curX.load(), py = m.curY.load();
      for (int i = 0; i < 4; ++i) cmd.udpPayload.push_back(static_cast<uint8_t>(static_cast<uint32_t>(px) >> (8 * i)));
      for (int i = 0; i < 4; ++i) cmd.udpPayload.push_back(static_cast<uint8_t>(static_cast<uint32_t>(py) >> (8 * i)));
      cmd.reply = &m.Part<smt::link::ReplyEvents>().axisMove;
      cmd.udpOnly = true;
      if (smt::link::SendMachineCommand(m, cmd) != smt::link::CommandResult::Ok) return false;
    }
  }
  return true;
}

}  // namespace smt::vision
