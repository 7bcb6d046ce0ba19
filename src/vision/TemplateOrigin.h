#pragma once
// Two Mark-camera operations built on the mark centring: centring on the
// feature a template image shows (template matching), and the visual-origin
// calibration that centres on the machine's reference mark and tells the
// controller that the centred position is the nominal one.
#include <cstdint>

#include <opencv2/core.hpp>

#include "vision/MarkAlign.h"
#include "platform/SystemText.h"

namespace smt::vision {

struct TemplateCentring {
  int scorePercent = 80;  // a match needs a score above this / 100
  int contrast = 0, brightness = 0;
  int collectTimeMs = 100;
  int passes = 2;
  int maxCorrectionPulses = 1000;
  double boxMm = 5.0;
  double zoom = 18.0;  // pixels per mm (the PCB editor's)
};

inline constexpr smt::platform::SystemText kTemplateTooSmall{"VisionMessagesConfig", "VisionMessages.c_TemplateTooSmall", "size to small !"};
inline constexpr smt::platform::SystemText kTemplateTooBig{"VisionMessagesConfig", "VisionMessages.c_TemplatePartTooBig", "part size to big !"};
inline constexpr smt::platform::SystemText kTemplateLarger{"VisionMessagesConfig", "VisionMessages.c_TemplateLargerThanImage", "template > rio image !"};
inline constexpr smt::platform::SystemText kTemplateFailed{"VisionMessagesConfig", "VisionMessages.c_TemplateFailed", "模板识别失败 !"};
inline constexpr smt::platform::SystemText kTemplateTolerance{"VisionMessagesConfig", "VisionMessages.c_TemplateTolerance", "模板识别位置超出设定允许公差 !  是-继续，否-终止"};

// Centres the Mark camera on the template's feature; the corrections are
// added to the caller's counters. `templ` is the loaded template image.
bool MatchPartTemplate(const TemplateCentring& c, const cv::Mat& templ, const MarkVisionIo& io,
                       const MarkMoveSpeeds& correction, int& counterX, int& counterY);

struct VisualOriginSettings {
  int passes = 1;           // m_CottectionTimeReset
  int collectTimeMs = 100;  // m_OriginVisualCollectTime
  double boxMm = 2.0;       // m_VisualOriginBox
  double markSizeMm = 1.0;  // m_VisualOriginSize
  int contrast = 0, brightness = 0;
  bool invert = false;
  double zoom = 18.0;        // the PCB editor's
  int detectPrecision = 20;  // percent
  bool networkLink = true;   // m_CommModel 1: command 0x70 with the position
};

// Centres on the visual-origin mark and shifts `machine`'s position counters
// back by each correction; on the network link the position is sent with
// command 0x70. False when it stopped (no camera, mark not found or out of
// size, the position command failed).
bool CalibrateVisualOrigin(smt::Machine& machine, const VisualOriginSettings& s, const MarkVisionIo& io,
                           const MarkMoveSpeeds& correction);

}  // namespace smt::vision
