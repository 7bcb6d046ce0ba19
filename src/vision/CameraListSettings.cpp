#include "vision/CameraListSettings.h"

#include <vector>

#include <climits>
#include <cmath>
#include <cstdint>

#include "platform/DecimalRounding.h"
#include "platform/OperatorNumber.h"
#include "platform/SettingsSection.h"
#include "vision/CameraTable.h"
#include "vision/VisionGlobals.h"

namespace smt::vision {

using smt::platform::ConfigPath;
using smt::platform::SettingsSection;

namespace {

constexpr const char* kSection = "CameraListConfig";

// A switch of the section (a check box of the camera list): 0 or 1.
int ReadSwitch(const SettingsSection& s, const std::string& key) {
  return static_cast<int>(s.ReadInteger(key, 0, 1, 0));
}

void ReadRecord(const SettingsSection& s, const std::string& p, CameraRecord& r) {
  // 1 in the first record, 2 in the second, 0 when cleared. The positions
  // and corrections are step counts (any 32-bit number: the table's
  // millimetres times the axis scale, saturated).
  r.CameraNumber = static_cast<int32_t>(s.ReadInteger(p + "CameraNumber", 0, 2, 0));
  r.CameraPulse_X = s.ReadInt(p + "CameraPulse_X");
  r.CameraPulse_Y = s.ReadInt(p + "CameraPulse_Y");
  for (int k = 0; k < 8; ++k) {
    r.CorrectionPulse_X[k] = s.ReadInt(p + "CorrectionPulse_X" + std::to_string(k + 1));
    r.CorrectionPulse_Y[k] = s.ReadInt(p + "CorrectionPulse_Y" + std::to_string(k + 1));
  }
  r.Correction_A = s.ReadDouble(p + "Correction_A");
  // The vision values within the ranges the camera table keeps.
  auto number = [&](const char* key, CameraFieldRange range) { return s.ReadNumber(p + key, range.lo, range.hi, 0); };
  auto whole = [&](const char* key, CameraFieldRange range) {
    return static_cast<int32_t>(
        s.ReadInteger(p + key, static_cast<long long>(range.lo), static_cast<long long>(range.hi), 0));
  };
  r.VisualZoom = number("VisualZoom", kVisualZoomRange);
  r.VisualSize = number("VisualSize", kVisualSizeRange);
  r.Light_Contrast = whole("Light_Contrast", kLightRange);
  r.Light_Brightness = whole("Light_Brightness", kLightRange);
  r.CorrectionTimes = whole("CorrectionTimes", kCorrectionTimesRange);
  r.Precision_XY = whole("Precision_XY", kPrecisionXYRange);
  r.Precision_A = whole("Precision_A", kPrecisionARange);
  r.CollectTime = whole("CollectTime", kCollectTimeRange);
}

bool WriteRecord(const SettingsSection& s, const std::string& p, const CameraRecord& r, int sizeDecimals) {
  bool ok = s.WriteInt(p + "CameraNumber", r.CameraNumber);
  ok &= s.WriteInt(p + "CameraPulse_X", r.CameraPulse_X);
  ok &= s.WriteInt(p + "CameraPulse_Y", r.CameraPulse_Y);
  for (int k = 0; k < 8; ++k) {
    ok &= s.WriteInt(p + "CorrectionPulse_X" + std::to_string(k + 1), r.CorrectionPulse_X[k]);
    ok &= s.WriteInt(p + "CorrectionPulse_Y" + std::to_string(k + 1), r.CorrectionPulse_Y[k]);
  }
  ok &= s.WriteDouble(p + "Correction_A", r.Correction_A, 4);
  ok &= s.WriteDouble(p + "VisualZoom", r.VisualZoom, 2);
  ok &= s.WriteDouble(p + "VisualSize", r.VisualSize, sizeDecimals);
  ok &= s.WriteInt(p + "Light_Contrast", r.Light_Contrast);
  ok &= s.WriteInt(p + "Light_Brightness", r.Light_Brightness);
  ok &= s.WriteInt(p + "CorrectionTimes", r.CorrectionTimes);
  ok &= s.WriteInt(p + "Precision_XY", r.Precision_XY);
  ok &= s.WriteInt(p + "Precision_A", r.Precision_A);
  ok &= s.WriteInt(p + "CollectTime", r.CollectTime);
  return ok;
}

}  // namespace

void LoadCameraListConfig(const std::string& appDir, CameraListSettings& c, CameraRecord& first,
                          CameraRecord& second) {
  const SettingsSection s(ConfigPath(appDir), kSection);
  ReadRecord(s, "m_Camera_first.", first);
  ReadRecord(s, "m_Camera_second.", second);
  // Keys with a range in the dialog are read within it; 0 where it means
  // "not set" (base diameter, fly speeds) takes the default silently.
  auto ranged = [&](const char* key, double def, bool zeroIsUnset = false) {
    double lo = -smt::platform::kAnyNumber, hi = smt::platform::kAnyNumber;
    CameraListFieldRange(key, lo, hi);
    return s.ReadNumber(key, lo, hi, def, zeroIsUnset);
  };
  auto rangedInt = [&](const std::string& key, int def, bool zeroIsUnset = false) {
    double lo = INT32_MIN, hi = INT32_MAX;
    CameraListFieldRange(key, lo, hi);
    return static_cast<int>(
        s.ReadInteger(key, static_cast<long long>(lo), static_cast<long long>(hi), def, zeroIsUnset));
  };
  c.m_BaseDiameter = ranged("m_BaseDiameter", 5.0, true);
  c.m_BaseCoordinates_X = ranged("m_BaseCoordinates_X", 0);
  c.m_BaseCoordinates_Y = ranged("m_BaseCoordinates_Y", 0);
  c.m_BaseCoordinates_Z = ranged("m_BaseCoordinates_Z", 0);
  c.m_iChangeCameraDelay = rangedInt("m_iChangeCameraDelay", 0);
  c.m_bChangeCameraDelay = ReadSwitch(s, "m_bChangeCameraDelay");
  c.m_Correct_X = ranged("m_Correct_X", 0);
  c.m_Correct_Y = ranged("m_Correct_Y", 0);
  c.m_Correct_A = ranged("m_Correct_A", 0);
  c.m_HighSpeedCamera = ReadSwitch(s, "m_HighSpeedCamera");
  c.m_MarkCamera = ReadSwitch(s, "m_MarkCamera");
  c.m_VisualCamera1 = ReadSwitch(s, "m_VisualCamera1");
  c.m_VisualCamera2 = ReadSwitch(s, "m_VisualCamera2");
  c.m_FlyCamera = ReadSwitch(s, "m_FlyCamera");
  c.m_iFlyStartSpeed = rangedInt("m_iFlyStartSpeed", 1, true);
  c.m_iFlyNormalSpeed = rangedInt("m_iFlyNormalSpeed", 1, true);
  c.m_iTriggerPulse[0] = rangedInt("m_iTriggerPulse1", 0);
  bool legacy = false;
  if (c.m_iTriggerPulse[0] == 0) {
    // Older files kept one advance for the first four heads.
    c.m_iTriggerPulse[0] = rangedInt("m_iTriggerInAdvance", 0);
    if (c.m_iTriggerPulse[0] != 0) {
      c.m_iTriggerPulse[1] = c.m_iTriggerPulse[2] = c.m_iTriggerPulse[3] = c.m_iTriggerPulse[0];
      legacy = true;
    }
  }
  if (!legacy)
    for (int k = 1; k < 8; ++k) c.m_iTriggerPulse[k] = rangedInt("m_iTriggerPulse" + std::to_string(k + 1), 0);
  for (int k = 0; k < 8; ++k) c.m_dFlyCorrect_Y[k] = ranged(("m_dFlyCorrect_Y" + std::to_string(k + 1)).c_str(), 0);
  c.m_VisualImageColorReversal = ReadSwitch(s, "m_VisualImageColorReversal");
  c.m_bVisualOffset = ReadSwitch(s, "m_bVisualOffset");
  c.m_AllowOffset = ranged("m_AllowOffset", 0);
  if (c.m_BaseDiameter < 5.0 || !std::isfinite(c.m_BaseDiameter)) c.m_BaseDiameter = 5.0;
  if (c.m_iFlyNormalSpeed == 0) c.m_iFlyNormalSpeed = 1;
  if (c.m_iFlyStartSpeed == 0) c.m_iFlyStartSpeed = 1;
}

CameraSwitches LoadCameraSwitches(const std::string& appDir) {
  const SettingsSection s(ConfigPath(appDir), kSection);
  CameraSwitches w;
  w.highSpeed = ReadSwitch(s, "m_HighSpeedCamera");
  w.mark = ReadSwitch(s, "m_MarkCamera") != 0;
  w.visual1 = ReadSwitch(s, "m_VisualCamera1") != 0;
  w.visual2 = ReadSwitch(s, "m_VisualCamera2") != 0;
  w.fly = ReadSwitch(s, "m_FlyCamera") != 0;
  return w;
}

bool WriteCameraListConfig(const std::string& appDir, const CameraListSettings& c, const CameraRecord& first,
                           const CameraRecord& second) {
  const SettingsSection s(ConfigPath(appDir), kSection);
  bool ok = WriteRecord(s, "m_Camera_first.", first, 4);
  ok &= WriteRecord(s, "m_Camera_second.", second, 2);
  ok &= s.WriteDouble("m_BaseDiameter", c.m_BaseDiameter);
  ok &= s.WriteDouble("m_BaseCoordinates_X", c.m_BaseCoordinates_X);
  ok &= s.WriteDouble("m_BaseCoordinates_Y", c.m_BaseCoordinates_Y);
  ok &= s.WriteDouble("m_BaseCoordinates_Z", c.m_BaseCoordinates_Z);
  ok &= s.WriteInt("m_iChangeCameraDelay", c.m_iChangeCameraDelay);
  ok &= s.WriteInt("m_bChangeCameraDelay", c.m_bChangeCameraDelay);
  ok &= s.WriteDouble("m_Correct_X", c.m_Correct_X);
  ok &= s.WriteDouble("m_Correct_Y", c.m_Correct_Y);
  ok &= s.WriteDouble("m_Correct_A", c.m_Correct_A);
  ok &= s.WriteInt("m_HighSpeedCamera", c.m_HighSpeedCamera);
  ok &= s.WriteInt("m_MarkCamera", c.m_MarkCamera);
  ok &= s.WriteInt("m_VisualCamera1", c.m_VisualCamera1);
  ok &= s.WriteInt("m_VisualCamera2", c.m_VisualCamera2);
  ok &= s.WriteInt("m_FlyCamera", c.m_FlyCamera);
  ok &= s.WriteInt("m_iFlyStartSpeed", c.m_iFlyStartSpeed);
  ok &= s.WriteInt("m_iFlyNormalSpeed", c.m_iFlyNormalSpeed);
  for (int k = 0; k < 8; ++k) ok &= s.WriteInt("m_iTriggerPulse" + std::to_string(k + 1), c.m_iTriggerPulse[k]);
  for (int k = 0; k < 8; ++k) ok &= s.WriteDouble("m_dFlyCorrect_Y" + std::to_string(k + 1), c.m_dFlyCorrect_Y[k]);
  ok &= s.WriteInt("m_VisualImageColorReversal", c.m_VisualImageColorReversal);
  ok &= s.WriteInt("m_bVisualOffset", c.m_bVisualOffset);
  ok &= s.WriteDouble("m_AllowOffset", c.m_AllowOffset);
  return ok;
}

bool SaveCameraListConfig(smt::Machine& machine, const std::string& appDir, const CameraListSettings& c,
                          const CameraRecord& first, const CameraRecord& second) {
  const bool ok = WriteCameraListConfig(appDir, c, first, second);
  machine.camera.highSpeedMarkCamera = c.m_MarkCamera != 0;
  machine.camera.highSpeedVisualCamera1 = c.m_VisualCamera1 != 0;
  machine.camera.highSpeedVisualCamera2 = c.m_VisualCamera2 != 0;
  machine.camera.flyCamera = c.m_FlyCamera != 0;
  return ok;
}

namespace {
// The shared-view correction of head 2 (mm): a few millimetres at most.
constexpr double kCorrectMm = 10.0;
// The checked fields in their order, with their ranges; k is 1..8 for the
// eight per-head fields.
template <class F>
std::string FirstOut(const CameraListSettings& c, F&& visit) {
  struct R {
    std::string key;
    double v, lo, hi;
  };
  std::vector<R> r = {{"m_BaseDiameter", c.m_BaseDiameter, 5.0, 20.0},
                      {"m_BaseCoordinates_X", c.m_BaseCoordinates_X, 0.0, 3000.0},
                      {"m_BaseCoordinates_Y", c.m_BaseCoordinates_Y, -3000.0, 0.0},
                      {"m_BaseCoordinates_Z", c.m_BaseCoordinates_Z, -100.0, 0.0},
                      {"m_iChangeCameraDelay", double(c.m_iChangeCameraDelay), 0, 10000},
                      {"m_Correct_X", c.m_Correct_X, -kCorrectMm, kCorrectMm},
                      {"m_Correct_Y", c.m_Correct_Y, -kCorrectMm, kCorrectMm},
                      {"m_Correct_A", c.m_Correct_A, -360.0, 360.0},
                      {"m_iFlyStartSpeed", double(c.m_iFlyStartSpeed), 1, 255},
                      {"m_iFlyNormalSpeed", double(c.m_iFlyNormalSpeed), 1, 255}};
  for (int k = 0; k < 8; ++k) r.push_back({"m_iTriggerPulse" + std::to_string(k + 1), double(c.m_iTriggerPulse[k]), 0, 10000});
  for (int k = 0; k < 8; ++k) r.push_back({"m_dFlyCorrect_Y" + std::to_string(k + 1), c.m_dFlyCorrect_Y[k], -1.0, 1.0});
  r.push_back({"m_AllowOffset", c.m_AllowOffset, -1.0, 1.0});
  for (const R& x : r)
    if (visit(x.key, x.v, x.lo, x.hi)) return x.key;
  return {};
}
}  // namespace

std::string FirstCameraListFieldOutOfRange(const CameraListSettings& c) {
  return FirstOut(c, [](const std::string&, double v, double lo, double hi) { return !(v >= lo && v <= hi); });
}

std::vector<std::string> CameraListFieldKeys() {
  std::vector<std::string> keys;
  FirstOut(CameraListSettings{}, [&](const std::string& k, double, double, double) {
    keys.push_back(k);
    return false;
  });
  return keys;
}

bool CameraListFieldIsWhole(const std::string& key) { return key.rfind("m_i", 0) == 0; }

bool CameraListFieldRange(const std::string& key, double& lo, double& hi) {
  const CameraListSettings any{};
  // The older key of the first trigger advance has its range.
  const std::string k0 = key == "m_iTriggerInAdvance" ? std::string("m_iTriggerPulse1") : key;
  return !FirstOut(any, [&](const std::string& k, double, double l, double h) {
            if (k != k0) return false;
            lo = l;
            hi = h;
            return true;
          }).empty();
}

double NudgedMm(double value) {
  double v = smt::platform::RoundDecimals(value, 4);
  if (v > 0)
    v += 0.0001;
  else if (v < 0)
    v -= 0.0001;
  return v;
}

std::string NudgedMmText(double value) { return smt::platform::FormatDouble(NudgedMm(value), 4); }

namespace {
double Divide(double steps, double pulse) { return pulse != 0.0 ? steps / pulse : 0.0; }
}  // namespace

std::string CaptureBaseX(int32_t curX, double cameraToNozzle1X, double xPulse) {
  return NudgedMmText(Divide(static_cast<double>(curX) + MmToSteps(cameraToNozzle1X, xPulse), xPulse));
}

std::string CaptureBaseY(int32_t curY, double cameraToNozzle1Y, double yPulse) {
  return NudgedMmText(Divide(static_cast<double>(curY) + MmToSteps(cameraToNozzle1Y, yPulse), yPulse));
}

std::string CaptureBaseZ(int32_t curZ1, double zPulse) { return NudgedMmText(Divide(curZ1, zPulse)); }

int FlyEditHeadsForMachineType(int machineType) {
  switch (machineType) {
    case 2:
    case 4:
    case 10:
      return 2;
    case 3:
    case 6:
      return 4;
    case 7:
    case 8:
      return 8;
    default:
      return 0;
  }
}

}  // namespace smt::vision
