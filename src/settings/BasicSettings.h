#pragma once
// The machine geometry and switches of section [SetBasicConfig]: nozzle
// heights, corrections, offsets to nozzle 1, discard position, visual-origin
// correction, vacuum check, camera, link mode, travel limits and function
// switches. A plain value: the store publishes copies of it.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <functional>

namespace smt::settings {

struct BasicSettings {
  // Nozzle heights and placement correction (mm).
  double m_Z_Nozzle1ToFeed = 0, m_Z_Nozzle2ToFeed = 0, m_Z_Nozzle3ToFeed = 0, m_Z_Nozzle4ToFeed = 0;
  double m_Z_Nozzle5ToFeed = 0, m_Z_Nozzle6ToFeed = 0, m_Z_Nozzle7ToFeed = 0, m_Z_Nozzle8ToFeed = 0;
  double m_Correction_X1 = 0, m_Correction_X2 = 0, m_Correction_X3 = 0, m_Correction_X4 = 0;
  double m_Correction_X5 = 0, m_Correction_X6 = 0, m_Correction_X7 = 0, m_Correction_X8 = 0;
  double m_Correction_Y1 = 0, m_Correction_Y2 = 0, m_Correction_Y3 = 0, m_Correction_Y4 = 0;
  double m_Correction_Y5 = 0, m_Correction_Y6 = 0, m_Correction_Y7 = 0, m_Correction_Y8 = 0;
  double m_Z_Nozzle1ToPCBHeight = 0;
  double m_Z_DropsGlueToPCBHeight = 0;
  double m_Nozzle2MoreNozzle1 = 0;
  double m_FeedOverBack = 0;
  // Measuring head.
  double m_Z_Measurement = 0, m_X_Measurement = 0, m_Y_Measurement = 0;
  int m_bMeasurementEffect = 0;
  int m_MeasurementStart = 0;
  int m_MeasurementNormal = 0;
  // Offsets relative to nozzle 1 (mm).
  double m_X_CameraToNozzle1 = 0, m_Y_CameraToNozzle1 = 0;
  double m_X_Nozzle2ToNozzle1 = 0, m_Y_Nozzle2ToNozzle1 = 0;
  double m_X_Nozzle3ToNozzle1 = 0, m_Y_Nozzle3ToNozzle1 = 0;
  double m_X_Nozzle4ToNozzle1 = 0, m_Y_Nozzle4ToNozzle1 = 0;
  double m_X_Nozzle5ToNozzle1 = 0, m_Y_Nozzle5ToNozzle1 = 0;
  double m_X_Nozzle6ToNozzle1 = 0, m_Y_Nozzle6ToNozzle1 = 0;
  double m_X_Nozzle7ToNozzle1 = 0, m_Y_Nozzle7ToNozzle1 = 0;
  double m_X_Nozzle8ToNozzle1 = 0, m_Y_Nozzle8ToNozzle1 = 0;
  double m_X_DropsGlueToNozzle1 = 0, m_Y_DropsGlueToNozzle1 = 0;
  double m_X_Y2ToY1 = 0, m_Y_Y2ToY1 = 0;
  // Discard position and delays.
  double m_X_ThrowPosition = 0, m_Y_ThrowPosition = 0;
  int m_ThrowDelay = 200;
  int m_ChangeDelay = 0;
  // Visual-origin correction.
  double m_X_VisualOrigin = 0, m_Y_VisualOrigin = 0;
  double m_X_VisualOriginOffset = 0, m_Y_VisualOriginOffset = 0;
  double m_X_StopPosition = 0, m_Y_StopPosition = 0;
  int m_bStopPosition = 0;
  int m_ResetToVisualOrigin = 0;
  int m_SmtFinishToVisualOrigin = 0;
  int m_CottectionTimeReset = 0;
  int m_CottectionTimeSmt = 0;
  int m_OriginVisualCollectTime = 0;
  double m_VisualOriginBox = 2.0;
  double m_VisualOriginSize = 0;
  int m_OriginLightContrast = 0;
  int m_OriginLightBrightness = 0;
  int m_FeedBrightness = 0;
  int m_OriginImageColorReversal = 0;
  // Pick check and vacuum.
  double m_Z_closeVacuum = 0;
  int m_Exhaust = 5;
  int m_SuctionNozzleBlock = 0;
  int m_SuctionNozzleOffset = 0;
  int m_SuctionNozzleValue1 = 0, m_SuctionNozzleValue2 = 0, m_SuctionNozzleValue3 = 0, m_SuctionNozzleValue4 = 0;
  int m_SuctionNozzleValue5 = 0, m_SuctionNozzleValue6 = 0, m_SuctionNozzleValue7 = 0, m_SuctionNozzleValue8 = 0;
  // Camera.
  double m_AutoMagnify = 4.0;
  int m_Calibrator2 = 0;
  int m_CameraLens = 0;  // 0 8 mm lens, 1 6 mm lens
  // Link: 0 serial port, 1 Ethernet.
  int m_CommModel = 0;
  // Travel limits (mm, signed by axis direction).
  double m_X_Limit = 0, m_Y_Limit = 0, m_Z_Limit = 0;
  double m_EastFeed_Limit = 0, m_SouthFeed_Limit = 0, m_WestFeed_Limit = 0, m_NorthFeed_Limit = 0;
  // Function switches.
  int m_OnlineToReset = 0;
  int m_DebugModel = 0;
  int m_OpenCamera = 0;
  int m_bCameraTrackModify = 0;

  bool operator==(const BasicSettings&) const = default;

  // Indexed access for the families (n = 1..8).
  double ZNozzleToFeed(int n) const;
  double CorrectionX(int n) const;
  double CorrectionY(int n) const;
  double XNozzleToNozzle1(int n) const;  // n = 2..8
  double YNozzleToNozzle1(int n) const;
  int SuctionNozzleValue(int n) const;
};

// One stored field: its key (the member's name), where it lives, and the
// range the dialog enforces (none when min > max).
struct BasicField {
  const char* key;
  std::variant<double BasicSettings::*, int BasicSettings::*> member;
  double min;
  double max;
  bool HasRange() const { return min <= max; }
  bool IsDouble() const { return std::holds_alternative<double BasicSettings::*>(member); }
  double Get(const BasicSettings& s) const;
  void Set(BasicSettings& s, double v) const;  // ints take the value truncated
};

// The 103 fields in member order (the order in which they are loaded and saved).
std::span<const BasicField> BasicFields();
const BasicField* FindBasicField(std::string_view key);

// Lens calibration of the Mark camera: the camera code loads the named file
// and says whether it loaded. Without a loader nothing is loaded.
using LensCalibrationLoader = std::function<bool(const std::string& fileName)>;
// "cameraCalibrate_data8mm.xml" for lens 0, "cameraCalibrate_data6mm.xml" for 1, empty otherwise.
std::string LensCalibrationFile(int cameraLens);

// Reads [SetBasicConfig] from "<dir>/config.ini" with the load fix-ups and
// the range corrections (each correction written to the log). The lens
// calibration is tried and m_Calibrator2 cleared when it is not loaded.
BasicSettings LoadBasicSettings(const std::string& appDir, const LensCalibrationLoader& loader = {});
// Writes every field ("%0.4f" / "%d"). Returns false when the file could not be written.
bool SaveBasicSettings(const std::string& appDir, const BasicSettings& s);

// Applies the lens calibration to `s`: tries the file of m_CameraLens and
// clears m_Calibrator2 when the calibration did not load. Returns whether it loaded.
bool ApplyLensCalibration(BasicSettings& s, const LensCalibrationLoader& loader);

// First field outside its range, if any (the dialog's check).
std::optional<std::string> FirstBasicFieldOutOfRange(const BasicSettings& s);

}  // namespace smt::settings
