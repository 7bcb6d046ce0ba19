#pragma once
// Centring of a picked part by an up-looking vision camera: stop and look
// with correction moves (RecognizeHeadPart), and the single look at a fly
// frame of one head (RecognizeLiveFrame). The run's per-head part job is
// mapped onto HeadVisionJob by the caller; the results come back in it.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include <opencv2/core.hpp>

#include "core/Machine.h"

namespace smt::vision {

struct HeadVisionSpeeds {
  int32_t xStart = 1, xRun = 1, yStart = 1, yRun = 1, aStart = 1, aRun = 1;
};

// The part job of one head as the vision steps read and write it.
struct HeadVisionJob {
  int headTarget = 1;  // 1..8
  int row = -1;        // placement row (row state on failure)
  double partLength = 0, partWidth = 0;  // mm
  double partAngle = 0, targetAngle = 0; // degrees
  int contrast = 0, brightness = 0;
  int visionMode = 1;    // 0 none, 1 camera centring, 2 fly centring (measure only)
  int visionCamera = 1;  // 1 or 2
  int recognitionType = 0;
  std::string packageName;
  int xyTolerance = -1, angleTolerance = -1, timeLimit = -1;  // -1: the camera's
  HeadVisionSpeeds speeds;  // correction moves (the head's own A pair)
  // Results.
  int32_t correctionX = 0, correctionY = 0, correctionA = 0;
  uint8_t failed = 0;
};

// One vision camera's values (camera list).
struct HeadVisionCamera {
  double zoom = 20.0;        // pixels per mm
  double visualSize = 10.0;  // largest box, mm
  int correctionTimes = 3;
  int precisionXY = 5, precisionA = 5;  // pulses
  int collectTimeMs = 100;
  std::array<int32_t, 8> correctionPulseX{}, correctionPulseY{};
};

struct HeadVisionIo {
  // A usable camera for vision camera 1 or 2.
  std::function<bool(int camera)> cameraReady;
  std::function<bool(int camera, cv::Mat& frame)> grabFrame;
  // Relative correction: X and Y by (dx, dy), the head's A axis by da.
  std::function<bool(int32_t dx, int32_t dy, int head, int32_t da, const HeadVisionSpeeds&)> moveCorrection;
  // The run's pause gate; false when the run was stopped.
  std::function<bool()> waitPauseGate;
  // Information box line and log line.
  std::function<void(const std::string& info, const std::string& log)> report;
  std::function<void(int ms)> sleepMs;
  // Row state of the placement list (8: vision failed).
  std::function<void(int row, int state)> setRowState;
  // Camera panel fields: contrast, brightness, recognition type, zoom, box.
  std::function<void(int, int, int, double, double)> showCameraFields;
  std::function<void()> lightSettle;
  std::function<std::string(const std::string& key, const std::string& def)> text;
  double pulsesPerMmX = 1, pulsesPerMmY = 1, pulsesPerDegA = 1;
  double autoMagnify = 4.0;  // box margin, mm
  bool invert = false;       // colour reversal of head recognitions
};

// Moves `machine` with SendCmd64MoveXY (the head's A axis), its run's pause
// gate, the log and its information box, and its step geometry's scales.
// The io keeps a reference to the machine.
HeadVisionIo DefaultHeadVisionIo(smt::Machine& machine);

// -90..90 for the recognisers: (90,180) and [180,270) lose 180, [270,360]
// loses 360, everything else stays.
double NormalizeTargetAngle(double a);
// Box of the stop-and-look: (m + margin), x1.4 off the right angles, then
// limited by the camera's visual size (also when 0).
double HeadBoxSize(double length, double width, double partAngle, double margin, double visualSize);
// Box of a fly frame: limited first, then x1.4 off the right angles.
double FlyBoxSize(double length, double width, double partAngle, double margin, double visualSize);

inline constexpr const char* kVisualTimesOut = "Visual times out set !";

// A recognised part whose longer side lies outside these fractions of the
// package's longer side is not the part.
inline constexpr double kPartSizeLow = 0.4, kPartSizeHigh = 1.6;

// Stop and look. False when no camera, the run was stopped or a correction
// move was refused; true otherwise, also when every pass failed (failed flag
// 1 and row state 8). `sharedCorrection` replaces head 2's per-head
// correction when two heads share one view (pulses), or is null.
bool RecognizeHeadPart(HeadVisionJob& job, const HeadVisionCamera& camera, const HeadVisionIo& io,
                       const std::array<int32_t, 2>* sharedCorrection = nullptr);

// One fly frame of a head (no move): the job of visionMode 2 gets its
// correction; others are left alone. flyCorrectYmm: the head's fly Y
// correction (mm).
void RecognizeLiveFrame(HeadVisionJob& job, const HeadVisionCamera& camera1, const cv::Mat& frame,
                        const HeadVisionIo& io, double flyCorrectYmm);

// The fly pass: all loaded heads cross the fly camera (vision camera 1) in
// one move; the camera takes one frame per head. Combined: the pass and the
// move to the place point of `headTarget`'s row in one command.
struct FlyPass {
  int32_t startX = 0, endX = 0, lineY = 0;  // fly geometry (pulses)
  std::array<int32_t, 8> triggers{};
  int headCount = 1;
  int flyStartSpeed = 1, flyNormalSpeed = 1;
  int32_t cellOriginX = 0, cellOriginY = 0;
  std::array<int32_t, 8> headOffsetX{}, headOffsetY{};  // from head 1 (pulses)
  std::array<int32_t, 8> headTurns{};                   // per-head rotation deltas
};
struct FlySpeeds {
  int32_t xStart = 1, xRun = 1, yStart = 1, yRun = 1, a1Start = 1, a1Run = 1;
};
struct FlyIo {
  std::function<void(int channel, int brightness)> selectCamera;  // light channel
  std::function<void()> resetShotIndex;                            // the fly frame counter
  std::function<bool()> waitPauseGate;
  double pulsesPerMmX = 1, pulsesPerMmY = 1;
};
FlyIo DefaultFlyIo(smt::Machine& machine);
// The 130-byte payload of the combined command (from the machine's position
// to the place point of the row at rowXmm/rowYmm plus the offsets).
std::array<uint8_t, 130> BuildFlyPlacePayload(const smt::Machine& machine, const FlyPass& f, const FlySpeeds& s,
                                             int headTarget, double rowXmm, double rowYmm, double offXmm, double offYmm, double ppmX, double ppmY);
// False when a move was refused or the run was stopped.
bool FlyVisionAllHeads(smt::Machine& machine, const FlyPass& f, const FlySpeeds& s, int headTarget, int brightness,
                       bool combined, double rowXmm, double rowYmm, double offXmm, double offYmm, const FlyIo& io);

}  // namespace smt::vision
